// Writes the files that stand beside the lumatrim executable: the hand cursor HAND-M.CUR, the
// dragging icon drag.ico and the Samples folder, whose GIFs each show what one optimization pass
// does. Usage: make_app_files OUTPUT_FOLDER
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "gif/gif_document.h"

namespace fs = std::filesystem;
using lumatrim::cGIF;

namespace {

// ---- Cursor and icon files ----------------------------------------------------------------

using Art = std::vector<std::string>;

struct Rgba {
  uint8_t r, g, b, a;
};

Rgba ColorOf(char c) {
  switch (c) {
    case 'X':
      return {24, 24, 24, 255};
    case '.':
      return {255, 255, 255, 255};
    case 'B':
      return {32, 96, 200, 255};
    default:
      return {0, 0, 0, 0};
  }
}

// A square image from 16 x 16 art, each character scale pixels wide and high.
std::vector<Rgba> Render(const Art& art, uint32_t scale) {
  const uint32_t side = 16 * scale;
  std::vector<Rgba> pixels(size_t(side) * side, Rgba{0, 0, 0, 0});
  for (uint32_t y = 0; y < art.size() && y < 16; ++y) {
    for (uint32_t x = 0; x < art[y].size() && x < 16; ++x) {
      for (uint32_t dy = 0; dy < scale; ++dy) {
        for (uint32_t dx = 0; dx < scale; ++dx)
          pixels[size_t(y * scale + dy) * side + x * scale + dx] = ColorOf(art[y][x]);
      }
    }
  }
  return pixels;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// One image of 32 bits per pixel with its mask, as an icon or cursor file stores it.
std::vector<uint8_t> IconImage(const std::vector<Rgba>& pixels, uint32_t side) {
  const uint32_t maskRow = (side / 8 + 3) / 4 * 4;
  std::vector<uint8_t> out;
  // The bitmap header: the height counts the image and the mask.
  Put32(out, 40);
  Put32(out, side);
  Put32(out, side * 2);
  Put16(out, 1);
  Put16(out, 32);
  for (int i = 0; i < 6; ++i) Put32(out, 0);
  for (uint32_t y = side; y-- > 0;) {  // rows bottom-up
    for (uint32_t x = 0; x < side; ++x) {
      const Rgba& p = pixels[size_t(y) * side + x];
      out.insert(out.end(), {p.b, p.g, p.r, p.a});
    }
  }
  for (uint32_t y = side; y-- > 0;) {
    std::vector<uint8_t> row(maskRow, 0);
    for (uint32_t x = 0; x < side; ++x) {
      if (pixels[size_t(y) * side + x].a == 0) row[x / 8] |= uint8_t(0x80 >> (x % 8));
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

// The art drawn at 32 x 32 and, for screens of twice the density, at 64 x 64, as an icon (type
// 1) or a cursor (type 2, where each entry holds the hot spot, given here for 32 x 32).
std::vector<uint8_t> IconFile(const Art& art, uint16_t type, uint16_t hotX, uint16_t hotY) {
  constexpr uint32_t kScales[] = {2, 4};
  constexpr uint16_t kCount = 2;
  std::vector<std::vector<uint8_t>> images;
  for (uint32_t scale : kScales) images.push_back(IconImage(Render(art, scale), 16 * scale));
  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, type);
  Put16(out, kCount);
  uint32_t offset = 6 + 16 * kCount;
  for (uint16_t i = 0; i < kCount; ++i) {
    const uint32_t side = 16 * kScales[i];
    const uint32_t factor = kScales[i] / 2;
    out.insert(out.end(), {uint8_t(side), uint8_t(side), 0, 0});
    Put16(out, type == 2 ? uint32_t(hotX) * factor : 1);
    Put16(out, type == 2 ? uint32_t(hotY) * factor : 32);
    Put32(out, uint32_t(images[i].size()));
    Put32(out, offset);
    offset += uint32_t(images[i].size());
  }
  for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

const Art kHand = {
    "    XX          ",  //
    "   X..X         ",  //
    "   X..X         ",  //
    "   X..X         ",  //
    "   X..XXX       ",  //
    "   X..X..XXX    ",  //
    "   X..X..X..XX  ",  //
    "XX X..X..X..X.X ",  //
    "X.XX........X.X ",  //
    "X..X..........X ",  //
    " X............X ",  //
    "  X...........X ",  //
    "  X..........X  ",  //
    "   X.........X  ",  //
    "    X.......X   ",  //
    "    XXXXXXXXX   ",  //
};

const Art kDrag = {
    "       B        ",  //
    "      BBB       ",  //
    "     BBBBB      ",  //
    "       B        ",  //
    "  XXXXXXXXXXX   ",  //
    "  X.........X   ",  //
    "  X.XXXXXXX.X   ",  //
    "  X.........X   ",  //
    "  X.XXXXX...X   ",  //
    "  X.........X   ",  //
    "  XXXXXXXXXXX   ",  //
    "       B        ",  //
    "     BBBBB      ",  //
    "      BBB       ",  //
    "       B        ",  //
    "                ",  //
};

// ---- Sample GIFs --------------------------------------------------------------------------

void SetEntry(uint8_t* palette, int entry, uint8_t r, uint8_t g, uint8_t b) {
  palette[entry * 4 + 0] = b;
  palette[entry * 4 + 1] = g;
  palette[entry * 4 + 2] = r;
  palette[entry * 4 + 3] = 0;
}

// A global palette of 256 entries: a few named colours in front of a grey ramp.
void GlobalPalette(cGIF& gif) {
  gif.GlobalPaletteExists(true);
  gif.GlobalPaletteEntries(256);
  uint8_t* palette = gif.lpGlobalPalette();
  for (int i = 0; i < 256; ++i) SetEntry(palette, i, uint8_t(i), uint8_t(i), uint8_t(i));
  SetEntry(palette, 0, 250, 244, 228);  // paper
  SetEntry(palette, 1, 200, 40, 40);    // red
  SetEntry(palette, 2, 40, 120, 200);   // blue
  SetEntry(palette, 3, 40, 160, 80);    // green
  SetEntry(palette, 4, 30, 30, 30);     // ink
}

template <typename PixelOf>
void Paint(cGIF& gif, int16_t nFrame, PixelOf pixelOf) {
  lumatrim::cDIB& image = *gif.FrameDIBXOR(nFrame);
  for (int32_t y = 0; y < image.Height(); ++y) {
    uint8_t* row = image.lpBits() + size_t(y) * size_t(image.BytesPerScanline());
    for (int32_t x = 0; x < image.Width(); ++x) row[x] = uint8_t(pixelOf(x, y));
  }
}

int16_t AddFrame(cGIF& gif, int16_t width, int16_t height, int16_t delay) {
  const int16_t n = int16_t(gif.FramesCount() + 1);
  gif.FrameInsert(n, width, height, true);
  gif.FrameDelay(n, delay);
  gif.FrameDisposalMethod(n, 1);
  return n;
}

// A ball bouncing over a still landscape: every frame repeats the whole picture, though only
// the ball moves. Frame differencing crops each frame to the ball's path.
void ChangedArea(cGIF& gif) {
  GlobalPalette(gif);
  for (int step = 0; step < 8; ++step) {
    const int16_t n = AddFrame(gif, 120, 80, 8);
    const int ballX = 10 + step * 12, ballY = 20 + (step % 4) * 6;
    Paint(gif, n, [&](int x, int y) {
      const int dx = x - ballX, dy = y - ballY;
      if (dx * dx + dy * dy <= 36) return 1;
      if (y > 60) return 3;
      return (x / 20 + y / 20) % 2 == 0 ? 0 : 2;
    });
  }
  gif.AnimationLoops(0);
}

// A blinking light whose frames repeat: frames that change nothing are dropped and their delay
// goes to the frame before.
void RepeatedFrames(cGIF& gif) {
  GlobalPalette(gif);
  const int pattern[] = {1, 1, 1, 2, 2, 2, 1, 1};
  for (int colour : pattern) {
    const int16_t n = AddFrame(gif, 48, 48, 25);
    Paint(gif, n, [&](int x, int y) {
      const int dx = x - 24, dy = y - 24;
      return dx * dx + dy * dy <= 225 ? colour : 4;
    });
  }
  gif.AnimationLoops(0);
}

// A small sign in the middle of a large transparent frame: the frame shrinks to what it shows.
void TransparentBorders(cGIF& gif) {
  GlobalPalette(gif);
  const int16_t n = AddFrame(gif, 100, 100, 0);
  gif.FrameUseTransparentColor(n, true);
  gif.FrameTransparentColorIndex(n, 255);
  Paint(gif, n, [](int x, int y) {
    const bool sign = x >= 30 && x < 70 && y >= 35 && y < 60;
    const bool post = x >= 47 && x < 53 && y >= 60 && y < 85;
    if (sign) return (x < 33 || x >= 67 || y < 38 || y >= 57) ? 4 : 1;
    return post ? 4 : 255;
  });
}

// A picture that uses 5 of its 256 palette entries: the table shrinks to 8 entries.
void UnusedPaletteEntries(cGIF& gif) {
  GlobalPalette(gif);
  const int16_t n = AddFrame(gif, 96, 64, 0);
  Paint(gif, n, [](int x, int y) { return (x / 16 + y / 16) % 5; });
}

// Frames with local palettes whose colours all fit into the global palette: the local palettes
// go, the frames use the global one.
void LocalPalettes(cGIF& gif) {
  gif.GlobalPaletteExists(true);
  gif.GlobalPaletteEntries(4);
  uint8_t* global = gif.lpGlobalPalette();
  SetEntry(global, 0, 250, 244, 228);
  SetEntry(global, 1, 200, 40, 40);
  SetEntry(global, 2, 40, 120, 200);
  SetEntry(global, 3, 40, 160, 80);
  for (int step = 0; step < 3; ++step) {
    const int16_t n = int16_t(step + 1);
    gif.FrameInsert(n, 64, 64, false);
    gif.FrameDelay(n, 40);
    gif.LocalPaletteEntries(n, 4);
    uint8_t* local = gif.lpFramePalette(n);
    // The same colours in another order in every frame.
    for (int i = 0; i < 4; ++i) {
      const uint8_t* from = global + ((i + step) % 4) * 4;
      SetEntry(local, i, from[2], from[1], from[0]);
    }
    Paint(gif, n, [&](int x, int y) { return ((x + step * 8) / 16 + y / 16) % 4; });
  }
  gif.AnimationLoops(0);
}

// An interlaced picture with comments: the output is written top to bottom, without comments.
void InterlacedWithComments(cGIF& gif) {
  GlobalPalette(gif);
  const int16_t n = AddFrame(gif, 80, 60, 0);
  gif.FrameInterlaced(n, true);
  gif.FrameCommentAdd(n);
  gif.FrameComment(n, 1, "Drawn by the Lumatrim sample generator.");
  gif.TrailingCommentAdd();
  gif.TrailingComment(1, "Comments take room and show nothing.");
  Paint(gif, n, [](int x, int y) { return y < 30 ? (x < 40 ? 1 : 2) : (x < 40 ? 3 : 4); });
}

// Frames that declare a transparent colour no pixel uses: the declaration goes.
void UnusedTransparency(cGIF& gif) {
  GlobalPalette(gif);
  for (int step = 0; step < 3; ++step) {
    const int16_t n = AddFrame(gif, 64, 32, 50);
    gif.FrameUseTransparentColor(n, true);
    gif.FrameTransparentColorIndex(n, 200);
    Paint(gif, n, [&](int x, int) { return x < 16 * (step + 1) ? 3 : 0; });
  }
  gif.AnimationLoops(0);
}

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_app_files OUTPUT_FOLDER\n";
    return 2;
  }
  const fs::path folder = argv[1];
  std::error_code ec;
  fs::create_directories(folder / "Samples", ec);
  if (ec) {
    std::cerr << "make_app_files: can't create " << (folder / "Samples") << ": " << ec.message()
              << "\n";
    return 1;
  }

  bool ok = WriteFile(folder / "HAND-M.CUR", IconFile(kHand, 2, 9, 0)) &&
            WriteFile(folder / "drag.ico", IconFile(kDrag, 1, 0, 0));

  const struct {
    const char* name;
    void (*make)(cGIF&);
  } samples[] = {
      {"ball-changed-area.gif", ChangedArea},
      {"blink-repeated-frames.gif", RepeatedFrames},
      {"sign-transparent-borders.gif", TransparentBorders},
      {"tiles-unused-palette.gif", UnusedPaletteEntries},
      {"stripes-local-palettes.gif", LocalPalettes},
      {"quarters-interlaced-comments.gif", InterlacedWithComments},
      {"bars-unused-transparency.gif", UnusedTransparency},
  };
  for (const auto& sample : samples) {
    cGIF gif;
    sample.make(gif);
    const fs::path path = folder / "Samples" / sample.name;
    if (!gif.Save(path.string())) {
      std::cerr << "make_app_files: can't write " << path << "\n";
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
