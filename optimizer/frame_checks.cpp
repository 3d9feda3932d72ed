#include "optimizer/passes.h"
#include "optimizer/pixel_grid.h"

namespace lumatrim::mGIFOptimizer {

bool AnyFrameRestoresBackground(const cGIF& oGIF) {
  for (int16_t n = 1; n <= oGIF.FramesCount(); ++n) {
    if (oGIF.FrameDisposalMethod(n) == 2) return true;
  }
  return false;
}

bool FrameReachesPastScreen(const cGIF& oGIF, int16_t nFrame) {
  // Positions and screen sizes are 16 bits without sign in the file: a frame at 65535 lies far
  // right of the screen, not one column left of it.
  const Rect r = FrameRect(oGIF, nFrame);
  const int32_t right = uint16_t(oGIF.FrameLeft(nFrame)) + (r.right - r.left);
  const int32_t bottom = uint16_t(oGIF.FrameTop(nFrame)) + (r.bottom - r.top);
  return right > uint16_t(oGIF.ScreenWidth()) || bottom > uint16_t(oGIF.ScreenHeight());
}

}  // namespace lumatrim::mGIFOptimizer
