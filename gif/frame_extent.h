// How much of a frame the document holds. A frame whose data stops before its last pixel holds
// what its data reached and what the screen shows of it, not the whole rectangle it declares: the
// rest would be pixels of index 0 that nothing shows, and a few bytes can declare 65535 x 65535
// of them. So such a frame costs no more than its data and its part of the screen.
#pragma once

#include <cstdint>

#include "gif/lzw_decoder.h"

namespace lumatrim {

struct FrameSize {
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const FrameSize&) const = default;
};

// The screen and where a frame lies on it, as the file stores them (0 to 65535 each).
struct FramePlace {
  int32_t left = 0;
  int32_t top = 0;
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
};

// The index-0 pixels past their data that damaged frames may hold where the screen shows them,
// all frames of a file together: 16 Mi, a frame of 4096 x 4096. A frame that would hold more is
// held as far as its data reaches, on the screen too (the rest then shows what lies under it, as
// browsers show a frame cut short).
inline constexpr uint64_t kMaxShownFillPixels = uint64_t(1) << 24;

struct HeldFrame {
  FrameSize size;
  // Some of what is left out lies on the screen (the frame would hold more than maxShownFill).
  bool leavesOutShownPixels = false;
};

// The top-left part of a declared frame to hold, given what its data decodes to. Decoding into a
// surface of that size writes the same pixels as decoding into the whole frame, row for row
// (interlaced frames included), and leaves out only pixels of index 0: past the screen, and on it
// only where they would number more than maxShownFill.
HeldFrame HeldFrameSize(FrameSize declared, const FramePlace& place, bool interlaced,
                        const mGIFLZWDec::StreamExtent& extent,
                        uint64_t maxShownFill = kMaxShownFillPixels);

}  // namespace lumatrim
