// Frame differencing: every frame is compared with the frame before it, where that frame stays on
// the screen, and what the later frame repeats is removed. Mode 0 crops the later frame to the
// rectangle that changed and drops frames that change nothing; mode 1 turns repeated pixels into
// transparent ones. Either way a viewer shows the same pictures for the same time.
#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "gif/frame_numbers.h"
#include "optimizer/passes.h"
#include "optimizer/pixel_grid.h"

namespace lumatrim::mGIFOptimizer {

namespace {

// A palette store as 256 colours of 4 bytes, so that two colours compare as one 32-bit value.
using ColorTable = std::array<uint32_t, 256>;

ColorTable ColorsOf(const uint8_t* store) {
  ColorTable colors;
  std::memcpy(colors.data(), store, sizeof colors);
  return colors;
}

// The frame's transparent index, or -1, which equals no pixel.
int32_t TransparentIndexOf(const cGIF& oGIF, int16_t nFrame) {
  return oGIF.FrameUseTransparentColor(nFrame) ? oGIF.FrameTransparentColorIndex(nFrame) : -1;
}

// The view over a frame's pixels, for reading (a const document) or writing; a frame whose
// surface holds fewer pixels than its rectangle (no pixel memory, another depth) stops the pass
// rather than being read out of bounds.
template <typename Document>
auto GridOf(Document& oGIF, int16_t nFrame, const Rect& frameRect) {
  auto grid = MapDIBPixels(oGIF.FrameDIBXOR(nFrame));
  if (grid.Width() < frameRect.right - frameRect.left ||
      grid.Height() < frameRect.bottom - frameRect.top) {
    throw std::out_of_range("frame " + std::to_string(nFrame) + " has no pixels to compare");
  }
  return grid;
}

// Mode 1: frames that overlap a frame before them that stays get a transparent colour if they
// lack one: the entry after the last of their palette. Frames on the global palette share one
// added global entry. Files may hold pixels beyond their palette's entries; a frame with a pixel
// on the new entry stays opaque, since that pixel would turn transparent.
void AddTransparentColors(cGIF& oGIF, const std::vector<Rect>& origRect) {
  const int16_t n = oGIF.FramesCount();
  bool globalTransparentAdded = false;
  uint8_t globalTransparentIndex = 0;
  for (int16_t i : FrameNumbers(2, n)) {
    if (TakenAway(oGIF.FrameDisposalMethod(int16_t(i - 1))) ||
        Intersect(origRect[size_t(i - 1)], origRect[size_t(i)]).Empty() ||
        oGIF.FrameUseTransparentColor(i)) {
      continue;
    }
    if (oGIF.LocalPaletteUsed(i)) {
      const int16_t entries = oGIF.LocalPaletteEntries(i);
      // A full palette has no room: the frame stays opaque.
      if (entries >= 256 || FrameHasPixel(oGIF, i, uint8_t(entries))) continue;
      oGIF.LocalPaletteEntries(i, int16_t(entries + 1));
      oGIF.FrameTransparentColorIndex(i, uint8_t(entries));
      oGIF.FrameUseTransparentColor(i, true);
      oGIF.SetFrameImagePalette(i, std::span<const uint8_t>(oGIF.lpFramePalette(i), 1024));
      continue;
    }
    if (globalTransparentAdded) {
      if (FrameHasPixel(oGIF, i, globalTransparentIndex)) continue;
      oGIF.FrameTransparentColorIndex(i, globalTransparentIndex);
    } else {
      const int16_t entries = oGIF.GlobalPaletteEntries();
      if (entries >= 256 || FrameHasPixel(oGIF, i, uint8_t(entries))) continue;
      SetGlobalPaletteEntries(oGIF, int16_t(entries + 1));
      oGIF.SetFrameImagePalette(i, std::span<const uint8_t>(oGIF.lpGlobalPalette(), 1024));
      globalTransparentIndex = uint8_t(entries);
      oGIF.FrameTransparentColorIndex(i, globalTransparentIndex);
      globalTransparentAdded = true;
    }
    oGIF.FrameUseTransparentColor(i, true);
  }
}

// One pair of frames: the earlier one stays on the screen, the later one is drawn over it. The
// screen position (x, y) is pixel (x - left, y - top) of either frame.
struct FramePair {
  PixelView prev, cur;
  int32_t prevLeft, prevTop, curLeft, curTop;
  ColorTable prevPal, curPal;
  int32_t prevTC, curTC;

  FramePair(const cGIF& oGIF, int16_t i, const std::vector<Rect>& origRect)
      : prev(GridOf(oGIF, i, origRect[size_t(i)])),
        cur(GridOf(oGIF, int16_t(i + 1), origRect[size_t(i + 1)])),
        prevLeft(origRect[size_t(i)].left),
        prevTop(origRect[size_t(i)].top),
        curLeft(origRect[size_t(i + 1)].left),
        curTop(origRect[size_t(i + 1)].top),
        prevPal(ColorsOf(oGIF.lpFramePalette(i))),
        curPal(ColorsOf(oGIF.lpFramePalette(int16_t(i + 1)))),
        prevTC(TransparentIndexOf(oGIF, i)),
        curTC(TransparentIndexOf(oGIF, int16_t(i + 1))) {}

  // Mode 0: the later frame shows something else at (x, y) than the earlier one: another colour,
  // or one of the two pixels is transparent and the other is not.
  bool Differs(int32_t x, int32_t y) const {
    const uint8_t p = prev.Row(y - prevTop)[x - prevLeft];
    const uint8_t c = cur.Row(y - curTop)[x - curLeft];
    return curPal[c] != prevPal[p] || ((c == curTC) != (p == prevTC));
  }

