// cGIF: one GIF file in memory. The logical screen, the global palette, the frames (position,
// control data, palette store, comments and two surfaces each) and the comments after the last
// frame. Properties are plain get/set pairs (the setter takes the new value as its last
// argument); they store values unchanged and never keep the document consistent: that is the
// caller's task.
//
// Frames are numbered 1 to FramesCount; record 0 is a spare empty record that only a wrong index
// reaches. Comment lists work the same way, with the empty comment 0. A number outside 0..count
// throws SubscriptOutOfRange; a value that does not fit its field throws OverflowError. Both
// leave the document unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "files/input_file.h"
#include "gif/frame_cache.h"
#include "raster/dib.h"
#include "raster/errors.h"
#include "raster/result.h"
#include "raster/work_pool.h"

namespace lumatrim {

// A palette store: 256 entries of 4 bytes in the order blue, green, red, reserved.
using PaletteStore = std::array<uint8_t, 1024>;

// The bytes of a GIF file, read the way LoadFromFile reads them: a folder, pipe or device is
// refused unopened, a file that does not start with a GIF signature after its first 6 bytes, and
// one larger than budget unread. An empty file gives no bytes.
struct GifFileBytes {
  std::vector<uint8_t> bytes;
  // The file's size or time changed while it was read (another program was writing it): the
  // bytes may be neither the old file nor the new one.
  bool changedWhileRead = false;
};
Result<GifFileBytes> ReadGifFile(const std::string& path, uint64_t budget);
// The same for a file already open, which stays open (to be asked later whether it changed).
Result<GifFileBytes> ReadGifFile(InputFile& file, uint64_t budget);

// Where a loaded file stops being whole. The reader reads on as far as it can; LoadNote says the
// same in words. Frame numbers are those of the loaded document.
struct LoadDamage {
  bool endsEarly = false;   // the data ends before the trailer: the file was cut short
  int16_t endsInFrame = 0;  // the frame whose data the end of the file cuts, 0 for none
  // Frames whose codes stop before their last pixel: at the end code or the end of the data, or
  // cut at a code the table does not hold yet (decoders that guess at it show more).
  std::vector<int16_t> framesEndedEarly;
  std::vector<int16_t> framesCutAtBadCode;
  // Frames of those held smaller than they declare: what their data reached and the screen
  // shows of them (the rest would be pixels of index 0 that nothing shows).
  std::vector<int16_t> framesHeldSmaller;
  // Frames of those held short on the screen too: they would have held millions of pixels of
  // index 0 past their data (see HeldFrameSize).
  std::vector<int16_t> framesHeldShort;
  // Frames that alone need more than the memory budget: they are held without pixels, so that a
  // reduction of the document would lose their pictures.
  int64_t framesOverBudget = 0;
};

class cGIF {
 public:
  cGIF();
  ~cGIF();
  cGIF(const cGIF&) = delete;
  cGIF& operator=(const cGIF&) = delete;

