// The order in which the rows of an image are stored: top to bottom, or the four interlace
// passes of the GIF format (every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd
// from 1). Passes that have no row in a short image are passed over.
#pragma once

#include <cstdint>

namespace lumatrim {

class InterlaceRows {
 public:
  InterlaceRows(int32_t height, bool interlaced)
      : height_(height), interlaced_(interlaced), done_(height <= 0) {}

  bool Done() const { return done_; }
  int32_t Row() const { return row_; }

  void Next() {
    if (done_) return;
    if (!interlaced_) {
      done_ = ++row_ >= height_;
      return;
    }
    static constexpr int32_t kStart[4] = {0, 4, 2, 1};
    static constexpr int32_t kStep[4] = {8, 8, 4, 2};
    row_ += kStep[pass_];
    while (row_ >= height_) {
      if (++pass_ == 4) {
        done_ = true;
        return;
      }
      row_ = kStart[pass_];
    }
  }

 private:
  int32_t height_;
  bool interlaced_;
  bool done_;
  int32_t row_ = 0;
  int pass_ = 0;
};

}  // namespace lumatrim
