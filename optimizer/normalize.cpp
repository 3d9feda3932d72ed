// Frame property normalization: the first pass. Afterwards every frame that keeps a transparent
// colour has a pixel of that index (so palette compaction keeps the entry), disposals that show
// nothing are 0, and every palette covers the transparent indices and pixels that refer to it.
#include <exception>

#include "gif/frame_numbers.h"
#include "gif/lzw_encoder.h"
#include "optimizer/passes.h"
#include "optimizer/pixel_grid.h"

namespace lumatrim::mGIFOptimizer {

namespace {

// The largest index a pixel of the frame carries, or -1 when it has no pixels.
int32_t LargestPixel(const cGIF& oGIF, int16_t nFrame) {
  const std::shared_ptr<const cDIB> image = oGIF.FrameDIBXOR(nFrame);
  return image->lpBits() ? mGIFLZWEnc::LargestIndex(*image) : -1;
}

// Drops the transparent colour of every frame without a pixel of it, and sets the index of
// frames without one to 0. Frame 1 may keep a transparent colour that no pixel carries; that is
// decided once the disposals are final: answers whether frame 1's is such a one.
bool DropUnusedTransparency(cGIF& oGIF) {
  bool firstTransparentUnused = false;
  for (int16_t i : FrameNumbers(1, oGIF.FramesCount())) {
    if (oGIF.FrameUseTransparentColor(i)) {
      if (FrameHasPixel(oGIF, i, oGIF.FrameTransparentColorIndex(i))) continue;
      if (i == 1) {
        firstTransparentUnused = true;
        continue;
      }
      oGIF.FrameUseTransparentColor(i, false);
    }
    oGIF.FrameTransparentColorIndex(i, 0);
  }
  return firstTransparentUnused;
}

// A frame taken away and then covered completely by opaque pixels shows nothing of its
// disposal. Not so when the covering frame restores what was before it: it would bring the
// earlier frame's pixels back. The last frame's disposal shows nothing either.
void DropDisposalsThatShowNothing(cGIF& oGIF) {
  const int16_t n = oGIF.FramesCount();
  for (int16_t i : FrameNumbers(2, n)) {
    const Rect previous = FrameRect(oGIF, int16_t(i - 1));
    const Rect isect = Intersect(previous, FrameRect(oGIF, i));
    if (TakenAway(oGIF.FrameDisposalMethod(int16_t(i - 1))) && !oGIF.FrameUseTransparentColor(i) &&
        oGIF.FrameDisposalMethod(i) != 3 && !isect.Empty() && isect == previous) {
      oGIF.FrameDisposalMethod(int16_t(i - 1), 0);
    }
  }
  if (n > 0) oGIF.FrameDisposalMethod(n, 0);
}

// Palettes grow to the largest pixel: malformed files hold pixels beyond their palette, which
// show the empty (black) entry there. Once the palette covers them, compaction and merging keep
// them so instead of giving them the colour of an entry added later.
void GrowPalettesToLargestPixel(cGIF& oGIF) {
  const int16_t n = oGIF.FramesCount();
  if (oGIF.GlobalPaletteExists()) {
    int32_t highest = oGIF.GlobalPaletteEntries() - 1;
    for (int16_t i : FrameNumbers(1, n)) {
      if (!oGIF.LocalPaletteUsed(i)) {
        highest = std::max<int32_t>(highest, oGIF.FrameTransparentColorIndex(i));
        highest = std::max<int32_t>(highest, LargestPixel(oGIF, i));
      }
    }
    if (highest > oGIF.GlobalPaletteEntries() - 1) {
      SetGlobalPaletteEntries(oGIF, CheckedInt16(highest + 1));
    }
  }

  for (int16_t i : FrameNumbers(1, n)) {
    if (!oGIF.LocalPaletteUsed(i)) continue;
    int32_t highest = oGIF.LocalPaletteEntries(i) - 1;
    if (oGIF.FrameUseTransparentColor(i)) {
      highest = std::max<int32_t>(highest, oGIF.FrameTransparentColorIndex(i));
    }
    highest = std::max<int32_t>(highest, LargestPixel(oGIF, i));
    if (highest > oGIF.LocalPaletteEntries(i) - 1) {
      oGIF.LocalPaletteEntries(i, int16_t(highest + 1));
    }
  }
}

}  // namespace

bool NormalizeFrameProperties(cGIF& oGIF) {
  try {
    const bool firstTransparentUnused = DropUnusedTransparency(oGIF);
    DropDisposalsThatShowNothing(oGIF);
    // Viewers that paint the background where a frame with disposal 2 is taken away paint
    // transparency exactly when the first frame is transparent: frame 1 keeps that flag while a
    // frame is still taken away so.
    if (firstTransparentUnused && !AnyFrameRestoresBackground(oGIF)) {
      oGIF.FrameUseTransparentColor(1, false);
      oGIF.FrameTransparentColorIndex(1, 0);
    }
    // The background index is left as it is: when it lies beyond the global palette it names no
    // colour, and widening the palette to it would give it one.
    GrowPalettesToLargestPixel(oGIF);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace lumatrim::mGIFOptimizer
