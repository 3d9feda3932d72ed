// `lumatrim-cli reduce` as a shell user drives it: a filter on standard input and output, in-place
// replacement, never a larger file, lists of paths, dry runs, no clobbering, and options that
// exclude each other.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
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
#include "files/input_file.h"
#include "files/interrupted_saves.h"
#include "gifdiff.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

namespace fs = std::filesystem;
using testing::RealFilesFolder;

// A file that the pipeline makes much smaller, and one it can't make any smaller.
constexpr const char* kShrinks = "pillow-chi.gif";
constexpr const char* kDoesNotShrink = "wuffs-hat.gif";

using testing::Gifdiff;
using testing::GifdiffReads;
using testing::ReadAll;
using testing::WriteAll;

class ReduceShellHabitsTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(root_ / "out"); }

  fs::path Input(const std::string& name, const std::string& real = kShrinks) {
    const fs::path path = root_ / name;
    fs::create_directories(path.parent_path());
    fs::copy_file(RealFilesFolder() / real, path, fs::copy_options::overwrite_existing);
    return path;
  }

  cli::ReduceSettings Settings(std::vector<fs::path> paths) {
    cli::ReduceSettings settings;
    for (const fs::path& path : paths) settings.paths.push_back(path.string());
    settings.outputFolder = (root_ / "out").string();
    return settings;
  }

  // --in-place replaces the inputs and names no output folder.
  cli::ReduceSettings InPlace(std::vector<fs::path> paths) {
    cli::ReduceSettings settings = Settings(std::move(paths));
    settings.outputFolder.clear();
    settings.inPlace = true;
    return settings;
  }

  int Run(const cli::ReduceSettings& settings, const std::string& input = "") {
    std::istringstream in(input);
    out_.str("");
    err_.str("");
    return cli::RunReduce(settings, in, out_, err_);
  }

  std::vector<nlohmann::json> JsonLines() const {
    std::vector<nlohmann::json> lines;
    std::istringstream text(out_.str());
    for (std::string line; std::getline(text, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
  }

  size_t FilesIn(const fs::path& folder) const {
    return size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  }

  testing::TempFolder folder_{
      "shell-" +
      testing::TestNameOf(::testing::UnitTest::GetInstance()->current_test_info()->name())};
  const fs::path& root_ = folder_.path();
  std::ostringstream out_, err_;
};

TEST_F(ReduceShellHabitsTest, FilterReadsStandardInputAndWritesStandardOutput) {
  const fs::path input = RealFilesFolder() / kShrinks;
  cli::ReduceSettings settings = Settings({"-"});
  settings.outputFolder = "-";
  ASSERT_EQ(Run(settings, ReadAll(input)), 0) << err_.str();
  const std::string reduced = out_.str();
  EXPECT_LT(reduced.size(), fs::file_size(input));
  WriteAll(root_ / "reduced.gif", reduced);
  EXPECT_EQ(Gifdiff(input, root_ / "reduced.gif"), 0);
  // The report goes to the error stream, and nothing is left in the output folder.
  EXPECT_NE(err_.str().find("Total:"), std::string::npos);
  EXPECT_EQ(FilesIn(root_ / "out"), 0u);

  // A named file to standard output, and standard input into a folder.
  settings = Settings({input});
  settings.outputFolder = "-";
  ASSERT_EQ(Run(settings), 0) << err_.str();
  EXPECT_TRUE(out_.str() == reduced);
  ASSERT_EQ(Run(Settings({"-"}), ReadAll(input)), 0) << err_.str();
  EXPECT_TRUE(ReadAll(root_ / "out" / "stdin-reduced.gif") == reduced);
}

TEST_F(ReduceShellHabitsTest, FilterRefusesWhatItCannotDo) {
  cli::ReduceSettings settings = Settings({Input("a.gif"), Input("b.gif")});
  settings.outputFolder = "-";
  EXPECT_EQ(Run(settings), 2);
  EXPECT_EQ(out_.str(), "");
  EXPECT_NE(err_.str().find("one file"), std::string::npos) << err_.str();

  // Not a GIF on standard input: an error, and no bytes on standard output.
  settings = Settings({"-"});
  settings.outputFolder = "-";
  EXPECT_EQ(Run(settings, "not a gif"), 1);
  EXPECT_EQ(out_.str(), "");
  EXPECT_NE(err_.str().find("Error loading gif file: -"), std::string::npos) << err_.str();

  // Standard input is bounded by the memory budget, as a file is.
  settings = Settings({"-"});
  settings.options.memoryBudget = 1000;
  EXPECT_EQ(Run(settings, std::string(1001, 'G')), 1);
  EXPECT_NE(err_.str().find("memory budget"), std::string::npos) << err_.str();
  EXPECT_EQ(FilesIn(root_ / "out"), 0u);

  // Standard input is read once, and is not a file to replace.
  settings = Settings({"-", "-"});
  EXPECT_EQ(Run(settings), 2);
  EXPECT_EQ(Run(InPlace({"-"})), 2);
}

TEST_F(ReduceShellHabitsTest, InPlaceKeepsModeOwnerAndTimesAndOnlyShrinks) {
  const fs::path shrinks = Input("shrinks.gif");
  const fs::path same = Input("same.gif", kDoesNotShrink);
  const fs::path link = root_ / "link.gif";
  fs::create_symlink("shrinks.gif", link);
  ASSERT_EQ(::chmod(shrinks.c_str(), 0640), 0);
  // Owned by someone else, as a root run finds it; an ordinary user's run keeps its own.
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(shrinks.c_str(), 65534, 65534), 0);
  }
  const struct timespec old[2] = {{1000000000, 0}, {1200000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, shrinks.c_str(), old, 0), 0);
  ASSERT_EQ(::utimensat(AT_FDCWD, same.c_str(), old, 0), 0);

  cli::ReduceSettings settings = InPlace({link, same});
  settings.preserveTimes = true;
  ASSERT_EQ(Run(settings), 0) << err_.str();

  struct stat after {};
  ASSERT_EQ(::stat(shrinks.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(after.st_uid, 65534u);
  }
  EXPECT_EQ(after.st_mtim.tv_sec, 1200000000);
  EXPECT_LT(uint64_t(after.st_size), fs::file_size(RealFilesFolder() / kShrinks));
  EXPECT_EQ(Gifdiff(RealFilesFolder() / kShrinks, shrinks), 0);
  EXPECT_TRUE(fs::is_symlink(link));  // the link still names the file
  // Not smaller: left byte for byte as it was.
  EXPECT_EQ(ReadAll(same), ReadAll(RealFilesFolder() / kDoesNotShrink));
  EXPECT_NE(out_.str().find("left as it was"), std::string::npos) << out_.str();
  EXPECT_EQ(FilesIn(root_ / "out"), 0u);
  // No temporary file is left beside the inputs.
  EXPECT_EQ(FilesIn(root_), 4u);  // out, shrinks.gif, same.gif, link.gif
}

