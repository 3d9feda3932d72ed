#include "best/palette_order.h"
#include "gif/frame_numbers.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <optional>
#include <vector>

#include "gif/color_table.h"
#include "optimizer/pixel_grid.h"
#include "raster/work_pool.h"

namespace lumatrim::best {

namespace {

// The indices frame n needs for their colours: every pixel's own where it has no choice, and
// every alternative, leaving out the transparent index t (-1 for none). A pixel that may be sent
// as transparent shows the same either way, whatever its own index means. Alternatives that do
// not cover the frame count as none.
std::array<bool, 256> NeededIndices(const cGIF& gif, int16_t n, const PixelAlternatives& offered,
                                    int t) {
  std::array<bool, 256> needed{};
  const auto grid = MapDIBPixels(gif.FrameDIBXOR(n));
  const bool choices = offered.size() == size_t(grid.Width()) * size_t(grid.Height());
  size_t i = 0;
  for (int32_t y = 0; y < grid.Height(); ++y) {
    const uint8_t* row = grid.Row(y);
    for (int32_t x = 0; x < grid.Width(); ++x, ++i) {
      const uint8_t other = choices ? offered[i] : row[x];
      if (other != t) needed[other] = true;
      if (other == row[x] && row[x] != t) needed[row[x]] = true;
    }
  }
  return needed;
}

// The frames that draw with the global palette.
std::vector<int16_t> GlobalPaletteFrames(const cGIF& gif) {
  std::vector<int16_t> frames;
  for (int16_t n : AllFrames(gif)) {
    if (!gif.LocalPaletteUsed(n)) frames.push_back(n);
  }
  return frames;
}

// How many frames on the global palette need each index (their transparent index included), and
// how many of their pixels.
struct IndexUse {
  std::array<int64_t, 256> frames{};
  std::array<int64_t, 256> pixels{};
};

IndexUse CountGlobalIndexUse(const cGIF& gif, const DocumentAlternatives& alternatives) {
  // Each frame by itself, on the document's workers; then together.
  const std::vector<int16_t> frames = GlobalPaletteFrames(gif);
  std::vector<IndexUse> useOf(frames.size());
  ParallelFor(gif.Workers(), frames.size(), [&](size_t k) {
    const int16_t n = frames[k];
    IndexUse& use = useOf[k];
    const int t = gif.FrameUseTransparentColor(n) ? gif.FrameTransparentColorIndex(n) : -1;
    const PixelAlternatives offered = AlternativesOf(alternatives, n);
    std::array<bool, 256> used = NeededIndices(gif, n, offered, t);
    if (t >= 0) used[size_t(t)] = true;
    const auto grid = MapDIBPixels(gif.FrameDIBXOR(n));
    for (int32_t y = 0; y < grid.Height(); ++y) {
      const uint8_t* row = grid.Row(y);
      for (int32_t x = 0; x < grid.Width(); ++x) use.pixels[row[x]] += used[row[x]];
    }
    for (int v = 0; v < 256; ++v) use.frames[size_t(v)] += used[size_t(v)];
  });
  IndexUse all;
  for (const IndexUse& use : useOf) {
    for (size_t v = 0; v < 256; ++v) {
      all.frames[v] += use.frames[v];
      all.pixels[v] += use.pixels[v];
    }
  }
  return all;
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
  // Each frame by itself, on the document's workers.
  const std::vector<int16_t> frames = GlobalPaletteFrames(gif);
  ParallelFor(gif.Workers(), frames.size(), [&](size_t k) {
    const int16_t n = frames[k];
    const auto grid = MapDIBPixels(gif.FrameDIBXOR(n));
    for (int32_t y = 0; y < grid.Height(); ++y) {
      uint8_t* row = grid.Row(y);
      for (int32_t x = 0; x < grid.Width(); ++x) row[x] = newIndex[row[x]];
    }
    PixelAlternatives offered = AlternativesOf(alternatives, n);
    if (!offered.empty()) {
      for (uint8_t& v : offered) v = newIndex[v];
      alternatives[size_t(n)] = FrameAlternatives(offered);
    }
    gif.FrameTransparentColorIndex(n, newIndex[gif.FrameTransparentColorIndex(n)]);
    CopyPalette(gif.lpFramePalette(n), store.data());
    gif.SetFrameImagePalette(n, store);
    gif.LocalPaletteEntries(n, int16_t(tableSize));
  });
}

}  // namespace

void LowerTransparentIndices(cGIF& gif, DocumentAlternatives& alternatives) {
  // Frame 1's transparent index stays: viewers may paint it where a frame is taken away.
  // Each frame changes only itself.
  const size_t later = size_t(std::max<int16_t>(gif.FramesCount() - 1, 0));
  ParallelFor(gif.Workers(), later, [&](size_t k) {
    const int16_t n = int16_t(k + 2);
    if (!gif.FrameUseTransparentColor(n)) return;
    const uint8_t t = gif.FrameTransparentColorIndex(n);
    PixelAlternatives offered = AlternativesOf(alternatives, n);
    const std::array<bool, 256> needed = NeededIndices(gif, n, offered, t);
    const int entries =
        gif.LocalPaletteUsed(n) ? gif.LocalPaletteEntries(n) : gif.GlobalPaletteEntries();
    int lower = 0;
    while (lower < t && needed[size_t(lower)]) ++lower;
    if (lower >= t || lower >= TableEntries(entries)) return;
    const PixelGrid grid = MapDIBPixels(gif.FrameDIBXOR(n));
    for (int32_t y = 0; y < grid.Height(); ++y) {
      uint8_t* row = grid.Row(y);
      for (int32_t x = 0; x < grid.Width(); ++x) {
        if (row[x] == t) row[x] = uint8_t(lower);
      }
    }
    if (!offered.empty()) {
      std::replace(offered.begin(), offered.end(), t, uint8_t(lower));
      alternatives[size_t(n)] = FrameAlternatives(offered);
    }
    gif.FrameTransparentColorIndex(n, uint8_t(lower));
  });
}

void OrderGlobalPalette(cGIF& gif, DocumentAlternatives& alternatives) {
  if (!gif.GlobalPaletteExists()) return;
  const int tableSize = TableEntries(gif.GlobalPaletteEntries());
  const auto newIndex = MostNeededFirst(CountGlobalIndexUse(gif, alternatives), tableSize);
  if (newIndex) RenumberGlobalPalette(gif, alternatives, tableSize, *newIndex);
}

}  // namespace lumatrim::best
