#include <gtest/gtest.h>

#include <vector>

#include "raster/dib.h"
#include "raster/drawing.h"
#include "raster/errors.h"

namespace lumatrim {
namespace {

TEST(DibTest, RowsArePaddedToFourBytes) {
  struct Case {
    int w, h, bpp, stride, size;
  };
  for (const Case c : {Case{3, 2, 8, 4, 8}, Case{33, 1, 1, 8, 8}, Case{1, 1, 24, 4, 4},
                       Case{5, 3, 4, 4, 12}, Case{3, 1, 16, 8, 8}, Case{2, 2, 32, 8, 16}}) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(c.w, c.h, c.bpp));
    EXPECT_EQ(dib.BytesPerScanline(), c.stride) << c.w << "x" << c.bpp;
    EXPECT_EQ(dib.Size(), c.size);
    EXPECT_NE(dib.hDIB(), 0u);
  }
}

TEST(DibTest, CreateRefusesWhatCannotExist) {
  cDIB dib;
  EXPECT_FALSE(dib.Create(0, 5, 8));
  EXPECT_FALSE(dib.Create(5, -1, 8));
  EXPECT_FALSE(dib.Create(5, 5, 7));
  EXPECT_EQ(dib.hDIB(), 0u);
  EXPECT_EQ(dib.DrawingTarget(), nullptr);
  EXPECT_THROW(dib.Create(70000000, 1, 32), OverflowError);
  EXPECT_THROW(dib.Create(65535, 65535, 8), OverflowError);
  EXPECT_EQ(dib.Width(), 0);
}

TEST(DibTest, NewSurfaceIsZeroAndTopDown) {
  cDIB dib;
  ASSERT_TRUE(dib.Create(3, 2, 8));
  for (int i = 0; i < dib.Size(); ++i) EXPECT_EQ(dib.lpBits()[i], 0);
  std::vector<uint8_t> table;
  dib.GetPalette(table);
  EXPECT_EQ(table, std::vector<uint8_t>(1024, 0));
  // Row 1 starts one padded row into the memory.
  const uint8_t red[8] = {0, 0, 0, 0, 0, 0, 255, 0};
  dib.SetPalette(red);
  dib.lpBits()[dib.BytesPerScanline()] = 1;
  EXPECT_EQ(dib.PixelColor(0, 1), RGB(255, 0, 0));
  EXPECT_EQ(dib.PixelColor(0, 0), RGB(0, 0, 0));
}

// Surfaces of megabytes ask for large pages; they must still read as zero everywhere, and hold
// what is written at either end of a block whose ends lie off the large pages' bounds.
TEST(DibTest, LargeSurfaceIsZeroAndKeepsItsEnds) {
  cDIB dib;
  ASSERT_TRUE(dib.Create(4099, 2049, 8));
  const size_t size = size_t(dib.Size());
  for (size_t i = 0; i < size; i += 4093) ASSERT_EQ(dib.lpBits()[i], 0) << i;
  EXPECT_EQ(dib.lpBits()[size - 1], 0);
  dib.lpBits()[0] = 7;
  dib.lpBits()[size - 1] = 9;
  cDIB copy;
  dib.CloneTo(copy);
  ASSERT_EQ(copy.Size(), dib.Size());
  EXPECT_EQ(copy.lpBits()[0], 7);
  EXPECT_EQ(copy.lpBits()[size - 1], 9);
  EXPECT_EQ(copy.lpBits()[size / 2], 0);
}

TEST(DibTest, PaletteSizeFollowsDepth) {
  cDIB one, eight, deep;
  ASSERT_TRUE(one.Create(4, 1, 1));
  ASSERT_TRUE(eight.Create(4, 1, 8));
  ASSERT_TRUE(deep.Create(4, 1, 24));
  std::vector<uint8_t> full(1024);
  for (size_t i = 0; i < full.size(); ++i) full[i] = uint8_t(i);
  one.SetPalette(full);  // only entries 0 and 1 are taken
  std::vector<uint8_t> table;
  one.GetPalette(table);
  EXPECT_EQ(table, std::vector<uint8_t>(full.begin(), full.begin() + 8));
  eight.SetPalette(std::vector<uint8_t>{9, 8, 7, 0, 6, 5, 4, 0});
  eight.GetPalette(table);
  ASSERT_EQ(table.size(), 1024u);
  EXPECT_EQ(table[4], 6);
  EXPECT_EQ(table[8], 0);
  std::vector<uint8_t> untouched = {1, 2, 3};
  deep.GetPalette(untouched);
  EXPECT_EQ(untouched, (std::vector<uint8_t>{1, 2, 3}));
}

TEST(DibTest, DirectColourDepthsKeepColours) {
  for (int bpp : {16, 24, 32}) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(3, 2, bpp));
    dib.SetPixelColor(2, 1, RGB(255, 16, 132));
    EXPECT_EQ(dib.PixelColor(2, 1), RGB(255, 16, 132)) << bpp;
    EXPECT_EQ(dib.PixelColor(1, 1), 0u);
  }
  cDIB nibbles;
  ASSERT_TRUE(nibbles.Create(3, 1, 4));
  std::vector<uint8_t> table(64, 0);
  table[4 * 5 + 2] = 200;
  table[4 * 9] = 100;
  nibbles.SetPalette(table);
  nibbles.SetPixelColor(0, 0, RGB(200, 0, 0));
  nibbles.SetPixelColor(1, 0, RGB(0, 0, 100));
  EXPECT_EQ(nibbles.lpBits()[0], 0x59);  // left pixel in the high nibble
}

