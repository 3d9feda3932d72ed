// Decoding throughput, in decoded pixels per second, on the largest real files: our reader
// (LoadFromStream, the whole load: parsing, LZW decoding, colour tables and masks) beside
// giflib's DGifSlurp on the same bytes, both reading from memory.
//
//   bench_decode [--benchmark_filter=...] [FILE.gif ...]
// Without files, the largest GIFs of tests/data/real that giflib reads are used. On a shared
// machine, compare the best of several interleaved runs:
//   --benchmark_repetitions=8 --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_files.h"
#include "gif/gif_document.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// giflib reading from a byte array.
struct MemoryReader {
  const std::vector<uint8_t>* bytes;
  size_t at = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int wanted) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  const size_t n = std::min(size_t(wanted), reader->bytes->size() - reader->at);
  std::memcpy(out, reader->bytes->data() + reader->at, n);
  reader->at += n;
  return int(n);
}

// Slurps bytes with giflib; answers the number of pixels decoded, or -1 when giflib refuses.
int64_t GiflibSlurp(const std::vector<uint8_t>& bytes) {
  MemoryReader reader{&bytes};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
  if (!gif) return -1;
  int64_t pixels = -1;
  if (DGifSlurp(gif) == GIF_OK) {
    pixels = 0;
    for (int i = 0; i < gif->ImageCount; ++i) {
      pixels += int64_t(gif->SavedImages[i].ImageDesc.Width) * gif->SavedImages[i].ImageDesc.Height;
    }
  }
  DGifCloseFile(gif, &error);
  return pixels;
}

void BM_Lumatrim(benchmark::State& state, const std::vector<uint8_t>& bytes, int64_t pixels) {
  for (auto _ : state) {
    lumatrim::cGIF doc;
    const bool loaded = doc.LoadFromStream(bytes);
    benchmark::DoNotOptimize(loaded);
    if (!loaded) state.SkipWithError("our reader refuses the file");
  }
  state.SetItemsProcessed(state.iterations() * pixels);
  state.SetBytesProcessed(state.iterations() * int64_t(bytes.size()));
}

void BM_Giflib(benchmark::State& state, const std::vector<uint8_t>& bytes, int64_t pixels) {
  for (auto _ : state) {
    const int64_t decoded = GiflibSlurp(bytes);
    benchmark::DoNotOptimize(decoded);
  }
  state.SetItemsProcessed(state.iterations() * pixels);
  state.SetBytesProcessed(state.iterations() * int64_t(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::vector<std::string> paths(argv + 1, argv + argc);
  if (paths.empty()) paths = lumatrim::bench::LargestRealFiles();

  // The files stay in memory for the whole run; the benchmarks hold references to them.
  static std::vector<std::vector<uint8_t>> files;
  files.reserve(paths.size());
  for (const std::string& path : paths) {
    files.push_back(ReadFile(path));
    const int64_t pixels = GiflibSlurp(files.back());
    if (pixels <= 0) continue;  // giflib refuses it: nothing to compare with
    const std::string name = std::filesystem::path(path).filename().string();
    benchmark::RegisterBenchmark(("decode/lumatrim/" + name).c_str(), BM_Lumatrim, files.back(),
                                 pixels);
    benchmark::RegisterBenchmark(("decode/giflib/" + name).c_str(), BM_Giflib, files.back(),
                                 pixels);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