  // Mode 1: later pixels that show the colour the earlier frame shows become transparent; later
  // is the later frame's grid, taken for writing.
  void MaskUnchanged(const Rect& isect, const PixelGrid& later) const {
    const uint8_t transparent = uint8_t(curTC);
    for (int32_t y = isect.top; y < isect.bottom; ++y) {
      const uint8_t* p = prev.Row(y - prevTop) + (isect.left - prevLeft);
      uint8_t* c = later.Row(y - curTop) + (isect.left - curLeft);
      for (int32_t x = isect.left; x < isect.right; ++x, ++p, ++c) {
        if (*p != prevTC && curPal[*c] == prevPal[*p]) *c = transparent;
      }
    }
  }
};

// Mode 0: whether frame k, which changes nothing, may go. Its time is then added to the frame
// before, which must still be showing then: a frame before that is taken away left the cleared
// screen on show. A frame that reaches past the screen stays unless the frame before covers it,
// for viewers that widen the screen to hold every frame.
bool MayDrop(const cGIF& oGIF, int16_t k, const std::vector<Rect>& origRect) {
  if (TakenAway(oGIF.FrameDisposalMethod(k)) ||
      TakenAway(oGIF.FrameDisposalMethod(int16_t(k - 1)))) {
    return false;
  }
  const Rect& rect = origRect[size_t(k)];
  const bool covered = !rect.Empty() && Intersect(origRect[size_t(k - 1)], rect) == rect;
  return covered || !FrameReachesPastScreen(oGIF, k);
}

// Mode 0: whether a frame may be cut down to what changed. Disposal 2 clears the frame's whole
// rectangle when its time is up, and a frame past the screen may widen some viewers' screens:
// both keep their rectangles.
bool MayCrop(const cGIF& oGIF, int16_t j) {
  return oGIF.FrameDisposalMethod(j) != 2 && !FrameReachesPastScreen(oGIF, j);
}

}  // namespace

bool OptimizeFrameDifferences(cGIF& oGIF, OptimizationMode eOM) {
  if (eOM != CropChangedArea && eOM != MaskUnchangedPixels) return true;
  try {
    const int16_t n = oGIF.FramesCount();
    // Tables indexed by frame number; entry 0 is unused.
    std::vector<Rect> origRect(size_t(n) + 1);
    std::vector<Rect> newRect(size_t(n) + 1);
    std::vector<bool> changed(size_t(n) + 1, false);
    for (int16_t i : FrameNumbers(1, n)) origRect[size_t(i)] = FrameRect(oGIF, i);

    if (eOM == MaskUnchangedPixels) AddTransparentColors(oGIF, origRect);

    if (eOM == MaskUnchangedPixels) {
      // From the last pair backwards, so that the earlier frame of every pair is still unchanged.
      for (int16_t i = int16_t(n - 1); i >= 1; --i) {
        const Rect isect = Intersect(origRect[size_t(i)], origRect[size_t(i + 1)]);
        if (TakenAway(oGIF.FrameDisposalMethod(i)) || isect.Empty() ||
            !oGIF.FrameUseTransparentColor(int16_t(i + 1))) {
          continue;
        }
        const PixelGrid later = GridOf(oGIF, int16_t(i + 1), origRect[size_t(i + 1)]);
        FramePair(std::as_const(oGIF), i, origRect).MaskUnchanged(isect, later);
      }
      return true;
    }

    // Mode 0 only reads until every pair is compared, so the pairs are compared in parallel.
    std::vector<uint8_t> cropped(size_t(n) + 1, 0);
    ParallelFor(oGIF.Workers(), size_t(n > 1 ? n - 1 : 0), [&](size_t k) {
      const int16_t i = int16_t(k + 1);  // the pair of frames i and i + 1
      const Rect& later = origRect[size_t(i + 1)];
      const Rect isect = Intersect(origRect[size_t(i)], later);
      newRect[size_t(i + 1)] = later;
      if (TakenAway(oGIF.FrameDisposalMethod(i)) || isect.Empty() || isect != later) return;
      const FramePair pair(std::as_const(oGIF), i, origRect);
      newRect[size_t(i + 1)] =
          FindPixelBounds(isect.left, isect.top, isect.right - 1, isect.bottom - 1,
                          [&pair](int32_t x, int32_t y) { return pair.Differs(x, y); });
      cropped[size_t(i + 1)] = newRect[size_t(i + 1)] != isect;
    });
    for (size_t k = 0; k < cropped.size(); ++k) changed[k] = cropped[k] != 0;

    // Frames that change nothing go; their time goes to the frame before. The tables follow the
    // new numbering.
    DropEmptyFrames(oGIF, newRect, changed, [&](int16_t k) { return MayDrop(oGIF, k, origRect); });

    // Each crop changes only its own frame.
    ParallelFor(oGIF.Workers(), size_t(std::max<int16_t>(oGIF.FramesCount() - 1, 0)),
                [&](size_t k) {
                  const int16_t j = int16_t(k + 2);
                  if (!changed[size_t(j)] || newRect[size_t(j)].Empty() || !MayCrop(oGIF, j)) {
                    return;
                  }
                  const Rect frame = FrameRect(oGIF, j);
                  CropFrame(oGIF, j, newRect[size_t(j)].Offset(-frame.left, -frame.top));
                });
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace lumatrim::mGIFOptimizer
