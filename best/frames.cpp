#include "best/frames.h"
#include "gif/frame_numbers.h"

#include <algorithm>
#include <array>
#include <exception>
#include <memory>
#include <unordered_map>

#include "gif/geometry.h"
#include "optimizer/passes.h"
#include "optimizer/pixel_grid.h"

namespace lumatrim::best {

namespace {

// Canvas values: red, green and blue in the low 24 bits for a colour; a value with a high byte
// for a spot where nothing is shown.
constexpr uint32_t kNothingShown = 0xFF000000;

// Per pixel of a frame, what it may be sent as: an index (0 to 255) or the frame's transparent
// index, whichever that turns out to be.
constexpr uint16_t kTransparentWillDo = 256;

uint32_t ColorOf(const uint8_t* palette, uint8_t index) {
  const uint8_t* entry = palette + 4 * size_t(index);
  return uint32_t(entry[2]) | (uint32_t(entry[1]) << 8) | (uint32_t(entry[0]) << 16);
}

int PaletteBits(int entries) {
  int bits = 1;
  while (bits < 8 && (1 << bits) < entries) ++bits;
  return bits;
}

// What the screen shows, frame after frame, as a viewer plays the document.
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
  Rect ClipOf(const cGIF& gif, int16_t n) const {
    if (gif.FrameDIBXOR(n)->BPP() != 8) return Rect{};
    return Intersect(Geometry(gif).Frame(n), Rect{0, 0, width_, height_});
  }

  // Draws frame n and answers what lay under it.
  std::vector<uint32_t> Draw(const cGIF& gif, int16_t n) {
    const std::shared_ptr<const cDIB> image = gif.FrameDIBXOR(n);
    const int32_t left = Geometry(gif).FrameLeft(n);
    const int32_t top = Geometry(gif).FrameTop(n);
    const Rect clip = ClipOf(gif, n);
    std::vector<uint32_t> under = Copy(clip);
    if (image->BPP() == 8 && image->lpBits() != nullptr && !clip.Empty()) {
      const uint8_t* palette =
          gif.LocalPaletteUsed(n) ? gif.lpFramePalette(n) : gif.lpGlobalPalette();
      const bool transparent = gif.FrameUseTransparentColor(n);
      const uint8_t t = gif.FrameTransparentColorIndex(n);
      for (int32_t y = clip.top; y < clip.bottom; ++y) {
        const uint8_t* row = image->lpBits() + size_t(y - top) * size_t(image->BytesPerScanline());
        uint32_t* out = &pixels_[size_t(y) * size_t(width_)];
        for (int32_t x = clip.left; x < clip.right; ++x) {
          const uint8_t index = row[x - left];
          if (!(transparent && index == t)) out[x] = ColorOf(palette, index);
        }
      }
    }
    return under;
  }

  // Takes frame n away as its disposal says, once its time is up.
  void TakeAway(const cGIF& gif, int16_t n, const std::vector<uint32_t>& under) {
    const int32_t disposal = gif.FrameDisposalMethod(n);
    if (disposal == 2) {
      Fill(ClipOf(gif, n), kNothingShown);
    } else if (disposal == 3) {
      Restore(ClipOf(gif, n), under);
    }
  }

  // Whether frame next draws a colour wherever frame n's rectangle now shows one: then clearing
  // that rectangle before next is drawn changes nothing that is seen.
  bool Covers(const cGIF& gif, int16_t n, int16_t next) const {
    const Rect clip = ClipOf(gif, n);
    const std::shared_ptr<const cDIB> image = gif.FrameDIBXOR(next);
    if (image->BPP() != 8 || image->lpBits() == nullptr) return false;
    const int32_t left = Geometry(gif).FrameLeft(next);
    const int32_t top = Geometry(gif).FrameTop(next);
    const bool transparent = gif.FrameUseTransparentColor(next);
    const uint8_t t = gif.FrameTransparentColorIndex(next);
    for (int32_t y = clip.top; y < clip.bottom; ++y) {
      for (int32_t x = clip.left; x < clip.right; ++x) {
        if (At(x, y) == kNothingShown) continue;
        if (x < left || y < top || x >= left + image->Width() || y >= top + image->Height()) {
          return false;
        }
        const uint8_t index =
            image->lpBits()[size_t(y - top) * size_t(image->BytesPerScanline()) + size_t(x - left)];
        if (transparent && index == t) return false;
      }
    }
    return true;
  }

