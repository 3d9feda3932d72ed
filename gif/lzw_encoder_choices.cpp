#include "gif/lzw_encoder_choices.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace lumatrim::lzw_choices {

namespace {

constexpr int kMaxWidth = 12;
constexpr int kCodeLimit = 1 << kMaxWidth;
constexpr size_t kBlockSize = 255;

// Packs codes least significant bit first into 255-byte sub-blocks.
class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}

  void Put(int32_t code, int width) {
    bits_ |= uint64_t(code) << count_;
    count_ += width;
    while (count_ >= 8) {
      PutByte(uint8_t(bits_));
      bits_ >>= 8;
      count_ -= 8;
    }
  }

  void Finish() {
    if (count_ > 0) PutByte(uint8_t(bits_));
    bits_ = 0;
    count_ = 0;
    if (blockLength_ > 0) out_[blockStart_] = uint8_t(blockLength_);
  }

 private:
  void PutByte(uint8_t byte) {
    if (blockLength_ == 0) {
      blockStart_ = out_.size();
      out_.push_back(0);
    }
    out_.push_back(byte);
    if (++blockLength_ == kBlockSize) {
      out_[blockStart_] = uint8_t(kBlockSize);
      blockLength_ = 0;
      blockStart_ = out_.size();
    }
  }

  std::vector<uint8_t>& out_;
  uint64_t bits_ = 0;
  int count_ = 0;
  size_t blockLength_ = 0;
  size_t blockStart_ = SIZE_MAX;
};

// One image's compressor over a trie: children_[code * alphabet + value] is the code of the
// string "code followed by value", 0 when there is none (no string's code is 0 but a root's, and
// roots are never children).
class Compressor {
 public:
  Compressor(std::vector<int16_t>& children, int minimumCodeSize, std::span<const uint8_t> pixels,
             std::span<const uint8_t> alternatives, BitWriter& writer)
      : children_(children),
        initialWidth_(minimumCodeSize + 1),
        alphabet_(1 << minimumCodeSize),
        clear_(alphabet_),
        end_(alphabet_ + 1),
        first_(alphabet_ + 2),
        pixels_(pixels),
        alternatives_(alternatives),
        writer_(writer) {
    children_.resize(size_t(kCodeLimit) * size_t(alphabet_));
  }

  void Run() {
    StartOver();
    const size_t n = pixels_.size();
    if (n == 0) {
      Emit(end_);
      return;
    }
    size_t at = 0;
    int32_t root = ChooseRoot(at, -1);
    for (;;) {
      size_t length = 0;
      int32_t last = root;
      const int32_t code = LongestMatch(at, root, length, last);
      Emit(code);
      at += length;
      if (at >= n) break;
      root = ChooseRoot(at, last);
      if (next_ < kCodeLimit) {
        AddString(code, root);
      } else {
        Emit(clear_);
        StartOver();
      }
    }
    Emit(end_);
  }

 private:
  int16_t& Child(int32_t code, int32_t value) {
    return children_[size_t(code) * size_t(alphabet_) + size_t(value)];
  }

  // Emits the clear code's effect: an empty dictionary of roots alone.
  void StartOver() {
    std::fill_n(children_.begin(), size_t(alphabet_) * size_t(alphabet_), int16_t(0));
    next_ = first_;
    codesSinceClear_ = 0;
    if (!started_) {
      started_ = true;
      Emit(clear_);
      codesSinceClear_ = 0;
    }
  }

  void AddString(int32_t prefix, int32_t value) {
    const int32_t code = next_++;
    Child(prefix, value) = int16_t(code);
    std::fill_n(children_.begin() + std::ptrdiff_t(size_t(code) * size_t(alphabet_)),
                size_t(alphabet_), int16_t(0));
  }

  // The longest dictionary string that the image can show from position at on, starting with
  // root. Where a pixel offers two values that both go on, both ways are followed (depth first,
  // the alternative first) at up to kBranches such points, beyond them the alternative alone;
  // the deepest string found wins. lastValue receives the value of its last pixel.
  int32_t LongestMatch(size_t at, int32_t root, size_t& length, int32_t& lastValue) const {
    const size_t n = pixels_.size();
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
    ++codesSinceClear_;
  }

  std::vector<int16_t>& children_;
  const int initialWidth_;
  const int32_t alphabet_;
  const int32_t clear_;
  const int32_t end_;
  const int32_t first_;
  std::span<const uint8_t> pixels_;
  std::span<const uint8_t> alternatives_;
  BitWriter& writer_;
  // Branch points the search for the longest match follows both ways.
  static constexpr int kBranches = 16;
  int32_t next_ = 0;
  int32_t codesSinceClear_ = 0;
  bool started_ = false;
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
  BitWriter writer(out);
  Compressor(children_, minimumCodeSize, pixels, alternatives, writer).Run();
  writer.Finish();
  return out.size() - before;
}

int SmallestCodeSize(std::span<const uint8_t> values) {
  const uint8_t largest = values.empty() ? 0 : *std::max_element(values.begin(), values.end());
  int size = 2;
  while ((1 << size) <= largest) ++size;
  return size;
}

}  // namespace lumatrim::lzw_choices
