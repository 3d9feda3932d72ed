// reduce --best: every output shows what its input showed (to our player, to giflib and to
// gifdiff), and the freedoms it takes (comparing with the screen, dropping, disposal, borrowed
// transparent indices) each do what they are for.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "animation_docs.h"
#include "best/frames.h"
#include "best/smallest.h"
#include "corpus.h"
#include "files.h"
#include "files/whole_file.h"
#include "gifdiff.h"
#include "look_the_same.h"
#include "optimizer/pixel_grid.h"
#include "reduction/reduce_file.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

namespace fs = std::filesystem;
using namespace testing;

class BestReductionTest : public ::testing::Test {
 protected:
  // Reduces the loaded document into a file and loads that file into `reduced`. inputPath, when
  // given, is the file the document was loaded from.
  bool Reduce(cGIF& doc, const std::string& inputPath = {}, ReductionOptions options = {}) {
    options.best = true;
    const std::vector<uint8_t> input =
        inputPath.empty() ? std::vector<uint8_t>() : ReadBytes(inputPath);
    best::InputLoader loadInput;
    if (!input.empty()) loadInput = [&](cGIF& fresh) { return fresh.LoadFromStream(input); };
    const Result<std::vector<uint8_t>> bytes = best::SmallestBytes(doc, options, loadInput);
    const fs::path output = folder_ / "out.gif";
    return bytes && WriteWholeFile(output.string(), *bytes).ok() &&
           reduced.LoadFromFile(output.string());
  }

  TempFolder folder_{"best"};
  cGIF reduced;
};

// Frame n's pixels as giflib decodes them, or empty when it can't.
std::vector<Bytes> GiflibFrames(const fs::path& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.string().c_str(), &error);
  std::vector<Bytes> frames;
  if (gif == nullptr) return frames;
  if (DGifSlurp(gif) == GIF_OK) {
    for (int i = 0; i < gif->ImageCount; ++i) {
      const SavedImage& image = gif->SavedImages[i];
      const GifByteType* raster = image.RasterBits;
      frames.emplace_back(raster, raster + image.ImageDesc.Width * image.ImageDesc.Height);
    }
  }
  DGifCloseFile(gif, &error);
  return frames;
}

TEST_F(BestReductionTest, RealFilesLookTheSameToUsGiflibAndGifdiff) {
  const bool haveGifdiff = GifdiffInstalled();
  int tried = 0;
  for (const fs::path& input : RealFiles()) {
    SCOPED_TRACE(input.filename().string());
    cGIF doc, original;
    if (!doc.LoadFromFile(input.string()) || !original.LoadFromFile(input.string())) continue;
    ++tried;
    ASSERT_TRUE(Reduce(doc, input.string()));
    EXPECT_TRUE(LookTheSame(original, reduced));
    const fs::path output = folder_ / "out.gif";
    if (!GiflibReadsCleanly(input)) continue;
    // giflib reads every frame of the output exactly as our decoder does.
    const std::vector<Bytes> giflib = GiflibFrames(output);
    ASSERT_EQ(int(giflib.size()), reduced.FramesCount());
    for (int16_t n = 1; n <= reduced.FramesCount(); ++n) {
      EXPECT_EQ(giflib[size_t(n - 1)], PixelsOf(reduced, n)) << "frame " << n;
    }
    if (haveGifdiff && GifdiffReads(input)) {
      EXPECT_EQ(Gifdiff(input, output), 0) << "gifdiff sees a difference";
    }
  }
  EXPECT_GT(tried, 40);
}

TEST_F(BestReductionTest, FramesAreComparedWithTheScreenNotJustTheFrameBefore) {
  // Frame 2 draws a block; frame 3 repaints the whole screen as it already shows: it changes
  // nothing and goes, its time added to frame 2. Frame 4 changes one pixel and is cut down to it.
  const FrameSpec first = Filled(0, 0, 8, 8, 1);
  const FrameSpec block = Filled(2, 2, 2, 2, 3);
  const FrameSpec whole = WithBlock(first, 2, 2, 2, 2, 3);
  const FrameSpec changed = WithBlock(whole, 6, 5, 1, 1, 2);
  const Bytes file = Animation(8, 8, {first, With(block, 1, 20), With(whole, 1, 30), changed});
  Docs docs(file);
  ASSERT_TRUE(Reduce(docs.after));
  ASSERT_EQ(reduced.FramesCount(), 3);
  EXPECT_EQ(reduced.FrameDelay(2), 50);
  EXPECT_EQ(FrameRect(reduced, 2), (Rect{2, 2, 4, 4}));
  EXPECT_EQ(FrameRect(reduced, 3), (Rect{6, 5, 7, 6}));
  EXPECT_TRUE(LookTheSame(docs.before, reduced));
}

