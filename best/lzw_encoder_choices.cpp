#include "best/lzw_encoder_choices.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "gif/lzw_code_packer.h"

namespace lumatrim::lzw_choices {

namespace {

constexpr int kMaxWidth = 12;
constexpr int kCodeLimit = 1 << kMaxWidth;
constexpr size_t kBlockSize = 255;

// One image's compressor over a trie: children_[code * alphabet + value] is the code of the
// string "code followed by value", 0 when there is none (no string's code is 0 but a root's, and
// roots are never children).
class Compressor {
 public:
  // children must be all zero; it is left so.
  Compressor(std::vector<int16_t>& children, std::vector<uint32_t>& links, int minimumCodeSize,
             std::span<const uint8_t> pixels, std::span<const uint8_t> alternatives,
             CodePacker& writer, std::span<const size_t> clearsBefore = {})
      : children_(children),
        links_(links),
        initialWidth_(minimumCodeSize + 1),
        alphabet_(1 << minimumCodeSize),
        clear_(alphabet_),
        end_(alphabet_ + 1),
        first_(alphabet_ + 2),
        pixels_(pixels),
        alternatives_(alternatives),
        writer_(writer),
        clears_(clearsBefore) {
    children_.resize(size_t(kCodeLimit) * size_t(alphabet_));
  }

  // Records, for each of marks (ascending), the bits written when the codes first cover the
  // pixels up to it.
  void Measure(std::span<const size_t> marks, std::vector<uint64_t>& bits) {
    marks_ = marks;
    bits_ = &bits;
  }

  void Run() {
    StartOver();
    const size_t n = pixels_.size();
    if (n == 0) {
      Emit(end_);
      return;
    }
    size_t at = 0;
    limit_ = clears_.empty() ? n : clears_[0];
    int32_t root = ChooseRoot(at, -1);
    for (;;) {
      size_t length = 0;
      int32_t last = root;
      const int32_t code = LongestMatch(at, root, length, last);
      Emit(code);
      at += length;
      while (bits_ != nullptr && bits_->size() < marks_.size() && at >= marks_[bits_->size()]) {
        bits_->push_back(written_);
      }
      if (at >= n) break;
      if (at == limit_) {
        // A clear placed here: the dictionary starts over at this pixel.
        ++nextClear_;
        limit_ = nextClear_ < clears_.size() ? clears_[nextClear_] : n;
        Emit(clear_);
        StartOver();
        root = ChooseRoot(at, -1);
        continue;
      }
      root = ChooseRoot(at, last);
      if (next_ < kCodeLimit) {
        AddString(code, root);
      } else {
        Emit(clear_);
        StartOver();
      }
    }
    Emit(end_);
    Forget();
  }

 private:
  int16_t& Child(int32_t code, int32_t value) {
    return children_[size_t(code) * size_t(alphabet_) + size_t(value)];
  }

  // Emits the clear code's effect: an empty dictionary of roots alone. Only the links made since
  // the last clear are undone: the rest of the table is zero already.
  void StartOver() {
    Forget();
    next_ = first_;
    codesSinceClear_ = 0;
    if (!started_) {
      started_ = true;
      Emit(clear_);
      codesSinceClear_ = 0;
    }
  }

  void AddString(int32_t prefix, int32_t value) {
    const size_t link = size_t(prefix) * size_t(alphabet_) + size_t(value);
    children_[link] = int16_t(next_++);
    links_.push_back(uint32_t(link));
  }

  void Forget() {
    for (uint32_t link : links_) children_[link] = 0;
    links_.clear();
  }

