#include "gif/lzw_encoder.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "gif/lzw_code_packer.h"
#include "gif/stored_rows.h"

namespace lumatrim::mGIFLZWEnc {

namespace {

constexpr int kMaxWidth = 12;
// Codes are at most 12 bits wide; once the width is 12 the "largest code" is 4096 so that the
// width never grows beyond it.
constexpr int kCodeLimit = 1 << kMaxWidth;
// A prime about 22 percent above the 4096 codes of a full dictionary.
constexpr int kTableSize = 5003;
// The primary hash spreads the pixel over the upper bits: 5003 doubled 4 times reaches 65536,
// and the shift is 8 - 4.
constexpr int kHashShift = 4;
// Data sub-blocks hold 254 bytes each, the last one fewer.
constexpr size_t kBlockSize = 254;
// The shortest string worth comparing at once instead of a pixel at a time.
constexpr int32_t kShortestSkip = 16;

// One frame's compressor: the dictionary and the code widths; the packer makes the sub-blocks.
class Encoder {
 public:
  Encoder(std::vector<uint8_t>& out, int initialWidth)
      : packer_(out, kBlockSize),
        initialWidth_(initialWidth),
        clear_(1 << (initialWidth - 1)),
        end_(clear_ + 1) {
    ResetWidth();
    next_ = clear_ + 2;
    for (int32_t code = 0; code < clear_; ++code) {
      length_[code] = 1;
      first_[code] = uint8_t(code);
    }
    ClearTable();
  }

  // Writes the whole code stream of the rows of an 8-bit surface.
  void Compress(const cDIB& surface, bool interlaced) {
    Emit(clear_);
    const StoredRows<const uint8_t> rows(surface.lpBits(), size_t(surface.BytesPerScanline()),
                                         surface.Width(), surface.Height(), interlaced);
    rows_ = &rows;
    const uint64_t width = uint64_t(rows.Width());
    int32_t prefix = -1;
    // The next pixel: the r-th row stored, column x.
    int32_t r = 0;
    uint64_t x = 0;
    while (r < rows.Height()) {
      const uint8_t* rowBegin = rows.Row(r);
      const uint8_t* pixel = rowBegin + x;
      const uint8_t* rowEnd = rowBegin + width;
      const uint64_t rowStart = uint64_t(r) * width;
      if (prefix < 0) {
        phraseStart_ = 0;
        prefix = *pixel++;
      }
      // Where a string passed over ends past this row, the next pixel.
      uint64_t resumeAt = 0;
      for (; pixel != rowEnd; ++pixel) {
        const int32_t c = *pixel;
        const int32_t key = (c << kMaxWidth) + prefix;
        int32_t slot = (c << kHashShift) ^ prefix;
        if (keys_[slot] == key) {
          prefix = codes_[slot];
          continue;
        }
        // The first look takes only an empty slot (-1) as free; while probing, a slot holding 0
        // ends the search as well. The output bytes depend on exactly this.
        if (keys_[slot] >= 0) {
          const int32_t step = slot == 0 ? 1 : kTableSize - slot;
          bool known = false;
          for (;;) {
            slot -= step;
            if (slot < 0) slot += kTableSize;
            if (keys_[slot] == key) {
              known = true;
              break;
            }
            if (keys_[slot] <= 0) break;
          }
          if (known) {
            prefix = codes_[slot];
            continue;
          }
        }
        AddString(prefix, key, slot);
        prefix = c;
        phraseStart_ = rowStart + uint64_t(pixel - rowBegin);
        const uint64_t covered = SkipKnownString(prefix, phraseStart_);
        if (covered == 0) continue;
        const uint64_t next = phraseStart_ + covered;
        if (next < rowStart + width) {
          pixel = rowBegin + (next - rowStart) - 1;
        } else {
          resumeAt = next;
          break;
        }
      }
      if (resumeAt == 0) {
        ++r;
        x = 0;
      } else {
        r = int32_t(resumeAt / width);
        x = resumeAt % width;
      }
    }
    if (prefix >= 0) Emit(prefix);
    Finish();
  }

  // The code stream of a frame without pixels: clear, end.
  void CompressNothing() {
    Emit(clear_);
    Finish();
  }

 private:
  void ResetWidth() {
    width_ = initialWidth_;
    largest_ = (1 << width_) - 1;
  }

  void ClearTable() {
    std::fill(std::begin(keys_), std::end(keys_), -1);
    std::fill(std::begin(latest_), std::end(latest_), int16_t(-1));
    exact_ = true;
  }

  // Long strings repeat (a run of one colour, a repeating pattern): the new string, which starts
  // with the pixel at position `at`, is likely to be the last string added that starts with that
  // pixel. When the pixels there are that string's pixels, every look along them would find its
  // string, so they are passed over at once: prefix becomes that string's code, and the answer
  // is how many pixels from `at` on it covers (0 when none). Only a dictionary in which every
  // string added can be found allows this (see AddString), and the bytes are those of the
  // pixel-by-pixel search.
  uint64_t SkipKnownString(int32_t& prefix, uint64_t at) const {
    if (!exact_) return 0;
    const int32_t guess = latest_[prefix];
    if (guess < 0) return 0;
    const uint64_t length = uint64_t(length_[guess]);
    if (length < kShortestSkip || at + length > rows_->Pixels()) return 0;
    if (!SamePixels(at, start_[guess], length)) return 0;
    prefix = guess;
    return length;
  }

