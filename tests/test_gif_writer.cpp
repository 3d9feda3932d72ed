// cGIF::Save: the bytes of every block where the writer makes a choice, the whole-file-or-nothing
// behaviour on disk, and load-save-load round trips over real files.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/document_info.h"
#include "corpus.h"
#include "files.h"
#include "gif/gif_document.h"
#include "gif_bytes.h"
#include "gifdiff.h"

namespace lumatrim {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::FolderNames;
using testing::Gifdiff;
using testing::GifdiffInstalled;
using testing::GifdiffReads;
using testing::ReadBytes;

void WriteFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes Slice(const Bytes& bytes, size_t at, size_t n) {
  if (at + n > bytes.size()) return {};
  return Bytes(bytes.begin() + std::ptrdiff_t(at), bytes.begin() + std::ptrdiff_t(at + n));
}

// Every test gets a folder of its own, removed afterwards.
class GifWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("lumatrim-writer-" + std::to_string(seed()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Saves doc and answers the file's bytes (empty when the save failed).
  Bytes Saved(cGIF& doc) {
    const fs::path path = folder_ / "out.gif";
    fs::remove(path);
    if (!doc.Save(path.string())) return {};
    return ReadBytes(path);
  }

  std::vector<std::string> FolderEntries() const { return FolderNames(folder_); }

  fs::path folder_;
};

// A global palette of n entries whose entry i is red i, green 2i, blue 3i.
void SetGlobalPalette(cGIF& doc, int entries, bool sorted = false) {
  doc.GlobalPaletteExists(true);
  doc.GlobalPaletteSorted(sorted);
  doc.GlobalPaletteEntries(int16_t(entries));
  uint8_t* store = doc.lpGlobalPalette();
  for (int i = 0; i < entries; ++i) {
    store[4 * i] = uint8_t(3 * i);
    store[4 * i + 1] = uint8_t(2 * i);
    store[4 * i + 2] = uint8_t(i);
  }
}

// One 1 x 1 frame of pixel 1 drawn with the global palette.
void AddPixelFrame(cGIF& doc) {
  doc.FrameInsert(int16_t(doc.FramesCount() + 1), 1, 1, true);
  doc.FrameDIBXOR(doc.FramesCount())->lpBits()[0] = 1;
}

// Clear 4, pixel 1, end 5 in 3-bit codes, as one sub-block, then the terminator.
const Bytes kOnePixelData = {0x02, 0x02, 0x4C, 0x01, 0x00};

TEST_F(GifWriterTest, OneFrameExampleIsWrittenExactly) {
  cGIF doc;
  SetGlobalPalette(doc, 4);
  AddPixelFrame(doc);
  Bytes expected = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x91, 0, 0};
  testing::Append(expected, {0, 0, 0, 1, 2, 3, 2, 4, 6, 3, 6, 9});
  testing::Append(expected, {0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00});
  testing::Append(expected, {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x01});
  expected.insert(expected.end(), kOnePixelData.begin(), kOnePixelData.end());
  expected.push_back(0x3B);
  EXPECT_EQ(Saved(doc), expected);
  EXPECT_EQ(Saved(doc), expected) << "a second save gives the same bytes";
}

TEST_F(GifWriterTest, ScreenFlagsAndPaddedGlobalTables) {
  struct Case {
    int entries;
    bool sorted;
    uint8_t flags;
    size_t tableBytes;
  };
  for (const Case& c :
       {Case{256, false, 0xF7, 768}, Case{256, true, 0xFF, 768}, Case{2, false, 0x80, 6},
        Case{3, false, 0x91, 12}, Case{1, true, 0x88, 6}, Case{129, false, 0xF7, 768}}) {
    cGIF doc;
    SetGlobalPalette(doc, c.entries, c.sorted);
    AddPixelFrame(doc);
    const Bytes file = Saved(doc);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file[10], c.flags) << c.entries << " entries";
    // The table ends where the graphic control block begins; entries past the count are zero.
    EXPECT_EQ(Slice(file, 13 + c.tableBytes, 2), (Bytes{0x21, 0xF9})) << c.entries;
    for (size_t i = size_t(c.entries); i < c.tableBytes / 3; ++i) {
      EXPECT_EQ(Slice(file, 13 + 3 * i, 3), (Bytes{0, 0, 0})) << "padding entry " << i;
    }
    EXPECT_EQ(Slice(file, 13 + 3 * size_t(c.entries - 1), 3),
              (Bytes{uint8_t(c.entries - 1), uint8_t(2 * (c.entries - 1)),
                     uint8_t(3 * (c.entries - 1))}));
  }

