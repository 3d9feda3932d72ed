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

  // Like Encode, but with clear codes placed where they make the stream shorter: runs of pixels
  // between candidate places are each measured from an empty dictionary, and the cheapest chain
  // of runs is encoded (or the plain stream, when it is no longer).
  size_t EncodeWithPlacedClears(std::vector<uint8_t>& out, std::span<const uint8_t> pixels,
                                std::span<const uint8_t> alternatives, int minimumCodeSize);

 private:
  // Candidate places for a placed clear lie this many pixels apart; a measured run reaches at
  // most this many of them (two to three times what fills the dictionary of 8-bit pixels).
  static constexpr size_t kClearSpacing = 4096;
  static constexpr size_t kClearReach = 8;
  // The trie's links, all zero between calls, and where it holds links during one: a document's
  // frames reuse both.
  std::vector<int16_t> children_;
  std::vector<uint32_t> links_;
};

// The smallest LZW minimum code size (at least 2) for which every value lies below the clear
// code.
int SmallestCodeSize(std::span<const uint8_t> values);

}  // namespace lumatrim::lzw_choices