TEST_F(ReduceShellHabitsTest, InPlaceInAReadOnlyFolderFailsAndLeavesTheFile) {
  // Replacing a file takes a new file beside it. Root writes into read-only folders, so the run
  // is an ordinary user's.
  const fs::path shrinks = Input("locked/shrinks.gif");
  const fs::path folder = shrinks.parent_path();
  const std::string before = ReadAll(shrinks);
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                              fs::perms::others_exec);
  fs::permissions(shrinks, fs::perms::owner_read | fs::perms::others_read);
  const cli::ReduceSettings settings = InPlace({shrinks});
  const testing::ChildOutcome child = testing::RunInChild([&](std::string& text) {
    if (!testing::BecomeOrdinaryUser()) return 2;
    const int status = Run(settings);
    text = err_.str();
    return status;
  });
  fs::permissions(folder, fs::perms::owner_all);
  EXPECT_EQ(child.exitCode, 1);
  EXPECT_NE(child.text.find(shrinks.string()), std::string::npos) << child.text;
  EXPECT_NE(child.text.find("Permission denied"), std::string::npos) << child.text;
  EXPECT_EQ(ReadAll(shrinks), before);
  EXPECT_EQ(FilesIn(folder), 1u);
}

TEST_F(ReduceShellHabitsTest, NeverLargerOnTheRealCorpus) {
  cli::ReduceSettings settings = Settings({RealFilesFolder()});
  settings.json = true;
  Run(settings);
  size_t kept = 0, checked = 0;
  for (const nlohmann::json& line : JsonLines()) {
    if (!line["saved"]) continue;
    const fs::path input = line["file"].get<std::string>();
    const fs::path output = line["output"].get<std::string>();
    EXPECT_LE(fs::file_size(output), fs::file_size(input)) << input;
    EXPECT_EQ(line["bytes_out"], fs::file_size(output)) << input;
    if (line["kept_input"]) {
      ++kept;
      EXPECT_GT(line["bytes_reduced"].get<uint64_t>(), fs::file_size(input)) << input;
      EXPECT_EQ(ReadAll(output), ReadAll(input)) << input;
    } else if (checked < 12 && GifdiffReads(input)) {
      ++checked;
      EXPECT_EQ(Gifdiff(input, output), 0) << input;
    }
  }
  EXPECT_GT(kept, 0u);
  EXPECT_NE(err_.str().find("Error loading gif file"), std::string::npos);  // no-frames files

  // --allow-larger keeps what the pipeline made.
  settings.allowLarger = true;
  fs::remove_all(root_ / "out");
  fs::create_directories(root_ / "out");
  settings.paths.clear();
  for (const nlohmann::json& line : JsonLines()) {
    if (line["saved"] && line["kept_input"]) settings.paths.push_back(line["file"]);
  }
  ASSERT_FALSE(settings.paths.empty());
  ASSERT_EQ(Run(settings), 0) << err_.str();
  for (const nlohmann::json& line : JsonLines()) {
    EXPECT_FALSE(line["kept_input"]);
    EXPECT_GT(line["bytes_out"].get<uint64_t>(), line["bytes_in"].get<uint64_t>());
  }
}

