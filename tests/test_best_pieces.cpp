// --best and the screen work on pieces of a row at once where they hold one value: every such
// way must give what working pixel by pixel gives, on pieces of one value, pieces broken by a
// single pixel, and rows that end part way through a piece.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "animation_docs.h"
#include "best/frames.h"
#include "best/palette_order.h"
#include "gif/color_table.h"
#include "playback/canvas.h"
#include "playback/pieces.h"

namespace lumatrim {
namespace {

using namespace testing;

// Runs of random lengths (up to three pieces) and values, and now and then a lone other value.
template <typename T>
std::vector<T> Runs(size_t n, std::mt19937& random, T values) {
  std::vector<T> out;
  while (out.size() < n) {
    const T value = T(random() % values);
    out.insert(out.end(), std::min(n - out.size(), size_t(random() % (3 * kPiece) + 1)), value);
    if (random() % 4 == 0 && !out.empty()) out[random() % out.size()] = T(random() % values);
  }
  return out;
}

TEST(BestPiecesTest, PieceHelpersGiveWhatEachValueByItselfGives) {
  std::mt19937 random(7);
  for (size_t n = 0; n < 4 * kPiece + 3; n += 1 + n / 8) {
    for (int round = 0; round < 20; ++round) {
      const std::vector<uint8_t> a = Runs<uint8_t>(n, random, 3);
      const std::vector<uint32_t> b = Runs<uint32_t>(n, random, 2);
      const auto value = [](uint8_t x, uint32_t y) { return uint16_t(x * 7 + y); };
      std::vector<uint16_t> mapped(n), expected(n);
      MapInPieces(a.data(), b.data(), n, mapped.data(), value);
      for (size_t i = 0; i < n; ++i) expected[i] = value(a[i], b[i]);
      EXPECT_EQ(mapped, expected);

      // Each value (and pair) counted as often as it occurs.
      std::map<std::pair<uint8_t, uint32_t>, size_t> pairs, expectedPairs;
      ForEachInPieces(a.data(), b.data(), n, [&](uint8_t x, uint32_t y, size_t count) {
        pairs[{x, y}] += count;
      });
      std::map<uint8_t, size_t> singles, expectedSingles;
      ForEachInPieces(a.data(), n, [&](uint8_t x, size_t count) { singles[x] += count; });
      for (size_t i = 0; i < n; ++i) {
        ++expectedPairs[{a[i], b[i]}];
        ++expectedSingles[a[i]];
      }
      EXPECT_EQ(pairs, expectedPairs);
      EXPECT_EQ(singles, expectedSingles);

      for (uint8_t v = 0; v < 4; ++v) {
        EXPECT_EQ(AnyInPieces(a.data(), n, v), std::find(a.begin(), a.end(), v) != a.end());
      }
    }
  }
}

TEST(BestPiecesTest, CanvasDrawsPiecesAsPixelByPixel) {
  // A frame of runs, then one partly off the screen whose transparent index 0 lies in whole
  // pieces, broken pieces and a row's end.
  std::mt19937 random(11);
  FrameSpec first{0, 0, 150, 3, Runs<uint8_t>(450, random, 4)};
  FrameSpec second = With(FrameSpec{5, 1, 200, 3, Runs<uint8_t>(600, random, 4)}, 0, 10, 0);
  second = WithBlock(second, 0, 0, 2 * int(kPiece), 1, 0);
  cGIF doc;
  ASSERT_TRUE(doc.LoadFromStream(Animation(150, 3, {first, second})));

  Canvas canvas(150, 3);
  std::vector<uint32_t> expected(450, kNothingShown);
  const std::vector<FrameSpec> frames = {first, second};
  for (int16_t n = 1; n <= 2; ++n) {
    canvas.Draw(doc, n);
    const FrameSpec& frame = frames[size_t(n - 1)];
    for (int y = 0; y < frame.height; ++y) {
      for (int x = 0; x < frame.width; ++x) {
        const int sx = frame.left + x;
        const int sy = frame.top + y;
        const uint8_t index = frame.pixels[size_t(y) * frame.width + size_t(x)];
        if (sx >= 150 || sy >= 3 || int(index) == frame.transparent) continue;
        expected[size_t(sy) * 150 + size_t(sx)] = EntryColor(doc.lpGlobalPalette(), index);
      }
    }
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 150; ++x) {
        ASSERT_EQ(canvas.At(x, y), expected[size_t(y) * 150 + size_t(x)])
            << "frame " << n << " at " << x << "," << y;
      }
    }
  }
}

