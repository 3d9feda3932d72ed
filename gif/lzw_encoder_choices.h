// An LZW encoder for GIF image data that may choose, pixel by pixel, between two values that show
// the same picture (a pixel that a transparent one would leave unchanged may be sent either way).
// Its dictionary is a plain trie, so it can ask "does the current string go on with either value"
// in one look each; it picks whichever value carries the current match further.
//
// Its streams are plain GIF: a clear code first, the code width grown the way every decoder grows
// it, and a clear code as soon as the dictionary is full (never codes against a full dictionary
// without one). Sub-blocks hold 255 bytes, the last one fewer.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace lumatrim::lzw_choices {

class ChoiceEncoder {
 public:
  // Appends the data sub-blocks (without the block terminator) of an image whose pixel i may be
  // sent as pixels[i] or as alternatives[i] (equal where there is no choice), in the order given,
  // with LZW minimum code size minimumCodeSize (2 to 8). Every value must lie below
  // 1 << minimumCodeSize. An image without pixels is written as the clear and end codes.
  // Answers the number of bytes appended.
  size_t Encode(std::vector<uint8_t>& out, std::span<const uint8_t> pixels,
                std::span<const uint8_t> alternatives, int minimumCodeSize);

 private:
  // The buffer of the trie is kept between calls: a document's frames reuse it.
  std::vector<int16_t> children_;
};

// The smallest LZW minimum code size (at least 2) for which every value lies below the clear
// code.
int SmallestCodeSize(std::span<const uint8_t> values);

}  // namespace lumatrim::lzw_choices