  // The longest dictionary string that the image can show from position at on, starting with
  // root. Where a pixel offers two values that both go on, both ways are followed (depth first,
  // the alternative first) at up to kBranches such points, beyond them the alternative alone;
  // the deepest string found wins. lastValue receives the value of its last pixel.
  int32_t LongestMatch(size_t at, int32_t root, size_t& length, int32_t& lastValue) const {
    const size_t n = limit_;
    const size_t stride = size_t(alphabet_);
    const int16_t* children = children_.data();
    int32_t bestCode = root;
    size_t bestEnd = at + 1;
    lastValue = root;
    struct Step {
      int32_t code;
      int32_t value;
      size_t end;
    };
    // Each branch point leaves one step on the stack; the search stops taking new branches
    // after kBranches of them, and follows single ways to their end.
    Step stack[kBranches + 2];
    size_t depth = 0;
    int branches = 0;
    stack[depth++] = Step{root, root, at + 1};
    while (depth > 0) {
      const Step step = stack[--depth];
      if (step.end > bestEnd) {
        bestCode = step.code;
        bestEnd = step.end;
        lastValue = step.value;
      }
      if (step.end >= n) continue;
      const int16_t* row = children + size_t(step.code) * stride;
      const int32_t own = pixels_[step.end];
      const int32_t other = alternatives_[step.end];
      const int16_t ownChild = row[own];
      const int16_t otherChild = other != own ? row[other] : int16_t(0);
      if (ownChild != 0 && otherChild != 0 && branches < kBranches) {
        ++branches;
        stack[depth++] = Step{ownChild, own, step.end + 1};
        stack[depth++] = Step{otherChild, other, step.end + 1};
      } else if (otherChild != 0) {
        stack[depth++] = Step{otherChild, other, step.end + 1};
      } else if (ownChild != 0) {
        stack[depth++] = Step{ownChild, own, step.end + 1};
      }
    }
    length = bestEnd - at;
    return bestCode;
  }

  // The value a new string starts with where the pixel offers two: the one whose match reaches
  // further; on a tie the one that goes on from the pixel before, else the alternative (in
  // practice the transparent index, whose runs grow long).
  int32_t ChooseRoot(size_t at, int32_t previous) const {
    const int32_t own = pixels_[at];
    const int32_t other = alternatives_[at];
    if (own == other) return own;
    size_t ownLength = 0, otherLength = 0;
    int32_t unused = 0;
    LongestMatch(at, own, ownLength, unused);
    LongestMatch(at, other, otherLength, unused);
    if (ownLength != otherLength) return otherLength > ownLength ? other : own;
    return previous == own ? own : other;
  }

  // Codes go out in the width the decoder reads them with: it has added one string per code
  // read since the clear but the first, and grows the width once its next code no longer fits.
  void Emit(int32_t code) {
    const int32_t decoderNext = first_ + std::max(0, codesSinceClear_ - 1);
    int width = initialWidth_;
    while (width < kMaxWidth && (1 << width) <= decoderNext) ++width;
    writer_.Put(code, width);
    written_ += uint64_t(width);
    ++codesSinceClear_;
  }

