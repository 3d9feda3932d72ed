#include "optimizer/best_palette_order.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "optimizer/pixel_grid.h"

namespace lumatrim::best {

void OrderGlobalPalette(cGIF& gif, std::vector<PixelAlternatives>& alternatives) {
  if (!gif.GlobalPaletteExists()) return;
  int tableSize = 2;
  while (tableSize < gif.GlobalPaletteEntries()) tableSize *= 2;

  // How many frames send each index, and how often it is sent.
  std::array<int64_t, 256> frames{}, pixels{};
  for (int16_t n = 1; n <= gif.FramesCount(); ++n) {
    if (gif.LocalPaletteUsed(n)) continue;
    std::array<bool, 256> used{};
    const PixelGrid grid = MapDIBPixels(*gif.FrameDIBXOR(n));
    for (int32_t y = 0; y < grid.Height(); ++y) {
      const uint8_t* row = grid.Row(y);
      for (int32_t x = 0; x < grid.Width(); ++x) {
        used[row[x]] = true;
        ++pixels[row[x]];
      }
    }
    if (size_t(n) < alternatives.size()) {
      for (uint8_t v : alternatives[size_t(n)]) used[v] = true;
    }
    if (gif.FrameUseTransparentColor(n)) used[gif.FrameTransparentColorIndex(n)] = true;
    for (int v = 0; v < 256; ++v) frames[size_t(v)] += used[size_t(v)];
  }
  // Indices beyond the table are left where they are (only malformed frames send them).
  for (int v = 0; v < 256; ++v) {
    if (v >= tableSize && (frames[size_t(v)] > 0)) return;
  }

  std::vector<int> order(static_cast<size_t>(tableSize));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    if (frames[size_t(a)] != frames[size_t(b)]) return frames[size_t(a)] > frames[size_t(b)];
    return pixels[size_t(a)] > pixels[size_t(b)];
  });
  std::array<uint8_t, 256> newIndex{};
  for (int v = 0; v < 256; ++v) newIndex[size_t(v)] = uint8_t(v);
  bool moved = false;
  for (int i = 0; i < tableSize; ++i) {
    newIndex[size_t(order[size_t(i)])] = uint8_t(i);
    moved = moved || order[size_t(i)] != i;
  }
  if (!moved) return;

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
  for (int16_t n = 1; n <= gif.FramesCount(); ++n) {
    if (gif.LocalPaletteUsed(n)) continue;
    const PixelGrid grid = MapDIBPixels(*gif.FrameDIBXOR(n));
    for (int32_t y = 0; y < grid.Height(); ++y) {
      uint8_t* row = grid.Row(y);
      for (int32_t x = 0; x < grid.Width(); ++x) row[x] = newIndex[row[x]];
    }
    if (size_t(n) < alternatives.size()) {
      for (uint8_t& v : alternatives[size_t(n)]) v = newIndex[v];
    }
    gif.FrameTransparentColorIndex(n, newIndex[gif.FrameTransparentColorIndex(n)]);
    CopyPalette(gif.lpFramePalette(n), store.data());
    gif.FrameDIBXOR(n)->SetPalette(store);
    gif.LocalPaletteEntries(n, int16_t(tableSize));
  }
}

}  // namespace lumatrim::best
