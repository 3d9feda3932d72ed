// What the screen shows, frame after frame, as a viewer plays a document: the canvas that --best
// compares each frame with.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/gif_document.h"
#include "raster/rect.h"

namespace lumatrim::best {

// Canvas values: red, green and blue in the low 24 bits for a colour; a value with a high byte
// for a spot where nothing is shown.
constexpr uint32_t kNothingShown = 0xFF000000;

class Screen {
 public:
  Screen(int32_t width, int32_t height)
      : width_(width), height_(height), pixels_(size_t(width) * size_t(height), kNothingShown) {}

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  uint32_t At(int32_t x, int32_t y) const {
    return pixels_[size_t(y) * size_t(width_) + size_t(x)];
  }

  // The part of the screen frame n covers; nothing for a frame without 8-bit pixels, which
  // viewers neither draw nor take away.
  Rect ClipOf(const cGIF& gif, int16_t n) const;

  // Draws frame n and answers what lay under it.
  std::vector<uint32_t> Draw(const cGIF& gif, int16_t n);

  // Takes frame n away as its disposal says, once its time is up.
  void TakeAway(const cGIF& gif, int16_t n, const std::vector<uint32_t>& under);

  // Whether frame next draws a colour wherever frame n's rectangle now shows one: then clearing
  // that rectangle before next is drawn changes nothing that is seen.
  bool Covers(const cGIF& gif, int16_t n, int16_t next) const;

 private:
  std::vector<uint32_t> Copy(const Rect& clip) const;
  void Fill(const Rect& clip, uint32_t value);
  void Restore(const Rect& clip, const std::vector<uint32_t>& copy);

  int32_t width_;
  int32_t height_;
  std::vector<uint32_t> pixels_;
};

}  // namespace lumatrim::best
