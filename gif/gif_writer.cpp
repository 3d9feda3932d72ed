// cGIF::Save: the whole document as one GIF file. The file is built in memory first and reaches
// the target only through a rename, so a failed save never leaves a partial file behind and never
// damages the file it would have replaced; a signal that ends the process mid-save removes the
// temporary file too (interrupted_saves.h). Only a regular file is ever replaced.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <system_error>

#include "gif/frame_numbers.h"
#include "gif/gif_document.h"
#include "gif/gif_format.h"
#include "gif/interrupted_saves.h"
#include "gif/lzw_encoder.h"
#include "gif/system_error_text.h"
#include "gif/whole_file.h"

namespace lumatrim {

namespace {

using namespace gif_format;

void PutU16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(uint8_t(value & 0xFF));
  out.push_back(uint8_t(value >> 8));
}

void PutText(std::vector<uint8_t>& out, const char* text) {
  for (; *text != '\0'; ++text) out.push_back(uint8_t(*text));
}

// The smallest b of at least 1 with 2^b >= entries. More than 256 entries don't fit the 3-bit
// size field of a descriptor.
int PaletteBits(int entries) {
  if (entries > 256) throw OverflowError("palette of more than 256 entries");
  int bits = 1;
  while ((1 << bits) < entries) ++bits;
  return bits;
}

// A colour table of exactly 2^bits entries, red, green, blue each: the store's first entries
// (blue, green, red, reserved), then zeros.
void PutColorTable(std::vector<uint8_t>& out, const PaletteStore& store, int entries, int bits) {
  const int written = 1 << bits;
  for (int i = 0; i < written; ++i) {
    if (i < entries) {
      const uint8_t* e = store.data() + 4 * i;
      out.insert(out.end(), {e[2], e[1], e[0]});
    } else {
      out.insert(out.end(), {0, 0, 0});
    }
  }
}

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

}  // namespace

std::string WriteWholeFile(const std::string& filename, const std::vector<uint8_t>& bytes) {
  namespace fs = std::filesystem;
  const fs::path target(filename);
  if (target.filename().empty()) return "no file name";
  if (std::string refusal = TargetRefusal(target); !refusal.empty()) return refusal;

  std::mt19937_64 random(uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                         uint64_t(reinterpret_cast<uintptr_t>(&bytes)));
  fs::path temp;
  std::optional<InFlightFile> listed;
  std::FILE* file = nullptr;
  for (int attempt = 0; attempt < 100 && file == nullptr; ++attempt) {
    temp = TemporaryNameFor(target, random());
    // Listed before it exists, so that no moment leaves it unlisted.
    listed.emplace(temp.string());
    // "x": create exclusively, never open a file that someone else made meanwhile.
    errno = 0;
    file = std::fopen(temp.string().c_str(), "wbx");
    if (file == nullptr && errno != EEXIST) {
      return SystemErrorText(errno, "the file can't be created");
    }
  }
  if (file == nullptr) return "no free temporary file name";

  errno = 0;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  written = std::fflush(file) == 0 && written;
  int writeError = errno;
  written = std::fclose(file) == 0 && written;
  if (writeError == 0) writeError = errno;

  // The target is checked again: it may have changed while the file was written.
  std::string reason =
      written ? TargetRefusal(target) : SystemErrorText(writeError, "the file can't be written");
  std::error_code error;
  if (reason.empty()) {
    // A replaced file keeps its permissions; failing to copy them is no reason to fail the save.
    const fs::file_status old = fs::status(target, error);
    if (!error && fs::is_regular_file(old)) {
      fs::permissions(temp, old.permissions(), fs::perm_options::replace, error);
      // So does its owner, where the process may give the file away (as root, say).
      struct stat oldOwner {};
      if (::stat(target.c_str(), &oldOwner) == 0) {
        [[maybe_unused]] const int ignored =
            ::chown(temp.c_str(), oldOwner.st_uid, oldOwner.st_gid);
      }
    }
    error.clear();
    fs::rename(temp, target, error);
    if (!error) return {};
    reason = error.message();
  }
  fs::remove(temp, error);
  return reason;
}

void cGIF::pvWriteComments(std::vector<uint8_t>& out, const CommentList& comments) {
  // Element 0 is the spare empty comment, never written.
  for (size_t i = 1; i < comments.size(); ++i) {
    const std::string& text = comments[i];
    out.push_back(kExtensionIntroducer);
    out.push_back(kCommentLabel);
    for (size_t start = 0; start < text.size(); start += 255) {
      const size_t length = std::min<size_t>(255, text.size() - start);
      out.push_back(uint8_t(length));
      out.insert(out.end(), text.begin() + std::ptrdiff_t(start),
                 text.begin() + std::ptrdiff_t(start + length));
    }
    out.push_back(kBlockTerminator);
  }
}

bool cGIF::Save(const std::string& Filename) {
  return Save(Filename, FrameDataWriter());
}

