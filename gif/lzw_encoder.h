// mGIFLZWEnc: compresses the palette indices of one 8-bit surface into GIF image data (the LZW
// code stream cut into data sub-blocks). The dictionary is the classic hashed one (5003 slots,
// open addressing with a secondary hash); together with the fixed clear and width-growth rules it
// makes the output a pure function of the pixels: the same pixels always give the same bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/dib.h"

namespace lumatrim::mGIFLZWEnc {

// Appends the data sub-blocks of surface's pixels to out, rows in plain or interlaced order,
// starting and ending with the given initial code width (the LZW minimum code size plus 1, 3 to
// 9). Every sub-block but the last holds 254 bytes; the block terminator is not written.
//
// Every pixel must lie below the clear code (1 << (initialCodeWidth - 1)); MinimumCodeSize gives
// a size for which that holds. A surface without pixels (none created, a size of 0, or a depth
// other than 8 bits) is written as the clear code followed by the end code. All working state is
// local to the call.
void EncodeFrame(std::vector<uint8_t>& out, const cDIB& surface, uint8_t initialCodeWidth,
                 bool interlaced);

// The largest index among the surface's pixels; 0 when it has no 8-bit pixels.
uint8_t LargestIndex(const cDIB& surface);

// The LZW minimum code size for a frame drawn with a palette of paletteBits bits: paletteBits,
// but at least 2, and raised where needed so that every pixel of surface lies below the clear
// code (pixels beyond the palette occur only in malformed files, but must not corrupt the stream).
uint8_t MinimumCodeSize(const cDIB& surface, int paletteBits);

}  // namespace lumatrim::mGIFLZWEnc
