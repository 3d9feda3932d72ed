// Writes a long test animation with giflib, so that the benchmarks get inputs that no part of
// Lumatrim made. Every frame is a whole screen, as a naive video export writes it: colour bars,
// a band of stepped grey, a ball that moves, a moving stripe of dithered noise and a frame
// counter. Consecutive frames differ in a few places only, like a screen recording or a clip.
//
//   make_animation OUT.gif WIDTH HEIGHT FRAMES
#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kColors = 256;

// A 6 x 7 x 6 colour cube (252 colours) and four greys.
std::vector<GifColorType> MakePalette() {
  std::vector<GifColorType> colors(kColors);
  int i = 0;
  for (int r = 0; r < 6; ++r) {
    for (int g = 0; g < 7; ++g) {
      for (int b = 0; b < 6; ++b) {
        colors[size_t(i++)] = GifColorType{uint8_t(r * 51), uint8_t(g * 42), uint8_t(b * 51)};
      }
    }
  }
  for (; i < kColors; ++i) colors[size_t(i)] = GifColorType{uint8_t(i), uint8_t(i), uint8_t(i)};
  return colors;
}

uint8_t CubeIndex(int r, int g, int b) {
  return uint8_t((r * 7 + g) * 6 + b);
}

// The still part of every frame: eight colour bars over the top two thirds, grey steps below.
void PaintBackground(std::vector<uint8_t>& pixels, int width, int height) {
  const uint8_t bars[8] = {CubeIndex(5, 6, 5), CubeIndex(5, 6, 0), CubeIndex(0, 6, 5),
                           CubeIndex(0, 6, 0), CubeIndex(5, 0, 5), CubeIndex(5, 0, 0),
                           CubeIndex(0, 0, 5), CubeIndex(0, 0, 0)};
  for (int y = 0; y < height; ++y) {
    uint8_t* row = pixels.data() + size_t(y) * size_t(width);
    for (int x = 0; x < width; ++x) {
      if (y < height * 2 / 3) {
        row[x] = bars[x * 8 / width];
      } else {
        row[x] = CubeIndex(x * 6 / width, x * 7 / width, x * 6 / width);
      }
    }
  }
}

void PaintFrame(std::vector<uint8_t>& pixels, int width, int height, int frame, uint32_t& seed) {
  // A ball that bounces across the bars.
  const int radius = std::max(4, std::min(width, height) / 12);
  const int span = std::max(1, width - 2 * radius);
  const int step = frame * 7 % (2 * span);
  const int cx = radius + (step < span ? step : 2 * span - step);
  const int cy = height / 3 +
                 int(double(height / 4) * ((frame % 40) - 20) / 20.0 * ((frame % 40) - 20) / 20.0) -
                 height / 8;
  for (int y = std::max(0, cy - radius); y < std::min(height, cy + radius); ++y) {
    for (int x = std::max(0, cx - radius); x < std::min(width, cx + radius); ++x) {
      if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < radius * radius) {
        pixels[size_t(y) * size_t(width) + size_t(x)] = CubeIndex(5, 3, 0);
      }
    }
  }
  // A stripe of dithered noise that walks down the screen.
  const int stripe = std::max(2, height / 40);
  const int top = frame * 3 % std::max(1, height - stripe);
  for (int y = top; y < top + stripe; ++y) {
    for (int x = 0; x < width / 4; ++x) {
      seed = seed * 1664525u + 1013904223u;
      pixels[size_t(y) * size_t(width) + size_t(x)] = uint8_t(252 + (seed >> 30));
    }
  }
  // A counter: one block per decimal digit, each block shaded by its digit.
  const int block = std::max(2, std::min(width, height) / 30);
  int value = frame;
  for (int d = 0; d < 5; ++d, value /= 10) {
    const uint8_t shade = CubeIndex(value % 10 * 5 / 9, value % 10 * 6 / 9, 5);
    for (int y = height - 2 * block; y < height - block; ++y) {
      for (int x = width - (d + 2) * block; x < width - (d + 1) * block; ++x) {
        if (x >= 0 && y >= 0) pixels[size_t(y) * size_t(width) + size_t(x)] = shade;
      }
    }
  }
}

bool Check(int status, GifFileType* gif, const char* what) {
  if (status == GIF_OK) return true;
  std::fprintf(stderr, "make_animation: %s failed (giflib error %d)\n", what, gif->Error);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: make_animation OUT.gif WIDTH HEIGHT FRAMES\n");
    return 2;
  }
  const int width = std::atoi(argv[2]);
  const int height = std::atoi(argv[3]);
  const int frames = std::atoi(argv[4]);
  if (width < 16 || height < 16 || width > 65535 || height > 65535 || frames < 1 ||
      frames > 32767) {
    std::fprintf(stderr, "make_animation: sizes 16..65535, frames 1..32767\n");
    return 2;
  }
  int error = 0;
  GifFileType* gif = EGifOpenFileName(argv[1], false, &error);
  if (!gif) {
    std::fprintf(stderr, "make_animation: can't create %s (giflib error %d)\n", argv[1], error);
    return 1;
  }
  const std::vector<GifColorType> colors = MakePalette();
  ColorMapObject* map = GifMakeMapObject(kColors, colors.data());
  EGifSetGifVersion(gif, true);
  bool ok = Check(EGifPutScreenDesc(gif, width, height, 8, 0, map), gif, "screen");
  // Loop for ever.
  const uint8_t loop[3] = {1, 0, 0};
  ok = ok && Check(EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE), gif, "loop") &&
       Check(EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0"), gif, "loop") &&
       Check(EGifPutExtensionBlock(gif, 3, loop), gif, "loop") &&
       Check(EGifPutExtensionTrailer(gif), gif, "loop");

  std::vector<uint8_t> pixels(size_t(width) * size_t(height));
  uint32_t seed = 12345;
  for (int f = 0; f < frames && ok; ++f) {
    PaintBackground(pixels, width, height);
    PaintFrame(pixels, width, height, f, seed);
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.DelayTime = 4;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType block[4];
    EGifGCBToExtension(&control, block);
    ok = Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block), gif, "control") &&
         Check(EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr), gif, "image");
    for (int y = 0; y < height && ok; ++y) {
      ok = Check(EGifPutLine(gif, pixels.data() + size_t(y) * size_t(width), width), gif, "row");
    }
  }
  GifFreeMapObject(map);
  if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
  return ok ? 0 : 1;
}
