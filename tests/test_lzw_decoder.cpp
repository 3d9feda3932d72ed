#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "gif/lzw_decoder.h"
#include "gif_bytes.h"

namespace lumatrim {
namespace {

using testing::Bytes;
using testing::PackCodes;

// Writes codes at the width a decoder expects, following the growth of its code table.
class CodeStream {
 public:
  explicit CodeStream(int m) : clear_(1 << m), initialWidth_(m + 1), width_(m + 1) {}

  void Clear() {
    Put(clear_);
    width_ = initialWidth_;
    next_ = clear_ + 2;
    afterClear_ = true;
  }
  // A code that adds a table entry unless it follows a clear or the table is full.
  void Code(int code) {
    Put(code);
    if (afterClear_) {
      afterClear_ = false;
      return;
    }
    if (next_ < 4096) {
      ++next_;
      if (next_ > (1 << width_) - 1 && width_ < 12) ++width_;
    }
  }
  void End() { Put(clear_ + 1); }
  int next() const { return next_; }
  Bytes bytes() const { return packer_.bytes(); }

 private:
  void Put(int code) { packer_.Put(code, width_); }
  int clear_, initialWidth_, width_, next_ = 0;
  bool afterClear_ = true;
  testing::BitPacker packer_;
};

// Decodes into a fresh width x height surface and returns its pixels row by row.
Bytes Decode(int width, int height, bool interlaced, int m, const Bytes& data) {
  cDIB surface;
  EXPECT_TRUE(surface.Create(width, height, 8));
  mGIFLZWDec::DecodeFrame(surface, interlaced, uint8_t(m), data);
  Bytes pixels;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = surface.lpBits() + y * surface.BytesPerScanline();
    pixels.insert(pixels.end(), row, row + width);
  }
  return pixels;
}

// One literal pixel per clear code: every code stays m + 1 bits wide.
Bytes Literals(int m, const Bytes& pixels, bool end = true) {
  CodeStream stream(m);
  for (uint8_t p : pixels) {
    stream.Clear();
    stream.Code(p);
  }
  if (end) stream.End();
  return stream.bytes();
}

TEST(LzwDecoderTest, CodeEqualToNextFreeCodeRepeatsThePreviousString) {
  EXPECT_EQ(Decode(4, 1, false, 2, PackCodes({{4, 3}, {1, 3}, {6, 3}, {5, 3}})),
            (Bytes{1, 1, 1, 0}));
}

TEST(LzwDecoderTest, StopsWhenTheFrameIsComplete) {
  EXPECT_EQ(Decode(3, 1, false, 2, PackCodes({{4, 3}, {1, 3}, {1, 3}, {1, 3}, {1, 4}, {5, 4}})),
            (Bytes{1, 1, 1}));
  // More pixels than the frame holds: row 0 keeps its pixels, nothing is written past it.
  EXPECT_EQ(Decode(2, 1, false, 8, Literals(8, {7, 8, 9, 10})), (Bytes{7, 8}));
}

TEST(LzwDecoderTest, DataThatRunsOutKeepsWhatWasDecoded) {
  const Bytes pixels = Decode(10, 10, false, 8, Literals(8, Bytes(37, 3), false));
  for (int i = 0; i < 100; ++i) EXPECT_EQ(pixels[size_t(i)], i < 37 ? 3 : 0) << i;
  EXPECT_EQ(Decode(2, 2, false, 2, {}), Bytes(4, 0));
}

TEST(LzwDecoderTest, InterlacedRowOrders) {
  struct Case {
    int height;
    Bytes order;
  };
  for (const Case& c : {Case{10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}}, Case{5, {0, 4, 2, 1, 3}},
                        Case{4, {0, 2, 1, 3}}, Case{3, {0, 2, 1}}, Case{2, {0, 1}}, Case{1, {0}}}) {
    // Row r receives the pixel value of its place in the stream (plus 1, so 0 stays "unset").
    Bytes stream;
    for (size_t i = 0; i < c.order.size(); ++i) stream.push_back(uint8_t(i + 1));
    const Bytes rows = Decode(1, c.height, true, 8, Literals(8, stream));
    Bytes expected(size_t(c.height), 0);
    for (size_t i = 0; i < c.order.size(); ++i) expected[c.order[i]] = uint8_t(i + 1);
    EXPECT_EQ(rows, expected) << "height " << c.height;
  }
}

