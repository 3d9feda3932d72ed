// The smallest output the optimizer can make without changing how a file looks: the palette
// passes of the default pipeline, frames compared with what the screen shows before them, and
// image data from the encoder that chooses between equally good pixel values and the smallest
// LZW code size.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "gif/gif_document.h"
#include "optimizer/pipeline.h"

namespace lumatrim::best {

// Optimizes the loaded document in place for the smallest file and answers its bytes, or why
// there are none. The mode and the palette option of options are not used (every frame gets the
// better of cropping and masking); interlacing, comments and the memory budget are as in the
// default pipeline. loadInput, when given, loads what oGIF was loaded from into a fresh document
// (false when it can't, or when what it would load is no longer the same): other ways of
// reducing it are then tried on fresh copies (palettes grown for transparency, and the default
// pipeline, which the answer is never larger than), and the answer may be theirs.
using InputLoader = std::function<bool(cGIF& doc)>;
Result<std::vector<uint8_t>> SmallestBytes(cGIF& oGIF, const ReductionOptions& options,
                                           const InputLoader& loadInput = {});

}  // namespace lumatrim::best
