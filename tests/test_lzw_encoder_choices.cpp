// The encoder that chooses between two values per pixel: whatever it chooses, our decoder and
// giflib read back, at every pixel, one of the two values it was offered.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "best/lzw_encoder_choices.h"
#include "gif/lzw_decoder.h"
#include "gif_bytes.h"
#include "raster/work_pool.h"

namespace lumatrim {
namespace {

using testing::Bytes;

struct Image {
  int width = 0;
  int height = 0;
  Bytes pixels;
  Bytes alternatives;
};

// Pixels drawn from `colours` values in runs (so that strings repeat), a share of them offered
// with a second value.
Image MakeImage(int width, int height, int colours, double choiceShare, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> value(0, colours - 1);
  std::uniform_real_distribution<double> share(0, 1);
  Image image{width, height, {}, {}};
  uint8_t run = 0;
  for (int i = 0; i < width * height; ++i) {
    if (share(random) < 0.3) run = uint8_t(value(random));
    image.pixels.push_back(run);
    image.alternatives.push_back(share(random) < choiceShare ? uint8_t(value(random)) : run);
  }
  return image;
}

Bytes JoinSubBlocks(const Bytes& chain) {
  Bytes data;
  size_t at = 0;
  while (at < chain.size()) {
    const size_t n = chain[at];
    EXPECT_GT(n, 0u);
    EXPECT_TRUE(n == 255 || at + 1 + n == chain.size()) << "short sub-block before the last";
    data.insert(data.end(), chain.begin() + std::ptrdiff_t(at + 1),
                chain.begin() + std::ptrdiff_t(at + 1 + n));
    at += 1 + n;
  }
  EXPECT_EQ(at, chain.size());
  return data;
}

Bytes DecodeOurs(const Image& image, int codeSize, const Bytes& chain) {
  cDIB surface;
  EXPECT_TRUE(surface.Create(image.width, image.height, 8));
  // A value no test image uses, so that a pixel the decoder never wrote shows up.
  std::memset(surface.lpBits(), 0xEE, size_t(surface.Size()));
  mGIFLZWDec::DecodeFrame(surface, false, uint8_t(codeSize), JoinSubBlocks(chain));
  Bytes decoded;
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* row = surface.lpBits() + size_t(y) * size_t(surface.BytesPerScanline());
    decoded.insert(decoded.end(), row, row + image.width);
  }
  return decoded;
}

// A whole one-image GIF around the chain, as giflib reads it from memory.
Bytes DecodeGiflib(const Image& image, int codeSize, const Bytes& chain) {
  const Bytes file =
      testing::OneImageGif(uint16_t(image.width), uint16_t(image.height), uint8_t(codeSize), chain);

  struct Source {
    const Bytes* bytes;
    size_t at;
  } source{&file, 0};
  const InputFunc read = [](GifFileType* gif, GifByteType* to, int n) {
    auto* s = static_cast<Source*>(gif->UserData);
    const size_t count = std::min(size_t(n), s->bytes->size() - s->at);
    std::memcpy(to, s->bytes->data() + s->at, count);
    s->at += count;
    return int(count);
  };
  int error = 0;
  GifFileType* gif = DGifOpen(&source, read, &error);
  EXPECT_NE(gif, nullptr);
  if (gif == nullptr) return {};
  EXPECT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
  Bytes decoded;
  if (gif->ImageCount == 1) {
    const GifByteType* raster = gif->SavedImages[0].RasterBits;
    decoded.assign(raster, raster + image.width * image.height);
  }
  DGifCloseFile(gif, &error);
  return decoded;
}

void ExpectOneOfTheChoices(const Image& image, const Bytes& decoded) {
  ASSERT_EQ(decoded.size(), image.pixels.size());
  for (size_t i = 0; i < decoded.size(); ++i) {
    ASSERT_TRUE(decoded[i] == image.pixels[i] || decoded[i] == image.alternatives[i])
        << "pixel " << i << " is " << int(decoded[i]) << ", offered " << int(image.pixels[i])
        << " or " << int(image.alternatives[i]);
  }
}

TEST(LzwEncoderChoices, OurDecoderAndGiflibReadOneOfTheChoicesAtEveryPixel) {
  lzw_choices::ChoiceEncoder encoder;
  struct Case {
    int width, height, codeSize;
    double share;
  };
  // Small images, every code size, and images long enough to fill the dictionary many times
  // (the clear code in 12-bit width, then the initial width again).
  for (const Case& c : {Case{1, 1, 2, 0.0}, Case{1, 1, 2, 1.0}, Case{7, 3, 2, 0.5},
                        Case{64, 64, 3, 0.3}, Case{300, 200, 4, 0.2}, Case{200, 300, 6, 0.5},
                        Case{512, 400, 8, 0.3}, Case{400, 512, 8, 0.0}, Case{333, 111, 5, 1.0}}) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " size " << c.codeSize);
    const Image image =
        MakeImage(c.width, c.height, 1 << c.codeSize, c.share, uint32_t(c.width * c.height));
    Bytes chain;
    const size_t written = encoder.Encode(chain, image.pixels, image.alternatives, c.codeSize);
    EXPECT_EQ(written, chain.size());
    ExpectOneOfTheChoices(image, DecodeOurs(image, c.codeSize, chain));
    ExpectOneOfTheChoices(image, DecodeGiflib(image, c.codeSize, chain));
    // The same with clear codes placed by the encoder, with and without coding on against a
    // full dictionary: never longer, read the same way.
    for (const bool keepFull : {true, false}) {
      Bytes placed;
      encoder.EncodeWithPlacedClears(placed, image.pixels, image.alternatives, c.codeSize,
                                     keepFull);
      EXPECT_LE(placed.size(), chain.size());
      ExpectOneOfTheChoices(image, DecodeOurs(image, c.codeSize, placed));
      ExpectOneOfTheChoices(image, DecodeGiflib(image, c.codeSize, placed));
    }
  }
}

