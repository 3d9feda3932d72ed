#include "best/repeated_colors.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "gif/frame_numbers.h"
#include "optimizer/pixel_grid.h"

namespace lumatrim::best {

namespace {

// For each index of frame n's palette, the first index of the same colour; the transparent
// index and the values past the palette map to themselves. Answers whether any index moves.
bool FirstIndexOfEachColor(const cGIF& gif, int16_t n, std::array<uint8_t, 256>& first) {
  const int entries = std::min(
      256, int(gif.LocalPaletteUsed(n) ? gif.LocalPaletteEntries(n) : gif.GlobalPaletteEntries()));
  const int transparent =
      gif.FrameUseTransparentColor(n) ? int(gif.FrameTransparentColorIndex(n)) : -1;
  for (int v = 0; v < 256; ++v) first[size_t(v)] = uint8_t(v);
  // Sorted by colour, then index: each run of one colour starts with its first index.
  std::vector<std::pair<uint32_t, uint8_t>> byColor;
  byColor.reserve(256);
  for (int v = 0; v < entries; ++v) {
    if (v != transparent) byColor.emplace_back(gif.lpFramePaletteColor(n, uint8_t(v)), uint8_t(v));
  }
  std::sort(byColor.begin(), byColor.end());
  bool moves = false;
  for (size_t i = 1; i < byColor.size(); ++i) {
    if (byColor[i].first != byColor[i - 1].first) continue;
    first[byColor[i].second] = first[byColor[i - 1].second];
    moves = true;
  }
  return moves;
}

}  // namespace

void MergeRepeatedColors(cGIF& gif) {
  std::array<uint8_t, 256> first{};
  for (int16_t n : AllFrames(gif)) {
    if (!FirstIndexOfEachColor(gif, n, first)) continue;
    RenumberPixels(MapDIBPixels(gif.FrameDIBXOR(n)), first);
  }
}

}  // namespace lumatrim::best
