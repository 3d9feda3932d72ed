// Frame numbers as a range: `for (int16_t n : FrameNumbers(1, count))`. The counter inside is
// wider than the numbers it yields, so a range that ends at 32767 ends; a 16-bit counter tested
// with <= would wrap there and never stop.
#pragma once

#include <algorithm>
#include <cstdint>

#include "gif/gif_document.h"

namespace lumatrim {

class FrameNumbers {
 public:
  class Iterator {
   public:
    explicit Iterator(int32_t n) : n_(n) {}
    int16_t operator*() const { return int16_t(n_); }
    Iterator& operator++() {
      ++n_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return n_ != other.n_; }

   private:
    int32_t n_;
  };

  // first..last, both included; empty when last < first.
  FrameNumbers(int32_t first, int32_t last) : first_(first), end_(std::max(first, last + 1)) {}
  Iterator begin() const { return Iterator(first_); }
  Iterator end() const { return Iterator(end_); }

 private:
  int32_t first_;
  int32_t end_;
};

// Every frame of the document, 1 to FramesCount, as the count is now.
inline FrameNumbers AllFrames(const cGIF& gif) {
  return FrameNumbers(1, gif.FramesCount());
}

}  // namespace lumatrim
