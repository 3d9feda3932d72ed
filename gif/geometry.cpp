#include "gif/geometry.h"

namespace lumatrim {

int32_t Geometry::FrameWidth(int16_t nFrame) const {
  const cDIB& image = *doc_.FrameDIBXOR(nFrame);
  return image.hDIB() ? image.Width() : 0;
}

int32_t Geometry::FrameHeight(int16_t nFrame) const {
  const cDIB& image = *doc_.FrameDIBXOR(nFrame);
  return image.hDIB() ? image.Height() : 0;
}

FrameBox Geometry::Frame(int16_t nFrame) const {
  return FrameBox{FrameLeft(nFrame), FrameTop(nFrame), FrameWidth(nFrame), FrameHeight(nFrame)};
}

bool Geometry::ReachesPastScreen(int16_t nFrame) const {
  const FrameBox box = Frame(nFrame);
  return box.Right() > ScreenWidth() || box.Bottom() > ScreenHeight();
}

int16_t StoredU16(int64_t value) {
  if (value < 0 || value > kMaxStored16) throw OverflowError("value does not fit 16 bits");
  return int16_t(uint16_t(value));
}

}  // namespace lumatrim
