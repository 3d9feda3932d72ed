#include "best/frames.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <memory>
#include <unordered_map>
#include <utility>

#include "gif/color_table.h"
#include "gif/frame_numbers.h"
#include "gif/geometry.h"
#include "optimizer/passes.h"
#include "optimizer/pixel_grid.h"
#include "playback/canvas.h"
#include "playback/pieces.h"

namespace lumatrim::best {

namespace {

using mGIFOptimizer::TakenAway;

// Per pixel of a frame, what it may be sent as: an index (0 to 255) or the frame's transparent
// index, whichever that turns out to be.
constexpr uint16_t kTransparentWillDo = 256;

// The palette frame n draws with, and its transparent index (-1 for none).
struct FrameColors {
  const uint8_t* store;
  int entries;
  int transparent;

  FrameColors(const cGIF& gif, int16_t n)
      : store(gif.LocalPaletteUsed(n) ? gif.lpFramePalette(n) : gif.lpGlobalPalette()),
        entries(gif.LocalPaletteUsed(n) ? gif.LocalPaletteEntries(n) : gif.GlobalPaletteEntries()),
        transparent(gif.FrameUseTransparentColor(n) ? gif.FrameTransparentColorIndex(n) : -1) {}

  bool IsTransparent(uint8_t index) const { return int(index) == transparent; }
};

// The first index of each colour of a palette, leaving out the transparent index.
class ColorIndex {
 public:
  explicit ColorIndex(const FrameColors& colors) {
    for (int i = std::min(colors.entries, 256) - 1; i >= 0; --i) {
      if (i != colors.transparent) first_[EntryColor(colors.store, uint8_t(i))] = uint8_t(i);
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

// What one frame needs: per pixel (row by row, the frame's width a row) what it may be sent as,
// and the rectangle around the pixels that change the screen.
struct FrameNeeds {
  std::vector<uint16_t> choice;
  Rect changed;
  // Around the pixels under which the screen shows something: clearing the frame's rectangle
  // changes the screen there.
  Rect overShown;
};

// Compares frame n with the screen into needs, whose choices keep their memory from frame to
// frame (a frame of many megapixels would otherwise cost fresh pages each time).
void Compare(const cGIF& gif, int16_t n, const Canvas& screen, FrameNeeds& needs) {
  const PixelView image = MapDIBPixels(gif.FrameDIBXOR(n));
  const int32_t width = image.Width();
  const int32_t height = image.Height();
  const Rect frame = Geometry(gif).Frame(n);
  const FrameColors colors(gif, n);
  const ColorIndex firstIndex(colors);
  const auto shownAt = [&](int32_t x, int32_t y) {
    return screen.At(frame.left + x, frame.top + y);
  };
  const auto choiceOf = [&](uint8_t index, uint32_t shown) {
    if (colors.IsTransparent(index)) {
      // Shows what is there; so does any index of the colour that is there.
      if (shown != kNothingShown) {
        const int same = firstIndex.Find(shown);
        if (same >= 0) return uint16_t(same);
      }
      return uint16_t(index);
    }
    return EntryColor(colors.store, index) == shown ? kTransparentWillDo : uint16_t(index);
  };

  // Every choice is written below.
  needs.choice.resize(size_t(width) * size_t(height));
  for (int32_t y = 0; y < height; ++y) {
    MapInPieces(image.Row(y), screen.RowOf(frame.top + y) + frame.left, size_t(width),
                &needs.choice[size_t(y) * size_t(width)], choiceOf);
  }
  needs.changed = FindPixelBounds(0, 0, width - 1, height - 1, [&](int32_t x, int32_t y) {
    return !colors.IsTransparent(image.At(x, y)) &&
           needs.choice[size_t(y) * size_t(width) + size_t(x)] != kTransparentWillDo;
  });
  needs.overShown = FindPixelBounds(0, 0, width - 1, height - 1, [&](int32_t x, int32_t y) {
    return shownAt(x, y) != kNothingShown;
  });
}

// An index of the frame's table that no pixel in keep needs to show its own colour, preferring
// small ones (they keep the LZW code size down); -1 when every index is needed. A pixel that
// shows the same colour as the screen under it needs no index: sent as its own or as the
// transparent index, it shows that colour either way, even when the two are the same index.
int FreeIndex(const cGIF& gif, int16_t n, const FrameNeeds& needs, const Rect& keep) {
  const int32_t width = gif.FrameSurfaceWidth(n);
  std::array<bool, 256> used{};
  for (int32_t y = keep.top; y < keep.bottom; ++y) {
    const uint16_t* choice = &needs.choice[size_t(y) * size_t(width)];
    ForEachInPieces(choice + keep.left, size_t(keep.Width()), [&](uint16_t value, size_t) {
      if (value < 256) used[value] = true;
    });
  }
  const int tableSize = TableEntries(FrameColors(gif, n).entries);
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
  const PixelView image = MapDIBPixels(gif.FrameDIBXOR(n));
  const size_t width = size_t(keep.Width());
  PixelAlternatives alternatives(width * size_t(keep.Height()));
  const auto valueOf = [transparent](uint8_t own, uint16_t choice) {
    if (choice != kTransparentWillDo) return uint8_t(choice);
    return transparent >= 0 ? uint8_t(transparent) : own;
  };
  bool any = false;
  uint8_t* to = alternatives.data();
  for (int32_t y = keep.top; y < keep.bottom; ++y, to += width) {
    const uint8_t* row = image.Row(y) + keep.left;
    const uint16_t* choice = &needs.choice[size_t(y) * size_t(image.Width())] + keep.left;
    MapInPieces(row, choice, width, to, valueOf);
    any = any || std::memcmp(to, row, width) != 0;
  }
  if (!any) alternatives.clear();
  return alternatives;
}

bool HasTransparentWillDo(const FrameNeeds& needs, int32_t width, const Rect& keep) {
  for (int32_t y = keep.top; y < keep.bottom; ++y) {
    const uint16_t* choice = &needs.choice[size_t(y) * size_t(width)];
    if (AnyInPieces(choice + keep.left, size_t(keep.Width()), kTransparentWillDo)) return true;
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
bool Followable(const cGIF& gif, int16_t n, const Canvas& screen) {
  const PixelView image = MapDIBPixels(gif.FrameDIBXOR(n));
  if (image.Width() <= 0 || image.Height() <= 0) return false;
  const Rect frame = Geometry(gif).Frame(n);
  return frame.right <= screen.Width() && frame.bottom <= screen.Height();
}

// Whether frame n, which changes nothing on the screen, may go: the picture before it then stays
// on show for both times, which must fit the field.
bool MayDropUnchanging(const cGIF& gif, int16_t n) {
  if (n <= 1 || TakenAway(gif.FrameDisposalMethod(n)) ||
      TakenAway(gif.FrameDisposalMethod(int16_t(n - 1)))) {
    return false;
  }
  const Geometry geometry(gif);
  return int64_t(geometry.FrameDelay(int16_t(n - 1))) + geometry.FrameDelay(n) <= kMaxStored16;
}

// Drops frame n and gives its time to the frame before.
void DropIntoPrevious(cGIF& gif, int16_t n) {
  const Geometry geometry(gif);
  gif.FrameDelay(int16_t(n - 1),
                 StoredU16(int64_t(geometry.FrameDelay(int16_t(n - 1))) + geometry.FrameDelay(n)));
  gif.FrameRemove(n);
}

// Whether frame next draws a colour wherever area of the screen now shows one: then clearing
// that area before next is drawn changes nothing that is seen.
bool Covers(const cGIF& gif, const Canvas& screen, const Rect& area, int16_t next) {
  const std::shared_ptr<const cDIB> surface = gif.FrameDIBXOR(next);
  if (surface->BPP() != 8 || surface->lpBits() == nullptr) return false;
  const PixelView image = MapDIBPixels(surface);
  const Rect frame = Geometry(gif).Frame(next);
  const bool transparent = gif.FrameUseTransparentColor(next);
  const uint8_t t = gif.FrameTransparentColorIndex(next);
  // Whether the screen shows something between columns from and to of row y.
  const auto showsSomething = [&](int32_t y, int32_t from, int32_t to) {
    bool shows = false;
    if (from < to) {
      ForEachInPieces(screen.RowOf(y) + from, size_t(to - from),
                      [&](uint32_t shown, size_t) { shows = shows || shown != kNothingShown; });
    }
    return shows;
  };
  for (int32_t y = area.top; y < area.bottom; ++y) {
    if (y < frame.top || y >= frame.bottom) {
      if (showsSomething(y, area.left, area.right)) return false;
      continue;
    }
    // Outside next's columns, and under its transparent pixels.
    const int32_t left = std::max(area.left, frame.left);
    const int32_t right = std::min(area.right, frame.right);
    if (showsSomething(y, area.left, std::min(area.right, frame.left)) ||
        showsSomething(y, std::max(area.left, frame.right), area.right)) {
      return false;
    }
    if (!transparent || left >= right) continue;
    bool seen = false;
    ForEachInPieces(screen.RowOf(y) + left, image.Row(y - frame.top) + (left - frame.left),
                    size_t(right - left), [&](uint32_t shown, uint8_t index, size_t) {
                      seen = seen || (shown != kNothingShown && index == t);
                    });
    if (seen) return false;
  }
  return true;
}

// The frames of a document followed one by one over the screen they are shown on.
class FramesReducer {
 public:
  FramesReducer(cGIF& gif, bool growPalettes)
      : gif_(gif),
        growPalettes_(growPalettes),
        screen_(Geometry(gif).ScreenWidth(), Geometry(gif).ScreenHeight()) {
    result_.alternatives.resize(size_t(gif.FramesCount()) + 1);
  }

  void Run() {
    // A counter wider than frame numbers, so that it passes 32767.
    for (int32_t n = 1; n <= gif_.FramesCount();) {
      if (!Reduce(int16_t(n))) ++n;
    }
    result_.alternatives.resize(size_t(gif_.FramesCount()) + 1);
  }

  ReducedFrames Take() { return std::move(result_); }

 private:
  // Plays frame n, then crops it, drops it or gives it alternatives; answers whether it went.
  bool Reduce(int16_t n) {
    const bool followable = Followable(std::as_const(gif_), n, screen_);
    Play(n, followable, needs_);
    if (!followable) return false;
    const FrameNeeds& needs = needs_;
    Rect keep = KeptArea(n, needs);
    if (keep.Empty()) {
      if (MayDropUnchanging(gif_, n)) {
        DropIntoPrevious(gif_, n);
        result_.alternatives.erase(result_.alternatives.begin() + n);
        return true;
      }
      keep = Rect{0, 0, 1, 1};
    }
    GiveAlternatives(n, needs, keep);
    return false;
  }

  // Compares frame n with the screen, draws it and takes it away; a frame cleared away only to
  // be drawn over where it showed anything keeps its pixels on the screen instead.
  void Play(int16_t n, bool followable, FrameNeeds& needs) {
    const cGIF& gif = gif_;
    if (followable) Compare(gif, n, screen_, needs);
    const Rect area = screen_.ClipOf(gif, n);
    // Only disposal 3 puts back what was under the frame (disposal 2 may become 1 below, never 3).
    const std::vector<uint32_t> under =
        gif.FrameDisposalMethod(n) == 3 ? screen_.Copy(area) : std::vector<uint32_t>();
    screen_.Draw(gif, n);
    if (followable && gif.FrameDisposalMethod(n) == 2 && n < gif.FramesCount() &&
        Covers(gif, screen_, area, int16_t(n + 1))) {
      gif_.FrameDisposalMethod(n, 1);
    }
    screen_.TakeAway(gif.FrameDisposalMethod(n), area, under);
  }

  // The part of frame n that must be sent: what changes the screen, and with disposal 2 also
  // whatever was seen under it, which the rectangle it clears must still take away.
  Rect KeptArea(int16_t n, const FrameNeeds& needs) const {
    if (gif_.FrameDisposalMethod(n) == 2) return Union(needs.changed, needs.overShown);
    return needs.changed;
  }

  // Crops frame n to keep and records what its pixels may be sent as, with a transparent index
  // found or made for it where one helps.
  void GiveAlternatives(int16_t n, const FrameNeeds& needs, const Rect& keep) {
    const int32_t width = gif_.FrameSurfaceWidth(n);
    const Rect whole{0, 0, width, gif_.FrameSurfaceHeight(n)};
    int transparent = FrameColors(gif_, n).transparent;
    if (transparent < 0 && HasTransparentWillDo(needs, width, keep)) {
      transparent = FreeIndex(gif_, n, needs, keep);
      result_.paletteFull = result_.paletteFull || transparent < 0;
      if (transparent < 0 && growPalettes_) transparent = GrowPalette(gif_, n, grownGlobalIndex_);
    }
    // Without a transparent index, these are the alternatives without it; and where they are
    // none with it, they are none without it either (every pixel that it would do for is that
    // index already, and every other keeps its choice).
    const PixelAlternatives chosen = AlternativesIn(gif_, n, needs, keep, transparent);
    // A frame that could not be cropped keeps what it had, without choices.
    if (keep != whole && !CropFrame(gif_, n, keep)) return;
    if (transparent >= 0 && !chosen.empty()) {
      gif_.FrameUseTransparentColor(n, true);
      gif_.FrameTransparentColorIndex(n, uint8_t(transparent));
    }
    result_.alternatives[size_t(n)] = FrameAlternatives(chosen);
  }

  cGIF& gif_;
  const bool growPalettes_;
  Canvas screen_;
  // The needs of the frame in hand.
  FrameNeeds needs_;
  ReducedFrames result_;
  int grownGlobalIndex_ = -1;
};

}  // namespace

bool ScreenFitsBudget(const cGIF& oGIF, uint64_t memoryBudget) {
  // The screen, and a copy of it under a frame with disposal 3.
  const Geometry geometry(oGIF);
  return uint64_t(geometry.ScreenWidth()) * uint64_t(geometry.ScreenHeight()) * 8 <= memoryBudget;
}

Result<ReducedFrames> ReduceFrames(cGIF& oGIF, bool growPalettes) {
  try {
    FramesReducer reducer(oGIF, growPalettes);
    reducer.Run();
    return reducer.Take();
  } catch (...) {
    return FailureIn("frames compared with the screen", ReasonOfCurrentException());
  }
}

}  // namespace lumatrim::best
