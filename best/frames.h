// Frame differencing for the smallest output: every frame is compared with what the screen shows
// just before it (all earlier frames drawn and taken away as a viewer does), not only with the
// frame before it. A frame is cropped to the pixels that change what is shown and dropped when
// it changes nothing; every pixel it keeps that would not change the screen may be sent either as
// its own index or as the frame's transparent index, and the encoder picks whichever compresses
// better. A frame that has no transparent index gets one where its palette has an index that none
// of its pixels uses, or, with growPalettes, a new entry at the end of its palette (which may
// double the size of the table written). A frame taken away with disposal 2 that the next frame
// draws over wherever it showed something is left on the screen instead.
#pragma once

#include <cstdint>
#include <vector>

#include "best/alternatives.h"
#include "gif/gif_document.h"
#include "raster/result.h"

namespace lumatrim::best {

struct ReducedFrames {
  // The alternatives of each frame.
  DocumentAlternatives alternatives;
  // Some frame would have taken a transparent index but its palette had no index to spare.
  bool paletteFull = false;
};

// Whether the screen of oGIF, and a copy of it, can be played within memoryBudget bytes.
bool ScreenFitsBudget(const cGIF& oGIF, uint64_t memoryBudget);

// Crops, drops and gives transparency to the frames of oGIF as described above (its screen must
// fit the budget). Frames are left as they are where they lie partly outside the screen or hold
// no 8-bit pixels; they then have no choices. A failure part way says why, and leaves every frame
// showing what it showed.
Result<ReducedFrames> ReduceFrames(cGIF& oGIF, bool growPalettes);

}  // namespace lumatrim::best
