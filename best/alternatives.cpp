#include "best/alternatives.h"

#include <stdexcept>

#include "gif/byte_packer.h"

namespace lumatrim::best {

FrameAlternatives::FrameAlternatives(const PixelAlternatives& values)
    : packed_(BytePacker::Pack(values)), size_(values.size()) {}

PixelAlternatives FrameAlternatives::Unpack() const {
  if (size_ == 0) return {};
  PixelAlternatives values(size_);
  if (!BytePacker::Unpack(packed_, values)) {
    throw std::logic_error("packed alternatives do not unpack to their size");
  }
  return values;
}

PixelAlternatives AlternativesOf(const DocumentAlternatives& alternatives, int16_t n) {
  if (n < 0 || size_t(n) >= alternatives.size()) return {};
  return alternatives[size_t(n)].Unpack();
}

}  // namespace lumatrim::best