TEST_F(BestReductionTest, UnchangedPixelsMayTakeATransparentIndexThatPixelsAlsoUse) {
  // All four colours of the palette are used, so no index is free; the unchanged pixels of
  // frame 2 may still be sent as transparent under the index of a colour that no changed pixel
  // needs.
  FrameSpec first = Filled(0, 0, 16, 16, 0);
  for (int i = 0; i < 256; ++i) first.pixels[size_t(i)] = uint8_t((i / 3 + i / 16) % 4);
  const FrameSpec second = WithBlock(WithBlock(first, 1, 1, 2, 2, 1), 12, 12, 2, 2, 1);
  Docs docs(Animation(16, 16, {first, second}));
  ASSERT_TRUE(Reduce(docs.after));
  ASSERT_EQ(reduced.FramesCount(), 2);
  EXPECT_EQ(reduced.GlobalPaletteEntries(), 4);
  EXPECT_TRUE(reduced.FrameUseTransparentColor(2));
  EXPECT_TRUE(LookTheSame(docs.before, reduced));
}

TEST_F(BestReductionTest, DisposalTwoStaysOnlyWhereClearingShows) {
  // Frame 1 is taken away but frame 2 covers all of it: clearing is not needed. Frame 3 is taken
  // away and frame 4 leaves part of it uncovered: clearing stays.
  const FrameSpec full = Filled(0, 0, 8, 8, 1);
  const FrameSpec spot = Filled(0, 0, 4, 4, 3);
  Docs docs(Animation(8, 8,
                      {With(full, 2), With(WithBlock(full, 1, 1, 2, 2, 2), 1), With(spot, 2, 10),
                       With(Filled(0, 0, 2, 2, 2), 1)}));
  ASSERT_TRUE(Reduce(docs.after));
  EXPECT_NE(reduced.FrameDisposalMethod(1), 2);
  EXPECT_EQ(FrameRect(reduced, 2), (Rect{1, 1, 3, 3}));
  const int16_t last = reduced.FramesCount();
  EXPECT_EQ(reduced.FrameDisposalMethod(int16_t(last - 1)), 2);
  EXPECT_TRUE(LookTheSame(docs.before, reduced));
}

TEST_F(BestReductionTest, TransparentFramesAndDisposalsPlayTheSame) {
  // Transparent pixels over colours, restore-to-previous, a frame partly off the screen and a
  // frame of zero width: a mix the screen comparison must follow exactly.
  const FrameSpec base = Filled(0, 0, 10, 10, 1);
  FrameSpec holes = WithBlock(Filled(2, 2, 6, 6, 2), 1, 1, 3, 3, 0);
  holes.transparent = 0;
  FrameSpec back = With(Filled(4, 4, 4, 4, 3), 3, 10);
  FrameSpec past = Filled(8, 8, 4, 4, 2);
  FrameSpec same = With(Filled(0, 0, 10, 10, 0), 1, 10, 0);
  Docs docs(
      Animation(10, 10, {base, holes, back, past, same, With(base, 2), Filled(3, 3, 2, 2, 2)}));
  ASSERT_TRUE(Reduce(docs.after));
  EXPECT_TRUE(LookTheSame(docs.before, reduced));
}

TEST_F(BestReductionTest, AScreenTooLargeToPlayFallsBackToTheFramePasses) {
  const FrameSpec first = Filled(0, 0, 16, 16, 1);
  const Bytes file = Animation(16, 16, {first, WithBlock(first, 3, 3, 2, 2, 2), first});
  Docs docs(file);
  // Too little memory for the screen, but enough to load the frames.
  EXPECT_FALSE(best::ScreenFitsBudget(docs.after, 1024));
  ReductionOptions options;
  options.memoryBudget = 1024;
  ASSERT_TRUE(Reduce(docs.after, {}, options));
  EXPECT_EQ(FrameRect(reduced, 2), (Rect{3, 3, 5, 5}));
  EXPECT_TRUE(LookTheSame(docs.before, reduced));
}

// With a budget too small to play the screen in, the fresh copies --best weighs its output
// against still load within the whole budget, not within what playing was given: given nothing,
// the frame of the default pipeline's copy kept no pixels and made the smallest file.
TEST_F(BestReductionTest, WithoutRoomToPlayTheCopiesItWeighsAreWhole) {
  const Bytes file = Animation(1000, 1000, {Filled(0, 0, 1000, 1000, 1)});
  cGIF original, doc, output;
  ASSERT_TRUE(original.LoadFromStream(file));
  ReductionOptions options;
  options.best = true;
  options.memoryBudget = 20 << 20;
  const ReducedBytes reduced = ReduceBytes(doc, file, options);
  ASSERT_EQ(reduced.status, ReductionStatus::Reduced) << reduced.reason;
  ASSERT_TRUE(output.LoadFromStream(reduced.bytes));
  EXPECT_TRUE(LookTheSame(original, output));
}

