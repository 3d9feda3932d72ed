// A long animation for the window tests: many frames that each change everywhere, so that every
// pass has real work and a run takes a noticeable time.
#pragma once

#include <QString>
#include <cstdint>

#include "gif/gif_document.h"

namespace lumatrim::testing {

// Writes a clip of the given frames (320 x 240, 16 colours, a diagonal wave that moves on each
// frame) to path; false when it can't be written.
inline bool WriteLongClip(const QString& path, int frames) {
  cGIF gif;
  gif.GlobalPaletteExists(true);
  gif.GlobalPaletteEntries(16);
  uint8_t* palette = gif.lpGlobalPalette();
  for (int i = 0; i < 16; ++i) {
    palette[i * 4 + 0] = uint8_t(i * 16);
    palette[i * 4 + 1] = uint8_t(255 - i * 16);
    palette[i * 4 + 2] = uint8_t(i * 8);
  }
  for (int16_t n = 1; n <= frames; ++n) {
    gif.FrameInsert(n, 320, 240, true);
    gif.FrameDelay(n, 4);
    gif.FrameDisposalMethod(n, 1);
    cDIB& image = *gif.FrameDIBXOR(n);
    for (int32_t y = 0; y < image.Height(); ++y) {
      uint8_t* row = image.lpBits() + size_t(y) * size_t(image.BytesPerScanline());
      for (int32_t x = 0; x < image.Width(); ++x) row[x] = uint8_t((x + y * 3 + n * 5) / 7 % 16);
    }
  }
  gif.AnimationLoops(0);
  return gif.Save(path.toStdString());
}

}  // namespace lumatrim::testing
