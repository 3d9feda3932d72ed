// `lumatrim-cli resave IN OUT`: exit codes and messages.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <string>

#include "cli/resave_command.h"
#include "gif/gif_document.h"

namespace lumatrim {
namespace {

namespace fs = std::filesystem;

const std::string kInput =
    std::string(LUMATRIM_TEST_DATA) + "/real/suite-animated_loop_interlaced.gif";

TEST(ResaveCommandTest, WritesALoadableCopy) {
  // A name of its own, so that runs from several build folders at once don't meet.
  const fs::path output = fs::path(::testing::TempDir()) /
                          ("resaved-" + std::to_string(std::random_device()()) + ".gif");
  std::ostringstream err;
  ASSERT_TRUE(fs::exists(kInput));
  EXPECT_EQ(cli::RunResave(kInput, output.string(), err), 0);
  EXPECT_EQ(err.str(), "");
  cGIF original;
  cGIF copy;
  ASSERT_TRUE(original.LoadFromFile(kInput));
  ASSERT_TRUE(copy.LoadFromFile(output.string()));
  EXPECT_EQ(copy.FramesCount(), original.FramesCount());
  fs::remove(output);
}

TEST(ResaveCommandTest, FailuresExitWithOne) {
  std::ostringstream err;
  EXPECT_EQ(cli::RunResave("no-such-file.gif", "out.gif", err), 1);
  EXPECT_EQ(err.str(), "Error loading gif file: no-such-file.gif (No such file or directory)\n");
  EXPECT_FALSE(fs::exists("out.gif"));

  std::ostringstream saveErr;
  const fs::path output = fs::path(::testing::TempDir()) / "missing-folder" / "out.gif";
  EXPECT_EQ(cli::RunResave(kInput, output.string(), saveErr), 1);
  EXPECT_EQ(saveErr.str(),
            "Error saving gif file: " + output.string() + " (No such file or directory)\n");
}

}  // namespace
}  // namespace lumatrim