 private:
  std::vector<uint32_t> Copy(const Rect& clip) const {
    std::vector<uint32_t> copy;
    for (int32_t y = clip.top; y < clip.bottom; ++y) {
      const auto row = pixels_.begin() + std::ptrdiff_t(size_t(y) * size_t(width_));
      copy.insert(copy.end(), row + clip.left, row + clip.right);
    }
    return copy;
  }
  void Fill(const Rect& clip, uint32_t value) {
    for (int32_t y = clip.top; y < clip.bottom; ++y) {
      const auto row = pixels_.begin() + std::ptrdiff_t(size_t(y) * size_t(width_));
      std::fill(row + clip.left, row + clip.right, value);
    }
  }
  void Restore(const Rect& clip, const std::vector<uint32_t>& copy) {
    auto from = copy.begin();
    for (int32_t y = clip.top; y < clip.bottom; ++y) {
      const auto row = pixels_.begin() + std::ptrdiff_t(size_t(y) * size_t(width_));
      std::copy(from, from + (clip.right - clip.left), row + clip.left);
      from += clip.right - clip.left;
    }
  }

  int32_t width_;
  int32_t height_;
  std::vector<uint32_t> pixels_;
};

// The first index of each colour of a palette, leaving out the transparent index.
class ColorIndex {
 public:
  ColorIndex(const uint8_t* palette, int entries, int transparent) {
    for (int i = std::min(entries, 256) - 1; i >= 0; --i) {
      if (i != transparent) first_[ColorOf(palette, uint8_t(i))] = uint8_t(i);
    }
  }
  // The index of color, or -1 when the palette lacks it.
  int Find(uint32_t color) const {
    const auto it = first_.find(color);
    return it == first_.end() ? -1 : it->second;
  }

 private:
  std::unordered_map<uint32_t, uint8_t> first_;
};

bool TakenAway(int32_t disposal) {
  return disposal == 2 || disposal == 3;
}

// What one frame needs: per pixel (row by row, the frame's width a row) what it may be sent as,
// and the rectangle around the pixels that change the screen.
struct FrameNeeds {
  std::vector<uint16_t> choice;
  Rect changed;
  // Around the pixels under which the screen shows something: clearing the frame's rectangle
  // changes the screen there.
  Rect overShown;
};

void Include(Rect& r, int32_t x, int32_t y) {
  if (r.Empty()) {
    r = Rect{x, y, x + 1, y + 1};
    return;
  }
  r.left = std::min(r.left, x);
  r.top = std::min(r.top, y);
  r.right = std::max(r.right, x + 1);
  r.bottom = std::max(r.bottom, y + 1);
}

FrameNeeds Compare(const cGIF& gif, int16_t n, const Screen& screen) {
  const std::shared_ptr<const cDIB> image = gif.FrameDIBXOR(n);
  const int32_t width = image->Width();
  const int32_t height = image->Height();
  const int32_t left = Geometry(gif).FrameLeft(n);
  const int32_t top = Geometry(gif).FrameTop(n);
  const bool local = gif.LocalPaletteUsed(n);
  const uint8_t* palette = local ? gif.lpFramePalette(n) : gif.lpGlobalPalette();
  const int entries = local ? gif.LocalPaletteEntries(n) : gif.GlobalPaletteEntries();
  const bool transparent = gif.FrameUseTransparentColor(n);
  const uint8_t t = gif.FrameTransparentColorIndex(n);
  const ColorIndex colors(palette, entries, transparent ? t : -1);

  FrameNeeds needs;
  needs.choice.resize(size_t(width) * size_t(height));
  int32_t x0 = width, y0 = height, x1 = -1, y1 = -1;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = image->lpBits() + size_t(y) * size_t(image->BytesPerScanline());
    uint16_t* choice = &needs.choice[size_t(y) * size_t(width)];
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t index = row[x];
      const uint32_t shown = screen.At(left + x, top + y);
      choice[x] = index;
      if (shown != kNothingShown) Include(needs.overShown, x, y);
      if (transparent && index == t) {
        // Shows what is there; so does any index of the colour that is there.
        if (shown != kNothingShown) {
          const int same = colors.Find(shown);
          if (same >= 0) choice[x] = uint16_t(same);
        }
      } else if (ColorOf(palette, index) == shown) {
        choice[x] = kTransparentWillDo;
      } else {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
      }
    }
  }
  if (x1 >= 0) needs.changed = Rect{x0, y0, x1 + 1, y1 + 1};
  return needs;
}

