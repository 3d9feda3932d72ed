// The colour tables of a GIF file: the size a palette pads to when it is written, and the colour
// of a palette store's entry. The writer, the passes and --best all reason about these; this is
// the one place that says how.
#pragma once

#include <cstdint>

#include "raster/dib.h"
#include "raster/errors.h"

namespace lumatrim {

// The bits of the table a palette of entries is written as: the smallest b of at least 1 with
// 2^b >= entries (0, 1 or 2 entries give 1; 129 to 256 give 8). More than 256 entries don't fit
// the 3-bit size field of a descriptor and throw OverflowError.
inline int TableBits(int entries) {
  if (entries > 256) throw OverflowError("palette of more than 256 entries");
  int bits = 1;
  while ((1 << bits) < entries) ++bits;
  return bits;
}

// The entries of that table: the palette padded to a power of two, at least 2.
inline int TableEntries(int entries) {
  return 1 << TableBits(entries);
}

// The colour of entry index of a palette store (blue, green, red, reserved per entry).
inline ColorRef EntryColor(const uint8_t* store, uint8_t index) {
  const uint8_t* entry = store + 4 * size_t(index);
  return RGB(entry[2], entry[1], entry[0]);
}

}  // namespace lumatrim
