#include <gtest/gtest.h>

#include <cstring>

#include "animation_docs.h"
#include "look_the_same.h"
#include "optimizer/passes.h"

namespace lumatrim {
namespace {

using namespace testing;
using namespace mGIFOptimizer;

// Gives the store entry a colour of its own: blue = index, green = 100, red = 200.
void Paint(uint8_t* store, int entry, uint8_t blue) {
  store[4 * entry] = blue;
  store[4 * entry + 1] = 100;
  store[4 * entry + 2] = 200;
  store[4 * entry + 3] = 0;
}

// A document with one frame of width pixels on a global palette of `entries` distinct colours.
void GlobalDocument(cGIF& gif, const Bytes& pixels, int16_t entries) {
  ASSERT_TRUE(gif.LoadFromStream(
      Animation(uint16_t(pixels.size()), 1, {Filled(0, 0, uint16_t(pixels.size()), 1, 0)})));
  gif.GlobalPaletteEntries(entries);
  for (int i = 0; i < entries; ++i) Paint(gif.lpGlobalPalette(), i, uint8_t(i));
  std::memcpy(gif.lpFramePalette(1), gif.lpGlobalPalette(), 1024);
  gif.LocalPaletteEntries(1, entries);
  std::copy(pixels.begin(), pixels.end(), gif.FrameDIBXOR(1)->lpBits());
}

TEST(PaletteCompactionTest, GlobalPaletteKeepsOnlyUsedEntriesInOrder) {
  cGIF gif;
  GlobalDocument(gif, {0, 3, 9, 3}, 16);
  gif.ScreenBackgroundColorIndex(3);
  EXPECT_EQ(OptimizeGlobalPalette(gif), 13);
  EXPECT_EQ(gif.GlobalPaletteEntries(), 3);
  EXPECT_EQ(PixelsOf(gif, 1), (Bytes{0, 1, 2, 1}));
  EXPECT_EQ(gif.ScreenBackgroundColorIndex(), 1);
  EXPECT_EQ(gif.lpGlobalPalette()[4 * 2], 9);  // old entry 9
  EXPECT_EQ(gif.LocalPaletteEntries(1), 3);
  EXPECT_EQ(std::memcmp(gif.lpFramePalette(1), gif.lpGlobalPalette(), 1024), 0);

  cGIF unusedBackground;
  GlobalDocument(unusedBackground, {0, 3, 9}, 16);
  unusedBackground.ScreenBackgroundColorIndex(5);
  OptimizeGlobalPalette(unusedBackground);
  EXPECT_EQ(unusedBackground.ScreenBackgroundColorIndex(), 0);

  cGIF full;
  GlobalDocument(full, {0, 1, 2, 3}, 4);
  EXPECT_EQ(OptimizeGlobalPalette(full), 0);
  EXPECT_EQ(PixelsOf(full, 1), (Bytes{0, 1, 2, 3}));
}

TEST(PaletteCompactionTest, LongRunsAreMarkedAndRenumberedLikeSinglePixels) {
  // Pieces of 64 pixels of one index, a piece with one other pixel at its end, and a tail.
  Bytes pixels(200, 7);
  pixels[127] = 2;
  std::fill(pixels.begin() + 192, pixels.end(), 11);
  cGIF gif;
  GlobalDocument(gif, pixels, 16);
  EXPECT_EQ(OptimizeGlobalPalette(gif), 13);
  Bytes expected(200, 1);
  expected[127] = 0;
  std::fill(expected.begin() + 192, expected.end(), 2);
  EXPECT_EQ(PixelsOf(gif, 1), expected);
}

TEST(PaletteCompactionTest, LocalPaletteOfOneUsedEntry) {
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(Animation(3, 1, {WithLocalPalette(Filled(0, 0, 3, 1, 0), 4)})));
  gif.LocalPaletteEntries(1, 256);
  Paint(gif.lpFramePalette(1), 200, 77);
  std::fill_n(gif.FrameDIBXOR(1)->lpBits(), 3, uint8_t(200));
  EXPECT_EQ(OptimizeLocalPalette(gif, 1), 255);
  EXPECT_EQ(gif.LocalPaletteEntries(1), 1);
  EXPECT_EQ(PixelsOf(gif, 1), (Bytes{0, 0, 0}));
  EXPECT_EQ(gif.lpFramePalette(1)[0], 77);
  // The global pass leaves a frame with its own palette alone.
  EXPECT_EQ(OptimizeGlobalPalette(gif), 0);
  EXPECT_FALSE(gif.GlobalPaletteExists());
  EXPECT_EQ(gif.GlobalPaletteEntries(), 0);
}

TEST(PaletteCompactionTest, PixelBeyondThePaletteStopsThePassUnchanged) {
  cGIF gif;
  GlobalDocument(gif, {0, 7}, 4);
  EXPECT_EQ(OptimizeGlobalPalette(gif), 0);
  EXPECT_EQ(gif.GlobalPaletteEntries(), 4);
  EXPECT_EQ(PixelsOf(gif, 1), (Bytes{0, 7}));
}

TEST(PaletteCompactionTest, TransparencyNoPixelCarriesIsDroppedNotRenumbered) {
  // Frame 2's transparent index 3 is carried by no pixel of the palette's frames: renumbered to
  // 0 it would turn frame 2's colour-0 pixels transparent.
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(Animation(2, 1, {Filled(0, 0, 2, 1, 1), Filled(0, 0, 2, 1, 0)})));
  gif.FrameUseTransparentColor(2, true);
  gif.FrameTransparentColorIndex(2, 3);
  cGIF before;
  ASSERT_TRUE(
      before.LoadFromStream(Animation(2, 1, {Filled(0, 0, 2, 1, 1), Filled(0, 0, 2, 1, 0)})));
  OptimizeGlobalPalette(gif);
  EXPECT_FALSE(gif.FrameUseTransparentColor(2));
  EXPECT_TRUE(LookTheSame(before, gif));
}

