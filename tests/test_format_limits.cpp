// The GIF format's limits: 32767 frames and comments, positions and delays of 32768 to 65535,
// declarations far larger than the memory budget. Each case goes through the whole pipeline and
// must come out showing what it showed before.
#include <gtest/gtest.h>

#include <filesystem>

#include "animation_docs.h"
#include "gif/geometry.h"
#include "look_the_same.h"
#include "optimizer/pipeline.h"
#include "optimizer/pixel_grid.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

using namespace testing;
using mGIFOptimizer::CropChangedArea;
using mGIFOptimizer::MaskUnchangedPixels;

class FormatLimitsTest : public ::testing::Test {
 protected:
  // Loads bytes, reduces them with the given mode and options and loads the output; checks that
  // it shows what the input shows.
  void ReduceAndCompare(const Bytes& bytes, cGIF& output,
                        mGIFOptimizer::OptimizationMode mode = CropChangedArea,
                        bool secondPass = false) {
    cGIF input, work;
    ASSERT_TRUE(input.LoadFromStream(bytes));
    ASSERT_TRUE(work.LoadFromStream(bytes));
    const std::string out = (folder_ / "out.gif").string();
    ASSERT_TRUE(pvSaveOptimizedTmpGIF(work, out, mode, secondPass, true, true));
    ASSERT_TRUE(output.LoadFromFile(out));
    const PlaybackComparison comparison = ComparePlayback(input, output);
    EXPECT_EQ(comparison.outcome, PlaybackComparison::Same) << comparison.reason;
  }

