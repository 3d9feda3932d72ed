// Frames out of memory: the byte packer, packed surfaces, and a document whose cache holds no
// frame beyond those in use, which must read, reduce and write exactly as one that holds all.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <random>
#include <utility>

#include "animation_docs.h"
#include "corpus.h"
#include "gif/byte_packer.h"
#include "gif/packed_surface.h"
#include "optimizer/pipeline.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

using namespace testing;

Bytes RoundTrip(const Bytes& bytes) {
  const std::vector<uint8_t> packed = BytePacker::Pack(bytes);
  Bytes out(bytes.size(), 0xAA);
  EXPECT_TRUE(BytePacker::Unpack(packed, out));
  return out;
}

TEST(BytePackerTest, GivesBackEveryKindOfInput) {
  std::mt19937 random(7);
  Bytes noise(100000);
  for (uint8_t& b : noise) b = uint8_t(random());
  // Rows of 70000 bytes that repeat, so references reach further than 65535 back.
  Bytes rows;
  for (int r = 0; r < 3; ++r) rows.insert(rows.end(), noise.begin(), noise.begin() + 70000);
  Bytes patterns;
  for (int i = 0; i < 5000; ++i) patterns.push_back(uint8_t(i % 3));  // overlapping references
  for (int i = 0; i < 5000; ++i) patterns.push_back(7);               // a run
  for (const Bytes& bytes :
       {Bytes{}, Bytes{9}, Bytes{1, 2, 3}, Bytes{5, 5, 5, 5, 5}, noise, rows, patterns}) {
    EXPECT_EQ(RoundTrip(bytes), bytes) << bytes.size() << " bytes";
  }
  EXPECT_LT(BytePacker::Pack(patterns).size(), 100u);
  EXPECT_LT(BytePacker::Pack(rows).size(), 100000u + 100u);
}

TEST(BytePackerTest, RefusesPackedBytesOfAnotherSize) {
  const Bytes bytes(1000, 3);
  const std::vector<uint8_t> packed = BytePacker::Pack(bytes);
  Bytes shorter(999), longer(1001);
  EXPECT_FALSE(BytePacker::Unpack(packed, shorter));
  EXPECT_FALSE(BytePacker::Unpack(packed, longer));
  const std::vector<uint8_t> cut(packed.begin(), packed.end() - 1);
  Bytes out(1000);
  EXPECT_FALSE(BytePacker::Unpack(cut, out));
}

TEST(PackedSurfaceTest, UnpacksTheSameBytesTableAndSize) {
  const Bytes table = {1, 2, 3, 0, 4, 5, 6, 0};
  for (int bpp : {1, 8, 32}) {
    for (bool blank : {true, false}) {
      cDIB surface;
      ASSERT_TRUE(surface.Create(3, 5, bpp));  // rows padded to 4 bytes
      surface.SetPalette(table);
      for (int32_t i = 0; !blank && i < surface.Size(); ++i) surface.lpBits()[i] = uint8_t(i * 7);
      const PackedSurface packed = PackedSurface::Pack(surface);
      EXPECT_EQ(packed.Width(), 3);
      EXPECT_EQ(packed.Height(), 5);
      // Into memory that held other bytes, as a spare of the cache does.
      cDIB back;
      ASSERT_TRUE(back.Create(9, 9, 8));
      std::fill_n(back.lpBits(), back.Size(), uint8_t(0xAA));
      packed.UnpackTo(back);
      ASSERT_EQ(back.BPP(), bpp);
      EXPECT_EQ(Bytes(back.lpBits(), back.lpBits() + back.Size()),
                Bytes(surface.lpBits(), surface.lpBits() + surface.Size()));
      std::vector<uint8_t> a, b;
      surface.GetPalette(a);
      back.GetPalette(b);
      EXPECT_EQ(a, b);
    }
  }
  cDIB none;
  cDIB target;
  target.Create(2, 2, 8);
  PackedSurface::Pack(none).UnpackTo(target);
  EXPECT_EQ(target.lpBits(), nullptr);
}

