// Writes a set of long generated animations for the --best benchmark: every frame a full-screen,
// unoptimized image written by giflib, the way simple tools and screen recorders write them.
// Deterministic: the same files on every run. Usage: make_animations FOLDER
// Build: g++ -O2 -std=c++20 make_animations.cpp -lgif
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Color {
  uint8_t r, g, b;
};

using Frame = std::vector<uint8_t>;  // width * height palette indices

struct Animation {
  std::string name;
  int width, height;
  std::vector<Color> palette;
  int frames;
  int delay;
  int transparent = -1;  // index, or -1
  int disposal = 1;
  std::function<void(int frame, Frame& pixels)> draw;
};

bool Write(const std::string& path, const Animation& a) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  if (gif == nullptr) return false;
  EGifSetGifVersion(gif, true);
  int bits = 1;
  while ((1 << bits) < int(a.palette.size())) ++bits;
  std::vector<GifColorType> colors(size_t(1) << bits, GifColorType{0, 0, 0});
  for (size_t i = 0; i < a.palette.size(); ++i) {
    colors[i] = GifColorType{a.palette[i].r, a.palette[i].g, a.palette[i].b};
  }
  ColorMapObject* map = GifMakeMapObject(1 << bits, colors.data());
  bool ok = EGifPutScreenDesc(gif, a.width, a.height, bits, 0, map) == GIF_OK;
  GifFreeMapObject(map);
  const GifByteType netscape[] = "NETSCAPE2.0";
  const GifByteType loop[] = {1, 0, 0};
  ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
       EGifPutExtensionBlock(gif, 11, netscape) == GIF_OK &&
       EGifPutExtensionBlock(gif, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
  Frame pixels(size_t(a.width) * size_t(a.height), 0);
  for (int f = 0; f < a.frames && ok; ++f) {
    a.draw(f, pixels);
    GraphicsControlBlock control{a.disposal, false, a.delay, a.transparent};
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
         EGifPutImageDesc(gif, 0, 0, a.width, a.height, false, nullptr) == GIF_OK;
    for (int y = 0; y < a.height && ok; ++y) {
      ok = EGifPutLine(gif, &pixels[size_t(y) * size_t(a.width)], a.width) == GIF_OK;
    }
  }
  return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

std::vector<Color> Ramp(int n, Color from, Color to) {
  std::vector<Color> colors;
  for (int i = 0; i < n; ++i) {
    const double t = n == 1 ? 0 : double(i) / (n - 1);
    colors.push_back(Color{uint8_t(from.r + (to.r - from.r) * t),
                           uint8_t(from.g + (to.g - from.g) * t),
                           uint8_t(from.b + (to.b - from.b) * t)});
  }
  return colors;
}

std::vector<Color> Rainbow(int n) {
  std::vector<Color> colors;
  for (int i = 0; i < n; ++i) {
    const double h = 6.283185 * i / n;
    colors.push_back(Color{uint8_t(127 + 127 * std::sin(h)),
                           uint8_t(127 + 127 * std::sin(h + 2.094)),
                           uint8_t(127 + 127 * std::sin(h + 4.189))});
  }
  return colors;
}

void Box(Frame& p, int width, int x0, int y0, int w, int h, uint8_t c) {
  const int height = int(p.size()) / width;
  for (int y = std::max(0, y0); y < std::min(height, y0 + h); ++y) {
    for (int x = std::max(0, x0); x < std::min(width, x0 + w); ++x) p[size_t(y * width + x)] = c;
  }
}

void Disc(Frame& p, int width, double cx, double cy, double r, uint8_t c) {
  Box(p, width, 0, 0, 0, 0, c);
  const int height = int(p.size()) / width;
  for (int y = std::max(0, int(cy - r)); y <= std::min(height - 1, int(cy + r)); ++y) {
    for (int x = std::max(0, int(cx - r)); x <= std::min(width - 1, int(cx + r)); ++x) {
      if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) p[size_t(y * width + x)] = c;
    }
  }
}

