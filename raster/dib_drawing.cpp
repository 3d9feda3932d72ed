// The software emulation of the platform's drawing on surfaces: block copies with colour
// matching, stretching with raster operations, fills, and the best fit of a picture into a box.
// Only frame drawing and masks use it; the codecs and the optimizer need the pixel store alone.
#include <algorithm>
#include <array>
#include <cstring>

#include "raster/dib.h"
#include "raster/drawing.h"

namespace lumatrim {

namespace {

// Whether the eight bytes from p on are one value.
bool EightOfOneIndex(const uint8_t* p) {
  uint64_t eight;
  std::memcpy(&eight, p, 8);
  return eight == uint64_t(p[0]) * 0x0101010101010101u;
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

}  // namespace

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
        const int32_t n = std::min(8, w - col);
        if (n == 8 && EightOfOneIndex(from + col)) {
          // Eight pixels of one index, as most of a large frame: one bit for all.
          to[col >> 3] = (translate[from[col]] & 1u) != 0 ? 0xFF : 0x00;
          continue;
        }
        uint8_t packed = 0;
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

}  // namespace lumatrim
