// Small builders for hand-made GIF byte streams in tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace lumatrim::testing {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& out, std::initializer_list<uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

inline void Append16(Bytes& out, uint16_t value) {
  out.push_back(uint8_t(value));
  out.push_back(uint8_t(value >> 8));
}

// Header and logical screen descriptor.
inline Bytes Header(uint16_t width, uint16_t height, uint8_t flags = 0, uint8_t background = 0,
                    uint8_t aspect = 0, const char* version = "89a") {
  Bytes out = {'G', 'I', 'F', uint8_t(version[0]), uint8_t(version[1]), uint8_t(version[2])};
  Append16(out, width);
  Append16(out, height);
  Append(out, {flags, background, aspect});
  return out;
}

// A colour table of n entries whose entry i is (i, i + 1, i + 2) as red, green, blue.
inline void ColorTable(Bytes& out, int entries) {
  for (int i = 0; i < entries; ++i) Append(out, {uint8_t(i), uint8_t(i + 1), uint8_t(i + 2)});
}

inline void GraphicControl(Bytes& out, uint8_t flags, uint16_t delay, uint8_t transparent) {
  Append(out, {0x21, 0xF9, 0x04, flags});
  Append16(out, delay);
  Append(out, {transparent, 0x00});
}

// Data bytes as a sub-block chain with its terminator.
inline void SubBlocks(Bytes& out, const Bytes& data, size_t blockSize = 255) {
  for (size_t at = 0; at < data.size(); at += blockSize) {
    const size_t n = std::min(blockSize, data.size() - at);
    out.push_back(uint8_t(n));
    out.insert(out.end(), data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + n));
  }
  out.push_back(0);
}

inline void Comment(Bytes& out, const std::string& text) {
  Append(out, {0x21, 0xFE});
  SubBlocks(out, Bytes(text.begin(), text.end()));
}

inline void Looping(Bytes& out, uint16_t loops) {
  Append(out,
         {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01});
  Append16(out, loops);
  out.push_back(0);
}

// Packs codes of any width least significant bit first, as a GIF's image data holds them
// before it is cut into sub-blocks. Kept apart from the encoders' packer: tests check them.
class BitPacker {
 public:
  void Put(int code, int width) {
    buffer_ |= uint32_t(code) << count_;
    count_ += width;
    while (count_ >= 8) {
      out_.push_back(uint8_t(buffer_));
      buffer_ >>= 8;
      count_ -= 8;
    }
  }
  // The codes so far, the last byte padded with zero bits.
  Bytes bytes() const {
    Bytes out = out_;
    if (count_ > 0) out.push_back(uint8_t(buffer_));
    return out;
  }

 private:
  Bytes out_;
  uint32_t buffer_ = 0;
  int count_ = 0;
};

// Packs codes least significant bit first; each code is (value, width in bits).
inline Bytes PackCodes(std::initializer_list<std::pair<int, int>> codes) {
  BitPacker packer;
  for (const auto& [value, width] : codes) packer.Put(value, width);
  return packer.bytes();
}

// The simplest valid code stream for pixels below 4 with minimum code size 2: a clear code in
// front of every pixel keeps every code 3 bits wide.
inline Bytes UncompressedCodes(const Bytes& pixels) {
  BitPacker packer;
  for (uint8_t p : pixels) {
    packer.Put(4, 3);
    packer.Put(p, 3);
  }
  packer.Put(5, 3);
  return packer.bytes();
}

// An image descriptor with optional local table, minimum code size 2 and the given code stream.
inline void Image(Bytes& out, uint16_t left, uint16_t top, uint16_t width, uint16_t height,
                  uint8_t flags, const Bytes& codes, int localEntries = 0) {
  out.push_back(0x2C);
  Append16(out, left);
  Append16(out, top);
  Append16(out, width);
  Append16(out, height);
  out.push_back(flags);
  if (localEntries > 0) ColorTable(out, localEntries);
  out.push_back(2);
  SubBlocks(out, codes);
}

// A one-image GIF of width x height with a 256-entry global table (as ColorTable gives it) around
// image data: its minimum code size and its sub-blocks, without their terminator.
inline Bytes OneImageGif(uint16_t width, uint16_t height, uint8_t codeSize, const Bytes& blocks) {
  Bytes file = Header(width, height, 0xF7);
  ColorTable(file, 256);
  file.push_back(0x2C);
  Append16(file, 0);
  Append16(file, 0);
  Append16(file, width);
  Append16(file, height);
  Append(file, {0, codeSize});
  file.insert(file.end(), blocks.begin(), blocks.end());
  Append(file, {0x00, 0x3B});
  return file;
}

}  // namespace lumatrim::testing
