// mGIFOptimizer: the lossless passes over a loaded document. Each pass changes the document in
// place through its properties, catches its own failures, keeps what it changed so far and
// returns; the pipeline goes on with the next pass whatever happened.
#pragma once

#include <cstdint>
#include <optional>

#include "gif/gif_document.h"

namespace lumatrim::mGIFOptimizer {

// How frame differencing removes what a frame repeats of the frame before it.
enum OptimizationMode : int32_t {
  CropChangedArea = 0,      // crop to the changed rectangle, drop frames that change nothing
  MaskUnchangedPixels = 1,  // turn pixels that show the same colour into transparent ones
  NoDifferencing = 2,       // leave frame differencing out (so does any other value)
};

// Drops transparency no pixel uses and disposals without visible effect, and widens palettes to
// cover the background and transparent indices. True when it ran to the end.
bool NormalizeFrameProperties(cGIF& oGIF);

// Remove palette entries no pixel uses and renumber the pixels; answer the entries removed.
// backgroundNamesColor: whether the background index named a colour of the file as it was
// loaded (earlier passes may have widened the palette past it); unknown, it is judged from the
// palette as it is now.
int16_t OptimizeGlobalPalette(cGIF& oGIF, std::optional<bool> backgroundNamesColor = std::nullopt);
int16_t OptimizeLocalPalette(cGIF& oGIF, int16_t nFrame);

// Moves frames from their local palettes onto the global one where the colours fit; answers the
// number of frames moved.
int16_t MergeLocalPalettes(cGIF& oGIF);

// Compares every frame with the one before it and removes what it repeats. True when it ran to
// the end.
bool OptimizeFrameDifferences(cGIF& oGIF, OptimizationMode eOM);

// Crops frames to their non-transparent pixels and drops wholly transparent ones. True when it
// ran to the end.
bool CropTransparentBorders(cGIF& oGIF);

// Disposals 2 and 3 take a frame away after its delay; every other value leaves it on the screen.
inline bool TakenAway(int32_t disposal) {
  return disposal == 2 || disposal == 3;
}

// True when some frame is taken away with disposal 2: viewers then paint the background (or
// transparency, when the first frame is transparent) where it was.
bool AnyFrameRestoresBackground(const cGIF& oGIF);

// True when frame nFrame reaches past the right or bottom edge of the logical screen (some
// viewers widen the screen to hold every frame, so such a frame keeps its size).
bool FrameReachesPastScreen(const cGIF& oGIF, int16_t nFrame);

}  // namespace lumatrim::mGIFOptimizer
