#include "gif/frame_numbers.h"
#include "gif/geometry.h"
#include "optimizer/passes.h"
#include "optimizer/pixel_grid.h"

namespace lumatrim::mGIFOptimizer {

bool AnyFrameRestoresBackground(const cGIF& oGIF) {
  for (int16_t n : AllFrames(oGIF)) {
    if (oGIF.FrameDisposalMethod(n) == 2) return true;
  }
  return false;
}

bool FrameReachesPastScreen(const cGIF& oGIF, int16_t nFrame) {
  return Geometry(oGIF).ReachesPastScreen(nFrame);
}

}  // namespace lumatrim::mGIFOptimizer