  cGIF none;
  none.FrameInsert(1, 1, 1, false);
  none.GlobalPaletteSorted(true);
  none.LocalPaletteUsed(1, false);
  const Bytes file = Saved(none);
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(file[10], 0x00);
  EXPECT_EQ(Slice(file, 13, 2), (Bytes{0x21, 0xF9}));
  // No palette anywhere: size field 0, minimum code size 2.
  EXPECT_EQ(file[13 + 8 + 9], 0x00);
  EXPECT_EQ(file[13 + 8 + 10], 2);
}

TEST_F(GifWriterTest, GraphicControlBlockOfEveryFrame) {
  cGIF doc;
  SetGlobalPalette(doc, 2);
  AddPixelFrame(doc);
  AddPixelFrame(doc);
  doc.FrameDisposalMethod(1, 2);
  doc.FrameUserInput(1, true);
  doc.FrameUseTransparentColor(1, true);
  doc.FrameTransparentColorIndex(1, 1);
  doc.FrameDelay(1, 0x1234);
  doc.FrameTransparentColorIndex(2, 7);  // not in use: written as 0
  doc.FrameDisposalMethod(2, 7);
  doc.FrameDelay(2, -1);
  const Bytes file = Saved(doc);
  const size_t first = 13 + 6;
  EXPECT_EQ(Slice(file, first, 8), (Bytes{0x21, 0xF9, 0x04, 0x0B, 0x34, 0x12, 0x01, 0x00}));
  const size_t second = first + 8 + 10 + kOnePixelData.size();
  EXPECT_EQ(Slice(file, second, 8), (Bytes{0x21, 0xF9, 0x04, 0x1C, 0xFF, 0xFF, 0x00, 0x00}));
}

TEST_F(GifWriterTest, ImageDescriptorAndLocalTable) {
  cGIF doc;
  SetGlobalPalette(doc, 16);
  doc.FrameInsert(1, 3, 2, false);  // 2-entry local palette
  doc.FrameLeft(1, 0x0102);
  doc.FrameTop(1, -2);
  doc.FrameInterlaced(1, true);
  doc.LocalPaletteSorted(1, true);
  doc.FrameInsert(2, 1, 1, true);
  doc.LocalPaletteSorted(2, true);  // copied although no local table is written
  const Bytes file = Saved(doc);
  const size_t descriptor = 13 + 48 + 8;
  EXPECT_EQ(Slice(file, descriptor, 10), (Bytes{0x2C, 2, 1, 0xFE, 0xFF, 3, 0, 2, 0, 0xE0}));
  EXPECT_EQ(Slice(file, descriptor + 10, 7), (Bytes{0, 0, 0, 255, 255, 255, 2}));
  // The data starts with the clear code 4 in 3 bits.
  EXPECT_EQ(file[descriptor + 10 + 7 + 1] & 0x07, 4);

  // The second frame carries the global table's size code.
  cGIF reread;
  ASSERT_TRUE(reread.LoadFromStream(file));
  EXPECT_EQ(reread.FrameLeft(1), 0x0102);
  EXPECT_EQ(reread.FrameTop(1), -2);
  EXPECT_TRUE(reread.FrameInterlaced(1));
  EXPECT_TRUE(reread.LocalPaletteUsed(1));
  EXPECT_EQ(reread.LocalPaletteEntries(1), 2);
  EXPECT_FALSE(reread.LocalPaletteUsed(2));
  const Bytes tail = Slice(file, file.size() - 1 - kOnePixelData.size() - 10, 10);
  EXPECT_EQ(tail, (Bytes{0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x23}));
}

TEST_F(GifWriterTest, FrameSizeIsWrittenUnsigned) {
  cGIF doc;
  AddPixelFrame(doc);
  ASSERT_TRUE(doc.FrameDIBXOR(1)->Create(40000, 1, 8));
  doc.FrameDIBXOR(1)->lpBits()[39999] = 1;
  const Bytes file = Saved(doc);
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(Slice(file, 13 + 8 + 5, 4), (Bytes{0x40, 0x9C, 0x01, 0x00}));
  cGIF reread;
  ASSERT_TRUE(reread.LoadFromStream(file));
  EXPECT_EQ(reread.FrameDIBXOR(1)->Width(), 40000);
  EXPECT_EQ(reread.FrameDIBXOR(1)->lpBits()[39999], 1);
}

TEST_F(GifWriterTest, PixelsBeyondThePaletteRaiseTheCodeSize) {
  cGIF doc;
  SetGlobalPalette(doc, 2);
  doc.FrameInsert(1, 4, 1, true);
  const uint8_t pixels[4] = {0, 1, 4, 200};
  std::copy(pixels, pixels + 4, doc.FrameDIBXOR(1)->lpBits());
  const Bytes file = Saved(doc);
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(file[13 + 6 + 8 + 10], 8);
  cGIF reread;
  ASSERT_TRUE(reread.LoadFromStream(file));
  EXPECT_TRUE(std::equal(pixels, pixels + 4, reread.FrameDIBXOR(1)->lpBits()));
}

