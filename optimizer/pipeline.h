// The optimization pipeline: the passes in their fixed order, the output options, and the save.
#pragma once

#include <string>

#include "gif/gif_document.h"
#include "optimizer/passes.h"

namespace lumatrim {

// Optimizes the loaded document in place and writes it to sPath. Answers the save's result;
// false as well when the pipeline was stopped before the save.
bool pvSaveOptimizedTmpGIF(cGIF& oGIF, const std::string& sPath,
                           mGIFOptimizer::OptimizationMode eOM, bool bSecondPaletteOptimization,
                           bool bDisableInterlacing, bool bRemoveComments);

}  // namespace lumatrim
