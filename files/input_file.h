// Reading files: a regular file opened for reading, without waiting on pipes or devices, and the
// whole content of a file or stream.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "raster/result.h"

namespace lumatrim {

// A regular file opened for reading. A folder, pipe or device is refused without being read:
// reading a pipe could wait for ever, and a device could be endless.
class InputFile {
 public:
  static Result<InputFile> Open(const std::string& path);
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // The file's size when it was opened.
  uint64_t size() const { return size_; }

  // Appends up to count bytes that follow the last read to into; fewer at the end of the file.
  Status ReadInto(std::vector<uint8_t>& into, uint64_t count);

  // Makes the next read start at the file's start again.
  Status Rewind();

  // Every byte of the file again, from its start, into into (replacing what it held); fails when
  // the file changed since it was opened, so that the bytes are those read the first time.
  Status ReadAgain(std::vector<uint8_t>& into);

  // Whether the file's size or modification time changed since it was opened: another program
  // wrote to it, truncated it or grew it meanwhile.
  bool ChangedSinceOpened() const;

 private:
  InputFile(int descriptor, uint64_t size, int64_t modifiedSeconds, int64_t modifiedNanoseconds)
      : descriptor_(descriptor),
        size_(size),
        modifiedSeconds_(modifiedSeconds),
        modifiedNanoseconds_(modifiedNanoseconds) {}

  int descriptor_ = -1;
  uint64_t size_ = 0;
  int64_t modifiedSeconds_ = 0;
  int64_t modifiedNanoseconds_ = 0;
};

// Every byte of a file of any kind (a pipe, such as a shell's <(...), included).
Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path);

// Every byte of in, or at most limit + 1 of them (so that more than limit shows).
std::vector<uint8_t> ReadWholeStream(std::istream& in, uint64_t limit = UINT64_MAX);

}  // namespace lumatrim
