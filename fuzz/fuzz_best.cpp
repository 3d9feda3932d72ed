// Fuzzes reduce --best on one file: load, every pass, the choice encoder, save to a temporary
// file. What is written must load again and show what the input showed.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "gif/gif_document.h"
#include "optimizer/best_reduction.h"
#include "playback/viewer.h"

namespace {

const std::string& OutputPath() {
  static const std::string path = "/tmp/lumatrim-fuzz-best-" + std::to_string(getpid()) + ".gif";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumatrim;
  const std::span<const uint8_t> bytes(data, size);
  cGIF gif;
  gif.MemoryBudget(uint64_t(4) << 20);
  if (!gif.LoadFromStream(bytes)) return 0;
  ReductionOptions options;
  options.best = true;
  options.memoryBudget = uint64_t(4) << 20;
  options.disableInterlacing = (size & 1) != 0;
  if (!best::SaveSmallest(gif, OutputPath(), options)) return 0;
  cGIF before, after;
  before.MemoryBudget(uint64_t(4) << 20);
  after.MemoryBudget(uint64_t(64) << 20);
  if (!before.LoadFromStream(bytes) || !after.LoadFromFile(OutputPath())) __builtin_trap();
  // Playing costs a screen's worth of pixels per frame: compare what can be played quickly.
  const uint64_t screen =
      uint64_t(uint16_t(before.ScreenWidth())) * uint16_t(before.ScreenHeight());
  if (screen * uint64_t(before.FramesCount()) < (uint64_t(1) << 24) &&
      !LookTheSame(before, after)) {
    __builtin_trap();
  }
  std::remove(OutputPath().c_str());
  return 0;
}
