#include "best/screen.h"

#include <algorithm>
#include <memory>

#include "gif/color_table.h"
#include "gif/geometry.h"
#include "optimizer/pixel_grid.h"

namespace lumatrim::best {

namespace {

// Whether a frame has 8-bit pixels to draw.
bool HasIndices(const cGIF& gif, int16_t n) {
  const std::shared_ptr<const cDIB> image = gif.FrameDIBXOR(n);
  return image->BPP() == 8 && image->lpBits() != nullptr;
}

const uint8_t* PaletteOf(const cGIF& gif, int16_t n) {
  return gif.LocalPaletteUsed(n) ? gif.lpFramePalette(n) : gif.lpGlobalPalette();
}

}  // namespace

Rect Screen::ClipOf(const cGIF& gif, int16_t n) const {
  if (gif.FrameDIBXOR(n)->BPP() != 8) return Rect{};
  return Intersect(Geometry(gif).Frame(n), Rect{0, 0, width_, height_});
}

std::vector<uint32_t> Screen::Draw(const cGIF& gif, int16_t n) {
  const PixelView image = MapDIBPixels(gif.FrameDIBXOR(n));
  const Rect frame = Geometry(gif).Frame(n);
  const Rect clip = ClipOf(gif, n);
  std::vector<uint32_t> under = Copy(clip);
  if (!HasIndices(gif, n) || clip.Empty()) return under;
  const uint8_t* palette = PaletteOf(gif, n);
  const bool transparent = gif.FrameUseTransparentColor(n);
  const uint8_t t = gif.FrameTransparentColorIndex(n);
  for (int32_t y = clip.top; y < clip.bottom; ++y) {
    const uint8_t* row = image.Row(y - frame.top);
    uint32_t* out = &pixels_[size_t(y) * size_t(width_)];
    for (int32_t x = clip.left; x < clip.right; ++x) {
      const uint8_t index = row[x - frame.left];
      if (!(transparent && index == t)) out[x] = EntryColor(palette, index);
    }
  }
  return under;
}

void Screen::TakeAway(const cGIF& gif, int16_t n, const std::vector<uint32_t>& under) {
  const int32_t disposal = gif.FrameDisposalMethod(n);
  if (disposal == 2) {
    Fill(ClipOf(gif, n), kNothingShown);
  } else if (disposal == 3) {
    Restore(ClipOf(gif, n), under);
  }
}

bool Screen::Covers(const cGIF& gif, int16_t n, int16_t next) const {
  const Rect clip = ClipOf(gif, n);
  const PixelView image = MapDIBPixels(gif.FrameDIBXOR(next));
  if (!HasIndices(gif, next)) return false;
  const Rect frame = Geometry(gif).Frame(next);
  const bool transparent = gif.FrameUseTransparentColor(next);
  const uint8_t t = gif.FrameTransparentColorIndex(next);
  for (int32_t y = clip.top; y < clip.bottom; ++y) {
    for (int32_t x = clip.left; x < clip.right; ++x) {
      if (At(x, y) == kNothingShown) continue;
      if (x < frame.left || y < frame.top || x >= frame.right || y >= frame.bottom) return false;
      if (transparent && image.At(x - frame.left, y - frame.top) == t) return false;
    }
  }
  return true;
}

std::vector<uint32_t> Screen::Copy(const Rect& clip) const {
  std::vector<uint32_t> copy;
  for (int32_t y = clip.top; y < clip.bottom; ++y) {
    const auto row = pixels_.begin() + std::ptrdiff_t(size_t(y) * size_t(width_));
    copy.insert(copy.end(), row + clip.left, row + clip.right);
  }
  return copy;
}

void Screen::Fill(const Rect& clip, uint32_t value) {
  for (int32_t y = clip.top; y < clip.bottom; ++y) {
    const auto row = pixels_.begin() + std::ptrdiff_t(size_t(y) * size_t(width_));
    std::fill(row + clip.left, row + clip.right, value);
  }
}

void Screen::Restore(const Rect& clip, const std::vector<uint32_t>& copy) {
  auto from = copy.begin();
  for (int32_t y = clip.top; y < clip.bottom; ++y) {
    const auto row = pixels_.begin() + std::ptrdiff_t(size_t(y) * size_t(width_));
    std::copy(from, from + clip.Width(), row + clip.left);
    from += clip.Width();
  }
}

}  // namespace lumatrim::best
