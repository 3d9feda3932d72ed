#include "best/image_data.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "best/lzw_encoder_choices.h"
#include "gif/frame_numbers.h"
#include "gif/interlace.h"
#include "optimizer/pixel_grid.h"

namespace lumatrim::best {

namespace {

using Values = std::vector<uint8_t>;

// Placing clear codes costs several encodings of a frame; a document gets it for its first frames
// up to this many pixels, so that long animations stay within a few times the cost of encoding
// them once. (On the shared real files, placing clears in frames beyond the first 2 million
// pixels cost a tenth of --best's time and saved 2 bytes.)
constexpr size_t kPlacementBudget = 2'000'000;

// Every alternative taken, but for the pixels of a row that lie between two pixels without a
// choice: those keep their own values, so that a changed shape stays whole.
Values FillGaps(const Values& pixels, const Values& choices, size_t width) {
  Values filled = choices;
  for (size_t start = 0; start < pixels.size(); start += width) {
    const size_t end = std::min(pixels.size(), start + width);
    size_t lastFixed = SIZE_MAX;
    for (size_t i = start; i < end; ++i) {
      if (choices[i] != pixels[i]) continue;
      if (lastFixed != SIZE_MAX) {
        for (size_t j = lastFixed + 1; j < i; ++j) filled[j] = pixels[j];
      }
      lastFixed = i;
    }
  }
  return filled;
}

// Keeps the shortest image data tried.
class Shortest {
 public:
  explicit Shortest(lzw_choices::ChoiceEncoder& encoder) : encoder_(encoder) {}

  void Try(const Values& values, const Values& alternatives, int codeSize) {
    trial_.assign(1, uint8_t(codeSize));
    encoder_.Encode(trial_, values, alternatives, codeSize);
    if (best_.empty() || trial_.size() < best_.size()) {
      best_.swap(trial_);
      bestValues_ = &values;
      bestAlternatives_ = &alternatives;
    }
  }

  // The shortest so far once more, with clear codes placed where they pay.
  void PlaceClears(bool keepFullDictionaries, WorkPool* workers) {
    if (bestValues_ == nullptr) return;
    trial_.assign(1, best_[0]);
    encoder_.EncodeWithPlacedClears(trial_, *bestValues_, *bestAlternatives_, best_[0],
                                    keepFullDictionaries, workers);
    if (trial_.size() < best_.size()) best_.swap(trial_);
  }

  // The frame's own values; with choices, also every alternative taken, the same with the gaps
  // of rows filled, and the encoder's free choice between own values and alternatives (once
  // leaning to either side). width is the length of a row.
  void TryAll(const Values& pixels, const Values& choices, size_t width) {
    const int ownSize = lzw_choices::SmallestCodeSize(pixels);
    Try(pixels, pixels, ownSize);
    if (choices.empty()) return;
    const int choiceSize = lzw_choices::SmallestCodeSize(choices);
    Try(choices, choices, choiceSize);
    filled_ = FillGaps(pixels, choices, width);
    Try(filled_, filled_, lzw_choices::SmallestCodeSize(filled_));
    Try(pixels, choices, std::max(ownSize, choiceSize));
    // The same with the roles swapped: the encoder then follows the pixel's own value first.
    Try(choices, pixels, std::max(ownSize, choiceSize));
  }

  ImageData Take() { return std::move(best_); }

 private:
  lzw_choices::ChoiceEncoder& encoder_;
  ImageData best_;
  ImageData trial_;
  Values filled_;
  const Values* bestValues_ = nullptr;
  const Values* bestAlternatives_ = nullptr;
};

// Which frames get their clears placed: the first ones, in frame order, that fit the budget
// together. Decided before any frame is encoded, so that it never depends on the threads.
std::vector<bool> FramesToPlaceClearsIn(const cGIF& gif) {
  std::vector<bool> place(size_t(gif.FramesCount()) + 1, false);
  size_t budget = kPlacementBudget;
  for (int16_t n : AllFrames(gif)) {
    const size_t pixels = size_t(std::max(gif.FrameSurfaceWidth(n), 0)) *
                          size_t(std::max(gif.FrameSurfaceHeight(n), 0));
    if (pixels > budget) continue;
    budget -= pixels;
    place[size_t(n)] = true;
  }
  return place;
}

// The frame's pixels, and their alternatives when it has some that cover it, in the order they
// are written.
void Gather(const cGIF& gif, int16_t n, const PixelAlternatives& alternatives, Values& pixels,
            Values& choices) {
  pixels.clear();
  choices.clear();
  const PixelView surface = MapDIBPixels(gif.FrameDIBXOR(n));
  if (surface.Width() <= 0 || surface.Height() <= 0) return;
  const size_t width = size_t(surface.Width());
  const bool offered = alternatives.size() == width * size_t(surface.Height());
  for (InterlaceRows rows(surface.Height(), gif.FrameInterlaced(n)); !rows.Done(); rows.Next()) {
    const uint8_t* row = surface.Row(rows.Row());
    pixels.insert(pixels.end(), row, row + width);
    if (offered) {
      const auto from = alternatives.begin() + std::ptrdiff_t(size_t(rows.Row()) * width);
      choices.insert(choices.end(), from, from + std::ptrdiff_t(width));
    }
  }
}

}  // namespace

FrameEncoder::FrameEncoder(const cGIF& gif, const DocumentAlternatives& alternatives, bool careful)
    : gif_(gif),
      alternatives_(alternatives),
      careful_(careful),
      placeClears_(FramesToPlaceClearsIn(gif)),
      encoder_(std::make_unique<lzw_choices::ChoiceEncoder>()) {}

FrameEncoder::~FrameEncoder() = default;

ImageData FrameEncoder::Encode(int16_t n) const {
  Values pixels, choices;
  Gather(gif_, n, AlternativesOf(alternatives_, n), pixels, choices);
  Shortest shortest(*encoder_);
  shortest.TryAll(pixels, choices, size_t(std::max(gif_.FrameSurfaceWidth(n), 1)));
  if (placeClears_[size_t(n)]) shortest.PlaceClears(!careful_, gif_.Workers());
  return shortest.Take();
}

}  // namespace lumatrim::best
