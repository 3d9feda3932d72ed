#include "optimizer/best_reduction.h"

#include <exception>
#include <optional>
#include <stdexcept>
#include <vector>

#include "optimizer/best_frames.h"
#include "optimizer/best_image_data.h"
#include "optimizer/best_palette_order.h"
#include "optimizer/best_repeated_colors.h"
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
  std::optional<FrameDataWriter> writer;
  bool paletteFull = false;
};

// Runs the passes over a loaded document; answers the writer of its image data.
Optimized Optimize(cGIF& oGIF, const ReductionOptions& options, bool growPalettes) {
  // A background index that names no colour of the loaded file must not come to name one.
  const bool backgroundNamesColor = BackgroundNamesColor(oGIF);

  NormalizeFrameProperties(oGIF);
  MergeRepeatedColors(oGIF);
  OptimizePalettes(oGIF, backgroundNamesColor);
  if (oGIF.FramesCount() > 1) MergeLocalPalettes(oGIF);
  auto frames = ReduceFrames(oGIF, options.memoryBudget, growPalettes);
  if (!frames) {
    // A screen too large to play: the default frame passes, which need no screen.
    if (oGIF.FramesCount() > 1) OptimizeFrameDifferences(oGIF, CropChangedArea);
    CropTransparentBorders(oGIF);
    frames.emplace();
  }

  FinishForSaving(oGIF, options.disableInterlacing, options.removeComments, backgroundNamesColor);
  Optimized optimized;
  optimized.paletteFull = frames->paletteFull;
  OrderGlobalPalette(oGIF, frames->alternatives);
  LowerTransparentIndices(oGIF, frames->alternatives);
  optimized.writer.emplace(EncodeFrames(oGIF, frames->alternatives));
  return optimized;
}

}  // namespace

bool SaveSmallest(cGIF& oGIF, const std::string& path, const ReductionOptions& options,
                  const std::string& inputPath) {
  try {
    Optimized tight = Optimize(oGIF, options, false);
    if (tight.paletteFull && !inputPath.empty()) {
      // Some frame had no index to spare for transparency: try again with palettes grown by an
      // entry where that helps, and keep whichever file is smaller.
      std::vector<uint8_t> tightBytes, grownBytes;
      cGIF grown;
      grown.MemoryBudget(options.memoryBudget);
      if (oGIF.SaveToMemory(tightBytes, std::ref(*tight.writer)) && grown.LoadFromFile(inputPath)) {
        Optimized roomy = Optimize(grown, options, true);
        if (grown.SaveToMemory(grownBytes, std::ref(*roomy.writer)) &&
            grownBytes.size() < tightBytes.size()) {
          return grown.Save(path, std::ref(*roomy.writer));
        }
      }
    }
    return oGIF.Save(path, std::ref(*tight.writer));
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace lumatrim::best
