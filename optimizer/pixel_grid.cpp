#include "optimizer/pixel_grid.h"

#include <cstring>

#include "gif/frame_numbers.h"
#include "gif/geometry.h"

namespace lumatrim {

namespace {

// Frames of one colour, or of long runs, are common, and frames of hundreds of megapixels are
// made of nothing else: pieces of a row that hold one index are marked or renumbered at once.
constexpr int32_t kPiece = 64;

bool OneIndex(const uint8_t* pixels) {
  uint8_t differs = 0;
  for (int32_t k = 0; k < kPiece; ++k) differs |= uint8_t(pixels[k] ^ pixels[0]);
  return differs == 0;
}

// Eight pixels at once: each byte of the word is the index.
uint64_t Spread(uint8_t index) {
  return uint64_t(index) * 0x0101010101010101u;
}

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

}  // namespace

bool FrameHasPixel(const cGIF& gif, int16_t nFrame, uint8_t index) {
  const PixelView grid = MapDIBPixels(gif.FrameDIBXOR(nFrame));
  for (int32_t y = 0; y < grid.Height(); ++y) {
    if (std::memchr(grid.Row(y), index, size_t(grid.Width())) != nullptr) return true;
  }
  return false;
}

void MarkUsedIndices(const PixelView& grid, std::array<bool, 256>& used) {
  for (int32_t y = 0; y < grid.Height(); ++y) {
    const uint8_t* row = grid.Row(y);
    int32_t x = 0;
    for (; x + kPiece <= grid.Width(); x += kPiece) {
      if (OneIndex(row + x)) {
        used[row[x]] = true;
      } else {
        for (int32_t k = 0; k < kPiece; ++k) used[row[x + k]] = true;
      }
    }
    for (; x < grid.Width(); ++x) used[row[x]] = true;
  }
}

void RenumberPixels(const PixelGrid& grid, const std::array<uint8_t, 256>& map) {
  for (int32_t y = 0; y < grid.Height(); ++y) {
    uint8_t* row = grid.Row(y);
    int32_t x = 0;
    for (; x + kPiece <= grid.Width(); x += kPiece) {
      if (OneIndex(row + x)) {
        std::memset(row + x, map[row[x]], size_t(kPiece));
      } else {
        for (int32_t k = 0; k < kPiece; ++k) row[x + k] = map[row[x + k]];
      }
    }
    for (; x < grid.Width(); ++x) row[x] = map[row[x]];
  }
}

size_t LeadingRunOf(const uint8_t* p, size_t n, uint8_t index) {
  const uint64_t all = Spread(index);
  size_t i = 0;
  while (i + 8 <= n && Load64(p + i) == all) i += 8;
  while (i < n && p[i] == index) ++i;
  return i;
}

size_t TrailingRunOf(const uint8_t* p, size_t n, uint8_t index) {
  const uint64_t all = Spread(index);
  size_t end = n;
  while (end >= 8 && Load64(p + end - 8) == all) end -= 8;
  while (end > 0 && p[end - 1] == index) --end;
  return n - end;
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
