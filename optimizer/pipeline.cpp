#include "optimizer/pipeline.h"
#include "gif/frame_numbers.h"

#include <exception>

namespace lumatrim {

namespace {

using namespace mGIFOptimizer;

void OptimizePalettes(cGIF& oGIF, bool backgroundNamesColor) {
  OptimizeGlobalPalette(oGIF, backgroundNamesColor);
  const int16_t n = oGIF.FramesCount();
  for (int16_t i : FrameNumbers(1, n)) OptimizeLocalPalette(oGIF, i);
}

// Entries of the colour table the writer pads the global palette to.
int32_t PaddedGlobalEntries(const cGIF& oGIF) {
  int32_t padded = 2;
  while (padded < oGIF.GlobalPaletteEntries()) padded *= 2;
  return padded;
}

}  // namespace

bool pvSaveOptimizedTmpGIF(cGIF& oGIF, const std::string& sPath, OptimizationMode eOM,
                           bool bSecondPaletteOptimization, bool bDisableInterlacing,
                           bool bRemoveComments) {
  try {
    // A background index that names no colour of the loaded file must not come to name one.
    const bool backgroundNamesNoColor =
        !oGIF.GlobalPaletteExists() ||
        oGIF.ScreenBackgroundColorIndex() >= oGIF.GlobalPaletteEntries();

    NormalizeFrameProperties(oGIF);
    OptimizePalettes(oGIF, !backgroundNamesNoColor);
    if (oGIF.FramesCount() > 1) MergeLocalPalettes(oGIF);
    if (oGIF.FramesCount() > 1) OptimizeFrameDifferences(oGIF, eOM);
    CropTransparentBorders(oGIF);
    if (bSecondPaletteOptimization && oGIF.FramesCount() > 1) {
      OptimizePalettes(oGIF, !backgroundNamesNoColor);
      MergeLocalPalettes(oGIF);
    }
    const int16_t n = oGIF.FramesCount();
    if (bDisableInterlacing) {
      for (int16_t i : FrameNumbers(1, n)) oGIF.FrameInterlaced(i, false);
    }
    if (bRemoveComments) {
      for (int16_t i : FrameNumbers(1, n)) oGIF.FrameCommentRemoveAll(i);
      oGIF.TrailingCommentRemoveAll();
    }
    if (backgroundNamesNoColor && oGIF.GlobalPaletteExists()) {
      const int32_t padded = PaddedGlobalEntries(oGIF);
      if (padded < 256 && oGIF.ScreenBackgroundColorIndex() < padded) {
        oGIF.ScreenBackgroundColorIndex(255);
      }
    }
    return oGIF.Save(sPath);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace lumatrim