TEST(PaletteCompactionTest, BackgroundAndFirstTransparencyStayWhileAFrameRestoresBackground) {
  const FrameSpec first = With(Filled(0, 0, 2, 1, 1), 0, 10, 3);
  const FrameSpec second = With(Filled(0, 0, 1, 1, 1), 2);
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(Animation(2, 1, {first, second, Filled(0, 0, 1, 1, 1)})));
  gif.ScreenBackgroundColorIndex(2);
  OptimizeGlobalPalette(gif);
  ASSERT_EQ(gif.GlobalPaletteEntries(), 3);  // entries 1, 2 (background) and 3 (transparent)
  EXPECT_EQ(gif.ScreenBackgroundColorIndex(), 1);
  EXPECT_TRUE(gif.FrameUseTransparentColor(1));
  EXPECT_EQ(gif.FrameTransparentColorIndex(1), 2);
  EXPECT_EQ(PixelsOf(gif, 1), (Bytes{0, 0}));
}

TEST(PaletteMergingTest, LocalColoursAreReusedOrAppended) {
  const FrameSpec local = WithLocalPalette(Filled(0, 0, 4, 1, 0), 4);
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(Animation(4, 1, {local, local})));
  // No global palette; frame 1 has 20 colours, frame 2 has 10, 6 of them frame 1's.
  gif.GlobalPaletteExists(false);
  gif.GlobalPaletteEntries(0);
  gif.LocalPaletteEntries(1, 20);
  for (int i = 0; i < 20; ++i) Paint(gif.lpFramePalette(1), i, uint8_t(i));
  gif.LocalPaletteEntries(2, 10);
  for (int i = 0; i < 10; ++i) Paint(gif.lpFramePalette(2), i, uint8_t(i < 6 ? 2 * i : 100 + i));
  const Bytes firstPixels = {0, 5, 19, 7};
  std::copy(firstPixels.begin(), firstPixels.end(), gif.FrameDIBXOR(1)->lpBits());
  const Bytes secondPixels = {0, 5, 6, 9};
  std::copy(secondPixels.begin(), secondPixels.end(), gif.FrameDIBXOR(2)->lpBits());
  gif.FrameUseTransparentColor(2, true);
  gif.FrameTransparentColorIndex(2, 6);

  EXPECT_EQ(MergeLocalPalettes(gif), 2);
  EXPECT_TRUE(gif.GlobalPaletteExists());
  EXPECT_EQ(gif.GlobalPaletteEntries(), 24);
  EXPECT_EQ(PixelsOf(gif, 1), firstPixels);
  // Local 0 and 5 are colours 0 and 10 of frame 1; local 6 and 9 are appended as 20 and 23.
  EXPECT_EQ(PixelsOf(gif, 2), (Bytes{0, 10, 20, 23}));
  EXPECT_EQ(gif.FrameTransparentColorIndex(2), 20);
  for (int16_t n : {1, 2}) {
    EXPECT_FALSE(gif.LocalPaletteUsed(n));
    EXPECT_EQ(gif.LocalPaletteEntries(n), 24);
    EXPECT_EQ(std::memcmp(gif.lpFramePalette(n), gif.lpGlobalPalette(), 1024), 0);
  }
}