// Twelve frames of 40 x 30, each its own picture.
Bytes TwelveFrames() {
  std::vector<FrameSpec> frames;
  for (uint8_t i = 0; i < 12; ++i) {
    FrameSpec frame = Filled(0, 0, 40, 30, uint8_t(i % 4));
    frame.pixels[i * 37] = uint8_t((i + 1) % 4);
    if (i % 3 == 0) frame.transparent = (i + 1) % 4;
    frames.push_back(frame);
  }
  return Animation(40, 30, frames);
}

TEST(FrameCacheTest, FramesOutOfMemoryComeBackAsTheyWere) {
  cGIF all, few;
  few.FrameCacheSize(0);
  ASSERT_TRUE(all.LoadFromStream(TwelveFrames()));
  ASSERT_TRUE(few.LoadFromStream(TwelveFrames()));
  // Only the frame used last is unpacked; reading sizes brings no frame back.
  EXPECT_LE(few.Frames().UnpackedBytes(), 2000u);
  const uint64_t unpacked = few.Frames().UnpackedBytes();
  for (int16_t n = 1; n <= 12; ++n) EXPECT_EQ(few.FrameSurfaceWidth(n), 40);
  EXPECT_EQ(few.Frames().UnpackedBytes(), unpacked);

  for (int16_t n = 1; n <= 12; ++n) {
    EXPECT_EQ(PixelsOf(few, n), PixelsOf(all, n)) << "frame " << n;
    const cDIB& mask = *std::as_const(few).FrameDIBAND(n);
    const cDIB& expected = *std::as_const(all).FrameDIBAND(n);
    EXPECT_EQ(Bytes(mask.lpBits(), mask.lpBits() + mask.Size()),
              Bytes(expected.lpBits(), expected.lpBits() + expected.Size()));
  }

  // A change made through the surface survives the frame's trip out of memory.
  few.FrameDIBXOR(2)->lpBits()[5] = 3;
  for (int16_t n = 3; n <= 12; ++n) PixelsOf(few, n);
  EXPECT_EQ(PixelsOf(few, 2)[5], 3);
}

// A frame given a new colour table keeps it through every trip out of memory, whether it was
// packed away, in memory unchanged, or in memory with changed pixels; a frame packed away is
// not brought back for it.
TEST(FrameCacheTest, ANewPaletteAloneNeitherUnpacksNorLosesItself) {
  cGIF gif;
  gif.FrameCacheSize(0);
  ASSERT_TRUE(gif.LoadFromStream(TwelveFrames()));
  std::array<uint8_t, 1024> table{};
  table[0] = 200;  // entry 0's blue
  table[6] = 100;  // entry 1's red

  const uint64_t unpacked = gif.Frames().UnpackedBytes();
  gif.SetFrameImagePalette(3, table);  // packed away
  EXPECT_EQ(gif.Frames().UnpackedBytes(), unpacked);
  PixelsOf(gif, 4);  // frame 4 in memory, unchanged
  gif.SetFrameImagePalette(4, table);
  gif.FrameDIBXOR(5)->lpBits()[0] = 2;  // frame 5 in memory, changed
  gif.SetFrameImagePalette(5, table);
  for (int16_t n = 6; n <= 12; ++n) PixelsOf(gif, n);  // all three packed again
  for (int16_t n : {3, 4, 5}) {
    std::vector<uint8_t> got;
    std::as_const(gif).FrameDIBXOR(n)->GetPalette(got);
    ASSERT_GE(got.size(), 8u);
    EXPECT_EQ(got[0], 200) << "frame " << n;
    EXPECT_EQ(got[6], 100) << "frame " << n;
  }
  EXPECT_EQ(PixelsOf(gif, 5)[0], 2);

  // Nothing packed (a frame without pixels) has no table to set.
  PackedSurface nothing;
  nothing.SetPalette(table);
  EXPECT_FALSE(nothing.HasPixels());
}

