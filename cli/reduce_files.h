// The file handling of the reduce command around the reduction itself: standard input and output,
// lists of paths, a private scratch folder, and replacing a file in place.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "files/interrupted_saves.h"

namespace lumatrim::cli {

// The whole content of a file, or nothing when it can't be read (why goes to reason).
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, std::string& reason);

// Every byte of in, or at most limit + 1 of them (so that more than limit shows).
std::vector<uint8_t> ReadWholeStream(std::istream& in, uint64_t limit = UINT64_MAX);

// The paths of a list: one a line (a final line without a newline counts; empty lines and a
// carriage return before the newline are dropped), or separated by NUL bytes with nul.
std::vector<std::string> SplitPathList(const std::string& text, bool nul);

// A folder of the process's own (mode 0700) under the system's temporary folder, removed with
// everything in it when the object goes. It is listed for the interrupt cleanup, which removes
// it too when the files put in it were listed as well.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Empty when the folder could not be made.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::optional<InFlightFolder> listed_;
};

// Replaces target with bytes, atomically, keeping its mode and, where allowed, its owner; with
// keepTimes also its access and modification times. Answers why it failed, empty on success.
std::string ReplaceFileContent(const std::string& target, const std::vector<uint8_t>& bytes,
                               bool keepTimes);

}  // namespace lumatrim::cli