TEST(BestPiecesTest, ScreenComparisonSeesEveryPixelOfAPieceThatDiffers) {
  // The screen shows colour 1 but for one pixel of 3 inside a piece; frame 2 paints colour 1
  // over that piece, colour 2 at the end of row 0 and one pixel of 3 in row 1.
  FrameSpec first = WithBlock(Filled(0, 0, 200, 2, 1), 10, 0, 1, 1, 3);
  FrameSpec second =
      WithBlock(WithBlock(Filled(0, 0, 200, 2, 1), 128, 0, 72, 1, 2), 70, 1, 1, 1, 3);
  cGIF doc;
  ASSERT_TRUE(doc.LoadFromStream(Animation(200, 2, {first, second})));
  Result<best::ReducedFrames> frames = best::ReduceFrames(doc, false);
  ASSERT_TRUE(frames);
  ASSERT_EQ(doc.FramesCount(), 2);
  const Rect keep{10, 0, 200, 2};
  EXPECT_EQ(FrameRect(doc, 2), keep);
  // Index 0 is used by no pixel it keeps: it serves as the transparent one, wherever the pixel
  // shows what the screen shows.
  EXPECT_TRUE(doc.FrameUseTransparentColor(2));
  EXPECT_EQ(doc.FrameTransparentColorIndex(2), 0);
  Bytes expected;
  for (int y = keep.top; y < keep.bottom; ++y) {
    for (int x = keep.left; x < keep.right; ++x) {
      const uint8_t own = second.pixels[size_t(y) * 200 + size_t(x)];
      expected.push_back(own == first.pixels[size_t(y) * 200 + size_t(x)] ? 0 : own);
    }
  }
  EXPECT_EQ(best::AlternativesOf(frames->alternatives, 2), expected);
  EXPECT_EQ(PixelsOf(doc, 2).size(), expected.size());
}

TEST(BestPiecesTest, DisposalTwoStaysWhereTheNextFrameLeavesAnyPieceShowing) {
  // Frame 1 is cleared away, and frame 2 draws over all of it but where it says.
  const auto disposalAfter = [](const FrameSpec& next, uint16_t screenHeight) {
    const FrameSpec first = With(Filled(0, 0, 200, screenHeight, 1), 2);
    cGIF doc;
    EXPECT_TRUE(doc.LoadFromStream(Animation(200, screenHeight, {first, next})));
    EXPECT_TRUE(best::ReduceFrames(doc, false));
    return doc.FrameDisposalMethod(1);
  };
  const FrameSpec over = With(Filled(0, 0, 200, 1, 2), 0, 10, 3);
  EXPECT_EQ(disposalAfter(over, 1), 1);
  // A whole piece of transparent pixels, one at a row's end, a column and a row left uncovered.
  EXPECT_EQ(disposalAfter(WithBlock(over, 128, 0, int(kPiece), 1, 3), 1), 2);
  EXPECT_EQ(disposalAfter(WithBlock(over, 199, 0, 1, 1, 3), 1), 2);
  EXPECT_EQ(disposalAfter(FrameSpec{1, 0, 199, 1, Bytes(199, 2)}, 1), 2);
  EXPECT_EQ(disposalAfter(over, 2), 2);
}

TEST(BestPiecesTest, PaletteOrderCountsEveryPixelOfAPiece) {
  // Index 3 in 130 pixels (two whole pieces), index 1 in 70 that lie in no whole piece: both
  // used by one frame, 3 is the one with more pixels and comes first.
  cGIF doc;
  const FrameSpec frame = WithBlock(Filled(0, 0, 200, 1, 1), 0, 0, 130, 1, 3);
  ASSERT_TRUE(doc.LoadFromStream(Animation(200, 1, {frame})));
  best::DocumentAlternatives alternatives(2);
  best::OrderIndices(doc, alternatives);
  Bytes expected(200, 1);
  std::fill_n(expected.begin(), 130, 0);
  EXPECT_EQ(PixelsOf(doc, 1), expected);
  EXPECT_EQ(EntryColor(doc.lpGlobalPalette(), 0), RGB(3, 4, 5));
  EXPECT_EQ(EntryColor(doc.lpGlobalPalette(), 1), RGB(1, 2, 3));
}

TEST(BestPiecesTest, LoweredTransparentIndexReachesEveryPixelOfAPiece) {
  cGIF doc;
  const FrameSpec second = With(WithBlock(Filled(0, 0, 200, 1, 2), 0, 0, 130, 1, 3), 0, 10, 3);
  ASSERT_TRUE(doc.LoadFromStream(Animation(200, 1, {Filled(0, 0, 200, 1, 1), second})));
  best::DocumentAlternatives alternatives(3);
  best::OrderIndices(doc, alternatives);
  EXPECT_EQ(doc.FrameTransparentColorIndex(2), 0);
  Bytes expected(200, 2);
  std::fill_n(expected.begin(), 130, 0);
  EXPECT_EQ(PixelsOf(doc, 2), expected);
}

}  // namespace
}  // namespace lumatrim
