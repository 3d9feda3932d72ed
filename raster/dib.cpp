#include "raster/dib.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "raster/errors.h"
#include "raster/system_memory.h"

namespace lumatrim {

namespace {

uint8_t Red(ColorRef c) {
  return uint8_t(c);
}
uint8_t Green(ColorRef c) {
  return uint8_t(c >> 8);
}
uint8_t Blue(ColorRef c) {
  return uint8_t(c >> 16);
}

}  // namespace

cDIB::cDIB(cDIB&& other) noexcept {
  *this = std::move(other);
}

cDIB& cDIB::operator=(cDIB&& other) noexcept {
  if (this == &other) return *this;
  bits_ = std::move(other.bits_);
  width_ = other.width_;
  height_ = other.height_;
  bpp_ = other.bpp_;
  bytesPerScanline_ = other.bytesPerScanline_;
  size_ = other.size_;
  capacity_ = other.capacity_;
  std::memcpy(table_, other.table_, sizeof table_);
  other.Destroy();
  return *this;
}

namespace {

// The row stride and total size of a surface, or -1 for a depth or size no surface has. Sizes
// beyond 32 bits throw OverflowError.
int64_t SurfaceSize(int32_t width, int32_t height, int32_t bpp, int64_t& stride) {
  const int64_t rowBits = int64_t(width) * bpp;
  if (rowBits > 2147483616) throw OverflowError("surface row too wide");
  stride = (rowBits + 31) / 32 * 4;
  const int64_t size = stride * int64_t(height);
  if (size > INT32_MAX || size < INT32_MIN) throw OverflowError("surface too large");
  switch (bpp) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return -1;
  }
  if (width <= 0 || height <= 0) return -1;
  return size;
}

}  // namespace

bool cDIB::Create(int32_t NewWidth, int32_t NewHeight, int32_t Newbpp) {
  Destroy();
  int64_t stride = 0;
  const int64_t size = SurfaceSize(NewWidth, NewHeight, Newbpp, stride);
  if (size < 0) return false;
  // calloc hands out zeroed memory, lazily for large blocks.
  bits_.reset(static_cast<uint8_t*>(std::calloc(size_t(size), 1)));
  if (!bits_) return false;
  AskForLargePages(bits_.get(), size_t(size));
  width_ = NewWidth;
  height_ = NewHeight;
  bpp_ = Newbpp;
  bytesPerScanline_ = int32_t(stride);
  size_ = int32_t(size);
  capacity_ = size;
  return true;
}

bool cDIB::CreateForOverwrite(int32_t NewWidth, int32_t NewHeight, int32_t Newbpp) {
  int64_t stride = 0;
  const int64_t size = SurfaceSize(NewWidth, NewHeight, Newbpp, stride);
  if (size < 0) {
    Destroy();
    return false;
  }
  std::memset(table_, 0, sizeof table_);
  if (!bits_ || capacity_ < size) {
    Destroy();
    bits_.reset(static_cast<uint8_t*>(std::malloc(size_t(size))));
    if (!bits_) return false;
    AskForLargePages(bits_.get(), size_t(size));
    capacity_ = size;
  }
  width_ = NewWidth;
  height_ = NewHeight;
  bpp_ = Newbpp;
  bytesPerScanline_ = int32_t(stride);
  size_ = int32_t(size);
  return true;
}

int64_t cDIB::SizeFor(int32_t width, int32_t height, int32_t bpp) {
  int64_t stride = 0;
  return SurfaceSize(width, height, bpp, stride);
}

void cDIB::CloneTo(cDIB& oDIB) const {
  if (&oDIB == this) return;
  if (!oDIB.CreateForOverwrite(width_, height_, bpp_)) return;
  std::memcpy(oDIB.table_, table_, sizeof table_);
  std::memcpy(oDIB.bits_.get(), bits_.get(), size_t(size_));
}

void cDIB::Destroy() {
  bits_.reset();
  width_ = height_ = bpp_ = bytesPerScanline_ = size_ = 0;
  capacity_ = 0;
  std::memset(table_, 0, sizeof table_);
}

void cDIB::SetPalette(std::span<const uint8_t> Palette) {
  if (!hDIB() || bpp_ > 8) return;
  const size_t entries = std::min<size_t>(Palette.size() / 4, size_t(TableEntries()));
  std::memcpy(table_, Palette.data(), entries * 4);
}

