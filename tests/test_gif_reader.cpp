#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "gif/gif_document.h"
#include "gif_bytes.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

using namespace testing;

Bytes Pixels(const cGIF& gif, int16_t nFrame) {
  const cDIB& dib = *gif.FrameDIBXOR(nFrame);
  Bytes out;
  for (int y = 0; y < dib.Height(); ++y) {
    const uint8_t* row = dib.lpBits() + y * dib.BytesPerScanline();
    out.insert(out.end(), row, row + dib.Width());
  }
  return out;
}

TEST(GifReaderTest, HeaderChecks) {
  cGIF gif;
  Bytes noFrames = Header(300, 2);
  noFrames.push_back(0x3B);
  EXPECT_FALSE(gif.LoadFromStream(noFrames));
  EXPECT_FALSE(gif.GlobalPaletteExists());
  EXPECT_EQ(gif.ScreenWidth(), 300);

  Bytes good = Header(1, 1);
  Image(good, 0, 0, 1, 1, 0, UncompressedCodes({1}));
  ASSERT_TRUE(gif.LoadFromStream(good));
  Bytes lower = good;
  lower[0] = 'g';
  EXPECT_FALSE(gif.LoadFromStream(lower));
  EXPECT_EQ(gif.FramesCount(), 0);
  Bytes version = good;
  version[3] = '9';
  version[4] = '0';
  EXPECT_FALSE(gif.LoadFromStream(version));
  Bytes old = Header(1, 1, 0, 0, 0, "87a");
  Image(old, 0, 0, 1, 1, 0, UncompressedCodes({1}));
  EXPECT_TRUE(gif.LoadFromStream(old));
  EXPECT_FALSE(gif.LoadFromStream(Bytes{'G', 'I', 'F', '8', '9'}));
}

TEST(GifReaderTest, ColourTablesBecomeStores) {
  Bytes file = Header(1, 1, 0xFF);  // 256 entries, sorted
  for (int i = 0; i < 256; ++i) Append(file, {0x11, 0x22, uint8_t(i)});
  Image(file, 0, 0, 1, 1, 0x80, UncompressedCodes({1}), 2);
  Image(file, 0, 0, 1, 1, 0x00, UncompressedCodes({1}));
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  EXPECT_TRUE(gif.GlobalPaletteExists());
  EXPECT_TRUE(gif.GlobalPaletteSorted());
  EXPECT_EQ(gif.GlobalPaletteEntries(), 256);
  const uint8_t* store = gif.lpGlobalPalette();
  EXPECT_EQ((Bytes{store[40], store[41], store[42], store[43]}), (Bytes{10, 0x22, 0x11, 0}));
  // Frame 1 has a local table of 2 entries; frame 2 copies the global store.
  EXPECT_TRUE(gif.LocalPaletteUsed(1));
  EXPECT_EQ(gif.LocalPaletteEntries(1), 2);
  EXPECT_EQ(gif.lpFramePaletteColor(1, 1), RGB(1, 2, 3));
  EXPECT_EQ(gif.lpFramePaletteColor(1, 2), 0u);
  EXPECT_FALSE(gif.LocalPaletteUsed(2));
  EXPECT_EQ(gif.LocalPaletteEntries(2), 256);
  EXPECT_TRUE(gif.LocalPaletteSorted(2));
  EXPECT_EQ(gif.lpFramePaletteColor(2, 10), gif.GlobalPaletteColor(10));
}

TEST(GifReaderTest, ControlBlocksApplyToTheNextImageOnly) {
  Bytes file = Header(2, 1, 0x80);
  ColorTable(file, 2);
  GraphicControl(file, 0x01, 99, 0);  // overridden by the next one
  GraphicControl(file, 0x0B, 10, 5);  // disposal 2, user input, transparent 5
  Image(file, 0, 0, 2, 1, 0, UncompressedCodes({1, 0}));
  Image(file, 1, 0, 1, 1, 0, UncompressedCodes({1}));
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  ASSERT_EQ(gif.FramesCount(), 2);
  EXPECT_EQ(gif.FrameDelay(1), 10);
  EXPECT_EQ(gif.FrameDisposalMethod(1), 2);
  EXPECT_TRUE(gif.FrameUserInput(1));
  EXPECT_TRUE(gif.FrameUseTransparentColor(1));
  EXPECT_EQ(gif.FrameTransparentColorIndex(1), 5);
  EXPECT_EQ(gif.FrameDelay(2), 0);
  EXPECT_EQ(gif.FrameDisposalMethod(2), 0);
  EXPECT_FALSE(gif.FrameUseTransparentColor(2));
  EXPECT_EQ(gif.FrameLeft(2), 1);
}

