// Plays a document the way a viewer does: every frame is drawn over a screen-sized canvas that
// starts fully transparent; after its delay a frame with disposal 2 clears its rectangle to
// transparent, one with disposal 3 puts back what was there before it, and any other leaves its
// pixels. Frames are clipped to the logical screen. Used to check that an output shows exactly
// what its input shows.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/gif_document.h"

namespace lumatrim {

struct ViewerFrame {
  // Width x height pixels of 4 bytes each: red, green, blue, alpha (0 transparent, 255 opaque).
  std::vector<uint8_t> rgba;
  int32_t delay = 0;  // hundredths of a second, as stored
};

struct ViewerPlayback {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<ViewerFrame> frames;
};

// Plays a document one frame at a time, holding only the canvas (and, for disposal 3, what lay
// under the current frame), so that long animations on large screens can be compared in step.
class Viewer {
 public:
  explicit Viewer(const cGIF& doc);
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // Draws the next frame and answers what the viewer shows then; false after the last frame.
  bool NextFrame(ViewerFrame& shown);
  // The next distinct picture: consecutive frames that show the same picture count as one, their
  // delays added. False after the last picture.
  bool NextPicture(ViewerFrame& shown);

 private:
  const cGIF& doc_;
  int32_t width_;
  int32_t height_;
  int16_t next_ = 1;
  std::vector<uint8_t> canvas_;
  ViewerFrame pending_;
  bool hasPending_ = false;
};

// What a viewer shows after each frame of doc is drawn.
ViewerPlayback PlayDocument(const cGIF& doc);

// The distinct pictures a viewer shows, with their times: consecutive frames that show the same
// picture count as one, their delays added.
std::vector<ViewerFrame> ShownPictures(const cGIF& doc);

// Whether two documents show the same pictures on the same screen for the same times.
bool LookTheSame(const cGIF& a, const cGIF& b);

}  // namespace lumatrim
