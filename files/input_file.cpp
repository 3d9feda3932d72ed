#include "files/input_file.h"

// POSIX: open without blocking, so that a pipe is refused instead of waited on; fstat on the
// opened file, so that what is checked is what is read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <utility>

#include "files/system_error_text.h"

namespace lumatrim {

Result<InputFile> InputFile::Open(const std::string& path) {
  errno = 0;
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (descriptor < 0) return Failure{SystemErrorText(errno, "the file can't be opened")};
  struct stat status {};
  if (::fstat(descriptor, &status) != 0) {
    const int error = errno;
    ::close(descriptor);
    return Failure{SystemErrorText(error, "the file can't be read")};
  }
  if (!S_ISREG(status.st_mode)) {
    ::close(descriptor);
    return Failure{"not a regular file"};
  }
  // Reads of a regular file never block; the flag only mattered for opening.
  ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
  return InputFile(descriptor, uint64_t(status.st_size), int64_t(status.st_mtim.tv_sec),
                   int64_t(status.st_mtim.tv_nsec));
}

InputFile::InputFile(InputFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      size_(other.size_),
      modifiedSeconds_(other.modifiedSeconds_),
      modifiedNanoseconds_(other.modifiedNanoseconds_) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = std::exchange(other.descriptor_, -1);
    size_ = other.size_;
    modifiedSeconds_ = other.modifiedSeconds_;
    modifiedNanoseconds_ = other.modifiedNanoseconds_;
  }
  return *this;
}

InputFile::~InputFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

Status InputFile::ReadInto(std::vector<uint8_t>& into, uint64_t count) {
  const size_t start = into.size();
  into.resize(start + count);
  size_t done = 0;
  while (done < count) {
    const size_t chunk = size_t(std::min<uint64_t>(count - done, 1u << 30));
    const ssize_t got = ::read(descriptor_, into.data() + start + done, chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      into.resize(start + done);
      return Failure{SystemErrorText(error, "the file can't be read")};
    }
    if (got == 0) break;
    done += size_t(got);
  }
  into.resize(start + done);
  return {};
}

Status InputFile::Rewind() {
  if (::lseek(descriptor_, 0, SEEK_SET) != 0) {
    return Failure{SystemErrorText(errno, "the file can't be read")};
  }
  return {};
}

Status InputFile::ReadAgain(std::vector<uint8_t>& into) {
  into.clear();
  if (ChangedSinceOpened()) return Failure{"the file changed while it was reduced"};
  if (Status start = Rewind(); !start) return start;
  if (Status read = ReadInto(into, size_); !read) return read;
  if (into.size() != size_ || ChangedSinceOpened()) {
    into.clear();
    return Failure{"the file changed while it was reduced"};
  }
  return {};
}

bool InputFile::ChangedSinceOpened() const {
  struct stat status {};
  if (::fstat(descriptor_, &status) != 0) return true;
  return uint64_t(status.st_size) != size_ || int64_t(status.st_mtim.tv_sec) != modifiedSeconds_ ||
         int64_t(status.st_mtim.tv_nsec) != modifiedNanoseconds_;
}

Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Failure{SystemErrorText(errno, "the file can't be opened")};
  std::vector<uint8_t> bytes = ReadWholeStream(in);
  if (in.bad()) return Failure{"the file can't be read"};
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

}  // namespace lumatrim
