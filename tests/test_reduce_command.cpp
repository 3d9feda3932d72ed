// `lumatrim-cli reduce`: exit codes, messages, output names, the folder sweep and parallel runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/reduce_command.h"
#include "corpus.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

namespace fs = std::filesystem;
using testing::RealFilesFolder;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ReduceCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "in");
    fs::create_directories(root_ / "out");
  }

  fs::path Input(const std::string& name, const std::string& real = "wuffs-hat.gif") {
    const fs::path path = root_ / "in" / name;
    fs::create_directories(path.parent_path());
    fs::copy_file(RealFilesFolder() / real, path, fs::copy_options::overwrite_existing);
    return path;
  }

  int Run(cli::ReduceSettings settings) {
    out_.str("");
    err_.str("");
    if (settings.outputFolder == ".") settings.outputFolder = (root_ / "out").string();
    return cli::RunReduce(settings, out_, err_);
  }

  testing::TempFolder folder_{std::string("reduce-") +
                              ::testing::UnitTest::GetInstance()->current_test_info()->name()};
  const fs::path& root_ = folder_.path();
  std::ostringstream out_, err_;
};

TEST_F(ReduceCommandTest, OutputNames) {
  cli::ReduceSettings settings;
  for (const char* name : {"a.b.gif", "photo.GIF", ".gif", "x-reduced.gif", "noext"}) {
    settings.paths.push_back(Input(name).string());
  }
  ASSERT_EQ(Run(settings), 0) << err_.str();
  for (const char* name : {"a.b-reduced.gif", "photo-reduced.gif", "-reduced.gif",
                           "x-reduced-reduced.gif", "noext-reduced.gif"}) {
    EXPECT_TRUE(fs::exists(root_ / "out" / name)) << name;
  }
  EXPECT_NE(out_.str().find("Total: "), std::string::npos);
}

TEST_F(ReduceCommandTest, FailuresAndExitCodes) {
  cli::ReduceSettings settings;
  const fs::path notGif = root_ / "in" / "text.gif";
  std::ofstream(notGif) << "not a gif";
  settings.paths = {notGif.string(), Input("good.gif").string()};
  EXPECT_EQ(Run(settings), 1);
  EXPECT_NE(err_.str().find("Error loading gif file: " + notGif.string()), std::string::npos);
  EXPECT_TRUE(fs::exists(root_ / "out" / "good-reduced.gif"));  // the batch went on
  EXPECT_FALSE(fs::exists(root_ / "out" / "text-reduced.gif"));

  settings.paths = {Input("good.gif").string()};
  settings.outputFolder = (root_ / "nowhere").string();
  EXPECT_EQ(Run(settings), 2);
  EXPECT_EQ(err_.str(), "Folder does not exist. Please select another folder.\n");
}

TEST_F(ReduceCommandTest, MemoryLimitRefusesTheFileWithItsReason) {
  cli::ReduceSettings settings;
  // Each frame fits the budget, all of them together do not.
  settings.paths = {Input("big.gif", "wuffs-gifplayer-muybridge.gif").string(),
                    Input("small.gif").string()};
  settings.options.memoryBudget = 1 << 20;
  EXPECT_EQ(Run(settings), 1);
  EXPECT_NE(err_.str().find("Error loading gif file: "), std::string::npos);
  EXPECT_NE(err_.str().find("MiB"), std::string::npos);
  EXPECT_FALSE(fs::exists(root_ / "out" / "big-reduced.gif"));
  EXPECT_TRUE(fs::exists(root_ / "out" / "small-reduced.gif"));
}

TEST_F(ReduceCommandTest, FolderSweepTakesGifFilesOfAnyCaseBelowAndSkipsLinkedFolders) {
  Input("top.gif");
  Input("sub/deeper/UPPER.GIF");
  Input("sub/other.txt");
  fs::create_directory_symlink(root_ / "in", root_ / "in" / "sub" / "loop");
  const std::vector<std::string> found = cli::CollectInputs({(root_ / "in").string()});
  std::vector<std::string> names;
  for (const std::string& f : found) names.push_back(fs::path(f).filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"UPPER.GIF", "top.gif"}));
}

TEST_F(ReduceCommandTest, ParallelRunsWriteTheSameBytesAndReportInInputOrder) {
  cli::ReduceSettings settings;
  for (const fs::path& real : testing::RealFiles()) settings.paths.push_back(real.string());
  settings.json = true;
  settings.jobs = 1;
  settings.outputFolder = (root_ / "serial").string();
  fs::create_directories(settings.outputFolder);
  Run(settings);
  settings.jobs = 4;
  settings.outputFolder = (root_ / "parallel").string();
  fs::create_directories(settings.outputFolder);
  Run(settings);
  // One JSON line per file, in input order.
  std::istringstream lines(out_.str());
  std::string line;
  size_t i = 0;
  while (std::getline(lines, line)) {
    ASSERT_LT(i, settings.paths.size());
    EXPECT_NE(line.find("\"file\":\"" + settings.paths[i] + "\""), std::string::npos) << line;
    ++i;
  }
  EXPECT_EQ(i, settings.paths.size());
  for (const auto& entry : fs::directory_iterator(root_ / "serial")) {
    EXPECT_EQ(ReadAll(entry.path()), ReadAll(root_ / "parallel" / entry.path().filename()))
        << entry.path().filename();
  }
}

TEST_F(ReduceCommandTest, VerifyPassesOnRealFiles) {
  cli::ReduceSettings settings;
  settings.paths = {
      Input("hat.gif").string(),
      Input("anim.gif", "suite-animated_transparent_frame_restoreprev_loop.gif").string()};
  settings.verify = true;
  settings.json = true;
  EXPECT_EQ(Run(settings), 0) << err_.str();
  EXPECT_NE(out_.str().find("\"verified\":true"), std::string::npos);
}

TEST_F(ReduceCommandTest, VerifyTellsWhatItCouldNotCheckAndWhatTheLoadLeftOut) {
  // A 35-byte file with a 65535 x 65535 screen can't be played within the budget: reduced, but
  // not checked, rather than "looks different". Its stray frame keeps no pixels, and the run
  // says so.
  const fs::path big = root_ / "in" / "big.gif";
  {
    std::ofstream file(big, std::ios::binary);
    const unsigned char bytes[] = {
        'G', 'I',  'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0, 0, 0,    0,    0, 255, 255,
        255, 0x2C, 0,   0,   0,   0,   0xFF, 0xFF, 0xFF, 0xFF, 0,    2, 2, 0x4C, 0x01, 0, 0x3B};
    file.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
  }
  cli::ReduceSettings settings;
  settings.paths = {big.string()};
  settings.verify = true;
  settings.json = true;
  EXPECT_EQ(Run(settings), 0) << err_.str();
  EXPECT_NE(out_.str().find("\"verified\":null"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("budget"), std::string::npos);
  EXPECT_NE(err_.str().find("Output not checked: "), std::string::npos);
  EXPECT_NE(err_.str().find("keep none"), std::string::npos);
}

}  // namespace
}  // namespace lumatrim
