#include "reduction/reduce_file.h"

#include <algorithm>
#include <functional>

#include "best/smallest.h"
#include "files/input_file.h"
#include "files/whole_file.h"
#include "gif/frame_numbers.h"

namespace lumatrim {

void AddNote(std::string& note, const std::string& more) {
  if (more.empty()) return;
  note += note.empty() ? more : "; " + more;
}

namespace {

// What --best holds besides the default pipeline's memory. Writing a frame: its pixels, its
// choices, the choices with the gaps of rows filled and its alternatives unpacked, in writing
// order, a byte a pixel each.
constexpr uint64_t kEncodingBytesPerFramePixel = 4;
// Playing the screen: 4 bytes a screen pixel, twice over under a frame with disposal 3 (the
// amount it checks for itself), and for the frame in hand what lies under it (4 bytes a pixel),
// what each pixel needs (2) and its alternatives both ways (1 each).
constexpr uint64_t kPlayingBytesPerScreenPixel = 8;
constexpr uint64_t kPlayingBytesPerFramePixel = 8;

// Where a loaded document came from: the input's bytes held meanwhile, and how --best loads it
// again for the other ways it weighs its output against.
struct LoadedFrom {
  uint64_t size = 0;       // the input's size
  uint64_t bytesHeld = 0;  // of those, held in memory meanwhile
  best::InputLoader loadAgain;
};

// The pixels a document's frames hold: the largest frame's, and all together.
struct HeldPixels {
  uint64_t largest = 0;
  uint64_t all = 0;
};

HeldPixels PixelsHeld(const cGIF& oGIF) {
  HeldPixels held;
  for (int16_t n : AllFrames(oGIF)) {
    const uint64_t pixels = uint64_t(std::max(oGIF.FrameSurfaceWidth(n), 0)) *
                            uint64_t(std::max(oGIF.FrameSurfaceHeight(n), 0));
    held.largest = std::max(held.largest, pixels);
    held.all += pixels;
  }
  return held;
}

// How --best may run within the memory budget.
struct BestPlan {
  bool fits = false;       // false: the default pipeline instead
  uint64_t needed = 0;     // bytes --best needs at the least (without playing the screen)
  uint64_t screen = 0;     // what --best is given to play the screen in: it plays when that fits
  bool secondTry = false;  // room for a second copy of the document (palettes grown)
};

BestPlan PlanBest(const cGIF& oGIF, uint64_t inputHeld, uint64_t budget) {
  const uint64_t largestPixels = PixelsHeld(oGIF).largest;
  // What the default pipeline holds: the packed frames, the frames kept unpacked and the two a
  // step works on (a byte of image and a bit of mask a pixel); and the input, where it is held.
  const uint64_t frames =
      oGIF.Frames().PackedBytes() + oGIF.FrameCacheSize() + 2 * (largestPixels + largestPixels / 8);
  const uint64_t held = inputHeld + frames;
  const uint64_t encoding = kEncodingBytesPerFramePixel * largestPixels;
  BestPlan plan;
  plan.needed = held + encoding;
  if (plan.needed > budget) return plan;
  plan.fits = true;
  const uint64_t screenPixels =
      uint64_t(uint16_t(oGIF.ScreenWidth())) * uint64_t(uint16_t(oGIF.ScreenHeight()));
  const uint64_t playing =
      kPlayingBytesPerScreenPixel * screenPixels + kPlayingBytesPerFramePixel * largestPixels;
  const bool plays = held + playing <= budget;
  // The room left once the frame in hand is counted; the screen alone is checked against it.
  plan.screen = plays ? budget - held - kPlayingBytesPerFramePixel * largestPixels : 0;
  plan.secondTry = held + frames + std::max(encoding, plays ? playing : 0) <= budget;
  return plan;
}

// Loads a file into oGIF with read; false, with the reason in reduced, when it is not a GIF it
// can read.
bool Load(cGIF& oGIF, bool empty, const std::function<bool()>& read,
          const ReductionOptions& options, ReducedBytes& reduced) {
  oGIF.MemoryBudget(options.memoryBudget);
  oGIF.Workers(options.workers);
  if (empty) {
    reduced.reason = "the file is empty";
    return false;
  }
  if (options.progress) {
    oGIF.ProgressReport([&](double f) { ReportProgress(options, kLoadShare * f); });
  }
  const bool loaded = read();
  oGIF.ProgressReport({});
  if (!loaded) {
    reduced.reason = oGIF.LoadError();
    return false;
  }
  if (oGIF.Damage().framesOverBudget > 0) {
    // Held without its pixels, such a frame would come out empty: the output would not show
    // what the input shows.
    reduced.reason = "over the memory budget: a frame alone needs more than " +
                     std::to_string(options.memoryBudget >> 20) + " MiB";
    return false;
  }
  reduced.note = oGIF.LoadNote();
  reduced.cutShort = oGIF.Damage().endsEarly;
  reduced.framesCutAtBadCode = !oGIF.Damage().framesCutAtBadCode.empty();
  return true;
}

// Loads a file, then answers whether its output may be made; a refusal comes after the load, so
// that the answer still says whether the input is a GIF.
bool LoadUnlessRefused(cGIF& oGIF, bool empty, const std::function<bool()>& read,
                       const ReductionOptions& options, const std::string& refusal,
                       ReducedBytes& reduced) {
  if (!Load(oGIF, empty, read, options, reduced)) return false;
  if (refusal.empty()) return true;
  reduced.status = ReductionStatus::NotSaved;
  reduced.reason = refusal;
  return false;
}

bool LoadUnlessRefused(cGIF& oGIF, std::span<const uint8_t> input, const ReductionOptions& options,
                       const std::string& refusal, ReducedBytes& reduced) {
  return LoadUnlessRefused(
      oGIF, input.empty(), [&] { return oGIF.LoadFromStream(input); }, options, refusal, reduced);
}

// --best goes over every pixel of every frame several times, and a small file can hold a
// gigapixel (frames of one colour coded as ever longer LZW strings, about 1400 pixels a byte).
// Real pictures come to a few dozen pixels a byte at most, so a file holding more than this many
// a byte, and more than kBestPixelsAlways in all, is reduced as by default, at a fraction of the
// cost.
constexpr uint64_t kBestPixelsPerInputByte = 256;
constexpr uint64_t kBestPixelsAlways = uint64_t(1) << 24;

// --best within the memory budget: the screen is played only where it fits beside the rest, a
// second way is tried only where a second copy of the document fits too, and a file --best can't
// work on within the budget, or holds far more pixels than real pictures of its size, is reduced
// as by default, with a note.
Result<std::vector<uint8_t>> SmallestWithin(cGIF& oGIF, const LoadedFrom& input,
                                            const ReductionOptions& options,
                                            ReducedBytes& reduced) {
  if (const uint64_t pixels = PixelsHeld(oGIF).all;
      pixels > kBestPixelsAlways && pixels / kBestPixelsPerInputByte > input.size) {
    AddNote(reduced.note, "--best would go over " + std::to_string(pixels / 1000000) +
                              " million pixels, more than real pictures of " +
                              std::to_string(input.size) + " bytes hold: reduced as without it");
    return OptimizeToBytes(oGIF, options);
  }
  const BestPlan plan = PlanBest(oGIF, input.bytesHeld, options.memoryBudget);
  if (!plan.fits) {
    AddNote(reduced.note, "--best would need about " + std::to_string((plan.needed >> 20) + 1) +
                              " MiB, more than the memory budget: reduced as without it");
    return OptimizeToBytes(oGIF, options);
  }
  // The fresh copies it weighs its output against load within the budget itself.
  ReductionOptions within = options;
  within.screenBudget = plan.screen;
  return best::SmallestBytes(oGIF, within, plan.secondTry ? input.loadAgain : best::InputLoader());
}

// Reduces the loaded document.
void Reduce(cGIF& oGIF, const LoadedFrom& input, const ReductionOptions& options,
            ReducedBytes& reduced) {
  Result<std::vector<uint8_t>> bytes =
      options.best ? SmallestWithin(oGIF, input, options, reduced) : OptimizeToBytes(oGIF, options);
  if (!bytes) {
    reduced.status = ReductionStatus::NotSaved;
    reduced.reason = bytes.reason();
    return;
  }
  reduced.status = ReductionStatus::Reduced;
  reduced.bytes = std::move(*bytes);
  ReportProgress(options, 1);
}

// Reads inputPath and reduces it, unless refusal says why its output may not be written (the
// file is still loaded, so that the answer says whether it is a GIF).
ReducedBytes ReadAndReduce(cGIF& oGIF, const std::string& inputPath, const std::string& refusal,
                           const ReductionOptions& options) {
  Result<InputFile> file = InputFile::Open(inputPath);
  if (!file) {
    ReducedBytes reduced;
    reduced.reason = file.reason();
    return reduced;
  }
  return ReduceOpenFile(oGIF, *file, options, refusal);
}

}  // namespace

ReducedBytes ReduceBytes(cGIF& oGIF, std::span<const uint8_t> input,
                         const ReductionOptions& options, const std::string& refusal) {
  ReducedBytes reduced;
  if (LoadUnlessRefused(oGIF, input, options, refusal, reduced)) {
    const LoadedFrom from{input.size(), input.size(),
                          [input](cGIF& doc) { return doc.LoadFromStream(input); }};
    Reduce(oGIF, from, options, reduced);
  }
  return reduced;
}

ReducedBytes ReduceOpenFile(cGIF& oGIF, InputFile& file, const ReductionOptions& options,
                            const std::string& refusal) {
  ReducedBytes reduced;
  if (LoadUnlessRefused(
          oGIF, file.size() == 0, [&] { return oGIF.LoadFromOpenFile(file); }, options, refusal,
          reduced)) {
    // A file another program changed since would not load as the document did.
    const auto loadAgain = [&file](cGIF& doc) {
      return !file.ChangedSinceOpened() && doc.LoadFromOpenFile(file) && !file.ChangedSinceOpened();
    };
    Reduce(oGIF, LoadedFrom{file.size(), 0, loadAgain}, options, reduced);
  }
  // The reader stops at the trailer: the file's size is what it read, unless the file changed.
  reduced.inputChanged = file.ChangedSinceOpened();
  reduced.bytesRead = reduced.inputChanged ? oGIF.LoadedBytes() : file.size();
  return reduced;
}

ReductionResult ReduceFile(cGIF& oGIF, const std::string& inputPath, const PlannedOutput& output,
                           const ReductionOptions& options) {
  ReductionResult result;
  result.outputPath = output.path;
  const ReducedBytes reduced = ReadAndReduce(oGIF, inputPath, output.refusal, options);
  result.bytesIn = reduced.bytesRead;
  result.inputChanged = reduced.inputChanged;
  result.status = reduced.status;
  result.reason = reduced.reason;
  result.note = reduced.note;
  result.cutShort = reduced.cutShort;
  result.framesCutAtBadCode = reduced.framesCutAtBadCode;
  if (result.inputChanged) AddNote(result.note, kInputChangedNote);
  if (reduced.status != ReductionStatus::Reduced) return result;
  if (Status written = WriteWholeFile(output.path, reduced.bytes); !written) {
    result.status = ReductionStatus::NotSaved;
    result.reason = written.reason();
    return result;
  }
  result.bytesOut = reduced.bytes.size();
  return result;
}

ReductionResult ReduceFile(cGIF& oGIF, const std::string& inputPath,
                           const std::string& outputFolder, const ReductionOptions& options,
                           char separator) {
  const PlannedOutput output{ReducedOutputPath(inputPath, outputFolder, separator), {}};
  return ReduceFile(oGIF, inputPath, output, options);
}

}  // namespace lumatrim
