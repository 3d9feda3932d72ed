#include "best/smallest.h"

#include <exception>
#include <stdexcept>
#include <vector>

#include "best/frames.h"
#include "best/image_data.h"
#include "best/palette_order.h"
#include "best/repeated_colors.h"
#include "optimizer/passes.h"
#include "optimizer/pipeline.h"

namespace lumatrim::best {

namespace {

using namespace mGIFOptimizer;

// Hands the writer the image data chosen for each frame beforehand.
class FrameDataWriter {
 public:
  explicit FrameDataWriter(std::vector<ImageData> data) : data_(std::move(data)) {}

  void operator()(std::vector<uint8_t>& out, int16_t n, int /*paletteBits*/) const {
    if (size_t(n) >= data_.size() || data_[size_t(n)].empty()) {
      throw std::logic_error("no image data for a frame");
    }
    out.insert(out.end(), data_[size_t(n)].begin(), data_[size_t(n)].end());
  }

 private:
  std::vector<ImageData> data_;
};

struct Optimized {
  FrameDataWriter writer;
  bool paletteFull = false;
};

// Runs the passes over a loaded document; answers the writer of its image data.
Result<Optimized> Optimize(cGIF& oGIF, const ReductionOptions& options, bool growPalettes) {
  // A background index that names no colour of the loaded file must not come to name one.
  const bool backgroundNamesColor = BackgroundNamesColor(oGIF);

  NormalizeFrameProperties(oGIF);
  MergeRepeatedColors(oGIF);
  OptimizePalettes(oGIF, backgroundNamesColor);
  if (oGIF.FramesCount() > 1) MergeLocalPalettes(oGIF);
  ReducedFrames frames;
  if (ScreenFitsBudget(oGIF, options.memoryBudget)) {
    Result<ReducedFrames> reduced = ReduceFrames(oGIF, growPalettes);
    if (!reduced) return Failure{reduced.reason()};
    frames = std::move(*reduced);
  } else {
    // A screen too large to play: the default frame passes, which need no screen.
    if (oGIF.FramesCount() > 1) OptimizeFrameDifferences(oGIF, CropChangedArea);
    CropTransparentBorders(oGIF);
  }

  FinishForSaving(oGIF, options.disableInterlacing, options.removeComments, backgroundNamesColor);
  OrderGlobalPalette(oGIF, frames.alternatives);
  LowerTransparentIndices(oGIF, frames.alternatives);
  return Optimized{FrameDataWriter(EncodeFrames(oGIF, frames.alternatives)), frames.paletteFull};
}

}  // namespace

Result<std::vector<uint8_t>> SmallestBytes(cGIF& oGIF, const ReductionOptions& options,
                                           std::span<const uint8_t> input) {
  try {
    Result<Optimized> tight = Optimize(oGIF, options, false);
    if (!tight) return Failure{tight.reason()};
    std::vector<uint8_t> tightBytes;
    if (!oGIF.SaveToMemory(tightBytes, std::ref(tight->writer))) {
      return Failure{oGIF.SaveError()};
    }
    if (tight->paletteFull && !input.empty()) {
      // Some frame had no index to spare for transparency: try again with palettes grown by an
      // entry where that helps, and keep whichever file is smaller.
      cGIF grown;
      grown.MemoryBudget(options.memoryBudget);
      std::vector<uint8_t> grownBytes;
      if (grown.LoadFromStream(input)) {
        // A second way that fails leaves the first, which is whole.
        Result<Optimized> roomy = Optimize(grown, options, true);
        if (roomy && grown.SaveToMemory(grownBytes, std::ref(roomy->writer)) &&
            grownBytes.size() < tightBytes.size()) {
          return grownBytes;
        }
      }
    }
    return tightBytes;
  } catch (...) {
    return FailureIn("the smallest output", ReasonOfCurrentException());
  }
}

}  // namespace lumatrim::best
