#include "gif/packed_surface.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "gif/byte_packer.h"

namespace lumatrim {

namespace {

bool AllZero(const uint8_t* bytes, size_t size) {
  // Every byte equals the one after it, and the first is 0.
  return size == 0 || (bytes[0] == 0 && std::memcmp(bytes, bytes + 1, size - 1) == 0);
}

}  // namespace

PackedSurface PackedSurface::Pack(const cDIB& surface) {
  PackedSurface packed;
  if (surface.lpBits() == nullptr) return packed;
  packed.width_ = surface.Width();
  packed.height_ = surface.Height();
  packed.bpp_ = surface.BPP();
  if (packed.bpp_ <= 8) surface.GetPalette(packed.table_);
  if (AllZero(surface.lpBits(), size_t(surface.Size()))) {
    packed.form_ = Form::Zeros;
    return packed;
  }
  packed.form_ = Form::RawBytes;
  packed.data_ =
      BytePacker::Pack(std::span<const uint8_t>(surface.lpBits(), size_t(surface.Size())),
                       size_t(surface.BytesPerScanline()));
  return packed;
}

void PackedSurface::SetPalette(std::span<const uint8_t> palette) {
  // Nothing packed, or no table (more than 8 bits a pixel): nothing to set.
  const size_t bytes = std::min(palette.size() / 4 * 4, table_.size());
  if (bytes > 0) std::memcpy(table_.data(), palette.data(), bytes);
}

void PackedSurface::UnpackTo(cDIB& surface) const {
  if (form_ == Form::NoPixels) {
    surface.Destroy();
    return;
  }
  // A size that was made once is made again; failing now means memory ran out. The surface
  // may bring memory of the same size along (a spare of the frame cache): every byte is written.
  if (!surface.CreateForOverwrite(width_, height_, bpp_)) throw std::bad_alloc();
  surface.SetPalette(table_);
  const std::span<uint8_t> bytes(surface.lpBits(), size_t(surface.Size()));
  if (form_ == Form::Zeros || !BytePacker::Unpack(data_, bytes)) {
    // Our own packed bytes always unpack; were they ever damaged, the frame reads as zeros,
    // never as what the memory held before.
    std::memset(bytes.data(), 0, bytes.size());
  }
}

}  // namespace lumatrim