  TempFolder folder_{std::string("limits-") +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

// count 1x1 frames on a 2x1 screen, alternating between the two columns and colours.
Bytes ManyFrames(int count, uint16_t width = 1) {
  Bytes file = Header(2, 1, 0x81);
  ColorTable(file, 4);
  for (int i = 0; i < count; ++i) {
    GraphicControl(file, 0, 1, 0);
    Image(file, uint16_t(i % 2), 0, width, width == 0 ? 0 : 1, 0,
          width == 0 ? Bytes{} : UncompressedCodes({uint8_t(1 + i % 2)}));
  }
  file.push_back(0x3B);
  return file;
}

TEST_F(FormatLimitsTest, ThirtyTwoThousandSevenHundredSixtySevenFrames) {
  cGIF output;
  ReduceAndCompare(ManyFrames(32767), output);
  EXPECT_EQ(output.FramesCount(), 32767);

  // Past the count each image replaces the last frame, and the load says so.
  cGIF more;
  ASSERT_TRUE(more.LoadFromStream(ManyFrames(32769)));
  EXPECT_EQ(more.FramesCount(), 32767);
  EXPECT_NE(more.LoadNote().find("32767"), std::string::npos);
  EXPECT_TRUE(more.Save((folder_ / "resaved.gif").string()));

  // Frames without pixels: all go but the first.
  ReduceAndCompare(ManyFrames(40000, 0), output);
  EXPECT_EQ(output.FramesCount(), 1);
}

TEST_F(FormatLimitsTest, CommentsPast32767AreLeftOutAndSaid) {
  Bytes file = Header(1, 1, 0x80);
  ColorTable(file, 2);
  for (int i = 0; i < 40000; ++i) Comment(file, "c");
  Image(file, 0, 0, 1, 1, 0, UncompressedCodes({1}));
  for (int i = 0; i < 40000; ++i) Append(file, {0x21, 0xFE, 0x00});  // empty comments
  file.push_back(0x3B);
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  EXPECT_EQ(gif.FrameCommentsCount(1), 32767);
  EXPECT_EQ(gif.TrailingCommentsCount(), 32767);
  EXPECT_NE(gif.LoadNote().find("comments"), std::string::npos);
  const std::string out = (folder_ / "kept.gif").string();
  ASSERT_TRUE(gif.Save(out));
  cGIF again;
  ASSERT_TRUE(again.LoadFromFile(out));
  EXPECT_EQ(again.FrameCommentsCount(1), 32767);
  EXPECT_TRUE(again.LoadNote().empty());
}

TEST_F(FormatLimitsTest, AStrayHugeDeclarationKeepsTheGoodFrames) {
  Bytes file = Header(4, 4, 0x81);
  ColorTable(file, 4);
  Image(file, 0, 0, 4, 4, 0, UncompressedCodes(Bytes(16, 1)));
  Image(file, 0, 0, 4, 4, 0, UncompressedCodes(Bytes(16, 2)));
  Image(file, 0, 0, 65535, 65535, 0, UncompressedCodes({3}));
  file.push_back(0x3B);
  cGIF output;
  ReduceAndCompare(file, output);
  // The stray frame is held as far as its one pixel and the screen reach: the rest of it shows
  // index 0 on the screen.
  ASSERT_EQ(output.FramesCount(), 3);
  EXPECT_EQ(output.FrameDIBXOR(2)->PixelColor(3, 3), RGB(2, 3, 4));
  EXPECT_LE(output.FrameSurfaceWidth(3), 4);
  EXPECT_LE(output.FrameSurfaceHeight(3), 4);
}

// A screen wider than 32767 with one row; frame 1 fills it, frame 2 is one pixel at x.
Bytes WideScreen(uint16_t x, uint8_t index) {
  return Animation(33001, 1, {Filled(0, 0, 33001, 1, 1), Filled(x, 0, 1, 1, index)});
}

TEST_F(FormatLimitsTest, PositionsPast32767AreReadWithoutSign) {
  // Playback sees a pixel at x = 33000.
  cGIF a, b;
  ASSERT_TRUE(a.LoadFromStream(WideScreen(33000, 2)));
  ASSERT_TRUE(b.LoadFromStream(WideScreen(33000, 3)));
  EXPECT_EQ(ComparePlayback(a, b).outcome, PlaybackComparison::Different);
  EXPECT_TRUE(LookTheSame(a, a));

  // A frame at 65535 does not cover one at 0: the first frame's disposal stays.
  for (uint16_t far : {uint16_t(32767), uint16_t(32768), uint16_t(65535)}) {
    FrameSpec taken = Filled(0, 0, 4, 4, 1);
    taken.disposal = 2;
    const Bytes file = Animation(4, 4, {taken, Filled(far, 0, 4, 4, 2), Filled(0, 0, 1, 1, 3)});
    cGIF gif;
    ASSERT_TRUE(gif.LoadFromStream(file));
    ASSERT_TRUE(mGIFOptimizer::NormalizeFrameProperties(gif));
    EXPECT_EQ(gif.FrameDisposalMethod(1), 2) << far;
    cGIF output;
    ReduceAndCompare(file, output);
    ReduceAndCompare(file, output, MaskUnchangedPixels, true);
  }

  // A visible frame is not dropped as unchanged because of a frame far to the right.
  cGIF output;
  ReduceAndCompare(Animation(4, 4, {Filled(65535, 0, 4, 4, 1), Filled(0, 0, 4, 4, 1)}), output);
}

TEST_F(FormatLimitsTest, CropsAreWholeOrNotAtAll) {
  for (const auto& [left, cropped, expected] :
       {std::tuple{32760, true, 32770}, std::tuple{65530, false, 65530}}) {
    cGIF gif;
    ASSERT_TRUE(gif.LoadFromStream(Animation(4, 4, {Filled(uint16_t(left), 0, 20, 2, 1)})));
    EXPECT_EQ(CropFrame(gif, 1, Rect{10, 0, 20, 2}), cropped);
    EXPECT_EQ(Geometry(gif).FrameLeft(1), expected);
    EXPECT_EQ(gif.FrameDIBXOR(1)->Width(), cropped ? 10 : 20);
  }
}

TEST_F(FormatLimitsTest, DelaysUpTo65535) {
  const FrameSpec same = Filled(0, 0, 4, 4, 1);
  FrameSpec changed = Filled(0, 0, 4, 4, 2);
  for (uint16_t delay : {uint16_t(32767), uint16_t(32768), uint16_t(40000), uint16_t(65535)}) {
    FrameSpec first = same;
    first.delay = delay;
    cGIF output;
    ReduceAndCompare(Animation(4, 4, {first, changed}), output);
    EXPECT_EQ(Geometry(output).FrameDelay(1), delay);
  }
  FrameSpec pause = same;
  pause.delay = 40000;
  FrameSpec more = same;
  more.delay = 100;
  cGIF output;
  ReduceAndCompare(Animation(4, 4, {pause, more, changed}), output);
  ASSERT_EQ(output.FramesCount(), 2);
  EXPECT_EQ(Geometry(output).FrameDelay(1), 40100);
}

TEST_F(FormatLimitsTest, BackgroundThatNamedNoColourIsNotKeptByCompaction) {
  // Background 6 beyond a 4-entry palette; a pixel of 7 makes normalization widen the palette
  // past it. A frame taken away would keep the background entry if it named a colour.
  Bytes file = Header(2, 1, 0x81, 6);
  ColorTable(file, 4);
  GraphicControl(file, 0x08, 10, 0);
  Image(file, 0, 0, 2, 1, 0, UncompressedCodes({1, 2}));
  Append(file, {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 3});  // 1 x 1, minimum code size 3
  SubBlocks(file, PackCodes({{8, 4}, {7, 4}, {9, 4}}));
  file.push_back(0x3B);
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  ASSERT_TRUE(mGIFOptimizer::NormalizeFrameProperties(gif));
  ASSERT_EQ(gif.GlobalPaletteEntries(), 8);
  mGIFOptimizer::OptimizeGlobalPalette(gif, false);
  EXPECT_EQ(gif.GlobalPaletteEntries(), 3);  // 1, 2 and 7
}

TEST_F(FormatLimitsTest, PlaybackStaysWithinTheBudget) {
  cGIF huge, small;
  ASSERT_TRUE(huge.LoadFromStream(Animation(65535, 65535, {Filled(0, 0, 1, 1, 1)})));
  const PlaybackComparison comparison = ComparePlayback(huge, huge);
  EXPECT_EQ(comparison.outcome, PlaybackComparison::NotChecked);
  EXPECT_NE(comparison.reason.find("budget"), std::string::npos);
  ASSERT_TRUE(small.LoadFromStream(Animation(4, 4, {Filled(0, 0, 1, 1, 1)})));
  EXPECT_EQ(ComparePlayback(small, small, 100).outcome, PlaybackComparison::NotChecked);
}

}  // namespace
}  // namespace lumatrim
