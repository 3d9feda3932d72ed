// Plays a document the way a viewer does: every frame is drawn over a screen-sized canvas that
// starts fully transparent; after its delay a frame with disposal 2 clears its rectangle to
// transparent, one with disposal 3 puts back what was there before it, and any other leaves its
// pixels. Frames are clipped to the logical screen. Used to check that an output shows exactly
// what its input shows.
//
// Playing streams: a viewer holds the canvas and, for the step just played, what lay under the
// area it touched, so the work per frame follows the frame's size, not the screen's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gif/gif_document.h"
#include "playback/canvas.h"
#include "raster/rect.h"

namespace lumatrim {

class Viewer {
 public:
  explicit Viewer(const cGIF& doc);
  int32_t Width() const { return canvas_.Width(); }
  int32_t Height() const { return canvas_.Height(); }
  // What the screen shows now.
  const Canvas& Shown() const { return canvas_; }

  // The bytes a viewer of doc holds at most: the canvas and two areas of its size.
  static uint64_t MemoryNeeded(const cGIF& doc);

  // Takes the previous frame away as its disposal says and draws the next frame; false after
  // the last frame. Then the Last* members describe the step.
  bool Step();
  int32_t LastDelay() const { return lastDelay_; }
  // The area the step may have changed, and whether it changed any pixel there.
  const Rect& LastTouched() const { return touched_; }
  bool LastChanged() const { return lastChanged_; }
  // Swaps the touched area of the canvas with what lay there before the step: once to undo the
  // step, once more to redo it.
  void SwapLastStep();

 private:
  const cGIF& doc_;
  int32_t next_ = 1;  // wider than frame numbers, so that it passes 32767
  Canvas canvas_;
  // The frame shown last, to be taken away by the next step.
  int32_t pendingDisposal_ = 0;
  Rect pendingArea_;
  std::vector<uint32_t> pendingRestore_;  // disposal 3: what lay under it
  int32_t lastDelay_ = 0;
  Rect touched_;
  std::vector<uint32_t> touchedBefore_;
  bool lastChanged_ = false;
};

// The distinct pictures a viewer shows, one at a time: consecutive frames that show the same
// picture count as one, their delays added.
class PictureStream {
 public:
  explicit PictureStream(const cGIF& doc) : viewer_(doc) {}
  const Viewer& View() const { return viewer_; }
  // Moves to the next picture, which the viewer's canvas then shows; false after the last.
  // delay: its time; changed: where it differs from the picture before (the whole screen for the
  // first).
  bool Next(int64_t& delay, Rect& changed);

 private:
  Viewer viewer_;
  bool started_ = false;
  bool stepPending_ = false;  // a step that starts the next picture, undone for now
};

// Whether two documents show the same pictures on the same screen for the same times, when that
// could be checked within the memory budget.
struct PlaybackComparison {
  enum Outcome { Same, Different, NotChecked } outcome = NotChecked;
  std::string reason;  // what differs, or why it was not checked
};
PlaybackComparison ComparePlayback(const cGIF& a, const cGIF& b,
                                   uint64_t memoryBudget = cGIF::kDefaultMemoryBudget);

}  // namespace lumatrim
