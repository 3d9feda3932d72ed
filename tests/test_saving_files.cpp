// Saving onto the disk: only a regular file is replaced, a signal mid-save and a file-size limit
// leave nothing behind, and every failure says why.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "child_process.h"
#include "corpus.h"
#include "files.h"
#include "files/interrupted_saves.h"
#include "gif/gif_document.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

namespace fs = std::filesystem;

using testing::FolderNames;
using testing::ReadAll;

// A document whose file is over 1 MB: one frame of noise, which LZW can't compress.
void MakeLargeDocument(cGIF& doc) {
  doc.GlobalPaletteExists(true);
  doc.GlobalPaletteEntries(256);
  doc.FrameInsert(1, 1000, 1000, true);
  const auto surface = doc.FrameDIBXOR(1);
  std::mt19937 random(7);
  uint8_t* bits = surface->lpBits();
  const size_t size = size_t(surface->BytesPerScanline()) * size_t(surface->Height());
  for (size_t i = 0; i < size; i += 4) {
    const uint32_t value = random();
    std::memcpy(bits + i, &value, std::min<size_t>(4, size - i));
  }
}

class SavingFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(doc_.LoadFromFile(input_.string())); }

  testing::TempFolder folder_{"saving"};
  const fs::path input_ = testing::RealFilesFolder() / "wuffs-hat.gif";
  cGIF doc_;
};

TEST_F(SavingFilesTest, OnlyARegularFileIsReplaced) {
  // Whatever else stands at the target stays as it is: the link (and the file behind it), the
  // pipe, the folder, the device node.
  std::ofstream(folder_ / "precious.txt") << "precious";
  fs::create_symlink(folder_ / "precious.txt", folder_ / "link.gif");
  fs::create_symlink(folder_ / "nowhere", folder_ / "dangling.gif");
  ASSERT_EQ(mkfifo((folder_ / "pipe.gif").c_str(), 0600), 0);
  fs::create_directory(folder_ / "folder.gif");
  std::vector<std::string> targets = {"link.gif", "dangling.gif", "pipe.gif", "folder.gif"};
  // Only root makes device nodes (this one is /dev/null's numbers).
  if (mknod((folder_ / "null.gif").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0) {
    targets.push_back("null.gif");
  }
  const std::vector<std::string> before = FolderNames(folder_.path());
  for (const std::string& target : targets) {
    EXPECT_FALSE(doc_.Save((folder_ / target).string())) << target;
    EXPECT_EQ(doc_.SaveError(), "not a regular file") << target;
  }
  EXPECT_EQ(FolderNames(folder_.path()), before) << "no temporary file is left";
  EXPECT_TRUE(fs::is_symlink(folder_ / "link.gif"));
  EXPECT_TRUE(fs::is_symlink(folder_ / "dangling.gif"));
  EXPECT_TRUE(fs::is_fifo(folder_ / "pipe.gif"));
  EXPECT_TRUE(fs::is_directory(folder_ / "folder.gif"));
  EXPECT_EQ(ReadAll(folder_ / "precious.txt"), "precious");

  // A regular file is replaced, and a link to the output folder is just the way there.
  std::ofstream(folder_ / "old.gif") << "old";
  fs::create_directory(folder_ / "out");
  fs::create_directory_symlink(folder_ / "out", folder_ / "out-link");
  EXPECT_TRUE(doc_.Save((folder_ / "old.gif").string()));
  EXPECT_TRUE(doc_.Save((folder_ / "out-link" / "new.gif").string()));
  EXPECT_EQ(doc_.SaveError(), "");
  EXPECT_EQ(ReadAll(folder_ / "old.gif"), ReadAll(folder_ / "out" / "new.gif"));
}

TEST_F(SavingFilesTest, FailuresGiveTheSystemsReason) {
  EXPECT_FALSE(doc_.Save((folder_ / "missing" / "out.gif").string()));
  EXPECT_EQ(doc_.SaveError(), "No such file or directory");
  EXPECT_FALSE(doc_.Save((folder_ / std::string(300, 'n')).string()));
  EXPECT_EQ(doc_.SaveError(), "File name too long");
  doc_.FrameDisposalMethod(1, 8);
  EXPECT_FALSE(doc_.Save((folder_ / "out.gif").string()));
  EXPECT_EQ(doc_.SaveError(), "disposal method does not fit 3 bits");
  doc_.FrameDisposalMethod(1, 0);

  // Permissions bind an ordinary user only; as root the check runs as nobody.
  fs::create_directory(folder_ / "locked");
  fs::permissions(folder_ / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                          fs::perms::group_read | fs::perms::group_exec |
                                          fs::perms::others_read | fs::perms::others_exec);
  const testing::ChildOutcome child = testing::RunInChild([&](std::string& text) {
    if (!testing::BecomeOrdinaryUser()) return 2;
    const bool saved = doc_.Save((folder_ / "locked" / "out.gif").string());
    text = doc_.SaveError();
    return saved ? 1 : 0;
  });
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.text, "Permission denied");
  EXPECT_TRUE(fs::is_empty(folder_ / "locked"));
}

TEST_F(SavingFilesTest, AFileSizeLimitIsAWriteError) {
  // Without the cleanup's SIGXFSZ setting, the limit would end the child with that signal.
  const testing::ChildOutcome child = testing::RunInChild([&](std::string& text) {
    InstallInterruptCleanup();
    const rlimit limit{100, 100};
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool saved = doc_.Save((folder_ / "out.gif").string());
    text = doc_.SaveError();
    return saved ? 1 : 0;
  });
  EXPECT_EQ(child.signal, 0);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.text, "File too large");
  EXPECT_TRUE(fs::is_empty(folder_.path()));
}

TEST_F(SavingFilesTest, ASignalMidSaveRemovesTheTemporaryFile) {
  cGIF large;
  MakeLargeDocument(large);
  const fs::path target = folder_ / "large.gif";
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    // The child saves over and over; the parent stops it the moment a temporary file appears,
    // so that the signal arrives in the middle of writing it.
    const pid_t child = fork();
    if (child == 0) {
      InstallInterruptCleanup();
      for (;;) large.Save(target.string());
    }
    ASSERT_NE(child, -1);
    const auto writing = [&] {
      for (const auto& entry : fs::directory_iterator(folder_.path())) {
        if (entry.path().extension() == ".tmp") return true;
      }
      return false;
    };
    bool caught = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!caught && std::chrono::steady_clock::now() < deadline) {
      if (!writing()) continue;
      int stopped = 0;
      kill(child, SIGSTOP);
      waitpid(child, &stopped, WUNTRACED);
      caught = writing();  // still in the middle of it once stopped
      if (!caught) kill(child, SIGCONT);
    }
    kill(child, signal);
    kill(child, SIGCONT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(caught);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), signal) << "ended as the signal would";
    for (const std::string& name : FolderNames(folder_.path())) {
      EXPECT_EQ(name, "large.gif") << "left behind";
    }
  }
}

}  // namespace
}  // namespace lumatrim
