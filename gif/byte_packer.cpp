#include "gif/byte_packer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace lumatrim::BytePacker {

// The packed form is a list of steps: a count of literal bytes and the bytes, then, unless the
// input ends there, a back reference: a length (less the shortest match) and a distance. Numbers
// are written 7 bits a byte, low bits first, the high bit saying that more follow.
namespace {

constexpr size_t kMinMatch = 4;
// The table of last positions grows with the input up to 2^14 slots (64 KiB, which the allocator
// hands out again without asking the system for fresh pages): small frames don't pay for
// clearing a large one.
constexpr int kMinHashBits = 8;
constexpr int kMaxHashBits = 14;
constexpr uint32_t kNone = UINT32_MAX;

uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

uint32_t Hash(uint32_t v, int bits) {
  return (v * 2654435761u) >> (32 - bits);
}

void PutNumber(std::vector<uint8_t>& out, uint64_t n) {
  while (n >= 0x80) {
    out.push_back(uint8_t(n | 0x80));
    n >>= 7;
  }
  out.push_back(uint8_t(n));
}

bool GetNumber(std::span<const uint8_t> in, size_t& at, uint64_t& n) {
  n = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (at >= in.size()) return false;
    const uint8_t byte = in[at++];
    n |= uint64_t(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return true;
  }
  return false;
}

}  // namespace

std::vector<uint8_t> Pack(std::span<const uint8_t> bytes, size_t rowBytes) {
  std::vector<uint8_t> out;
  out.reserve(bytes.size() / 8 + 16);
  const uint8_t* src = bytes.data();
  const size_t n = bytes.size();
  int bits = kMinHashBits;
  while (bits < kMaxHashBits && (size_t(1) << bits) < n) ++bits;
  auto table = std::make_unique<uint32_t[]>(size_t(1) << bits);
  std::fill_n(table.get(), size_t(1) << bits, kNone);

  // The length of the match of the bytes at i with those at candidate (before i), 8 bytes at a
  // time where it can: frames of one colour make matches of whole frames.
  const auto matchLength = [&](size_t candidate, size_t i) {
    size_t length = 0;
    if constexpr (std::endian::native == std::endian::little) {
      while (i + length + 8 <= n) {
        uint64_t a, b;
        std::memcpy(&a, src + candidate + length, 8);
        std::memcpy(&b, src + i + length, 8);
        if (a != b) return length + size_t(std::countr_zero(a ^ b)) / 8;
        length += 8;
      }
    }
    while (i + length < n && src[candidate + length] == src[i + length]) ++length;
    return length;
  };
  size_t anchor = 0;  // first byte not yet written
  size_t i = 0;
  while (n >= kMinMatch && i <= n - kMinMatch) {
    const uint32_t value = Load32(src + i);
    uint32_t& slot = table[Hash(value, bits)];
    const uint32_t hashed = slot;
    slot = uint32_t(i);
    size_t length = 0, candidate = 0;
    if (hashed != kNone && Load32(src + hashed) == value) {
      candidate = hashed;
      length = matchLength(hashed, i);
    }
    if (rowBytes > 0 && i >= rowBytes && i - rowBytes != hashed) {
      const size_t above = matchLength(i - rowBytes, i);
      if (above > length) {
        candidate = i - rowBytes;
        length = above;
      }
    }
    if (length < kMinMatch) {
      ++i;
      continue;
    }
    PutNumber(out, i - anchor);
    out.insert(out.end(), src + anchor, src + i);
    PutNumber(out, length - kMinMatch);
    PutNumber(out, i - candidate);
    i += length;
    anchor = i;
  }
  PutNumber(out, n - anchor);
  out.insert(out.end(), src + anchor, src + n);
  out.shrink_to_fit();
  return out;
}

bool Unpack(std::span<const uint8_t> packed, std::span<uint8_t> out) {
  size_t at = 0;
  size_t written = 0;
  for (;;) {
    uint64_t literals = 0;
    if (!GetNumber(packed, at, literals)) return false;
    if (literals > packed.size() - at || literals > out.size() - written) return false;
    if (literals > 0) std::memcpy(out.data() + written, packed.data() + at, size_t(literals));
    at += size_t(literals);
    written += size_t(literals);
    if (at == packed.size()) return written == out.size();

    uint64_t length = 0, distance = 0;
    if (!GetNumber(packed, at, length) || !GetNumber(packed, at, distance)) return false;
    length += kMinMatch;
    if (distance == 0 || distance > written || length > out.size() - written) return false;
    uint8_t* to = out.data() + written;
    const uint8_t* from = to - distance;
    if (distance == 1) {
      std::memset(to, *from, size_t(length));
    } else if (distance >= length) {
      std::memcpy(to, from, size_t(length));
    } else {
      // The reference overlaps what it writes: a repeating pattern, copied a byte at a time.
      for (size_t k = 0; k < length; ++k) to[k] = from[k];
    }
    written += size_t(length);
  }
}

}  // namespace lumatrim::BytePacker
