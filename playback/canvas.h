// The screen a viewer draws frames on and takes them away from: one value per pixel, the colour
// shown there (red, green and blue in the low 24 bits, as ColorRef) or kNothingShown. Playback
// and --best both follow a document over one of these, so both draw and take away alike.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/gif_document.h"
#include "raster/rect.h"

namespace lumatrim {

// A value with a high byte: a spot where nothing is shown.
constexpr uint32_t kNothingShown = 0xFF000000;

class Canvas {
 public:
  // A canvas that shows nothing yet.
  Canvas(int32_t width, int32_t height)
      : width_(width), height_(height), pixels_(size_t(width) * size_t(height), kNothingShown) {}

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  uint32_t At(int32_t x, int32_t y) const {
    return pixels_[size_t(y) * size_t(width_) + size_t(x)];
  }
  static constexpr uint64_t kBytesPerPixel = sizeof(uint32_t);

  // The part of the canvas frame n covers; nothing for a frame without 8-bit pixels, which
  // viewers neither draw nor take away.
  Rect ClipOf(const cGIF& doc, int16_t n) const;

  // Draws frame n within ClipOf(n): its transparent pixels leave what is there. A frame without
  // its own table shows the global one, as the written file would.
  void Draw(const cGIF& doc, int16_t n);

  // Takes away a frame that covered area, as its disposal says: 2 shows nothing there again,
  // 3 puts back under (what Copy(area) answered before it was drawn), any other leaves it.
  void TakeAway(int32_t disposal, const Rect& area, const std::vector<uint32_t>& under);

  // The values of an area, row by row; and ways to put them or one value back.
  std::vector<uint32_t> Copy(const Rect& area) const;
  void Fill(const Rect& area, uint32_t value);
  void Restore(const Rect& area, const std::vector<uint32_t>& copy);
  // Exchanges an area's values with copy's.
  void Swap(const Rect& area, std::vector<uint32_t>& copy);

  // Whether both canvases, of one size, show the same in area.
  bool SameIn(const Canvas& other, const Rect& area) const;

  // Row y's values, Width() of them.
  const uint32_t* RowOf(int32_t y) const { return Row(y); }

 private:
  uint32_t* Row(int32_t y) { return pixels_.data() + size_t(y) * size_t(width_); }
  const uint32_t* Row(int32_t y) const { return pixels_.data() + size_t(y) * size_t(width_); }

  int32_t width_;
  int32_t height_;
  std::vector<uint32_t> pixels_;
};

}  // namespace lumatrim
