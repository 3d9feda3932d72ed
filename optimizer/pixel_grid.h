// Building blocks shared by the optimization passes: a view over a frame's pixel indices, the
// frame rectangle, the bounding box of the pixels that pass a test, and cropping a frame.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "gif/geometry.h"
#include "gif/gif_document.h"
#include "raster/rect.h"

namespace lumatrim {

// A view of an 8-bit surface's pixel memory: At(x, y) is the byte at y * BytesPerScanline + x.
// The view holds the surface, so its pixels stay in memory while the view lives. A PixelGrid
// comes from a surface taken for changing and writes through it change the frame; a PixelView
// only reads.
template <typename Byte>
class BasicPixelGrid {
 public:
  using Surface = std::conditional_t<std::is_const_v<Byte>, const cDIB, cDIB>;

  BasicPixelGrid() = default;
  // The view over surface; a surface that is not 8 bits per pixel has no pixel indices to view.
  explicit BasicPixelGrid(std::shared_ptr<Surface> surface) {
    if (surface == nullptr || surface->BPP() != 8 || surface->lpBits() == nullptr) return;
    bits_ = surface->lpBits();
    stride_ = surface->BytesPerScanline();
    width_ = surface->Width();
    height_ = surface->Height();
    surface_ = std::move(surface);
  }

  Byte* Row(int32_t y) const { return bits_ + size_t(y) * size_t(stride_); }
  Byte& At(int32_t x, int32_t y) const { return Row(y)[x]; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

 private:
  std::shared_ptr<Surface> surface_;
  Byte* bits_ = nullptr;
  int32_t stride_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

using PixelGrid = BasicPixelGrid<uint8_t>;
using PixelView = BasicPixelGrid<const uint8_t>;

inline PixelGrid MapDIBPixels(std::shared_ptr<cDIB> surface) {
  return PixelGrid(std::move(surface));
}
inline PixelView MapDIBPixels(std::shared_ptr<const cDIB> surface) {
  return PixelView(std::move(surface));
}

// Whether some pixel of the frame carries index.
bool FrameHasPixel(const cGIF& gif, int16_t nFrame, uint8_t index);

// Marks in used every index the pixels carry.
void MarkUsedIndices(const PixelView& grid, std::array<bool, 256>& used);

// Gives every pixel the index map holds for its index.
void RenumberPixels(const PixelGrid& grid, const std::array<uint8_t, 256>& map);

// How many of the n pixels from p on, and how many before p + n, are index (the index of the
// first other pixel, and n less the index of the last other one plus 1); n when all are.
size_t LeadingRunOf(const uint8_t* p, size_t n, uint8_t index);
size_t TrailingRunOf(const uint8_t* p, size_t n, uint8_t index);

// The frame's rectangle on the logical screen (positions read without sign, as the file holds
// them; a frame without pixels is an empty rectangle at its position).
Rect FrameRect(const cGIF& gif, int16_t nFrame);

// The bounding box of the positions of area (inclusive bounds x0..x1, y0..y1) for which
// test(x, y) holds, as a rectangle with exclusive right and bottom; empty when none passes.
template <typename Test>
Rect FindPixelBounds(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Test test) {
  Rect r;
  bool found = false;
  for (int32_t y = y0; y <= y1 && !found; ++y) {
    for (int32_t x = x0; x <= x1; ++x) {
      if (test(x, y)) {
        r.top = y;
        found = true;
        break;
      }
    }
  }
  if (!found) return Rect{};
  found = false;
  for (int32_t y = y1; y >= r.top && !found; --y) {
    for (int32_t x = x0; x <= x1; ++x) {
      if (test(x, y)) {
        r.bottom = y + 1;
        found = true;
        break;
      }
    }
  }
  found = false;
  for (int32_t x = x0; x <= x1 && !found; ++x) {
    for (int32_t y = r.top; y < r.bottom; ++y) {
      if (test(x, y)) {
        r.left = x;
        found = true;
        break;
      }
    }
  }
  found = false;
  for (int32_t x = x1; x >= r.left && !found; --x) {
    for (int32_t y = r.top; y < r.bottom; ++y) {
      if (test(x, y)) {
        r.right = x + 1;
        found = true;
        break;
      }
    }
  }
  return r;
}

// Cuts frame nFrame down to rect, a non-empty frame-local rectangle inside the frame, and moves
// the frame by rect's corner. The mask is recreated empty. Answers false, with the frame as it
// was, when the new position would leave 16 bits or the surface can't be made.
bool CropFrame(cGIF& gif, int16_t nFrame, const Rect& rect);

// Drops, from the last frame back to frame 2, every frame whose rectangle in newRect is empty and
// that mayDrop(k) allows; its delay is added to the frame before. A frame that may not go is not
// cropped either (changed[k] becomes false). Both tables follow the new numbering. A delay sum
// past 65535 throws OverflowError, leaving the frames dropped so far dropped.
template <typename MayDrop>
void DropEmptyFrames(cGIF& gif, std::vector<Rect>& newRect, std::vector<bool>& changed,
                     MayDrop mayDrop) {
  for (int16_t k = gif.FramesCount(); k >= 2; --k) {
    if (!newRect[size_t(k)].Empty()) continue;
    if (!mayDrop(k)) {
      changed[size_t(k)] = false;
      continue;
    }
    // Delays are 16 bits without sign in the file; a sum past 65535 stops the pass.
    const Geometry geometry(gif);
    const int64_t delay = int64_t(geometry.FrameDelay(int16_t(k - 1))) + geometry.FrameDelay(k);
    gif.FrameDelay(int16_t(k - 1), StoredU16(delay));
    gif.FrameRemove(k);
    newRect.erase(newRect.begin() + k);
    changed.erase(changed.begin() + k);
  }
}

// Sets the global palette's entry count, and the copy of it that every frame drawing with the
// global palette keeps.
void SetGlobalPaletteEntries(cGIF& gif, int16_t entries);

// Copies between palette stores, 1024 bytes at a time.
inline void CopyPalette(uint8_t* to, const uint8_t* from) {
  std::copy(from, from + 1024, to);
}

}  // namespace lumatrim
