// Fuzzes the LZW decoder alone. The first bytes choose the frame: minimum code size,
// interlacing, width and height (up to 255 x 255); the rest is the code stream.
#include <cstddef>
#include <cstdint>
#include <span>

#include "gif/lzw_decoder.h"
#include "raster/dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint8_t m = data[0] & 0x0F;
  const bool interlaced = (data[1] & 1) != 0;
  const int width = data[2] + 1;
  const int height = data[3] + 1;
  lumatrim::cDIB surface;
  if (!surface.Create(width, height, 8)) return 0;
  lumatrim::mGIFLZWDec::DecodeFrame(surface, interlaced, m,
                                    std::span<const uint8_t>(data + 4, size - 4));
  return 0;
}
