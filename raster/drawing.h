// Constants and arithmetic of the software drawing: the raster operations and stretch mode that
// cDIB::Stretch understands (the classic platform values), and the rounding every drawing
// position and size goes through.
#pragma once

#include <cmath>
#include <cstdint>

namespace lumatrim {

inline constexpr uint32_t SRCCOPY = 13369376;   // copy the source
inline constexpr uint32_t SRCAND = 8913094;     // target AND source
inline constexpr uint32_t SRCPAINT = 15597702;  // target OR source
// The only stretch mode: rows and columns are dropped or repeated, never blended.
inline constexpr int32_t COLORONCOLOR = 3;

// Rounds halves to the even neighbour (2.5 to 2, 3.5 to 4), as the drawing arithmetic always has.
inline int32_t RoundEven(double value) {
  return int32_t(std::nearbyint(value));
}

}  // namespace lumatrim
