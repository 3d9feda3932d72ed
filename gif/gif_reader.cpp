// Reading a GIF file into the document. The reader is lenient: once the header is accepted it
// never gives up. It skips what it does not know, steps over stray bytes, and reads a file that
// breaks off as far as it goes (missing bytes of a fixed-size block read as 0).
#include <algorithm>
#include <cstring>
#include <string>

#include "files/input_file.h"
#include "gif/frame_extent.h"
#include "gif/gif_document.h"
#include "gif/gif_format.h"
#include "gif/lzw_decoder.h"

namespace lumatrim {

namespace {

using namespace gif_format;

// The bit field of a flag byte selected by mask, shifted down to bit 0.
int pvGetBits(uint8_t value, uint8_t mask) {
  if (mask == 0) return 0;
  int field = value & mask;
  while ((mask & 1) == 0) {
    mask >>= 1;
    field >>= 1;
  }
  return field;
}

// The 6 bytes of a header the reader accepts: "GIF87a" or "GIF89a".
bool IsGifHeader(std::span<const std::byte> bytes) {
  if (bytes.size() < 6) return false;
  const auto* text = reinterpret_cast<const char*>(bytes.data());
  return std::memcmp(text, "GIF87a", 6) == 0 || std::memcmp(text, "GIF89a", 6) == 0;
}

// Why a file larger than the memory budget is refused, whether it is read whole or in pieces.
std::string FileOverBudget(uint64_t size) {
  return "over the memory budget: the file alone is " + std::to_string(size >> 20) + " MiB";
}

}  // namespace

// Everything the reader keeps between blocks; none of it outlives the load. The stream is a
// whole file in memory, or an open file read a piece at a time: then only the bytes from the
// block in hand on are held, so that a long file's bytes and its frames are never held at once.
struct cGIF::ReadState {
  // The stream's bytes from windowStart on, as far as they are read.
  std::span<const uint8_t> window;
  uint64_t windowStart = 0;
  InputFile* file = nullptr;  // where more bytes come from, or none: window is the whole stream
  std::vector<uint8_t> read;  // the window's bytes when they come from file
  uint64_t fileLeft = 0;      // bytes of file not yet read, of the size it had when opened
  uint64_t piece = 0;         // the bytes read from file at a time
  std::string readError;      // why file could not be read to its end
  bool headerAccepted = false;
  size_t position = 0;
  int16_t imageCount = 0;
  // Block size, flags, delay (2 bytes) and transparent index of the last graphic control block.
  std::array<uint8_t, 5> pendingControl{};
  CommentList pendingComments{std::string()};
  std::vector<uint8_t> data;        // the joined sub-blocks of the chain read last
  uint64_t previousFrameBytes = 0;  // memory of the last frame's surfaces
  bool overBudget = false;
  int64_t framesLeftEmpty = 0;  // frames that alone need more than the budget
  bool commentsLeftOut = false;
  bool framesReplaced = false;  // images past 32767 replaced the last frame
  bool sawTrailer = false;
  bool chainCutOff = false;  // the chain read last ran past the end of the data
  // Index-0 pixels past their data that damaged frames hold on the screen, all frames together:
  // many damaged frames must not cost more than one may.
  uint64_t shownFillLeft = kMaxShownFillPixels;

  size_t End() const { return size_t(windowStart + window.size()); }
  // The stream's size, as far as it is known: a file's size when it was opened.
  uint64_t Size() const { return file != nullptr ? file->size() : window.size(); }

  // Whether the stream holds byte i (at or after the position), reading on in the file if need
  // be; what comes before the position is let go then.
  bool Holds(size_t i) {
    if (i < End()) return true;
    while (file != nullptr && i >= End() && fileLeft > 0 && readError.empty()) ReadMore(i);
    return i < End();
  }

  void ReadMore(size_t needed) {
    const size_t done = std::min(position, End()) - size_t(windowStart);
    read.erase(read.begin(), read.begin() + std::ptrdiff_t(done));
    windowStart += done;
    window = read;
    const uint64_t asked = std::min(fileLeft, std::max<uint64_t>(piece, needed + 1 - End()));
    const size_t before = read.size();
    if (Status got = file->ReadInto(read, asked); !got) readError = got.reason();
    const size_t got = read.size() - before;
    // A file that ends before the size it had is read as far as it goes.
    fileLeft = got < asked ? 0 : fileLeft - got;
    window = read;
  }