TEST_F(GifWriterTest, CommentsAsSubBlocksOf255) {
  cGIF doc;
  SetGlobalPalette(doc, 2);
  AddPixelFrame(doc);
  const std::vector<std::string> texts = {"x", std::string(255, 'a'), std::string(256, 'b'),
                                          std::string(300, 'c'), ""};
  for (const std::string& text : texts) {
    doc.FrameCommentAdd(1);
    doc.FrameComment(1, doc.FrameCommentsCount(1), text);
  }
  doc.TrailingCommentAdd();
  doc.TrailingComment(1, "end");

  Bytes expected;
  testing::Append(expected, {0x21, 0xFE, 1, 'x', 0});
  testing::Append(expected, {0x21, 0xFE, 255});
  expected.insert(expected.end(), 255, 'a');
  testing::Append(expected, {0, 0x21, 0xFE, 255});
  expected.insert(expected.end(), 255, 'b');
  testing::Append(expected, {1, 'b', 0, 0x21, 0xFE, 255});
  expected.insert(expected.end(), 255, 'c');
  expected.push_back(45);
  expected.insert(expected.end(), 45, 'c');
  testing::Append(expected, {0, 0x21, 0xFE, 0});
  const Bytes file = Saved(doc);
  // Frame comments stand between the global table and the graphic control block.
  EXPECT_EQ(Slice(file, 13 + 6, expected.size()), expected);
  EXPECT_EQ(Slice(file, 13 + 6 + expected.size(), 2), (Bytes{0x21, 0xF9}));
  EXPECT_EQ(Slice(file, file.size() - 9, 9), (Bytes{0, 0x21, 0xFE, 3, 'e', 'n', 'd', 0, 0x3B}));

  cGIF reread;
  ASSERT_TRUE(reread.LoadFromStream(file));
  ASSERT_EQ(reread.FrameCommentsCount(1), 5);
  for (int16_t i = 1; i <= 5; ++i) EXPECT_EQ(reread.FrameComment(1, i), texts[size_t(i - 1)]);
  EXPECT_EQ(reread.TrailingComment(1), "end");
}

TEST_F(GifWriterTest, LoopingBlockExactlyWhenTheDocumentHasOne) {
  const Bytes loop5 = {0x21, 0xFF, 0x0B, 'N', 'E',  'T',  'S',  'C',  'A', 'P',
                       'E',  '2',  '.',  '0', 0x03, 0x01, 0x05, 0x00, 0x00};
  cGIF one;
  SetGlobalPalette(one, 2);
  AddPixelFrame(one);
  one.AnimationLoops(5);
  EXPECT_EQ(Slice(Saved(one), 13 + 6, 19), loop5) << "one frame keeps its looping block";

  cGIF two;
  SetGlobalPalette(two, 2);
  AddPixelFrame(two);
  AddPixelFrame(two);
  EXPECT_EQ(Slice(Saved(two), 13 + 6, 2), (Bytes{0x21, 0xF9})) << "an animation that plays once";
  two.AnimationLoops(0);
  Bytes forever = loop5;
  forever[16] = 0;
  const Bytes file = Saved(two);
  EXPECT_EQ(Slice(file, 13 + 6, 19), forever);

  cGIF reread;
  ASSERT_TRUE(reread.LoadFromStream(file));
  EXPECT_TRUE(reread.HasLoopingBlock());
  EXPECT_EQ(reread.AnimationLoops(), 0);
}

TEST_F(GifWriterTest, DocumentWithoutFrames) {
  cGIF doc;
  SetGlobalPalette(doc, 2);
  doc.ScreenWidth(300);
  doc.AnimationLoops(3);
  Bytes expected = {'G', 'I', 'F', '8', '7', 'a', 0x2C, 0x01, 0, 0, 0x80, 0, 0};
  testing::Append(expected, {0, 0, 0, 1, 2, 3, 0x3B});
  EXPECT_EQ(Saved(doc), expected);

  doc.TrailingCommentAdd();
  doc.TrailingComment(1, "hi");
  expected[4] = '9';
  expected.pop_back();
  testing::Append(expected, {0x21, 0xFE, 2, 'h', 'i', 0, 0x3B});
  EXPECT_EQ(Saved(doc), expected);
}

