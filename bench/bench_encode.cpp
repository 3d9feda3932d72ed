// Encoding throughput, in pixels per second, on the frames of the largest real files: our LZW
// encoder (the minimum code size scan plus EncodeFrame, as Save runs them per frame) beside
// giflib's EGifPutLine on the same pixels with the same code size, both writing to memory.
//
//   bench_encode [--benchmark_filter=...] [FILE.gif ...]
// Without files, the largest GIFs of tests/data/real that giflib reads are used.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_files.h"
#include "gif/frame_numbers.h"
#include "gif/gif_document.h"
#include "gif/lzw_encoder.h"

namespace {

// The frames of one file, as the writer sees them.
struct Frames {
  std::vector<std::shared_ptr<lumatrim::cDIB>> surfaces;
  std::vector<int> paletteBits;
  int screenWidth = 0;
  int screenHeight = 0;
  int64_t pixels = 0;
};

int BitsFor(int entries) {
  int bits = 1;
  while ((1 << bits) < entries) ++bits;
  return bits;
}

bool LoadFrames(const std::string& path, Frames& frames) {
  lumatrim::cGIF doc;
  if (!doc.LoadFromFile(path)) return false;
  frames.screenWidth = std::max<int>(doc.ScreenWidth(), 1);
  frames.screenHeight = std::max<int>(doc.ScreenHeight(), 1);
  for (int16_t n : AllFrames(doc)) {
    const auto surface = doc.FrameDIBXOR(n);
    if (surface->BPP() != 8) continue;
    const int entries =
        doc.LocalPaletteUsed(n) ? doc.LocalPaletteEntries(n) : doc.GlobalPaletteEntries();
    frames.surfaces.push_back(surface);
    frames.paletteBits.push_back(BitsFor(entries));
    frames.pixels += int64_t(surface->Width()) * surface->Height();
  }
  return frames.pixels > 0;
}

void BM_Lumatrim(benchmark::State& state, const Frames& frames) {
  std::vector<uint8_t> out;
  for (auto _ : state) {
    out.clear();
    for (size_t i = 0; i < frames.surfaces.size(); ++i) {
      const lumatrim::cDIB& surface = *frames.surfaces[i];
      const uint8_t codeSize =
          lumatrim::mGIFLZWEnc::MinimumCodeSize(surface, frames.paletteBits[i]);
      lumatrim::mGIFLZWEnc::EncodeFrame(out, surface, uint8_t(codeSize + 1), false);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * frames.pixels);
  state.counters["bytes_out"] = double(out.size());
}

// giflib writing into a byte array.
int WriteToMemory(GifFileType* gif, const GifByteType* bytes, int count) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), bytes, bytes + count);
  return count;
}

void BM_Giflib(benchmark::State& state, const Frames& frames) {
  std::vector<uint8_t> out;
  // A colour map per frame whose size gives giflib the same minimum code size as ours.
  std::vector<ColorMapObject*> maps;
  for (size_t i = 0; i < frames.surfaces.size(); ++i) {
    const int codeSize =
        lumatrim::mGIFLZWEnc::MinimumCodeSize(*frames.surfaces[i], frames.paletteBits[i]);
    maps.push_back(GifMakeMapObject(1 << codeSize, nullptr));
  }
  for (auto _ : state) {
    out.clear();
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToMemory, &error);
    bool ok = gif != nullptr && EGifPutScreenDesc(gif, frames.screenWidth, frames.screenHeight, 8,
                                                  0, nullptr) == GIF_OK;
    for (size_t i = 0; ok && i < frames.surfaces.size(); ++i) {
      const lumatrim::cDIB& surface = *frames.surfaces[i];
      ok = EGifPutImageDesc(gif, 0, 0, surface.Width(), surface.Height(), false, maps[i]) == GIF_OK;
      for (int y = 0; ok && y < surface.Height(); ++y) {
        GifPixelType* row = surface.lpBits() + size_t(y) * size_t(surface.BytesPerScanline());
        ok = EGifPutLine(gif, row, surface.Width()) == GIF_OK;
      }
    }
    if (gif != nullptr) EGifCloseFile(gif, &error);
    if (!ok) state.SkipWithError("giflib refused to encode");
    benchmark::DoNotOptimize(out.data());
  }
  for (ColorMapObject* map : maps) GifFreeMapObject(map);
  state.SetItemsProcessed(state.iterations() * frames.pixels);
  state.counters["bytes_out"] = double(out.size());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::vector<std::string> paths(argv + 1, argv + argc);
  if (paths.empty()) paths = lumatrim::bench::LargestRealFiles();

  // The frames stay loaded for the whole run; the benchmarks hold references to them.
  static std::vector<Frames> files;
  files.reserve(paths.size());
  for (const std::string& path : paths) {
    files.emplace_back();
    if (!LoadFrames(path, files.back())) continue;
    const std::string name = std::filesystem::path(path).filename().string();
    benchmark::RegisterBenchmark(("encode/lumatrim/" + name).c_str(), BM_Lumatrim, files.back());
    benchmark::RegisterBenchmark(("encode/giflib/" + name).c_str(), BM_Giflib, files.back());
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
