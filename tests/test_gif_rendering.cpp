// Drawing frames with their masks, and pictures of frames.
#include <gtest/gtest.h>

#include <vector>

#include "gif/gif_document.h"
#include "gif_bytes.h"

namespace lumatrim {
namespace {

using namespace testing;

// A 10 x 1 screen with a 4-entry palette (entry i is red i, green i + 1, blue i + 2) and one
// frame at (left, 0) whose pixels are given; transparent index 2 when transparent is set.
void Load(cGIF& gif, uint16_t left, const Bytes& pixels, bool transparent) {
  Bytes file = Header(10, 1, 0x81);
  ColorTable(file, 4);
  GraphicControl(file, transparent ? 1 : 0, 0, 2);
  Image(file, left, 0, uint16_t(pixels.size()), 1, 0, UncompressedCodes(pixels));
  ASSERT_TRUE(gif.LoadFromStream(file));
}

TEST(GifRenderingTest, TransparentPixelsKeepTheBackground) {
  cGIF gif;
  Load(gif, 1, {2, 1, 3}, true);
  cDIB target;
  ASSERT_TRUE(target.Create(10, 1, 32));
  target.Cls(RGB(200, 100, 50));
  gif.FrameDraw(target.DrawingTarget(), 1, 0, 0, 1.0f, false);
  EXPECT_EQ(target.PixelColor(0, 0), RGB(200, 100, 50));
  EXPECT_EQ(target.PixelColor(1, 0), RGB(200, 100, 50));  // transparent
  EXPECT_EQ(target.PixelColor(2, 0), RGB(1, 2, 3));
  EXPECT_EQ(target.PixelColor(3, 0), RGB(3, 4, 5));
}

TEST(GifRenderingTest, ScaleAndScreenCrop) {
  cGIF gif;
  Load(gif, 5, {1, 3, 1}, false);
  cDIB target;
  ASSERT_TRUE(target.Create(40, 2, 32));
  // Scale 2 with the screen's origin at 10: the frame at 5 lands at 20, 6 pixels wide.
  gif.FrameDraw(target.DrawingTarget(), 1, 10, 0, 2.0f, false);
  EXPECT_EQ(target.PixelColor(19, 0), 0u);
  EXPECT_EQ(target.PixelColor(20, 1), RGB(1, 2, 3));
  EXPECT_EQ(target.PixelColor(22, 0), RGB(3, 4, 5));
  EXPECT_EQ(target.PixelColor(25, 0), RGB(1, 2, 3));
  EXPECT_EQ(target.PixelColor(26, 0), 0u);

  // Halfway positions round to even: 5 x 1.5 = 7.5 lands at 8, 3 x 1.5 = 4.5 at 4.
  for (const auto& [left, first] : {std::pair{5, 8}, std::pair{3, 4}}) {
    gif.FrameLeft(1, int16_t(left));
    cDIB half;
    ASSERT_TRUE(half.Create(20, 2, 32));
    gif.FrameDraw(half.DrawingTarget(), 1, 0, 0, 1.5f, false);
    EXPECT_EQ(half.PixelColor(first - 1, 0), 0u) << left;
    EXPECT_EQ(half.PixelColor(first, 0), RGB(1, 2, 3)) << left;
  }
  gif.FrameLeft(1, 5);

  // On an 7-wide screen only the two leftmost columns of the frame at 5 are drawn.
  gif.ScreenWidth(7);
  cDIB cropped;
  ASSERT_TRUE(cropped.Create(10, 1, 32));
  gif.FrameDraw(cropped.DrawingTarget(), 1, 0, 0, 1.0f, true);
  EXPECT_EQ(cropped.PixelColor(6, 0), RGB(3, 4, 5));
  EXPECT_EQ(cropped.PixelColor(7, 0), 0u);
  // A frame wholly beyond the screen draws nothing.
  gif.ScreenWidth(4);
  cDIB beyond;
  ASSERT_TRUE(beyond.Create(10, 1, 32));
  gif.FrameDraw(beyond.DrawingTarget(), 1, 0, 0, 1.0f, true);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(beyond.PixelColor(x, 0), 0u) << x;
}

TEST(GifRenderingTest, FrameImageShowsTheTransparentColourAndRestoresTheTable) {
  cGIF gif;
  Load(gif, 0, {2, 1}, true);
  const cDIB picture = gif.FrameImage(1);
  ASSERT_EQ(picture.BPP(), 32);
  EXPECT_EQ(picture.PixelColor(0, 0), RGB(2, 3, 4));
  EXPECT_EQ(gif.FrameDIBXOR(1)->PixelColor(0, 0), 0u);  // black in the surface's table again
  EXPECT_THROW(gif.FrameImage(2), SubscriptOutOfRange);
}

TEST(GifRenderingTest, MasksOfLongRunsMarkEveryTransparentPixel) {
  // Groups of eight pixels of one index take one byte of mask; the others a bit each.
  Bytes pixels(70, 3);
  pixels[9] = 1;
  std::fill(pixels.begin() + 16, pixels.begin() + 40, 1);
  pixels[66] = 1;
  cGIF gif;
  Load(gif, 0, pixels, true);
  gif.FrameMask(1, 3);
  const uint8_t* mask = gif.FrameDIBAND(1)->lpBits();
  for (size_t x = 0; x < pixels.size(); ++x) {
    EXPECT_EQ((mask[x / 8] >> (7 - x % 8)) & 1, pixels[x] == 3 ? 1 : 0) << "pixel " << x;
  }
}

TEST(GifRenderingTest, MaskFollowsTheFlagNotTheStoredIndex) {
  cGIF gif;
  Load(gif, 0, {2, 1, 2}, false);
  gif.FrameMask(1, 2);
  EXPECT_EQ(gif.FrameDIBAND(1)->lpBits()[0], 0);  // transparency off: all 0
  gif.FrameUseTransparentColor(1, true);
  gif.FrameMask(1, 1);  // the argument decides the index
  EXPECT_EQ(gif.FrameDIBAND(1)->lpBits()[0], 0x40);
  EXPECT_EQ(gif.lpFramePaletteColor(1, 1), RGB(1, 2, 3));  // the store keeps its colour
}

}  // namespace
}  // namespace lumatrim
