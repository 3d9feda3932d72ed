#include <gtest/gtest.h>

#include "animation_docs.h"
#include "optimizer/passes.h"

namespace lumatrim {
namespace {

using namespace testing;
using mGIFOptimizer::NormalizeFrameProperties;

TEST(NormalizeTest, TransparencyWithoutPixelsIsDropped) {
  FrameSpec unused = Filled(0, 0, 2, 2, 1);
  unused.transparent = 3;
  FrameSpec used = Filled(0, 0, 2, 2, 1);
  used.pixels[3] = 2;
  used.transparent = 2;
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(Animation(2, 2, {unused, used})));
  ASSERT_TRUE(NormalizeFrameProperties(gif));
  EXPECT_FALSE(gif.FrameUseTransparentColor(1));
  EXPECT_EQ(gif.FrameTransparentColorIndex(1), 0);
  EXPECT_TRUE(gif.FrameUseTransparentColor(2));
  EXPECT_EQ(gif.FrameTransparentColorIndex(2), 2);
}

TEST(NormalizeTest, CoveredDisposalsBecomeZero) {
  struct Case {
    FrameSpec next;
    int expected;
    const char* what;
  };
  FrameSpec transparentNext = Filled(0, 0, 4, 4, 1);
  transparentNext.pixels[0] = 3;
  transparentNext.transparent = 3;
  FrameSpec restoringNext = Filled(0, 0, 4, 4, 1);
  restoringNext.disposal = 3;
  const Case cases[] = {
      {Filled(0, 0, 4, 4, 1), 0, "opaque and covering"},
      {Filled(0, 0, 5, 5, 1), 0, "opaque and larger"},
      {transparentNext, 2, "transparent"},
      {Filled(1, 1, 3, 3, 1), 2, "smaller"},
      {Filled(2, 2, 4, 4, 1), 2, "only overlapping"},
      {restoringNext, 2, "restores what was before it"},
  };
  for (const Case& c : cases) {
    FrameSpec first = Filled(0, 0, 4, 4, 2);
    first.disposal = 2;
    cGIF gif;
    ASSERT_TRUE(gif.LoadFromStream(Animation(6, 6, {first, c.next, Filled(0, 0, 1, 1, 0)})));
    ASSERT_TRUE(NormalizeFrameProperties(gif));
    EXPECT_EQ(gif.FrameDisposalMethod(1), c.expected) << c.what;
  }
}

TEST(NormalizeTest, LastFrameStays) {
  FrameSpec only = Filled(0, 0, 1, 1, 1);
  only.disposal = 3;
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(Animation(1, 1, {only})));
  ASSERT_TRUE(NormalizeFrameProperties(gif));
  EXPECT_EQ(gif.FrameDisposalMethod(1), 0);
}

TEST(NormalizeTest, PalettesGrowToTheirTransparentIndices) {
  // Two frames on the 4-entry global palette with transparent indices 9 and 5.
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(Animation(2, 1, {Filled(0, 0, 2, 1, 1), Filled(0, 0, 2, 1, 1)})));
  for (int16_t n : {1, 2}) gif.FrameUseTransparentColor(n, true);
  gif.FrameDIBXOR(1)->lpBits()[0] = 9;
  gif.FrameTransparentColorIndex(1, 9);
  gif.FrameDIBXOR(2)->lpBits()[0] = 5;
  gif.FrameTransparentColorIndex(2, 5);
  ASSERT_TRUE(NormalizeFrameProperties(gif));
  EXPECT_EQ(gif.GlobalPaletteEntries(), 10);
  EXPECT_EQ(gif.LocalPaletteEntries(1), 10);
  EXPECT_EQ(gif.LocalPaletteEntries(2), 10);

  // A 2-entry local palette with transparent index 3 grows to 4 entries; without transparency
  // it keeps 2.
  FrameSpec local = Filled(0, 0, 1, 1, 3);
  local.localEntries = 2;
  local.transparent = 3;
  FrameSpec opaque = Filled(0, 0, 1, 1, 1);
  opaque.localEntries = 2;
  cGIF locals;
  ASSERT_TRUE(locals.LoadFromStream(Animation(1, 1, {local, opaque})));
  ASSERT_TRUE(NormalizeFrameProperties(locals));
  EXPECT_EQ(locals.LocalPaletteEntries(1), 4);
  EXPECT_EQ(locals.LocalPaletteEntries(2), 2);
}

TEST(NormalizeTest, BackgroundBeyondThePaletteStaysBeyond) {
  Bytes file = Header(1, 1, 0x81, 6);
  ColorTable(file, 4);
  Image(file, 0, 0, 1, 1, 0, UncompressedCodes({1}));
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  ASSERT_TRUE(NormalizeFrameProperties(gif));
  EXPECT_EQ(gif.GlobalPaletteEntries(), 4);
  EXPECT_EQ(gif.ScreenBackgroundColorIndex(), 6);
}

TEST(NormalizeTest, FirstFrameKeepsTransparencyWhileAFrameRestoresTheBackground) {
  FrameSpec first = Filled(0, 0, 2, 2, 1);
  first.transparent = 3;  // no pixel carries it
  FrameSpec second = Filled(0, 0, 2, 2, 2);
  second.disposal = 2;
  const FrameSpec last = Filled(0, 0, 1, 1, 1);  // covers only part of the second
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(Animation(2, 2, {first, second, last})));
  ASSERT_TRUE(NormalizeFrameProperties(gif));
  EXPECT_TRUE(gif.FrameUseTransparentColor(1));
  EXPECT_EQ(gif.FrameTransparentColorIndex(1), 3);

  // Whether a frame restores the background is decided once the disposals are final: a last
  // frame's disposal, and one the next frame covers, restore nothing.
  second.disposal = 1;
  FrameSpec lastTakenAway = last;
  lastTakenAway.disposal = 2;
  FrameSpec covered = Filled(0, 0, 1, 1, 2);
  covered.disposal = 2;
  for (const auto& frames : {std::vector<FrameSpec>{first, second, last},
                             std::vector<FrameSpec>{first, second, lastTakenAway},
                             std::vector<FrameSpec>{first, covered, last}}) {
    ASSERT_TRUE(gif.LoadFromStream(Animation(2, 2, frames)));
    ASSERT_TRUE(NormalizeFrameProperties(gif));
    EXPECT_FALSE(gif.FrameUseTransparentColor(1));
    EXPECT_EQ(gif.FrameTransparentColorIndex(1), 0);
  }
}

}  // namespace
}  // namespace lumatrim
