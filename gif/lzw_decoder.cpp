#include "gif/lzw_decoder.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "gif/interlace.h"

namespace lumatrim::mGIFLZWDec {

namespace {

constexpr int kMaxCodes = 4096;  // codes are at most 12 bits wide
constexpr int kMaxWidth = 12;

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

// Where a string was put out in the rows of a surface: its offset and its column.
struct Place {
  uint64_t offset = 0;
  uint32_t column = 0;
};

// The rows of a surface in plain order. A string the table holds was put out whole before, so it
// is copied from there instead of walked through its prefix chain pixel by pixel; it may run on
// over the end of a row.
class RowsSink {
 public:
  explicit RowsSink(cDIB& surface)
      : base_(surface.lpBits()),
        stride_(size_t(surface.BytesPerScanline())),
        width_(uint32_t(surface.Width())),
        height_(uint32_t(surface.Height())) {}

  bool Done() const { return row_ >= height_; }
  Place Here() const { return Place{uint64_t(row_) * stride_ + column_, column_}; }
  void Put(const uint8_t* pixels, int n) {
    for (int i = 0; i < n && !Done(); ++i) PutPixel(pixels[i]);
  }
  // Puts out length - 1 pixels found at from, then last, as far as the frame goes. The source
  // ends where the string before this one ended, so it never overlaps what is written.
  void PutCopy(Place from, size_t length, uint8_t last) {
    size_t left = length - 1;
    while (left > 0 && !Done()) {
      const size_t piece = std::min({left, size_t(width_ - from.column), size_t(width_ - column_)});
      std::memcpy(base_ + uint64_t(row_) * stride_ + column_, base_ + from.offset, piece);
      left -= piece;
      from.offset += piece;
      from.column += uint32_t(piece);
      if (from.column == width_) {
        from.column = 0;
        from.offset += stride_ - width_;
      }
      Advance(uint32_t(piece));
    }
    if (!Done()) PutPixel(last);
  }

 private:
  void PutPixel(uint8_t pixel) {
    base_[uint64_t(row_) * stride_ + column_] = pixel;
    Advance(1);
  }
  void Advance(uint32_t n) {
    column_ += n;
    if (column_ == width_) {
      column_ = 0;
      ++row_;
    }
  }

  uint8_t* base_;
  size_t stride_;
  uint32_t width_;
  uint32_t height_;
  uint32_t row_ = 0;
  uint32_t column_ = 0;
};

// Counts the pixels a code stream would put out, up to the frame's size, without writing any.
class PixelCounter {
 public:
  explicit PixelCounter(uint64_t framePixels) : framePixels_(framePixels) {}

  bool Done() const { return count_ >= framePixels_; }
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
      oldStart_ = Position(sink);
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
      start_[next_] = oldStart_;
    }
    oldStart_ = Position(sink);
    Emit(code, sink);
    if (grows) {
      ++next_;
      if (next_ > (1 << width_) - 1 && width_ < kMaxWidth) ++width_;
    }
    old_ = code;
    return true;
  }

  // Puts out the string of code, walking the prefix chain from its last pixel.
  void Emit(int code, PixelSink& sink) {
    const int length = length_[code];
    if (length <= sink.RoomInRow()) {
      uint8_t* out = sink.Cursor() + length;
      for (int c = code, i = 0; i < length; ++i) {
        *--out = suffix_[c];
        c = prefix_[c];
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

  // A string of the table is the one put out at its start, less its last pixel, and that pixel.
  void Emit(int code, RowsSink& sink) {
    if (code < clear_) {
      const uint8_t pixel = uint8_t(code);
      sink.Put(&pixel, 1);
    } else {
      sink.PutCopy(start_[code], length_[code], suffix_[code]);
    }
  }

  // Counting needs only the string's length.
  void Emit(int code, PixelCounter& counter) { counter.Put(nullptr, length_[code]); }

  // Where the next string starts, for sinks that copy strings from what they hold.
  static Place Position(const RowsSink& sink) { return sink.Here(); }
  template <class Sink>
  static Place Position(const Sink&) {
    return Place{};
  }

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
  // Where the string of each code was put out, for a RowsSink.
  Place start_[kMaxCodes] = {};
  Place oldStart_;
  // Holds the longest string a full table can make.
  uint8_t stack_[kMaxCodes + 1] = {};
};

}  // namespace

void DecodeFrame(cDIB& surface, bool interlaced, uint8_t m, std::span<const uint8_t> data) {
  if (surface.BPP() != 8 || surface.lpBits() == nullptr) return;
  // Beyond 11 bits the first free code lies past the 12-bit table: nothing can be decoded.
  if (m > 11) return;
  PixelSink sink(surface, interlaced);
  if (sink.Done()) return;
  auto decoder = std::make_unique<Decoder>(m, data);
  if (!interlaced) {
    RowsSink rows(surface);
    decoder->Run(rows);
  } else {
    decoder->Run(sink);
  }
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