void cDIB::GetPalette(std::vector<uint8_t>& Palette) const {
  if (!hDIB() || bpp_ > 8) return;
  Palette.assign(table_, table_ + TableEntries() * 4);
}

uint32_t cDIB::RawPixel(int32_t x, int32_t y) const {
  const uint8_t* row = bits_.get() + size_t(y) * size_t(bytesPerScanline_);
  switch (bpp_) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4:
      return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
    case 8:
      return row[x];
    case 16:
      return uint32_t(row[2 * x]) | (uint32_t(row[2 * x + 1]) << 8);
    case 24:
      return uint32_t(row[3 * x]) | (uint32_t(row[3 * x + 1]) << 8) |
             (uint32_t(row[3 * x + 2]) << 16);
    default: {
      uint32_t v;
      std::memcpy(&v, row + 4 * size_t(x), 4);
      return v;
    }
  }
}

void cDIB::SetRawPixel(int32_t x, int32_t y, uint32_t value) {
  uint8_t* row = bits_.get() + size_t(y) * size_t(bytesPerScanline_);
  switch (bpp_) {
    case 1: {
      const uint8_t bit = uint8_t(0x80u >> (x & 7));
      row[x >> 3] = (value & 1u) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
      break;
    }
    case 4:
      row[x >> 1] = (x & 1) ? uint8_t((row[x >> 1] & 0xF0u) | (value & 0x0Fu))
                            : uint8_t((row[x >> 1] & 0x0Fu) | ((value & 0x0Fu) << 4));
      break;
    case 8:
      row[x] = uint8_t(value);
      break;
    case 16:
      row[2 * x] = uint8_t(value);
      row[2 * x + 1] = uint8_t(value >> 8);
      break;
    case 24:
      row[3 * x] = uint8_t(value);
      row[3 * x + 1] = uint8_t(value >> 8);
      row[3 * x + 2] = uint8_t(value >> 16);
      break;
    default:
      std::memcpy(row + 4 * size_t(x), &value, 4);
      break;
  }
}

// Direct colour layouts: 16 bits are 5-5-5 (blue lowest), 24 and 32 bits blue, green, red
// (and an unused fourth byte), all little-endian.
ColorRef cDIB::ColorFromRaw(uint32_t raw) const {
  if (bpp_ <= 8) {
    const uint8_t* e = table_ + 4 * (raw & 0xFFu);
    return RGB(e[2], e[1], e[0]);
  }
  if (bpp_ == 16) {
    const auto expand = [](uint32_t v) { return uint8_t((v << 3) | (v >> 2)); };
    return RGB(expand((raw >> 10) & 31), expand((raw >> 5) & 31), expand(raw & 31));
  }
  return RGB(uint8_t(raw >> 16), uint8_t(raw >> 8), uint8_t(raw));
}

uint32_t cDIB::RawFromColor(ColorRef color) const {
  if (bpp_ <= 8) return NearestEntry(color);
  if (bpp_ == 16) {
    return (uint32_t(Red(color) >> 3) << 10) | (uint32_t(Green(color) >> 3) << 5) |
           uint32_t(Blue(color) >> 3);
  }
  return (uint32_t(Red(color)) << 16) | (uint32_t(Green(color)) << 8) | Blue(color);
}

uint8_t cDIB::NearestEntry(ColorRef color) const {
  int best = 0;
  int64_t bestDistance = INT64_MAX;
  for (int i = 0; i < TableEntries(); ++i) {
    const uint8_t* e = table_ + 4 * i;
    const int dr = int(e[2]) - Red(color);
    const int dg = int(e[1]) - Green(color);
    const int db = int(e[0]) - Blue(color);
    const int64_t distance = int64_t(dr) * dr + int64_t(dg) * dg + int64_t(db) * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
      if (distance == 0) break;
    }
  }
  return uint8_t(best);
}

ColorRef cDIB::PixelColor(int32_t x, int32_t y) const {
  return ColorFromRaw(RawPixel(x, y));
}

void cDIB::SetPixelColor(int32_t x, int32_t y, ColorRef color) {
  SetRawPixel(x, y, RawFromColor(color));
}

}  // namespace lumatrim
