// Palette compaction: entries that no pixel uses are removed, the kept ones keep their order, and
// the pixels are renumbered. Only pixels count, with two exceptions that keep what a viewer shows
// while some frame is taken away with disposal 2: the background entry (its colour is painted
// there) and the transparent entry of frame 1 (viewers then paint transparency).
#include <array>
#include <exception>
#include <stdexcept>
#include <vector>

#include "gif/frame_numbers.h"
#include "optimizer/passes.h"
#include "optimizer/pixel_grid.h"

namespace lumatrim::mGIFOptimizer {

namespace {

struct Compaction {
  std::array<bool, 256> used{};
  std::array<uint8_t, 256> oldToNew{};
  PaletteStore compacted{};
  int16_t newCount = 0;
  // Every used entry keeps its index.
  bool keepsEveryIndex = false;
};

// Marks the indices the frames' pixels carry. A pixel beyond the palette stops the pass before
// anything is changed.
void MarkUsed(const cGIF& oGIF, const std::vector<int16_t>& frames, int32_t entries,
              std::array<bool, 256>& used) {
  // Each frame by itself, on the document's workers; then together.
  std::vector<std::array<bool, 256>> usedBy(frames.size());
  ParallelFor(oGIF.Workers(), frames.size(), [&](size_t k) {
    std::array<bool, 256>& mine = usedBy[k];
    mine.fill(false);
    MarkUsedIndices(MapDIBPixels(oGIF.FrameDIBXOR(frames[k])), mine);
  });
  for (const std::array<bool, 256>& mine : usedBy) {
    for (size_t i = 0; i < 256; ++i) used[i] = used[i] || mine[i];
  }
  for (int32_t i = entries; i < 256; ++i) {
    if (used[size_t(i)]) throw std::out_of_range("pixel beyond the palette");
  }
}

// Builds the compacted palette from the used entries; answers false when every entry is used.
bool Compact(const uint8_t* oldPalette, int32_t entries, Compaction& c) {
  int32_t kept = 0;
  for (int32_t j = 0; j < entries; ++j) {
    if (!c.used[size_t(j)]) continue;
    c.oldToNew[size_t(j)] = uint8_t(kept);
    std::copy(oldPalette + 4 * j, oldPalette + 4 * j + 4, c.compacted.data() + 4 * kept);
    ++kept;
  }
  if (kept == entries) return false;
  c.keepsEveryIndex = true;
  for (int32_t j = 0; j < entries; ++j) {
    if (c.used[size_t(j)] && c.oldToNew[size_t(j)] != j) c.keepsEveryIndex = false;
  }
  if (kept == 0) std::copy(oldPalette, oldPalette + 4, c.compacted.data());
  c.newCount = int16_t(kept == 0 ? 1 : kept);
  return true;
}

void Renumber(cGIF& oGIF, int16_t n, const Compaction& c) {
  // Entries dropped only after the last one used leave every pixel as it is: the frame's pixels
  // need not even be brought into memory.
  if (!c.keepsEveryIndex) RenumberPixels(MapDIBPixels(oGIF.FrameDIBXOR(n)), c.oldToNew);
  if (oGIF.FrameUseTransparentColor(n) && !c.used[oGIF.FrameTransparentColorIndex(n)]) {
    // No pixel carries it: renumbered it would land on a kept colour and hide real pixels.
    oGIF.FrameUseTransparentColor(n, false);
    oGIF.FrameTransparentColorIndex(n, 0);
  } else {
    oGIF.FrameTransparentColorIndex(n, c.oldToNew[oGIF.FrameTransparentColorIndex(n)]);
  }
}

// The frame takes the compacted palette and its pixels are renumbered.
void GiveFrameCompactedPalette(cGIF& oGIF, int16_t n, const Compaction& c) {
  oGIF.SetFrameImagePalette(n, c.compacted);
  CopyPalette(oGIF.lpFramePalette(n), c.compacted.data());
  oGIF.LocalPaletteEntries(n, c.newCount);
  Renumber(oGIF, n, c);
}

// Keeps frame 1's transparent entry while some frame restores the background.
void KeepFirstFrameTransparency(const cGIF& oGIF, const std::vector<int16_t>& frames,
                                int32_t entries, Compaction& c) {
  if (frames.empty() || frames.front() != 1 || !oGIF.FrameUseTransparentColor(1)) return;
  if (!AnyFrameRestoresBackground(oGIF)) return;
  const uint8_t t = oGIF.FrameTransparentColorIndex(1);
  if (t < entries) c.used[t] = true;
}

}  // namespace

int16_t OptimizeGlobalPalette(cGIF& oGIF, std::optional<bool> backgroundNamesColorAtLoad) {
  try {
    const int16_t count = oGIF.FramesCount();
    const bool restoresBackground = AnyFrameRestoresBackground(oGIF);
    const uint8_t background = oGIF.ScreenBackgroundColorIndex();
    const bool backgroundNamesColor =
        background < oGIF.GlobalPaletteEntries() && backgroundNamesColorAtLoad.value_or(true);
    std::vector<int16_t> frames;
    for (int16_t n : FrameNumbers(1, count)) {
      if (!oGIF.LocalPaletteUsed(n)) frames.push_back(n);
    }
    if (oGIF.GlobalPaletteExists() && frames.empty() &&
        !(restoresBackground && backgroundNamesColor)) {
      oGIF.GlobalPaletteExists(false);
      oGIF.GlobalPaletteEntries(0);
      std::fill(oGIF.lpGlobalPalette(), oGIF.lpGlobalPalette() + 1024, uint8_t(0));
    }
    if (!oGIF.GlobalPaletteExists()) return 0;
    const int16_t entries = oGIF.GlobalPaletteEntries();
    if (entries <= 0 || entries > 256) return 0;

    Compaction c;
    MarkUsed(oGIF, frames, entries, c.used);
    if (restoresBackground && backgroundNamesColor) c.used[background] = true;
    KeepFirstFrameTransparency(oGIF, frames, entries, c);
    if (!Compact(oGIF.lpGlobalPalette(), entries, c)) return 0;

    CopyPalette(oGIF.lpGlobalPalette(), c.compacted.data());
    oGIF.GlobalPaletteEntries(c.newCount);
    // A background beyond the palette names no colour and stays so.
    if (backgroundNamesColor) oGIF.ScreenBackgroundColorIndex(c.oldToNew[background]);
    // Each frame changes only itself.
    ParallelFor(oGIF.Workers(), frames.size(),
                [&](size_t k) { GiveFrameCompactedPalette(oGIF, frames[k], c); });
    return int16_t(entries - c.newCount);
  } catch (const std::exception&) {
    return 0;
  }
}

int16_t OptimizeLocalPalette(cGIF& oGIF, int16_t nFrame) {
  try {
    if (!oGIF.LocalPaletteUsed(nFrame)) return 0;
    const int16_t entries = oGIF.LocalPaletteEntries(nFrame);
    if (entries <= 0 || entries > 256) return 0;
    const std::vector<int16_t> frames{nFrame};
    Compaction c;
    MarkUsed(oGIF, frames, entries, c.used);
    KeepFirstFrameTransparency(oGIF, frames, entries, c);
    if (!Compact(oGIF.lpFramePalette(nFrame), entries, c)) return 0;
    GiveFrameCompactedPalette(oGIF, nFrame, c);
    return int16_t(entries - c.newCount);
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace lumatrim::mGIFOptimizer
