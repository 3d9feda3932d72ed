// The image data of each frame for the smallest file: the shortest of the frame's pixels, the
// transparent index wherever it will do, and the encoder's pixel-by-pixel choice between the
// two, each at the smallest LZW code size its values allow.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "best/frames.h"
#include "gif/gif_document.h"

namespace lumatrim::lzw_choices {
class ChoiceEncoder;
}

namespace lumatrim::best {

// The LZW minimum code size byte and the data sub-blocks of one frame (no block terminator).
using ImageData = std::vector<uint8_t>;

// Encodes the frames of gif, given the alternatives of their pixels (as ReduceFrames answers
// them; a frame without an entry has none), one frame a call, from several threads at once if
// need be: the writer asks for a window of frames at a time as it puts the file together, so that
// the image data of all frames is never held at once. The bytes never depend on the threads.
class FrameEncoder {
 public:
  // careful: no image data codes on against a full dictionary without a clear code, for
  // decoders that mishandle it (the files come out a little larger).
  FrameEncoder(const cGIF& gif, const DocumentAlternatives& alternatives, bool careful);
  ~FrameEncoder();
  FrameEncoder(const FrameEncoder&) = delete;
  FrameEncoder& operator=(const FrameEncoder&) = delete;

  ImageData Encode(int16_t n) const;

 private:
  const cGIF& gif_;
  const DocumentAlternatives& alternatives_;
  const bool careful_;
  // Decided before any frame is encoded, so that it never depends on the threads.
  const std::vector<bool> placeClears_;
  // One encoder for every thread: each frame takes a trie of its own from it.
  std::unique_ptr<lzw_choices::ChoiceEncoder> encoder_;
};

}  // namespace lumatrim::best