// An index of the frame's table that no pixel in keep needs to show its own colour, preferring
// small ones (they keep the LZW code size down); -1 when every index is needed. A pixel that
// shows the same colour as the screen under it needs no index: sent as its own or as the
// transparent index, it shows that colour either way, even when the two are the same index.
int FreeIndex(const cGIF& gif, int16_t n, const FrameNeeds& needs, const Rect& keep) {
  const int32_t width = gif.FrameDIBXOR(n)->Width();
  std::array<bool, 256> used{};
  for (int32_t y = keep.top; y < keep.bottom; ++y) {
    const uint16_t* choice = &needs.choice[size_t(y) * size_t(width)];
    for (int32_t x = keep.left; x < keep.right; ++x) {
      if (choice[x] < 256) used[choice[x]] = true;
    }
  }
  const int entries =
      gif.LocalPaletteUsed(n) ? gif.LocalPaletteEntries(n) : gif.GlobalPaletteEntries();
  const int tableSize = 1 << PaletteBits(entries);
  for (int i = 0; i < tableSize; ++i) {
    if (!used[size_t(i)]) return i;
  }
  return -1;
}

// The alternatives of the pixels in keep, with transparent standing for "transparent will do"
// (or the pixel's own index when the frame has no transparent index); empty when no pixel has
// any.
PixelAlternatives AlternativesIn(const cGIF& gif, int16_t n, const FrameNeeds& needs,
                                 const Rect& keep, int transparent) {
  const std::shared_ptr<const cDIB> image = gif.FrameDIBXOR(n);
  PixelAlternatives alternatives;
  alternatives.reserve(size_t(keep.right - keep.left) * size_t(keep.bottom - keep.top));
  bool any = false;
  for (int32_t y = keep.top; y < keep.bottom; ++y) {
    const uint8_t* row = image->lpBits() + size_t(y) * size_t(image->BytesPerScanline());
    const uint16_t* choice = &needs.choice[size_t(y) * size_t(image->Width())];
    for (int32_t x = keep.left; x < keep.right; ++x) {
      uint8_t value = row[x];
      if (choice[x] == kTransparentWillDo) {
        if (transparent >= 0) value = uint8_t(transparent);
      } else {
        value = uint8_t(choice[x]);
      }
      any = any || value != row[x];
      alternatives.push_back(value);
    }
  }
  if (!any) alternatives.clear();
  return alternatives;
}

bool HasTransparentWillDo(const FrameNeeds& needs, int32_t width, const Rect& keep) {
  for (int32_t y = keep.top; y < keep.bottom; ++y) {
    const uint16_t* choice = &needs.choice[size_t(y) * size_t(width)];
    for (int32_t x = keep.left; x < keep.right; ++x) {
      if (choice[x] == kTransparentWillDo) return true;
    }
  }
  return false;
}

// A new last entry for the frame's palette, to serve as its transparent index; -1 when the
// palette is full. Frames on the global palette share one such entry.
int GrowPalette(cGIF& gif, int16_t n, int& grownGlobalIndex) {
  if (gif.LocalPaletteUsed(n)) {
    const int16_t entries = gif.LocalPaletteEntries(n);
    if (entries >= 256) return -1;
    gif.LocalPaletteEntries(n, int16_t(entries + 1));
    return entries;
  }
  if (grownGlobalIndex >= 0) return grownGlobalIndex;
  const int16_t entries = gif.GlobalPaletteEntries();
  if (!gif.GlobalPaletteExists() || entries >= 256) return -1;
  gif.GlobalPaletteEntries(int16_t(entries + 1));
  for (int16_t f : AllFrames(gif)) {
    if (!gif.LocalPaletteUsed(f)) gif.LocalPaletteEntries(f, int16_t(entries + 1));
  }
  grownGlobalIndex = entries;
  return entries;
}

// Whether a frame is one this pass can follow: 8-bit pixels wholly on the screen.
bool Followable(const cGIF& gif, int16_t n, const Screen& screen) {
  const std::shared_ptr<const cDIB> image = gif.FrameDIBXOR(n);
  if (image->BPP() != 8 || image->lpBits() == nullptr || image->Width() <= 0 ||
      image->Height() <= 0) {
    return false;
  }
  const int32_t left = Geometry(gif).FrameLeft(n);
  const int32_t top = Geometry(gif).FrameTop(n);
  return left >= 0 && top >= 0 && left + image->Width() <= screen.Width() &&
         top + image->Height() <= screen.Height();
}

}  // namespace

