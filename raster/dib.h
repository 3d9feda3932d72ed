// cDIB: a rectangle of pixels in memory, rows stored top-down and padded to 4 bytes, with a
// colour table for 8 bits per pixel or fewer. Drawing (block copies, stretching, fills) is done
// in software (dib_drawing.cpp, with its constants in drawing.h); a 32-bit surface is the drawing
// target wherever a device context would be used.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

namespace lumatrim {

// A colour value as red + green * 256 + blue * 65536.
using ColorRef = uint32_t;
inline constexpr ColorRef RGB(uint8_t r, uint8_t g, uint8_t b) {
  return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}

class cDIB {
 public:
  cDIB() = default;
  ~cDIB() { Destroy(); }
  cDIB(const cDIB&) = delete;
  cDIB& operator=(const cDIB&) = delete;
  cDIB(cDIB&& other) noexcept;
  cDIB& operator=(cDIB&& other) noexcept;

  // Replaces any existing surface by one of NewWidth x NewHeight at Newbpp bits per pixel
  // (1, 4, 8, 16, 24 or 32), all pixels 0 and a black colour table. Answers false when the
  // surface can't be made (a size of 0 or less, an unknown depth, too little memory). A row or
  // total size beyond 32 bits throws OverflowError.
  bool Create(int32_t NewWidth, int32_t NewHeight, int32_t Newbpp);
  // As Create, but for a caller that writes every byte: the pixels are left as they happen to be,
  // and a surface whose memory has room for the new size keeps it. The table is black.
  bool CreateForOverwrite(int32_t NewWidth, int32_t NewHeight, int32_t Newbpp);
  // The bytes of a surface of that size and depth (rows padded), or -1 where Create would fail.
  static int64_t SizeFor(int32_t width, int32_t height, int32_t bpp);
  // Makes oDIB an equal surface: size, depth, colour table and pixels.
  void CloneTo(cDIB& oDIB) const;
  void Destroy();

  // Copies nWidth x nHeight pixels at (x, y) of hSrcDC to (0, 0) of this surface, matching each
  // source colour to the nearest entry of this surface's colour table where it has one. A width
  // or height of 0 or less means this surface's. Answers non-zero on success.
  int32_t LoadBlt(const cDIB* hSrcDC, int32_t x, int32_t y, int32_t nWidth, int32_t nHeight);
  // Draws the source block of this surface into the rectangle of the target, scaled by nearest
  // neighbour and combined with the target by lROP (SRCCOPY, SRCAND or SRCPAINT). A source width
  // or height of 0 or less means this surface's. Answers non-zero on success.
  int32_t Stretch(cDIB* hDC, int32_t x, int32_t y, int32_t nWidth, int32_t nHeight, int32_t xSrc,
                  int32_t ySrc, int32_t nSrcWidth, int32_t nSrcHeight, uint32_t lROP,
                  int32_t StretchMode) const;
  // Fills the whole surface with Color (the nearest table entry on a surface with a table).
  void Cls(ColorRef Color);
  // Palette arrays hold entries of 4 bytes: blue, green, red, reserved.
  void SetPalette(std::span<const uint8_t> Palette);
  void GetPalette(std::vector<uint8_t>& Palette) const;
  void GetBestFitInfo(int32_t DstW, int32_t DstH, int32_t& bfx, int32_t& bfy, int32_t& bfW,
                      int32_t& bfH, bool StretchFit) const;
  // A new 32-bit picture of this surface, full size.
  cDIB Image() const;

  // The drawing context (hDC) a surface is selected into is, in software, the surface itself:
  // this surface as a target for LoadBlt, Stretch and FrameDraw; null while it has no pixels.
  cDIB* DrawingTarget() { return hDIB() ? this : nullptr; }
  const cDIB* DrawingTarget() const { return hDIB() ? this : nullptr; }
  uintptr_t hDIB() const { return reinterpret_cast<uintptr_t>(bits_.get()); }
  uint8_t* lpBits() const { return bits_.get(); }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t BPP() const { return bpp_; }
  int32_t BytesPerScanline() const { return bytesPerScanline_; }
  int32_t Size() const { return size_; }
  // The bytes of memory held, Size() or more.
  int64_t Capacity() const { return capacity_; }

  // Pixel access in colour terms, for drawing and for tests. Coordinates must be inside.
  ColorRef PixelColor(int32_t x, int32_t y) const;
  void SetPixelColor(int32_t x, int32_t y, ColorRef color);
  // Index of the colour-table entry nearest to color (first of equals).
  uint8_t NearestEntry(ColorRef color) const;

 private:
  struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  uint32_t RawPixel(int32_t x, int32_t y) const;
  void SetRawPixel(int32_t x, int32_t y, uint32_t value);
  uint32_t RawFromColor(ColorRef color) const;
  ColorRef ColorFromRaw(uint32_t raw) const;
  int32_t TableEntries() const { return bpp_ <= 8 ? (1 << bpp_) : 0; }

  std::unique_ptr<uint8_t, FreeDeleter> bits_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bpp_ = 0;
  int32_t bytesPerScanline_ = 0;
  int32_t size_ = 0;
  int64_t capacity_ = 0;
  uint8_t table_[1024] = {};
};

}  // namespace lumatrim
