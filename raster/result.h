// The one way the core answers an operation that can fail: its value, or why it failed, in words a
// report can show ("not a GIF file", "No space left on device", "frame differencing: out of
// memory"). The reason travels unchanged from where the failure happens to the report.
//
//   Result<std::vector<uint8_t>> bytes = ReadWholeFile(path, limit);
//   if (!bytes) return Failure{bytes.reason()};
//   Use(*bytes);
//
// Status is the result of an operation that makes nothing. Members whose answers are fixed as
// True or False (LoadFromFile, Save) keep them and give their reason through LoadError() and
// SaveError(); everything new answers a Result.
#pragma once

#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace lumatrim {

// Why something failed. An empty reason is made "failed", so that a failure always says something.
struct Failure {
  std::string reason;
};

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(Failure failure) : reason_(std::move(failure.reason)) {
    if (reason_.empty()) reason_ = "failed";
  }

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }

  // The value; only when ok().
  T& operator*() & { return *value_; }
  const T& operator*() const& { return *value_; }
  T&& operator*() && { return std::move(*value_); }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }

  // Why it failed; empty when ok().
  const std::string& reason() const { return reason_; }

 private:
  std::optional<T> value_;
  std::string reason_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failed_(true), reason_(std::move(failure.reason)) {
    if (reason_.empty()) reason_ = "failed";
  }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::string& reason() const { return reason_; }

 private:
  bool failed_ = false;
  std::string reason_;
};

using Status = Result<void>;

// The reason of the exception being handled, for a catch block: "out of memory" for bad_alloc,
// what() for any other standard exception, "unexpected failure" for anything else.
inline std::string ReasonOfCurrentException() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& e) {
    return e.what()[0] != '\0' ? e.what() : "unexpected failure";
  } catch (...) {
    return "unexpected failure";
  }
}

// A failure of one step of a larger job, named by the step: "frame differencing: out of memory".
inline Failure FailureIn(std::string_view step, const std::string& reason) {
  return Failure{std::string(step) + ": " + reason};
}

}  // namespace lumatrim