// How many codes of the stream are read while the decoder's dictionary is full and no clear code
// has come: codes sent against a full dictionary.
size_t CodesAgainstAFullDictionary(const Bytes& chain, int codeSize) {
  const Bytes data = JoinSubBlocks(chain);
  const int clear = 1 << codeSize;
  int width = codeSize + 1, next = clear + 2;
  bool first = true;
  size_t bit = 0, count = 0;
  while (bit + size_t(width) <= data.size() * 8) {
    int code = 0;
    for (int k = 0; k < width; ++k, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1) << k;
    if (code == clear + 1) break;
    if (code == clear) {
      width = codeSize + 1;
      next = clear + 2;
      first = true;
      continue;
    }
    if (next == 4096) ++count;
    if (!first && next < 4096) ++next;
    first = false;
    if (next == (1 << width) && width < 12) ++width;
  }
  return count;
}

TEST(LzwEncoderChoices, OnlyCarefulStreamsClearAsSoonAsTheDictionaryIsFull) {
  // Short runs of 256 values: a full dictionary serves as well as a new one, so the stream codes on
  // against it rather than clearing, unless it is told to be careful.
  const Image image = MakeImage(512, 512, 256, 0.0, 11);
  lzw_choices::ChoiceEncoder encoder;
  Bytes plain, deferred, careful;
  encoder.Encode(plain, image.pixels, image.alternatives, 8);
  encoder.EncodeWithPlacedClears(deferred, image.pixels, image.alternatives, 8, true);
  encoder.EncodeWithPlacedClears(careful, image.pixels, image.alternatives, 8, false);
  EXPECT_EQ(CodesAgainstAFullDictionary(plain, 8), 0u);
  EXPECT_EQ(CodesAgainstAFullDictionary(careful, 8), 0u);
  EXPECT_GT(CodesAgainstAFullDictionary(deferred, 8), 1000u);
  EXPECT_LT(deferred.size(), careful.size());
  EXPECT_EQ(DecodeOurs(image, 8, deferred), image.pixels);
  EXPECT_EQ(DecodeGiflib(image, 8, deferred), image.pixels);
}

TEST(LzwEncoderChoices, PlacedClearsPayWhereThePictureChanges) {
  // Runs of 32 values, then runs of 32 others: the strings of the first half are of no use in
  // the second, and a clear where it begins shortens the stream. A small picture gets a finer
  // grid, and the clear pays there too.
  for (const int halfHeight : {128, 24}) {
    const int width = halfHeight == 128 ? 256 : 64;
    SCOPED_TRACE(::testing::Message() << width << "x" << 2 * halfHeight);
    Image image = MakeImage(width, halfHeight, 32, 0.0, 3);
    const Image other = MakeImage(width, halfHeight, 32, 0.0, 4);
    for (uint8_t v : other.pixels) image.pixels.push_back(uint8_t(v + 32));
    image.alternatives = image.pixels;
    image.height = 2 * halfHeight;
    lzw_choices::ChoiceEncoder encoder;
    Bytes plain, placed;
    encoder.Encode(plain, image.pixels, image.alternatives, 6);
    encoder.EncodeWithPlacedClears(placed, image.pixels, image.alternatives, 6, true);
    EXPECT_LT(placed.size(), plain.size());
    EXPECT_EQ(DecodeOurs(image, 6, placed), image.pixels);
    EXPECT_EQ(DecodeGiflib(image, 6, placed), image.pixels);
  }
}

