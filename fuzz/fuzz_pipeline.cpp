// Fuzzes the whole path of one file: load, every optimization pass, save to a temporary file.
// What is written must load again and show what the input showed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/saved_output.h"
#include "optimizer/pipeline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumatrim;
  cGIF gif;
  // Half the inputs keep no frame in memory beyond those in use, so that every frame the passes
  // touch is packed and unpacked on the way.
  if ((size & 4) != 0) gif.FrameCacheSize(0);
  const auto mode = mGIFOptimizer::OptimizationMode(size % 2);
  const bool disableInterlacing = (size & 2) != 0;
  fuzzing::LoadSaveAndCheck(gif, {data, size}, "fuzz", [&](const std::string& output) {
    return pvSaveOptimizedTmpGIF(gif, output, mode, disableInterlacing, true, true);
  });
  return 0;
}
