#include "optimizer/pixel_grid.h"

namespace lumatrim {

PixelGrid MapDIBPixels(const cDIB& surface) {
  PixelGrid grid;
  if (surface.BPP() != 8 || surface.lpBits() == nullptr) return grid;
  grid.bits_ = surface.lpBits();
  grid.stride_ = surface.BytesPerScanline();
  grid.width_ = surface.Width();
  grid.height_ = surface.Height();
  return grid;
}

bool FrameHasPixel(const cGIF& gif, int16_t nFrame, uint8_t index) {
  const PixelGrid grid = MapDIBPixels(*gif.FrameDIBXOR(nFrame));
  for (int32_t y = 0; y < grid.Height(); ++y) {
    const uint8_t* row = grid.Row(y);
    for (int32_t x = 0; x < grid.Width(); ++x) {
      if (row[x] == index) return true;
    }
  }
  return false;
}

Rect FrameRect(const cGIF& gif, int16_t nFrame) {
  const cDIB& image = *gif.FrameDIBXOR(nFrame);
  const int32_t left = gif.FrameLeft(nFrame);
  const int32_t top = gif.FrameTop(nFrame);
  return Rect{left, top, left + image.Width(), top + image.Height()};
}

bool CropFrame(cGIF& gif, int16_t nFrame, const Rect& rect) {
  try {
    PaletteStore palette;
    CopyPalette(palette.data(), gif.lpFramePalette(nFrame));
    cDIB& image = *gif.FrameDIBXOR(nFrame);
    if (rect.Empty() || rect.left < 0 || rect.top < 0 || rect.right > image.Width() ||
        rect.bottom > image.Height()) {
      return false;
    }
    cDIB original;
    image.CloneTo(original);
    if (original.lpBits() == nullptr) return false;
    const int32_t width = rect.right - rect.left;
    const int32_t height = rect.bottom - rect.top;
    if (!image.Create(width, height, 8)) return false;
    image.SetPalette(palette);
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      const uint8_t* from =
          original.lpBits() + size_t(y) * size_t(original.BytesPerScanline()) + size_t(rect.left);
      std::copy(from, from + width,
                image.lpBits() + size_t(y - rect.top) * size_t(image.BytesPerScanline()));
    }
    gif.FrameDIBAND(nFrame)->Create(width, height, 1);
    gif.FrameLeft(nFrame, CheckedInt16(int32_t(gif.FrameLeft(nFrame)) + rect.left));
    gif.FrameTop(nFrame, CheckedInt16(int32_t(gif.FrameTop(nFrame)) + rect.top));
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace lumatrim
