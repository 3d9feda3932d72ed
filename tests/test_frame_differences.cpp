#include <gtest/gtest.h>

#include "animation_docs.h"
#include "look_the_same.h"
#include "optimizer/passes.h"
#include "optimizer/pixel_grid.h"

namespace lumatrim {
namespace {

using namespace testing;
using mGIFOptimizer::CropChangedArea;
using mGIFOptimizer::MaskUnchangedPixels;
using mGIFOptimizer::OptimizeFrameDifferences;

TEST(FrameDifferencesTest, EqualFramesCollapseOntoTheFirstWithTheirDelays) {
  // Frames 3 and 4 are smaller frames inside the frame before that show the same colour.
  Docs docs(Animation(8, 6,
                      {With(Filled(0, 0, 8, 6, 1), 1, 10), With(Filled(0, 0, 8, 6, 1), 0, 20),
                       With(Filled(2, 2, 3, 3, 1), 1, 30), With(Filled(3, 3, 2, 2, 1), 0, 40)}));
  EXPECT_TRUE(OptimizeFrameDifferences(docs.after, CropChangedArea));
  ExpectFramesAfter(docs, {{{0, 0, 8, 6}, 100}});
}

TEST(FrameDifferencesTest, CropsEachFrameToWhatChangedAgainstTheOriginalFrameBefore) {
  const FrameSpec first = Filled(0, 0, 16, 16, 1);
  const FrameSpec second = WithBlock(first, 10, 10, 3, 2, 2);
  const FrameSpec third = WithBlock(second, 1, 1, 1, 1, 3);
  Docs docs(Animation(16, 16, {first, second, third}));
  EXPECT_TRUE(OptimizeFrameDifferences(docs.after, CropChangedArea));
  // Frame 3 is compared with frame 2 as it was, not with its cropped remainder.
  ExpectFramesAfter(docs, {{{0, 0, 16, 16}}, {{10, 10, 13, 12}}, {{1, 1, 2, 2}}});
  EXPECT_EQ(PixelsOf(docs.after, 2), Bytes(6, 2));
  EXPECT_EQ(PixelsOf(docs.after, 3), Bytes{3});
}

TEST(FrameDifferencesTest, OpaquePixelOverATransparentOneIsAChange) {
  // Frame 1 is transparent at (3, 2); frame 2 paints the same index there, opaque.
  const FrameSpec first = With(WithBlock(Filled(0, 0, 8, 6, 1), 3, 2, 1, 1, 0), 1, 10, 0);
  const FrameSpec second = WithBlock(Filled(0, 0, 8, 6, 1), 3, 2, 1, 1, 0);
  Docs docs(Animation(8, 6, {first, second}));
  EXPECT_TRUE(OptimizeFrameDifferences(docs.after, CropChangedArea));
  ExpectFramesAfter(docs, {{{0, 0, 8, 6}}, {{3, 2, 4, 3}}});
}

TEST(FrameDifferencesTest, FramesNotInsideTheFrameBeforeKeepTheirRectangles) {
  Docs docs(
      Animation(10, 8, {Filled(0, 0, 6, 6, 1), Filled(4, 0, 6, 6, 1), Filled(0, 0, 10, 8, 1)}));
  EXPECT_TRUE(OptimizeFrameDifferences(docs.after, CropChangedArea));
  ExpectFramesAfter(docs, {{{0, 0, 6, 6}}, {{4, 0, 10, 6}}, {{0, 0, 10, 8}}});
}

TEST(FrameDifferencesTest, NoFrameIsComparedWithAFrameThatIsTakenAway) {
  for (uint8_t disposal : {2, 3}) {
    for (auto mode : {CropChangedArea, MaskUnchangedPixels}) {
      SCOPED_TRACE(::testing::Message() << "disposal " << int(disposal) << ", mode " << mode);
      Docs docs(Animation(8, 6, {With(Filled(0, 0, 8, 6, 1), disposal), Filled(0, 0, 8, 6, 1)}));
      EXPECT_TRUE(OptimizeFrameDifferences(docs.after, mode));
      ASSERT_EQ(docs.after.FramesCount(), 2);
      EXPECT_EQ(FrameRect(docs.after, 2), (Rect{0, 0, 8, 6}));
      EXPECT_EQ(PixelsOf(docs.after, 2), Bytes(48, 1));
      EXPECT_FALSE(docs.after.FrameUseTransparentColor(2));
    }
  }
}

TEST(FrameDifferencesTest, FrameWithDisposalTwoKeepsTheRectangleItClears) {
  // Frame 2 changes a 2 x 2 block and then clears the whole screen; frame 3 shows that.
  const FrameSpec first = Filled(0, 0, 8, 6, 1);
  for (uint8_t disposal : {2, 3}) {
    SCOPED_TRACE(::testing::Message() << "disposal " << int(disposal));
    Docs docs(Animation(8, 6,
                        {first, With(WithBlock(first, 2, 2, 2, 2, 2), disposal),
                         With(first, disposal), Filled(0, 0, 1, 1, 3)}));
    EXPECT_TRUE(OptimizeFrameDifferences(docs.after, CropChangedArea));
    // Disposal 3 puts back what was there, so cutting the frame down is safe. A frame taken
    // away is never dropped, even when it repeats the frame before.
    const Rect second = disposal == 2 ? Rect{0, 0, 8, 6} : Rect{2, 2, 4, 4};
    ExpectFramesAfter(docs, {{{0, 0, 8, 6}}, {second}, {{0, 0, 8, 6}}, {{0, 0, 1, 1}}});
  }
}

TEST(FrameDifferencesTest, FrameWithoutPixelsStaysAfterAFrameThatIsTakenAway) {
  // Frame 3 has no pixels: a viewer shows the screen as frame 2's disposal left it.
  for (uint8_t disposal : {0, 2, 3}) {
    SCOPED_TRACE(::testing::Message() << "disposal " << int(disposal));
    Docs docs(Animation(8, 6,
                        {Filled(0, 0, 8, 6, 1), With(Filled(2, 2, 3, 3, 2), disposal, 10),
                         With(Filled(0, 0, 0, 0, 0), 1, 50), Filled(0, 0, 1, 1, 3)}));
    EXPECT_TRUE(OptimizeFrameDifferences(docs.after, CropChangedArea));
    if (disposal == 0) {
      ExpectFramesAfter(docs, {{{0, 0, 8, 6}}, {{2, 2, 5, 5}, 60}, {{0, 0, 1, 1}}});
    } else {
      ExpectFramesAfter(docs, {{{0, 0, 8, 6}}, {{2, 2, 5, 5}}, {{0, 0, 0, 0}, 50}, {{0, 0, 1, 1}}});
    }
  }
}

TEST(FrameDifferencesTest, FramesPastTheScreenAreNotCropped) {
  // Frames 1 to 3 reach past the right edge of the 8 x 6 screen, frame 4 lies on it.
  const FrameSpec wide = Filled(0, 0, 10, 6, 1);
  const FrameSpec changed = WithBlock(wide, 2, 2, 2, 2, 2);
  const FrameSpec inside = WithBlock(Filled(0, 0, 8, 6, 1), 2, 2, 2, 2, 3);
  Docs docs(Animation(8, 6, {wide, changed, changed, inside}));
  EXPECT_TRUE(OptimizeFrameDifferences(docs.after, CropChangedArea));
  // Frame 3 repeats frame 2 and lies inside it: it goes without narrowing what is shown.
  ExpectFramesAfter(docs, {{{0, 0, 10, 6}}, {{0, 0, 10, 6}, 20}, {{2, 2, 4, 4}}});
}

TEST(FrameDifferencesTest, DelaySumsAreUnsignedAndStopThePastPass65535) {
  const FrameSpec same = Filled(0, 0, 4, 4, 1);
  const FrameSpec changed = WithBlock(same, 1, 1, 1, 1, 2);
  // Sums from 32768 up to 65535 are ordinary long pauses.
  Docs pause(Animation(4, 4, {With(same, 0, 40000), With(same, 0, 100), changed}));
  EXPECT_TRUE(OptimizeFrameDifferences(pause.after, CropChangedArea));
  ExpectFramesAfter(pause, {{{0, 0, 4, 4}, 40100}, {{1, 1, 2, 2}}});

  Docs full(Animation(4, 4, {With(same, 0, 65534), With(same, 0, 1), changed}));
  EXPECT_TRUE(OptimizeFrameDifferences(full.after, CropChangedArea));
  ExpectFramesAfter(full, {{{0, 0, 4, 4}, 65535}, {{1, 1, 2, 2}}});

  // Past 65535 the pass stops; the drops made so far stay and nothing is cropped.
  Docs docs(Animation(
      4, 4,
      {With(same, 0, 10), With(same, 0, 50), With(same, 0, 65490), With(same, 0, 5), changed}));
  EXPECT_FALSE(OptimizeFrameDifferences(docs.after, CropChangedArea));
  ExpectFramesAfter(docs,
                    {{{0, 0, 4, 4}}, {{0, 0, 4, 4}, 50}, {{0, 0, 4, 4}, 65495}, {{0, 0, 4, 4}}});
}

TEST(FrameDifferencesTest, MaskingSharesOneAddedGlobalTransparentEntry) {
  // Frame 1 is transparent at (0, 0); frame 2 paints the same index there, which must stay.
  const FrameSpec first = With(WithBlock(Filled(0, 0, 4, 4, 1), 0, 0, 1, 1, 0), 1, 10, 0);
  const FrameSpec second =
      WithBlock(WithBlock(Filled(0, 0, 4, 4, 1), 1, 1, 1, 1, 2), 0, 0, 1, 1, 0);
  const FrameSpec third = WithBlock(Filled(0, 0, 4, 4, 1), 2, 2, 1, 1, 3);
  Docs docs(Animation(4, 4, {first, second, third}));
  EXPECT_TRUE(OptimizeFrameDifferences(docs.after, MaskUnchangedPixels));
  const cGIF& gif = docs.after;
  ASSERT_EQ(gif.FramesCount(), 3);
  EXPECT_EQ(gif.GlobalPaletteEntries(), 5);
  for (int16_t n = 1; n <= 3; ++n) {
    EXPECT_EQ(gif.LocalPaletteEntries(n), 5);
    EXPECT_EQ(FrameRect(gif, n), (Rect{0, 0, 4, 4}));
  }
  EXPECT_EQ(PixelsOf(gif, 1), PixelsOf(docs.before, 1));
  for (int16_t n = 2; n <= 3; ++n) {
    EXPECT_TRUE(gif.FrameUseTransparentColor(n));
    EXPECT_EQ(gif.FrameTransparentColorIndex(n), 4);
  }
  EXPECT_EQ(PixelsOf(gif, 2), (Bytes{0, 4, 4, 4, 4, 2, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4}));
  EXPECT_EQ(PixelsOf(gif, 3), (Bytes{1, 4, 4, 4, 4, 1, 4, 4, 4, 4, 3, 4, 4, 4, 4, 4}));
  EXPECT_TRUE(LookTheSame(docs.before, docs.after));
}

TEST(FrameDifferencesTest, MaskingOnLocalPalettesNeedsAFreeEntry) {
  // Frame 2 has a local palette of 4 entries and gains entry 4; frame 3's 256 entries are full.
  const FrameSpec second = WithLocalPalette(Filled(0, 0, 4, 4, 1), 4);
  const FrameSpec third = WithLocalPalette(WithBlock(Filled(0, 0, 4, 4, 1), 0, 0, 1, 1, 2), 256);
  Docs docs(Animation(4, 4, {Filled(0, 0, 4, 4, 1), second, third}));
  EXPECT_TRUE(OptimizeFrameDifferences(docs.after, MaskUnchangedPixels));
  const cGIF& gif = docs.after;
  EXPECT_EQ(gif.GlobalPaletteEntries(), 4);
  EXPECT_EQ(gif.LocalPaletteEntries(2), 5);
  EXPECT_TRUE(gif.FrameUseTransparentColor(2));
  EXPECT_EQ(gif.FrameTransparentColorIndex(2), 4);
  EXPECT_EQ(PixelsOf(gif, 2), Bytes(16, 4));
  EXPECT_EQ(gif.LocalPaletteEntries(3), 256);
  EXPECT_FALSE(gif.FrameUseTransparentColor(3));
  EXPECT_EQ(PixelsOf(gif, 3), PixelsOf(docs.before, 3));
  EXPECT_TRUE(LookTheSame(docs.before, docs.after));
}

TEST(FrameDifferencesTest, MaskingNeverTakesAnIndexThatPixelsCarry) {
  // Frame 2 holds a pixel of index 4, beyond the 4 entries of the global palette: the entry
  // masking would add. It stays opaque; frame 3 takes the entry.
  const FrameSpec same = Filled(0, 0, 4, 4, 1);
  Docs docs(Animation(4, 4, {same, same, same}));
  for (cGIF* gif : {&docs.before, &docs.after}) gif->FrameDIBXOR(2)->lpBits()[0] = 4;
  EXPECT_TRUE(OptimizeFrameDifferences(docs.after, MaskUnchangedPixels));
  EXPECT_FALSE(docs.after.FrameUseTransparentColor(2));
  EXPECT_EQ(PixelsOf(docs.after, 2), PixelsOf(docs.before, 2));
  EXPECT_TRUE(docs.after.FrameUseTransparentColor(3));
  EXPECT_EQ(docs.after.FrameTransparentColorIndex(3), 4);
  EXPECT_TRUE(LookTheSame(docs.before, docs.after));
}

TEST(FrameDifferencesTest, OtherModesLeaveTheDocumentAlone) {
  const FrameSpec same = Filled(0, 0, 4, 4, 1);
  Docs docs(Animation(4, 4, {same, same, WithBlock(same, 1, 1, 1, 1, 2)}));
  EXPECT_TRUE(OptimizeFrameDifferences(docs.after, mGIFOptimizer::OptimizationMode(2)));
  ASSERT_EQ(docs.after.FramesCount(), 3);
  EXPECT_EQ(docs.after.GlobalPaletteEntries(), 4);
  for (int16_t n = 1; n <= 3; ++n) {
    EXPECT_EQ(PixelsOf(docs.after, n), PixelsOf(docs.before, n));
    EXPECT_FALSE(docs.after.FrameUseTransparentColor(n));
  }
}

}  // namespace
}  // namespace lumatrim