  // The reader never looks back past the position, so what was let go is never asked for.
  uint8_t ByteAt(size_t i) {
    return i >= windowStart && Holds(i) ? window[i - size_t(windowStart)] : 0;
  }

  // Copies n bytes from the position; bytes past the end of the data read as 0.
  void Copy(uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = ByteAt(position + i);
  }

  // Collects a data sub-block chain into data; ends on its terminator (or past the end).
  void ReadSubBlocks() {
    data.clear();
    // Sizing the whole chain first saves growing the buffer 255 bytes at a time.
    size_t total = 0;
    for (size_t at = position; Holds(at) && ByteAt(at) != 0; at += ByteAt(at) + 1u) {
      total += ByteAt(at);
    }
    data.reserve(total);
    while (Holds(position) && ByteAt(position) != 0) {
      const size_t count = ByteAt(position);
      const size_t first = position + 1;
      Holds(first + count - 1);
      const size_t last = std::min(first + count, End());
      const auto begin = window.begin() - std::ptrdiff_t(windowStart);
      data.insert(data.end(), begin + std::ptrdiff_t(std::min(first, last)),
                  begin + std::ptrdiff_t(last));
      position += count + 1;
    }
    chainCutOff = !Holds(position);
  }

  void SkipSubBlocks() {
    while (Holds(position) && ByteAt(position) != 0) position += ByteAt(position) + 1u;
  }

