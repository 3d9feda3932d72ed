// The rows of a surface in the order an image stores them (top to bottom, or in the four
// interlace passes), reached by their number in that order, and its pixels by their position in
// that order: the LZW codecs find the strings they put out earlier there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumatrim {

// The image row that is stored index-th (0 for the first) among height rows.
inline int32_t StoredRow(int32_t index, int32_t height, bool interlaced) {
  if (!interlaced) return index;
  static constexpr int32_t kStart[4] = {0, 4, 2, 1};
  static constexpr int32_t kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    const int32_t rows =
        height > kStart[pass] ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
    if (index < rows) return kStart[pass] + index * kStep[pass];
    index -= rows;
  }
  return height;  // past the last row
}

// Byte is uint8_t or const uint8_t.
template <class Byte>
class StoredRows {
 public:
  StoredRows(Byte* base, size_t stride, int32_t width, int32_t height, bool interlaced)
      : base_(base), stride_(stride), width_(width), height_(height), interlaced_(interlaced) {}

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  uint64_t Pixels() const { return uint64_t(width_) * uint64_t(height_); }

  // The row stored index-th.
  Byte* Row(int32_t index) const {
    return base_ + size_t(StoredRow(index, height_, interlaced_)) * stride_;
  }
  // The pixel at a position, and how many pixels from it on lie in its row.
  Byte* At(uint64_t position) const {
    return Row(int32_t(position / uint64_t(width_))) + position % uint64_t(width_);
  }
  uint64_t RoomAt(uint64_t position) const {
    return uint64_t(width_) - position % uint64_t(width_);
  }

 private:
  Byte* base_;
  size_t stride_;
  int32_t width_;
  int32_t height_;
  bool interlaced_;
};

}  // namespace lumatrim
