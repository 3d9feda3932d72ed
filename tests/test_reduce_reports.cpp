// What `lumatrim-cli reduce` says and names: files as given, sizes for people, verification and
// totals; quiet skips; names of outputs (suffix, -o FILE.gif, earlier outputs skipped); usage
// errors that name what is wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/reduce_batch.h"
#include "cli/reduce_report.h"
#include "corpus.h"
#include "files.h"
#include "gifdiff.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::RealFilesFolder;

class ReduceReportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "out");
    previous_ = fs::current_path();
    fs::current_path(root_);  // paths are given as a shell user gives them: relative
  }
  void TearDown() override { fs::current_path(previous_); }

  std::string Input(const std::string& name, const std::string& real = "pillow-chi.gif") {
    fs::create_directories((root_ / name).parent_path());
    fs::copy_file(RealFilesFolder() / real, root_ / name, fs::copy_options::overwrite_existing);
    return name;
  }

  int Run(const cli::ReduceSettings& settings) {
    std::istringstream in;
    out_.str("");
    err_.str("");
    return cli::RunReduce(settings, in, out_, err_);
  }

  // The exit status of the command line as a shell would run it.
  int RunCommandLine(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "lumatrim-cli");
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    int exitCode = cli::kExitOk;
    const auto app = cli::MakeCliApp(exitCode);
    if (!cli::UnknownCommand(*app, int(argv.size()), argv.data()).empty()) return cli::kExitUsage;
    try {
      app->parse(int(argv.size()), argv.data());
    } catch (const CLI::ParseError& e) {
      return e.get_exit_code() == 0 ? cli::kExitOk : cli::kExitUsage;
    }
    return exitCode;
  }

  testing::TempFolder folder_{"reports"};
  const fs::path root_ = folder_.path();
  fs::path previous_;
  std::ostringstream out_, err_;
};

