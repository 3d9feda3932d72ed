// The files the benchmarks run on: the largest real files that giflib reads without error.
#pragma once

#include <gif_lib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace lumatrim::bench {

inline bool GiflibReads(const std::string& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) return false;
  const bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0;
  DGifCloseFile(gif, &error);
  return ok;
}

inline std::vector<std::string> LargestRealFiles(size_t count = 6) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(LUMATRIM_BENCH_DATA)) {
    if (entry.path().extension() == ".gif") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
    return std::filesystem::file_size(a) > std::filesystem::file_size(b);
  });
  std::vector<std::string> chosen;
  for (const auto& file : files) {
    if (chosen.size() == count) break;
    if (GiflibReads(file.string())) chosen.push_back(file.string());
  }
  return chosen;
}

}  // namespace lumatrim::bench
