// The compressor behind ChoiceEncoder: one image's LZW over a trie, choosing between two values
// per pixel, with clear codes where the caller places them and, when asked, coding on against a
// full dictionary instead of clearing it. It can also measure: the bits written by the time the
// codes cover given pixels, giving up past a reach the caller sets.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "gif/lzw_code_packer.h"

namespace lumatrim::lzw_choices {

constexpr int kMaxWidth = 12;
constexpr int kCodeLimit = 1 << kMaxWidth;
constexpr size_t kBlockSize = 255;

// What the compressor does once every code of the dictionary is handed out.
enum class FullDictionary {
  kClear,       // a clear code at the next new string, as every decoder expects
  kKeepCoding,  // go on with the full dictionary; only clears the caller places start it over
};

// One image's compressor over a trie: children_[code * alphabet + value] is the code of the
// string "code followed by value", 0 when there is none (no string's code is 0 but a root's, and
// roots are never children).
class Compressor {
 public:
  // children must be all zero; it is left so. Without a writer, the codes are only counted
  // (a measuring run).
  Compressor(std::vector<int16_t>& children, std::vector<uint32_t>& links, int minimumCodeSize,
             std::span<const uint8_t> pixels, std::span<const uint8_t> alternatives,
             CodePacker* writer, FullDictionary full = FullDictionary::kClear,
             std::span<const size_t> clearsBefore = {})
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
        keepCoding_(full == FullDictionary::kKeepCoding),
        clears_(clearsBefore) {
    children_.resize(size_t(kCodeLimit) * size_t(alphabet_));
    if (pixels_.data() == alternatives_.data()) {
      stringStart_.resize(kCodeLimit);
      stringLength_.resize(kCodeLimit);
      latest_.resize(size_t(alphabet_));
    }
  }

  // Records, for each of marks (ascending), the bits written when the codes first cover the
  // pixels up to it, and a clear code after them. With reachPerFill, the run gives up at the
  // first mark past reachPerFill times the pixels it took to fill the dictionary.
  void Measure(std::span<const size_t> marks, std::vector<uint64_t>& bits,
               size_t reachPerFill = 0) {
    marks_ = marks;
    bits_ = &bits;
    reachPerFill_ = reachPerFill;
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
    int32_t root = ChooseRoot(at, -1, -1);
    for (;;) {
      size_t length = 0;
      int32_t last = root;
      int32_t code = 0;
      if (Reused(at, root)) {
        code = chosen_.code;
        length = chosen_.length;
        last = chosen_.last;
      } else {
        code = LongestMatch(at, root, length, last);
      }
      chosen_.valid = false;
      Emit(code);
      at += length;
      if (bits_ != nullptr && RecordMarks(at)) break;
      if (at >= n) break;
      if (at == limit_) {
        // A clear placed here: the dictionary starts over at this pixel.
        ++nextClear_;
        limit_ = nextClear_ < clears_.size() ? clears_[nextClear_] : n;
        Emit(clear_);
        StartOver();
        root = ChooseRoot(at, -1, -1);
        continue;
      }
      root = ChooseRoot(at, last, code);
      if (next_ < kCodeLimit) {
        if (!latest_.empty()) NotePlainString(at - length, length + 1);
        AddString(code, root);
        if (next_ == kCodeLimit && filledAt_ == 0) filledAt_ = at;
        // The new string hangs from code: a search that never came by it finds the same now.
        if (chosen_.sawWatched) chosen_.valid = false;
      } else if (!keepCoding_) {
        Emit(clear_);
        StartOver();
        chosen_.valid = false;
      }
    }
    if (!gaveUp_) Emit(end_);
    Forget();
  }

  // Whether a measuring run gave up before the end.
  bool GaveUp() const { return gaveUp_; }

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
    std::fill(latest_.begin(), latest_.end(), int16_t(0));
  }

  // Where every pixel has its own value only, the string about to be added as code next_ is the
  // pixels from start on: the last one added that starts with its first pixel is noted.
  void NotePlainString(size_t start, size_t length) {
    stringStart_[size_t(next_)] = start;
    stringLength_[size_t(next_)] = uint32_t(length);
    latest_[pixels_[start]] = int16_t(next_);
  }

  // LongestMatch where every pixel has its own value only.
  int32_t LongestPlainMatch(size_t at, int32_t root, size_t& length, int32_t& lastValue) const {
    const size_t stride = size_t(alphabet_);
    const int16_t* children = children_.data();
    int32_t code = root;
    size_t end = at + 1;
    // Long strings repeat (runs of one index, patterns): where the pixels from at on are those of
    // the last string added that starts with root, the walk would reach its code, through the
    // codes of all its beginnings (the trie loses none), so it starts there.
    if (const int16_t guess = latest_[size_t(root)]; guess != 0) {
      const size_t guessLength = stringLength_[size_t(guess)];
      if (guessLength >= kShortestSkip && at + guessLength <= limit_ &&
          std::memcmp(pixels_.data() + at, pixels_.data() + stringStart_[size_t(guess)],
                      guessLength) == 0) {
        code = guess;
        end = at + guessLength;
      }
    }
    while (end < limit_) {
      const int16_t child = children[size_t(code) * stride + pixels_[end]];
      if (child == 0) break;
      code = child;
      ++end;
    }
    length = end - at;
    lastValue = end > at + 1 ? pixels_[end - 1] : root;
    return code;
  }

