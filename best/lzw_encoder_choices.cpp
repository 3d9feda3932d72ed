#include "best/lzw_encoder_choices.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "best/lzw_choice_compressor.h"
#include "gif/lzw_code_packer.h"

namespace lumatrim::lzw_choices {

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

int SmallestCodeSize(std::span<const uint8_t> values) {
  const uint8_t largest = values.empty() ? 0 : *std::max_element(values.begin(), values.end());
  int size = 2;
  while ((1 << size) <= largest) ++size;
  return size;
}

}  // namespace lumatrim::lzw_choices
