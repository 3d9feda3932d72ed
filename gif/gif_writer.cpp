// cGIF::Save: the whole document as one GIF file. The file is built in memory first and handed to
// WriteWholeFile (files/whole_file.h), which reaches the target only through a rename.
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "files/whole_file.h"
#include "gif/color_table.h"
#include "gif/frame_numbers.h"
#include "gif/gif_document.h"
#include "gif/gif_format.h"
#include "gif/lzw_encoder.h"
#include "raster/system_memory.h"

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

// The image data of a document's frames, encoded ahead a window of frames at a time on the
// document's workers, so that the file is put together in frame order while its frames are
// encoded in parallel. Only one window of encoded frames is held at a time.
class EncodedAhead {
 public:
  using Encode = std::function<std::vector<uint8_t>(int16_t nFrame)>;

  EncodedAhead(WorkPool* workers, int16_t frames, Encode encode)
      : workers_(workers), frames_(frames), encode_(std::move(encode)) {}

  // Frame n's image data; frames are asked for in order.
  const std::vector<uint8_t>& For(int16_t n) {
    if (n < first_ || n >= first_ + int32_t(window_.size())) {
      const int32_t size = workers_ ? int32_t(workers_->Threads()) * 4 : 1;
      first_ = n;
      window_.assign(size_t(std::min<int32_t>(size, frames_ - n + 1)), {});
      ParallelFor(workers_, window_.size(),
                  [&](size_t i) { window_[i] = encode_(int16_t(first_ + int32_t(i))); });
    }
    return window_[size_t(n - first_)];
  }

 private:
  WorkPool* workers_;
  int16_t frames_;
  Encode encode_;
  int32_t first_ = 0;
  std::vector<std::vector<uint8_t>> window_;
};

}  // namespace

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
    const Status written = WriteWholeFile(Filename, out);
    saveError_ = written.reason();
    return written.ok();
  } catch (const std::bad_alloc&) {
    saveError_ = "out of memory";
    return false;
  }
}

uint8_t cGIF::PutScreen(std::vector<uint8_t>& out) const {
  // Header. A document without frames needs nothing of 89a but its comments.
  const bool hasTrailingComments = trailingComments_.size() > 1;
  PutText(out, framesCount_ > 0 || hasTrailingComments ? "GIF89a" : "GIF87a");

  // Logical screen descriptor, with the flag byte recomputed from the global palette fields.
  const int globalBits = globalPaletteExists_ ? TableBits(globalPaletteEntries_) : 0;
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
  return screenFlags;
}

int cGIF::PutFrameHead(std::vector<uint8_t>& out, int16_t n) const {
  const Frame& frame = frames_[size_t(n)];
  pvWriteComments(out, frame.comments);

  // Graphic control extension, for every frame.
  if (frame.disposalMethod > 7) throw OverflowError("disposal method does not fit 3 bits");
  const uint8_t controlFlags = uint8_t((frame.useTransparentColor ? 0x01 : 0) |
                                       (frame.userInput ? 0x02 : 0) | (frame.disposalMethod << 2));
  out.insert(out.end(), {kExtensionIntroducer, kGraphicControlLabel, 0x04, controlFlags});
  PutU16(out, uint16_t(frame.delay));
  out.push_back(frame.useTransparentColor ? uint8_t(frame.transparentColorIndex) : 0);
  out.push_back(kBlockTerminator);

  // Image descriptor. The size is the surface's: a frame without one is written as 0 x 0, so
  // the file never declares pixels it does not carry.
  const int32_t surfaceWidth = frame.pixels->Width();
  const int32_t surfaceHeight = frame.pixels->Height();
  if (surfaceWidth > 0xFFFF || surfaceHeight > 0xFFFF) {
    throw OverflowError("frame size does not fit 16 bits");
  }
  const int localBits = frame.localPaletteUsed ? TableBits(frame.localPaletteEntries) : 0;
  const int paletteBits = frame.localPaletteUsed ? localBits : FrameTableBits(n);
  // Without any palette the size field is 0, as the format recommends for no table.
  const int sizeField = paletteBits > 0 ? paletteBits - 1 : 0;
  const uint8_t imageFlags =
      uint8_t((frame.localPaletteUsed ? 0x80 : 0) | (frame.interlaced ? 0x40 : 0) |
              (frame.localPaletteSorted ? 0x20 : 0) | sizeField);
  out.push_back(kImageSeparator);
  PutU16(out, uint16_t(frame.left));
  PutU16(out, uint16_t(frame.top));
  PutU16(out, uint16_t(surfaceWidth));
  PutU16(out, uint16_t(surfaceHeight));
  out.push_back(imageFlags);
  if (frame.localPaletteUsed) {
    PutColorTable(out, frame.palette, frame.localPaletteEntries, localBits);
  }
  return paletteBits;
}

