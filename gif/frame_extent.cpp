#include "gif/frame_extent.h"

#include <algorithm>

namespace lumatrim {

namespace {

// The rows, from the top, that the first pixels of a frame fill.
int32_t RowsReached(FrameSize declared, bool interlaced, uint64_t pixels) {
  const uint64_t width = uint64_t(declared.width);
  const uint64_t height = uint64_t(declared.height);
  const uint64_t rows = (pixels + width - 1) / width;
  if (!interlaced) return int32_t(std::min(rows, height));
  // The first pass holds every 8th row from row 0; past it the rows reach to the bottom.
  const uint64_t firstPassRows = (height + 7) / 8;
  if (rows > firstPassRows) return declared.height;
  return int32_t(std::min(8 * (rows - 1) + 1, height));
}

}  // namespace

HeldFrame HeldFrameSize(FrameSize declared, const FramePlace& place, bool interlaced,
                        const mGIFLZWDec::StreamExtent& extent, uint64_t maxShownFill) {
  if (declared.width <= 0 || declared.height <= 0) return {declared};
  const uint64_t declaredPixels = uint64_t(declared.width) * uint64_t(declared.height);
  if (extent.pixels >= declaredPixels) return {declared};

  // What the data reached: whole rows, or less than one row in a row as wide as the data.
  const FrameSize reached =
      extent.pixels >= uint64_t(declared.width)
          ? FrameSize{declared.width, RowsReached(declared, interlaced, extent.pixels)}
          : FrameSize{int32_t(extent.pixels), extent.pixels > 0 ? 1 : 0};
  const int32_t shownWidth = std::clamp(place.screenWidth - place.left, 0, declared.width);
  const int32_t shownHeight = std::clamp(place.screenHeight - place.top, 0, declared.height);
  if (shownWidth == 0 || shownHeight == 0) return {reached};
  // With the part the screen shows.
  const FrameSize withShown{std::max(reached.width, shownWidth),
                            std::max(reached.height, shownHeight)};
  const uint64_t fill = uint64_t(withShown.width) * uint64_t(withShown.height) - extent.pixels;
  if (fill > maxShownFill) return {reached, true};
  return {withShown};
}

}  // namespace lumatrim
