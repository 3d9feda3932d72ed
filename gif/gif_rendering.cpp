// Transparency masks and drawing of frames. The image surface's colour table shows the
// transparent entry as black, and the 1-bit mask marks the transparent pixels, so a frame can be
// drawn over a background in two passes: AND with the mask, then OR with the image.
#include "gif/geometry.h"
#include "gif/gif_document.h"
#include "raster/drawing.h"

namespace lumatrim {

namespace {

constexpr uint8_t kBlackAndWhite[8] = {0, 0, 0, 0, 255, 255, 255, 0};

}  // namespace

void cGIF::FrameMask(int16_t nFrame, uint8_t TransparentColorIndex) {
  Frame& frame = FrameAt(nFrame);
  PaletteStore imageTable = frame.palette;
  const std::shared_ptr<cDIB> imageSurface = frame.pixels->ImageForChanging();
  const std::shared_ptr<cDIB> maskSurface = frame.pixels->MaskForChanging();
  cDIB& image = *imageSurface;
  cDIB& mask = *maskSurface;
  if (frame.useTransparentColor) {
    uint8_t* entry = imageTable.data() + 4 * size_t(TransparentColorIndex);
    entry[0] = entry[1] = entry[2] = 0;
    // Every colour black but the transparent one white: the colour matching of the block copy
    // then turns exactly the transparent pixels into mask bits of 1.
    PaletteStore maskSource{};
    uint8_t* white = maskSource.data() + 4 * size_t(TransparentColorIndex);
    white[0] = white[1] = white[2] = 255;
    image.SetPalette(maskSource);
    mask.SetPalette(kBlackAndWhite);
    mask.LoadBlt(image.DrawingTarget(), 0, 0, 0, 0);
    image.SetPalette(imageTable);
  } else {
    mask.SetPalette(kBlackAndWhite);
    mask.Cls(0);
    image.SetPalette(imageTable);
  }
}

void cGIF::FrameDraw(cDIB* hDC, int16_t nFrame, int16_t Left, int16_t Top, float ScaleFactor,
                     bool ScreenCrop) {
  const Frame& frame = FrameAt(nFrame);
  const Geometry geometry(*this);
  const int32_t left = geometry.FrameLeft(nFrame);
  const int32_t top = geometry.FrameTop(nFrame);
  const std::shared_ptr<const cDIB> image = frame.pixels->ImageForReading();
  const std::shared_ptr<const cDIB> mask = frame.pixels->MaskForReading();
  int32_t w = image->Width();
  int32_t h = image->Height();
  if (ScreenCrop) {
    if (left + w > geometry.ScreenWidth()) w = geometry.ScreenWidth() - left;
    if (top + h > geometry.ScreenHeight()) h = geometry.ScreenHeight() - top;
    if (w < 0) w = 0;
    if (h < 0) h = 0;
  }
  const double scale = ScaleFactor;
  const int32_t x = RoundEven(scale * left + Left);
  const int32_t y = RoundEven(scale * top + Top);
  const int32_t width = RoundEven(scale * w);
  const int32_t height = RoundEven(scale * h);
  // A source size of 0 would mean the whole surface, so a fully cropped frame draws nothing.
  if (w == 0 || h == 0) return;
  if (frame.useTransparentColor) {
    mask->Stretch(hDC, x, y, width, height, 0, 0, w, h, SRCAND, COLORONCOLOR);
    image->Stretch(hDC, x, y, width, height, 0, 0, w, h, SRCPAINT, COLORONCOLOR);
  } else {
    image->Stretch(hDC, x, y, width, height, 0, 0, w, h, SRCCOPY, COLORONCOLOR);
  }
}

cDIB cGIF::FrameImage(int16_t nFrame) {
  const Frame& frame = FrameAt(nFrame);
  const std::shared_ptr<cDIB> imageSurface = frame.pixels->ImageForChanging();
  cDIB& image = *imageSurface;
  std::vector<uint8_t> kept;
  if (frame.useTransparentColor) {
    image.GetPalette(kept);
    image.SetPalette(frame.palette);
  }
  cDIB picture = image.Image();
  if (frame.useTransparentColor) image.SetPalette(kept);
  return picture;
}

}  // namespace lumatrim
