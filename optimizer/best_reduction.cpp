#include "optimizer/best_reduction.h"

#include <exception>
#include <vector>

#include "gif/interlace.h"
#include "gif/lzw_encoder_choices.h"
#include "optimizer/best_frames.h"
#include "optimizer/passes.h"

namespace lumatrim::best {

namespace {

using namespace mGIFOptimizer;

void OptimizePalettes(cGIF& oGIF) {
  OptimizeGlobalPalette(oGIF);
  const int16_t n = oGIF.FramesCount();
  for (int16_t i = 1; i <= n; ++i) OptimizeLocalPalette(oGIF, i);
}

// Entries of the colour table the writer pads the global palette to.
int32_t PaddedGlobalEntries(const cGIF& oGIF) {
  int32_t padded = 2;
  while (padded < oGIF.GlobalPaletteEntries()) padded *= 2;
  return padded;
}

// Writes each frame's image data with the choice encoder: once with the frame's own pixels and
// once with their alternatives where it has some, each at the smallest code size its values
// allow, keeping the shorter.
class FrameDataWriter {
 public:
  FrameDataWriter(const cGIF& gif, std::vector<PixelAlternatives> alternatives)
      : gif_(gif), alternatives_(std::move(alternatives)) {}

  void operator()(std::vector<uint8_t>& out, int16_t n, int /*paletteBits*/) {
    const cDIB& surface = *gif_.FrameDIBXOR(n);
    pixels_.clear();
    choices_.clear();
    const bool hasPixels = surface.BPP() == 8 && surface.lpBits() != nullptr &&
                           surface.Width() > 0 && surface.Height() > 0;
    const PixelAlternatives* alternatives =
        size_t(n) < alternatives_.size() ? &alternatives_[size_t(n)] : nullptr;
    const size_t width = hasPixels ? size_t(surface.Width()) : 0;
    if (alternatives != nullptr &&
        alternatives->size() != width * size_t(std::max(surface.Height(), 0))) {
      alternatives = nullptr;
    }
    if (alternatives != nullptr && alternatives->empty()) alternatives = nullptr;
    if (hasPixels) {
      for (InterlaceRows rows(surface.Height(), gif_.FrameInterlaced(n)); !rows.Done();
           rows.Next()) {
        const uint8_t* row =
            surface.lpBits() + size_t(rows.Row()) * size_t(surface.BytesPerScanline());
        pixels_.insert(pixels_.end(), row, row + width);
        if (alternatives != nullptr) {
          const auto from = alternatives->begin() + std::ptrdiff_t(size_t(rows.Row()) * width);
          choices_.insert(choices_.end(), from, from + std::ptrdiff_t(width));
        }
      }
    }

    const int ownSize = lzw_choices::SmallestCodeSize(pixels_);
    out.push_back(uint8_t(ownSize));
    const size_t start = out.size();
    encoder_.Encode(out, pixels_, pixels_, ownSize);
    if (alternatives == nullptr) return;

    trial_.clear();
    const int choiceSize = std::max(ownSize, lzw_choices::SmallestCodeSize(choices_));
    trial_.push_back(uint8_t(choiceSize));
    encoder_.Encode(trial_, pixels_, choices_, choiceSize);
    if (trial_.size() < out.size() - start + 1) {
      out.resize(start - 1);
      out.insert(out.end(), trial_.begin(), trial_.end());
    }
  }

 private:
  const cGIF& gif_;
  std::vector<PixelAlternatives> alternatives_;
  lzw_choices::ChoiceEncoder encoder_;
  std::vector<uint8_t> pixels_;
  std::vector<uint8_t> choices_;
  std::vector<uint8_t> trial_;
};

}  // namespace

bool SaveSmallest(cGIF& oGIF, const std::string& path, const ReductionOptions& options) {
  try {
    // A background index that names no colour of the loaded file must not come to name one.
    const bool backgroundNamesNoColor =
        !oGIF.GlobalPaletteExists() ||
        oGIF.ScreenBackgroundColorIndex() >= oGIF.GlobalPaletteEntries();

    NormalizeFrameProperties(oGIF);
    OptimizePalettes(oGIF);
    if (oGIF.FramesCount() > 1) MergeLocalPalettes(oGIF);
    auto alternatives = ReduceFrames(oGIF, options.memoryBudget);
    if (!alternatives) {
      // A screen too large to play: the default frame passes, which need no screen.
      if (oGIF.FramesCount() > 1) OptimizeFrameDifferences(oGIF, CropChangedArea);
      CropTransparentBorders(oGIF);
      alternatives.emplace();
    }

    const int16_t n = oGIF.FramesCount();
    if (options.disableInterlacing) {
      for (int16_t i = 1; i <= n; ++i) oGIF.FrameInterlaced(i, false);
    }
    if (options.removeComments) {
      for (int16_t i = 1; i <= n; ++i) oGIF.FrameCommentRemoveAll(i);
      oGIF.TrailingCommentRemoveAll();
    }
    if (backgroundNamesNoColor && oGIF.GlobalPaletteExists()) {
      const int32_t padded = PaddedGlobalEntries(oGIF);
      if (padded < 256 && oGIF.ScreenBackgroundColorIndex() < padded) {
        oGIF.ScreenBackgroundColorIndex(255);
      }
    }
    FrameDataWriter writer(oGIF, std::move(*alternatives));
    return oGIF.Save(path, std::ref(writer));
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace lumatrim::best
