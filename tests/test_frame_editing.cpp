// Frame list and comment list editing: the order of frames after each operation, what a new or
// cloned frame holds, and that a refused call changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cli/document_info.h"
#include "gif/gif_document.h"

namespace lumatrim {
namespace {

// Frames are told apart by their delay; frame i of a document from MakeFrames has delay 10 * i.
void MakeFrames(cGIF& doc, int count) {
  for (int i = 1; i <= count; ++i) {
    doc.FrameInsert(int16_t(i), 4, 3, false);
    doc.FrameDelay(int16_t(i), int16_t(10 * i));
  }
}

std::vector<int> Delays(const cGIF& doc) {
  std::vector<int> delays;
  for (int16_t n = 1; n <= doc.FramesCount(); ++n) delays.push_back(doc.FrameDelay(n));
  return delays;
}

void SetGlobalPalette(cGIF& doc, int entries) {
  doc.GlobalPaletteExists(true);
  doc.GlobalPaletteEntries(int16_t(entries));
  for (int i = 0; i < 4 * entries; ++i) doc.lpGlobalPalette()[i] = uint8_t(i + 1);
}

TEST(FrameEditingTest, InsertIntoAnEmptyDocument) {
  cGIF doc;
  doc.TrailingCommentAdd();
  doc.FrameInsert(1, 10, 20, false);
  ASSERT_EQ(doc.FramesCount(), 1);
  EXPECT_EQ(doc.ScreenWidth(), 10);
  EXPECT_EQ(doc.ScreenHeight(), 20);
  EXPECT_EQ(doc.TrailingCommentsCount(), 0);
  EXPECT_TRUE(doc.LocalPaletteUsed(1));
  EXPECT_EQ(doc.LocalPaletteEntries(1), 2);
  EXPECT_EQ(doc.lpFramePaletteColor(1, 0), 0u);
  EXPECT_EQ(doc.lpFramePaletteColor(1, 1), 0xFFFFFFu);
  EXPECT_EQ(doc.lpFramePaletteColor(1, 2), 0u);
  const cDIB& image = *doc.FrameDIBXOR(1);
  EXPECT_EQ(image.Width(), 10);
  EXPECT_EQ(image.Height(), 20);
  EXPECT_EQ(image.BPP(), 8);
  EXPECT_EQ(image.PixelColor(3, 3), 0u);
  std::vector<uint8_t> table;
  image.GetPalette(table);
  EXPECT_EQ(std::vector<uint8_t>(table.begin(), table.begin() + 12),
            (std::vector<uint8_t>{0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0}));
  EXPECT_EQ(doc.FrameDIBAND(1)->BPP(), 1);
  EXPECT_EQ(doc.FrameDIBAND(1)->Width(), 10);
}

TEST(FrameEditingTest, InsertPlacesAndPalettes) {
  cGIF doc;
  SetGlobalPalette(doc, 16);
  MakeFrames(doc, 3);
  doc.FrameInsert(99, 5, 5, true);
  EXPECT_EQ(Delays(doc), (std::vector<int>{10, 20, 30, 0}));
  EXPECT_FALSE(doc.LocalPaletteUsed(4));
  EXPECT_EQ(doc.LocalPaletteEntries(4), 16);
  EXPECT_TRUE(
      std::equal(doc.lpGlobalPalette(), doc.lpGlobalPalette() + 1024, doc.lpFramePalette(4)));
  EXPECT_EQ(doc.ScreenWidth(), 4) << "only the first frame sets the screen";

  doc.FrameInsert(2, 1, 1, false);
  EXPECT_EQ(Delays(doc), (std::vector<int>{10, 0, 20, 30, 0}));
  EXPECT_TRUE(doc.LocalPaletteUsed(2));
  doc.FrameInsert(1, 9, 9, true);  // first place, but not the first frame: the screen stays
  EXPECT_EQ(doc.ScreenWidth(), 4);
  EXPECT_EQ(doc.FramesCount(), 6);

  cGIF noGlobal;
  noGlobal.FrameInsert(1, 5, 5, true);
  EXPECT_TRUE(noGlobal.LocalPaletteUsed(1));
  EXPECT_EQ(noGlobal.LocalPaletteEntries(1), 2);

  cGIF empty;
  empty.FrameInsert(1, 0, 5, true);  // no surface can be made: inserted without pixels
  EXPECT_EQ(empty.FramesCount(), 1);
  EXPECT_EQ(empty.FrameDIBXOR(1)->hDIB(), 0u);
}

TEST(FrameEditingTest, CloneCopiesEverythingIntoNewSurfaces) {
  cGIF doc;
  MakeFrames(doc, 3);
  doc.FrameLeft(2, 7);
  doc.FrameTop(2, 8);
  doc.FrameDisposalMethod(2, 3);
  doc.FrameUseTransparentColor(2, true);
  doc.FrameTransparentColorIndex(2, 1);
  doc.FrameInterlaced(2, true);
  doc.FrameUserInput(2, true);
  doc.LocalPaletteSorted(2, true);
  doc.lpFramePalette(2)[100] = 9;
  doc.FrameCommentAdd(2);
  doc.FrameComment(2, 1, "two");
  doc.FrameDIBXOR(2)->lpBits()[5] = 1;
  const std::shared_ptr<cDIB> source = doc.FrameDIBXOR(2);

  doc.FrameClone(2);
  EXPECT_EQ(Delays(doc), (std::vector<int>{10, 20, 20, 30}));
  EXPECT_EQ(doc.FrameDIBXOR(3), source) << "the source moves on with its surfaces";
  EXPECT_NE(doc.FrameDIBXOR(2), source);
  EXPECT_NE(doc.FrameDIBAND(2), doc.FrameDIBAND(3));
  // Every field and the pixels (by checksum), the palette store and the comments are equal.
  const nlohmann::ordered_json info = cli::DocumentInfoJson("", doc, true);
  EXPECT_EQ(info["frames"][1], info["frames"][2]);
  EXPECT_EQ(info["frames"][1]["disposal"], 3);
  EXPECT_TRUE(
      std::equal(doc.lpFramePalette(2), doc.lpFramePalette(2) + 1024, doc.lpFramePalette(3)));
  ASSERT_EQ(doc.FrameCommentsCount(2), 1);
  EXPECT_EQ(doc.FrameComment(2, 1), "two");
  // The copy is independent of the source.
  doc.FrameDIBXOR(2)->lpBits()[5] = 0;
  doc.FrameComment(2, 1, "copy");
  EXPECT_EQ(source->lpBits()[5], 1);
  EXPECT_EQ(doc.FrameComment(3, 1), "two");
}

TEST(FrameEditingTest, RemoveAndMove) {
  cGIF doc;
  MakeFrames(doc, 3);
  const std::shared_ptr<cDIB> third = doc.FrameDIBXOR(3);
  doc.FrameRemove(1);
  EXPECT_EQ(Delays(doc), (std::vector<int>{20, 30}));
  EXPECT_EQ(doc.FrameDIBXOR(2), third);

  cGIF last;
  MakeFrames(last, 3);
  last.FrameRemove(3);
  EXPECT_EQ(Delays(last), (std::vector<int>{10, 20}));

  cGIF single;
  MakeFrames(single, 1);
  single.FrameDelay(0, 5);  // the spare record, emptied once no frame is left
  single.FrameRemove(1);
  EXPECT_EQ(single.FramesCount(), 0);
  EXPECT_EQ(single.FrameDelay(0), 0);
  EXPECT_THROW(single.FrameDelay(1), SubscriptOutOfRange);

  cGIF moved;
  MakeFrames(moved, 3);
  moved.FrameMoveDown(1);
  EXPECT_EQ(Delays(moved), (std::vector<int>{20, 10, 30}));
  moved.FrameMoveUp(2);
  EXPECT_EQ(Delays(moved), (std::vector<int>{10, 20, 30}));
  moved.FrameMoveUp(3);
  EXPECT_EQ(Delays(moved), (std::vector<int>{10, 30, 20}));
}

TEST(FrameEditingTest, NumbersOutsideTheRangesChangeNothing) {
  cGIF doc;
  MakeFrames(doc, 3);
  doc.FrameDelay(0, 99);
  const std::vector<int> before = Delays(doc);
  EXPECT_THROW(doc.FrameInsert(0, 1, 1, false), SubscriptOutOfRange);
  EXPECT_THROW(doc.FrameInsert(-1, 1, 1, false), SubscriptOutOfRange);
  for (const int16_t n : {int16_t(0), int16_t(4), int16_t(-1)}) {
    EXPECT_THROW(doc.FrameClone(n), SubscriptOutOfRange) << n;
    EXPECT_THROW(doc.FrameRemove(n), SubscriptOutOfRange) << n;
    EXPECT_THROW(doc.FrameCommentAdd(n), SubscriptOutOfRange) << n;
    EXPECT_THROW(doc.FrameCommentRemoveAll(n), SubscriptOutOfRange) << n;
  }
  EXPECT_THROW(doc.FrameMoveUp(1), SubscriptOutOfRange);
  EXPECT_THROW(doc.FrameMoveUp(4), SubscriptOutOfRange);
  EXPECT_THROW(doc.FrameMoveDown(0), SubscriptOutOfRange);
  EXPECT_THROW(doc.FrameMoveDown(3), SubscriptOutOfRange);
  EXPECT_EQ(Delays(doc), before);
  EXPECT_EQ(doc.FrameDelay(0), 99) << "the spare record never takes part in a move";

  cGIF empty;
  EXPECT_THROW(empty.FrameMoveDown(1), SubscriptOutOfRange);
  EXPECT_THROW(empty.FrameRemove(1), SubscriptOutOfRange);
}

TEST(FrameEditingTest, NoMoreThan32767Frames) {
  cGIF doc;
  for (int i = 1; i <= INT16_MAX; ++i) doc.FrameInsert(INT16_MAX, 1, 1, false);
  ASSERT_EQ(doc.FramesCount(), INT16_MAX);
  EXPECT_THROW(doc.FrameInsert(1, 1, 1, false), OverflowError);
  EXPECT_THROW(doc.FrameClone(1), OverflowError);
  EXPECT_EQ(doc.FramesCount(), INT16_MAX);
  doc.FrameRemove(INT16_MAX);
  doc.FrameInsert(INT16_MAX, 2, 2, false);
  EXPECT_EQ(doc.FrameDIBXOR(INT16_MAX)->Width(), 2);
}

TEST(FrameEditingTest, CommentLists) {
  cGIF doc;
  MakeFrames(doc, 2);
  doc.FrameCommentAdd(1);
  doc.FrameComment(1, 1, "a");
  doc.FrameCommentAdd(1);
  doc.FrameComment(1, 2, "b");
  doc.FrameCommentAdd(1);
  EXPECT_EQ(doc.FrameCommentsCount(1), 3);
  EXPECT_EQ(doc.FrameComment(1, 1), "a");
  EXPECT_EQ(doc.FrameComment(1, 3), "");
  EXPECT_EQ(doc.FrameCommentsCount(2), 0);
  doc.FrameCommentRemoveAll(1);
  EXPECT_EQ(doc.FrameCommentsCount(1), 0);
  EXPECT_THROW(doc.FrameComment(1, 1), SubscriptOutOfRange);

  doc.TrailingCommentAdd();
  doc.TrailingComment(1, "t");
  doc.TrailingCommentAdd();
  EXPECT_EQ(doc.TrailingCommentsCount(), 2);
  EXPECT_EQ(doc.TrailingComment(1), "t");
  doc.TrailingCommentRemoveAll();
  EXPECT_EQ(doc.TrailingCommentsCount(), 0);

  // A list never grows past what its 16-bit count can tell.
  for (int i = 0; i < INT16_MAX; ++i) doc.TrailingCommentAdd();
  EXPECT_THROW(doc.TrailingCommentAdd(), OverflowError);
  EXPECT_EQ(doc.TrailingCommentsCount(), INT16_MAX);
}

}  // namespace
}  // namespace lumatrim
