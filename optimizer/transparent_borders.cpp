// Transparent border cropping: every frame is cut down to the rectangle around its visible
// pixels, and frames without any visible pixel are dropped, their time going to the frame before.
// Runs after frame differencing, so it also trims what differencing made transparent.
#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "gif/frame_numbers.h"
#include "optimizer/passes.h"
#include "optimizer/pixel_grid.h"

namespace lumatrim::mGIFOptimizer {

namespace {

// Frame-local bounds of the pixels that are not transparent index t; empty when there are none.
Rect VisibleBounds(const cGIF& oGIF, int16_t nFrame, const Rect& frameRect, uint8_t t) {
  const PixelView grid = MapDIBPixels(oGIF.FrameDIBXOR(nFrame));
  if (grid.Width() < frameRect.right || grid.Height() < frameRect.bottom) {
    throw std::out_of_range("frame " + std::to_string(nFrame) + " has no pixels to search");
  }
  // Row by row, eight pixels at a time: the rows of t above and below, then the columns of t
  // left and right of the rows between. The bounds are those of FindPixelBounds.
  const size_t width = size_t(frameRect.right);
  const auto allTransparent = [&](int32_t y) {
    return LeadingRunOf(grid.Row(y), width, t) == width;
  };
  Rect bounds{0, 0, 0, 0};
  while (bounds.top < frameRect.bottom && allTransparent(bounds.top)) ++bounds.top;
  if (width == 0 || bounds.top == frameRect.bottom) return Rect{};
  bounds.bottom = frameRect.bottom;
  while (allTransparent(bounds.bottom - 1)) --bounds.bottom;
  size_t left = width, right = 0;
  for (int32_t y = bounds.top; y < bounds.bottom; ++y) {
    left = std::min(left, LeadingRunOf(grid.Row(y), width, t));
    right = std::max(right, width - TrailingRunOf(grid.Row(y), width, t));
  }
  bounds.left = int32_t(left);
  bounds.right = int32_t(right);
  return bounds;
}

// Whether a frame keeps its rectangle whatever its pixels: disposal 2 clears the whole rectangle
// when the frame's time is up, and a frame past the screen may widen some viewers' screens.
bool KeepsRectangle(const cGIF& oGIF, int16_t nFrame) {
  return oGIF.FrameDisposalMethod(nFrame) == 2 || FrameReachesPastScreen(oGIF, nFrame);
}

// Whether wholly transparent frame k may go, its time added to the frame before. That frame must
// still be showing then: one taken away left the cleared screen on show.
bool MayDrop(const cGIF& oGIF, int16_t k) {
  return !TakenAway(oGIF.FrameDisposalMethod(k)) &&
         !TakenAway(oGIF.FrameDisposalMethod(int16_t(k - 1))) && !FrameReachesPastScreen(oGIF, k);
}

}  // namespace

bool CropTransparentBorders(cGIF& oGIF) {
  try {
    const int16_t n = oGIF.FramesCount();
    // Tables indexed by frame number, frame-local rectangles; entry 0 is unused.
    std::vector<Rect> newRect(size_t(n) + 1);
    std::vector<uint8_t> cropped(size_t(n) + 1, 0);
    // Each frame by itself, on the document's workers.
    ParallelFor(oGIF.Workers(), size_t(n), [&](size_t k) {
      const int16_t c = int16_t(k + 1);
      // The size alone: a frame without transparency is not brought into memory.
      const Rect origRect{0, 0, oGIF.FrameSurfaceWidth(c), oGIF.FrameSurfaceHeight(c)};
      newRect[size_t(c)] = origRect;
      if (!oGIF.FrameUseTransparentColor(c)) return;
      newRect[size_t(c)] = VisibleBounds(oGIF, c, origRect, oGIF.FrameTransparentColorIndex(c));
      cropped[size_t(c)] = newRect[size_t(c)] != origRect && !KeepsRectangle(oGIF, c);
    });
    std::vector<bool> changed(cropped.begin(), cropped.end());

    DropEmptyFrames(oGIF, newRect, changed, [&](int16_t k) { return MayDrop(oGIF, k); });

    ParallelFor(oGIF.Workers(), size_t(oGIF.FramesCount()), [&](size_t k) {
      const int16_t f = int16_t(k + 1);
      if (changed[size_t(f)] && !newRect[size_t(f)].Empty()) CropFrame(oGIF, f, newRect[size_t(f)]);
    });
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace lumatrim::mGIFOptimizer
