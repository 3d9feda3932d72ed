#include "gif/geometry.h"

namespace lumatrim {

int32_t Geometry::FrameWidth(int16_t nFrame) const {
  return doc_.FrameSurfaceWidth(nFrame);
}

int32_t Geometry::FrameHeight(int16_t nFrame) const {
  return doc_.FrameSurfaceHeight(nFrame);
}

Rect Geometry::Frame(int16_t nFrame) const {
  const int32_t left = FrameLeft(nFrame);
  const int32_t top = FrameTop(nFrame);
  return Rect{left, top, left + FrameWidth(nFrame), top + FrameHeight(nFrame)};
}

bool Geometry::ReachesPastScreen(int16_t nFrame) const {
  const Rect frame = Frame(nFrame);
  return frame.right > ScreenWidth() || frame.bottom > ScreenHeight();
}

int16_t StoredU16(int64_t value) {
  if (value < 0 || value > kMaxStored16) throw OverflowError("value does not fit 16 bits");
  return int16_t(uint16_t(value));
}

}  // namespace lumatrim