// Seven-segment digits, for counters and clocks.
void Digit(Frame& p, int width, int x, int y, int digit, uint8_t c) {
  static const int segments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
  const int s = segments[digit % 10];
  if (s & 1) Box(p, width, x + 1, y, 6, 2, c);
  if (s & 2) Box(p, width, x + 6, y + 1, 2, 6, c);
  if (s & 4) Box(p, width, x + 6, y + 8, 2, 6, c);
  if (s & 8) Box(p, width, x + 1, y + 13, 6, 2, c);
  if (s & 16) Box(p, width, x, y + 8, 2, 6, c);
  if (s & 32) Box(p, width, x, y + 1, 2, 6, c);
  if (s & 64) Box(p, width, x + 1, y + 7, 6, 2, c);
}

std::vector<Animation> Animations() {
  std::vector<Animation> all;

  // Conway's life on a torus: a few scattered changes per frame.
  for (const auto& [name, w, h, frames] :
       {std::tuple{"life", 200, 200, 300}, std::tuple{"life-wide", 480, 160, 150}}) {
    auto cells = std::make_shared<std::vector<uint8_t>>(size_t(w) * h);
    std::mt19937 random{uint32_t(w)};
    for (auto& c : *cells) c = random() % 4 == 0;
    all.push_back({name,
                   w,
                   h,
                   {{255, 255, 255}, {20, 20, 120}},
                   frames,
                   8,
                   -1,
                   1,
                   [cells, w, h](int f, Frame& p) {
                     if (f > 0) {
                       std::vector<uint8_t> next(cells->size());
                       for (int y = 0; y < h; ++y) {
                         for (int x = 0; x < w; ++x) {
                           int n = 0;
                           for (int dy = -1; dy <= 1; ++dy) {
                             for (int dx = -1; dx <= 1; ++dx) {
                               if (dx || dy)
                                 n += (*cells)[size_t(((y + dy + h) % h) * w + (x + dx + w) % w)];
                             }
                           }
                           const uint8_t alive = (*cells)[size_t(y * w + x)];
                           next[size_t(y * w + x)] = n == 3 || (alive && n == 2);
                         }
                       }
                       *cells = next;
                     }
                     p = *cells;
                   }});
  }

  // Plasma: every pixel changes every frame.
  all.push_back({"plasma", 160, 120, Rainbow(64), 60, 5, -1, 1, [](int f, Frame& p) {
                   for (int y = 0; y < 120; ++y) {
                     for (int x = 0; x < 160; ++x) {
                       const double v = std::sin(x / 16.0 + f / 5.0) + std::sin(y / 8.0 - f / 7.0) +
                                        std::sin((x + y) / 20.0 + f / 3.0);
                       p[size_t(y * 160 + x)] = uint8_t(int((v + 3) / 6 * 63.99));
                     }
                   }
                 }});

  // A test pattern: colour bars, a moving box and a frame counter.
  {
    std::vector<Color> colors = {{192, 192, 192}, {192, 192, 0}, {0, 192, 192}, {0, 192, 0},
                                 {192, 0, 192},   {192, 0, 0},   {0, 0, 192},   {16, 16, 16},
                                 {255, 255, 255}, {255, 128, 0}};
    for (const Color& c : Ramp(22, {0, 0, 0}, {255, 255, 255})) colors.push_back(c);
    all.push_back({"testpattern", 320, 240, colors, 150, 4, -1, 1, [](int f, Frame& p) {
                     for (int y = 0; y < 240; ++y) {
                       for (int x = 0; x < 320; ++x) {
                         p[size_t(y * 320 + x)] =
                             y < 160 ? uint8_t(x * 7 / 320) : uint8_t(10 + x * 22 / 320);
                       }
                     }
                     Box(p, 320, 20 + (f * 4) % 260, 60 + int(40 * std::sin(f / 10.0)), 40, 40, 9);
                     for (int d = 0, v = f; d < 4; ++d, v /= 10)
                       Digit(p, 320, 290 - d * 10, 200, v % 10, 8);
                   }});
  }

  // A news ticker: blocks of "text" scrolling left.
  {
    auto text = std::make_shared<std::vector<uint8_t>>();
    std::mt19937 random(5);
    for (int i = 0; i < 2000; ++i)
      text->push_back(uint8_t(random() % 3 == 0 ? 0 : 1 + random() % 3));
    all.push_back({"ticker",
                   300,
                   32,
                   {{0, 0, 64}, {255, 255, 0}, {255, 255, 255}, {0, 255, 255}},
                   200,
                   3,
                   -1,
                   1,
                   [text](int f, Frame& p) {
                     std::fill(p.begin(), p.end(), 0);
                     for (int x = 0; x < 300; ++x) {
                       const int column = x + f * 3;
                       const uint8_t c = (*text)[size_t(column / 6) % text->size()];
                       if (column % 6 == 5 || c == 0) continue;
                       for (int y = 8 + (column * 7) % 5; y < 24 - (column * 3) % 4; ++y)
                         p[size_t(y * 300 + x)] = c;
                     }
                   }});
  }

  // A loading spinner on a transparent background, each frame taken away.
  all.push_back({"spinner",
                 48,
                 48,
                 {{0, 0, 0}, {80, 80, 80}, {160, 160, 160}, {240, 240, 240}},
                 24,
                 4,
                 0,
                 2,
                 [](int f, Frame& p) {
                   std::fill(p.begin(), p.end(), 0);
                   for (int i = 0; i < 8; ++i) {
                     const double a = 6.283185 * (i + f) / 8;
                     Disc(p, 48, 24 + 16 * std::cos(a), 24 + 16 * std::sin(a), 4,
                          uint8_t(1 + i * 3 / 8));
                   }
                 }});

  // A ball bouncing over a gradient.
  {
    std::vector<Color> colors = Ramp(48, {0, 40, 120}, {200, 220, 255});
    colors.push_back({220, 30, 30});
    colors.push_back({120, 10, 10});
    all.push_back({"bounce", 240, 160, colors, 90, 4, -1, 1, [](int f, Frame& p) {
                     for (int y = 0; y < 160; ++y) {
                       for (int x = 0; x < 240; ++x) p[size_t(y * 240 + x)] = uint8_t(y * 48 / 160);
                     }
                     const double x = 20 + (f * 5) % 200,
                                  y = 140 - std::fabs(std::sin(f / 9.0)) * 110;
                     Disc(p, 240, x + 3, y + 3, 14, 49);
                     Disc(p, 240, x, y, 14, 48);
                   }});
  }

  // A clock: one hand over a still dial.
  all.push_back({"clock",
                 128,
                 128,
                 {{250, 250, 240}, {30, 30, 30}, {200, 0, 0}, {150, 150, 150}},
                 120,
                 10,
                 -1,
                 1,
                 [](int f, Frame& p) {
                   std::fill(p.begin(), p.end(), 0);
                   for (int i = 0; i < 12; ++i) {
                     const double a = 6.283185 * i / 12;
                     Disc(p, 128, 64 + 56 * std::cos(a), 64 + 56 * std::sin(a), 3, 1);
                   }
                   const double a = 6.283185 * f / 120 - 1.5708;
                   for (int r = 0; r < 50; ++r)
                     Disc(p, 128, 64 + r * std::cos(a), 64 + r * std::sin(a), 1.5, 2);
                   Disc(p, 128, 64, 64, 4, 3);
                 }});

  // A cursor moving over a still, noisy photograph-like background of 256 colours.
  {
    auto background = std::make_shared<Frame>(size_t(200) * 200);
    std::mt19937 random(9);
    for (int y = 0; y < 200; ++y) {
      for (int x = 0; x < 200; ++x) {
        (*background)[size_t(y * 200 + x)] = uint8_t((x + y + random() % 24) % 254);
      }
    }
    std::vector<Color> colors = Ramp(254, {10, 60, 10}, {240, 230, 200});
    colors.push_back({0, 0, 0});
    colors.push_back({255, 255, 255});
    all.push_back({"cursor", 200, 200, colors, 60, 5, -1, 1, [background](int f, Frame& p) {
                     p = *background;
                     const int cx = 20 + (f * 3) % 160, cy = 30 + (f * 7) % 140;
                     for (int i = 0; i < 16; ++i)
                       Box(p, 200, cx, cy + i, i / 2 + 1, 1, i % 5 == 0 ? 254 : 255);
                   }});
  }

  // Fire: a heat field rising and cooling.
  {
    auto heat = std::make_shared<std::vector<uint8_t>>(size_t(128) * 96, 0);
    auto random = std::make_shared<std::mt19937>(3);
    std::vector<Color> colors = Ramp(12, {0, 0, 0}, {200, 0, 0});
    for (const Color& c : Ramp(12, {210, 20, 0}, {255, 220, 0})) colors.push_back(c);
    for (const Color& c : Ramp(8, {255, 230, 40}, {255, 255, 255})) colors.push_back(c);
    all.push_back({"fire", 128, 96, colors, 80, 5, -1, 1, [heat, random](int, Frame& p) {
                     auto& h = *heat;
                     for (int x = 0; x < 128; ++x)
                       h[size_t(95 * 128 + x)] = uint8_t((*random)() % 2 ? 31 : 10);
                     for (int y = 0; y < 95; ++y) {
                       for (int x = 0; x < 128; ++x) {
                         const int sum = h[size_t((y + 1) * 128 + (x + 127) % 128)] +
                                         h[size_t((y + 1) * 128 + x)] +
                                         h[size_t((y + 1) * 128 + (x + 1) % 128)] +
                                         h[size_t(std::min(95, y + 2) * 128 + x)];
                         h[size_t(y * 128 + x)] =
                             uint8_t(std::max(0, sum / 4 - int((*random)() % 2)));
                       }
                     }
                     p = h;
                   }});
  }

  // Sprites walking over a tiled background.
  {
    std::vector<Color> colors = {{90, 160, 60}, {70, 130, 50}, {120, 90, 40}, {250, 220, 180},
                                 {200, 40, 40}, {40, 40, 200}, {20, 20, 20},  {250, 250, 250}};
    all.push_back({"sprites", 256, 192, colors, 120, 6, -1, 1, [](int f, Frame& p) {
                     for (int y = 0; y < 192; ++y) {
                       for (int x = 0; x < 256; ++x) {
                         p[size_t(y * 256 + x)] = uint8_t(((x / 16 + y / 16) % 2) ^
                                                          ((x % 16 == 0 || y % 16 == 0) ? 2 : 0));
                         if (p[size_t(y * 256 + x)] == 3) p[size_t(y * 256 + x)] = 2;
                       }
                     }
                     for (int s = 0; s < 5; ++s) {
                       const int x = (f * (s + 1) * 2 + s * 50) % 240, y = 20 + s * 34;
                       Box(p, 256, x + 4, y, 8, 6, 3);
                       Box(p, 256, x + 2, y + 6, 12, 8, uint8_t(4 + s % 2));
                       Box(p, 256, x + 3 + (f % 2) * 2, y + 14, 3, 4, 6);
                       Box(p, 256, x + 10 - (f % 2) * 2, y + 14, 3, 4, 6);
                       Box(p, 256, x + 6, y + 2, 1, 1, 7);
                     }
                   }});
  }
  return all;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  int status = 0;
  for (const Animation& a : Animations()) {
    const std::string path = std::string(argv[1]) + "/" + a.name + ".gif";
    if (!Write(path, a)) {
      std::fprintf(stderr, "could not write %s\n", path.c_str());
      status = 1;
    }
  }
  return status;
}
