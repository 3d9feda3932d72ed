// A surface's content in little memory: its size, depth and colour table, and its bytes packed.
// Unpacking gives back the same surface, byte for byte, padding included.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "raster/dib.h"

namespace lumatrim {

class PackedSurface {
 public:
  // Nothing packed: unpacking leaves a surface without pixels.
  PackedSurface() = default;

  // The surface as it is now.
  static PackedSurface Pack(const cDIB& surface);

  // Makes surface equal to the one packed. Throws std::bad_alloc when its memory can't be had;
  // the packed content is kept either way.
  void UnpackTo(cDIB& surface) const;

  // Gives the packed surface this colour table, as cDIB::SetPalette gives it to a surface.
  void SetPalette(std::span<const uint8_t> palette);
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Bpp() const { return bpp_; }
  bool HasPixels() const { return form_ != Form::NoPixels; }
  // Heap bytes held.
  uint64_t Bytes() const { return data_.capacity() + table_.capacity(); }

 private:
  enum class Form : uint8_t {
    NoPixels,  // no surface
    Zeros,     // every byte 0: nothing to keep but the size and table
    RawBytes,  // every byte of the surface memory, by BytePacker
  };

  Form form_ = Form::NoPixels;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bpp_ = 0;
  std::vector<uint8_t> table_;
  std::vector<uint8_t> data_;
};

}  // namespace lumatrim
