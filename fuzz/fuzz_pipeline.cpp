// Fuzzes the whole path of one file: load, every optimization pass, save to a temporary file.
// What is written must load again and show what the input showed.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "gif/gif_document.h"
#include "optimizer/pipeline.h"
#include "playback/viewer.h"

namespace {

const std::string& OutputPath() {
  static const std::string path = "/tmp/lumatrim-fuzz-" + std::to_string(getpid()) + ".gif";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumatrim;
  const std::span<const uint8_t> bytes(data, size);
  cGIF gif;
  gif.MemoryBudget(uint64_t(4) << 20);
  // Half the inputs keep no frame in memory beyond those in use, so that every frame the passes
  // touch is packed and unpacked on the way.
  if ((size & 4) != 0) gif.FrameCacheSize(0);
  if (!gif.LoadFromStream(bytes)) return 0;
  const auto mode = mGIFOptimizer::OptimizationMode(size % 2);
  if (!pvSaveOptimizedTmpGIF(gif, OutputPath(), mode, (size & 2) != 0, true, true)) return 0;
  cGIF before, after;
  before.MemoryBudget(uint64_t(4) << 20);
  after.MemoryBudget(uint64_t(64) << 20);
  if (!before.LoadFromStream(bytes) || !after.LoadFromFile(OutputPath())) __builtin_trap();
  // Playing streams within its budget; a screen too large for it is simply not checked.
  if (ComparePlayback(before, after, uint64_t(16) << 20).outcome == PlaybackComparison::Different) {
    __builtin_trap();
  }
  std::remove(OutputPath().c_str());
  return 0;
}
