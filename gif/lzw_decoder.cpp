#include "gif/lzw_decoder.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "gif/stored_rows.h"

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
      : rows_(surface.lpBits(), size_t(surface.BytesPerScanline()), surface.Width(),
              surface.Height(), interlaced) {
    MoveTo(0);
  }

  bool Done() const { return row_ == nullptr; }
  int RoomInRow() const { return rows_.Width() - col_; }
  uint8_t* Cursor() { return row_ + col_; }
  // The next pixel's position in the order the rows are stored.
  uint64_t Position() const { return uint64_t(r_) * uint64_t(rows_.Width()) + uint64_t(col_); }

  // Advances by n pixels already written at Cursor() (n at most RoomInRow()).
  void Advance(int n) {
    col_ += n;
    if (col_ == rows_.Width()) MoveTo(Position());
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

  // Puts out again the n pixels put out from position `from` on, as far as the frame goes. They
  // lie before the next pixel, except for the string that the code using it adds: the previous
  // string and its own first pixel, which ends where it starts.
  void PutAgain(uint64_t from, uint64_t n) {
    const uint64_t at = Position();
    const uint64_t count = std::min(n, rows_.Pixels() - at);
    const bool endsWhereItStarts = from + n - 1 == at;
    CopyPieces(at, from, endsWhereItStarts ? std::min(count, n - 1) : count);
    if (endsWhereItStarts && count == n) *rows_.At(at + n - 1) = *rows_.At(from);
    MoveTo(at + count);
  }

 private:
  void MoveTo(uint64_t position) {
    const uint64_t width = uint64_t(rows_.Width());
    row_ = nullptr;
    if (width == 0 || position >= rows_.Pixels()) return;
    r_ = int32_t(position / width);
    col_ = int32_t(position % width);
    row_ = rows_.Row(r_);
  }

  // Copies n pixels from position `from` on to position `to` on, row piece by row piece; the two
  // don't overlap.
  void CopyPieces(uint64_t to, uint64_t from, uint64_t n) {
    while (n > 0) {
      const uint64_t piece = std::min({n, rows_.RoomAt(to), rows_.RoomAt(from)});
      std::memcpy(rows_.At(to), rows_.At(from), size_t(piece));
      to += piece;
      from += piece;
      n -= piece;
    }
  }

  StoredRows<uint8_t> rows_;
  int32_t r_ = 0;
  int col_ = 0;
  uint8_t* row_ = nullptr;
};

// Counts the pixels a code stream would put out, up to the frame's size, without writing any.
class PixelCounter {
 public:
  explicit PixelCounter(uint64_t framePixels) : framePixels_(framePixels) {}

  bool Done() const { return count_ >= framePixels_; }
  uint64_t Position() const { return count_; }
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
      lastPutAt_ = sink.Position();
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
      // The new string is the previous one and this one's first pixel: it lies where the previous
      // one was put out.
      placed_[next_] = lastPutAt_;
    }
    Emit(code, sink);
    if (grows) {
      ++next_;
      if (next_ > (1 << width_) - 1 && width_ < kMaxWidth) ++width_;
    }
    old_ = code;
    return true;
  }

  // Puts out the string of code: copied from where it was put out before when it is long, else
  // by walking the prefix chain from its last pixel.
  void Emit(int code, PixelSink& sink) {
    const int length = length_[code];
    lastPutAt_ = sink.Position();
    if (length >= kShortestCopy) {
      // Only added codes are that long, and each was placed when it was added.
      sink.PutAgain(placed_[code], uint64_t(length));
      return;
    }
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
  // Where each added code's string was put out, and where the last string was, as positions in
  // the order the rows are stored.
  uint64_t placed_[kMaxCodes] = {};
  uint64_t lastPutAt_ = 0;
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
