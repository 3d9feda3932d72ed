#include <gtest/gtest.h>

#include "gif/gif_document.h"
#include "gif_bytes.h"

namespace lumatrim {
namespace {

using namespace testing;

TEST(GifDocumentTest, NewDocumentIsEmpty) {
  cGIF gif;
  EXPECT_EQ(gif.FramesCount(), 0);
  EXPECT_EQ(gif.TrailingCommentsCount(), 0);
  EXPECT_EQ(gif.ScreenWidth(), 0);
  EXPECT_EQ(gif.AnimationLoops(), 0);
  for (int n = 0; n < 256; ++n) EXPECT_EQ(gif.GlobalPaletteColor(uint8_t(n)), 0u);
  EXPECT_EQ(gif.FrameDelay(0), 0);
  EXPECT_THROW(gif.FrameDelay(1), SubscriptOutOfRange);
  EXPECT_THROW(gif.FrameDIBXOR(-1), SubscriptOutOfRange);
  EXPECT_EQ(gif.FrameDIBXOR(0)->hDIB(), 0u);
}

TEST(GifDocumentTest, AspectRatioConvertsTheStoredByte) {
  cGIF gif;
  EXPECT_FLOAT_EQ(gif.ScreenPixelAspectRatio(), 0.234375f);
  gif.ScreenPixelAspectRatio(1.0f);
  EXPECT_EQ(gif.ScreenPixelAspectByte(), 49);
  EXPECT_FLOAT_EQ(gif.ScreenPixelAspectRatio(), 1.0f);
  gif.ScreenPixelAspectRatio(0.234375f);
  EXPECT_EQ(gif.ScreenPixelAspectByte(), 0);
  // Halfway between two stored bytes rounds to the even one: 32.5 -> 32, 33.5 -> 34.
  gif.ScreenPixelAspectRatio(47.5f / 64.0f);
  EXPECT_EQ(gif.ScreenPixelAspectByte(), 32);
  gif.ScreenPixelAspectRatio(48.5f / 64.0f);
  EXPECT_EQ(gif.ScreenPixelAspectByte(), 34);
  gif.ScreenPixelAspectRatio(1.0f);
  EXPECT_THROW(gif.ScreenPixelAspectRatio(5.0f), OverflowError);
  EXPECT_THROW(gif.ScreenPixelAspectRatio(0.0f), OverflowError);
  EXPECT_EQ(gif.ScreenPixelAspectByte(), 49);  // unchanged by the failures
}

TEST(GifDocumentTest, PaletteColoursReadTheStore) {
  cGIF gif;
  uint8_t* store = gif.lpGlobalPalette();
  store[4 * 3] = 16;                         // blue
  store[4 * 3 + 1] = 32;                     // green
  store[4 * 3 + 2] = 48;                     // red
  EXPECT_EQ(gif.GlobalPaletteColor(3), 0u);  // no global palette yet
  gif.GlobalPaletteExists(true);
  EXPECT_EQ(gif.GlobalPaletteColor(3), 1056816u);
}

TEST(GifDocumentTest, FramePropertiesRefuseWhatDoesNotFitAndKeepWhatDoes) {
  Bytes withComment = Header(4, 4);
  Comment(withComment, "one");
  Image(withComment, 0, 0, 1, 1, 0, UncompressedCodes({0}));
  withComment.push_back(0x3B);

  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(withComment));
  // A value beyond its field, or a frame or comment that is not there, is refused and changes
  // nothing.
  gif.FrameDisposalMethod(1, 255);  // the most the stored byte holds
  EXPECT_THROW(gif.FrameDisposalMethod(1, 256), OverflowError);
  EXPECT_THROW(gif.FrameDisposalMethod(1, -1), OverflowError);
  EXPECT_EQ(gif.FrameDisposalMethod(1), 255);
  EXPECT_THROW(gif.FrameLeft(2, 5), SubscriptOutOfRange);
  EXPECT_EQ(gif.FrameComment(1, 0), "");
  EXPECT_EQ(gif.FrameComment(1, 1), "one");
  EXPECT_THROW(gif.FrameComment(1, 2), SubscriptOutOfRange);
  EXPECT_THROW(gif.FrameComment(1, 2, "x"), SubscriptOutOfRange);
  gif.FrameComment(1, 0, "spare");  // lands in the spare comment, which stays empty
  EXPECT_EQ(gif.FrameComment(1, 0), "");
  EXPECT_EQ(gif.FrameCommentsCount(1), 1);

  // Values at the limits of their fields survive a save and a reload.
  gif.FrameDisposalMethod(1, 3);
  gif.FrameLeft(1, -3);  // 65533 in the file
  gif.FrameTop(1, 32767);
  gif.FrameDelay(1, -1);  // 65535
  gif.FrameUseTransparentColor(1, true);
  gif.FrameTransparentColorIndex(1, 255);
  std::vector<uint8_t> saved;
  ASSERT_TRUE(gif.SaveToMemory(saved, {}));
  cGIF reread;
  ASSERT_TRUE(reread.LoadFromStream(saved));
  EXPECT_EQ(reread.FrameDisposalMethod(1), 3);
  EXPECT_EQ(reread.FrameLeft(1), -3);
  EXPECT_EQ(reread.FrameTop(1), 32767);
  EXPECT_EQ(reread.FrameDelay(1), -1);
  EXPECT_TRUE(reread.FrameUseTransparentColor(1));
  EXPECT_EQ(reread.FrameTransparentColorIndex(1), 255);
  EXPECT_EQ(reread.FrameComment(1, 1), "one");
}

TEST(GifDocumentTest, DestroyEmptiesEverything) {
  Bytes file = Header(7, 9, 0x80, 1, 49);
  ColorTable(file, 2);
  Looping(file, 3);
  Image(file, 0, 0, 2, 1, 0, UncompressedCodes({1, 0}));
  Comment(file, "after");
  file.push_back(0x3B);
  cGIF gif;
  ASSERT_TRUE(gif.LoadFromStream(file));
  const std::shared_ptr<cDIB> surface = gif.FrameDIBXOR(1);
  gif.Destroy();
  EXPECT_EQ(gif.FramesCount(), 0);
  EXPECT_EQ(gif.ScreenWidth(), 0);
  EXPECT_EQ(gif.ScreenBackgroundColorIndex(), 0);
  EXPECT_EQ(gif.AnimationLoops(), 0);
  EXPECT_FALSE(gif.HasLoopingBlock());
  EXPECT_FALSE(gif.GlobalPaletteExists());
  EXPECT_EQ(gif.GlobalPaletteEntries(), 0);
  EXPECT_EQ(gif.TrailingCommentsCount(), 0);
  EXPECT_EQ(gif.lpGlobalPalette()[4 + 2], 0);  // was entry 1's red
  // A surface handed out earlier stays valid for its holder.
  EXPECT_EQ(surface->Width(), 2);
}

}  // namespace
}  // namespace lumatrim
