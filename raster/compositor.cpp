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

ViewerPlayback PlayDocument(const cGIF& doc) {
  ViewerPlayback playback;
  // Screen sizes are unsigned in the file.
  playback.width = uint16_t(doc.ScreenWidth());
  playback.height = uint16_t(doc.ScreenHeight());
  std::vector<uint8_t> canvas(size_t(playback.width) * size_t(playback.height) * 4, 0);
  for (int16_t n = 1; n <= doc.FramesCount(); ++n) {
    const cDIB& image = *doc.FrameDIBXOR(n);
    const Clip clip = ClipToScreen(doc, n, playback.width, playback.height);
    const int32_t disposal = doc.FrameDisposalMethod(n);
    std::vector<uint8_t> before;
    if (disposal == 3) before = canvas;
    if (image.BPP() == 8 && !clip.Empty()) DrawFrame(doc, n, clip, playback.width, canvas);
    playback.frames.push_back(ViewerFrame{canvas, uint16_t(doc.FrameDelay(n))});
    if (disposal == 2 && !clip.Empty()) {
      ClearRect(clip, playback.width, canvas);
    } else if (disposal == 3) {
      canvas = std::move(before);
    }
  }
  return playback;
}

std::vector<ViewerFrame> ShownPictures(const cGIF& doc) {
  std::vector<ViewerFrame> shown;
  for (ViewerFrame& frame : PlayDocument(doc).frames) {
    if (!shown.empty() && shown.back().rgba == frame.rgba) {
      shown.back().delay += frame.delay;
    } else {
      shown.push_back(std::move(frame));
    }
  }
  return shown;
}

bool LookTheSame(const cGIF& a, const cGIF& b) {
  if (a.ScreenWidth() != b.ScreenWidth() || a.ScreenHeight() != b.ScreenHeight()) return false;
  const std::vector<ViewerFrame> x = ShownPictures(a);
  const std::vector<ViewerFrame> y = ShownPictures(b);
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i) {
    if (x[i].rgba != y[i].rgba || x[i].delay != y[i].delay) return false;
  }
  return true;
}

}  // namespace lumatrim