TEST(LzwEncoderChoices, PlacedClearsNeverDependOnTheThreads) {
  // The blocks between places are measured on every thread at once; the clears chosen, and so the
  // bytes, must be those of one thread. One encoder serves images of every kind in turn, as it
  // serves a document's frames.
  Image changing = MakeImage(256, 128, 32, 0.2, 3);
  const Image other = MakeImage(256, 128, 32, 0.2, 4);
  for (uint8_t v : other.pixels) changing.pixels.push_back(uint8_t(v + 32));
  for (uint8_t v : other.alternatives) changing.alternatives.push_back(uint8_t(v + 32));
  changing.height = 256;
  const Image images[] = {changing, MakeImage(512, 512, 256, 0.0, 11),
                          MakeImage(300, 300, 4, 0.5, 5)};
  const int codeSizes[] = {6, 8, 2};
  lzw_choices::ChoiceEncoder alone, shared;
  WorkPool two(2), three(3);
  for (size_t k = 0; k < 3; ++k) {
    for (const bool keepFull : {true, false}) {
      const Image& image = images[k];
      Bytes one, onTwo, onThree;
      alone.EncodeWithPlacedClears(one, image.pixels, image.alternatives, codeSizes[k], keepFull);
      shared.EncodeWithPlacedClears(onTwo, image.pixels, image.alternatives, codeSizes[k], keepFull,
                                    &two);
      shared.EncodeWithPlacedClears(onThree, image.pixels, image.alternatives, codeSizes[k],
                                    keepFull, &three);
      EXPECT_EQ(onTwo, one) << "image " << k;
      EXPECT_EQ(onThree, one) << "image " << k;
      ExpectOneOfTheChoices(image, DecodeOurs(image, codeSizes[k], onThree));
    }
  }
}

TEST(LzwEncoderChoices, ChoicesMakeTheStreamShorter) {
  // Noise in which every pixel may also be sent as 2: with the choices it is one long run.
  std::mt19937 random(7);
  Image image{256, 256, {}, {}};
  for (int i = 0; i < 256 * 256; ++i) {
    image.pixels.push_back(uint8_t(random() % 4));
    image.alternatives.push_back(2);
  }
  lzw_choices::ChoiceEncoder encoder;
  Bytes fixed, free;
  encoder.Encode(fixed, image.pixels, image.pixels, 2);
  encoder.Encode(free, image.pixels, image.alternatives, 2);
  EXPECT_LT(free.size() * 10, fixed.size());
  ExpectOneOfTheChoices(image, DecodeOurs(image, 2, free));
}

TEST(LzwEncoderChoices, LongStringsPassedOverGiveTheBytesOfTheWalk) {
  // Where no pixel offers a choice, long strings that repeat are passed over at once instead of
  // walked through the trie; a copy of the pixels as the alternatives takes the walk every time.
  std::mt19937 random(5);
  Bytes runs;
  while (runs.size() < 600000)
    runs.resize(runs.size() + 1 + random() % 3000, uint8_t(random() % 3));
  Bytes pattern;
  for (int i = 0; i < 300000; ++i) pattern.push_back(uint8_t((i % 7 + i / 50000) % 4));
  Bytes flatThenNoise(200000, 1);
  for (int i = 0; i < 100000; ++i) flatThenNoise.push_back(uint8_t(random() % 4));
  const Bytes* images[] = {&runs, &pattern, &flatThenNoise};
  for (size_t k = 0; k < 3; ++k) {
    const Bytes* pixels = images[k];
    const Bytes walked = *pixels;
    lzw_choices::ChoiceEncoder encoder;
    for (const bool keepFull : {false, true}) {
      Bytes passedOver, walkedThrough;
      encoder.EncodeWithPlacedClears(passedOver, *pixels, *pixels, 2, keepFull);
      encoder.EncodeWithPlacedClears(walkedThrough, *pixels, walked, 2, keepFull);
      EXPECT_EQ(passedOver, walkedThrough)
          << "image " << k << (keepFull ? ", full dictionaries kept" : "");
    }
    Bytes once;
    encoder.Encode(once, *pixels, *pixels, 2);
    const Image image{int(pixels->size()), 1, *pixels, *pixels};
    EXPECT_EQ(DecodeOurs(image, 2, once), *pixels);
  }
}

TEST(LzwEncoderChoices, EmptyImageAndBadArguments) {
  lzw_choices::ChoiceEncoder encoder;
  Bytes chain;
  // Clear (4) and end (5) in 3 bits each: 0b101100 in one byte.
  encoder.Encode(chain, {}, {}, 2);
  EXPECT_EQ(chain, (Bytes{1, 0x2C}));
  const Bytes pixels = {0, 4}, alternatives = {0, 1};
  EXPECT_THROW(encoder.Encode(chain, pixels, alternatives, 2), std::invalid_argument);
  EXPECT_THROW(encoder.Encode(chain, alternatives, pixels, 2), std::invalid_argument);
  EXPECT_THROW(encoder.Encode(chain, pixels, Bytes{0}, 3), std::invalid_argument);
  EXPECT_THROW(encoder.Encode(chain, pixels, pixels, 9), std::invalid_argument);
  EXPECT_EQ(lzw_choices::SmallestCodeSize(Bytes{0, 1, 3}), 2);
  EXPECT_EQ(lzw_choices::SmallestCodeSize(Bytes{4}), 3);
  EXPECT_EQ(lzw_choices::SmallestCodeSize(Bytes{255}), 8);
}

}  // namespace
}  // namespace lumatrim
