#include "files/paths.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace lumatrim {

namespace fs = std::filesystem;

namespace {

bool EndsWithAnyCase(const std::string& name, std::string_view ending) {
  if (name.size() < ending.size()) return false;
  return std::equal(ending.begin(), ending.end(), name.end() - std::ptrdiff_t(ending.size()),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

}  // namespace

std::string PathIdentity(const std::string& path) {
  std::error_code error;
  const fs::path resolved = fs::weakly_canonical(fs::path(path), error);
  if (!error) return resolved.string();
  const fs::path absolute = fs::absolute(fs::path(path), error);
  return (error ? fs::path(path) : absolute).lexically_normal().string();
}

Result<std::string> LinkTarget(const std::string& path) {
  std::error_code error;
  const fs::path target = fs::canonical(path, error);
  if (error) return Failure{error.message()};
  return target.string();
}

PathKind KindOf(const std::string& path, bool ownEntry) {
  std::error_code error;
  const fs::file_status status =
      ownEntry ? fs::symlink_status(path, error) : fs::status(path, error);
  if (!fs::exists(status)) return PathKind::Missing;
  if (fs::is_directory(status)) return PathKind::Folder;
  if (fs::is_regular_file(status)) return PathKind::RegularFile;
  return PathKind::Other;
}

std::vector<std::string> FilesBelow(const std::string& folder, std::string_view extension) {
  std::vector<std::string> found;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(
           folder, fs::directory_options::skip_permission_denied, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_regular_file(error) && EndsWithAnyCase(it->path().filename().string(), extension)) {
      found.push_back(it->path().string());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace lumatrim
