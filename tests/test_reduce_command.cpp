// `lumatrim-cli reduce`: exit codes, messages, output names, the folder sweep and parallel runs;
// outputs that never replace each other or an input, reasons for every failure, valid JSON.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/json_text.h"
#include "cli/reduce_batch.h"
#include "corpus.h"
#include "files.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

namespace fs = std::filesystem;
using testing::RealFilesFolder;

using testing::ReadAll;

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

  // The JSON lines of the last run.
  std::vector<nlohmann::json> JsonLines() const {
    std::vector<nlohmann::json> lines;
    std::istringstream text(out_.str());
    for (std::string line; std::getline(text, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
  }

  int Run(cli::ReduceSettings settings) {
    out_.str("");
    err_.str("");
    if (settings.outputFolder.empty()) settings.outputFolder = (root_ / "out").string();
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
  // The command line says what happened and names the path; the window's wording is its own.
  EXPECT_EQ(err_.str(), "Output folder does not exist: " + settings.outputFolder + "\n");
}

TEST_F(ReduceCommandTest, MemoryLimitRefusesTheFileWithItsReason) {
  cli::ReduceSettings settings;
  // Each frame fits the budget; the file's frames, even packed, do not.
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
  // not checked, rather than "looks different". Its stray frame keeps only its one pixel, and
  // the run says so.
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
  EXPECT_NE(err_.str().find("kept as far as the data reaches"), std::string::npos) << err_.str();
}

TEST_F(ReduceCommandTest, ClashingOutputNamesFailTheLaterFilesWhateverTheJobs) {
  const fs::path keeper = Input("y/a.gif", "suite-static_transparent.gif");
  const fs::path other = Input("x/a.gif");
  const fs::path upper = Input("z/a.GIF");
  for (unsigned jobs : {1u, 4u}) {
    SCOPED_TRACE(jobs);
    cli::ReduceSettings settings;
    settings.paths = {keeper.string(), other.string(), upper.string()};
    settings.jobs = jobs;
    settings.json = true;
    EXPECT_EQ(Run(settings), 1);
    // The first input in the list keeps the name; the report says so for every file.
    const std::vector<nlohmann::json> lines = JsonLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["saved"], true);
    EXPECT_EQ(lines[0]["bytes_out"], fs::file_size(root_ / "out" / "a-reduced.gif"));
    for (size_t i : {1u, 2u}) {
      EXPECT_EQ(lines[i]["saved"], false);
      EXPECT_EQ(lines[i]["bytes_out"], 0);
      EXPECT_EQ(lines[i]["error"], "same output name as " + keeper.string());
    }
    EXPECT_NE(
        err_.str().find("Error saving gif file: " + (root_ / "out" / "a-reduced.gif").string() +
                        " (same output name as " + keeper.string() + ")"),
        std::string::npos);
  }
}

TEST_F(ReduceCommandTest, InputsOfTheRunAreNeverReplaced) {
  // The user's own logo-reduced.gif beside logo.gif, and the output folder is that folder,
  // spelled directly or through a link.
  Input("logo.gif");
  const std::string own = ReadAll(Input("logo-reduced.gif", "suite-static_transparent.gif"));
  fs::create_directory_symlink(root_ / "in", root_ / "link");
  for (const fs::path& folder : {root_ / "in", root_ / "link"}) {
    cli::ReduceSettings settings;
    settings.paths = {(root_ / "in").string()};
    settings.outputFolder = folder.string();
    EXPECT_EQ(Run(settings), 1);
    EXPECT_NE(err_.str().find("Error saving gif file: " + (folder / "logo-reduced.gif").string() +
                              " (would replace an input of this run)"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(ReadAll(root_ / "in" / "logo-reduced.gif"), own);
    EXPECT_TRUE(fs::exists(root_ / "in" / "logo-reduced-reduced.gif"));
    fs::remove(root_ / "in" / "logo-reduced-reduced.gif");
  }
}

TEST_F(ReduceCommandTest, EveryFailureSaysWhyInTextAndJson) {
  const fs::path text = root_ / "in" / "text.gif";
  std::ofstream(text) << "not a gif";
  const fs::path pipe = root_ / "in" / "pipe.gif";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  // Each frame fits the budget, all of them together do not.
  const fs::path big = Input("big.gif", "wuffs-gifplayer-muybridge.gif");
  cli::ReduceSettings settings;
  settings.paths = {text.string(), pipe.string(), (root_ / "in" / "gone.gif").string(),
                    big.string()};
  settings.options.memoryBudget = 1 << 20;
  const std::vector<std::string> reasons = {
      "not a GIF file", "not a regular file", "No such file or directory",
      "over the memory budget: its frames need more than 1 MiB"};
  EXPECT_EQ(Run(settings), 1);
  for (size_t i = 0; i < reasons.size(); ++i) {
    EXPECT_NE(
        err_.str().find("Error loading gif file: " + settings.paths[i] + " (" + reasons[i] + ")\n"),
        std::string::npos)
        << err_.str();
  }
  settings.json = true;
  EXPECT_EQ(Run(settings), 1);
  const std::vector<nlohmann::json> lines = JsonLines();
  ASSERT_EQ(lines.size(), reasons.size());
  for (size_t i = 0; i < reasons.size(); ++i) EXPECT_EQ(lines[i]["error"], reasons[i]);

  // An output folder that is a file is named as such.
  const fs::path notes = root_ / "in" / "notes.txt";
  std::ofstream(notes) << "notes";
  settings.outputFolder = notes.string();
  EXPECT_EQ(Run(settings), 2);
  EXPECT_EQ(err_.str(), "Not a folder: " + notes.string() + "\n");
  // A FILE.gif names the output of one input only.
  settings.outputFolder = text.string();
  EXPECT_EQ(Run(settings), 2);
  EXPECT_EQ(err_.str(), "-o " + text.string() + " takes one file; 4 were given\n");
}

TEST_F(ReduceCommandTest, JsonStaysValidForNamesThatAreNotUtf8) {
  // A Latin-1 name: "caf\xE9" is no UTF-8. The batch goes on to the next file.
  const fs::path latin1 = Input("caf\xE9.gif");
  const fs::path plain = Input("plain.gif");
  cli::ReduceSettings settings;
  settings.paths = {latin1.string(), plain.string()};
  settings.json = true;
  ASSERT_EQ(Run(settings), 0) << err_.str();
  const std::vector<nlohmann::json> lines = JsonLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["file"], (root_ / "in" / "caf\uFFFD.gif").string());
  EXPECT_EQ(lines[0]["file_base64"], cli::Base64(latin1.string()));
  EXPECT_EQ(lines[0]["output_base64"],
            cli::Base64((root_ / "out" / "caf\xE9-reduced.gif").string()));
  EXPECT_EQ(lines[1]["file"], plain.string());
  EXPECT_FALSE(lines[1].contains("file_base64"));
}

TEST(JsonText, KeepsValidUtf8AndReplacesEveryOtherByte) {
  // Valid: 2, 3 and 4 bytes, up to U+10FFFF.
  for (const std::string valid : {"caf\u00e9", "\u20ac", "\U0001F600", "\xF4\x8F\xBF\xBF"}) {
    EXPECT_TRUE(cli::IsValidUtf8(valid));
    EXPECT_EQ(cli::ValidUtf8(valid), valid);
  }
  // Beyond U+10FFFF, overlong, a surrogate, cut short, a lone continuation byte.
  const std::string replacement = "\uFFFD";
  EXPECT_EQ(cli::ValidUtf8("\xF4\x90\x80\x80"),
            replacement + replacement + replacement + replacement);
  EXPECT_EQ(cli::ValidUtf8("\xC0\xAFx"), replacement + replacement + "x");
  EXPECT_EQ(cli::ValidUtf8("\xED\xA0\x80"), replacement + replacement + replacement);
  EXPECT_EQ(cli::ValidUtf8("a\xE2\x82"), "a" + replacement + replacement);
  EXPECT_EQ(cli::ValidUtf8("\x80"), replacement);
  EXPECT_FALSE(cli::IsValidUtf8("\x80"));

  EXPECT_EQ(cli::Base64(""), "");
  EXPECT_EQ(cli::Base64("f"), "Zg==");
  EXPECT_EQ(cli::Base64("fo"), "Zm8=");
  EXPECT_EQ(cli::Base64("foo"), "Zm9v");
  EXPECT_EQ(cli::Base64("foob\xFF"), "Zm9vYv8=");
}

}  // namespace
}  // namespace lumatrim
