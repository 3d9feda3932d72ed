// Files the fuzzers found or that were made to show a fault: each once crashed, hung, came out
// looking different or cost far more than its bytes. Every one must now go through the whole
// pipeline in both frame differencing modes, and what is written must load again and show what
// the input showed.
#include <gtest/gtest.h>

#include <filesystem>

#include "best/smallest.h"
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
        // A screen too large to play within the budget can't be checked; any other must be.
        const PlaybackComparison compared = ComparePlayback(before, after);
        if (compared.outcome == PlaybackComparison::NotChecked) {
          EXPECT_NE(compared.reason.find("screen is too large"), std::string::npos);
        } else {
          EXPECT_EQ(compared.outcome, PlaybackComparison::Same) << compared.reason;
        }
      }
    }
  }
  EXPECT_GT(files, 0);
}

// --best as its fuzzer runs it: within a small budget, the input alone (no fresh copies to weigh
// against). One of these files took the fuzzer over 10 s, most of it in the choice encoder
// walking strings thousands of pixels long, once for every place a clear might go.
TEST(CrasherTest, EveryFoundFileIsReducedWithBestAndLooksTheSame) {
  constexpr uint64_t kFuzzingBudget = uint64_t(4) << 20;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(LUMATRIM_TEST_DATA) / "crashers")) {
    if (entry.path().extension() != ".gif") continue;
    SCOPED_TRACE(entry.path().filename().string());
    cGIF gif, before, after;
    gif.MemoryBudget(kFuzzingBudget);
    if (!gif.LoadFromFile(entry.path().string())) continue;  // refused is fine
    ++files;
    ReductionOptions options;
    options.best = true;
    options.memoryBudget = kFuzzingBudget;
    const Result<std::vector<uint8_t>> bytes = best::SmallestBytes(gif, options);
    ASSERT_TRUE(bytes) << bytes.reason();
    before.MemoryBudget(kFuzzingBudget);
    ASSERT_TRUE(before.LoadFromFile(entry.path().string()));
    ASSERT_TRUE(after.LoadFromStream(*bytes));
    EXPECT_NE(ComparePlayback(before, after, uint64_t(16) << 20).outcome,
              PlaybackComparison::Different);
  }
  EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace lumatrim
