#include "raster/dib.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "raster/errors.h"

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

// Values with the high bit set name system colours; without a desktop theme we resolve them to
// the classic defaults of the few that matter (window background white, text black).
ColorRef ResolveColor(ColorRef c) {
  if ((c & 0x80000000u) == 0) return c & 0xFFFFFFu;
  switch (c & 0xFFu) {
    case 5:   // window background
    case 15:  // button face
      return RGB(255, 255, 255);
    default:
      return 0;
  }
}

uint32_t CombineRop(uint32_t target, uint32_t source, uint32_t rop) {
  switch (rop) {
    case SRCAND:
      return target & source;
    case SRCPAINT:
      return target | source;
    default:
      return source;
  }
}

// Rounds halves to the even neighbour, as the drawing arithmetic always has.
int32_t RoundEven(double v) {
  return int32_t(std::nearbyint(v));
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
  std::memcpy(table_, other.table_, sizeof table_);
  other.Destroy();
  return *this;
}

bool cDIB::Create(int32_t NewWidth, int32_t NewHeight, int32_t Newbpp) {
  Destroy();
  const int64_t rowBits = int64_t(NewWidth) * Newbpp;
  if (rowBits > 2147483616) throw OverflowError("surface row too wide");
  const int64_t stride = (rowBits + 31) / 32 * 4;
  const int64_t size = stride * int64_t(NewHeight);
  if (size > INT32_MAX || size < INT32_MIN) throw OverflowError("surface too large");
  switch (Newbpp) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return false;
  }
  if (NewWidth <= 0 || NewHeight <= 0) return false;
  // calloc hands out zeroed memory, lazily for large blocks.
  bits_.reset(static_cast<uint8_t*>(std::calloc(size_t(size), 1)));
  if (!bits_) return false;
  width_ = NewWidth;
  height_ = NewHeight;
  bpp_ = Newbpp;
  bytesPerScanline_ = int32_t(stride);
  size_ = int32_t(size);
  std::memset(table_, 0, sizeof table_);
  return true;
}

void cDIB::CloneTo(cDIB& oDIB) const {
  if (&oDIB == this) return;
  if (!oDIB.Create(width_, height_, bpp_)) return;
  std::memcpy(oDIB.table_, table_, sizeof table_);
  std::memcpy(oDIB.bits_.get(), bits_.get(), size_t(size_));
}

