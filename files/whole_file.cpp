// Writing a whole file at once: the bytes go to a hidden temporary file beside the target, which
// is renamed over the target once every byte is written, so a failed write never leaves a partial
// file behind and never damages the file it would have replaced; a signal that ends the process
// mid-write removes the temporary file too (interrupted_saves.h). Only a regular file is ever
// replaced.
#include "files/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>

#include "files/interrupted_saves.h"
#include "files/system_error_text.h"

namespace lumatrim {

namespace {

// A fresh name beside the target, so that the final rename stays within one file system. It is
// short, so that a target name of the longest length still leaves room for it.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& target, uint64_t salt) {
  std::string name = ".lumatrim-";
  name += std::to_string(salt);
  name += ".tmp";
  return target.parent_path() / name;
}

// Why a save must not replace what is at the target; empty when it may. Only a regular file is
// replaced: a rename would put the new file in place of a link, a device or a pipe instead of
// writing through it, and a folder can't be replaced at all.
std::string TargetRefusal(const std::filesystem::path& target) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::symlink_status(target, error);
  if (error && error != std::errc::no_such_file_or_directory) return error.message();
  if (fs::exists(status) && !fs::is_regular_file(status)) return "not a regular file";
  return {};
}

// Gives a replaced file's permissions and, where the process may give a file away (as root,
// say), its owner to temp. Failing to copy them is no reason to fail the save.
void KeepModeAndOwner(const std::filesystem::path& target, const std::filesystem::path& temp) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status old = fs::status(target, error);
  if (error || !fs::is_regular_file(old)) return;
  fs::permissions(temp, old.permissions(), fs::perm_options::replace, error);
  struct stat oldOwner {};
  if (::stat(target.c_str(), &oldOwner) == 0) {
    [[maybe_unused]] const int ignored = ::chown(temp.c_str(), oldOwner.st_uid, oldOwner.st_gid);
  }
}

// A new temporary file beside target, listed for the interrupt cleanup in listed; or why there
// is none.
Result<std::FILE*> CreateTemporaryBeside(const std::filesystem::path& target, uint64_t seed,
                                         std::optional<InFlightFile>& listed,
                                         std::filesystem::path& temp) {
  std::mt19937_64 random(uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                         seed);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = TemporaryNameFor(target, random());
    // Listed before it exists, so that no moment leaves it unlisted.
    listed.emplace(temp.string());
    // "x": create exclusively, never open a file that someone else made meanwhile.
    std::FILE* file = nullptr;
    int error = 0;
    const bool allowed = listed->Create([&] {
      errno = 0;
      file = std::fopen(temp.string().c_str(), "wbx");
      error = errno;
    });
    if (!allowed) return Failure{"the program is ending"};
    if (file != nullptr) return file;
    if (error != EEXIST) return Failure{SystemErrorText(error, "the file can't be created")};
  }
  return Failure{"no free temporary file name"};
}

// Writes bytes to file and closes it; answers why that failed, empty on success.
std::string WriteAndClose(std::FILE* file, std::span<const uint8_t> bytes) {
  errno = 0;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  written = std::fflush(file) == 0 && written;
  int writeError = errno;
  written = std::fclose(file) == 0 && written;
  if (writeError == 0) writeError = errno;
  return written ? std::string() : SystemErrorText(writeError, "the file can't be written");
}

// The write proper; answers why it failed, empty on success.
std::string WriteFileThroughRename(const std::string& filename, std::span<const uint8_t> bytes) {
  namespace fs = std::filesystem;
  const fs::path target(filename);
  if (target.filename().empty()) return "no file name";
  if (std::string refusal = TargetRefusal(target); !refusal.empty()) return refusal;

  fs::path temp;
  std::optional<InFlightFile> listed;
  const Result<std::FILE*> file = CreateTemporaryBeside(
      target, uint64_t(reinterpret_cast<uintptr_t>(bytes.data())), listed, temp);
  if (!file) return file.reason();
  std::string reason = WriteAndClose(*file, bytes);
  // The target is checked again: it may have changed while the file was written.
  if (reason.empty()) reason = TargetRefusal(target);
  std::error_code error;
  if (reason.empty()) {
    KeepModeAndOwner(target, temp);
    fs::rename(temp, target, error);
    if (!error) return {};
    reason = error.message();
  }
  fs::remove(temp, error);
  return reason;
}

}  // namespace

Status WriteWholeFile(const std::string& filename, std::span<const uint8_t> bytes) {
  if (std::string reason = WriteFileThroughRename(filename, bytes); !reason.empty()) {
    return Failure{std::move(reason)};
  }
  return {};
}

Status ReplaceFileContent(const std::string& target, std::span<const uint8_t> bytes,
                          bool keepTimes) {
  struct stat before {};
  if (::stat(target.c_str(), &before) != 0) {
    return Failure{SystemErrorText(errno, "the file can't be read")};
  }
  if (Status written = WriteWholeFile(target, bytes); !written) return written;
  if (keepTimes) {
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    if (::utimensat(AT_FDCWD, target.c_str(), times, 0) != 0) {
      return Failure{"the times can't be kept: " + SystemErrorText(errno, "unknown error")};
    }
  }
  return {};
}

}  // namespace lumatrim
