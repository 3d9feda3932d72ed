#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <stdexcept>
#include <utility>

#include "animation_docs.h"
#include "corpus.h"
#include "gifdiff.h"
#include "look_the_same.h"
#include "optimizer/pipeline.h"
#include "reduction/reduce_file.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

using namespace testing;
namespace fs = std::filesystem;

class PipelineTest : public ::testing::Test {
 protected:
  // Runs the pipeline with the reduction run's options and loads what it wrote.
  void Reduce(cGIF& gif, cGIF& written,
              mGIFOptimizer::OptimizationMode mode = mGIFOptimizer::CropChangedArea) {
    const std::string out = (dir_ / "out.gif").string();
    ASSERT_TRUE(pvSaveOptimizedTmpGIF(gif, out, mode, false, true, true));
    ASSERT_TRUE(written.LoadFromFile(out));
  }

  TempFolder folder_{std::string("pipeline-") +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name()};
  const fs::path& dir_ = folder_.path();
};

TEST_F(PipelineTest, RunOptionsDropInterlacingAndComments) {
  Bytes file = Header(2, 2, 0x81);
  ColorTable(file, 4);
  Comment(file, "before");
  Image(file, 0, 0, 2, 2, 0x40, UncompressedCodes({1, 2, 3, 0}));
  Comment(file, "after");
  file.push_back(0x3B);
  cGIF gif, before, written;
  ASSERT_TRUE(gif.LoadFromStream(file));
  ASSERT_TRUE(before.LoadFromStream(file));
  Reduce(gif, written);
  EXPECT_FALSE(written.FrameInterlaced(1));
  EXPECT_EQ(written.FrameCommentsCount(1), 0);
  EXPECT_EQ(written.TrailingCommentsCount(), 0);
  EXPECT_TRUE(LookTheSame(before, written));
}

TEST_F(PipelineTest, SingleFrameKeepsItsLocalPalette) {
  FrameSpec frame = Filled(0, 0, 2, 1, 1);
  frame.localEntries = 4;
  cGIF gif, written;
  ASSERT_TRUE(gif.LoadFromStream(Animation(2, 1, {frame})));
  Reduce(gif, written);
  EXPECT_TRUE(written.LocalPaletteUsed(1));
  EXPECT_EQ(written.LocalPaletteEntries(1), 2);  // one used colour, padded to two
}

TEST_F(PipelineTest, IdenticalFramesBecomeOneWithAllTheTime) {
  cGIF gif, before, written;
  const Bytes file = Animation(
      3, 3,
      {Filled(0, 0, 3, 3, 2), Filled(0, 0, 3, 3, 2), Filled(0, 0, 3, 3, 2), Filled(0, 0, 3, 3, 2)});
  ASSERT_TRUE(gif.LoadFromStream(file));
  ASSERT_TRUE(before.LoadFromStream(file));
  Reduce(gif, written);
  ASSERT_EQ(written.FramesCount(), 1);
  EXPECT_EQ(written.FrameDelay(1), 40);
  EXPECT_TRUE(LookTheSame(before, written));

  // Without frame differencing the frames stay.
  cGIF again, unchanged;
  ASSERT_TRUE(again.LoadFromStream(file));
  Reduce(again, unchanged, mGIFOptimizer::OptimizationMode(2));
  EXPECT_EQ(unchanged.FramesCount(), 4);
}

TEST_F(PipelineTest, BackgroundThatNamesNoColourStaysSo) {
  // No global palette: merging the local palettes gives the file one that would cover index 1.
  Bytes file = Header(1, 1, 0x00, 1);
  Image(file, 0, 0, 1, 1, 0x80, UncompressedCodes({0}), 2);
  Image(file, 0, 0, 1, 1, 0x80, UncompressedCodes({1}), 2);
  file.push_back(0x3B);
  cGIF gif, written;
  ASSERT_TRUE(gif.LoadFromStream(file));
  Reduce(gif, written);
  ASSERT_TRUE(written.GlobalPaletteExists());
  EXPECT_EQ(written.ScreenBackgroundColorIndex(), 255);
}