TEST(GifReaderTest, CommentsBelongToTheFollowingImage) {
  Bytes file = Header(1, 1);
  Comment(file, "a");
  Image(file, 0, 0, 1, 1, 0, UncompressedCodes({1}));
  Comment(file, "b");
  Append(file, {0x21, 0xFE, 0x00});  // an empty comment
  Image(file, 0, 0, 1, 1, 0, UncompressedCodes({1}));
  Comment(file, std::string(300, 'z'));
  file.push_back(0x3B);
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  EXPECT_EQ(gif.FrameCommentsCount(1), 1);
  EXPECT_EQ(gif.FrameComment(1, 1), "a");
  EXPECT_EQ(gif.FrameCommentsCount(2), 2);
  EXPECT_EQ(gif.FrameComment(2, 2), "");
  EXPECT_EQ(gif.TrailingCommentsCount(), 1);
  EXPECT_EQ(gif.TrailingComment(1), std::string(300, 'z'));
}

TEST(GifReaderTest, ApplicationAndUnknownExtensions) {
  Bytes file = Header(1, 1);
  Looping(file, 5);
  // An XMP packet: another application, dropped.
  Append(file, {0x21, 0xFF, 0x0B, 'X', 'M', 'P', ' ', 'D', 'a', 't', 'a', 'X', 'M', 'P'});
  SubBlocks(file, Bytes{1, 9, 9});
  // A plain text extension and an unknown label are skipped.
  Append(file, {0x21, 0x01, 12, 0, 0, 0, 0, 1, 0, 1, 0, 8, 8, 0, 1});
  SubBlocks(file, Bytes{'h', 'i'});
  Append(file, {0x21, 0x42});
  SubBlocks(file, Bytes{0x2C, 0x2C});
  Append(file, {0, 0, 7});  // stray bytes between blocks
  Image(file, 0, 0, 1, 1, 0, UncompressedCodes({1}));
  file.push_back(0x3B);
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  EXPECT_EQ(gif.FramesCount(), 1);
  EXPECT_EQ(gif.AnimationLoops(), 5);
  EXPECT_TRUE(gif.HasLoopingBlock());

  Bytes forever = Header(1, 1);
  Looping(forever, 0);
  Image(forever, 0, 0, 1, 1, 0, UncompressedCodes({1}));
  ASSERT_TRUE(gif.LoadFromStream(forever));
  EXPECT_EQ(gif.AnimationLoops(), 0);
  EXPECT_TRUE(gif.HasLoopingBlock());
}

TEST(GifReaderTest, CutOffFilesKeepWhatTheyHold) {
  Bytes file = Header(4, 4, 0x80);
  ColorTable(file, 2);
  Image(file, 0, 0, 4, 4, 0, UncompressedCodes(Bytes(16, 1)));
  const size_t secondImage = file.size();
  Image(file, 0, 0, 4, 4, 0, UncompressedCodes(Bytes(16, 1)));
  // Cut in the middle of the second image's data: its upper part is decoded, the rest is 0.
  Bytes cut(file.begin(), file.begin() + std::ptrdiff_t(secondImage + 10 + 1 + 1 + 6));
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(cut));
  ASSERT_EQ(gif.FramesCount(), 2);
  const Bytes second = Pixels(gif, 2);
  EXPECT_EQ(second[0], 1);
  EXPECT_EQ(second[15], 0);
  EXPECT_EQ(Pixels(gif, 1), Bytes(16, 1));
  // Cut inside the image descriptor: the missing bytes read as 0, so the frame has no pixels.
  Bytes inDescriptor(file.begin(), file.begin() + std::ptrdiff_t(secondImage + 5));
  ASSERT_TRUE(gif.LoadFromStream(inDescriptor));
  EXPECT_EQ(gif.FramesCount(), 2);
  EXPECT_EQ(gif.FrameDIBXOR(2)->hDIB(), 0u);
  // Cut right after the image separator: a frame of 0 x 0 without pixels.
  Bytes afterSeparator(file.begin(), file.begin() + std::ptrdiff_t(secondImage + 1));
  ASSERT_TRUE(gif.LoadFromStream(afterSeparator));
  EXPECT_EQ(gif.FramesCount(), 2);
  EXPECT_EQ(gif.FrameWidth(2), 0);
  EXPECT_EQ(gif.FrameDIBXOR(2)->hDIB(), 0u);
  // Cut before the first image: no frame.
  Bytes early(file.begin(), file.begin() + 15);
  EXPECT_FALSE(gif.LoadFromStream(early));
  EXPECT_TRUE(gif.GlobalPaletteExists());
}

TEST(GifReaderTest, OddFrames) {
  Bytes file = Header(2, 2);                           // no global table
  Image(file, 0, 0, 0, 5, 0, UncompressedCodes({1}));  // width 0
  Image(file, 0, 0, 2, 1, 0, UncompressedCodes({1, 1}));
  Image(file, 0, 0, 2, 2, 0x40, UncompressedCodes({1, 2, 3, 0}));  // interlaced
  file.push_back(0x3B);
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  ASSERT_EQ(gif.FramesCount(), 3);
  EXPECT_EQ(gif.FrameDIBXOR(1)->hDIB(), 0u);
  EXPECT_EQ(gif.FrameHeight(1), 5);
  EXPECT_EQ(gif.LocalPaletteEntries(2), 0);
  EXPECT_EQ(gif.lpFramePaletteColor(2, 1), 0u);
  EXPECT_EQ(Pixels(gif, 2), (Bytes{1, 1}));
  EXPECT_TRUE(gif.FrameInterlaced(3));
  EXPECT_EQ(Pixels(gif, 3), (Bytes{1, 2, 3, 0}));
}

