// How much of a frame whose data stops early the document holds: what the data reached and what
// the screen shows, decoded to the same pixels as the whole frame would be.
#include <gtest/gtest.h>

#include "gif/frame_extent.h"
#include "gif_bytes.h"

namespace lumatrim {
namespace {

using mGIFLZWDec::StreamEnd;
using mGIFLZWDec::StreamExtent;
using testing::Bytes;

// A code stream of n literal pixels 1, 2, 3... (values below 4, minimum code size 2).
Bytes CountingPixels(int n) {
  Bytes pixels;
  for (int i = 0; i < n; ++i) pixels.push_back(uint8_t(1 + i % 3));
  return testing::UncompressedCodes(pixels);
}

// The frame's pixels decoded into a surface of size, row by row.
Bytes Decoded(FrameSize size, bool interlaced, const Bytes& data) {
  cDIB surface;
  if (size.width <= 0 || size.height <= 0) return {};
  EXPECT_TRUE(surface.Create(size.width, size.height, 8));
  mGIFLZWDec::DecodeFrame(surface, interlaced, 2, data);
  Bytes pixels;
  for (int y = 0; y < size.height; ++y) {
    const uint8_t* row = surface.lpBits() + y * surface.BytesPerScanline();
    pixels.insert(pixels.end(), row, row + size.width);
  }
  return pixels;
}

// The size held, with the default allowance of index 0 on the screen.
FrameSize Held(FrameSize declared, const FramePlace& place, bool interlaced, StreamExtent extent) {
  const HeldFrame held = HeldFrameSize(declared, place, interlaced, extent);
  EXPECT_FALSE(held.leavesOutShownPixels);
  return held.size;
}

TEST(FrameExtentTest, WholeDataKeepsTheDeclaredFrame) {
  const FramePlace offScreen{500, 500, 100, 100};
  EXPECT_EQ(Held({300, 200}, offScreen, false, {60000, StreamEnd::Complete}),
            (FrameSize{300, 200}));
  EXPECT_EQ(Held({0, 200}, offScreen, false, {0, StreamEnd::Complete}), (FrameSize{0, 200}));
}

TEST(FrameExtentTest, ShortDataKeepsWhatItReachedAndWhatTheScreenShows) {
  const FramePlace corner{0, 0, 100, 100};
  const FramePlace off{200, 0, 100, 100};
  // 26762 x 24101 declared, 3 rows' worth of data.
  const StreamExtent threeRows{26762 * 2 + 5, StreamEnd::EndedEarly};
  EXPECT_EQ(Held({26762, 24101}, corner, false, threeRows), (FrameSize{26762, 100}));
  EXPECT_EQ(Held({26762, 24101}, off, false, threeRows), (FrameSize{26762, 3}));
  // Interlaced, the same rows lie 8 apart.
  EXPECT_EQ(Held({26762, 24101}, off, true, threeRows), (FrameSize{26762, 17}));
  // Past the first pass of interlacing the rows reach the bottom.
  EXPECT_EQ(Held({10, 80}, off, true, {10 * 10 + 1, StreamEnd::BadCode}), (FrameSize{10, 80}));
  // Less than a row: a row as wide as the data and the screen need.
  EXPECT_EQ(Held({65535, 65535}, off, false, {7, StreamEnd::BadCode}), (FrameSize{7, 1}));
  EXPECT_EQ(Held({65535, 65535}, corner, true, {7, StreamEnd::BadCode}), (FrameSize{100, 100}));
  // No data: what the screen shows, or nothing at all.
  EXPECT_EQ(Held({65535, 65535}, off, false, {0, StreamEnd::EndedEarly}), FrameSize{});
  EXPECT_EQ(Held({65535, 65535}, FramePlace{60, 90, 100, 100}, false, {0, StreamEnd::EndedEarly}),
            (FrameSize{40, 10}));
  // The frame's own size bounds it all.
  EXPECT_EQ(Held({5, 4}, corner, false, {3, StreamEnd::EndedEarly}), (FrameSize{5, 4}));
}

TEST(FrameExtentTest, MillionsOfIndexZeroOnTheScreenAreLeftOutToo) {
  // A 30000 x 30000 frame over a screen as large, with 2 rows of data: held 2 rows.
  const HeldFrame held = HeldFrameSize({30000, 30000}, FramePlace{0, 0, 30000, 30000}, false,
                                       {60000, StreamEnd::EndedEarly});
  EXPECT_EQ(held.size, (FrameSize{30000, 2}));
  EXPECT_TRUE(held.leavesOutShownPixels);
  // A frame of 4096 x 4096 holds its fill on the screen, as any smaller one.
  const HeldFrame limit =
      HeldFrameSize({4096, 4096}, FramePlace{0, 0, 4096, 4096}, false, {1, StreamEnd::EndedEarly});
  EXPECT_EQ(limit.size, (FrameSize{4096, 4096}));
  EXPECT_FALSE(limit.leavesOutShownPixels);
  const HeldFrame past =
      HeldFrameSize({4097, 4096}, FramePlace{0, 0, 4097, 4096}, false, {1, StreamEnd::EndedEarly});
  EXPECT_EQ(past.size, (FrameSize{1, 1}));
  EXPECT_TRUE(past.leavesOutShownPixels);
}

// Decoding into the held part writes the pixels decoding the whole frame writes there, and the
// whole frame holds nothing but index 0 elsewhere, for every length of data, plain and
// interlaced, on the screen, partly on it and off it.
TEST(FrameExtentTest, TheHeldPartDecodesAsTheWholeFrame) {
  for (const FrameSize declared : {FrameSize{1, 1}, FrameSize{3, 5}, FrameSize{8, 17}}) {
    for (const bool interlaced : {false, true}) {
      for (const FramePlace place :
           {FramePlace{0, 0, 4, 4}, FramePlace{2, 3, 4, 4}, FramePlace{10, 0, 4, 4}}) {
        const int all = declared.width * declared.height;
        for (int n = 0; n <= all; ++n) {
          for (const uint64_t maxShownFill : {kMaxShownFillPixels, uint64_t(3)}) {
            SCOPED_TRACE(std::to_string(declared.width) + "x" + std::to_string(declared.height) +
                         (interlaced ? " interlaced" : "") + " at " + std::to_string(place.left) +
                         "," + std::to_string(place.top) + ", pixels " + std::to_string(n));
            const Bytes data = CountingPixels(n);
            const StreamExtent extent = mGIFLZWDec::MeasureStream(uint64_t(all), 2, data);
            ASSERT_EQ(extent.pixels, uint64_t(n));
            const HeldFrame kept = HeldFrameSize(declared, place, interlaced, extent, maxShownFill);
            const FrameSize held = kept.size;
            ASSERT_LE(held.width, declared.width);
            ASSERT_LE(held.height, declared.height);
            const Bytes whole = Decoded(declared, interlaced, data);
            const Bytes part = Decoded(held, interlaced, data);
            for (int y = 0; y < declared.height; ++y) {
              for (int x = 0; x < declared.width; ++x) {
                const uint8_t expected = whole[size_t(y * declared.width + x)];
                if (x < held.width && y < held.height) {
                  ASSERT_EQ(part[size_t(y * held.width + x)], expected) << x << "," << y;
                } else {
                  ASSERT_EQ(expected, 0) << x << "," << y;
                  // What is left out shows on the screen only where the frame says so.
                  ASSERT_TRUE(kept.leavesOutShownPixels || place.left + x >= place.screenWidth ||
                              place.top + y >= place.screenHeight)
                      << x << "," << y;
                }
              }
            }
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace lumatrim
