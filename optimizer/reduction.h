// One file of a reduction run, shared by the window and the command line: the output name, the
// load, the pipeline with the run's options, and the save.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "gif/gif_document.h"
#include "optimizer/passes.h"

namespace lumatrim {

// The options of a run; the defaults are the fixed options of the window's run.
struct ReductionOptions {
  mGIFOptimizer::OptimizationMode mode = mGIFOptimizer::CropChangedArea;
  bool secondPaletteOptimization = false;
  bool disableInterlacing = true;
  bool removeComments = true;
  // The smallest output instead of the fixed pipeline (mode and second pass then don't apply).
  bool best = false;
  uint64_t memoryBudget = cGIF::kDefaultMemoryBudget;
};

// The output file name for an input path: the file name (after the last separator) without its
// last "." and what follows, then "-reduced.gif". A name without a dot keeps all of it.
std::string ReducedFileName(std::string_view inputPath, char separator = '/');

// The output folder text verbatim, a separator, and the output file name.
std::string ReducedOutputPath(std::string_view inputPath, std::string_view outputFolder,
                              char separator = '/');

enum class ReductionStatus { Reduced, NotLoaded, NotSaved };

struct ReductionResult {
  ReductionStatus status = ReductionStatus::NotLoaded;
  std::string outputPath;
  std::string reason;  // why a file was not loaded, when known
  std::string note;    // what the load left out of a file that was reduced, if anything
};

// Loads inputPath into oGIF, optimizes it and writes it into outputFolder.
ReductionResult ReduceFile(cGIF& oGIF, const std::string& inputPath,
                           const std::string& outputFolder, const ReductionOptions& options,
                           char separator = '/');

}  // namespace lumatrim