  std::vector<int16_t>& children_;
  // Where children_ holds a link, in the order made.
  std::vector<uint32_t>& links_;
  const int initialWidth_;
  const int32_t alphabet_;
  const int32_t clear_;
  const int32_t end_;
  const int32_t first_;
  std::span<const uint8_t> pixels_;
  std::span<const uint8_t> alternatives_;
  CodePacker& writer_;
  // Branch points the search for the longest match follows both ways.
  static constexpr int kBranches = 16;
  int32_t next_ = 0;
  int32_t codesSinceClear_ = 0;
  bool started_ = false;
  // Clears placed by the caller, the next of them, and the pixel a match must stop before.
  std::span<const size_t> clears_;
  size_t nextClear_ = 0;
  size_t limit_ = 0;
  // Measuring: where to record the bits written so far, and the count.
  std::span<const size_t> marks_;
  std::vector<uint64_t>* bits_ = nullptr;
  uint64_t written_ = 0;
};

}  // namespace

size_t ChoiceEncoder::Encode(std::vector<uint8_t>& out, std::span<const uint8_t> pixels,
                             std::span<const uint8_t> alternatives, int minimumCodeSize) {
  if (minimumCodeSize < 2 || minimumCodeSize > 8) {
    throw std::invalid_argument("LZW minimum code size outside 2 to 8");
  }
  if (alternatives.size() != pixels.size()) {
    throw std::invalid_argument("every pixel needs its alternative");
  }
  const int limit = 1 << minimumCodeSize;
  const auto outside = [limit](uint8_t v) { return v >= limit; };
  if (std::any_of(pixels.begin(), pixels.end(), outside) ||
      std::any_of(alternatives.begin(), alternatives.end(), outside)) {
    throw std::invalid_argument("pixel value at or above the clear code");
  }
  const size_t before = out.size();
  CodePacker writer(out, kBlockSize);
  Compressor(children_, links_, minimumCodeSize, pixels, alternatives, writer).Run();
  writer.Finish();
  return out.size() - before;
}

size_t ChoiceEncoder::EncodeWithPlacedClears(std::vector<uint8_t>& out,
                                             std::span<const uint8_t> pixels,
                                             std::span<const uint8_t> alternatives,
                                             int minimumCodeSize) {
  const size_t n = pixels.size();
  std::vector<uint8_t> plain;
  Encode(plain, pixels, alternatives, minimumCodeSize);
  if (n < 4 * kClearSpacing) {
    out.insert(out.end(), plain.begin(), plain.end());
    return plain.size();
  }
  // Candidate places for a clear every kClearSpacing pixels. From each, the cost of coding up to
  // each later candidate (at most kClearReach of them) from an empty dictionary; then the
  // cheapest chain of such runs, each starting with a clear.
  std::vector<size_t> places;
  for (size_t at = 0; at < n; at += kClearSpacing) places.push_back(at);
  places.push_back(n);
  const size_t m = places.size() - 1;
  constexpr uint64_t kUnreached = UINT64_MAX;
  std::vector<uint64_t> best(m + 1, kUnreached);
  std::vector<size_t> from(m + 1, 0);
  best[0] = 0;
  std::vector<uint64_t> bits;
  std::vector<uint8_t> scratch;
  for (size_t i = 0; i < m; ++i) {
    if (best[i] == kUnreached) continue;
    const size_t last = std::min(m, i + kClearReach);
    std::vector<size_t> marks;
    for (size_t j = i + 1; j <= last; ++j) marks.push_back(places[j] - places[i]);
    bits.clear();
    scratch.clear();
    CodePacker writer(scratch, kBlockSize);
    Compressor compressor(children_, links_, minimumCodeSize,
                          pixels.subspan(places[i], places[last] - places[i]),
                          alternatives.subspan(places[i], places[last] - places[i]), writer);
    compressor.Measure(marks, bits);
    compressor.Run();
    for (size_t k = 0; k < bits.size(); ++k) {
      const size_t j = i + 1 + k;
      const uint64_t cost = best[i] + bits[k];
      if (cost < best[j]) {
        best[j] = cost;
        from[j] = i;
      }
    }
  }
  std::vector<size_t> clears;
  for (size_t j = m; j > 0; j = from[j]) {
    if (from[j] > 0) clears.push_back(places[from[j]]);
  }
  std::reverse(clears.begin(), clears.end());
  if (clears.empty()) {
    out.insert(out.end(), plain.begin(), plain.end());
    return plain.size();
  }
  std::vector<uint8_t> placed;
  CodePacker writer(placed, kBlockSize);
  Compressor(children_, links_, minimumCodeSize, pixels, alternatives, writer, clears).Run();
  writer.Finish();
  const std::vector<uint8_t>& shorter = placed.size() < plain.size() ? placed : plain;
  out.insert(out.end(), shorter.begin(), shorter.end());
  return shorter.size();
}

int SmallestCodeSize(std::span<const uint8_t> values) {
  const uint8_t largest = values.empty() ? 0 : *std::max_element(values.begin(), values.end());
  int size = 2;
  while ((1 << size) <= largest) ++size;
  return size;
}

}  // namespace lumatrim::lzw_choices