TEST_F(ReduceShellHabitsTest, FromListWithNewlinesAndNuls) {
  const fs::path a = Input("list/a b.gif");
  const fs::path b = Input("list/odd\nname.gif");
  const fs::path c = Input("list/c.gif");
  const fs::path list = root_ / "paths.txt";
  WriteAll(list, a.string() + "\r\n\n" + c.string());  // CRLF, an empty line, no final newline
  cli::ReduceSettings settings = Settings({});
  settings.fromList = list.string();
  ASSERT_EQ(Run(settings), 0) << err_.str();
  EXPECT_TRUE(fs::exists(root_ / "out" / "a b-reduced.gif"));
  EXPECT_TRUE(fs::exists(root_ / "out" / "c-reduced.gif"));

  // NUL-separated from standard input, as find -print0 gives them, beside a named PATH.
  fs::remove_all(root_ / "out");
  fs::create_directories(root_ / "out");
  settings = Settings({c});
  settings.fromList = "-";
  settings.nulSeparated = true;
  ASSERT_EQ(Run(settings, a.string() + '\0' + b.string() + '\0'), 0) << err_.str();
  EXPECT_EQ(FilesIn(root_ / "out"), 3u);
  EXPECT_TRUE(fs::exists(root_ / "out" / "odd\nname-reduced.gif"));

  settings.fromList = (root_ / "missing.txt").string();
  settings.nulSeparated = false;
  EXPECT_EQ(Run(settings), 2);
  EXPECT_NE(err_.str().find("Can't read the list"), std::string::npos);
}

TEST_F(ReduceShellHabitsTest, DryRunWritesNothing) {
  const fs::path input = Input("a.gif");
  const std::string before = ReadAll(input);
  for (bool inPlace : {false, true}) {
    const std::vector<fs::path> inputs = {input, Input("b.gif", kDoesNotShrink)};
    cli::ReduceSettings settings = inPlace ? InPlace(inputs) : Settings(inputs);
    settings.dryRun = true;
    settings.json = true;
    ASSERT_EQ(Run(settings), 0) << err_.str();
    const auto lines = JsonLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_LT(lines[0]["bytes_out"].get<uint64_t>(), lines[0]["bytes_in"].get<uint64_t>());
    EXPECT_TRUE(lines[0]["dry_run"]);
    EXPECT_EQ(FilesIn(root_ / "out"), 0u);
    EXPECT_EQ(ReadAll(input), before);
    EXPECT_EQ(FilesIn(root_), 3u);
  }
}

