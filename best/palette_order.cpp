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
#include "raster/work_pool.h"

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
    std::array<int64_t, 256> counts{};
    std::array<bool, 256> used = NeededIndices(gif, n, offered, t, &counts);
    if (t >= 0) used[size_t(t)] = true;
    for (size_t v = 0; v < 256; ++v) {
      if (used[v]) use.pixels[v] += counts[v];
      use.frames[v] += used[v];
    }
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

// Renumbers the global palette's first tableSize entries and the background index; the frames
// that draw with it follow in OrderIndices' sweep.
void RenumberGlobalPalette(cGIF& gif, int tableSize, const std::array<uint8_t, 256>& newIndex) {
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
}

// The lowest index below t that frame n needs for none of its colours, once its indices are
// renumbered by newIndex (t among them); t itself when there is none.
uint8_t LowestFreeIndex(const cGIF& gif, int16_t n, const PixelAlternatives& offered, uint8_t t,
                        const std::array<uint8_t, 256>& newIndex) {
  const std::array<bool, 256> neededBefore = NeededIndices(gif, n, offered, t);
  std::array<bool, 256> needed{};
  for (size_t v = 0; v < 256; ++v) needed[newIndex[v]] = neededBefore[v];
  const uint8_t renumbered = newIndex[t];
  const int entries =
      gif.LocalPaletteUsed(n) ? gif.LocalPaletteEntries(n) : gif.GlobalPaletteEntries();
  int lower = 0;
  while (lower < renumbered && needed[size_t(lower)]) ++lower;
  if (lower >= renumbered || lower >= TableEntries(entries)) return renumbered;
  return uint8_t(lower);
}

bool MovesAny(const std::array<uint8_t, 256>& newIndex) {
  for (size_t v = 0; v < 256; ++v) {
    if (newIndex[v] != v) return true;
  }
  return false;
}

// Renumbers frame n's pixels, alternatives and transparent index by newIndex, and then, with
// lowersTransparency, moves its transparent index to the lowest index that none of its pixels
// needs for its colour: one sweep over its pixels for both.
void RenumberFrame(cGIF& gif, DocumentAlternatives& alternatives, int16_t n,
                   std::array<uint8_t, 256> newIndex, bool lowersTransparency) {
  const bool lowers = lowersTransparency && gif.FrameUseTransparentColor(n);
  if (!lowers && !MovesAny(newIndex)) return;
  PixelAlternatives offered = AlternativesOf(alternatives, n);
  const uint8_t t = gif.FrameTransparentColorIndex(n);
  if (lowers) {
    // The pixels of the transparent index, renumbered, go to the lower index instead.
    const uint8_t renumbered = newIndex[t];
    const uint8_t lower = LowestFreeIndex(gif, n, offered, t, newIndex);
    for (uint8_t& v : newIndex) {
      if (v == renumbered) v = lower;
    }
  }
  if (!MovesAny(newIndex)) return;
  RenumberPixels(MapDIBPixels(gif.FrameDIBXOR(n)), newIndex);
  if (!offered.empty()) {
    RenumberValues(offered, newIndex);
    alternatives[size_t(n)] = FrameAlternatives(offered);
  }
  gif.FrameTransparentColorIndex(n, newIndex[t]);
}

}  // namespace

void OrderIndices(cGIF& gif, DocumentAlternatives& alternatives) {
  std::array<uint8_t, 256> same{};
  std::iota(same.begin(), same.end(), 0);
  std::optional<std::array<uint8_t, 256>> newIndex;
  int tableSize = 0;
  if (gif.GlobalPaletteExists()) {
    tableSize = TableEntries(gif.GlobalPaletteEntries());
    newIndex = MostNeededFirst(CountGlobalIndexUse(gif, alternatives), tableSize);
    if (newIndex) RenumberGlobalPalette(gif, tableSize, *newIndex);
  }
  // Each frame changes only itself, on the document's workers.
  ParallelFor(gif.Workers(), size_t(gif.FramesCount()), [&](size_t k) {
    const auto n = int16_t(k + 1);
    const bool onGlobal = newIndex && !gif.LocalPaletteUsed(n);
    if (onGlobal) {
      CopyPalette(gif.lpFramePalette(n), gif.lpGlobalPalette());
      PaletteStore store{};
      std::copy(gif.lpGlobalPalette(), gif.lpGlobalPalette() + store.size(), store.data());
      gif.SetFrameImagePalette(n, store);
      gif.LocalPaletteEntries(n, int16_t(tableSize));
    }
    // Frame 1's transparent index stays: viewers may paint it where a frame is taken away.
    RenumberFrame(gif, alternatives, n, onGlobal ? *newIndex : same, n >= 2);
  });
}

}  // namespace lumatrim::best