  // Reading (lenient: once the header is accepted, nothing stops the load but the end of data).
  bool LoadFromFile(const std::string& Filename);
  bool LoadFromStream(std::span<const uint8_t> Stream);
  // Reads an open file from its start a piece at a time, so that its bytes are not held beside
  // its frames; a file larger than the memory budget is refused, as by ReadGifFile. A file that
  // ends before the size it had when opened is read as far as it goes. The pieces are large
  // enough that reads are few, and small beside the frames of a file worth reading this way.
  static constexpr uint64_t kReadPieceBytes = 1u << 20;
  bool LoadFromOpenFile(InputFile& file, uint64_t pieceBytes = kReadPieceBytes);
  // Writing: the whole file or nothing. Only a regular file (or nothing) at Filename is replaced.
  bool Save(const std::string& Filename);
  // Writes one frame's image data: the LZW minimum code size byte and the data sub-blocks,
  // without the block terminator. paletteBits is that of the colour table the frame draws with.
  using FrameDataWriter =
      std::function<void(std::vector<uint8_t>& out, int16_t nFrame, int paletteBits)>;
  // Save with the image data of every frame from writeFrameData instead of the built-in encoder.
  bool Save(const std::string& Filename, const FrameDataWriter& writeFrameData);
  // The bytes Save would write, into out.
  bool SaveToMemory(std::vector<uint8_t>& out, const FrameDataWriter& writeFrameData);
  // The same with the built-in encoder, for a document that is done with: each frame's pixels
  // go as soon as its image data is written, so that the output grows as the frames shrink. The
  // frames keep everything but their pixels.
  bool SaveToMemoryLettingFramesGo(std::vector<uint8_t>& out);
  // Another encoder's image data of frame n: its LZW minimum code size byte and data
  // sub-blocks. It is asked for a window of frames at once on the document's workers, so that
  // it must be safe to call from several threads.
  using ImageDataEncoder = std::function<std::vector<uint8_t>(int16_t nFrame)>;
  // The same with the image data of every frame from encode.
  bool SaveToMemoryLettingFramesGo(std::vector<uint8_t>& out, const ImageDataEncoder& encode);
  void Destroy();

  // Rendering.
  void FrameMask(int16_t nFrame, uint8_t TransparentColorIndex);
  void FrameDraw(cDIB* hDC, int16_t nFrame, int16_t Left, int16_t Top, float ScaleFactor,
                 bool ScreenCrop);
  cDIB FrameImage(int16_t nFrame);

  // Frame list editing.
  void FrameInsert(int16_t nFrame, int16_t Width, int16_t Height, bool UseGlobalPalette);
  void FrameClone(int16_t nFrame);
  void FrameRemove(int16_t nFrame);
  void FrameMoveUp(int16_t nFrame);
  void FrameMoveDown(int16_t nFrame);
  void FrameCommentAdd(int16_t nFrame);
  void FrameCommentRemoveAll(int16_t nFrame);
  void TrailingCommentAdd();
  void TrailingCommentRemoveAll();

  // Document properties.
  int16_t AnimationLoops() const { return animationLoops_; }
  void AnimationLoops(int16_t New_AnimationLoops);
  // Whether a looping block is written: the loaded file had one, or AnimationLoops was set.
  bool HasLoopingBlock() const { return hasLoopingBlock_; }
  void HasLoopingBlock(bool New_HasLoopingBlock) { hasLoopingBlock_ = New_HasLoopingBlock; }
  int16_t TrailingCommentsCount() const;
  std::string TrailingComment(int16_t nComment) const;
  void TrailingComment(int16_t nComment, const std::string& New_TrailingComment);
  int16_t ScreenWidth() const;
  void ScreenWidth(int16_t New_ScreenWidth);
  int16_t ScreenHeight() const;
  void ScreenHeight(int16_t New_ScreenHeight);
  uint8_t ScreenBackgroundColorIndex() const { return screen_[5]; }
  void ScreenBackgroundColorIndex(uint8_t New_ScreenBackgroundColorIndex) {
    screen_[5] = New_ScreenBackgroundColorIndex;
  }
  float ScreenPixelAspectRatio() const;
  void ScreenPixelAspectRatio(float New_ScreenPixelAspectRatio);
  // The stored aspect byte, as the file holds it.
  uint8_t ScreenPixelAspectByte() const { return screen_[6]; }
  uint8_t* lpGlobalPalette() { return globalPalette_.data(); }
  const uint8_t* lpGlobalPalette() const { return globalPalette_.data(); }
  uint32_t GlobalPaletteColor(uint8_t nEntry) const;
  bool GlobalPaletteExists() const { return globalPaletteExists_; }
  void GlobalPaletteExists(bool New_GlobalPaletteExists) {
    globalPaletteExists_ = New_GlobalPaletteExists;
  }
  bool GlobalPaletteSorted() const { return globalPaletteSorted_; }
  void GlobalPaletteSorted(bool New_GlobalPaletteSorted) {
    globalPaletteSorted_ = New_GlobalPaletteSorted;
  }
  int16_t GlobalPaletteEntries() const { return globalPaletteEntries_; }
  void GlobalPaletteEntries(int16_t New_GlobalPaletteEntries) {
    globalPaletteEntries_ = New_GlobalPaletteEntries;
  }
  int16_t FramesCount() const { return framesCount_; }

