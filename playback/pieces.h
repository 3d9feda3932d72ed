// Rows worked on a piece at a time. Frames of one colour, or of long runs, are common, and a file
// of less than a megabyte can hold a gigapixel of nothing else: where every value of a piece of a
// row is one, what is done to its first pixel is done to all of it at once. Everywhere else each
// pixel is worked on by itself, so both ways give the same values.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace lumatrim {

// The pixels of a row worked on at once.
constexpr size_t kPiece = 64;

// Whether the kPiece values from p on are all one.
template <typename T>
bool OnePieceValue(const T* p) {
  T differs = 0;
  for (size_t k = 0; k < kPiece; ++k) differs |= T(p[k] ^ p[0]);
  return differs == 0;
}

// Whether value is among the n values from p on.
template <typename T>
bool AnyInPieces(const T* p, size_t n, T value) {
  size_t i = 0;
  for (; i + kPiece <= n; i += kPiece) {
    bool found = false;
    for (size_t k = i; k < i + kPiece; ++k) found |= p[k] == value;
    if (found) return true;
  }
  for (; i < n; ++i) {
    if (p[i] == value) return true;
  }
  return false;
}

// out[i] = value(a[i], b[i]) for the n values from a, b and out on; value is asked once for a
// piece where a and b each hold one value.
template <typename A, typename B, typename Out, typename Value>
void MapInPieces(const A* a, const B* b, size_t n, Out* out, Value value) {
  size_t i = 0;
  for (; i + kPiece <= n; i += kPiece) {
    if (OnePieceValue(a + i) && OnePieceValue(b + i)) {
      std::fill_n(out + i, kPiece, value(a[i], b[i]));
    } else {
      for (size_t k = i; k < i + kPiece; ++k) out[k] = value(a[k], b[k]);
    }
  }
  for (; i < n; ++i) out[i] = value(a[i], b[i]);
}

// Calls each(a[i], b[i], count) for the n pairs from a and b on, count being how many pairs in a
// row it stands for: kPiece for a piece where a and b each hold one value, else 1.
template <typename A, typename B, typename Each>
void ForEachInPieces(const A* a, const B* b, size_t n, Each each) {
  size_t i = 0;
  for (; i + kPiece <= n; i += kPiece) {
    if (OnePieceValue(a + i) && OnePieceValue(b + i)) {
      each(a[i], b[i], kPiece);
    } else {
      for (size_t k = i; k < i + kPiece; ++k) each(a[k], b[k], size_t(1));
    }
  }
  for (; i < n; ++i) each(a[i], b[i], size_t(1));
}

// Calls each(a[i], count) for the n values from a on, count being how many values in a row it
// stands for: kPiece for a piece that holds one value, else 1.
template <typename A, typename Each>
void ForEachInPieces(const A* a, size_t n, Each each) {
  size_t i = 0;
  for (; i + kPiece <= n; i += kPiece) {
    if (OnePieceValue(a + i)) {
      each(a[i], kPiece);
    } else {
      for (size_t k = i; k < i + kPiece; ++k) each(a[k], size_t(1));
    }
  }
  for (; i < n; ++i) each(a[i], size_t(1));
}

}  // namespace lumatrim
