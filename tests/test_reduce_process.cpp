// lumatrim-cli as a process, where only a process can tell: a reader that goes away, Ctrl+C in
// the middle of a batch, and signals at random moments of runs that write and replace files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "corpus.h"
#include "files.h"
#include "gif/gif_document.h"
#include "look_the_same.h"
#include "temp_folder.h"

extern char** environ;

namespace lumatrim {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::RealFilesFolder;

// A started lumatrim-cli, its standard output and error going to the files or descriptors given.
class CliProcess {
 public:
  CliProcess(const std::vector<std::string>& arguments, int standardOutput,
             const fs::path& standardError, const fs::path& temporaryFolder) {
    std::vector<std::string> all = {LUMATRIM_CLI};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = {"TMPDIR=" + temporaryFolder.string(), "LC_ALL=C"};
    std::vector<char*> envp;
    for (std::string& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, standardOutput, 1);
    posix_spawn_file_actions_addopen(&actions, 2, standardError.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }

  void Signal(int signal) const { kill(pid_, signal); }

  // Whether it has not ended yet.
  bool Running() {
    if (ended_) return false;
    ended_ = pid_ < 0 || waitpid(pid_, &status_, WNOHANG) != 0;
    return !ended_;
  }

  // The exit code, or 128 + the signal that ended it.
  int Wait() {
    if (!ended_ && (pid_ < 0 || waitpid(pid_, &status_, 0) != pid_)) return -1;
    ended_ = true;
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
  }

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
};

class ReduceProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(temporary_);
    fs::create_directories(root_ / "out");
  }

  fs::path Input(const std::string& name, const std::string& real) {
    fs::copy_file(RealFilesFolder() / real, root_ / name, fs::copy_options::overwrite_existing);
    return root_ / name;
  }

  // Files the program left where it writes: temporary files beside the outputs, or anything in
  // its temporary folder.
  std::vector<std::string> LeftBehind() const {
    std::vector<std::string> left;
    for (const fs::path& folder : {root_, root_ / "out", temporary_}) {
      for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (folder == temporary_ || name.rfind(".lumatrim-", 0) == 0) left.push_back(name);
      }
    }
    return left;
  }

  testing::TempFolder folder_{"process"};
  const fs::path root_ = folder_.path();
  const fs::path temporary_ = root_ / "tmp";
};

TEST_F(ReduceProcessTest, AReaderThatGoesAwayIsAWriteErrorAndLeavesNothing) {
  const fs::path input = Input("large.gif", "wuffs-harvesters.gif");
  int channel[2];
  ASSERT_EQ(pipe(channel), 0);
  close(channel[0]);  // the reader is gone before the first byte
  CliProcess cli({"reduce", "-o", "-", input.string()}, channel[1], root_ / "err.txt", temporary_);
  close(channel[1]);
  EXPECT_EQ(cli.Wait(), 1);
  EXPECT_NE(ReadAll(root_ / "err.txt").find("Error writing to standard output"), std::string::npos)
      << ReadAll(root_ / "err.txt");
  fs::remove(root_ / "err.txt");
  EXPECT_EQ(LeftBehind(), std::vector<std::string>());
}

TEST_F(ReduceProcessTest, CtrlCKeepsTheLinesOfTheFilesDone) {
  const fs::path first = Input("first.gif", "pillow-chi.gif");
  const fs::path second = Input("second.gif", "wuffs-gifplayer-muybridge.gif");
  for (const char* format : {"--json", "-v"}) {
    const fs::path report = root_ / "report.txt";
    const int file = open(report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(file, 0);
    CliProcess cli(
        {"reduce", "-j1", "--best", format, "-o", (root_ / "out").string(), first, second}, file,
        root_ / "err.txt", temporary_);
    close(file);
    // As soon as the first file's line is on the disk, Ctrl+C; the line must stay there.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ReadAll(report).find("first.gif") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    // The second file takes far longer than the first: the line came while it was worked on.
    EXPECT_TRUE(cli.Running()) << format << ": the line came only when the program ended";
    cli.Signal(SIGINT);
    cli.Wait();
    EXPECT_NE(ReadAll(report).find("first.gif"), std::string::npos) << format;
    fs::remove(report);
    fs::remove(root_ / "err.txt");
  }
}

TEST_F(ReduceProcessTest, SignalsAtRandomMomentsLeaveNoTemporaryFileAndNoHalfFile) {
  const std::vector<std::string> reals = {"pillow-chi.gif", "pillow-iss634.gif",
                                          "wuffs-hibiscus.regular.gif", "wuffs-hat.gif"};
  std::vector<fs::path> inputs;
  for (size_t i = 0; i < 8; ++i) {
    inputs.push_back(Input("in" + std::to_string(i) + ".gif", reals[i % reals.size()]));
  }
  std::mt19937 random(20261208);
  for (int run = 0; run < 40; ++run) {
    const bool inPlace = run % 2 == 1;
    std::vector<std::string> arguments = {"reduce", "-j2", "-q"};
    if (inPlace) {
      arguments.push_back("--in-place");
    } else {
      arguments.insert(arguments.end(), {"-o", (root_ / "out").string()});
    }
    for (const fs::path& input : inputs) arguments.push_back(input.string());
    const int devNull = open("/dev/null", O_WRONLY);
    CliProcess cli(arguments, devNull, "/dev/null", temporary_);
    close(devNull);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 150000));
    cli.Signal(run % 3 == 0 ? SIGINT : SIGTERM);
    cli.Wait();
    ASSERT_EQ(LeftBehind(), std::vector<std::string>()) << "run " << run;
    // Every file there is whole: it loads and shows what its input showed.
    for (size_t i = 0; i < inputs.size(); ++i) {
      const fs::path made =
          inPlace ? inputs[i] : root_ / "out" / ("in" + std::to_string(i) + "-reduced.gif");
      if (!fs::exists(made)) continue;
      cGIF original, now;
      ASSERT_TRUE(original.LoadFromFile((RealFilesFolder() / reals[i % reals.size()]).string()));
      ASSERT_TRUE(now.LoadFromFile(made.string())) << made << " run " << run;
      ASSERT_TRUE(LookTheSame(original, now)) << made << " run " << run;
    }
  }
}

}  // namespace
}  // namespace lumatrim
