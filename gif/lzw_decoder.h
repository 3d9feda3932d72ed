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

}  // namespace lumatrim::mGIFLZWDec
