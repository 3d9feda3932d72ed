// Loading a file never throws: whatever the path names, the answer is false with a reason and
// an empty document, and what is not a GIF is refused before it is read whole.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "child_process.h"
#include "cli/info_command.h"
#include "cli/resave_command.h"
#include "corpus.h"
#include "gif/gif_document.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

namespace fs = std::filesystem;

class LoadingFilesTest : public ::testing::Test {
 protected:
  // Loads a good file first, so that each refusal shows that it empties the document.
  bool Load(const fs::path& path) {
    EXPECT_TRUE(doc_.LoadFromFile(good_.string()));
    const bool loaded = doc_.LoadFromFile(path.string());
    EXPECT_EQ(doc_.FramesCount(), 0) << path;
    return loaded;
  }

  // A sparse file of size bytes that starts with head: takes no room on disk.
  fs::path SparseFile(const std::string& name, const std::string& head, uintmax_t size) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << head;
    fs::resize_file(path, size);
    return path;
  }

  testing::TempFolder folder_{"loading"};
  const fs::path good_ = testing::RealFilesFolder() / "wuffs-hat.gif";
  cGIF doc_;
};

TEST_F(LoadingFilesTest, WhatIsNotARegularFileIsRefusedUnopened) {
  ASSERT_EQ(mkfifo((folder_ / "pipe.gif").c_str(), 0600), 0);
  // Opening the pipe would wait for a writer for ever, and /dev/zero never ends.
  for (const fs::path& path : {folder_.path(), folder_ / "pipe.gif", fs::path("/dev/zero")}) {
    EXPECT_FALSE(Load(path));
    EXPECT_EQ(doc_.LoadError(), "not a regular file") << path;
  }
  EXPECT_FALSE(Load(folder_ / "missing.gif"));
  EXPECT_EQ(doc_.LoadError(), "No such file or directory");
}

TEST_F(LoadingFilesTest, LargeFilesAreJudgedBeforeTheyAreRead) {
  // 3 GB each: read into memory, either would take seconds and more memory than the budget.
  constexpr uintmax_t kSize = uintmax_t(3) << 30;
  EXPECT_FALSE(Load(SparseFile("video.gif", "\x1A\x45\xDF\xA3", kSize)));
  EXPECT_EQ(doc_.LoadError(), "not a GIF file");
  EXPECT_FALSE(Load(SparseFile("huge.gif", "GIF89a", kSize)));
  EXPECT_EQ(doc_.LoadError(), "over the memory budget: the file alone is 3072 MiB");

  EXPECT_FALSE(Load(SparseFile("short.gif", "GIF", 3)));
  EXPECT_EQ(doc_.LoadError(), "not a GIF file");
  EXPECT_FALSE(Load(SparseFile("screen-only.gif", "GIF89a", 13)));
  EXPECT_EQ(doc_.LoadError(), "no image in the file");
}

TEST_F(LoadingFilesTest, ReadErrorsAndLackOfMemoryAreAnswers) {
  // A kernel attribute that reports a size but fails every read (without runtime power
  // management, which containers and most machines lack).
  const fs::path failing = "/sys/devices/system/cpu/power/autosuspend_delay_ms";
  std::ifstream probe(failing);
  char byte;
  if (probe && !probe.read(&byte, 1) && probe.bad()) {
    EXPECT_FALSE(Load(failing));
    EXPECT_EQ(doc_.LoadError(), "Input/output error");
  }

#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer reserves more address space than the limit allows";
#else
  // 200 MB of GIF in a process allowed 100 MB more than it has.
  const fs::path big = SparseFile("big.gif", "GIF89a", 200 << 20);
  const testing::ChildOutcome child = testing::RunInChild([&](std::string& text) {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    statm >> pages;
    const rlim_t limit = pages * size_t(sysconf(_SC_PAGESIZE)) + (100 << 20);
    const rlimit memory{limit, limit};
    if (setrlimit(RLIMIT_AS, &memory) != 0) return 2;
    cGIF doc;
    const bool loaded = doc.LoadFromFile(big.string());
    text = doc.LoadError();
    return loaded ? 1 : 0;
  });
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.text, "out of memory");
#endif
}

TEST_F(LoadingFilesTest, InfoAndResaveReportAFolderAndGoOn) {
  std::ostringstream text;
  EXPECT_EQ(cli::RunInfo({folder_.path().string(), good_.string()}, false, text), 1);
  EXPECT_NE(text.str().find(": not loaded (not a regular file)"), std::string::npos);
  EXPECT_NE(text.str().find("* " + good_.string() + " "), std::string::npos) << text.str();

  std::ostringstream json;
  EXPECT_EQ(cli::RunInfo({folder_.path().string()}, true, json), 1);
  EXPECT_NE(json.str().find(R"("loaded":false,"error":"not a regular file")"), std::string::npos)
      << json.str();

  std::ostringstream err;
  EXPECT_EQ(cli::RunResave(folder_.path().string(), (folder_ / "out.gif").string(), err), 1);
  EXPECT_EQ(err.str(),
            "Error loading gif file: " + folder_.path().string() + " (not a regular file)\n");
}

}  // namespace
}  // namespace lumatrim
