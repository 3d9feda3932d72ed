// mGIFLZWDec: turns the LZW code stream of one image into palette indices, written straight into
// the rows of an 8-bit surface in plain or interlaced order. Decoding never fails: it stops at
// the end code, at the end of the data, when the frame is complete or at the first code that
// can't be valid, and keeps every pixel written so far (the rest stay as they were).
#pragma once

#include <cstdint>
#include <span>

#include "raster/dib.h"

namespace lumatrim::mGIFLZWDec {

// Decodes data (the image's sub-block chain, joined) with LZW minimum code size m into surface.
// Does nothing unless the surface exists at 8 bits per pixel. All working state is local to the
// call, so several images may be decoded at once on different threads.
void DecodeFrame(cDIB& surface, bool interlaced, uint8_t m, std::span<const uint8_t> data);

// Why decoding a frame stops.
enum class StreamEnd {
  Complete,    // every pixel of the frame was decoded
  EndedEarly,  // the end code, or the end of the data, came before the frame's last pixel
  // A code the table does not hold yet (or one that can be no pixel): the frame is cut there,
  // although its data may go on. Decoders that guess at such a code read on and show more.
  BadCode,
};

// What DecodeFrame would make of data for a frame of framePixels pixels, found without writing
// any pixel (one step per code, however long its string): how many pixels it puts out, and why
// it stops.
struct StreamExtent {
  uint64_t pixels = 0;
  StreamEnd end = StreamEnd::Complete;
};
StreamExtent MeasureStream(uint64_t framePixels, uint8_t m, std::span<const uint8_t> data);

}  // namespace lumatrim::mGIFLZWDec
