// Fuzzes reduce --best on one file: load, every pass, the choice encoder, save to a temporary
// file. What is written must load again and show what the input showed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/saved_output.h"
#include "optimizer/best_reduction.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumatrim;
  cGIF gif;
  ReductionOptions options;
  options.best = true;
  options.memoryBudget = fuzzing::kInputMemoryBudget;
  options.disableInterlacing = (size & 1) != 0;
  fuzzing::LoadSaveAndCheck(gif, {data, size}, "fuzz-best", [&](const std::string& output) {
    return best::SaveSmallest(gif, output, options);
  });
  return 0;
}