TEST(LzwDecoderTest, InvalidCodesStopDecoding) {
  // A first code after a clear that can't be a pixel.
  EXPECT_EQ(Decode(2, 1, false, 8, PackCodes({{256, 9}, {300, 9}, {1, 9}})), (Bytes{0, 0}));
  EXPECT_EQ(Decode(3, 1, false, 2, PackCodes({{4, 3}, {7, 3}, {1, 3}})), (Bytes{0, 0, 0}));
  // A code beyond the next free code.
  EXPECT_EQ(Decode(3, 1, false, 2, PackCodes({{4, 3}, {2, 3}, {7, 3}, {1, 3}})), (Bytes{2, 0, 0}));
  // Minimum code sizes past the 12-bit table decode nothing.
  EXPECT_EQ(Decode(2, 1, false, 12, Bytes(16, 0x11)), (Bytes{0, 0}));
}

TEST(LzwDecoderTest, StreamMayOpenWithoutAClearCode) {
  EXPECT_EQ(Decode(3, 1, false, 2, PackCodes({{1, 3}, {2, 3}, {5, 3}})), (Bytes{1, 2, 0}));
}

TEST(LzwDecoderTest, ClearCodeRightAfterAClearCodeIsNoPixel) {
  EXPECT_EQ(Decode(2, 1, false, 2, PackCodes({{4, 3}, {4, 3}, {1, 3}, {5, 3}})), (Bytes{1, 0}));
}

TEST(LzwDecoderTest, FullTableKeepsDecodingUntilAClearCode) {
  // Fill the table with single-pixel codes (each adds an entry), then go on at 12 bits without a
  // clear code, then clear and continue at the initial width.
  CodeStream stream(2);
  Bytes expected;
  stream.Clear();
  for (int i = 0; stream.next() < 4096; ++i) {
    stream.Code(i % 4);
    expected.push_back(uint8_t(i % 4));
  }
  for (int i = 0; i < 500; ++i) {
    stream.Code(3 - i % 4);
    expected.push_back(uint8_t(3 - i % 4));
  }
  // A long code from the full table: entry 4000 holds two pixels.
  stream.Code(4000);
  const size_t at4000 = 4000 - 6;  // entry e is (pixel e-6, pixel e-5) of the first run
  expected.push_back(expected[at4000]);
  expected.push_back(expected[at4000 + 1]);
  stream.Clear();
  stream.Code(2);
  stream.Code(1);
  expected.push_back(2);
  expected.push_back(1);
  stream.End();
  const Bytes pixels = Decode(int(expected.size()), 1, false, 2, stream.bytes());
  EXPECT_EQ(pixels, expected);
}

TEST(LzwDecoderTest, LongestStringsFitTheStack) {
  // A run of one colour builds strings of length 1, 2, 3, ... until the table is full.
  CodeStream stream(2);
  Bytes expected;
  stream.Clear();
  stream.Code(0);
  expected.push_back(0);
  for (int code = 6, length = 2; stream.next() < 4096; ++code, ++length) {
    stream.Code(code);
    expected.insert(expected.end(), size_t(length), 0);
  }
  stream.Code(4095);  // the longest string: 4091 pixels
  expected.insert(expected.end(), 4091, 0);
  stream.End();
  // Mark the data so a wrong length shows: give the frame one more row filled by a literal.
  const Bytes pixels = Decode(int(expected.size()) + 1, 1, false, 2, stream.bytes());
  EXPECT_EQ(Bytes(pixels.begin(), pixels.end() - 1), expected);
  EXPECT_EQ(pixels.back(), 0);
}