  // Frame properties.
  // The frame's surfaces with their pixels in memory. Through a changeable document they may be
  // changed (pixels, colour table, recreated); through a const one they are read. The pixels
  // stay in memory while the returned pointer is held, so hold it while using them.
  std::shared_ptr<cDIB> FrameDIBXOR(int16_t nFrame) {
    return FrameAt(nFrame).pixels->ImageForChanging();
  }
  std::shared_ptr<const cDIB> FrameDIBXOR(int16_t nFrame) const {
    return FrameAt(nFrame).pixels->ImageForReading();
  }
  std::shared_ptr<cDIB> FrameDIBAND(int16_t nFrame) {
    return FrameAt(nFrame).pixels->MaskForChanging();
  }
  std::shared_ptr<const cDIB> FrameDIBAND(int16_t nFrame) const {
    return FrameAt(nFrame).pixels->MaskForReading();
  }
  // Gives the frame's image surface a colour table without counting its pixels changed, so
  // that a change of palette alone does not unpack and pack the frame again.
  void SetFrameImagePalette(int16_t nFrame, std::span<const uint8_t> palette) {
    FrameAt(nFrame).pixels->SetImagePalette(palette);
  }
  int16_t FrameDelay(int16_t nFrame) const { return FrameAt(nFrame).delay; }
  void FrameDelay(int16_t nFrame, int16_t New_Delay) { FrameAt(nFrame).delay = New_Delay; }
  bool FrameInterlaced(int16_t nFrame) const { return FrameAt(nFrame).interlaced; }
  void FrameInterlaced(int16_t nFrame, bool New_Interlaced) {
    FrameAt(nFrame).interlaced = New_Interlaced;
  }
  int16_t FrameLeft(int16_t nFrame) const { return FrameAt(nFrame).left; }
  void FrameLeft(int16_t nFrame, int16_t New_FrameLeft) { FrameAt(nFrame).left = New_FrameLeft; }
  int16_t FrameTop(int16_t nFrame) const { return FrameAt(nFrame).top; }
  void FrameTop(int16_t nFrame, int16_t New_FrameTop) { FrameAt(nFrame).top = New_FrameTop; }
  int32_t FrameDisposalMethod(int16_t nFrame) const { return FrameAt(nFrame).disposalMethod; }
  // Throws OverflowError for a value that does not fit the stored byte.
  void FrameDisposalMethod(int16_t nFrame, int32_t New_DisposalMethod);
  bool FrameUseTransparentColor(int16_t nFrame) const {
    return FrameAt(nFrame).useTransparentColor;
  }
  void FrameUseTransparentColor(int16_t nFrame, bool New_UseTransparentColor) {
    FrameAt(nFrame).useTransparentColor = New_UseTransparentColor;
  }
  uint8_t FrameTransparentColorIndex(int16_t nFrame) const {
    return uint8_t(FrameAt(nFrame).transparentColorIndex);
  }
  void FrameTransparentColorIndex(int16_t nFrame, uint8_t New_TransparentColorIndex) {
    FrameAt(nFrame).transparentColorIndex = New_TransparentColorIndex;
  }
  bool FrameUserInput(int16_t nFrame) const { return FrameAt(nFrame).userInput; }
  void FrameUserInput(int16_t nFrame, bool New_FrameUserInput) {
    FrameAt(nFrame).userInput = New_FrameUserInput;
  }
  uint8_t* lpFramePalette(int16_t nFrame) { return FrameAt(nFrame).palette.data(); }
  const uint8_t* lpFramePalette(int16_t nFrame) const { return FrameAt(nFrame).palette.data(); }
  uint32_t lpFramePaletteColor(int16_t nFrame, uint8_t nEntry) const;
  bool LocalPaletteUsed(int16_t nFrame) const { return FrameAt(nFrame).localPaletteUsed; }
  void LocalPaletteUsed(int16_t nFrame, bool New_LocalPaletteUsed) {
    FrameAt(nFrame).localPaletteUsed = New_LocalPaletteUsed;
  }
  bool LocalPaletteSorted(int16_t nFrame) const { return FrameAt(nFrame).localPaletteSorted; }
  void LocalPaletteSorted(int16_t nFrame, bool New_LocalPaletteSorted) {
    FrameAt(nFrame).localPaletteSorted = New_LocalPaletteSorted;
  }
  int16_t LocalPaletteEntries(int16_t nFrame) const { return FrameAt(nFrame).localPaletteEntries; }
  void LocalPaletteEntries(int16_t nFrame, int16_t New_LocalPaletteEntries) {
    FrameAt(nFrame).localPaletteEntries = New_LocalPaletteEntries;
  }
  int16_t FrameCommentsCount(int16_t nFrame) const;
  std::string FrameComment(int16_t nFrame, int16_t nComment) const;
  void FrameComment(int16_t nFrame, int16_t nComment, const std::string& New_FrameComment);