TEST_F(BestReductionTest, AFullPaletteGrowsForTransparencyWhenThatMakesTheFileSmaller) {
  // A two-colour animation whose frames invert small blocks: the changed pixels need both
  // colours, so a transparent index takes a third entry (doubling the table), which the masked
  // frames repay many times.
  const fs::path input = folder_ / "in.gif";
  FrameSpec first = Filled(0, 0, 64, 64, 0);
  for (int i = 0; i < 64 * 64; ++i) first.pixels[size_t(i)] = uint8_t((i * 7 / 5 + i / 64) % 2);
  std::vector<FrameSpec> frames{first};
  for (int f = 1; f < 8; ++f) {
    FrameSpec next = frames.back();
    // Two blocks far apart, so that the frame keeps many unchanged pixels between them.
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) {
        next.pixels[size_t((f * 5 + y) * 64 + f * 6 + x)] ^= 1;
        next.pixels[size_t((58 - f * 5 + y) * 64 + 58 - f * 6 + x)] ^= 1;
      }
    }
    frames.push_back(next);
  }
  Bytes file = Animation(64, 64, frames);
  file[10] = 0x80;  // a global table of 2 entries instead of 4
  file.erase(file.begin() + 13 + 6, file.begin() + 13 + 12);
  std::FILE* out = std::fopen(input.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);

  cGIF doc, original;
  ASSERT_TRUE(doc.LoadFromFile(input.string()));
  ASSERT_TRUE(original.LoadFromFile(input.string()));
  ASSERT_EQ(original.GlobalPaletteEntries(), 2);
  ASSERT_TRUE(Reduce(doc, input.string()));
  EXPECT_GT(reduced.GlobalPaletteEntries(), 2);
  EXPECT_TRUE(reduced.FrameUseTransparentColor(2));
  EXPECT_TRUE(LookTheSame(original, reduced));
}

// A one-image GIF of width x height pixels of index 1, coded as ever longer strings (the
// dictionary starting over after `codes` codes): about 1400 pixels a byte at 4093 codes, 250 at
// 500.
Bytes OneColourGif(uint16_t width, uint16_t height, int codes = 4093) {
  BitPacker packer;
  const int clear = 4;
  int bits = 3, next = clear + 2, length = 0;
  packer.Put(clear, bits);
  for (uint64_t left = uint64_t(width) * height; left > 0;) {
    if (length == 0) {
      packer.Put(1, bits);
      left -= 1;
      length = 1;
      continue;
    }
    if (uint64_t(length) + 1 <= left) {
      packer.Put(next, bits);  // the string before and its first pixel
      ++length;
    } else {
      length = int(left);  // a shorter string of the table ends the image exactly
      packer.Put(length == 1 ? 1 : clear + length, bits);
    }
    left -= uint64_t(length);
    if (++next > (1 << bits) - 1 && bits < 12) ++bits;
    if (next >= std::min(4095, clear + 2 + codes)) {
      packer.Put(clear, bits);
      bits = 3, next = clear + 2, length = 0;
    }
  }
  packer.Put(clear + 1, bits);
  Bytes file = Header(width, height, 0x81);
  ColorTable(file, 4);
  Image(file, 0, 0, width, height, 0, packer.bytes());
  file.push_back(0x3B);
  return file;
}

TEST_F(BestReductionTest, AFileOfFarMorePixelsThanItsSizeHoldsIsReducedAsByDefault) {
  ReductionOptions withBest;
  withBest.best = true;
  const auto reduce = [](const Bytes& file, const ReductionOptions& options) {
    cGIF doc;
    return ReduceBytes(doc, file, options);
  };
  // 17.6 million pixels in 12 KB.
  const Bytes bomb = OneColourGif(4200, 4200);
  ASSERT_LT(bomb.size(), 4200u * 4200u / 256u);
  const ReducedBytes bounded = reduce(bomb, withBest);
  ASSERT_EQ(bounded.status, ReductionStatus::Reduced);
  EXPECT_EQ(bounded.note, "--best would go over 17 million pixels, more than real pictures of " +
                              std::to_string(bomb.size()) + " bytes hold: reduced as without it");
  EXPECT_EQ(bounded.bytes, reduce(bomb, ReductionOptions()).bytes);

  // Fewer pixels in all, or fewer a byte: --best works on them.
  for (const Bytes& file : {OneColourGif(4000, 4000), OneColourGif(4200, 4200, 400)}) {
    const ReducedBytes reduced = reduce(file, withBest);
    ASSERT_EQ(reduced.status, ReductionStatus::Reduced);
    EXPECT_EQ(reduced.note, "");
  }
}

}  // namespace
}  // namespace lumatrim
