// The two failures the document and its surfaces raise to their callers. Both are thrown before
// anything is changed, so a caught failure leaves the object as it was.
#pragma once

#include <stdexcept>

namespace lumatrim {

// A frame or comment number outside the range an operation accepts.
class SubscriptOutOfRange : public std::out_of_range {
 public:
  using std::out_of_range::out_of_range;
};

// A value that does not fit its field (a 16-bit count, a byte, a 32-bit size).
class OverflowError : public std::overflow_error {
 public:
  using std::overflow_error::overflow_error;
};

}  // namespace lumatrim