  // Whether the n pixels from position a on are those from position b on, row piece by piece.
  bool SamePixels(uint64_t a, uint64_t b, uint64_t n) const {
    while (n > 0) {
      const uint64_t piece = std::min({n, rows_->RoomAt(a), rows_->RoomAt(b)});
      if (std::memcmp(rows_->At(a), rows_->At(b), size_t(piece)) != 0) return false;
      a += piece;
      b += piece;
      n -= piece;
    }
    return true;
  }

  // A string not yet in the dictionary: its known part goes out, and the string becomes the next
  // code, unless code 4095 has been handed out already; then the dictionary starts over.
  void AddString(int32_t prefix, int32_t key, int32_t slot) {
    Emit(prefix);
    if (next_ < kCodeLimit) {
      // Key 0 (pixel 0 after code 0) ends every later search that reaches its slot, so once it
      // lies anywhere but in slot 0, where no search comes back to, strings added behind it can
      // no longer be found and may be overwritten.
      if (key == 0 && slot != 0) exact_ = false;
      // The string's pixels run from the start of the string being matched to this one.
      length_[next_] = int16_t(length_[prefix] + 1);
      first_[next_] = first_[prefix];
      start_[next_] = phraseStart_;
      latest_[first_[prefix]] = int16_t(next_);
      codes_[slot] = int16_t(next_++);
      keys_[slot] = key;
    } else {
      ClearTable();
      next_ = clear_ + 2;
      clearPending_ = true;
      Emit(clear_);
    }
  }

  void Emit(int32_t code) {
    packer_.Put(code, width_);
    // The width changes only after the code is placed, so the first code emitted once the next
    // code no longer fits still goes out in the old width.
    if (clearPending_) {
      clearPending_ = false;
      ResetWidth();
    } else if (next_ > largest_) {
      ++width_;
      largest_ = width_ == kMaxWidth ? kCodeLimit : (1 << width_) - 1;
    }
  }

  // The end code, the bits left over (zero-padded to a byte) and the last sub-block.
  void Finish() {
    Emit(end_);
    packer_.Finish();
  }

  CodePacker packer_;
  const int initialWidth_;
  const int32_t clear_;
  const int32_t end_;
  int width_ = 0;
  int32_t largest_ = 0;
  int32_t next_ = 0;
  bool clearPending_ = false;
  // Dictionary: the key (pixel * 4096 + prefix code) of each slot, -1 when free, and its code.
  int32_t keys_[kTableSize];
  int16_t codes_[kTableSize] = {};
  // False once a string added can't be found any more (until the next clear).
  bool exact_ = true;
  // Each code's string: its length, its first pixel, and the position of its pixels.
  int16_t length_[kCodeLimit] = {};
  uint8_t first_[kCodeLimit] = {};
  uint64_t start_[kCodeLimit] = {};
  // The last code added whose string starts with a pixel, by that pixel; -1 for none.
  int16_t latest_[256];
  // The frame's pixels, and the position of the string being matched.
  const StoredRows<const uint8_t>* rows_ = nullptr;
  uint64_t phraseStart_ = 0;
};

bool HasPixels(const cDIB& surface) {
  return surface.BPP() == 8 && surface.lpBits() != nullptr && surface.Width() > 0 &&
         surface.Height() > 0;
}

}  // namespace

void EncodeFrame(std::vector<uint8_t>& out, const cDIB& surface, uint8_t initialCodeWidth,
                 bool interlaced) {
  // Widths outside 3 to 9 come from no valid minimum code size; they are held in range so that a
  // wrong argument can't reach beyond the 12-bit codes.
  const int initialWidth = std::clamp(int(initialCodeWidth), 3, 9);
  auto encoder = std::make_unique<Encoder>(out, initialWidth);
  if (HasPixels(surface)) {
    encoder->Compress(surface, interlaced);
  } else {
    encoder->CompressNothing();
  }
}

uint8_t LargestIndex(const cDIB& surface) {
  if (!HasPixels(surface)) return 0;
  const size_t width = size_t(surface.Width());
  const size_t stride = size_t(surface.BytesPerScanline());
  const uint8_t* row = surface.lpBits();
  uint8_t largest = 0;
  for (int32_t y = 0; y < surface.Height() && largest != 255; ++y, row += stride) {
    for (size_t x = 0; x < width; ++x) largest = std::max(largest, row[x]);
  }
  return largest;
}

uint8_t MinimumCodeSize(const cDIB& surface, int paletteBits) {
  int size = std::max(paletteBits, 2);
  const int largest = LargestIndex(surface);
  while ((1 << size) <= largest) ++size;
  return uint8_t(size);
}

}  // namespace lumatrim::mGIFLZWEnc
