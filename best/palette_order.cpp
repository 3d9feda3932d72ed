#include "best/palette_order.h"
#include "gif/frame_numbers.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <optional>
#include <vector>

#include "gif/color_table.h"
#include "optimizer/pixel_grid.h"
#include "playback/pieces.h"

namespace lumatrim::best {

namespace {

// The indices frame n needs for their colours: every pixel's own where it has no choice, and
// every alternative, leaving out the transparent index t (-1 for none). A pixel that may be sent
// as transparent shows the same either way, whatever its own index means. Alternatives that do
// not cover the frame count as none. counts, when given, gains how many pixels carry each index.
std::array<bool, 256> NeededIndices(const cGIF& gif, int16_t n, const PixelAlternatives& offered,
                                    int t, std::array<int64_t, 256>* counts = nullptr) {
  std::array<bool, 256> needed{};
  const auto grid = MapDIBPixels(gif.FrameDIBXOR(n));
  const size_t width = size_t(grid.Width());
  const bool choices = offered.size() == width * size_t(grid.Height());
  const auto need = [&](uint8_t own, uint8_t other, size_t count) {
    if (other != t) needed[other] = true;
    if (other == own && own != t) needed[own] = true;
    if (counts != nullptr) (*counts)[own] += int64_t(count);
  };
  for (int32_t y = 0; y < grid.Height(); ++y) {
    const uint8_t* row = grid.Row(y);
    ForEachInPieces(row, choices ? offered.data() + size_t(y) * width : row, width, need);
  }
  return needed;
}

// Gives every value the index newIndex holds for it.
void RenumberValues(PixelAlternatives& values, const std::array<uint8_t, 256>& newIndex) {
  uint8_t* v = values.data();
  MapInPieces(v, v, values.size(), v, [&](uint8_t value, uint8_t) { return newIndex[value]; });
}

// How many frames on the global palette need each index (their transparent index included), and
// how many of their pixels.
struct IndexUse {
  std::array<int64_t, 256> frames{};
  std::array<int64_t, 256> pixels{};
};

IndexUse CountGlobalIndexUse(const cGIF& gif, const DocumentAlternatives& alternatives) {
  IndexUse use;
  for (int16_t n : AllFrames(gif)) {
    if (gif.LocalPaletteUsed(n)) continue;
    const int t = gif.FrameUseTransparentColor(n) ? gif.FrameTransparentColorIndex(n) : -1;
    const PixelAlternatives offered = AlternativesOf(alternatives, n);
    std::array<int64_t, 256> counts{};
    std::array<bool, 256> used = NeededIndices(gif, n, offered, t, &counts);
    if (t >= 0) used[size_t(t)] = true;
    for (int v = 0; v < 256; ++v) {
      if (used[size_t(v)]) use.pixels[size_t(v)] += counts[size_t(v)];
      use.frames[size_t(v)] += used[size_t(v)];
    }
  }
  return use;
}

// The new index of each of the table's tableSize indices, most needed first (indices past the
// table keep theirs); nothing when no index moves, or when some frame needs an index past the
// table (only malformed frames send them).
std::optional<std::array<uint8_t, 256>> MostNeededFirst(const IndexUse& use, int tableSize) {
  for (int v = tableSize; v < 256; ++v) {
    if (use.frames[size_t(v)] > 0) return std::nullopt;
  }
  std::vector<int> order(static_cast<size_t>(tableSize));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    if (use.frames[size_t(a)] != use.frames[size_t(b)]) {
      return use.frames[size_t(a)] > use.frames[size_t(b)];
    }
    return use.pixels[size_t(a)] > use.pixels[size_t(b)];
  });
  std::array<uint8_t, 256> newIndex{};
  for (int v = 0; v < 256; ++v) newIndex[size_t(v)] = uint8_t(v);
  bool moved = false;
  for (int i = 0; i < tableSize; ++i) {
    newIndex[size_t(order[size_t(i)])] = uint8_t(i);
    moved = moved || order[size_t(i)] != i;
  }
  if (!moved) return std::nullopt;
  return newIndex;
}

// Renumbers the global palette's first tableSize entries, the background index and every frame
// that draws with it (pixels, alternatives, transparent index and palette copy).
void RenumberGlobalPalette(cGIF& gif, DocumentAlternatives& alternatives, int tableSize,
                           const std::array<uint8_t, 256>& newIndex) {
  PaletteStore store{};
  const uint8_t* old = gif.lpGlobalPalette();
  for (int v = 0; v < tableSize; ++v) {
    std::copy(old + 4 * v, old + 4 * v + 4, store.data() + 4 * newIndex[size_t(v)]);
  }
  CopyPalette(gif.lpGlobalPalette(), store.data());
  // Colours may now sit anywhere in the table: all of it is written.
  gif.GlobalPaletteEntries(int16_t(tableSize));
  if (gif.ScreenBackgroundColorIndex() < tableSize) {
    gif.ScreenBackgroundColorIndex(newIndex[gif.ScreenBackgroundColorIndex()]);
  }
  for (int16_t n : AllFrames(gif)) {
    if (gif.LocalPaletteUsed(n)) continue;
    RenumberPixels(MapDIBPixels(gif.FrameDIBXOR(n)), newIndex);
    PixelAlternatives offered = AlternativesOf(alternatives, n);
    if (!offered.empty()) {
      RenumberValues(offered, newIndex);
      alternatives[size_t(n)] = FrameAlternatives(offered);
    }
    gif.FrameTransparentColorIndex(n, newIndex[gif.FrameTransparentColorIndex(n)]);
    CopyPalette(gif.lpFramePalette(n), store.data());
    gif.SetFrameImagePalette(n, store);
    gif.LocalPaletteEntries(n, int16_t(tableSize));
  }
}

}  // namespace

void LowerTransparentIndices(cGIF& gif, DocumentAlternatives& alternatives) {
  // Frame 1's transparent index stays: viewers may paint it where a frame is taken away.
  for (int16_t n : FrameNumbers(2, gif.FramesCount())) {
    if (!gif.FrameUseTransparentColor(n)) continue;
    const uint8_t t = gif.FrameTransparentColorIndex(n);
    PixelAlternatives offered = AlternativesOf(alternatives, n);
    const std::array<bool, 256> needed = NeededIndices(gif, n, offered, t);
    const int entries =
        gif.LocalPaletteUsed(n) ? gif.LocalPaletteEntries(n) : gif.GlobalPaletteEntries();
    int lower = 0;
    while (lower < t && needed[size_t(lower)]) ++lower;
    if (lower >= t || lower >= TableEntries(entries)) continue;
    std::array<uint8_t, 256> lowered{};
    std::iota(lowered.begin(), lowered.end(), uint8_t(0));
    lowered[t] = uint8_t(lower);
    RenumberPixels(MapDIBPixels(gif.FrameDIBXOR(n)), lowered);
    if (!offered.empty()) {
      std::replace(offered.begin(), offered.end(), t, uint8_t(lower));
      alternatives[size_t(n)] = FrameAlternatives(offered);
    }
    gif.FrameTransparentColorIndex(n, uint8_t(lower));
  }
}

void OrderGlobalPalette(cGIF& gif, DocumentAlternatives& alternatives) {
  if (!gif.GlobalPaletteExists()) return;
  const int tableSize = TableEntries(gif.GlobalPaletteEntries());
  const auto newIndex = MostNeededFirst(CountGlobalIndexUse(gif, alternatives), tableSize);
  if (newIndex) RenumberGlobalPalette(gif, alternatives, tableSize, *newIndex);
}

}  // namespace lumatrim::best
