// Fuzzes reduce --best on one file: load, every pass, the choice encoder, save to a temporary
// file. What is written must load again and show what the input showed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "best/smallest.h"
#include "files/whole_file.h"
#include "fuzz/saved_output.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumatrim;
  cGIF gif;
  ReductionOptions options;
  options.best = true;
  options.memoryBudget = fuzzing::kInputMemoryBudget;
  options.disableInterlacing = (size & 1) != 0;
  fuzzing::LoadSaveAndCheck(gif, {data, size}, "fuzz-best", [&](const std::string& output) {
    const Result<std::vector<uint8_t>> bytes = best::SmallestBytes(gif, options);
    return bytes && WriteWholeFile(output, *bytes).ok();
  });
  return 0;
}
