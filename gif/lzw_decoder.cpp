#include "gif/lzw_decoder.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "gif/interlace.h"

namespace lumatrim::mGIFLZWDec {

namespace {

constexpr int kMaxCodes = 4096;  // codes are at most 12 bits wide
constexpr int kMaxWidth = 12;
// The shortest string worth copying from where it was put out before instead of walking its
// prefix chain.
constexpr int kShortestCopy = 16;

// Bits of the code stream, least significant bit first.
class CodeReader {
 public:
  explicit CodeReader(std::span<const uint8_t> data) : data_(data) {}

  // The next code of width bits, or -1 when the data is used up.
  int Read(int width) {
    if (count_ < width) {
      while (count_ <= 56 && pos_ < data_.size()) {
        buffer_ |= uint64_t(data_[pos_++]) << count_;
        count_ += 8;
      }
      if (count_ < width) return -1;
    }
    const int code = int(buffer_ & ((1u << width) - 1));
    buffer_ >>= width;
    count_ -= width;
    return code;
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  uint64_t buffer_ = 0;
  int count_ = 0;
};

// Where the next pixel goes: rows in plain or interlaced order over the surface memory.
class PixelSink {
 public:
  PixelSink(cDIB& surface, bool interlaced)
      : rows_(surface.Height(), interlaced),
        base_(surface.lpBits()),
        stride_(size_t(surface.BytesPerScanline())),
        width_(surface.Width()) {
    row_ = base_ + size_t(rows_.Row()) * stride_;
  }

  bool Done() const { return rows_.Done(); }
  int RoomInRow() const { return width_ - col_; }
  uint8_t* Cursor() { return row_ + col_; }
  // Where n pixels put out now would lie, when they fit in the current row; else null.
  uint8_t* CursorIfRoom(int n) { return n <= RoomInRow() ? Cursor() : nullptr; }
  // Whether the next pixel follows the n pixels put out at `at` in the same row.
  bool FollowsInRow(const uint8_t* at, int n) const {
    return at != nullptr && at + n == row_ + col_ && col_ < width_;
  }

  // Advances by n pixels already written at Cursor() (n at most RoomInRow()).
  void Advance(int n) {
    col_ += n;
    if (col_ == width_) NextRow();
  }

  // Copies pixels that may span several rows; stops when the frame is complete.
  void Put(const uint8_t* pixels, int n) {
    while (n > 0 && !Done()) {
      const int chunk = std::min(n, RoomInRow());
      std::memcpy(Cursor(), pixels, size_t(chunk));
      pixels += chunk;
      n -= chunk;
      Advance(chunk);
    }
  }

 private:
  void NextRow() {
    col_ = 0;
    rows_.Next();
    if (!rows_.Done()) row_ = base_ + size_t(rows_.Row()) * stride_;
  }

  InterlaceRows rows_;
  uint8_t* base_;
  size_t stride_;
  int width_;
  int col_ = 0;
  uint8_t* row_;
};

// Counts the pixels a code stream would put out, up to the frame's size, without writing any.
class PixelCounter {
 public:
  explicit PixelCounter(uint64_t framePixels) : framePixels_(framePixels) {}

  bool Done() const { return count_ >= framePixels_; }
  uint8_t* CursorIfRoom(int /*n*/) { return nullptr; }
  bool FollowsInRow(const uint8_t* /*at*/, int /*n*/) const { return false; }
  void Put(const uint8_t* /*pixels*/, int n) {
    count_ = std::min(count_ + uint64_t(n), framePixels_);
  }
  uint64_t Count() const { return count_; }

 private:
  uint64_t framePixels_;
  uint64_t count_ = 0;
};

// The code table and the decoding loop. One object per image.
class Decoder {
 public:
  Decoder(uint8_t m, std::span<const uint8_t> data)
      : reader_(data), clear_(1 << m), end_(clear_ + 1), initialWidth_(m + 1) {
    for (int code = 0; code < clear_ && code < kMaxCodes; ++code) {
      suffix_[code] = uint8_t(code);
      first_[code] = uint8_t(code);
      length_[code] = 1;
    }
  }

  // Decodes into sink until the frame is complete or the stream ends; answers why it stopped.
  template <class Sink>
  StreamEnd Run(Sink& sink) {
    Reset();
    int code = reader_.Read(width_);
    // Streams open with a clear code; a stream that opens with a pixel is decoded from there.
    if (code == clear_) code = reader_.Read(width_);
    while (code >= 0 && code != end_ && !sink.Done()) {
      if (code == clear_) {
        Reset();
      } else if (!Decode(code, sink)) {
        return StreamEnd::BadCode;
      }
      code = reader_.Read(width_);
    }
    return sink.Done() ? StreamEnd::Complete : StreamEnd::EndedEarly;
  }

