// The document's geometry as the file stores it. A GIF holds positions, sizes, the screen and
// delays as 16-bit values without sign, while the document's properties are 16-bit signed (a
// position of 40000 reads back as -25536). Everything that reasons about where a frame lies or
// how long it shows reads it here, as plain non-negative numbers, instead of casting at each use.
#pragma once

#include <cstdint>

#include "gif/gif_document.h"
#include "raster/rect.h"

namespace lumatrim {

class Geometry {
 public:
  explicit Geometry(const cGIF& doc) : doc_(doc) {}

  int32_t ScreenWidth() const { return uint16_t(doc_.ScreenWidth()); }
  int32_t ScreenHeight() const { return uint16_t(doc_.ScreenHeight()); }
  int32_t FrameLeft(int16_t nFrame) const { return uint16_t(doc_.FrameLeft(nFrame)); }
  int32_t FrameTop(int16_t nFrame) const { return uint16_t(doc_.FrameTop(nFrame)); }
  // The pixels a frame holds: its surface's size, 0 x 0 when it has no surface.
  int32_t FrameWidth(int16_t nFrame) const;
  int32_t FrameHeight(int16_t nFrame) const;
  // Hundredths of a second.
  int32_t FrameDelay(int16_t nFrame) const { return uint16_t(doc_.FrameDelay(nFrame)); }
  // The frame's rectangle on the screen; empty at its position when it has no pixels.
  Rect Frame(int16_t nFrame) const;
  // Whether the frame reaches past the right or bottom edge of the screen.
  bool ReachesPastScreen(int16_t nFrame) const;

 private:
  const cGIF& doc_;
};

// The largest value a 16-bit field of the file holds.
constexpr int32_t kMaxStored16 = 0xFFFF;

// A position, size or delay of 0..65535 as the document's 16-bit field stores it (the same
// bits the file holds); anything else throws OverflowError.
int16_t StoredU16(int64_t value);

}  // namespace lumatrim