TEST(FrameCacheTest, FramesUnpackedIntoSparesOfOtherFramesAreExact) {
  // Frames of falling sizes, some blank, through a cache that keeps a few frames' memory spare:
  // each frame comes back into memory another frame had, larger than it needs.
  std::vector<FrameSpec> frames;
  std::mt19937 random(3);
  for (uint16_t i = 0; i < 16; ++i) {
    FrameSpec frame = Filled(0, 0, uint16_t(40 - i), uint16_t(30 - i), 0);
    if (i % 4 != 3) {
      for (uint8_t& p : frame.pixels) p = uint8_t(random() % 4);
    }
    frame.transparent = i % 2 == 0 ? 1 : -1;
    frames.push_back(frame);
  }
  const Bytes file = Animation(40, 30, frames);
  cGIF all, few;
  few.FrameCacheSize(12000);
  ASSERT_TRUE(all.LoadFromStream(file));
  ASSERT_TRUE(few.LoadFromStream(file));
  for (int pass = 0; pass < 3; ++pass) {
    for (int16_t n = 1; n <= 16; ++n) {
      ASSERT_EQ(PixelsOf(few, n), PixelsOf(all, n)) << "frame " << n << ", pass " << pass;
      const cDIB& mask = *std::as_const(few).FrameDIBAND(n);
      const cDIB& expected = *std::as_const(all).FrameDIBAND(n);
      ASSERT_EQ(Bytes(mask.lpBits(), mask.lpBits() + mask.Size()),
                Bytes(expected.lpBits(), expected.lpBits() + expected.Size()));
    }
  }
  EXPECT_LE(few.Frames().UnpackedBytes(), 12000u);
}

TEST(FrameCacheTest, HeldSurfacesStayInMemory) {
  cGIF gif;
  gif.FrameCacheSize(0);
  ASSERT_TRUE(gif.LoadFromStream(TwelveFrames()));
  const std::shared_ptr<cDIB> held = gif.FrameDIBXOR(1);
  uint8_t* bits = held->lpBits();
  for (int16_t n = 2; n <= 12; ++n) gif.FrameDIBXOR(n);
  EXPECT_EQ(held->lpBits(), bits);
  EXPECT_EQ(held->Width(), 40);
  // Frames nobody holds are packed again.
  EXPECT_LE(gif.Frames().UnpackedBytes(), 2 * 2000u);
}

TEST(FrameCacheTest, FilesOfAnyFrameCountLoadWhenTwoFramesFitTheBudget) {
  // Twenty frames of 500 x 500 need 5.6 MB unpacked; two of them and the packed rest fit 1 MiB.
  Bytes file = Header(500, 500);
  for (int i = 0; i < 20; ++i) Image(file, 0, 0, 500, 500, 0, UncompressedCodes({1}));
  cGIF gif;
  gif.MemoryBudget(1 << 20);
  ASSERT_TRUE(gif.LoadFromStream(file)) << gif.LoadError();
  EXPECT_EQ(gif.FramesCount(), 20);
  EXPECT_EQ(gif.FrameDIBXOR(20)->lpBits()[0], 1);
  EXPECT_LE(gif.Frames().UnpackedBytes() + gif.Frames().PackedBytes(), uint64_t(1) << 20);
}

// The pipeline makes the same bytes whether every frame stays in memory or none but those in use.
TEST(FrameCacheTest, ReducesTheRealFilesAlikeWithoutACache) {
  const TempFolder folder("frame-cache");
  for (const auto& path : RealFiles()) {
    std::ifstream in(path, std::ios::binary);
    const Bytes bytes{std::istreambuf_iterator<char>(in), {}};
    for (auto mode : {mGIFOptimizer::CropChangedArea, mGIFOptimizer::MaskUnchangedPixels}) {
      Bytes outputs[2];
      for (int i = 0; i < 2; ++i) {
        cGIF gif;
        if (i == 1) gif.FrameCacheSize(0);
        if (!gif.LoadFromStream(bytes)) break;
        const std::string out = (folder / (std::to_string(i) + ".gif")).string();
        ASSERT_TRUE(pvSaveOptimizedTmpGIF(gif, out, mode, true, true, true));
        std::ifstream written(out, std::ios::binary);
        outputs[i].assign(std::istreambuf_iterator<char>(written), {});
      }
      EXPECT_EQ(outputs[0], outputs[1]) << path.filename() << " mode " << mode;
    }
  }
}

}  // namespace
}  // namespace lumatrim