  // Reads a colour table of entries into a palette store (file order red, green, blue).
  void ReadColorTable(PaletteStore& store, int entries) {
    for (int i = 0; i < entries; ++i) {
      const size_t at = position + 3 * size_t(i);
      store[4 * size_t(i)] = ByteAt(at + 2);
      store[4 * size_t(i) + 1] = ByteAt(at + 1);
      store[4 * size_t(i) + 2] = ByteAt(at);
      store[4 * size_t(i) + 3] = 0;
    }
    position += 3 * size_t(entries);
  }
};

Result<GifFileBytes> ReadGifFile(const std::string& path, uint64_t budget) {
  Result<InputFile> file = InputFile::Open(path);
  if (!file) return Failure{file.reason()};
  return ReadGifFile(*file, budget);
}

Result<GifFileBytes> ReadGifFile(InputFile& file, uint64_t budget) {
  try {
    GifFileBytes read;
    if (file.size() == 0) return read;
    // The signature first, so that a large file of another kind is refused unread.
    constexpr size_t kHeaderSize = 6;
    if (Status header = file.ReadInto(read.bytes, kHeaderSize); !header)
      return Failure{header.reason()};
    if (read.bytes.size() < kHeaderSize || !IsGifHeader(std::as_bytes(std::span(read.bytes)))) {
      return Failure{"not a GIF file"};
    }
    // The whole file is held while it is read, so it counts against the budget too.
    if (file.size() > budget) {
      return Failure{FileOverBudget(file.size())};
    }
    if (Status rest = file.ReadInto(read.bytes, file.size() - kHeaderSize); !rest) {
      return Failure{rest.reason()};
    }
    // A file that shrank or changed meanwhile is read as far as it goes, and says so.
    read.changedWhileRead = read.bytes.size() != file.size() || file.ChangedSinceOpened();
    return read;
  } catch (...) {
    return Failure{ReasonOfCurrentException()};
  }
}

bool cGIF::LoadFromFile(const std::string& Filename) {
  saveError_.clear();
  Result<GifFileBytes> read = ReadGifFile(Filename, memoryBudget_);
  if (read && read->bytes.empty()) {
    // An empty file leaves the document untouched.
    loadError_ = "the file is empty";
    return false;
  }
  if (!read) {
    Destroy();
    loadError_ = read.reason();
    return false;
  }
  return LoadFromStream(read->bytes);
}

bool cGIF::LoadFromStream(std::span<const uint8_t> Stream) {
  ReadState state;
  state.window = Stream;
  if (Load(state)) return true;
  if (loadError_.empty()) {
    loadError_ = IsGifHeader(std::as_bytes(Stream)) ? "no image in the file" : "not a GIF file";
  }
  return false;
}

bool cGIF::LoadFromOpenFile(InputFile& file, uint64_t pieceBytes) {
  if (Status start = file.Rewind(); !start) {
    Destroy();
    loadError_ = start.reason();
    return false;
  }
  ReadState state;
  state.file = &file;
  state.piece = std::max<uint64_t>(pieceBytes, 1);
  state.fileLeft = file.size();
  if (Load(state)) return true;
  if (!state.readError.empty()) {
    Destroy();
    loadError_ = state.readError;
  } else if (loadError_.empty()) {
    loadError_ = state.headerAccepted ? "no image in the file" : "not a GIF file";
  }
  return false;
}

bool cGIF::Load(ReadState& state) {
  saveError_.clear();
  try {
    const bool loaded = ReadStream(state) && state.readError.empty();
    loadedBytes_ = state.End();
    return loaded;
  } catch (const std::bad_alloc&) {
    Destroy();
    loadError_ = "out of memory";
  } catch (const std::exception& e) {
    Destroy();
    loadError_ = e.what();
  }
  return false;
}

// An extension block, from its label on: the looping block, a graphic control block, a comment
// or one the reader skips.
void cGIF::ReadExtension(ReadState& state) {
  ++state.position;
  const uint8_t label = state.ByteAt(state.position);
  ++state.position;
  if (label == kApplicationLabel) {
    char header[12];
    state.Copy(reinterpret_cast<uint8_t*>(header), sizeof header);
    state.position += sizeof header;
    state.ReadSubBlocks();
    if (std::memcmp(header + 1, "NETSCAPE2.0", 11) == 0) {
      // The byte after the sub-block identifier holds the loop count, low byte first.
      const uint8_t low = state.data.size() > 1 ? state.data[1] : 0;
      const uint8_t high = state.data.size() > 2 ? state.data[2] : 0;
      animationLoops_ = int16_t(low | (high << 8));
      hasLoopingBlock_ = true;
    }
  } else if (label == kGraphicControlLabel) {
    state.Copy(state.pendingControl.data(), state.pendingControl.size());
    state.position += state.pendingControl.size();
  } else if (label == kCommentLabel) {
    // Comment counts are 16-bit: past 32767 comments in one place the rest are left out.
    if (state.pendingComments.size() > size_t(INT16_MAX)) {
      state.SkipSubBlocks();
      state.commentsLeftOut = true;
    } else {
      state.ReadSubBlocks();
      state.pendingComments.emplace_back(state.data.begin(), state.data.end());
    }
  } else {
    state.SkipSubBlocks();
  }
}

// The load proper; LoadFromStream turns what it throws into an answer.
bool cGIF::ReadStream(ReadState& state) {
  Destroy();
  loadError_.clear();
  loadNote_.clear();
  loadDamage_ = LoadDamage{};
  uint8_t header[6];
  state.Copy(header, sizeof header);
  if (!state.Holds(5) || !IsGifHeader(std::as_bytes(std::span(header)))) return false;
  state.headerAccepted = true;
  // A file larger than the budget is refused unread: where its output is checked or larger,
  // its bytes are held whole.
  if (state.file != nullptr && state.file->size() > memoryBudget_) {
    loadError_ = FileOverBudget(state.file->size());
    return false;
  }

  state.position = 6;
  state.Copy(screen_.data(), screen_.size());
  state.position = 13;

  const uint8_t flags = screen_[4];
  globalPaletteExists_ = pvGetBits(flags, 0x80) != 0;
  if (globalPaletteExists_) {
    globalPaletteSorted_ = pvGetBits(flags, 0x08) != 0;
    globalPaletteEntries_ = int16_t(1 << (pvGetBits(flags, 0x07) + 1));
    state.ReadColorTable(globalPalette_, globalPaletteEntries_);
  }

  while (state.Holds(state.position)) {
    const uint8_t introducer = state.ByteAt(state.position);
    if (introducer == kExtensionIntroducer) {
      ReadExtension(state);
    } else if (introducer == kImageSeparator) {
      ReadImage(state);
      if (progress_) progress_(double(state.position) / double(state.Size()));
      if (state.overBudget) {
        Destroy();
        loadError_ = "over the memory budget: its frames need more than " +
                     std::to_string(memoryBudget_ >> 20) + " MiB";
        return false;
      }
    } else if (introducer == kTrailer) {
      state.sawTrailer = true;
      break;
    }
    // Steps over the terminator of the block just read, or over a byte that starts no block.
    ++state.position;
  }

  trailingComments_ = std::move(state.pendingComments);
  framesCount_ = state.imageCount;
  const auto note = [this](const std::string& text) {
    loadNote_ += (loadNote_.empty() ? "" : "; ") + text;
  };
  if (state.framesLeftEmpty > 0) {
    note(std::to_string(state.framesLeftEmpty) +
         " frame(s) declare more pixels than the memory budget holds and keep none");
  }
  if (state.framesReplaced) note("images past 32767 replaced the last frame");
  if (state.commentsLeftOut) note("comments past 32767 in one place were left out");
  loadDamage_.endsEarly = !state.sawTrailer;
  loadDamage_.framesOverBudget = state.framesLeftEmpty;
  if (framesCount_ > 0) NoteDamage();
  return framesCount_ > 0;
}

namespace {

// "frame 3", "frames 3 and 5", "frames 3, 5, 8 and 2 more".
std::string FramesText(const std::vector<int16_t>& frames) {
  constexpr size_t kNamed = 3;
  std::string text = frames.size() == 1 ? "frame " : "frames ";
  const size_t named = frames.size() > kNamed + 1 ? kNamed : frames.size();
  for (size_t i = 0; i < named; ++i) {
    if (i > 0) text += i + 1 == named && named == frames.size() ? " and " : ", ";
    text += std::to_string(frames[i]);
  }
  if (named < frames.size()) text += " and " + std::to_string(frames.size() - named) + " more";
  return text;
}

}  // namespace

void cGIF::NoteDamage() {
  const auto note = [this](const std::string& text) {
    loadNote_ += (loadNote_.empty() ? "" : "; ") + text;
  };
  const LoadDamage& d = loadDamage_;
  if (d.endsInFrame > 0) {
    note("the file ends early, in frame " + std::to_string(d.endsInFrame));
  } else if (d.endsEarly) {
    note("the file ends early, before its trailer");
  }
  // A frame the end of the file cut is said above already.
  std::vector<int16_t> endedEarly;
  for (int16_t n : d.framesEndedEarly) {
    if (n != d.endsInFrame) endedEarly.push_back(n);
  }
  if (!endedEarly.empty()) {
    note("the data of " + FramesText(endedEarly) + " ends before the last pixel");
  }
  if (!d.framesCutAtBadCode.empty()) {
    note(FramesText(d.framesCutAtBadCode) + (d.framesCutAtBadCode.size() == 1 ? " is" : " are") +
         " cut at a code that can't be decoded (some decoders read on and show more)");
  }
  std::vector<int16_t> pastTheScreen;
  for (int16_t n : d.framesHeldSmaller) {
    if (std::find(d.framesHeldShort.begin(), d.framesHeldShort.end(), n) ==
        d.framesHeldShort.end()) {
      pastTheScreen.push_back(n);
    }
  }
  if (!pastTheScreen.empty()) {
    note(FramesText(pastTheScreen) + (pastTheScreen.size() == 1 ? " is" : " are") +
         " kept as far as the data and the screen reach (the rest is index 0 past the screen)");
  }
  if (!d.framesHeldShort.empty()) {
    note(FramesText(d.framesHeldShort) + (d.framesHeldShort.size() == 1 ? " is" : " are") +
         " kept as far as the data reaches: the rest would be millions of pixels of index 0, "
         "so it shows what lies under it");
  }
}

void cGIF::ReadImage(ReadState& state) {
  ++state.position;
  // The frame count is 16-bit: past 32767 images each further image replaces the last frame.
  if (state.imageCount < INT16_MAX) {
    ++state.imageCount;
    frames_.emplace_back(cache_);
  } else {
    frames_.back() = Frame(cache_);
    state.framesReplaced = true;
  }
  const int16_t n = state.imageCount;
  framesCount_ = n;
  Frame& frame = frames_[size_t(n)];

  ReadDescriptor(state, frame);

  const uint8_t codeSize = state.ByteAt(state.position);
  ++state.position;
  state.ReadSubBlocks();
  if (state.chainCutOff) loadDamage_.endsInFrame = n;

  // What the data holds decides how much of the frame is held: all of it, unless the data stops
  // before the last pixel (then what it reached and what the screen shows).
  const FrameSize declared{frame.declaredWidth, frame.declaredHeight};
  const mGIFLZWDec::StreamExtent extent = mGIFLZWDec::MeasureStream(
      uint64_t(declared.width) * uint64_t(declared.height), codeSize, state.data);
  if (extent.end == mGIFLZWDec::StreamEnd::EndedEarly) loadDamage_.framesEndedEarly.push_back(n);
  if (extent.end == mGIFLZWDec::StreamEnd::BadCode) loadDamage_.framesCutAtBadCode.push_back(n);
  const FramePlace place{uint16_t(frame.left), uint16_t(frame.top), uint16_t(ScreenWidth()),
                         uint16_t(ScreenHeight())};
  const HeldFrame kept =
      HeldFrameSize(declared, place, frame.interlaced, extent, state.shownFillLeft);
  const FrameSize held = kept.size;
  if (extent.end != mGIFLZWDec::StreamEnd::Complete) {
    state.shownFillLeft -=
        std::min(state.shownFillLeft, uint64_t(held.width) * uint64_t(held.height) - extent.pixels);
  }
  if (held != declared) loadDamage_.framesHeldSmaller.push_back(n);
  if (kept.leavesOutShownPixels) loadDamage_.framesHeldShort.push_back(n);

  if (!MakeFrameSurfaces(state, frame, held.width, held.height)) return;
  pvLoadFrameImage(n, codeSize, state.data);
}

// The frame's graphic control (the last one read before it), comments and image descriptor with
// its colour table.
void cGIF::ReadDescriptor(ReadState& state, Frame& frame) {
  uint8_t descriptor[9];
  state.Copy(descriptor, sizeof descriptor);
  state.position += sizeof descriptor;

  const std::array<uint8_t, 5>& control = state.pendingControl;
  frame.delay = int16_t(control[2] | (control[3] << 8));
  frame.disposalMethod = uint8_t(pvGetBits(control[1], 0x1C));
  frame.userInput = pvGetBits(control[1], 0x02) != 0;
  frame.useTransparentColor = pvGetBits(control[1], 0x01) != 0;
  if (frame.useTransparentColor) frame.transparentColorIndex = control[4];
  state.pendingControl.fill(0);

  frame.comments = std::move(state.pendingComments);
  state.pendingComments.assign(1, std::string());

  frame.left = int16_t(descriptor[0] | (descriptor[1] << 8));
  frame.top = int16_t(descriptor[2] | (descriptor[3] << 8));
  frame.declaredWidth = uint16_t(descriptor[4] | (descriptor[5] << 8));
  frame.declaredHeight = uint16_t(descriptor[6] | (descriptor[7] << 8));
  const uint8_t flags = descriptor[8];
  frame.interlaced = pvGetBits(flags, 0x40) != 0;
  frame.localPaletteUsed = pvGetBits(flags, 0x80) != 0;
  if (frame.localPaletteUsed) {
    frame.localPaletteSorted = pvGetBits(flags, 0x20) != 0;
    frame.localPaletteEntries = int16_t(1 << (pvGetBits(flags, 0x07) + 1));
    state.ReadColorTable(frame.palette, frame.localPaletteEntries);
  } else {
    frame.localPaletteSorted = globalPaletteSorted_;
    frame.localPaletteEntries = globalPaletteEntries_;
    frame.palette = globalPalette_;
  }
}

bool cGIF::MakeFrameSurfaces(ReadState& state, Frame& frame, int32_t width, int32_t height) {
  // Surfaces: a frame whose size can't be held keeps surfaces without pixels. So does one that
  // alone needs more than the memory budget: that must not cost the good frames around it.
  // Beyond that the file must fit: its packed frames together with the two frames a step of the
  // passes holds at once.
  const uint64_t rowBytes = (uint64_t(width) + 3) / 4 * 4;
  const uint64_t maskRowBytes = (uint64_t(width) + 31) / 32 * 4;
  const uint64_t frameBytes = (rowBytes + maskRowBytes) * uint64_t(height);
  if (frameBytes > memoryBudget_) {
    ++state.framesLeftEmpty;
  } else {
    if (cache_.PackedBytes() + state.previousFrameBytes + frameBytes > memoryBudget_) {
      state.overBudget = true;
      return false;
    }
    state.previousFrameBytes = frameBytes;
    try {
      frame.pixels->CreateBlankSurfaces(width, height);
    } catch (const OverflowError&) {
      frame.pixels->ImageForChanging()->Destroy();
      frame.pixels->MaskForChanging()->Destroy();
    }
  }
  return true;
}

void cGIF::pvLoadFrameImage(int16_t nFrame, uint8_t codeSize, std::span<const uint8_t> data) {
  Frame& frame = FrameAt(nFrame);
  const std::shared_ptr<cDIB> image = frame.pixels->ImageForChanging();
  mGIFLZWDec::DecodeFrame(*image, frame.interlaced, codeSize, data);
  PaletteStore table = frame.palette;
  if (frame.useTransparentColor) {
    uint8_t* entry = table.data() + 4 * size_t(uint8_t(frame.transparentColorIndex));
    entry[0] = entry[1] = entry[2] = 0;
  }
  image->SetPalette(table);
  if (frame.useTransparentColor) FrameMask(nFrame, uint8_t(frame.transparentColorIndex));
}

}  // namespace lumatrim
