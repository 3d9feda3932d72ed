// The image data of each frame for the smallest file: the shortest of the frame's pixels, the
// transparent index wherever it will do, and the encoder's pixel-by-pixel choice between the
// two, each at the smallest LZW code size its values allow.
#pragma once

#include <cstdint>
#include <vector>

#include "best/frames.h"
#include "gif/gif_document.h"
#include "raster/work_pool.h"

namespace lumatrim::best {

// The LZW minimum code size byte and the data sub-blocks of one frame (no block terminator).
using ImageData = std::vector<uint8_t>;

struct EncodingOptions {
  // No image data codes on against a full dictionary without a clear code, for decoders that
  // mishandle it (the files come out a little larger).
  bool careful = false;
  // Threads the frames may be shared out to; the bytes never depend on them.
  WorkPool* workers = nullptr;
};

// Encodes every frame of gif (element 0 of the answer unused) given the alternatives of its
// pixels (as ReduceFrames answers them; a frame without an entry has none).
std::vector<ImageData> EncodeFrames(const cGIF& gif, const DocumentAlternatives& alternatives,
                                    const EncodingOptions& options);

}  // namespace lumatrim::best