  // The bytes one document's frames may take: the packed frames together with the frames that one
  // step holds in memory at once (two, the frame and the one before it). A file that would need
  // more does not load, and a frame whose surfaces alone need more keeps no pixels (a few bytes
  // can declare thousands of frames of 65535 x 65535 pixels). A file larger than the budget is
  // not read at all.
  // Told how far a load or save has come, from 0 to 1 (the share of the stream read, or of the
  // frames written), on the thread doing it; none by default.
  using StepProgress = std::function<void(double)>;
  void ProgressReport(StepProgress New_ProgressReport) {
    progress_ = std::move(New_ProgressReport);
  }

  // Threads that the steps working on each frame by itself may share out their frames to (the
  // document does not own them); none by default: every frame on the calling thread.
  WorkPool* Workers() const { return workers_; }
  void Workers(WorkPool* New_Workers) { workers_ = New_Workers; }

  static constexpr uint64_t kDefaultMemoryBudget = uint64_t(1) << 30;
  uint64_t MemoryBudget() const { return memoryBudget_; }
  void MemoryBudget(uint64_t New_MemoryBudget);
  // The bytes of unpacked frames kept in memory besides those in use (see FrameCache).
  uint64_t FrameCacheSize() const { return cache_.Size(); }
  void FrameCacheSize(uint64_t New_FrameCacheSize) { cache_.Size(New_FrameCacheSize); }
  // Where the frames' memory stands now: packed bytes and unpacked pixel bytes.
  const FrameCache& Frames() const { return cache_; }
  // Why the last load answered false ("not a GIF file", "not a regular file", the system's
  // error text...). Loading never throws: every failure is an answer of false and a reason.
  const std::string& LoadError() const { return loadError_; }
  // The bytes the last load read.
  size_t LoadedBytes() const { return loadedBytes_; }
  // What the last successful load left out, if anything (frames too large to hold, comments
  // past the 16-bit count); empty when the document holds all of the file.
  const std::string& LoadNote() const { return loadNote_; }
  // What the last load found damaged; empty when the file was whole.
  const LoadDamage& Damage() const { return loadDamage_; }
  // Why the last save answered false: the system's error text ("Permission denied", "File too
  // large"...), "not a regular file" for a target Save does not replace, or the value that does
  // not fit. Empty after a successful save and after a load.
  const std::string& SaveError() const { return saveError_; }

  // Width and height of a frame as the file stores them (unsigned 16-bit).
  uint16_t FrameWidth(int16_t nFrame) const;
  uint16_t FrameHeight(int16_t nFrame) const;
  // The size of the frame's image surface, 0 x 0 when it has none, read without bringing its
  // pixels into memory.
  int32_t FrameSurfaceWidth(int16_t nFrame) const { return FrameAt(nFrame).pixels->Width(); }
  int32_t FrameSurfaceHeight(int16_t nFrame) const { return FrameAt(nFrame).pixels->Height(); }

