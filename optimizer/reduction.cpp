#include "optimizer/reduction.h"

#include "optimizer/best_reduction.h"
#include "optimizer/pipeline.h"

namespace lumatrim {

std::string ReducedFileName(std::string_view inputPath, char separator) {
  const size_t slash = inputPath.rfind(separator);
  std::string_view name = slash == std::string_view::npos ? inputPath : inputPath.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name) + "-reduced.gif";
}

std::string ReducedOutputPath(std::string_view inputPath, std::string_view outputFolder,
                              char separator) {
  return std::string(outputFolder) + separator + ReducedFileName(inputPath, separator);
}

ReductionResult ReduceFile(cGIF& oGIF, const std::string& inputPath,
                           const std::string& outputFolder, const ReductionOptions& options,
                           char separator) {
  ReductionResult result;
  result.outputPath = ReducedOutputPath(inputPath, outputFolder, separator);
  oGIF.MemoryBudget(options.memoryBudget);
  if (!oGIF.LoadFromFile(inputPath)) {
    result.status = ReductionStatus::NotLoaded;
    result.reason = oGIF.LoadError();
    return result;
  }
  result.note = oGIF.LoadNote();
  const bool saved =
      options.best ? best::SaveSmallest(oGIF, result.outputPath, options, inputPath)
                   : pvSaveOptimizedTmpGIF(oGIF, result.outputPath, options.mode,
                                           options.secondPaletteOptimization,
                                           options.disableInterlacing, options.removeComments);
  result.status = saved ? ReductionStatus::Reduced : ReductionStatus::NotSaved;
  return result;
}

}  // namespace lumatrim
