// A palette may hold one colour at several indices. Frames that send all of them make the LZW
// encoder see different values where the picture has one, so each frame's pixels are moved to the
// first index of their colour; entries no pixel uses any more are dropped by the palette passes
// after it. Lossless: a pixel keeps its colour, and the transparent index is never a colour.
#pragma once

#include "gif/gif_document.h"

namespace lumatrim::best {

// Renumbers the pixels of every frame as above. Palettes are left as they are.
void MergeRepeatedColors(cGIF& gif);

}  // namespace lumatrim::best
