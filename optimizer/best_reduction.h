// The smallest output the optimizer can make without changing how a file looks: the palette
// passes of the default pipeline, frames compared with what the screen shows before them, and
// image data from the encoder that chooses between equally good pixel values and the smallest
// LZW code size.
#pragma once

#include <string>

#include "gif/gif_document.h"
#include "optimizer/reduction.h"

namespace lumatrim::best {

// Optimizes the loaded document in place for the smallest file and writes it to path. The mode
// and the palette option of options are not used (every frame gets the better of cropping and
// masking); interlacing, comments and the memory budget are as in the default pipeline. Answers
// whether the file was written. inputPath, when given, is the file oGIF was loaded from: a second
// way of reducing it may then be tried on a fresh copy.
bool SaveSmallest(cGIF& oGIF, const std::string& path, const ReductionOptions& options,
                  const std::string& inputPath = {});

}  // namespace lumatrim::best
