// The optimization pipeline: the passes in their fixed order, the output options, and the save.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gif/gif_document.h"
#include "optimizer/passes.h"

namespace lumatrim {

// The options of a reduction; the defaults are the fixed options of the window's run.
struct ReductionOptions {
  mGIFOptimizer::OptimizationMode mode = mGIFOptimizer::CropChangedArea;
  bool secondPaletteOptimization = false;
  bool disableInterlacing = true;
  bool removeComments = true;
  // The smallest output instead of the fixed pipeline (mode and second pass then don't apply).
  bool best = false;
  // With best: no image data codes on against a full LZW dictionary without a clear code.
  bool careful = false;
  uint64_t memoryBudget = cGIF::kDefaultMemoryBudget;
  // With best: the memory the screen may be played in (it is played only where it fits), which
  // is less than the budget by what the rest holds; unset, the budget.
  std::optional<uint64_t> screenBudget;
  // Threads the document's frames may be shared out to; none: the calling thread alone.
  WorkPool* workers = nullptr;
  // Told how far the file has come, from 0 to 1, on the thread reducing it; none by default.
  std::function<void(double)> progress;
};

// The shares of one file's work the progress gives the load and the passes; the save has the rest.
inline constexpr double kLoadShare = 0.3;
inline constexpr double kPassesShare = 0.3;

// Tells options' progress, if any, that the file has come this far.
void ReportProgress(const ReductionOptions& options, double fraction);

// Optimizes the loaded document in place with options (best aside) and answers the file's bytes,
// or which step failed and why. The document is done with: its frames' pixels go as they are
// written.
Result<std::vector<uint8_t>> OptimizeToBytes(cGIF& oGIF, const ReductionOptions& options);

// Optimizes the loaded document in place and writes it to sPath. Answers the save's result;
// false as well when the pipeline was stopped before the save.
bool pvSaveOptimizedTmpGIF(cGIF& oGIF, const std::string& sPath,
                           mGIFOptimizer::OptimizationMode eOM, bool bSecondPaletteOptimization,
                           bool bDisableInterlacing, bool bRemoveComments);

// Steps of the pipeline that the --best path shares.

// Whether the background index names a colour of the document as it is now (call it on the
// loaded file: later passes may widen the palette past the index).
bool BackgroundNamesColor(const cGIF& oGIF);

// Compacts the global palette, then every local one.
void OptimizePalettes(cGIF& oGIF, bool backgroundNamesColor);

// The output options: interlacing and comments dropped as asked, and a background that named
// no colour of the loaded file moved to 255 so that it names none of the written table either.
void FinishForSaving(cGIF& oGIF, bool bDisableInterlacing, bool bRemoveComments,
                     bool backgroundNamesColor);

}  // namespace lumatrim