 private:
  // Comment lists hold the empty comment 0 in front of comments 1..count.
  using CommentList = std::vector<std::string>;

  // A frame's fields besides its pixels.
  struct FrameFields {
    int16_t left = 0;
    int16_t top = 0;
    bool interlaced = false;
    bool useTransparentColor = false;
    int16_t transparentColorIndex = 0;
    int16_t delay = 0;
    uint8_t disposalMethod = 0;
    bool userInput = false;
    bool localPaletteUsed = false;
    bool localPaletteSorted = false;
    int16_t localPaletteEntries = 0;
    PaletteStore palette{};
    CommentList comments{std::string()};
    // Width and height the file declared; the surfaces hold them once they exist.
    uint16_t declaredWidth = 0;
    uint16_t declaredHeight = 0;
  };

  struct Frame : FrameFields {
    explicit Frame(FrameCache& cache) : pixels(std::make_unique<FramePixels>(cache)) {}
    // The image and mask surfaces.
    std::unique_ptr<FramePixels> pixels;
  };

  Frame& FrameAt(int16_t nFrame);
  const Frame& FrameAt(int16_t nFrame) const;
  void CheckFrameRange(int16_t nFrame, int16_t first, int16_t last) const;
  static int16_t CommentCount(const CommentList& list);
  static void CheckCommentIndex(const CommentList& list, int16_t nComment);

  // Reader helpers (gif_reader.cpp).
  struct ReadState;
  bool Load(ReadState& state);
  bool ReadStream(ReadState& state);
  void ReadImage(ReadState& state);
  void ReadDescriptor(ReadState& state, Frame& frame);
  void pvLoadFrameImage(int16_t nFrame, uint8_t codeSize, std::span<const uint8_t> data);
  void NoteDamage();
  void ReadExtension(ReadState& state);
  // Gives a frame surfaces of the size held, within the memory budget; false when the file can't
  // fit it (the load ends).
  bool MakeFrameSurfaces(ReadState& state, Frame& frame, int32_t width, int32_t height);
  // Writer helper (gif_writer.cpp): appends each text as one comment extension.
  static void pvWriteComments(std::vector<uint8_t>& out, const CommentList& comments);
  // The parts of a saved file: header, screen, global table and looping block (answering the
  // screen's flag byte); a frame's control block, descriptor and local table (answering the bits
  // of the table its image data codes against); and the image data of the built-in encoder.
  uint8_t PutScreen(std::vector<uint8_t>& out) const;
  int PutFrameHead(std::vector<uint8_t>& out, int16_t n) const;
  int FrameTableBits(int16_t n) const;
  std::vector<uint8_t> EncodeImageData(int16_t n) const;
  bool SaveToMemory(std::vector<uint8_t>& out, const FrameDataWriter& writeFrameData,
                    const ImageDataEncoder& encode, bool letFramesGo);

  // The 7 bytes of the logical screen descriptor in file order.
  std::array<uint8_t, 7> screen_{};
  int16_t animationLoops_ = 0;
  bool hasLoopingBlock_ = false;
  bool globalPaletteExists_ = false;
  bool globalPaletteSorted_ = false;
  int16_t globalPaletteEntries_ = 0;
  PaletteStore globalPalette_{};
  CommentList trailingComments_{std::string()};
  int16_t framesCount_ = 0;
  // Declared before the frames, which leave it when they go.
  FrameCache cache_;
  WorkPool* workers_ = nullptr;
  StepProgress progress_;
  std::vector<Frame> frames_;
  uint64_t memoryBudget_ = kDefaultMemoryBudget;
  std::string loadError_;
  std::string loadNote_;
  size_t loadedBytes_ = 0;  // the size of the stream last loaded
  LoadDamage loadDamage_;
  std::string saveError_;
};

// Narrows a count to the 16-bit fields of the document, or throws OverflowError.
int16_t CheckedInt16(int64_t value);

}  // namespace lumatrim
