#include "playback/canvas.h"

#include <algorithm>
#include <memory>

#include "gif/color_table.h"
#include "gif/geometry.h"
#include "playback/pieces.h"

namespace lumatrim {

Rect Canvas::ClipOf(const cGIF& doc, int16_t n) const {
  if (doc.FrameDIBXOR(n)->BPP() != 8) return Rect{};
  return Intersect(Geometry(doc).Frame(n), Rect{0, 0, width_, height_});
}

void Canvas::Draw(const cGIF& doc, int16_t n) {
  const Rect clip = ClipOf(doc, n);
  const std::shared_ptr<const cDIB> image = doc.FrameDIBXOR(n);
  if (clip.Empty() || image->lpBits() == nullptr) return;
  const Rect frame = Geometry(doc).Frame(n);
  const uint8_t* palette = doc.LocalPaletteUsed(n) ? doc.lpFramePalette(n) : doc.lpGlobalPalette();
  const bool transparent = doc.FrameUseTransparentColor(n);
  const uint8_t transparentIndex = doc.FrameTransparentColorIndex(n);
  const size_t width = size_t(clip.Width());
  for (int32_t y = clip.top; y < clip.bottom; ++y) {
    const uint8_t* from = image->lpBits() +
                          size_t(y - frame.top) * size_t(image->BytesPerScanline()) +
                          size_t(clip.left - frame.left);
    uint32_t* to = Row(y) + clip.left;
    const auto draw = [&](size_t x, size_t count) {
      const uint8_t index = from[x];
      if (!(transparent && index == transparentIndex)) {
        std::fill_n(to + x, count, EntryColor(palette, index));
      }
    };
    size_t x = 0;
    for (; x + kPiece <= width; x += kPiece) {
      if (OnePieceValue(from + x)) {
        draw(x, kPiece);
      } else {
        for (size_t k = x; k < x + kPiece; ++k) draw(k, 1);
      }
    }
    for (; x < width; ++x) draw(x, 1);
  }
}

void Canvas::TakeAway(int32_t disposal, const Rect& area, const std::vector<uint32_t>& under) {
  if (disposal == 2) {
    Fill(area, kNothingShown);
  } else if (disposal == 3) {
    Restore(area, under);
  }
}

std::vector<uint32_t> Canvas::Copy(const Rect& area) const {
  std::vector<uint32_t> copy;
  if (area.Empty()) return copy;
  copy.reserve(size_t(area.Width()) * size_t(area.Height()));
  for (int32_t y = area.top; y < area.bottom; ++y) {
    copy.insert(copy.end(), Row(y) + area.left, Row(y) + area.right);
  }
  return copy;
}

void Canvas::Fill(const Rect& area, uint32_t value) {
  if (area.Empty()) return;
  for (int32_t y = area.top; y < area.bottom; ++y) {
    std::fill(Row(y) + area.left, Row(y) + area.right, value);
  }
}

void Canvas::Restore(const Rect& area, const std::vector<uint32_t>& copy) {
  if (area.Empty()) return;
  auto from = copy.begin();
  for (int32_t y = area.top; y < area.bottom; ++y, from += area.Width()) {
    std::copy(from, from + area.Width(), Row(y) + area.left);
  }
}

void Canvas::Swap(const Rect& area, std::vector<uint32_t>& copy) {
  if (area.Empty()) return;
  auto with = copy.begin();
  for (int32_t y = area.top; y < area.bottom; ++y, with += area.Width()) {
    std::swap_ranges(Row(y) + area.left, Row(y) + area.right, with);
  }
}

bool Canvas::SameIn(const Canvas& other, const Rect& area) const {
  if (area.Empty()) return true;
  for (int32_t y = area.top; y < area.bottom; ++y) {
    if (!std::equal(Row(y) + area.left, Row(y) + area.right, other.Row(y) + area.left)) {
      return false;
    }
  }
  return true;
}

}  // namespace lumatrim