 private:
  void Reset() {
    next_ = clear_ + 2;
    width_ = initialWidth_;
    old_ = -1;
  }

  // Decodes one code other than clear and end; answers false when decoding must stop.
  template <class Sink>
  bool Decode(int code, Sink& sink) {
    if (old_ < 0) {
      // The first code after a clear must be a pixel.
      if (code >= clear_ || code > 255) return false;
      const uint8_t pixel = uint8_t(code);
      lastPut_ = sink.CursorIfRoom(1);
      sink.Put(&pixel, 1);
      old_ = code;
      return true;
    }
    uint8_t firstPixel;
    if (code < next_) {
      if (code < clear_ && code > 255) return false;  // a pixel beyond any palette
      firstPixel = first_[code];
    } else if (code == next_ && next_ < kMaxCodes) {
      // The string not yet in the table: the previous string plus its own first pixel.
      firstPixel = first_[old_];
    } else {
      return false;
    }
    // A full table takes no more entries; the stream goes on with it until a clear code.
    const bool grows = next_ < kMaxCodes;
    if (grows) {
      prefix_[next_] = uint16_t(old_);
      suffix_[next_] = firstPixel;
      length_[next_] = uint16_t(length_[old_] + 1);
      first_[next_] = first_[old_];
      // The new string is the previous one and this one's first pixel: where they follow each
      // other in one row, it lies there.
      copyFrom_[next_] = sink.FollowsInRow(lastPut_, length_[old_]) ? lastPut_ : nullptr;
    }
    Emit(code, sink);
    if (grows) {
      ++next_;
      if (next_ > (1 << width_) - 1 && width_ < kMaxWidth) ++width_;
    }
    old_ = code;
    return true;
  }

  // Puts out the string of code: copied from where it lies when it is long, else by walking the
  // prefix chain from its last pixel.
  void Emit(int code, PixelSink& sink) {
    const int length = length_[code];
    lastPut_ = sink.CursorIfRoom(length);
    if (lastPut_ != nullptr) {
      const uint8_t* from = copyFrom_[code];
      if (length >= kShortestCopy && from != nullptr) {
        // The code added by this very code is the previous string and its first pixel, which
        // ends where this string starts: all but the last pixel are copied, and the last is the
        // first again.
        if (from + length - 1 == lastPut_) {
          std::memcpy(lastPut_, from, size_t(length - 1));
          lastPut_[length - 1] = from[0];
        } else {
          std::memcpy(lastPut_, from, size_t(length));
        }
      } else {
        uint8_t* out = lastPut_ + length;
        for (int c = code, i = 0; i < length; ++i) {
          *--out = suffix_[c];
          c = prefix_[c];
        }
      }
      sink.Advance(length);
      return;
    }
    uint8_t* out = stack_ + length;
    for (int c = code, i = 0; i < length; ++i) {
      *--out = suffix_[c];
      c = prefix_[c];
    }
    sink.Put(stack_, length);
  }

  // Counting needs only the string's length.
  void Emit(int code, PixelCounter& counter) { counter.Put(nullptr, length_[code]); }

  CodeReader reader_;
  const int clear_;
  const int end_;
  const int initialWidth_;
  int width_ = 0;
  int next_ = 0;
  int old_ = -1;
  uint16_t prefix_[kMaxCodes] = {};
  uint8_t suffix_[kMaxCodes] = {};
  uint8_t first_[kMaxCodes] = {};
  uint16_t length_[kMaxCodes] = {};
  // Holds the longest string a full table can make.
  uint8_t stack_[kMaxCodes + 1] = {};
  // Where each code's string lies in the surface, when all of it lies in one row; and where the
  // last string put out lies, when it lies in one row.
  const uint8_t* copyFrom_[kMaxCodes] = {};
  uint8_t* lastPut_ = nullptr;
};

}  // namespace

void DecodeFrame(cDIB& surface, bool interlaced, uint8_t m, std::span<const uint8_t> data) {
  if (surface.BPP() != 8 || surface.lpBits() == nullptr) return;
  // Beyond 11 bits the first free code lies past the 12-bit table: nothing can be decoded.
  if (m > 11) return;
  PixelSink sink(surface, interlaced);
  if (sink.Done()) return;
  auto decoder = std::make_unique<Decoder>(m, data);
  decoder->Run(sink);
}

StreamExtent MeasureStream(uint64_t framePixels, uint8_t m, std::span<const uint8_t> data) {
  if (framePixels == 0) return {0, StreamEnd::Complete};
  if (m > 11) return {0, StreamEnd::BadCode};
  PixelCounter counter(framePixels);
  auto decoder = std::make_unique<Decoder>(m, data);
  const StreamEnd end = decoder->Run(counter);
  return {counter.Count(), end};
}

}  // namespace lumatrim::mGIFLZWDec
