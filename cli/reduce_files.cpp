#include "cli/reduce_files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "files/whole_file.h"

namespace lumatrim::cli {

namespace fs = std::filesystem;

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, std::string& reason) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    reason = std::strerror(errno);
    return std::nullopt;
  }
  std::vector<uint8_t> bytes = ReadWholeStream(in);
  if (in.bad()) {
    reason = "the file can't be read";
    return std::nullopt;
  }
  return bytes;
}

std::vector<uint8_t> ReadWholeStream(std::istream& in, uint64_t limit) {
  std::vector<uint8_t> bytes;
  char block[65536];
  while (bytes.size() <= limit && in.read(block, sizeof block).gcount() > 0) {
    const auto got = uint64_t(in.gcount());
    // The loop runs while bytes.size() <= limit, so this leaves room for limit + 1 bytes.
    const uint64_t room = limit == UINT64_MAX ? got : limit - bytes.size() + 1;
    bytes.insert(bytes.end(), block, block + std::min(got, room));
  }
  return bytes;
}

std::vector<std::string> SplitPathList(const std::string& text, bool nul) {
  const char separator = nul ? '\0' : '\n';
  std::vector<std::string> paths;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    std::string path = text.substr(start, end - start);
    if (!nul && !path.empty() && path.back() == '\r') path.pop_back();
    if (!path.empty()) paths.push_back(std::move(path));
    start = end + 1;
  }
  return paths;
}

ScratchFolder::ScratchFolder() {
  std::error_code error;
  std::string pattern = (fs::temp_directory_path(error) / "lumatrim-XXXXXX").string();
  if (error) pattern = "/tmp/lumatrim-XXXXXX";
  if (::mkdtemp(pattern.data()) != nullptr) {
    path_ = pattern;
    listed_.emplace(path_);
  }
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;
  std::error_code error;
  fs::remove_all(path_, error);
}

std::string ReplaceFileContent(const std::string& target, const std::vector<uint8_t>& bytes,
                               bool keepTimes) {
  struct stat before {};
  if (::stat(target.c_str(), &before) != 0) return std::strerror(errno);
  if (std::string reason = WriteWholeFile(target, bytes); !reason.empty()) return reason;
  if (keepTimes) {
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    if (::utimensat(AT_FDCWD, target.c_str(), times, 0) != 0) {
      return std::string("the times can't be kept: ") + std::strerror(errno);
    }
  }
  return {};
}

}  // namespace lumatrim::cli
