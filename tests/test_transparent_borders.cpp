#include <gtest/gtest.h>

#include <tuple>

#include "animation_docs.h"
#include "optimizer/passes.h"
#include "optimizer/pixel_grid.h"
#include "playback/viewer.h"

namespace lumatrim {
namespace {

using namespace testing;
using mGIFOptimizer::CropTransparentBorders;

// A frame of index 0 (transparent) with index `index` in the frame-local block at (x, y), w x h.
FrameSpec Framed(uint16_t left, uint16_t top, uint16_t width, uint16_t height, int x, int y, int w,
                 int h, uint8_t index = 1) {
  FrameSpec frame = WithBlock(Filled(left, top, width, height, 0), x, y, w, h, index);
  frame.transparent = 0;
  return frame;
}

TEST(TransparentBordersTest, CropsAFrameToItsVisiblePixels) {
  // The only visible pixels fill columns 2 to 4 of rows 3 to 6.
  Docs docs(Animation(20, 20, {Framed(5, 5, 10, 10, 2, 3, 3, 4)}));
  EXPECT_TRUE(CropTransparentBorders(docs.after));
  ExpectFramesAfter(docs, {{{7, 8, 10, 12}}});
  EXPECT_EQ(PixelsOf(docs.after, 1), Bytes(12, 1));
}

TEST(TransparentBordersTest, WideFramesAreCutAtTheirVisiblePixelsExactly) {
  // Rows searched eight pixels at a time: visible pixels just inside and outside those steps.
  for (const auto& [x, y, w] :
       {std::tuple{0, 0, 1}, {7, 3, 2}, {8, 9, 1}, {63, 1, 130}, {298, 9, 1}}) {
    SCOPED_TRACE(::testing::Message() << x << "," << y << " width " << w);
    Docs docs(Animation(300, 10, {Filled(0, 0, 300, 10, 1), Framed(0, 0, 300, 10, x, y, w, 1, 2)}));
    EXPECT_TRUE(CropTransparentBorders(docs.after));
    EXPECT_EQ(FrameRect(docs.after, 2), (Rect{x, y, x + w, y + 1}));
    EXPECT_TRUE(LookTheSame(docs.before, docs.after));
  }
}

TEST(TransparentBordersTest, FramesKeepTheirSizeWithoutATransparentBorderOrAsFirstFrame) {
  // An entirely transparent first frame, an opaque frame whose border carries one index, and a
  // frame whose visible pixels touch all four edges.
  FrameSpec opaque = Framed(0, 0, 6, 6, 2, 2, 2, 2);
  opaque.transparent = -1;
  FrameSpec touching = Framed(0, 0, 6, 6, 0, 0, 6, 6);
  touching.pixels[7] = 0;  // one transparent pixel inside
  Docs docs(Animation(6, 6, {Framed(0, 0, 6, 6, 0, 0, 0, 0), opaque, touching}));
  EXPECT_TRUE(CropTransparentBorders(docs.after));
  ASSERT_EQ(docs.after.FramesCount(), 3);
  for (int16_t n = 1; n <= 3; ++n) EXPECT_EQ(FrameRect(docs.after, n), (Rect{0, 0, 6, 6}));
}

TEST(TransparentBordersTest, TransparentFramesGoAndGiveTheirTimeToTheFrameBefore) {
  const FrameSpec empty = Framed(0, 0, 4, 4, 0, 0, 0, 0);
  Docs docs(Animation(4, 4,
                      {With(Framed(0, 0, 4, 4, 0, 0, 4, 4), 1, 10, 0), With(empty, 1, 20, 0),
                       With(empty, 1, 30, 0), With(Framed(0, 0, 4, 4, 1, 1, 1, 1, 2), 1, 40, 0)}));
  EXPECT_TRUE(CropTransparentBorders(docs.after));
  ExpectFramesAfter(docs, {{{0, 0, 4, 4}, 60}, {{1, 1, 2, 2}, 40}});
}

TEST(TransparentBordersTest, FrameWithDisposalTwoKeepsTheRectangleItClears) {
  // Frame 2's border is transparent over frame 1; when frame 2 goes, its whole rectangle clears.
  for (uint8_t disposal : {2, 3}) {
    SCOPED_TRACE(::testing::Message() << "disposal " << int(disposal));
    FrameSpec second = With(Framed(0, 0, 8, 6, 2, 2, 2, 2, 2), disposal, 10, 0);
    Docs docs(Animation(8, 6, {Filled(0, 0, 8, 6, 1), second, Filled(0, 0, 1, 1, 3)}));
    EXPECT_TRUE(CropTransparentBorders(docs.after));
    // Disposal 3 puts back what was there, so cutting the frame down is safe.
    const Rect secondAfter = disposal == 2 ? Rect{0, 0, 8, 6} : Rect{2, 2, 4, 4};
    ExpectFramesAfter(docs, {{{0, 0, 8, 6}}, {secondAfter}, {{0, 0, 1, 1}}});
  }
}

TEST(TransparentBordersTest, TransparentFrameStaysWhenItOrTheFrameBeforeIsTakenAway) {
  const FrameSpec empty = Framed(0, 0, 8, 6, 0, 0, 0, 0);
  for (uint8_t disposal : {2, 3}) {
    SCOPED_TRACE(::testing::Message() << "disposal " << int(disposal));
    // Frame 3 follows a frame taken away; frame 4 is taken away itself.
    Docs docs(
        Animation(8, 6,
                  {Filled(0, 0, 8, 6, 1), With(Framed(0, 0, 8, 6, 2, 2, 2, 2), disposal, 10, 0),
                   With(empty, 1, 50, 0), With(empty, disposal, 20, 0), Filled(0, 0, 1, 1, 3)}));
    EXPECT_TRUE(CropTransparentBorders(docs.after));
    const Rect secondAfter = disposal == 2 ? Rect{0, 0, 8, 6} : Rect{2, 2, 4, 4};
    ExpectFramesAfter(
        docs,
        {{{0, 0, 8, 6}}, {secondAfter}, {{0, 0, 8, 6}, 50}, {{0, 0, 8, 6}, 20}, {{0, 0, 1, 1}}});
  }
}

TEST(TransparentBordersTest, FramesPastTheScreenAreNeitherCroppedNorDropped) {
  // On a 6 x 6 screen, frame 2 reaches past the right edge and frame 3 past the bottom edge.
  Docs docs(Animation(
      6, 6,
      {Filled(0, 0, 6, 6, 1), Framed(2, 0, 6, 6, 1, 1, 2, 2), Framed(0, 2, 6, 6, 0, 0, 0, 0)}));
  EXPECT_TRUE(CropTransparentBorders(docs.after));
  ExpectFramesAfter(docs, {{{0, 0, 6, 6}}, {{2, 0, 8, 6}}, {{0, 2, 6, 8}}});
}

TEST(TransparentBordersTest, FramesFarOffTheScreenStayWhereTheyAre) {
  // Positions are 16 bits without sign in the file: 65535 lies far right of the screen, and
  // cutting off a column must not bring the frame to 0.
  Docs docs(Animation(8, 6, {Filled(0, 0, 8, 6, 1), Framed(65535, 0, 4, 4, 1, 1, 2, 2)}));
  EXPECT_TRUE(CropTransparentBorders(docs.after));
  ASSERT_EQ(docs.after.FramesCount(), 2);
  EXPECT_EQ(uint16_t(docs.after.FrameLeft(2)), 65535);
  EXPECT_EQ(docs.after.FrameDIBXOR(2)->Width(), 4);
}

TEST(TransparentBordersTest, DelaySumPast65535StopsThePassBeforeAnyCropping) {
  const FrameSpec empty = Framed(0, 0, 4, 4, 0, 0, 0, 0);
  Docs docs(Animation(
      4, 4,
      {With(Framed(0, 0, 4, 4, 1, 1, 2, 2), 0, 10, 0), With(Filled(0, 0, 4, 4, 1), 0, 65000, -1),
       With(empty, 1, 700, 0), With(empty, 1, 100, 0)}));
  EXPECT_FALSE(CropTransparentBorders(docs.after));
  // Frame 4 went into frame 3; frame 3 would take frame 2's delay past 65535.
  ExpectFramesAfter(docs, {{{0, 0, 4, 4}}, {{0, 0, 4, 4}, 65000}, {{0, 0, 4, 4}, 800}});
}

}  // namespace
}  // namespace lumatrim