TEST(GifReaderTest, WideFramesAreUnsigned) {
  Bytes file = Header(40000, 1);
  Image(file, 0, 0, 40000, 1, 0, UncompressedCodes({1, 2}));
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  EXPECT_EQ(gif.FrameWidth(1), 40000);
  ASSERT_EQ(gif.FrameDIBXOR(1)->Width(), 40000);
  EXPECT_EQ(gif.FrameDIBXOR(1)->lpBits()[1], 2);
}

TEST(GifReaderTest, MasksMarkTheTransparentIndex) {
  Bytes file = Header(3, 1, 0x81);
  ColorTable(file, 4);
  GraphicControl(file, 0x01, 0, 2);
  Image(file, 0, 0, 3, 1, 0, UncompressedCodes({2, 1, 2}));
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  EXPECT_EQ(gif.FrameDIBAND(1)->lpBits()[0], 0xA0);
  // The surface shows the transparent entry as black; the store keeps its colour.
  EXPECT_EQ(gif.FrameDIBXOR(1)->PixelColor(0, 0), 0u);
  EXPECT_EQ(gif.FrameDIBXOR(1)->PixelColor(1, 0), RGB(1, 2, 3));
  EXPECT_EQ(gif.lpFramePaletteColor(1, 2), RGB(2, 3, 4));
}

TEST(GifReaderTest, ImageCountStopsAt32767) {
  Bytes file = Header(1, 1);
  const Bytes codes = UncompressedCodes({1});
  for (int i = 0; i < 32768; ++i) {
    if (i == 32767) GraphicControl(file, 0, 77, 0);
    Image(file, 0, 0, 1, 1, 0, codes);
  }
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  EXPECT_EQ(gif.FramesCount(), 32767);
  EXPECT_EQ(gif.FrameDelay(32767), 77);  // the last image replaced the last frame
}

TEST(GifReaderTest, MemoryBudget) {
  // Good frames, then one stray descriptor declaring 2000 x 2000 pixels over a screen as large,
  // with a few bytes of data: held whole it would need more than the budget, so that frame keeps
  // no pixels, and the good frames stay.
  Bytes file = Header(2000, 2000, 0x80);
  ColorTable(file, 2);
  Image(file, 0, 0, 2, 1, 0, UncompressedCodes({1, 0}));
  Image(file, 0, 0, 2000, 2000, 0, UncompressedCodes({1}));
  Image(file, 1, 0, 1, 1, 0, UncompressedCodes({0}));
  cGIF gif;
  gif.MemoryBudget(1 << 20);
  ASSERT_TRUE(gif.LoadFromStream(file));
  ASSERT_EQ(gif.FramesCount(), 3);
  EXPECT_EQ(gif.FrameDIBXOR(1)->PixelColor(0, 0), RGB(1, 2, 3));
  EXPECT_EQ(gif.FrameDIBXOR(2)->hDIB(), 0u);
  EXPECT_EQ(gif.FrameWidth(2), 2000);
  EXPECT_EQ(gif.FrameDIBXOR(3)->Width(), 1);
  EXPECT_NE(gif.LoadNote().find("keep none"), std::string::npos);
  gif.MemoryBudget(cGIF::kDefaultMemoryBudget);

  // Frames that fit one by one but not together make the file too large.
  gif.MemoryBudget(1 << 20);
  Bytes many = Header(700, 700);
  for (int i = 0; i < 2; ++i) Image(many, 0, 0, 700, 700, 0, UncompressedCodes({1}));
  EXPECT_FALSE(gif.LoadFromStream(many));
  EXPECT_EQ(gif.FramesCount(), 0);
  EXPECT_FALSE(gif.LoadError().empty());
  gif.MemoryBudget(cGIF::kDefaultMemoryBudget);
  EXPECT_TRUE(gif.LoadFromStream(many));
}

TEST(GifReaderTest, LoadFromFile) {
  const TempFolder folder("reader");
  const std::filesystem::path& dir = folder.path();
  Bytes file = Header(1, 1);
  Image(file, 0, 0, 1, 1, 0, UncompressedCodes({1}));
  std::ofstream(dir / "a.gif", std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  std::ofstream(dir / "empty.gif").close();
  cGIF gif;
  EXPECT_TRUE(gif.LoadFromFile((dir / "a.gif").string()));
  // An empty file leaves the document as it was; a missing one empties it.
  EXPECT_FALSE(gif.LoadFromFile((dir / "empty.gif").string()));
  EXPECT_EQ(gif.FramesCount(), 1);
  EXPECT_FALSE(gif.LoadFromFile((dir / "missing.gif").string()));
  EXPECT_EQ(gif.FramesCount(), 0);
}

}  // namespace
}  // namespace lumatrim
