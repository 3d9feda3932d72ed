#include "playback/viewer.h"

#include "gif/geometry.h"

namespace lumatrim {

Viewer::Viewer(const cGIF& doc)
    : doc_(doc), canvas_(Geometry(doc).ScreenWidth(), Geometry(doc).ScreenHeight()) {}

uint64_t Viewer::MemoryNeeded(const cGIF& doc) {
  const Geometry geometry(doc);
  return uint64_t(geometry.ScreenWidth()) * uint64_t(geometry.ScreenHeight()) *
         Canvas::kBytesPerPixel * 3;
}

bool Viewer::Step() {
  if (next_ > doc_.FramesCount()) return false;
  const int16_t n = int16_t(next_++);
  const Rect drawn = canvas_.ClipOf(doc_, n);
  const Rect disposed = pendingDisposal_ == 2 || pendingDisposal_ == 3 ? pendingArea_ : Rect{};
  touched_ = Union(disposed, drawn);
  touchedBefore_ = canvas_.Copy(touched_);

  canvas_.TakeAway(pendingDisposal_, disposed, pendingRestore_);
  // This frame: what lies under it is kept when it will be put back.
  pendingDisposal_ = doc_.FrameDisposalMethod(n);
  pendingArea_ = drawn;
  if (pendingDisposal_ == 3) pendingRestore_ = canvas_.Copy(drawn);
  canvas_.Draw(doc_, n);

  lastDelay_ = Geometry(doc_).FrameDelay(n);
  lastChanged_ = canvas_.Copy(touched_) != touchedBefore_;
  return true;
}

void Viewer::SwapLastStep() {
  canvas_.Swap(touched_, touchedBefore_);
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
    if (!first.View().Shown().SameIn(second.View().Shown(), Union(changedA, changedB))) {
      return Result{Result::Different, "picture " + std::to_string(picture) + " differs"};
    }
  }
}

}  // namespace lumatrim
