// The LZW encoder: exact bytes where the format leaves choices (sub-blocks, clear timing, row
// order), and exact reproduction of every frame by our decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "gif/interlace.h"
#include "gif/lzw_decoder.h"
#include "gif/lzw_encoder.h"

namespace lumatrim {
namespace {

using Bytes = std::vector<uint8_t>;

cDIB Surface(int32_t width, int32_t height, const std::function<uint8_t(int, int)>& pixel) {
  cDIB surface;
  EXPECT_TRUE(surface.Create(width, height, 8));
  for (int y = 0; y < height; ++y) {
    uint8_t* row = surface.lpBits() + size_t(y) * size_t(surface.BytesPerScanline());
    for (int x = 0; x < width; ++x) row[x] = pixel(x, y);
  }
  return surface;
}

cDIB RandomSurface(int32_t width, int32_t height, int colours, uint32_t seed, int lowest = 0) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> index(lowest, colours - 1);
  return Surface(width, height, [&](int, int) { return uint8_t(index(random)); });
}

Bytes Encode(const cDIB& surface, int minimumCodeSize, bool interlaced = false) {
  Bytes out;
  mGIFLZWEnc::EncodeFrame(out, surface, uint8_t(minimumCodeSize + 1), interlaced);
  return out;
}

// The sub-block chain joined, checking that every sub-block but the last holds 254 bytes.
Bytes JoinSubBlocks(const Bytes& chain, std::vector<size_t>* sizes = nullptr) {
  Bytes data;
  size_t at = 0;
  while (at < chain.size()) {
    const size_t n = chain[at];
    EXPECT_GT(n, 0u) << "empty sub-block at " << at;
    EXPECT_LE(at + 1 + n, chain.size());
    if (sizes) sizes->push_back(n);
    data.insert(data.end(), chain.begin() + std::ptrdiff_t(at + 1),
                chain.begin() + std::ptrdiff_t(at + 1 + n));
    at += 1 + n;
  }
  return data;
}

// The codes of a stream with their widths, read by the decoding rules of the format: the width
// grows once the next free code no longer fits, up to 12 bits, and returns to m + 1 at a clear.
struct Code {
  int value;
  int width;
};

std::vector<Code> ReadCodes(const Bytes& data, int m) {
  const int clear = 1 << m;
  std::vector<Code> codes;
  int width = m + 1;
  int next = clear + 2;
  bool firstAfterClear = true;
  uint64_t buffer = 0;
  int count = 0;
  size_t at = 0;
  for (;;) {
    while (count < width && at < data.size()) {
      buffer |= uint64_t(data[at++]) << count;
      count += 8;
    }
    if (count < width) break;
    const int code = int(buffer & ((1u << width) - 1));
    buffer >>= width;
    count -= width;
    codes.push_back({code, width});
    if (code == clear + 1) break;
    if (code == clear) {
      width = m + 1;
      next = clear + 2;
      firstAfterClear = true;
      continue;
    }
    if (!firstAfterClear && next < 4096) ++next;
    firstAfterClear = false;
    if (next > (1 << width) - 1 && width < 12) ++width;
  }
  return codes;
}

// Plain greedy LZW with a dictionary that never loses an entry and a clear at the first new
// string after code 4095: the codes the hashed dictionary must match whenever the one key it may
// drop (pixel 0 after the one-pixel string 0) never occurs.
std::vector<int> ReferenceCodes(const Bytes& pixels, int m) {
  const int clear = 1 << m;
  std::vector<int> codes = {clear};
  std::map<std::pair<int, int>, int> dictionary;
  int next = clear + 2;
  int prefix = pixels[0];
  for (size_t i = 1; i < pixels.size(); ++i) {
    const auto found = dictionary.find({prefix, pixels[i]});
    if (found != dictionary.end()) {
      prefix = found->second;
      continue;
    }
    codes.push_back(prefix);
    if (next < 4096) {
      dictionary[{prefix, pixels[i]}] = next++;
    } else {
      dictionary.clear();
      next = clear + 2;
      codes.push_back(clear);
    }
    prefix = pixels[i];
  }
  codes.push_back(prefix);
  codes.push_back(clear + 1);
  return codes;
}

Bytes RowMajorPixels(const cDIB& surface) {
  Bytes pixels;
  for (int y = 0; y < surface.Height(); ++y) {
    const uint8_t* row = surface.lpBits() + size_t(y) * size_t(surface.BytesPerScanline());
    pixels.insert(pixels.end(), row, row + surface.Width());
  }
  return pixels;
}

// The pixels in the order they are stored: rows top to bottom, or in interlace passes.
Bytes StoredPixels(const cDIB& surface, bool interlaced) {
  Bytes pixels;
  for (InterlaceRows rows(surface.Height(), interlaced); !rows.Done(); rows.Next()) {
    const uint8_t* row = surface.lpBits() + size_t(rows.Row()) * size_t(surface.BytesPerScanline());
    pixels.insert(pixels.end(), row, row + surface.Width());
  }
  return pixels;
}

// The hashed dictionary searched pixel by pixel, as the format's classic encoders do: 5003
// slots, a secondary hash, the first look taking only an empty slot as free and a probe stopping
// at a slot holding key 0 too. The encoder passes over long known strings at once; its codes
// must be these, key 0 and all.
std::vector<int> HashedDictionaryCodes(const Bytes& pixels, int m) {
  constexpr int kSlots = 5003;
  const int clear = 1 << m;
  std::vector<int> keys(kSlots, -1), entries(kSlots, 0);
  std::vector<int> codes = {clear};
  int next = clear + 2;
  int prefix = pixels[0];
  for (size_t i = 1; i < pixels.size(); ++i) {
    const int pixel = pixels[i];
    const int key = (pixel << 12) + prefix;
    int slot = (pixel << 4) ^ prefix;
    bool found = keys[size_t(slot)] == key;
    if (!found && keys[size_t(slot)] >= 0) {
      const int step = slot == 0 ? 1 : kSlots - slot;
      for (;;) {
        slot = (slot - step + kSlots) % kSlots;
        found = keys[size_t(slot)] == key;
        if (found || keys[size_t(slot)] <= 0) break;
      }
    }
    if (found) {
      prefix = entries[size_t(slot)];
      continue;
    }
    codes.push_back(prefix);
    if (next < 4096) {
      entries[size_t(slot)] = next++;
      keys[size_t(slot)] = key;
    } else {
      std::fill(keys.begin(), keys.end(), -1);
      next = clear + 2;
      codes.push_back(clear);
    }
    prefix = pixel;
  }
  codes.push_back(prefix);
  codes.push_back(clear + 1);
  return codes;
}

// Encodes, decodes with our decoder into a fresh surface and compares every pixel.
void ExpectRoundTrip(const cDIB& surface, int m, bool interlaced) {
  const Bytes chain = Encode(surface, m, interlaced);
  cDIB decoded;
  ASSERT_TRUE(decoded.Create(surface.Width(), surface.Height(), 8));
  // Decoding into a surface that starts non-zero shows pixels the stream did not cover.
  std::fill(decoded.lpBits(), decoded.lpBits() + decoded.Size(), uint8_t(0xAB));
  mGIFLZWDec::DecodeFrame(decoded, interlaced, uint8_t(m), JoinSubBlocks(chain));
  EXPECT_EQ(RowMajorPixels(decoded), RowMajorPixels(surface))
      << surface.Width() << "x" << surface.Height() << " m=" << m << " interlaced=" << interlaced;
}

TEST(LzwEncoder, OnePixelFrameIsClearPixelEndInOneSubBlock) {
  // Codes 4, 1, 5 of 3 bits: 100 001 101 -> 0x4C 0x01.
  const cDIB surface = Surface(1, 1, [](int, int) { return uint8_t(1); });
  EXPECT_EQ(Encode(surface, 2), (Bytes{0x02, 0x4C, 0x01}));
}

TEST(LzwEncoder, FrameWithoutPixelsWritesClearAndEnd) {
  const cDIB none;
  EXPECT_EQ(Encode(none, 2), (Bytes{0x01, 0x2C}));  // codes 4 and 5 of 3 bits
  cDIB wide;
  ASSERT_TRUE(wide.Create(2, 2, 32));
  EXPECT_EQ(Encode(wide, 8), (Bytes{0x03, 0x00, 0x03, 0x02}));  // 256 and 257 of 9 bits
}

TEST(LzwEncoder, DecoderReproducesEveryFrame) {
  for (const bool interlaced : {false, true}) {
    for (const int m : {2, 3, 5, 8}) {
      const int colours = 1 << m;
      for (const auto& [w, h] : {std::pair{1, 1}, {3, 1}, {1, 7}, {13, 11}, {64, 64}, {301, 97}}) {
        ExpectRoundTrip(RandomSurface(w, h, colours, uint32_t(w * 31 + h + m)), m, interlaced);
        // Few colours make long strings; stripes make runs across row ends.
        ExpectRoundTrip(RandomSurface(w, h, 2, uint32_t(w + h)), m, interlaced);
        ExpectRoundTrip(Surface(w, h, [](int x, int y) { return uint8_t((x / 5 + y) % 2); }), m,
                        interlaced);
      }
    }
  }
}

TEST(LzwEncoder, DecoderReproducesFramesThatFillTheDictionaryManyTimes) {
  // 256 colours at random fill 4096 codes about every 3800 pixels; a flat frame makes strings of
  // thousands of pixels.
  const cDIB noisy = RandomSurface(640, 480, 256, 7);
  const cDIB flat = Surface(1000, 1000, [](int, int) { return uint8_t(3); });
  const cDIB gradient = Surface(800, 600, [](int x, int y) { return uint8_t((x ^ y) & 0x3F); });
  for (const bool interlaced : {false, true}) {
    ExpectRoundTrip(noisy, 8, interlaced);
    ExpectRoundTrip(flat, 2, interlaced);
    ExpectRoundTrip(gradient, 6, interlaced);
  }
  const std::vector<Code> codes = ReadCodes(JoinSubBlocks(Encode(noisy, 8)), 8);
  EXPECT_GT(std::count_if(codes.begin(), codes.end(), [](Code c) { return c.value == 256; }), 50);
}

TEST(LzwEncoder, CodesMatchPlainGreedyLzw) {
  // Pixels from 1 up never form the key 0, so nothing may be lost from the hashed dictionary.
  for (const auto& [colours, m, seed] : {std::tuple{256, 8, 1u}, {16, 4, 2u}, {3, 2, 3u}}) {
    const cDIB surface = RandomSurface(500, 200, colours, seed, 1);
    std::vector<int> got;
    for (const Code& code : ReadCodes(JoinSubBlocks(Encode(surface, m)), m)) {
      got.push_back(code.value);
    }
    EXPECT_EQ(got, ReferenceCodes(RowMajorPixels(surface), m)) << "colours " << colours;
  }
}

TEST(LzwEncoder, RepeatingPicturesGiveTheCodesOfThePixelByPixelSearchAndDecodeBack) {
  // Runs, stripes and patterns make strings of hundreds to thousands of pixels, which the
  // encoder passes over and the decoder copies; rows narrower than the strings make strings that
  // cross rows, interlacing makes rows that lie apart. Pixel 0 makes key 0: in slot 0 (a frame
  // opening with a run of 0) it loses nothing. After "16 1" it lies beyond slot 0 and "32 2"
  // replaces it, so the search no longer finds "0 0": the 39 pixels 0 and the 32 at the end must
  // not be passed over as the string they made before.
  Bytes keyZeroLost = {16, 1};
  for (const auto& [pixel, count] :
       {std::pair{0, 466}, {2, 1}, {0, 276}, {32, 1}, {2, 1}, {0, 39}, {32, 1}}) {
    keyZeroLost.insert(keyZeroLost.end(), size_t(count), uint8_t(pixel));
  }
  std::mt19937 random(17);
  Bytes runPixels;
  while (runPixels.size() < 2000 * 300)
    runPixels.resize(runPixels.size() + 1 + random() % 3000, random() % 5);
  const auto runs = [&](int x, int y) { return runPixels[size_t(y) * 2000 + size_t(x)]; };
  const struct {
    const char* name;
    int width, height, m;
    std::function<uint8_t(int, int)> pixel;
  } pictures[] = {
      {"flat 0", 3000, 40, 2, [](int, int) { return uint8_t(0); }},
      {"flat 3", 1000, 1000, 2, [](int, int) { return uint8_t(3); }},
      {"0 after 16 1 and 32 2", int(keyZeroLost.size()), 1, 8,
       [&](int x, int) { return keyZeroLost[size_t(x)]; }},
      {"stripes", 2000, 300, 2, [](int, int y) { return uint8_t((y / 3) % 4); }},
      {"pattern", 3001, 200, 3, [](int x, int) { return uint8_t(x % 5); }},
      {"diagonal", 1500, 300, 3, [](int x, int y) { return uint8_t(((x + y) / 40) % 8); }},
      {"runs", 2000, 300, 3, runs},
      {"narrow 7", 7, 5000, 2, [](int, int) { return uint8_t(2); }},
      {"narrow 16", 16, 5000, 2, [](int x, int) { return uint8_t(x < 15 ? 1 : 2); }},
      {"narrow 17", 17, 5000, 2, [](int, int y) { return uint8_t(y % 500 < 250 ? 1 : 0); }},
      {"noise in runs", 1000, 600, 8,
       [&](int x, int) { return uint8_t(x % 400 < 350 ? 9 : random() % 256); }},
  };
  for (const auto& picture : pictures) {
    const cDIB surface = Surface(picture.width, picture.height, picture.pixel);
    for (const bool interlaced : {false, true}) {
      std::vector<int> got;
      for (const Code& code :
           ReadCodes(JoinSubBlocks(Encode(surface, picture.m, interlaced)), picture.m)) {
        got.push_back(code.value);
      }
      EXPECT_EQ(got, HashedDictionaryCodes(StoredPixels(surface, interlaced), picture.m))
          << picture.name << (interlaced ? ", interlaced" : "");
      ExpectRoundTrip(surface, picture.m, interlaced);
    }
  }
}

TEST(LzwEncoder, ProbingTakesASlotHoldingKeyZeroAsFree) {
  // "16 1" takes slot 0; "0 0" (key 0) probes on to slot 5002; "32 2" also starts at slot 0,
  // probes to 5002, takes its 0 as free and replaces it. So the second "0 0" is not found and
  // goes out as two pixels, not as one code 260. The output bytes depend on this choice.
  const Bytes pixels = {16, 1, 0, 0, 32, 2, 0, 0, 5};
  const cDIB surface = Surface(int(pixels.size()), 1, [&](int x, int) { return pixels[x]; });
  std::vector<int> got;
  for (const Code& code : ReadCodes(JoinSubBlocks(Encode(surface, 8)), 8)) {
    got.push_back(code.value);
  }
  EXPECT_EQ(got, (std::vector<int>{256, 16, 1, 0, 0, 32, 2, 0, 0, 5, 257}));
}

TEST(LzwEncoder, ClearsInTwelveBitsRightAfterCode4095) {
  const int m = 8;
  const std::vector<Code> codes =
      ReadCodes(JoinSubBlocks(Encode(RandomSurface(300, 100, 256, 11), m)), m);
  ASSERT_GT(codes.size(), 4000u);
  EXPECT_EQ(codes[0].value, 256);
  EXPECT_EQ(codes[0].width, 9);
  // The first code after a clear adds no entry; each further code adds one, so codes 258 to 4095
  // take 3838 more codes, and the next new string brings the clear.
  const size_t clearAt = 1 + 1 + (4096 - 258);
  for (size_t i = 1; i < clearAt; ++i) ASSERT_NE(codes[i].value, 256) << "early clear at " << i;
  EXPECT_EQ(codes[clearAt].value, 256);
  EXPECT_EQ(codes[clearAt].width, 12);
  EXPECT_EQ(codes[clearAt + 1].width, 9);
  // The width grows right after the code that first does not fit: 9 bits up to code 511.
  EXPECT_EQ(codes[511 - 258 + 2].width, 9);
  EXPECT_EQ(codes[511 - 258 + 3].width, 10);
}

TEST(LzwEncoder, FlatFrameNeverClearsAgain) {
  const cDIB flat = Surface(255, 1, [](int, int) { return uint8_t(9); });
  const std::vector<Code> codes = ReadCodes(JoinSubBlocks(Encode(flat, 8)), 8);
  EXPECT_EQ(std::count_if(codes.begin(), codes.end(), [](Code c) { return c.value == 256; }), 1);
  EXPECT_EQ(codes.back().value, 257);
}

TEST(LzwEncoder, SubBlocksHold254BytesAndNoEmptyOneAtTheEnd) {
  std::vector<size_t> sizes;
  JoinSubBlocks(Encode(RandomSurface(200, 200, 256, 5), 8), &sizes);
  ASSERT_GT(sizes.size(), 10u);
  for (size_t i = 0; i + 1 < sizes.size(); ++i) ASSERT_EQ(sizes[i], 254u) << "sub-block " << i;
  EXPECT_LT(sizes.back(), 254u);

  // Some width gives data of an exact multiple of 254 bytes: it ends with a full sub-block.
  bool foundExactMultiple = false;
  for (int width = 1; width < 2000 && !foundExactMultiple; ++width) {
    const Bytes chain = Encode(RandomSurface(width, 3, 256, 9), 8);
    std::vector<size_t> blockSizes;
    const Bytes data = JoinSubBlocks(chain, &blockSizes);
    if (data.size() % 254 != 0) continue;
    foundExactMultiple = true;
    EXPECT_EQ(blockSizes.back(), 254u);
    EXPECT_EQ(chain.size(), data.size() + data.size() / 254);
  }
  EXPECT_TRUE(foundExactMultiple);
}

TEST(LzwEncoder, InterlacedFramesAreWrittenInPassOrder) {
  // One pixel per row, each row its own index: every code is one pixel, in the order written.
  const std::map<int, std::vector<int>> orders = {
      {1, {0}}, {2, {0, 1}}, {3, {0, 2, 1}}, {4, {0, 2, 1, 3}}, {5, {0, 4, 2, 1, 3}}};
  for (const auto& [height, order] : orders) {
    const cDIB surface = Surface(1, height, [](int, int y) { return uint8_t(y); });
    std::vector<int> rows;
    for (const Code& code : ReadCodes(JoinSubBlocks(Encode(surface, 3, true)), 3)) {
      if (code.value < 8) rows.push_back(code.value);
    }
    EXPECT_EQ(rows, order) << height << " rows";
  }
}

TEST(LzwEncoder, MinimumCodeSizeCarriesTheLargestIndex) {
  EXPECT_EQ(mGIFLZWEnc::MinimumCodeSize(Surface(4, 4, [](int, int) { return uint8_t(1); }), 1), 2);
  EXPECT_EQ(mGIFLZWEnc::MinimumCodeSize(Surface(4, 4, [](int, int) { return uint8_t(3); }), 5), 5);
  const cDIB beyond = Surface(4, 4, [](int x, int y) { return uint8_t(x == 3 && y == 3 ? 4 : 0); });
  EXPECT_EQ(mGIFLZWEnc::MinimumCodeSize(beyond, 2), 3);
  const cDIB top = Surface(4, 4, [](int x, int) { return uint8_t(x == 2 ? 255 : 0); });
  EXPECT_EQ(mGIFLZWEnc::LargestIndex(top), 255);
  EXPECT_EQ(mGIFLZWEnc::MinimumCodeSize(top, 1), 8);
  EXPECT_EQ(mGIFLZWEnc::MinimumCodeSize(cDIB(), 0), 2);
  ExpectRoundTrip(beyond, 3, false);
}

}  // namespace
}  // namespace lumatrim