int cGIF::FrameTableBits(int16_t n) const {
  const Frame& frame = frames_[size_t(n)];
  if (frame.localPaletteUsed) return TableBits(frame.localPaletteEntries);
  return globalPaletteExists_ ? TableBits(globalPaletteEntries_) : 0;
}

std::vector<uint8_t> cGIF::EncodeImageData(int16_t n) const {
  const Frame& frame = frames_[size_t(n)];
  const std::shared_ptr<const cDIB> image = frame.pixels->ImageForReading();
  std::vector<uint8_t> data;
  const uint8_t codeSize = mGIFLZWEnc::MinimumCodeSize(*image, FrameTableBits(n));
  data.push_back(codeSize);
  mGIFLZWEnc::EncodeFrame(data, *image, uint8_t(codeSize + 1), frame.interlaced);
  return data;
}

bool cGIF::SaveToMemory(std::vector<uint8_t>& out, const FrameDataWriter& writeFrameData) {
  return SaveToMemory(out, writeFrameData, ImageDataEncoder(), false);
}

bool cGIF::SaveToMemoryLettingFramesGo(std::vector<uint8_t>& out) {
  return SaveToMemory(out, FrameDataWriter(), ImageDataEncoder(), true);
}

bool cGIF::SaveToMemoryLettingFramesGo(std::vector<uint8_t>& out, const ImageDataEncoder& encode) {
  return SaveToMemory(out, FrameDataWriter(), encode, true);
}

bool cGIF::SaveToMemory(std::vector<uint8_t>& out, const FrameDataWriter& writeFrameData,
                        const ImageDataEncoder& encode, bool letFramesGo) {
  try {
    out.clear();
    // Room for an output as large as the input, so that the bytes are not copied as they grow:
    // memory not written to costs nothing.
    out.reserve(loadedBytes_ + loadedBytes_ / 8 + 4096);
    const uint8_t screenFlags = PutScreen(out);
    // The image data, the built-in encoder's unless another is given, encoded ahead on the
    // document's workers.
    EncodedAhead encoded(
        workers_, framesCount_, encode ? encode : [this](int16_t n) { return EncodeImageData(n); });
    // Frames let go give their memory back as the output grows into it.
    uint64_t packedAtLastReturn = cache_.PackedBytes();
    for (int16_t n : FrameNumbers(1, framesCount_)) {
      const int paletteBits = PutFrameHead(out, n);
      if (writeFrameData) {
        writeFrameData(out, n, paletteBits);
      } else {
        const std::vector<uint8_t>& data = encoded.For(n);
        out.insert(out.end(), data.begin(), data.end());
      }
      if (letFramesGo) {
        frames_[size_t(n)].pixels->LetGo();
        if (cache_.PackedBytes() + kReturnFreedMemoryEvery < packedAtLastReturn) {
          ReturnFreedMemory();
          packedAtLastReturn = cache_.PackedBytes();
        }
      }
      if (progress_) progress_(double(n) / double(framesCount_));
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
