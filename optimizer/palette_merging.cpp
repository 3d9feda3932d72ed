// Local palette merging: frames move from their own palette onto the global one where their
// colours fit. Colours the global palette has are reused (each global entry serves at most one
// local entry of a frame, so distinct indices stay distinct), the others are appended. The
// global palette only grows: its entries keep their index and colour.
#include <array>
#include <cstring>
#include <exception>
#include <utility>

#include "gif/frame_numbers.h"
#include "gif/lzw_encoder.h"
#include "optimizer/passes.h"
#include "optimizer/pixel_grid.h"

namespace lumatrim::mGIFOptimizer {

namespace {

bool SameColor(const uint8_t* a, const uint8_t* b) {
  return std::memcmp(a, b, 4) == 0;
}

// How a frame's local entries find the global palette: which have a colour there (and its index
// in map), counting each global entry for one local entry at most.
struct GlobalMatches {
  std::array<bool, 256> inGlobal{};
  std::array<uint8_t, 256> map{};
  int32_t matched = 0;
};

GlobalMatches MatchInGlobal(const PaletteStore& global, int32_t globalCount,
                            const PaletteStore& local, int32_t entries) {
  GlobalMatches matches;
  std::array<bool, 256> taken{};
  for (int32_t b = 0; b < entries; ++b) {
    for (int32_t i = 0; i < globalCount; ++i) {
      if (!taken[size_t(i)] && SameColor(&global[4 * size_t(i)], &local[4 * size_t(b)])) {
        taken[size_t(i)] = matches.inGlobal[size_t(b)] = true;
        matches.map[size_t(b)] = uint8_t(i);
        ++matches.matched;
        break;
      }
    }
  }
  return matches;
}

// Every frame drawn with the global palette gets its grown form.
void ShareGlobalPalette(cGIF& oGIF, const PaletteStore& global) {
  for (int16_t i : AllFrames(oGIF)) {
    if (oGIF.LocalPaletteUsed(i)) continue;
    oGIF.LocalPaletteEntries(i, oGIF.GlobalPaletteEntries());
    oGIF.SetFrameImagePalette(i, global);
    CopyPalette(oGIF.lpFramePalette(i), global.data());
  }
}

}  // namespace

int16_t MergeLocalPalettes(cGIF& oGIF) {
  int16_t converted = 0;
  try {
    // Frames that draw with a global palette the file does not have show no defined colours;
    // a global palette made here would give them some. Such documents keep their palettes.
    if (!oGIF.GlobalPaletteExists()) {
      for (int16_t i : AllFrames(oGIF)) {
        if (!oGIF.LocalPaletteUsed(i)) return 0;
      }
    }
    PaletteStore global{};
    int32_t globalCount = 0;
    if (oGIF.GlobalPaletteExists()) {
      CopyPalette(global.data(), oGIF.lpGlobalPalette());
      globalCount = std::clamp<int32_t>(oGIF.GlobalPaletteEntries(), 0, 256);
    }
    for (int16_t a : AllFrames(oGIF)) {
      if (!oGIF.LocalPaletteUsed(a)) continue;
      PaletteStore local;
      CopyPalette(local.data(), oGIF.lpFramePalette(a));
      const int32_t entries = std::clamp<int32_t>(oGIF.LocalPaletteEntries(a), 0, 256);
      GlobalMatches matches = MatchInGlobal(global, globalCount, local, entries);
      if (entries - matches.matched > 256 - globalCount) continue;
      // A frame with pixels beyond its own palette (malformed input) has no colours to move for
      // them: it keeps its palette rather than be half moved.
      const std::shared_ptr<const cDIB> image = std::as_const(oGIF).FrameDIBXOR(a);
      if ((image->lpBits() && mGIFLZWEnc::LargestIndex(*image) >= entries) ||
          oGIF.FrameTransparentColorIndex(a) >= entries) {
        continue;
      }

      oGIF.LocalPaletteUsed(a, false);
      ++converted;
      for (int32_t b = 0; b < entries; ++b) {
        if (matches.inGlobal[size_t(b)]) continue;
        std::copy_n(&local[4 * size_t(b)], 4, &global[4 * size_t(globalCount)]);
        matches.map[size_t(b)] = uint8_t(globalCount++);
      }
      RenumberPixels(MapDIBPixels(oGIF.FrameDIBXOR(a)), matches.map);
      oGIF.FrameTransparentColorIndex(a, matches.map[oGIF.FrameTransparentColorIndex(a)]);
      oGIF.GlobalPaletteEntries(int16_t(globalCount));
      oGIF.GlobalPaletteExists(true);
      CopyPalette(oGIF.lpGlobalPalette(), global.data());
    }
    if (converted > 0) ShareGlobalPalette(oGIF, global);
    return converted;
  } catch (const std::exception&) {
    return converted;
  }
}

}  // namespace lumatrim::mGIFOptimizer
