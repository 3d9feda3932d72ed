// Orders the global palette so that the colours most frames use come first. A frame's LZW code
// size follows the largest index it sends, so a frame whose colours all sit low in the table
// starts with shorter codes. Lossless: every pixel, alternative, transparent and background index
// follows its colour.
#pragma once

#include <vector>

#include "best/frames.h"
#include "gif/gif_document.h"

namespace lumatrim::best {

// Reorders the global palette (padded to its table size, whose spare entries may serve frames as
// transparent indices) and renumbers the frames that draw with it, and their alternatives; then
// moves each frame's transparent index (but frame 1's) to the lowest index that none of its
// pixels needs for its colour, for the same reason. One sweep over each frame does both.
void OrderIndices(cGIF& gif, DocumentAlternatives& alternatives);

}  // namespace lumatrim::best
