#include "best/smallest.h"

#include <exception>
#include <memory>
#include <stdexcept>
#include <vector>

#include "best/frames.h"
#include "best/image_data.h"
#include "best/palette_order.h"
#include "best/repeated_colors.h"
#include "optimizer/passes.h"
#include "optimizer/pipeline.h"
#include "raster/system_memory.h"

namespace lumatrim::best {

namespace {

using namespace mGIFOptimizer;

// A file whose output is at least this large has freed enough memory by the end of its own
// encoding to give it back before loading the file again (on the 600-frame clip: 62.6 MB -> 54.7
// MB at the peak); for the shared real files, giving back after each file doubled the system
// time of --best.
constexpr size_t kReturnAfterOutputOf = size_t(1) << 20;

// How far the file has come once its own output is written; the other ways follow.
constexpr double kWrittenShare = 0.9;

struct Optimized {
  DocumentAlternatives alternatives;
  bool paletteFull = false;
};

// Runs the passes over a loaded document; answers what its frames may be encoded as.
Result<Optimized> Optimize(cGIF& oGIF, const ReductionOptions& options, bool growPalettes) {
  // A background index that names no colour of the loaded file must not come to name one.
  const bool backgroundNamesColor = BackgroundNamesColor(oGIF);

  NormalizeFrameProperties(oGIF);
  MergeRepeatedColors(oGIF);
  OptimizePalettes(oGIF, backgroundNamesColor);
  if (oGIF.FramesCount() > 1) MergeLocalPalettes(oGIF);
  ReducedFrames frames;
  if (ScreenFitsBudget(oGIF, options.screenBudget.value_or(options.memoryBudget))) {
    Result<ReducedFrames> reduced = ReduceFrames(oGIF, growPalettes);
    if (!reduced) return Failure{reduced.reason()};
    frames = std::move(*reduced);
  } else {
    // A screen too large to play: the default frame passes, which need no screen.
    if (oGIF.FramesCount() > 1) OptimizeFrameDifferences(oGIF, CropChangedArea);
    CropTransparentBorders(oGIF);
  }

  FinishForSaving(oGIF, options.disableInterlacing, options.removeComments, backgroundNamesColor);
  OrderIndices(oGIF, frames.alternatives);
  return Optimized{std::move(frames.alternatives), frames.paletteFull};
}

// The document loaded afresh, with the budget and threads of options; nothing when it does not
// load.
std::unique_ptr<cGIF> LoadAgain(const InputLoader& loadInput, const ReductionOptions& options) {
  auto doc = std::make_unique<cGIF>();
  doc->MemoryBudget(options.memoryBudget);
  doc->Workers(options.workers);
  if (!loadInput(*doc)) return nullptr;
  return doc;
}

// Keeps in shortest whichever is shorter of it and the file another way makes. The other way is
// only a try: when it fails, shortest stays, whole.
void KeepShorter(std::vector<uint8_t>& shortest, const Result<std::vector<uint8_t>>& other) {
  if (other && other->size() < shortest.size()) shortest = *other;
}

// The file of the grown palettes: palettes grown by an entry where a frame had no index to
// spare for transparency.
Result<std::vector<uint8_t>> GrownPaletteBytes(const InputLoader& loadInput,
                                               const ReductionOptions& options) {
  std::unique_ptr<cGIF> grown = LoadAgain(loadInput, options);
  if (!grown) return Failure{"the input does not load again"};
  Result<Optimized> roomy = Optimize(*grown, options, true);
  if (!roomy) return Failure{roomy.reason()};
  std::vector<uint8_t> bytes;
  const FrameEncoder encoder(*grown, roomy->alternatives, options.careful);
  if (!grown->SaveToMemoryLettingFramesGo(bytes, [&](int16_t n) { return encoder.Encode(n); })) {
    return Failure{grown->SaveError()};
  }
  return bytes;
}

// The default pipeline's file.
Result<std::vector<uint8_t>> DefaultBytes(const InputLoader& loadInput,
                                          const ReductionOptions& options) {
  std::unique_ptr<cGIF> doc = LoadAgain(loadInput, options);
  if (!doc) return Failure{"the input does not load again"};
  ReductionOptions plain = options;
  plain.best = false;
  // It comes after the file's own output: it moves the file on from there.
  if (options.progress) {
    plain.progress = [&](double f) {
      ReportProgress(options, kWrittenShare + (1 - kWrittenShare) * f);
    };
  }
  return OptimizeToBytes(*doc, plain);
}

}  // namespace

Result<std::vector<uint8_t>> SmallestBytes(cGIF& oGIF, const ReductionOptions& options,
                                           const InputLoader& loadInput) {
  try {
    std::vector<uint8_t> shortest;
    bool paletteFull = false;
    {
      Result<Optimized> tight = Optimize(oGIF, options, false);
      if (!tight) return Failure{tight.reason()};
      paletteFull = tight->paletteFull;
      // The document is done with once written, as after the default pipeline; its
      // alternatives go too before the other ways are tried.
      const FrameEncoder encoder(oGIF, tight->alternatives, options.careful);
      // The frames are encoded as they are written: the file moves on with each.
      constexpr double kBefore = kLoadShare + kPassesShare;
      ReportProgress(options, kBefore);
      if (options.progress) {
        oGIF.ProgressReport(
            [&](double f) { ReportProgress(options, kBefore + (kWrittenShare - kBefore) * f); });
      }
      const bool saved =
          oGIF.SaveToMemoryLettingFramesGo(shortest, [&](int16_t n) { return encoder.Encode(n); });
      oGIF.ProgressReport({});
      if (!saved) return Failure{oGIF.SaveError()};
    }
    // What the encoding held goes back before the other ways load the file afresh, where that
    // is much: giving back costs system time that a small file's few pages do not repay.
    if (shortest.size() >= kReturnAfterOutputOf) ReturnFreedMemory();
    if (loadInput) {
      if (paletteFull) KeepShorter(shortest, GrownPaletteBytes(loadInput, options));
      // Never larger than the default pipeline's file.
      KeepShorter(shortest, DefaultBytes(loadInput, options));
    }
    return shortest;
  } catch (...) {
    return FailureIn("the smallest output", ReasonOfCurrentException());
  }
}

}  // namespace lumatrim::best