TEST_F(PipelineTest, OutputNames) {
  EXPECT_EQ(ReducedFileName("/in/a.b.gif"), "a.b-reduced.gif");
  EXPECT_EQ(ReducedFileName("photo.GIF"), "photo-reduced.gif");
  EXPECT_EQ(ReducedFileName("dir/.gif"), "-reduced.gif");
  EXPECT_EQ(ReducedFileName("x-reduced.gif"), "x-reduced-reduced.gif");
  EXPECT_EQ(ReducedFileName("/in/noext"), "noext-reduced.gif");
  EXPECT_EQ(ReducedFileName("C:\\in.x\\a.b.gif", '\\'), "a.b-reduced.gif");
  EXPECT_EQ(ReducedFileName("C:\\in.x\\plain", '\\'), "plain-reduced.gif");
  EXPECT_EQ(ReducedOutputPath("/in/a.gif", "/out/"), "/out//a-reduced.gif");
  EXPECT_EQ(ReducedOutputPath("C:\\in\\a.gif", "D:\\out", '\\'), "D:\\out\\a-reduced.gif");
}

TEST_F(PipelineTest, ReduceFileReportsWhatFailed) {
  cGIF gif;
  const fs::path notGif = dir_ / "not.gif";
  std::ofstream(notGif) << "hello";
  ReductionResult result = ReduceFile(gif, notGif.string(), dir_.string(), ReductionOptions{});
  EXPECT_EQ(result.status, ReductionStatus::NotLoaded);
  EXPECT_FALSE(fs::exists(dir_ / "not-reduced.gif"));

  const fs::path input = RealFilesFolder() / "wuffs-hat.gif";
  result = ReduceFile(gif, input.string(), (dir_ / "missing").string(), ReductionOptions{});
  EXPECT_EQ(result.status, ReductionStatus::NotSaved);
  result = ReduceFile(gif, input.string(), dir_.string(), ReductionOptions{});
  EXPECT_EQ(result.status, ReductionStatus::Reduced);
  EXPECT_EQ(result.outputPath, (dir_ / "wuffs-hat-reduced.gif").string());
}

// A failure inside a pass reaches the result as that pass's name and the reason, whatever the
// pass threw; here the progress report that ends the third pass fails.
TEST_F(PipelineTest, AFailedPassSaysWhichPassAndWhy) {
  const Bytes input = Animation(4, 4, {Filled(0, 0, 4, 4, 1), Filled(0, 0, 2, 2, 2)});
  const double thirdPassDone = kLoadShare + kPassesShare * 3 / 6;
  for (const auto& [thrown, reason] :
       {std::pair<std::function<void()>, std::string>{
            [] { throw std::runtime_error("the disk is on fire"); },
            "merging local palettes: the disk is on fire"},
        {[] { throw std::bad_alloc(); }, "merging local palettes: out of memory"},
        {[] { throw 42; }, "merging local palettes: unexpected failure"}}) {
    ReductionOptions options;
    bool failed = false;
    options.progress = [&](double done) {
      if (!failed && done > thirdPassDone - 0.01) {
        failed = true;
        thrown();
      }
    };
    cGIF gif;
    const ReducedBytes reduced = ReduceBytes(gif, input, options);
    EXPECT_EQ(reduced.status, ReductionStatus::NotSaved);
    EXPECT_EQ(reduced.reason, reason);
    EXPECT_TRUE(reduced.bytes.empty());
  }
}

// Every real file that giflib reads cleanly: the output loads, looks the same to our compositor
// and to gifdiff, and the whole corpus gets smaller.
TEST_F(PipelineTest, RealFilesLookTheSameAndShrink) {
  const bool haveGifdiff = GifdiffInstalled();
  uintmax_t bytesIn = 0, bytesOut = 0;
  for (const fs::path& input : CleanRealFiles()) {
    SCOPED_TRACE(input.filename().string());
    cGIF gif, before, after;
    const ReductionResult result =
        ReduceFile(gif, input.string(), dir_.string(), ReductionOptions{});
    ASSERT_EQ(result.status, ReductionStatus::Reduced);
    ASSERT_TRUE(before.LoadFromFile(input.string()));
    ASSERT_TRUE(after.LoadFromFile(result.outputPath));
    EXPECT_TRUE(LookTheSame(before, after));
    EXPECT_TRUE(GiflibReadsCleanly(result.outputPath));
    if (haveGifdiff && GifdiffReads(input)) {
      EXPECT_EQ(Gifdiff(input, result.outputPath), 0);
    }
    bytesIn += fs::file_size(input);
    bytesOut += fs::file_size(result.outputPath);
  }
  EXPECT_LT(bytesOut, bytesIn);
}

}  // namespace
}  // namespace lumatrim
