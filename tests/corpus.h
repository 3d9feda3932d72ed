// The real GIF files of tests/data/real, and which of them giflib reads without error.
#pragma once

#include <gif_lib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

namespace lumatrim::testing {

inline std::filesystem::path RealFilesFolder() {
  return std::filesystem::path(LUMATRIM_TEST_DATA) / "real";
}

// Every .gif of the real corpus, in name order.
inline std::vector<std::filesystem::path> RealFiles() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(RealFilesFolder())) {
    if (entry.path().extension() == ".gif") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

inline bool GiflibReadsCleanly(const std::filesystem::path& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.string().c_str(), &error);
  if (gif == nullptr) return false;
  const bool clean = DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0;
  DGifCloseFile(gif, &error);
  return clean;
}

// The real files giflib reads cleanly: the ones whose output other tools can judge.
inline std::vector<std::filesystem::path> CleanRealFiles() {
  std::vector<std::filesystem::path> files = RealFiles();
  std::erase_if(files, [](const std::filesystem::path& f) { return !GiflibReadsCleanly(f); });
  return files;
}

// A file name as the name of a parameterized test, which may hold letters, digits and '_' only.
inline std::string TestNameOf(std::string name) {
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

}  // namespace lumatrim::testing
