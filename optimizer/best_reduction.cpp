#include "optimizer/best_reduction.h"

#include <exception>
#include <optional>
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
    const bool hasPixels = surface.BPP() == 8 && surface.lpBits() != nullptr &&
                           surface.Width() > 0 && surface.Height() > 0;
    const size_t width = hasPixels ? size_t(surface.Width()) : 0;
    const size_t height = hasPixels ? size_t(surface.Height()) : 0;
    const PixelAlternatives* alternatives =
        size_t(n) < alternatives_.size() ? &alternatives_[size_t(n)] : nullptr;
    if (alternatives != nullptr &&
        (alternatives->empty() || alternatives->size() != width * height)) {
      alternatives = nullptr;
    }
    pixels_.clear();
    choices_.clear();
    for (InterlaceRows rows(int32_t(height), gif_.FrameInterlaced(n)); !rows.Done(); rows.Next()) {
      const uint8_t* row =
          surface.lpBits() + size_t(rows.Row()) * size_t(surface.BytesPerScanline());
      pixels_.insert(pixels_.end(), row, row + width);
      if (alternatives != nullptr) {
        const auto from = alternatives->begin() + std::ptrdiff_t(size_t(rows.Row()) * width);
        choices_.insert(choices_.end(), from, from + std::ptrdiff_t(width));
      }
    }

    const int ownSize = lzw_choices::SmallestCodeSize(pixels_);
    const size_t start = out.size();
    out.push_back(uint8_t(ownSize));
    encoder_.Encode(out, pixels_, pixels_, ownSize);
    if (alternatives == nullptr) return;

    // Every alternative taken (the transparent index wherever it will do), and the encoder's
    // free choice pixel by pixel.
    const int choiceSize = std::max(ownSize, lzw_choices::SmallestCodeSize(choices_));
    Try(out, start, choices_, choices_, lzw_choices::SmallestCodeSize(choices_));
    Try(out, start, pixels_, choices_, choiceSize);
  }

 private:
  // Encodes values (or their alternatives) and keeps the result in place of the image data from
  // start on when it is shorter.
  void Try(std::vector<uint8_t>& out, size_t start, const std::vector<uint8_t>& values,
           const std::vector<uint8_t>& alternatives, int codeSize) {
    trial_.clear();
    trial_.push_back(uint8_t(codeSize));
    encoder_.Encode(trial_, values, alternatives, codeSize);
    if (trial_.size() < out.size() - start) {
      out.resize(start);
      out.insert(out.end(), trial_.begin(), trial_.end());
    }
  }

  const cGIF& gif_;
  std::vector<PixelAlternatives> alternatives_;
  lzw_choices::ChoiceEncoder encoder_;
  std::vector<uint8_t> pixels_;
  std::vector<uint8_t> choices_;
  std::vector<uint8_t> trial_;
};

struct Optimized {
  std::optional<FrameDataWriter> writer;
  bool paletteFull = false;
};

// Runs the passes over a loaded document; answers the writer of its image data.
Optimized Optimize(cGIF& oGIF, const ReductionOptions& options, bool growPalettes) {
  // A background index that names no colour of the loaded file must not come to name one.
  const bool backgroundNamesNoColor =
      !oGIF.GlobalPaletteExists() ||
      oGIF.ScreenBackgroundColorIndex() >= oGIF.GlobalPaletteEntries();

  NormalizeFrameProperties(oGIF);
  OptimizePalettes(oGIF);
  if (oGIF.FramesCount() > 1) MergeLocalPalettes(oGIF);
  auto frames = ReduceFrames(oGIF, options.memoryBudget, growPalettes);
  if (!frames) {
    // A screen too large to play: the default frame passes, which need no screen.
    if (oGIF.FramesCount() > 1) OptimizeFrameDifferences(oGIF, CropChangedArea);
    CropTransparentBorders(oGIF);
    frames.emplace();
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
  Optimized optimized;
  optimized.paletteFull = frames->paletteFull;
  optimized.writer.emplace(oGIF, std::move(frames->alternatives));
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
