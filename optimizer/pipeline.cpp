#include "optimizer/pipeline.h"

#include <algorithm>

#include "gif/color_table.h"
#include "gif/frame_numbers.h"

namespace lumatrim {

using namespace mGIFOptimizer;

bool BackgroundNamesColor(const cGIF& oGIF) {
  return oGIF.GlobalPaletteExists() &&
         oGIF.ScreenBackgroundColorIndex() < oGIF.GlobalPaletteEntries();
}

void OptimizePalettes(cGIF& oGIF, bool backgroundNamesColor) {
  OptimizeGlobalPalette(oGIF, backgroundNamesColor);
  for (int16_t i : AllFrames(oGIF)) OptimizeLocalPalette(oGIF, i);
}

void FinishForSaving(cGIF& oGIF, bool bDisableInterlacing, bool bRemoveComments,
                     bool backgroundNamesColor) {
  for (int16_t i : AllFrames(oGIF)) {
    if (bDisableInterlacing) oGIF.FrameInterlaced(i, false);
    if (bRemoveComments) oGIF.FrameCommentRemoveAll(i);
  }
  if (bRemoveComments) oGIF.TrailingCommentRemoveAll();
  if (!backgroundNamesColor && oGIF.GlobalPaletteExists()) {
    const int32_t padded = TableEntries(oGIF.GlobalPaletteEntries());
    if (padded < 256 && oGIF.ScreenBackgroundColorIndex() < padded) {
      oGIF.ScreenBackgroundColorIndex(255);
    }
  }
}

namespace {

// The passes in their fixed order and the output options, without the save. A failure names the
// pass it happened in.
Status RunPasses(cGIF& oGIF, const ReductionOptions& options) {
  const char* pass = "the optimization";
  try {
    // A background index that names no colour of the loaded file must not come to name one.
    const bool backgroundNamesColor = BackgroundNamesColor(oGIF);

    // Each pass in turn, and how far it brings the file. Whether a pass applies is asked as it
    // comes: frame differences may leave a single frame.
    int done = 0;
    const auto run = [&](const char* name, bool applies, const auto& body) {
      pass = name;
      if (applies) body();
      ReportProgress(options, kLoadShare + kPassesShare * ++done / 6);
    };
    run("normalizing the frames", true, [&] { NormalizeFrameProperties(oGIF); });
    run("the palettes", true, [&] { OptimizePalettes(oGIF, backgroundNamesColor); });
    run("merging local palettes", oGIF.FramesCount() > 1, [&] { MergeLocalPalettes(oGIF); });
    run("frame differences", oGIF.FramesCount() > 1,
        [&] { OptimizeFrameDifferences(oGIF, options.mode); });
    run("transparent borders", true, [&] { CropTransparentBorders(oGIF); });
    run("the second palette pass", options.secondPaletteOptimization && oGIF.FramesCount() > 1,
        [&] {
          OptimizePalettes(oGIF, backgroundNamesColor);
          MergeLocalPalettes(oGIF);
        });
    pass = "finishing for saving";
    FinishForSaving(oGIF, options.disableInterlacing, options.removeComments, backgroundNamesColor);
    return {};
  } catch (...) {
    return FailureIn(pass, ReasonOfCurrentException());
  }
}

}  // namespace

void ReportProgress(const ReductionOptions& options, double fraction) {
  if (options.progress) options.progress(std::clamp(fraction, 0.0, 1.0));
}

Result<std::vector<uint8_t>> OptimizeToBytes(cGIF& oGIF, const ReductionOptions& options) {
  if (Status passes = RunPasses(oGIF, options); !passes) return Failure{passes.reason()};
  std::vector<uint8_t> bytes;
  if (options.progress) {
    constexpr double kBefore = kLoadShare + kPassesShare;
    oGIF.ProgressReport([&](double f) { ReportProgress(options, kBefore + (1 - kBefore) * f); });
  }
  const bool saved = oGIF.SaveToMemoryLettingFramesGo(bytes);
  oGIF.ProgressReport({});
  if (!saved) return Failure{oGIF.SaveError()};
  return bytes;
}

bool pvSaveOptimizedTmpGIF(cGIF& oGIF, const std::string& sPath, OptimizationMode eOM,
                           bool bSecondPaletteOptimization, bool bDisableInterlacing,
                           bool bRemoveComments) {
  ReductionOptions options;
  options.mode = eOM;
  options.secondPaletteOptimization = bSecondPaletteOptimization;
  options.disableInterlacing = bDisableInterlacing;
  options.removeComments = bRemoveComments;
  return RunPasses(oGIF, options) && oGIF.Save(sPath);
}

}  // namespace lumatrim
