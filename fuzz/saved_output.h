// What the fuzz targets that save a file share: an output file of the process's own, and the
// check that what was saved loads again and shows what the input showed.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "gif/gif_document.h"
#include "playback/viewer.h"

namespace lumatrim::fuzzing {

// The memory a fuzzed input may load into: small, so that huge declared frames are refused fast.
constexpr uint64_t kInputMemoryBudget = uint64_t(4) << 20;

// A file under /tmp named after the target and the process, so parallel fuzzers never share one.
inline std::string OutputPath(const std::string& target) {
  return "/tmp/lumatrim-" + target + "-" + std::to_string(getpid()) + ".gif";
}

// Traps unless the file saved at outputPath loads again and shows what input shows; then
// removes it.
inline void CheckSavedShowsInput(std::span<const uint8_t> input, const std::string& outputPath) {
  cGIF before, after;
  before.MemoryBudget(kInputMemoryBudget);
  after.MemoryBudget(uint64_t(64) << 20);
  if (!before.LoadFromStream(input) || !after.LoadFromFile(outputPath)) __builtin_trap();
  // Playing streams within its budget; a screen too large for it is simply not checked.
  if (ComparePlayback(before, after, uint64_t(16) << 20).outcome == PlaybackComparison::Different) {
    __builtin_trap();
  }
  std::remove(outputPath.c_str());
}

// Loads input into doc (set up by the caller) within the input budget; when it loads, saves it
// with save(outputPath) to the target's output file and, when that succeeds, checks the file.
template <typename Save>
void LoadSaveAndCheck(cGIF& doc, std::span<const uint8_t> input, const std::string& target,
                      Save&& save) {
  doc.MemoryBudget(kInputMemoryBudget);
  if (!doc.LoadFromStream(input)) return;
  const std::string output = OutputPath(target);
  if (save(output)) CheckSavedShowsInput(input, output);
}

}  // namespace lumatrim::fuzzing
