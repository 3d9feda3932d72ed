// The files the benchmarks run on: the largest real files that giflib reads without error.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "corpus.h"

namespace lumatrim::bench {

inline std::vector<std::string> LargestRealFiles(size_t count = 6) {
  std::vector<std::filesystem::path> files = testing::RealFiles();
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
    return std::filesystem::file_size(a) > std::filesystem::file_size(b);
  });
  std::vector<std::string> chosen;
  for (const auto& file : files) {
    if (chosen.size() == count) break;
    if (testing::GiflibReadsCleanly(file)) chosen.push_back(file.string());
  }
  return chosen;
}

}  // namespace lumatrim::bench
