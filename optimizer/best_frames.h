// Frame differencing for the smallest output: every frame is compared with what the screen shows
// just before it (all earlier frames drawn and taken away as a viewer does), not only with the
// frame before it. A frame is cropped to the pixels that change what is shown and dropped when
// it changes nothing; every pixel it keeps that would not change the screen may be sent either as
// its own index or as the frame's transparent index, and the encoder picks whichever compresses
// better. A frame that has no transparent index gets one where its palette has an index that none
// of its pixels uses.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "gif/gif_document.h"

namespace lumatrim::best {

// For one frame, in the frame's row order (top to bottom, Width values a row): the value each
// pixel may be sent as instead of its own (its own where there is no choice). Empty when the
// frame has no choices.
using PixelAlternatives = std::vector<uint8_t>;

// Crops, drops and gives transparency to the frames of oGIF as described above, and answers the
// alternatives of each remaining frame (element 0 unused, 1 to FramesCount). Frames are left as
// they are where a frame lies partly outside the screen or holds no 8-bit pixels; the answer then
// has no choices for them. A failure part way leaves every frame showing what it showed. Answers
// nothing, and changes nothing, when the screen is too large to play within memoryBudget bytes.
std::optional<std::vector<PixelAlternatives>> ReduceFrames(cGIF& oGIF, uint64_t memoryBudget);

}  // namespace lumatrim::best