TEST(DibTest, CloneCopiesEverything) {
  cDIB source, copy;
  ASSERT_TRUE(source.Create(5, 3, 8));
  std::vector<uint8_t> table(1024);
  for (size_t i = 0; i < table.size(); ++i) table[i] = uint8_t(i * 7);
  source.SetPalette(table);
  for (int i = 0; i < source.Size(); ++i) source.lpBits()[i] = uint8_t(i);
  source.CloneTo(copy);
  std::vector<uint8_t> copied;
  copy.GetPalette(copied);
  EXPECT_EQ(copied, table);
  ASSERT_EQ(copy.Size(), source.Size());
  EXPECT_EQ(std::vector<uint8_t>(copy.lpBits(), copy.lpBits() + copy.Size()),
            std::vector<uint8_t>(source.lpBits(), source.lpBits() + source.Size()));
}

TEST(DibTest, BestFitShrinksButNeverEnlarges) {
  cDIB wide, small;
  ASSERT_TRUE(wide.Create(200, 100, 8));
  ASSERT_TRUE(small.Create(50, 50, 8));
  int x = -1, y = -1, w = -1, h = -1;
  wide.GetBestFitInfo(100, 100, x, y, w, h, false);
  EXPECT_EQ((std::vector<int>{x, y, w, h}), (std::vector<int>{0, 25, 100, 50}));
  small.GetBestFitInfo(100, 100, x, y, w, h, false);
  EXPECT_EQ((std::vector<int>{x, y, w, h}), (std::vector<int>{25, 25, 50, 50}));
  small.GetBestFitInfo(100, 200, x, y, w, h, true);
  EXPECT_EQ((std::vector<int>{x, y, w, h}), (std::vector<int>{0, 50, 100, 100}));
}

TEST(DibTest, BlockCopyMatchesNearestTableEntry) {
  cDIB image, mask;
  ASSERT_TRUE(image.Create(10, 2, 8));
  ASSERT_TRUE(mask.Create(10, 2, 1));
  std::vector<uint8_t> source(1024, 0);
  source[4 * 7] = source[4 * 7 + 1] = source[4 * 7 + 2] = 255;  // entry 7 white
  image.SetPalette(source);
  const uint8_t blackWhite[8] = {0, 0, 0, 0, 255, 255, 255, 0};
  mask.SetPalette(blackWhite);
  image.lpBits()[3] = 7;
  image.lpBits()[9] = 7;
  image.lpBits()[image.BytesPerScanline() + 8] = 7;
  image.lpBits()[4] = 6;
  ASSERT_NE(mask.LoadBlt(image.DrawingTarget(), 0, 0, 0, 0), 0);
  EXPECT_EQ(mask.lpBits()[0], 0x10);                            // pixel 3
  EXPECT_EQ(mask.lpBits()[1], 0x40);                            // pixel 9
  EXPECT_EQ(mask.lpBits()[mask.BytesPerScanline() + 1], 0x80);  // pixel 8 of row 1
  EXPECT_EQ(mask.LoadBlt(nullptr, 0, 0, 0, 0), 0);
}

TEST(DibTest, StretchCombinesWithTheTarget) {
  cDIB source, target;
  ASSERT_TRUE(source.Create(2, 1, 32));
  ASSERT_TRUE(target.Create(4, 2, 32));
  source.SetPixelColor(0, 0, RGB(0xF0, 0x0F, 0xFF));
  source.SetPixelColor(1, 0, RGB(0x01, 0x02, 0x03));
  target.Cls(RGB(0x3C, 0x3C, 0x00));
  // Scaled by two in both directions: each source pixel covers a 2 x 2 block.
  ASSERT_NE(source.Stretch(target.DrawingTarget(), 0, 0, 4, 2, 0, 0, 0, 0, SRCAND, COLORONCOLOR),
            0);
  EXPECT_EQ(target.PixelColor(1, 1), RGB(0x30, 0x0C, 0x00));
  EXPECT_EQ(target.PixelColor(2, 0), RGB(0x00, 0x00, 0x00));
  source.Stretch(target.DrawingTarget(), 0, 0, 4, 2, 0, 0, 0, 0, SRCPAINT, COLORONCOLOR);
  EXPECT_EQ(target.PixelColor(0, 0), RGB(0xF0, 0x0F, 0xFF));
  EXPECT_EQ(target.PixelColor(3, 1), RGB(0x01, 0x02, 0x03));
  source.Stretch(target.DrawingTarget(), 3, 0, 2, 1, 0, 0, 0, 0, SRCCOPY, COLORONCOLOR);  // clipped
  EXPECT_EQ(target.PixelColor(3, 0), RGB(0xF0, 0x0F, 0xFF));
  const cDIB picture = source.Image();
  EXPECT_EQ(picture.BPP(), 32);
  EXPECT_EQ(picture.PixelColor(1, 0), RGB(0x01, 0x02, 0x03));
}

TEST(DibTest, OperationsOnAMissingSurfaceDoNothing) {
  cDIB empty, target;
  ASSERT_TRUE(target.Create(2, 2, 32));
  EXPECT_EQ(empty.Stretch(target.DrawingTarget(), 0, 0, 2, 2, 0, 0, 0, 0, SRCCOPY, COLORONCOLOR),
            0);
  EXPECT_EQ(empty.LoadBlt(target.DrawingTarget(), 0, 0, 0, 0), 0);
  empty.Cls(RGB(1, 2, 3));
  empty.SetPalette(std::vector<uint8_t>(8, 1));
  std::vector<uint8_t> table = {5};
  empty.GetPalette(table);
  EXPECT_EQ(table, std::vector<uint8_t>{5});
  EXPECT_EQ(empty.Image().hDIB(), 0u);
}

}  // namespace
}  // namespace lumatrim
