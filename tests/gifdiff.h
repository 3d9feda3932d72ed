// gifdiff (Debian package gifsicle): the oracle of whether two GIFs look the same.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace lumatrim::testing {

inline bool GifdiffInstalled() {
  return std::system("command -v gifdiff > /dev/null 2>&1") == 0;
}

// gifdiff's exit status: 0 when the two files look the same, -1 when it did not run to its end.
inline int Gifdiff(const std::filesystem::path& a, const std::filesystem::path& b) {
  const std::string command =
      "gifdiff -w -B '" + a.string() + "' '" + b.string() + "' > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// gifdiff judges only files it reads without error itself (a frame placed at 65535, say): it
// says nothing about them, and finds each the same as itself.
inline bool GifdiffReads(const std::filesystem::path& path) {
  const std::string quiet =
      "test -z \"$(gifdiff -w -B '" + path.string() + "' '" + path.string() + "' 2>&1)\"";
  return Gifdiff(path, path) == 0 && std::system(quiet.c_str()) == 0;
}

}  // namespace lumatrim::testing