  // The longest dictionary string that the image can show from position at on, starting with
  // root. Where a pixel offers two values that both go on, both ways are followed (depth first,
  // the alternative first) at up to kBranches such points, beyond them the alternative alone;
  // the deepest string found wins. lastValue receives the value of its last pixel.
  int32_t LongestMatch(size_t at, int32_t root, size_t& length, int32_t& lastValue,
                       int32_t watched = -1, bool* sawWatched = nullptr) const {
    const size_t n = limit_;
    const size_t stride = size_t(alphabet_);
    const int16_t* children = children_.data();
    // No pixel offers a choice: one way only, walked without the search's stack.
    if (pixels_.data() == alternatives_.data())
      return LongestPlainMatch(at, root, length, lastValue);
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
      // One way followed as far as it goes; each branch point on it leaves the pixel's own value
      // on the stack and goes on with the alternative.
      for (Step step = stack[--depth];;) {
        if (step.code == watched) *sawWatched = true;
        if (step.end > bestEnd) {
          bestCode = step.code;
          bestEnd = step.end;
          lastValue = step.value;
        }
        if (step.end >= n) break;
        const int16_t* row = children + size_t(step.code) * stride;
        const int32_t own = pixels_[step.end];
        const int32_t other = alternatives_[step.end];
        const int16_t ownChild = row[own];
        const int16_t otherChild = other != own ? row[other] : int16_t(0);
        if (ownChild != 0 && otherChild != 0 && branches < kBranches) {
          ++branches;
          stack[depth++] = Step{ownChild, own, step.end + 1};
          step = Step{otherChild, other, step.end + 1};
        } else if (otherChild != 0) {
          step = Step{otherChild, other, step.end + 1};
        } else if (ownChild != 0) {
          step = Step{ownChild, own, step.end + 1};
        } else {
          break;
        }
      }
    }
    length = bestEnd - at;
    return bestCode;
  }

  // The value a new string starts with where the pixel offers two: the one whose match reaches
  // further; on a tie the one that goes on from the pixel before, else the alternative (in
  // practice the transparent index, whose runs grow long). The chosen root's match is kept for
  // the next code, with whether its search came by watched, the string about to gain a child.
  int32_t ChooseRoot(size_t at, int32_t previous, int32_t watched) {
    const int32_t own = pixels_[at];
    const int32_t other = alternatives_[at];
    if (own == other) return own;
    Found ownFound, otherFound;
    ownFound.code =
        LongestMatch(at, own, ownFound.length, ownFound.last, watched, &ownFound.sawWatched);
    otherFound.code = LongestMatch(at, other, otherFound.length, otherFound.last, watched,
                                   &otherFound.sawWatched);
    int32_t root = previous == own ? own : other;
    if (ownFound.length != otherFound.length) {
      root = otherFound.length > ownFound.length ? other : own;
    }
    chosen_ = root == own ? ownFound : otherFound;
    chosen_.valid = true;
    chosen_.at = at;
    chosen_.root = root;
    return root;
  }

  // Whether the match kept by ChooseRoot is the one from at with root.
  bool Reused(size_t at, int32_t root) const {
    return chosen_.valid && chosen_.at == at && chosen_.root == root;
  }

  // Codes go out in the width the decoder reads them with: it has added one string per code
  // read since the clear but the first, and grows the width once its next code no longer fits.
  int Width() const {
    const int32_t decoderNext = first_ + std::max(0, codesSinceClear_ - 1);
    int width = initialWidth_;
    while (width < kMaxWidth && (1 << width) <= decoderNext) ++width;
    return width;
  }

  void Emit(int32_t code) {
    const int width = Width();
    if (writer_ != nullptr) writer_->Put(code, width);
    written_ += uint64_t(width);
    ++codesSinceClear_;
  }

  // Records the marks the codes now cover; answers whether the run should give up.
  bool RecordMarks(size_t at) {
    while (bits_->size() < marks_.size() && at >= marks_[bits_->size()]) {
      const uint64_t bits = written_ + uint64_t(Width());
      const size_t k = bits_->size();
      if (reachPerFill_ > 0 && filledAt_ > 0 && marks_[k] > reachPerFill_ * filledAt_) {
        gaveUp_ = true;
        return true;
      }
      bits_->push_back(bits);
    }
    return false;
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
  CodePacker* writer_;
  // A match found while choosing a root, kept for the code that follows.
  struct Found {
    bool valid = false;
    size_t at = 0;
    int32_t root = -1;
    int32_t code = 0;
    size_t length = 0;
    int32_t last = 0;
    bool sawWatched = false;
  };
  Found chosen_;
  // Branch points the search for the longest match follows both ways.
  static constexpr int kBranches = 16;
  // Where every pixel has its own value only: each added code's string, as its first pixel and
  // length, and by first value the last code added (0 for none); the shortest string worth
  // comparing at once instead of walking the trie.
  static constexpr size_t kShortestSkip = 16;
  std::vector<size_t> stringStart_;
  std::vector<uint32_t> stringLength_;
  std::vector<int16_t> latest_;
  int32_t next_ = 0;
  int32_t codesSinceClear_ = 0;
  bool started_ = false;
  const bool keepCoding_;
  // Clears placed by the caller, the next of them, and the pixel a match must stop before.
  std::span<const size_t> clears_;
  size_t nextClear_ = 0;
  size_t limit_ = 0;
  // Measuring: where to record the bits written so far, and the count.
  std::span<const size_t> marks_;
  std::vector<uint64_t>* bits_ = nullptr;
  // Measuring: the pixel where the dictionary first filled, and how many times that a block may
  // reach (0: no limit).
  size_t filledAt_ = 0;
  size_t reachPerFill_ = 0;
  bool gaveUp_ = false;
  uint64_t written_ = 0;
};

}  // namespace lumatrim::lzw_choices