TEST(PaletteMergingTest, DuplicateColoursNeedTheirOwnEntriesAndFullPalettesStay) {
  const FrameSpec local = WithLocalPalette(Filled(0, 0, 2, 1, 0), 2);
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(Animation(2, 1, {Filled(0, 0, 2, 1, 0), local})));
  // The local palette holds the global entry 0's colour twice.
  std::memcpy(gif.lpFramePalette(2), gif.lpGlobalPalette(), 4);
  std::memcpy(gif.lpFramePalette(2) + 4, gif.lpGlobalPalette(), 4);
  gif.FrameDIBXOR(2)->lpBits()[1] = 1;
  ASSERT_EQ(MergeLocalPalettes(gif), 1);
  EXPECT_EQ(gif.GlobalPaletteEntries(), 5);
  EXPECT_EQ(PixelsOf(gif, 2), (Bytes{0, 4}));

  // 250 global entries and 10 local colours of which 3 match: 7 do not fit in 6 places.
  cGIF full;
  ASSERT_TRUE(full.LoadFromStream(Animation(2, 1, {Filled(0, 0, 2, 1, 0), local})));
  full.GlobalPaletteEntries(250);
  for (int i = 0; i < 250; ++i) Paint(full.lpGlobalPalette(), i, uint8_t(i));
  full.LocalPaletteEntries(2, 10);
  for (int i = 0; i < 10; ++i) Paint(full.lpFramePalette(2), i, uint8_t(i < 3 ? i : 250 + i - 3));
  const Bytes pixels = PixelsOf(full, 2);
  EXPECT_EQ(MergeLocalPalettes(full), 0);
  EXPECT_TRUE(full.LocalPaletteUsed(2));
  EXPECT_EQ(full.GlobalPaletteEntries(), 250);
  // With a fourth match it fits exactly.
  Paint(full.lpFramePalette(2), 3, 3);
  EXPECT_EQ(MergeLocalPalettes(full), 1);
  EXPECT_EQ(full.GlobalPaletteEntries(), 256);
}

TEST(PaletteMergingTest, FramesWithoutAnyPaletteKeepTheirPalettes) {
  Bytes file = Header(1, 1);  // no global palette
  Image(file, 0, 0, 1, 1, 0x80, UncompressedCodes({0}), 2);
  Image(file, 0, 0, 1, 1, 0, UncompressedCodes({0}));
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  EXPECT_EQ(MergeLocalPalettes(gif), 0);
  EXPECT_FALSE(gif.GlobalPaletteExists());
  EXPECT_TRUE(gif.LocalPaletteUsed(1));
}

}  // namespace
}  // namespace lumatrim
