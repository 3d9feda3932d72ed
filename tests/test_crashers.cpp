// Files the fuzzers found: each once crashed, hung or came out looking different. Every one must
// now go through the whole pipeline in both frame differencing modes, and what is written must
// load again and show what the input showed.
#include <gtest/gtest.h>

#include <filesystem>

#include "gif/gif_document.h"
#include "optimizer/pipeline.h"
#include "playback/viewer.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

namespace fs = std::filesystem;

TEST(CrasherTest, EveryFoundFileIsReducedAndLooksTheSame) {
  const testing::TempFolder folder("crashers");
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(LUMATRIM_TEST_DATA) / "crashers")) {
    if (entry.path().extension() != ".gif") continue;
    ++files;
    for (auto mode : {mGIFOptimizer::CropChangedArea, mGIFOptimizer::MaskUnchangedPixels}) {
      for (bool secondPass : {false, true}) {
        SCOPED_TRACE(entry.path().filename().string() + " mode " + std::to_string(mode) +
                     (secondPass ? " second pass" : ""));
        cGIF gif, before, after;
        if (!gif.LoadFromFile(entry.path().string())) continue;  // refused is fine
        const std::string out = (folder / "out.gif").string();
        ASSERT_TRUE(pvSaveOptimizedTmpGIF(gif, out, mode, secondPass, true, true));
        ASSERT_TRUE(before.LoadFromFile(entry.path().string()));
        ASSERT_TRUE(after.LoadFromFile(out));
        EXPECT_TRUE(LookTheSame(before, after));
      }
    }
  }
  EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace lumatrim
