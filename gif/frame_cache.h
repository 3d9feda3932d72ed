// Where a document keeps its frames' pixels. A frame in use holds its two surfaces (image and
// mask) in memory; frames nobody has used for a while are packed (LZW) and give their memory
// back, and are unpacked again when asked for. So a long animation needs the memory of the few
// frames a step works on, plus its packed frames, not the memory of all its frames.
//
// Each document has its own cache: documents share nothing and may be worked on in parallel.
// Within a document, the frames may be asked for from several threads at once (a step that works
// on each frame by itself, on a WorkPool): each frame has a lock of its own for its pixels, and
// the cache a lock for its list and counts, so frames are packed and unpacked in parallel.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "gif/packed_surface.h"
#include "raster/dib.h"

namespace lumatrim {

class FrameCache;

// One frame's image and mask surfaces. The surface objects stay the same for the frame's whole
// life; only their pixel memory comes and goes. A surface handed out is in use while a
// shared_ptr to it is held: the cache never packs a frame in use.
class FramePixels {
 public:
  explicit FramePixels(FrameCache& cache);
  ~FramePixels();
  FramePixels(const FramePixels&) = delete;
  FramePixels& operator=(const FramePixels&) = delete;

  // The surfaces with their pixels in memory. The changing forms count the surface as changed:
  // it is packed anew when it leaves memory.
  std::shared_ptr<const cDIB> ImageForReading();
  std::shared_ptr<cDIB> ImageForChanging();
  std::shared_ptr<const cDIB> MaskForReading();
  std::shared_ptr<cDIB> MaskForChanging();

  // Gives the image surface this colour table, in memory and packed, without counting its pixels
  // changed: a frame that only changes its palette is not unpacked or packed again.
  void SetImagePalette(std::span<const uint8_t> palette);
  // Gives the frame a new blank image (8 bits) and mask (1 bit) of this size, in memory the cache
  // keeps spare where it has some; a size of 0 or less gives none. Throws OverflowError as
  // cDIB::Create does.
  void CreateBlankSurfaces(int32_t width, int32_t height);

  // Gives up the frame's pixels, in memory and packed: the frame has none from now on. A surface
  // still handed out keeps its memory until it is let go.
  void LetGo();

  // The image surface's size, read without unpacking; 0 x 0 when it has no pixels.
  int32_t Width() const;
  int32_t Height() const;

 private:
  friend class FrameCache;
  // Where the frame stands in the cache; guarded by the cache's lock.
  enum class Place { Listed, Leaving, PackedAway };

  // One of the two surfaces, with the frame's pixels brought into memory and the frame counted
  // as the most recently used. For changing (packed and changed given), the surface is also
  // marked changed, and its packed form goes.
  std::shared_ptr<cDIB> InMemory(const std::shared_ptr<cDIB>& surface,
                                 PackedSurface* packed = nullptr, bool* changed = nullptr);
  // These three run under the frame's lock.
  void BringIn();
  // Answers the change in packed bytes.
  int64_t PackAway();
  // Whether a surface is handed out. Read under the frame's lock it is exact; elsewhere a hint.
  bool InUse() const { return guard_->holders.load() > 0; }
  uint64_t UnpackedBytes() const;
  // surface as handed out: while it is held the frame counts as in use, and letting it go takes
  // the frame's lock, so that a packer that takes the lock after it sees what the holder wrote.
  std::shared_ptr<cDIB> HandOut(const std::shared_ptr<cDIB>& surface);

  // The frame's lock and its count of surfaces handed out, shared with what is handed out, which
  // may outlive the frame.
  struct Guard {
    std::mutex mutex;
    std::atomic<int> holders{0};
  };

  FrameCache& cache_;
  // Its lock guards the surfaces' memory, the packed forms and the flags below.
  std::shared_ptr<Guard> guard_ = std::make_shared<Guard>();
  std::shared_ptr<cDIB> image_ = std::make_shared<cDIB>();
  std::shared_ptr<cDIB> mask_ = std::make_shared<cDIB>();
  // Valid while the surface is unchanged since it was packed (always, while packed away).
  PackedSurface packedImage_;
  PackedSurface packedMask_;
  bool imageChanged_ = true;
  bool maskChanged_ = true;
  bool packedAway_ = false;
  // Under the cache's lock: where the frame stands, its place among the unpacked frames, and
  // the bytes last counted for it there.
  Place place_ = Place::Listed;
  std::list<FramePixels*>::iterator listed_;
  uint64_t countedBytes_ = 0;
};

class FrameCache {
 public:
  // Unpacked frames kept beyond those in use. The cost of a small cache is decoding again: the
  // passes walk the frames in order and need at most two at a time, so a cache smaller than the
  // whole document helps little more than one that holds a few frames.
  static constexpr uint64_t kDefaultSize = uint64_t(4) << 20;

  FrameCache() = default;
  FrameCache(const FrameCache&) = delete;
  FrameCache& operator=(const FrameCache&) = delete;

  uint64_t Size() const;
  void Size(uint64_t New_Size);
  // All memory the frames may take, packed ones included: the unpacked frames not in use are
  // held to what is left of it by the packed ones.
  void Budget(uint64_t New_Budget);
  // Heap bytes of every packed form held.
  uint64_t PackedBytes() const;
  // Pixel bytes of the frames unpacked now, as last counted.
  uint64_t UnpackedBytes() const;

 private:
  friend class FramePixels;
  // The frame was just used, holding bytes, its packed forms having changed by packedChange: it
  // is now the most recent. Answers the frames to pack away to make room, taken off the list.
  std::vector<FramePixels*> Used(FramePixels& frame, uint64_t bytes, int64_t packedChange);
  // Packs the frames Used chose, unless they were taken into use meanwhile.
  void PackAway(const std::vector<FramePixels*>& leaving);
  void Forget(FramePixels& frame);
  // The memory of a surface packed away, kept for the next frame of its size and depth to be
  // unpacked into: frames come and go at a great rate, and giving the memory back each time
  // costs more than the packing (the system clears every page it hands out again).
  void KeepSpare(cDIB&& surface);
  // Moves a spare of this size and depth into surface; answers whether there was one.
  bool TakeSpare(int32_t width, int32_t height, int32_t bpp, cDIB& surface);
  uint64_t Capacity() const;

  mutable std::mutex mutex_;          // guards what follows, and each frame's place
  std::list<FramePixels*> unpacked_;  // most recently used first
  uint64_t size_ = kDefaultSize;
  uint64_t budget_ = UINT64_MAX;
  uint64_t packedBytes_ = 0;
  uint64_t unpackedBytes_ = 0;

  std::mutex sparesMutex_;  // guards the spares alone, and is taken under no other lock
  // A list: the oldest goes from the front and any may be taken, and a small frame's spares are
  // many (a vector moved every later surface, palette and all, at each of them).
  std::list<cDIB> spares_;
  uint64_t spareBytes_ = 0;
};

}  // namespace lumatrim
