// Fuzzes the reader alone: any bytes must load or be refused without a crash, a hang or a leak.
#include <cstddef>
#include <cstdint>
#include <span>

#include "gif/frame_numbers.h"
#include "gif/gif_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lumatrim::cGIF gif;
  gif.MemoryBudget(uint64_t(8) << 20);
  if (gif.LoadFromStream(std::span<const uint8_t>(data, size))) {
    // Every frame the reader made must be consistent with its surfaces.
    for (int16_t n : AllFrames(gif)) {
      const auto image = gif.FrameDIBXOR(n);
      if (image->hDIB() && (image->Width() != gif.FrameWidth(n) || image->BPP() != 8)) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
