#include "playback/viewer.h"

#include <algorithm>
#include <cstring>

#include "gif/geometry.h"

namespace lumatrim {

namespace {

constexpr size_t kPixelBytes = 4;

size_t AreaBytes(const Rect& area) {
  return area.Empty()
             ? 0
             : size_t(area.right - area.left) * size_t(area.bottom - area.top) * kPixelBytes;
}

}  // namespace

Viewer::Viewer(const cGIF& doc)
    : doc_(doc),
      width_(Geometry(doc).ScreenWidth()),
      height_(Geometry(doc).ScreenHeight()),
      canvas_(size_t(width_) * size_t(height_) * kPixelBytes, 0) {}

uint64_t Viewer::MemoryNeeded(const cGIF& doc) {
  const Geometry geometry(doc);
  return uint64_t(geometry.ScreenWidth()) * uint64_t(geometry.ScreenHeight()) * kPixelBytes * 3;
}

Rect Viewer::ClipToScreen(int16_t nFrame) const {
  if (doc_.FrameDIBXOR(nFrame)->BPP() != 8) return Rect{};
  return Intersect(Geometry(doc_).Frame(nFrame), Rect{0, 0, width_, height_});
}

void Viewer::CopyArea(const Rect& area, std::vector<uint8_t>& to) const {
  to.resize(AreaBytes(area));
  if (area.Empty()) return;
  const size_t rowBytes = size_t(area.right - area.left) * kPixelBytes;
  for (int32_t y = area.top; y < area.bottom; ++y) {
    const uint8_t* from =
        canvas_.data() + (size_t(y) * size_t(width_) + size_t(area.left)) * kPixelBytes;
    std::memcpy(to.data() + size_t(y - area.top) * rowBytes, from, rowBytes);
  }
}

bool Viewer::Step() {
  if (next_ > doc_.FramesCount()) return false;
  const int16_t n = int16_t(next_++);
  const Rect drawn = ClipToScreen(n);
  const Rect disposed = pendingDisposal_ == 2 || pendingDisposal_ == 3 ? pendingArea_ : Rect{};
  touched_ = Union(disposed, drawn);
  CopyArea(touched_, touchedBefore_);

  // The frame before is taken away.
  if (!disposed.Empty()) {
    const size_t rowBytes = size_t(disposed.right - disposed.left) * kPixelBytes;
    for (int32_t y = disposed.top; y < disposed.bottom; ++y) {
      uint8_t* row =
          canvas_.data() + (size_t(y) * size_t(width_) + size_t(disposed.left)) * kPixelBytes;
      if (pendingDisposal_ == 2) {
        std::fill(row, row + rowBytes, uint8_t(0));
      } else {
        std::memcpy(row, pendingRestore_.data() + size_t(y - disposed.top) * rowBytes, rowBytes);
      }
    }
  }

  // This frame: what lies under it is kept when it will be put back.
  pendingDisposal_ = doc_.FrameDisposalMethod(n);
  pendingArea_ = drawn;
  if (pendingDisposal_ == 3) CopyArea(drawn, pendingRestore_);
  if (!drawn.Empty()) {
    const std::shared_ptr<const cDIB> surface = doc_.FrameDIBXOR(n);
    const cDIB& image = *surface;
    // A frame without its own table shows the global one, as the written file would.
    const uint8_t* palette =
        doc_.LocalPaletteUsed(n) ? doc_.lpFramePalette(n) : doc_.lpGlobalPalette();
    const bool transparent = doc_.FrameUseTransparentColor(n);
    const uint8_t transparentIndex = doc_.FrameTransparentColorIndex(n);
    const Rect box = Geometry(doc_).Frame(n);
    for (int32_t y = drawn.top; y < drawn.bottom; ++y) {
      const uint8_t* row = image.lpBits() + size_t(y - box.top) * size_t(image.BytesPerScanline());
      uint8_t* out =
          canvas_.data() + (size_t(y) * size_t(width_) + size_t(drawn.left)) * kPixelBytes;
      for (int32_t x = drawn.left; x < drawn.right; ++x, out += kPixelBytes) {
        const uint8_t index = row[x - box.left];
        if (transparent && index == transparentIndex) continue;
        const uint8_t* entry = palette + 4 * size_t(index);
        out[0] = entry[2];
        out[1] = entry[1];
        out[2] = entry[0];
        out[3] = 255;
      }
    }
  }

  lastDelay_ = Geometry(doc_).FrameDelay(n);
  std::vector<uint8_t> after;
  CopyArea(touched_, after);
  lastChanged_ = after != touchedBefore_;
  return true;
}

void Viewer::SwapLastStep() {
  if (touched_.Empty()) return;
  const size_t rowBytes = size_t(touched_.right - touched_.left) * kPixelBytes;
  for (int32_t y = touched_.top; y < touched_.bottom; ++y) {
    uint8_t* row =
        canvas_.data() + (size_t(y) * size_t(width_) + size_t(touched_.left)) * kPixelBytes;
    std::swap_ranges(row, row + rowBytes,
                     touchedBefore_.data() + size_t(y - touched_.top) * rowBytes);
  }
}

bool PictureStream::Next(int64_t& delay, Rect& changed) {
  if (!started_) {
    started_ = true;
    if (!viewer_.Step()) return false;
    changed = Rect{0, 0, viewer_.Width(), viewer_.Height()};
  } else if (stepPending_) {
    viewer_.SwapLastStep();
    stepPending_ = false;
    changed = viewer_.LastTouched();
  } else {
    return false;
  }
  delay = viewer_.LastDelay();
  while (viewer_.Step()) {
    if (viewer_.LastChanged()) {
      // The step starts the next picture: undone, the canvas shows this one until asked on.
      viewer_.SwapLastStep();
      stepPending_ = true;
      return true;
    }
    delay += viewer_.LastDelay();
  }
  return true;
}

ViewerPlayback PlayDocument(const cGIF& doc) {
  Viewer viewer(doc);
  ViewerPlayback playback{viewer.Width(), viewer.Height(), {}};
  while (viewer.Step()) playback.frames.push_back(ViewerFrame{viewer.Canvas(), viewer.LastDelay()});
  return playback;
}

std::vector<ViewerFrame> ShownPictures(const cGIF& doc) {
  PictureStream stream(doc);
  std::vector<ViewerFrame> shown;
  int64_t delay = 0;
  Rect changed;
  while (stream.Next(delay, changed)) shown.push_back(ViewerFrame{stream.View().Canvas(), delay});
  return shown;
}

namespace {

bool SameInArea(const Viewer& a, const Viewer& b, const Rect& area) {
  if (area.Empty()) return true;
  const size_t rowBytes = size_t(area.right - area.left) * kPixelBytes;
  for (int32_t y = area.top; y < area.bottom; ++y) {
    const size_t at = (size_t(y) * size_t(a.Width()) + size_t(area.left)) * kPixelBytes;
    if (std::memcmp(a.Canvas().data() + at, b.Canvas().data() + at, rowBytes) != 0) return false;
  }
  return true;
}

}  // namespace

PlaybackComparison ComparePlayback(const cGIF& a, const cGIF& b, uint64_t memoryBudget) {
  using Result = PlaybackComparison;
  const Geometry ga(a), gb(b);
  if (ga.ScreenWidth() != gb.ScreenWidth() || ga.ScreenHeight() != gb.ScreenHeight()) {
    return Result{Result::Different, "the screen sizes differ"};
  }
  if (Viewer::MemoryNeeded(a) + Viewer::MemoryNeeded(b) > memoryBudget) {
    return Result{Result::NotChecked, "the screen is too large to play within the memory budget"};
  }
  // Both canvases agree up to the picture before, so each new pair of pictures can only differ
  // where either changed.
  PictureStream first(a), second(b);
  int64_t delayA = 0, delayB = 0;
  Rect changedA, changedB;
  for (int64_t picture = 1;; ++picture) {
    const bool more = first.Next(delayA, changedA);
    if (more != second.Next(delayB, changedB)) {
      return Result{Result::Different, "the number of pictures differs"};
    }
    if (!more) return Result{Result::Same, ""};
    if (delayA != delayB) {
      return Result{Result::Different,
                    "picture " + std::to_string(picture) + " shows for another time"};
    }
    if (!SameInArea(first.View(), second.View(), Union(changedA, changedB))) {
      return Result{Result::Different, "picture " + std::to_string(picture) + " differs"};
    }
  }
}

bool LookTheSame(const cGIF& a, const cGIF& b) {
  return ComparePlayback(a, b).outcome == PlaybackComparison::Same;
}

}  // namespace lumatrim