TEST_F(ReduceShellHabitsTest, NoClobberSkipsExistingOutputs) {
  const fs::path a = Input("a.gif");
  const fs::path b = Input("b.gif");
  WriteAll(root_ / "out" / "a-reduced.gif", "mine");
  cli::ReduceSettings settings = Settings({a, b});
  settings.noClobber = true;
  ASSERT_EQ(Run(settings), 0) << err_.str();
  EXPECT_EQ(ReadAll(root_ / "out" / "a-reduced.gif"), "mine");
  EXPECT_TRUE(fs::exists(root_ / "out" / "b-reduced.gif"));
  EXPECT_NE(out_.str().find("skipped"), std::string::npos);
}

TEST_F(ReduceShellHabitsTest, QuietReportsOnlyErrors) {
  cli::ReduceSettings settings = Settings({Input("a.gif"), root_ / "missing.gif"});
  settings.quiet = true;
  EXPECT_EQ(Run(settings), 1);
  EXPECT_EQ(out_.str(), "");
  EXPECT_NE(err_.str().find("missing.gif"), std::string::npos);
  settings.quiet = false;
  settings.verbose = true;
  Run(settings);
  EXPECT_NE(out_.str().find("-> " + (root_ / "out" / "a-reduced.gif").string()), std::string::npos)
      << out_.str();
}

TEST_F(ReduceShellHabitsTest, OptionsThatExcludeEachOther) {
  const fs::path input = Input("a.gif");
  const std::string before = ReadAll(input);
  auto clash = [&](auto change) {
    cli::ReduceSettings settings = Settings({input});
    settings.outputFolder.clear();
    change(settings);
    return Run(settings);
  };
  // Both options are named; nothing is written or replaced.
  auto refused = [&](auto change, const std::string& first, const std::string& second) {
    EXPECT_EQ(clash(change), 2);
    EXPECT_NE(err_.str().find(first), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find(second), std::string::npos) << err_.str();
  };
  // A user who adds -o to be safe keeps the files.
  refused([&](auto& s) { s.inPlace = true, s.outputFolder = (root_ / "out").string(); },
          "--in-place", "-o");
  refused([](auto& s) { s.inPlace = true, s.outputFolder = "-"; }, "--in-place", "-o");
  refused([](auto& s) { s.inPlace = true, s.outputFolder = "."; }, "--in-place", "-o");
  refused([](auto& s) { s.inPlace = true, s.noClobber = true; }, "--in-place", "--no-clobber");
  refused([](auto& s) { s.inPlace = true, s.allowLarger = true; }, "--in-place", "--allow-larger");
  refused([](auto& s) { s.preserveTimes = true; }, "--preserve-times", "--in-place");
  refused([](auto& s) { s.nulSeparated = true; }, "-0", "--from-list");
  EXPECT_EQ(clash([](auto& s) { s.fromList = "-", s.paths.push_back("-"); }), 2);
  EXPECT_EQ(FilesIn(root_ / "out"), 0u);
  EXPECT_EQ(ReadAll(input), before);
}

TEST(PathList, SplitsLinesAndNuls) {
  using cli::SplitPathList;
  EXPECT_EQ(SplitPathList("a\r\n\nb c\nd", false), (std::vector<std::string>{"a", "b c", "d"}));
  EXPECT_EQ(SplitPathList(std::string("a\nb\0c\r\0\0", 9), true),
            (std::vector<std::string>{"a\nb", "c\r"}));
  EXPECT_TRUE(SplitPathList("", false).empty());
}

TEST(ReadWholeStream, StopsJustPastTheLimit) {
  std::istringstream big(std::string(200000, 'x'));
  EXPECT_EQ(ReadWholeStream(big, 70000).size(), 70001u);
  std::istringstream exact(std::string(70000, 'x'));
  EXPECT_EQ(ReadWholeStream(exact, 70000).size(), 70000u);
  std::istringstream all(std::string(200000, 'x'));
  EXPECT_EQ(ReadWholeStream(all).size(), 200000u);
}

}  // namespace
}  // namespace lumatrim
