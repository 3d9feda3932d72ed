// The values a frame's pixels may be sent as instead of their own, kept packed between the steps
// that use them: a long animation's alternatives would otherwise take as much memory as all of
// its frames unpacked, outside the frame cache that keeps the frames themselves small.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumatrim::best {

// For one frame, in the frame's row order (top to bottom, Width values a row): the value each
// pixel may be sent as instead of its own (its own where there is no choice). Empty when the
// frame has no choices.
using PixelAlternatives = std::vector<uint8_t>;

// One frame's alternatives, packed.
class FrameAlternatives {
 public:
  FrameAlternatives() = default;
  explicit FrameAlternatives(const PixelAlternatives& values);

  bool empty() const { return size_ == 0; }
  PixelAlternatives Unpack() const;

 private:
  std::vector<uint8_t> packed_;
  size_t size_ = 0;
};

// The alternatives of each frame of a document (element 0 unused, 1 to FramesCount).
using DocumentAlternatives = std::vector<FrameAlternatives>;

// Frame n's alternatives unpacked: empty when n has none or lies past the list.
PixelAlternatives AlternativesOf(const DocumentAlternatives& alternatives, int16_t n);

}  // namespace lumatrim::best
