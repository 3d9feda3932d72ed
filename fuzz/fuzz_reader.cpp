// Fuzzes the reader alone: any bytes must load or be refused without a crash, a hang or a leak,
// and the same bytes read from a file a few at a time must load the same way.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>

#include "files/input_file.h"
#include "gif/frame_numbers.h"
#include "gif/gif_document.h"

namespace {

// One scratch file for the whole run, apart from any other run's.
const std::filesystem::path& ScratchFile() {
  static const std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("lumatrim-fuzz-reader-" + std::to_string(std::random_device()()) + ".gif");
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr uint64_t kBudget = uint64_t(8) << 20;
  lumatrim::cGIF gif;
  gif.MemoryBudget(kBudget);
  const bool loaded = gif.LoadFromStream(std::span<const uint8_t>(data, size));
  if (loaded) {
    // Every frame the reader made must be consistent with its surfaces.
    for (int16_t n : AllFrames(gif)) {
      const auto image = gif.FrameDIBXOR(n);
      if (image->hDIB() && (image->Width() != gif.FrameWidth(n) || image->BPP() != 8)) {
        __builtin_trap();
      }
    }
  }

  std::ofstream(ScratchFile(), std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), std::streamsize(size));
  lumatrim::Result<lumatrim::InputFile> file = lumatrim::InputFile::Open(ScratchFile().string());
  if (!file) __builtin_trap();
  lumatrim::cGIF piecewise;
  piecewise.MemoryBudget(kBudget);
  const uint64_t piece = size > 0 ? 1 + data[size - 1] % 61 : 1;
  if (piecewise.LoadFromOpenFile(*file, piece) != loaded ||
      piecewise.LoadNote() != gif.LoadNote() || piecewise.FramesCount() != gif.FramesCount()) {
    __builtin_trap();
  }
  return 0;
}
