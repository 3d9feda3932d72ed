#include "optimizer/pixel_grid.h"

#include "gif/frame_numbers.h"
#include "gif/geometry.h"

namespace lumatrim {

bool FrameHasPixel(const cGIF& gif, int16_t nFrame, uint8_t index) {
  const PixelView grid = MapDIBPixels(gif.FrameDIBXOR(nFrame));
  for (int32_t y = 0; y < grid.Height(); ++y) {
    const uint8_t* row = grid.Row(y);
    for (int32_t x = 0; x < grid.Width(); ++x) {
      if (row[x] == index) return true;
    }
  }
  return false;
}

Rect FrameRect(const cGIF& gif, int16_t nFrame) {
  return Geometry(gif).Frame(nFrame);
}

bool CropFrame(cGIF& gif, int16_t nFrame, const Rect& rect) {
  try {
    PaletteStore palette;
    CopyPalette(palette.data(), gif.lpFramePalette(nFrame));
    const std::shared_ptr<cDIB> surface = gif.FrameDIBXOR(nFrame);
    cDIB& image = *surface;
    if (rect.Empty() || rect.left < 0 || rect.top < 0 || rect.right > image.Width() ||
        rect.bottom > image.Height()) {
      return false;
    }
    // The new position is checked before anything changes: a crop is done whole or not at all.
    const Geometry geometry(gif);
    const int16_t newLeft = StoredU16(int64_t(geometry.FrameLeft(nFrame)) + rect.left);
    const int16_t newTop = StoredU16(int64_t(geometry.FrameTop(nFrame)) + rect.top);
    cDIB original;
    image.CloneTo(original);
    if (original.lpBits() == nullptr) return false;
    const int32_t width = rect.right - rect.left;
    const int32_t height = rect.bottom - rect.top;
    if (!image.Create(width, height, 8)) {
      original.CloneTo(image);
      return false;
    }
    image.SetPalette(palette);
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      const uint8_t* from =
          original.lpBits() + size_t(y) * size_t(original.BytesPerScanline()) + size_t(rect.left);
      std::copy(from, from + width,
                image.lpBits() + size_t(y - rect.top) * size_t(image.BytesPerScanline()));
    }
    gif.FrameDIBAND(nFrame)->Create(width, height, 1);
    gif.FrameLeft(nFrame, newLeft);
    gif.FrameTop(nFrame, newTop);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void SetGlobalPaletteEntries(cGIF& gif, int16_t entries) {
  gif.GlobalPaletteEntries(entries);
  for (int16_t n : AllFrames(gif)) {
    if (!gif.LocalPaletteUsed(n)) gif.LocalPaletteEntries(n, entries);
  }
}

}  // namespace lumatrim
