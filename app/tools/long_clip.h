// A long animation for the window's tests and pictures: a ball crossing a still picture, every
// frame stored whole, so that a run has real work and takes a noticeable time.
#pragma once

#include <QString>
#include <cstdint>

#include "gif/frame_numbers.h"
#include "gif/gif_document.h"

namespace lumatrim {

// Writes a clip of the given frames (320 x 240, 16 colours) to path; false when it can't be
// written.
inline bool WriteLongClip(const QString& path, int16_t frames) {
  cGIF gif;
  gif.GlobalPaletteExists(true);
  gif.GlobalPaletteEntries(16);
  uint8_t* palette = gif.lpGlobalPalette();
  for (int i = 0; i < 16; ++i) {
    palette[i * 4 + 0] = uint8_t(i * 16);
    palette[i * 4 + 1] = uint8_t(128 + i * 8);
    palette[i * 4 + 2] = uint8_t(255 - i * 16);
  }
  for (int16_t n : FrameNumbers(1, frames)) {
    gif.FrameInsert(n, 320, 240, true);
    gif.FrameDelay(n, 4);
    gif.FrameDisposalMethod(n, 1);
    cDIB& image = *gif.FrameDIBXOR(n);
    const int ballX = 20 + n * 280 / frames, ballY = 120 + (n % 40 - 20);
    for (int32_t y = 0; y < image.Height(); ++y) {
      uint8_t* row = image.lpBits() + size_t(y) * size_t(image.BytesPerScanline());
      for (int32_t x = 0; x < image.Width(); ++x) {
        const int dx = x - ballX, dy = y - ballY;
        row[x] = dx * dx + dy * dy <= 144 ? 15 : uint8_t((x / 40 + y / 30) % 8);
      }
    }
  }
  gif.AnimationLoops(0);
  return gif.Save(path.toStdString());
}

}  // namespace lumatrim
