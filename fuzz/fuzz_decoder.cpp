// Fuzzes the LZW decoder alone. The first bytes choose the frame: minimum code size,
// interlacing, where the frame lies on a 64 x 64 screen, width and height (up to 256 x 256);
// the rest is the code stream. Besides not crashing, measuring the stream must agree with
// decoding it, and decoding into the part of the frame the reader would hold must write what
// decoding the whole frame writes there.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "gif/frame_extent.h"
#include "gif/interlace.h"
#include "gif/lzw_decoder.h"
#include "raster/dib.h"

namespace {

using namespace lumatrim;

// Decodes into a new surface whose pixels all start as fill.
bool Decode(cDIB& surface, FrameSize size, uint8_t fill, bool interlaced, uint8_t m,
            std::span<const uint8_t> stream) {
  if (!surface.Create(size.width, size.height, 8)) return false;
  std::memset(surface.lpBits(), fill, size_t(surface.BytesPerScanline()) * size_t(size.height));
  mGIFLZWDec::DecodeFrame(surface, interlaced, m, stream);
  return true;
}

uint8_t At(const cDIB& surface, int32_t x, int32_t y) {
  return surface.lpBits()[size_t(y) * size_t(surface.BytesPerScanline()) + size_t(x)];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const uint8_t m = data[0] & 0x0F;
  const bool interlaced = (data[1] & 1) != 0;
  const FramePlace place{(data[1] >> 1) * 2, data[2] >> 2, 64, 64};
  const FrameSize declared{data[3] + 1, data[4] + 1};
  const std::span<const uint8_t> stream(data + 5, size - 5);

  // A pixel decoding wrote comes out the same over 0s and over 255s.
  cDIB zeros, ones;
  if (!Decode(zeros, declared, 0, interlaced, m, stream) ||
      !Decode(ones, declared, 255, interlaced, m, stream)) {
    return 0;
  }
  const mGIFLZWDec::StreamExtent extent =
      mGIFLZWDec::MeasureStream(uint64_t(declared.width) * uint64_t(declared.height), m, stream);
  uint64_t inStream = 0;
  for (InterlaceRows rows(declared.height, interlaced); !rows.Done(); rows.Next()) {
    for (int32_t x = 0; x < declared.width; ++x, ++inStream) {
      const bool written = At(zeros, x, rows.Row()) == At(ones, x, rows.Row());
      if (written != (inStream < extent.pixels)) __builtin_trap();
    }
  }

  const HeldFrame held = HeldFrameSize(declared, place, interlaced, extent);
  if (held.size.width <= 0 || held.size.height <= 0) {
    if (extent.pixels > 0) __builtin_trap();
    return 0;
  }
  cDIB part;
  if (!Decode(part, held.size, 0, interlaced, m, stream)) return 0;
  for (int32_t y = 0; y < declared.height; ++y) {
    for (int32_t x = 0; x < declared.width; ++x) {
      const bool inPart = x < held.size.width && y < held.size.height;
      if (inPart && At(part, x, y) != At(zeros, x, y)) __builtin_trap();
      const bool onScreen =
          place.left + x < place.screenWidth && place.top + y < place.screenHeight;
      if (!inPart && (At(zeros, x, y) != 0 || At(ones, x, y) != 255 ||
                      (onScreen && !held.leavesOutShownPixels))) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