std::optional<ReducedFrames> ReduceFrames(cGIF& oGIF, uint64_t memoryBudget, bool growPalettes) {
  const int32_t width = uint16_t(oGIF.ScreenWidth());
  const int32_t height = uint16_t(oGIF.ScreenHeight());
  // The screen, and a copy of it under a frame with disposal 3.
  if (uint64_t(width) * uint64_t(height) * 8 > memoryBudget) return std::nullopt;

  ReducedFrames result;
  DocumentAlternatives& alternatives = result.alternatives;
  alternatives.resize(size_t(oGIF.FramesCount()) + 1);
  int grownGlobalIndex = -1;
  try {
    Screen screen(width, height);
    // A counter wider than frame numbers, so that it passes 32767.
    for (int32_t n = 1; n <= oGIF.FramesCount();) {
      const bool followable = Followable(oGIF, n, screen);
      FrameNeeds needs;
      if (followable) needs = Compare(oGIF, n, screen);
      const std::vector<uint32_t> under = screen.Draw(oGIF, n);
      // A frame cleared away only to be drawn over where it showed anything needs no clearing.
      if (followable && oGIF.FrameDisposalMethod(n) == 2 && n < oGIF.FramesCount() &&
          screen.Covers(oGIF, n, int16_t(n + 1))) {
        oGIF.FrameDisposalMethod(n, 1);
      }
      screen.TakeAway(oGIF, n, under);
      if (!followable) {
        ++n;
        continue;
      }

      const int32_t width = oGIF.FrameSurfaceWidth(n);
      const Rect whole{0, 0, width, oGIF.FrameSurfaceHeight(n)};
      const int32_t disposal = oGIF.FrameDisposalMethod(n);
      Rect keep = needs.changed;
      if (disposal == 2) {
        // The rectangle it clears must still take away whatever was seen under it.
        if (!needs.overShown.Empty()) Include(keep, needs.overShown.left, needs.overShown.top);
        if (!needs.overShown.Empty()) {
          Include(keep, needs.overShown.right - 1, needs.overShown.bottom - 1);
        }
      }
      if (keep.Empty()) {
        // Nothing changes the screen. The frame may go when the picture before it stays on
        // show for its time, as long as the sum of the times fits.
        const bool mayDrop =
            n > 1 && !TakenAway(disposal) && !TakenAway(oGIF.FrameDisposalMethod(int16_t(n - 1))) &&
            int32_t(uint16_t(oGIF.FrameDelay(int16_t(n - 1)))) + uint16_t(oGIF.FrameDelay(n)) <=
                65535;
        if (mayDrop) {
          oGIF.FrameDelay(int16_t(n - 1), int16_t(uint16_t(oGIF.FrameDelay(int16_t(n - 1))) +
                                                  uint16_t(oGIF.FrameDelay(n))));
          oGIF.FrameRemove(n);
          alternatives.erase(alternatives.begin() + n);
          continue;
        }
        keep = Rect{0, 0, 1, 1};
      }

      int transparent = oGIF.FrameUseTransparentColor(n) ? oGIF.FrameTransparentColorIndex(n) : -1;
      PixelAlternatives chosen = AlternativesIn(oGIF, n, needs, keep, -1);
      if (transparent < 0 && HasTransparentWillDo(needs, width, keep)) {
        transparent = FreeIndex(oGIF, n, needs, keep);
        result.paletteFull = result.paletteFull || transparent < 0;
        if (transparent < 0 && growPalettes) transparent = GrowPalette(oGIF, n, grownGlobalIndex);
      }
      PixelAlternatives withTransparent = AlternativesIn(oGIF, n, needs, keep, transparent);

      if (keep != whole && !CropFrame(oGIF, n, keep)) {
        ++n;  // a frame that could not be cropped keeps what it had, without choices
        continue;
      }
      if (transparent >= 0 && !withTransparent.empty()) {
        oGIF.FrameUseTransparentColor(n, true);
        oGIF.FrameTransparentColorIndex(n, uint8_t(transparent));
        chosen = std::move(withTransparent);
      }
      alternatives[size_t(n)] = FrameAlternatives(chosen);
      ++n;
    }
  } catch (const std::exception&) {
    // Every frame handled so far shows what it showed; the rest are as they were.
  }
  alternatives.resize(size_t(oGIF.FramesCount()) + 1);
  return result;
}

}  // namespace lumatrim::best