TEST_F(GifWriterTest, FramesWithoutPixels) {
  cGIF doc;
  SetGlobalPalette(doc, 2);
  doc.FrameInsert(1, 0, 5, true);  // no surface can be made
  const Bytes file = Saved(doc);
  // A frame without pixels declares none: 0 x 0, then clear and end only.
  EXPECT_EQ(Slice(file, 13 + 6 + 8 + 5, 4), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(Slice(file, 13 + 6 + 8 + 10, 5), (Bytes{0x02, 0x01, 0x2C, 0x00, 0x3B}));
  EXPECT_EQ(file.size(), 13u + 6 + 8 + 10 + 5);
}

TEST_F(GifWriterTest, SavingToAMissingFolderFailsAndLeavesNothing) {
  cGIF doc;
  AddPixelFrame(doc);
  EXPECT_FALSE(doc.Save((folder_ / "missing" / "out.gif").string()));
  EXPECT_FALSE(fs::exists(folder_ / "missing"));
  EXPECT_TRUE(FolderEntries().empty());
  EXPECT_FALSE(doc.Save(folder_.string())) << "a folder is no file";
  EXPECT_FALSE(doc.Save(""));
  EXPECT_TRUE(FolderEntries().empty());
}

TEST_F(GifWriterTest, SavingOverAnExistingFileReplacesIt) {
  const fs::path target = folder_ / "out.gif";
  WriteFile(target, Bytes(5000, 0x55));
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  cGIF doc;
  SetGlobalPalette(doc, 4);
  AddPixelFrame(doc);
  ASSERT_TRUE(doc.Save(target.string()));
  const Bytes file = ReadBytes(target);
  EXPECT_EQ(file.size(), 13u + 12 + 8 + 10 + kOnePixelData.size() + 1);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"out.gif"}) << "no temporary file is left";
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(GifWriterTest, AFailingSaveLeavesTheOldFileIntact) {
  const fs::path target = folder_ / "out.gif";
  const Bytes old(777, 0x42);
  WriteFile(target, old);

  cGIF badDisposal;
  AddPixelFrame(badDisposal);
  badDisposal.FrameDisposalMethod(1, 8);  // does not fit 3 bits
  EXPECT_FALSE(badDisposal.Save(target.string()));

  cGIF badPalette;
  AddPixelFrame(badPalette);
  badPalette.LocalPaletteEntries(1, 300);  // would need 9 bits
  EXPECT_FALSE(badPalette.Save(target.string()));

  cGIF badGlobal;
  SetGlobalPalette(badGlobal, 2);
  badGlobal.GlobalPaletteEntries(257);
  EXPECT_FALSE(badGlobal.Save(target.string()));

  EXPECT_EQ(ReadBytes(target), old);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"out.gif"});
}

// Round trips over real files.

// Every field (with the frames' pixel checksums), palette store and comment text of a document.
std::string Contents(const cGIF& doc) {
  std::ostringstream out;
  out << cli::DocumentInfoJson("", doc, true).dump() << "\n";
  const auto store = [&](const uint8_t* bytes) { out << std::string(bytes, bytes + 1024) << "\n"; };
  store(doc.lpGlobalPalette());
  for (int16_t i = 1; i <= doc.TrailingCommentsCount(); ++i) out << doc.TrailingComment(i) << "\n";
  for (int16_t n = 1; n <= doc.FramesCount(); ++n) {
    store(doc.lpFramePalette(n));
    for (int16_t i = 1; i <= doc.FrameCommentsCount(n); ++i) out << doc.FrameComment(n, i) << "\n";
  }
  return out.str();
}

TEST_F(GifWriterTest, RealFilesSurviveLoadSaveLoad) {
  const bool haveGifdiff = GifdiffInstalled();
  int tried = 0;
  for (const fs::path& input : testing::CleanRealFiles()) {
    ++tried;
    SCOPED_TRACE(input.filename().string());
    cGIF original;
    const fs::path output = folder_ / input.filename();
    cGIF reread;
    if (!original.LoadFromFile(input.string()) || !original.Save(output.string()) ||
        !reread.LoadFromFile(output.string())) {
      ADD_FAILURE() << "load, save or reload failed";
      continue;
    }
    EXPECT_TRUE(Contents(original) == Contents(reread)) << "the reloaded document differs";
    EXPECT_TRUE(testing::GiflibReadsCleanly(output));
    if (haveGifdiff && GifdiffReads(input)) {
      EXPECT_EQ(Gifdiff(input, output), 0) << "gifdiff -w -B " << input << " " << output;
    }
    fs::remove(output);
  }
  EXPECT_GT(tried, 40);
  if (!haveGifdiff) GTEST_SKIP() << "gifdiff is not installed; compared documents only";
}

}  // namespace
}  // namespace lumatrim
