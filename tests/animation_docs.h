// Hand-made animations for the optimizer tests.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/gif_document.h"
#include "gif_bytes.h"
#include "look_the_same.h"
#include "optimizer/pixel_grid.h"

namespace lumatrim::testing {

// One frame of a hand-made animation; pixels are row by row, each below 4.
struct FrameSpec {
  uint16_t left = 0;
  uint16_t top = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  Bytes pixels;
  uint8_t disposal = 0;
  uint16_t delay = 10;
  int transparent = -1;  // the transparent index, or -1 for none
  int localEntries = 0;  // entries of a local palette (a power of two from 2), or 0 for none
};

// A frame of one index everywhere.
inline FrameSpec Filled(uint16_t left, uint16_t top, uint16_t width, uint16_t height,
                        uint8_t index) {
  return FrameSpec{left, top, width, height, Bytes(size_t(width) * height, index)};
}

// The frame with index `index` in the frame-local block at (x, y), w x h.
inline FrameSpec WithBlock(FrameSpec frame, int x, int y, int w, int h, uint8_t index) {
  for (int row = y; row < y + h; ++row) {
    for (int col = x; col < x + w; ++col) frame.pixels[size_t(row) * frame.width + col] = index;
  }
  return frame;
}

// The frame with the given control data.
inline FrameSpec With(FrameSpec frame, uint8_t disposal, uint16_t delay = 10,
                      int transparent = -1) {
  frame.disposal = disposal;
  frame.delay = delay;
  frame.transparent = transparent;
  return frame;
}

// The frame with a local palette of `entries` entries (a power of two from 2).
inline FrameSpec WithLocalPalette(FrameSpec frame, int entries) {
  frame.localEntries = entries;
  return frame;
}

// An animation on a global palette of 4 entries (entry i is red i, green i + 1, blue i + 2).
inline Bytes Animation(uint16_t screenWidth, uint16_t screenHeight,
                       const std::vector<FrameSpec>& frames) {
  Bytes out = Header(screenWidth, screenHeight, 0x81);
  ColorTable(out, 4);
  for (const FrameSpec& frame : frames) {
    const uint8_t flags = uint8_t((frame.disposal << 2) | (frame.transparent >= 0 ? 1 : 0));
    GraphicControl(out, flags, frame.delay,
                   uint8_t(frame.transparent >= 0 ? frame.transparent : 0));
    uint8_t imageFlags = 0;
    if (frame.localEntries > 0) {
      imageFlags = 0x80;
      while ((2 << (imageFlags & 7)) < frame.localEntries) ++imageFlags;
    }
    Image(out, frame.left, frame.top, frame.width, frame.height, imageFlags,
          UncompressedCodes(frame.pixels), frame.localEntries);
  }
  out.push_back(0x3B);
  return out;
}

// Loads an animation twice: once to optimize, once to compare against.
struct Docs {
  cGIF before, after;
  explicit Docs(const Bytes& bytes) {
    EXPECT_TRUE(before.LoadFromStream(bytes));
    EXPECT_TRUE(after.LoadFromStream(bytes));
  }
};

// Where a frame lies on the screen after a pass, and how long it shows.
struct FrameAfter {
  Rect rect;
  uint16_t delay = 10;
};

// Expects the optimized document to hold exactly these frames and to show what the original
// showed.
inline void ExpectFramesAfter(const Docs& docs, const std::vector<FrameAfter>& frames) {
  ASSERT_EQ(docs.after.FramesCount(), int(frames.size()));
  for (int16_t n = 1; n <= docs.after.FramesCount(); ++n) {
    const FrameAfter& expected = frames[size_t(n - 1)];
    EXPECT_EQ(FrameRect(docs.after, n), expected.rect) << "frame " << n;
    EXPECT_EQ(uint16_t(docs.after.FrameDelay(n)), expected.delay) << "frame " << n;
  }
  EXPECT_TRUE(LookTheSame(docs.before, docs.after));
}

// The frame's pixel indices, row by row, without the row padding.
inline Bytes PixelsOf(const cGIF& gif, int16_t nFrame) {
  const cDIB& image = *gif.FrameDIBXOR(nFrame);
  Bytes pixels;
  for (int32_t y = 0; y < image.Height(); ++y) {
    const uint8_t* row = image.lpBits() + size_t(y) * size_t(image.BytesPerScanline());
    pixels.insert(pixels.end(), row, row + image.Width());
  }
  return pixels;
}

}  // namespace lumatrim::testing
