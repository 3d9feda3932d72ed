// Failures in the middle of a batch: each gives a clear message, leaves no partial output, never
// touches the input, and the batch goes on with the next file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "child_process.h"
#include "cli/reduce_batch.h"
#include "corpus.h"
#include "files.h"
#include "files/interrupted_saves.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

namespace fs = std::filesystem;

using testing::FolderNames;
using testing::ReadAll;

class FailureHandlingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(in_);
    fs::create_directories(out_);
    fs::copy_file(testing::RealFilesFolder() / "wuffs-harvesters.gif", in_ / "big.gif");
    fs::copy_file(testing::RealFilesFolder() / "wuffs-hat.gif", in_ / "small.gif");
    bigBefore_ = ReadAll(in_ / "big.gif");
  }

  int Run(const std::vector<std::string>& names) {
    cli::ReduceSettings settings;
    for (const std::string& name : names) settings.paths.push_back((in_ / name).string());
    settings.outputFolder = out_.string();
    settings.jobs = 1;
    out.str("");
    err.str("");
    return cli::RunReduce(settings, out, err);
  }

  // Runs the batch in a child process whose files may not grow past 100 KB (which the big
  // output needs and the small one does not), so that the limit stays there. Answers its exit
  // status, or -1 when it did not exit; its messages go to err.
  int RunOnSmallDisk(const std::vector<std::string>& names) {
    const testing::ChildOutcome child = testing::RunInChild([&](std::string& text) {
      InstallInterruptCleanup();  // the limit becomes a write error instead of SIGXFSZ
      const rlimit limit{100 * 1024, 100 * 1024};
      setrlimit(RLIMIT_FSIZE, &limit);
      const int status = Run(names);
      text = err.str();
      return status;
    });
    err.str(child.text);
    return child.exitCode;
  }

  testing::TempFolder folder_{"failures"};
  const fs::path in_ = folder_ / "in";
  const fs::path out_ = folder_ / "out";
  std::string bigBefore_;
  std::ostringstream out, err;
};

TEST_F(FailureHandlingTest, VanishedAndUnreadableInputsAreReportedAndSkipped) {
  std::vector<std::string> names = {"gone.gif", "small.gif"};
  // Root reads any file, so only another user can meet an unreadable one.
  if (geteuid() != 0) {
    fs::copy_file(in_ / "small.gif", in_ / "locked.gif");
    fs::permissions(in_ / "locked.gif", fs::perms::none);
    names.insert(names.begin(), "locked.gif");
  }
  EXPECT_EQ(Run(names), 1);
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    EXPECT_NE(err.str().find("Error loading gif file: " + (in_ / names[i]).string()),
              std::string::npos);
  }
  EXPECT_EQ(FolderNames(out_), std::vector<std::string>{"small-reduced.gif"});
}

TEST_F(FailureHandlingTest, TargetThatCannotBeReplacedLeavesNothingBehind) {
  // A folder where the output file should go: the save fails, the folder stays as it was.
  fs::create_directory(out_ / "big-reduced.gif");
  EXPECT_EQ(Run({"big.gif", "small.gif"}), 1);
  EXPECT_NE(err.str().find("Error saving gif file: "), std::string::npos);
  EXPECT_TRUE(fs::is_directory(out_ / "big-reduced.gif"));
  EXPECT_EQ(FolderNames(out_), (std::vector<std::string>{"big-reduced.gif", "small-reduced.gif"}));
  EXPECT_EQ(ReadAll(in_ / "big.gif"), bigBefore_);
}

TEST_F(FailureHandlingTest, ReadOnlyOutputFolder) {
  // Root writes into read-only folders, so the batch runs as an ordinary user.
  fs::permissions(out_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                            fs::perms::others_exec);
  const testing::ChildOutcome child = testing::RunInChild([&](std::string& text) {
    if (!testing::BecomeOrdinaryUser()) return 2;
    const int status = Run({"small.gif"});
    text = err.str();
    return status;
  });
  fs::permissions(out_, fs::perms::owner_all);
  EXPECT_EQ(child.exitCode, 1);
  EXPECT_EQ(child.text, "Error saving gif file: " + (out_ / "small-reduced.gif").string() +
                            " (Permission denied)\n");
  EXPECT_TRUE(FolderNames(out_).empty());
}

TEST_F(FailureHandlingTest, FullDiskLeavesNoPartialFile) {
  EXPECT_EQ(RunOnSmallDisk({"big.gif", "small.gif"}), 1);
  EXPECT_EQ(err.str(), "Error saving gif file: " + (out_ / "big-reduced.gif").string() +
                           " (File too large)\n");
  EXPECT_EQ(FolderNames(out_), std::vector<std::string>{"small-reduced.gif"});
  EXPECT_EQ(ReadAll(in_ / "big.gif"), bigBefore_);
}

TEST_F(FailureHandlingTest, AFailedReplacementReportsNothingWritten) {
  fs::copy_file(testing::RealFilesFolder() / "pillow-iss634.gif", in_ / "shrinks.gif");
  const std::string before = ReadAll(in_ / "shrinks.gif");
  const testing::ChildOutcome child = testing::RunInChild([&](std::string& text) {
    InstallInterruptCleanup();
    const rlimit limit{100 * 1024, 100 * 1024};  // the reduced file needs about 210 KB
    setrlimit(RLIMIT_FSIZE, &limit);
    cli::ReduceSettings settings;
    settings.paths = {(in_ / "shrinks.gif").string()};
    settings.inPlace = true;
    settings.json = true;
    const int status = cli::RunReduce(settings, out, err);
    text = out.str();
    return status;
  });
  EXPECT_EQ(child.exitCode, 1);
  const nlohmann::json line = nlohmann::json::parse(child.text);
  EXPECT_EQ(line["bytes_out"], 0) << child.text;
  EXPECT_EQ(line["error"], "File too large");
  EXPECT_EQ(ReadAll(in_ / "shrinks.gif"), before);
}

TEST_F(FailureHandlingTest, ExistingOutputSurvivesAFailedSave) {
  std::ofstream(out_ / "big-reduced.gif") << "earlier output";
  EXPECT_EQ(RunOnSmallDisk({"big.gif"}), 1);
  EXPECT_EQ(ReadAll(out_ / "big-reduced.gif"), "earlier output");
  EXPECT_EQ(FolderNames(out_), std::vector<std::string>{"big-reduced.gif"});
}

}  // namespace
}  // namespace lumatrim
