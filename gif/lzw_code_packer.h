// Packs LZW codes, least significant bit first, into GIF data sub-blocks: a length byte, then up
// to blockSize bytes. Both LZW encoders write through it; they differ only in the size of their
// sub-blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumatrim {

class CodePacker {
 public:
  // Appends to out; blockSize is 1 to 255.
  CodePacker(std::vector<uint8_t>& out, size_t blockSize) : out_(out), blockSize_(blockSize) {}

  void Put(int32_t code, int width) {
    bits_ |= uint64_t(code) << count_;
    count_ += width;
    while (count_ >= 8) {
      PutByte(uint8_t(bits_));
      bits_ >>= 8;
      count_ -= 8;
    }
  }

  // The bits left over, zero-padded to a byte, and the last sub-block.
  void Finish() {
    if (count_ > 0) PutByte(uint8_t(bits_));
    bits_ = 0;
    count_ = 0;
    PutBlock();
  }

 private:
  // A sub-block is gathered here and goes out whole, its length first.
  void PutByte(uint8_t byte) {
    block_[blockLength_++] = byte;
    if (blockLength_ == blockSize_) PutBlock();
  }

  void PutBlock() {
    if (blockLength_ == 0) return;
    out_.push_back(uint8_t(blockLength_));
    out_.insert(out_.end(), block_.begin(), block_.begin() + std::ptrdiff_t(blockLength_));
    blockLength_ = 0;
  }

  std::vector<uint8_t>& out_;
  const size_t blockSize_;
  uint64_t bits_ = 0;
  int count_ = 0;
  size_t blockLength_ = 0;
  std::array<uint8_t, 255> block_;
};

}  // namespace lumatrim