bool cGIF::Save(const std::string& Filename, const FrameDataWriter& writeFrameData) {
  saveError_.clear();
  try {
    std::vector<uint8_t> out;
    if (!SaveToMemory(out, writeFrameData)) return false;
    saveError_ = WriteWholeFile(Filename, out);
    return saveError_.empty();
  } catch (const std::bad_alloc&) {
    saveError_ = "out of memory";
    return false;
  }
}

bool cGIF::SaveToMemory(std::vector<uint8_t>& out, const FrameDataWriter& writeFrameData) {
  try {
    out.clear();

    // Header. A document without frames needs nothing of 89a but its comments.
    const bool hasTrailingComments = trailingComments_.size() > 1;
    PutText(out, framesCount_ > 0 || hasTrailingComments ? "GIF89a" : "GIF87a");

    // Logical screen descriptor, with the flag byte recomputed from the global palette fields.
    const int globalBits = globalPaletteExists_ ? PaletteBits(globalPaletteEntries_) : 0;
    uint8_t screenFlags = 0;
    if (globalPaletteExists_) {
      screenFlags = uint8_t(0x80 | ((globalBits - 1) << 4) | (globalPaletteSorted_ ? 0x08 : 0) |
                            (globalBits - 1));
    }
    std::array<uint8_t, 7> screen = screen_;
    screen[4] = screenFlags;
    out.insert(out.end(), screen.begin(), screen.end());
    if (globalPaletteExists_) {
      PutColorTable(out, globalPalette_, globalPaletteEntries_, globalBits);
    }

    // The looping block, exactly when the loaded file had one or a caller set the loop count.
    if (hasLoopingBlock_ && framesCount_ > 0) {
      out.insert(out.end(), {kExtensionIntroducer, kApplicationLabel, 0x0B});
      PutText(out, "NETSCAPE2.0");
      out.insert(out.end(), {0x03, 0x01});
      PutU16(out, uint16_t(animationLoops_));
      out.push_back(kBlockTerminator);
    }

    for (int16_t n : FrameNumbers(1, framesCount_)) {
      const Frame& frame = frames_[size_t(n)];
      pvWriteComments(out, frame.comments);

      // Graphic control extension, for every frame.
      if (frame.disposalMethod > 7) throw OverflowError("disposal method does not fit 3 bits");
      const uint8_t controlFlags =
          uint8_t((frame.useTransparentColor ? 0x01 : 0) | (frame.userInput ? 0x02 : 0) |
                  (frame.disposalMethod << 2));
      out.insert(out.end(), {kExtensionIntroducer, kGraphicControlLabel, 0x04, controlFlags});
      PutU16(out, uint16_t(frame.delay));
      out.push_back(frame.useTransparentColor ? uint8_t(frame.transparentColorIndex) : 0);
      out.push_back(kBlockTerminator);

      // Image descriptor. The size is the surface's: a frame without one is written as 0 x 0,
      // so the file never declares pixels it does not carry.
      const std::shared_ptr<const cDIB> image = frame.pixels->ImageForReading();
      const cDIB& surface = *image;
      const bool hasSurface = surface.hDIB() != 0;
      if (hasSurface && (surface.Width() > 0xFFFF || surface.Height() > 0xFFFF)) {
        throw OverflowError("frame size does not fit 16 bits");
      }
      const uint16_t width = hasSurface ? uint16_t(surface.Width()) : 0;
      const uint16_t height = hasSurface ? uint16_t(surface.Height()) : 0;
      const int localBits = frame.localPaletteUsed ? PaletteBits(frame.localPaletteEntries) : 0;
      const int paletteBits = frame.localPaletteUsed ? localBits : globalBits;
      // Without any palette the size field is 0, as the format recommends for no table.
      const int sizeField = paletteBits > 0 ? paletteBits - 1 : 0;
      const uint8_t imageFlags =
          uint8_t((frame.localPaletteUsed ? 0x80 : 0) | (frame.interlaced ? 0x40 : 0) |
                  (frame.localPaletteSorted ? 0x20 : 0) | sizeField);
      out.push_back(kImageSeparator);
      PutU16(out, uint16_t(frame.left));
      PutU16(out, uint16_t(frame.top));
      PutU16(out, width);
      PutU16(out, height);
      out.push_back(imageFlags);
      if (frame.localPaletteUsed) {
        PutColorTable(out, frame.palette, frame.localPaletteEntries, localBits);
      }

      // Image data.
      if (writeFrameData) {
        writeFrameData(out, n, paletteBits);
      } else {
        const uint8_t codeSize = mGIFLZWEnc::MinimumCodeSize(surface, paletteBits);
        out.push_back(codeSize);
        mGIFLZWEnc::EncodeFrame(out, surface, uint8_t(codeSize + 1), frame.interlaced);
      }
      out.push_back(kBlockTerminator);
    }

    pvWriteComments(out, trailingComments_);
    out.push_back(kTrailer);

    screen_[4] = screenFlags;
    return true;
  } catch (const std::bad_alloc&) {
    // Save answers; it never throws. Nothing has reached the target at this point.
    saveError_ = "out of memory";
  } catch (const std::exception& e) {
    saveError_ = e.what();
  } catch (...) {
    saveError_ = "the file can't be written";
  }
  return false;
}

}  // namespace lumatrim
