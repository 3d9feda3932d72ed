// Fuzzes the encoder that chooses between two values per pixel: the input gives the code size
// (and whether clears are placed), the pixels and their alternatives; our decoder must read back
// one of the two at every pixel.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "best/lzw_encoder_choices.h"
#include "gif/lzw_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumatrim;
  if (size < 2) return 0;
  const int codeSize = 2 + data[0] % 7;
  const int width = 1 + data[1] % 64;
  const size_t count = (size - 2) / 2;
  if (count == 0) return 0;
  const int height = int((count + size_t(width) - 1) / size_t(width));
  const uint8_t mask = uint8_t((1 << codeSize) - 1);
  // Pixels and alternatives interleaved; a short last row is filled with the last pixel.
  std::vector<uint8_t> pixels, alternatives;
  for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
    const size_t at = 2 + 2 * std::min(i, count - 1);
    pixels.push_back(data[at] & mask);
    // Most pixels offer the same value twice, as in real frames.
    const uint8_t other = data[at + 1];
    alternatives.push_back(other & 0x80 ? uint8_t(other & mask) : pixels.back());
  }
  std::vector<uint8_t> chain;
  lzw_choices::ChoiceEncoder encoder;
  if (data[0] & 0x80) {
    encoder.EncodeWithPlacedClears(chain, pixels, alternatives, codeSize, (data[0] & 0x40) != 0);
  } else {
    encoder.Encode(chain, pixels, alternatives, codeSize);
  }

  std::vector<uint8_t> joined;
  for (size_t at = 0; at < chain.size(); at += size_t(chain[at]) + 1) {
    if (chain[at] == 0 || at + 1 + chain[at] > chain.size()) __builtin_trap();
    joined.insert(joined.end(), chain.begin() + std::ptrdiff_t(at + 1),
                  chain.begin() + std::ptrdiff_t(at + 1 + chain[at]));
  }
  cDIB surface;
  if (!surface.Create(width, height, 8)) return 0;
  for (int32_t y = 0; y < height; ++y) {
    std::fill_n(surface.lpBits() + size_t(y) * size_t(surface.BytesPerScanline()), width, 0xFF);
  }
  mGIFLZWDec::DecodeFrame(surface, false, uint8_t(codeSize), joined);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = surface.lpBits() + size_t(y) * size_t(surface.BytesPerScanline());
    for (int32_t x = 0; x < width; ++x) {
      const size_t i = size_t(y) * size_t(width) + size_t(x);
      if (row[x] != pixels[i] && row[x] != alternatives[i]) __builtin_trap();
    }
  }
  return 0;
}