void cDIB::Destroy() {
  bits_.reset();
  width_ = height_ = bpp_ = bytesPerScanline_ = size_ = 0;
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

void cDIB::GetBestFitInfo(int32_t DstW, int32_t DstH, int32_t& bfx, int32_t& bfy, int32_t& bfW,
                          int32_t& bfH, bool StretchFit) const {
  if (!hDIB()) return;
  if (DstW < width_ || DstH < height_ || StretchFit) {
    const float rx = float(DstW) / float(width_);
    const float ry = float(DstH) / float(height_);
    if (rx >= ry) {
      bfH = DstH;
      bfW = RoundEven(double(ry * float(width_)));
    } else {
      bfW = DstW;
      bfH = RoundEven(double(rx * float(height_)));
    }
  } else {
    bfW = width_;
    bfH = height_;
  }
  bfx = (DstW - bfW) / 2;
  bfy = (DstH - bfH) / 2;
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

int32_t cDIB::LoadBlt(const cDIB* hSrcDC, int32_t x, int32_t y, int32_t nWidth, int32_t nHeight) {
  if (!hDIB() || hSrcDC == nullptr || !hSrcDC->hDIB()) return 0;
  if (nWidth <= 0) nWidth = width_;
  if (nHeight <= 0) nHeight = height_;
  const int32_t w = std::min({nWidth, width_, hSrcDC->width_ - x});
  const int32_t h = std::min({nHeight, height_, hSrcDC->height_ - y});
  if (x < 0 || y < 0) return 0;
  // A source with a colour table converts through a per-index lookup built once.
  std::array<uint32_t, 256> translate{};
  const bool indexed = hSrcDC->bpp_ <= 8;
  if (indexed) {
    for (int i = 0; i < hSrcDC->TableEntries(); ++i) {
      translate[i] = RawFromColor(hSrcDC->ColorFromRaw(uint32_t(i)));
    }
  }
  if (indexed && hSrcDC->bpp_ == 8 && bpp_ == 1) {
    // The common case of building a transparency mask: pack bits a byte at a time.
    for (int32_t row = 0; row < h; ++row) {
      const uint8_t* from =
          hSrcDC->bits_.get() + size_t(y + row) * size_t(hSrcDC->bytesPerScanline_) + size_t(x);
      uint8_t* to = bits_.get() + size_t(row) * size_t(bytesPerScanline_);
      for (int32_t col = 0; col < w; col += 8) {
        uint8_t packed = 0;
        const int32_t n = std::min(8, w - col);
        for (int32_t i = 0; i < n; ++i)
          packed |= uint8_t((translate[from[col + i]] & 1u) << (7 - i));
        // Bits past the copied block keep what they held.
        const uint8_t keep = n == 8 ? 0 : uint8_t(0xFFu >> n);
        to[col >> 3] = uint8_t((to[col >> 3] & keep) | packed);
      }
    }
    return 1;
  }
  for (int32_t row = 0; row < h; ++row) {
    for (int32_t col = 0; col < w; ++col) {
      const uint32_t raw = hSrcDC->RawPixel(x + col, y + row);
      SetRawPixel(col, row, indexed ? translate[raw] : RawFromColor(hSrcDC->ColorFromRaw(raw)));
    }
  }
  return 1;
}

int32_t cDIB::Stretch(cDIB* hDC, int32_t x, int32_t y, int32_t nWidth, int32_t nHeight,
                      int32_t xSrc, int32_t ySrc, int32_t nSrcWidth, int32_t nSrcHeight,
                      uint32_t lROP, int32_t /*StretchMode*/) const {
  if (!hDIB() || hDC == nullptr || !hDC->hDIB()) return 0;
  if (nSrcWidth <= 0) nSrcWidth = width_;
  if (nSrcHeight <= 0) nSrcHeight = height_;
  if (nWidth <= 0 || nHeight <= 0) return 0;
  for (int32_t ty = 0; ty < nHeight; ++ty) {
    const int32_t dy = y + ty;
    if (dy < 0 || dy >= hDC->height_) continue;
    const int32_t sy = ySrc + int32_t(int64_t(ty) * nSrcHeight / nHeight);
    if (sy < 0 || sy >= height_) continue;
    for (int32_t tx = 0; tx < nWidth; ++tx) {
      const int32_t dx = x + tx;
      if (dx < 0 || dx >= hDC->width_) continue;
      const int32_t sx = xSrc + int32_t(int64_t(tx) * nSrcWidth / nWidth);
      if (sx < 0 || sx >= width_) continue;
      const ColorRef source = PixelColor(sx, sy);
      const ColorRef target = hDC->PixelColor(dx, dy);
      hDC->SetPixelColor(dx, dy, CombineRop(target, source, lROP));
    }
  }
  return 1;
}

void cDIB::Cls(ColorRef Color) {
  if (!hDIB()) return;
  const uint32_t raw = RawFromColor(ResolveColor(Color));
  for (int32_t row = 0; row < height_; ++row) {
    for (int32_t col = 0; col < width_; ++col) SetRawPixel(col, row, raw);
  }
}

cDIB cDIB::Image() const {
  cDIB picture;
  if (!hDIB()) return picture;
  if (picture.Create(width_, height_, 32)) {
    Stretch(&picture, 0, 0, width_, height_, 0, 0, width_, height_, SRCCOPY, COLORONCOLOR);
  }
  return picture;
}

}  // namespace lumatrim
