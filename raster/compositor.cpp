#include "raster/compositor.h"

#include <algorithm>

namespace lumatrim {

namespace {

// The visible part of a frame's rectangle on the screen, as half-open bounds.
struct Clip {
  int32_t left, top, right, bottom;
  bool Empty() const { return left >= right || top >= bottom; }
};

Clip ClipToScreen(const cGIF& doc, int16_t nFrame, int32_t width, int32_t height) {
  const int32_t left = doc.FrameLeft(nFrame);
  const int32_t top = doc.FrameTop(nFrame);
  const cDIB& image = *doc.FrameDIBXOR(nFrame);
  return Clip{std::max(left, 0), std::max(top, 0), std::min(left + image.Width(), width),
              std::min(top + image.Height(), height)};
}

void DrawFrame(const cGIF& doc, int16_t nFrame, const Clip& clip, int32_t screenWidth,
               std::vector<uint8_t>& canvas) {
  const cDIB& image = *doc.FrameDIBXOR(nFrame);
  // A frame without its own table shows the global one, as the written file would.
  const uint8_t* palette =
      doc.LocalPaletteUsed(nFrame) ? doc.lpFramePalette(nFrame) : doc.lpGlobalPalette();
  const bool transparent = doc.FrameUseTransparentColor(nFrame);
  const uint8_t transparentIndex = doc.FrameTransparentColorIndex(nFrame);
  const int32_t left = doc.FrameLeft(nFrame);
  const int32_t top = doc.FrameTop(nFrame);
  for (int32_t y = clip.top; y < clip.bottom; ++y) {
    const uint8_t* row = image.lpBits() + size_t(y - top) * size_t(image.BytesPerScanline());
    uint8_t* out = canvas.data() + (size_t(y) * size_t(screenWidth) + size_t(clip.left)) * 4;
    for (int32_t x = clip.left; x < clip.right; ++x, out += 4) {
      const uint8_t index = row[x - left];
      if (transparent && index == transparentIndex) continue;
      const uint8_t* entry = palette + 4 * size_t(index);
      out[0] = entry[2];
      out[1] = entry[1];
      out[2] = entry[0];
      out[3] = 255;
    }
  }
}

void ClearRect(const Clip& clip, int32_t screenWidth, std::vector<uint8_t>& canvas) {
  for (int32_t y = clip.top; y < clip.bottom; ++y) {
    uint8_t* out = canvas.data() + (size_t(y) * size_t(screenWidth) + size_t(clip.left)) * 4;
    std::fill(out, out + size_t(clip.right - clip.left) * 4, uint8_t(0));
  }
}

}  // namespace

Viewer::Viewer(const cGIF& doc)
    : doc_(doc),
      // Screen sizes are unsigned in the file.
      width_(uint16_t(doc.ScreenWidth())),
      height_(uint16_t(doc.ScreenHeight())),
      canvas_(size_t(width_) * size_t(height_) * 4, 0) {}

bool Viewer::NextFrame(ViewerFrame& shown) {
  if (next_ > doc_.FramesCount()) return false;
  const int16_t n = next_++;
  const cDIB& image = *doc_.FrameDIBXOR(n);
  const Clip clip = ClipToScreen(doc_, n, width_, height_);
  const int32_t disposal = doc_.FrameDisposalMethod(n);
  std::vector<uint8_t> before;
  if (disposal == 3) before = canvas_;
  if (image.BPP() == 8 && !clip.Empty()) DrawFrame(doc_, n, clip, width_, canvas_);
  shown.rgba = canvas_;
  shown.delay = uint16_t(doc_.FrameDelay(n));
  if (disposal == 2 && !clip.Empty()) {
    ClearRect(clip, width_, canvas_);
  } else if (disposal == 3) {
    canvas_ = std::move(before);
  }
  return true;
}

bool Viewer::NextPicture(ViewerFrame& shown) {
  if (!hasPending_ && !NextFrame(pending_)) return false;
  hasPending_ = true;
  ViewerFrame frame;
  while (NextFrame(frame)) {
    if (frame.rgba != pending_.rgba) {
      shown = std::move(pending_);
      pending_ = std::move(frame);
      return true;
    }
    pending_.delay += frame.delay;
  }
  shown = std::move(pending_);
  hasPending_ = false;
  return true;
}

ViewerPlayback PlayDocument(const cGIF& doc) {
  Viewer viewer(doc);
  ViewerPlayback playback{viewer.Width(), viewer.Height(), {}};
  ViewerFrame frame;
  while (viewer.NextFrame(frame)) playback.frames.push_back(std::move(frame));
  return playback;
}

std::vector<ViewerFrame> ShownPictures(const cGIF& doc) {
  Viewer viewer(doc);
  std::vector<ViewerFrame> shown;
  ViewerFrame picture;
  while (viewer.NextPicture(picture)) shown.push_back(std::move(picture));
  return shown;
}

bool LookTheSame(const cGIF& a, const cGIF& b) {
  Viewer first(a), second(b);
  if (first.Width() != second.Width() || first.Height() != second.Height()) return false;
  ViewerFrame x, y;
  while (true) {
    const bool more = first.NextPicture(x);
    if (more != second.NextPicture(y)) return false;
    if (!more) return true;
    if (x.rgba != y.rgba || x.delay != y.delay) return false;
  }
}

}  // namespace lumatrim