TEST_F(ReduceReportsTest, LinesNameFilesAsGivenWithSizesForPeopleAndTotalsCountEveryOutcome) {
  cli::ReduceSettings settings;
  settings.paths = {Input("sub/UPPER.GIF"), Input("top.gif", "wuffs-hat.gif"), "missing.gif"};
  settings.outputFolder = "out";
  settings.verify = true;
  EXPECT_EQ(Run(settings), 1);
  const std::string text = out_.str();
  // Two files of one name can be told apart: the path is shown as given.
  EXPECT_NE(text.find("sub/UPPER.GIF  83.5 KiB -> 9.4 KiB  (88.8% saved, verified)\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("top.gif  12.2 KiB -> "), std::string::npos) << text;
  EXPECT_NE(text.find("Total: 3 files, 2 reduced, 1 failed: "), std::string::npos) << text;
  EXPECT_NE(err_.str().find("Error loading gif file: missing.gif ("), std::string::npos);

  EXPECT_EQ(cli::HumanSize(0), "0 bytes");
  EXPECT_EQ(cli::HumanSize(1023), "1023 bytes");
  EXPECT_EQ(cli::HumanSize(1024), "1.0 KiB");
  EXPECT_EQ(cli::HumanSize(5u << 20), "5.0 MiB");
}

TEST(ProgressBarTest, MovesWithinALongFile) {
  std::ostringstream bar;
  cli::DrawProgress(bar, 0, 1, "long.gif", 0.5);
  EXPECT_NE(
      bar.str().find("[" + std::string(15, '#') + std::string(15, ' ') + "] 0/1  50% long.gif"),
      std::string::npos)
      << bar.str();
  bar.str("");
  cli::DrawProgress(bar, 1, 4, "b.gif", 1.5);
  EXPECT_NE(bar.str().find("] 1/4  62% b.gif"), std::string::npos) << bar.str();
}

TEST_F(ReduceReportsTest, SkippedFilesAreNoErrorsEvenQuietOrInJson) {
  cli::ReduceSettings settings;
  settings.paths = {Input("a.gif")};
  settings.outputFolder = "out";
  ASSERT_EQ(Run(settings), 0);
  settings.noClobber = true;
  for (const bool json : {false, true}) {
    settings.json = json;
    settings.quiet = !json;
    EXPECT_EQ(Run(settings), 0);
    EXPECT_EQ(err_.str(), "");
    if (json) {
      const nlohmann::json line = nlohmann::json::parse(out_.str());
      EXPECT_TRUE(line["skipped"]);
      EXPECT_EQ(line["skip_reason"], "out/a-reduced.gif exists");
      EXPECT_FALSE(line.contains("error"));
    }
  }
}

TEST_F(ReduceReportsTest, SuffixOutputFileAndEarlierOutputs) {
  cli::ReduceSettings settings;
  settings.paths = {Input("a.gif"), Input("b.gif")};
  settings.outputFolder = "out";
  settings.suffix = "-small";
  ASSERT_EQ(Run(settings), 0) << err_.str();
  EXPECT_TRUE(fs::exists(root_ / "out" / "a-small.gif"));
  EXPECT_EQ(testing::Gifdiff(root_ / "a.gif", root_ / "out" / "a-small.gif"), 0);

  // No suffix keeps the names in another folder, and never replaces an input.
  settings.suffix = "";
  ASSERT_EQ(Run(settings), 0) << err_.str();
  EXPECT_TRUE(fs::exists(root_ / "out" / "a.gif"));
  const std::string before = ReadAll(root_ / "a.gif");
  settings.outputFolder = ".";
  EXPECT_EQ(Run(settings), 1);
  EXPECT_NE(err_.str().find("would replace an input of this run"), std::string::npos);
  EXPECT_EQ(ReadAll(root_ / "a.gif"), before);

  // Sweeping a folder that holds earlier outputs skips them, and replaces them with new ones.
  fs::remove(root_ / "out" / "a.gif");
  fs::remove(root_ / "out" / "b.gif");
  settings.suffix = "-small";
  settings.skipReduced = true;
  settings.paths = {"."};
  settings.outputFolder = "out";
  settings.json = true;
  EXPECT_EQ(Run(settings), 0) << err_.str();
  size_t skipped = 0;
  std::istringstream lines(out_.str());
  for (std::string line; std::getline(lines, line);) {
    skipped += nlohmann::json::parse(line).value("skipped", false) ? 1 : 0;
  }
  EXPECT_EQ(skipped, 2u);  // out/a-small.gif and out/b-small.gif; a.gif and b.gif are reduced
  EXPECT_FALSE(fs::exists(root_ / "out" / "a-small-small.gif"));

  // A path ending in .gif that is not a folder names the one output.
  settings = cli::ReduceSettings();
  settings.paths = {"a.gif"};
  settings.outputFolder = "out/chosen.gif";
  ASSERT_EQ(Run(settings), 0) << err_.str();
  EXPECT_EQ(testing::Gifdiff(root_ / "a.gif", root_ / "out" / "chosen.gif"), 0);
  settings.outputFolder = "a.gif";
  EXPECT_EQ(Run(settings), 1);
  EXPECT_EQ(ReadAll(root_ / "a.gif"), before);
}

TEST_F(ReduceReportsTest, UsageErrorsSayWhatIsWrong) {
  const std::string input = Input("a.gif");
  cli::ReduceSettings settings;
  EXPECT_EQ(Run(settings), 2);
  EXPECT_NE(err_.str().find("No input"), std::string::npos);
  settings.paths = {input};
  settings.outputFolder = "nope";
  EXPECT_EQ(Run(settings), 2);
  EXPECT_EQ(err_.str(), "Output folder does not exist: nope\n");
  settings.outputFolder = "-";
  settings.standardOutputIsTerminal = true;
  EXPECT_EQ(Run(settings), 2);
  EXPECT_NE(err_.str().find("terminal"), std::string::npos);
  EXPECT_EQ(out_.str(), "");
  settings.skipReduced = true;
  settings.suffix = "";
  settings.outputFolder = "out";
  EXPECT_EQ(Run(settings), 2);

  EXPECT_EQ(RunCommandLine({"frob"}), 2);
  EXPECT_EQ(RunCommandLine({"reduce", "-j", "0", input}), 2);
  EXPECT_EQ(RunCommandLine({"reduce", "-o", "", input}), 2);
  EXPECT_EQ(RunCommandLine({"reduce", "-j", "1", "-q", "-o", "out", input}), 0);
}

}  // namespace
}  // namespace lumatrim