TEST(LzwDecoderTest, StringsSpanRowsAndDoNothingWithoutASurface) {
  // Code 6 = (1, 1) straddles the end of row 0 in a 3-wide frame.
  EXPECT_EQ(Decode(3, 2, false, 2, PackCodes({{4, 3}, {1, 3}, {1, 3}, {6, 3}, {5, 4}})),
            (Bytes{1, 1, 1, 1, 0, 0}));
  cDIB deep;
  ASSERT_TRUE(deep.Create(2, 1, 32));
  mGIFLZWDec::DecodeFrame(deep, false, 2, PackCodes({{4, 3}, {1, 3}, {5, 3}}));
  EXPECT_EQ(deep.lpBits()[0], 0);
  cDIB none;
  mGIFLZWDec::DecodeFrame(none, false, 2, PackCodes({{4, 3}, {1, 3}, {5, 3}}));
}

// How many pixels decoding wrote into a plain frame: they come first, the rest keep the mark.
uint64_t WrittenPixels(int width, int height, int m, const Bytes& data) {
  constexpr uint8_t kUnset = 0xEE;
  cDIB surface;
  EXPECT_TRUE(surface.Create(width, height, 8));
  std::fill_n(surface.lpBits(), size_t(surface.BytesPerScanline()) * size_t(height), kUnset);
  mGIFLZWDec::DecodeFrame(surface, false, uint8_t(m), data);
  uint64_t written = 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = surface.lpBits() + y * surface.BytesPerScanline();
    written += uint64_t(std::count_if(row, row + width, [](uint8_t p) { return p != kUnset; }));
  }
  return written;
}

TEST(LzwDecoderTest, MeasuringAStreamAgreesWithDecodingIt) {
  using mGIFLZWDec::StreamEnd;
  struct Case {
    const char* what;
    int width, height, m;
    Bytes data;
    StreamEnd end;
  };
  CodeStream longest(2);
  longest.Clear();
  longest.Code(0);
  for (int code = 6; longest.next() < 4096; ++code) longest.Code(code);
  longest.Code(4095);
  longest.End();
  const std::vector<Case> cases = {
      {"end code before the last pixel", 4, 1, 2, PackCodes({{4, 3}, {1, 3}, {6, 3}, {5, 3}}),
       StreamEnd::EndedEarly},
      {"more codes than pixels", 3, 1, 2, PackCodes({{4, 3}, {1, 3}, {1, 3}, {1, 3}, {1, 4}}),
       StreamEnd::Complete},
      {"data that runs out", 10, 10, 8, Literals(8, Bytes(37, 3), false), StreamEnd::EndedEarly},
      {"no data", 2, 2, 2, {}, StreamEnd::EndedEarly},
      {"first code no pixel", 2, 1, 8, PackCodes({{256, 9}, {300, 9}, {1, 9}}), StreamEnd::BadCode},
      {"code past the next free code", 3, 1, 2, PackCodes({{4, 3}, {2, 3}, {7, 3}, {1, 3}}),
       StreamEnd::BadCode},
      {"code size past the table", 2, 1, 12, Bytes(16, 0x11), StreamEnd::BadCode},
      {"strings up to the longest", 3000, 3000, 2, longest.bytes(), StreamEnd::EndedEarly},
      {"strings up to the longest, cut", 5000, 2, 2, longest.bytes(), StreamEnd::Complete},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const mGIFLZWDec::StreamExtent extent =
        mGIFLZWDec::MeasureStream(uint64_t(c.width) * uint64_t(c.height), uint8_t(c.m), c.data);
    EXPECT_EQ(extent.pixels, WrittenPixels(c.width, c.height, c.m, c.data));
    EXPECT_EQ(extent.end, c.end);
  }
  // Counting reaches the size of a frame far too large to decode into, at one step a code.
  CodeStream run(8);
  run.Clear();
  run.Code(7);
  for (int code = 258; run.next() < 4096; ++code) run.Code(code);
  const mGIFLZWDec::StreamExtent huge =
      mGIFLZWDec::MeasureStream(65535ull * 65535ull, 8, run.bytes());
  EXPECT_EQ(huge.end, StreamEnd::EndedEarly);
  EXPECT_EQ(huge.pixels, uint64_t(3839) * 3840 / 2);  // strings of 1 to 3839 pixels
  EXPECT_EQ(mGIFLZWDec::MeasureStream(0, 2, {}).end, StreamEnd::Complete);
}

}  // namespace
}  // namespace lumatrim
