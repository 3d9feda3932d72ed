#include "best/lzw_encoder_choices.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "best/lzw_choice_compressor.h"
#include "gif/lzw_code_packer.h"

namespace lumatrim::lzw_choices {

namespace {

// The largest of values, 0 for none: a loop the compiler runs many values a step, where a search
// for the first value past a limit goes one by one (a frame may hold a gigapixel).
uint8_t Largest(std::span<const uint8_t> values) {
  uint8_t largest = 0;
  for (const uint8_t v : values) largest = std::max(largest, v);
  return largest;
}

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
  if (Largest(pixels) >= limit ||
      (alternatives.data() != pixels.data() && Largest(alternatives) >= limit)) {
    throw std::invalid_argument("pixel value at or above the clear code");
  }
  const size_t before = out.size();
  CodePacker writer(out, kBlockSize);
  BorrowedTrie trie(*this);
  Compressor(trie->children, trie->links, minimumCodeSize, pixels, alternatives, &writer).Run();
  writer.Finish();
  return out.size() - before;
}

int SmallestCodeSize(std::span<const uint8_t> values) {
  const uint8_t largest = Largest(values);
  int size = 2;
  while ((1 << size) <= largest) ++size;
  return size;
}

}  // namespace lumatrim::lzw_choices
