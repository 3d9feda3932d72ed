// Where a document keeps its frames' pixels. A frame in use holds its two surfaces (image and
// mask) in memory; frames nobody has used for a while are packed (LZW) and give their memory
// back, and are unpacked again when asked for. So a long animation needs the memory of the few
// frames a step works on, plus its packed frames, not the memory of all its frames.
//
// Each document has its own cache: documents share nothing and may be worked on in parallel.
#pragma once

#include <cstdint>
#include <list>
#include <memory>

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

  // The image surface's size, read without unpacking; 0 x 0 when it has no pixels.
  int32_t Width() const;
  int32_t Height() const;

 private:
  friend class FrameCache;
  // One of the two surfaces, with the frame's pixels brought into memory and the frame counted
  // as the most recently used; the changing form also marks the surface changed.
  std::shared_ptr<cDIB> InMemory(const std::shared_ptr<cDIB>& surface);
  std::shared_ptr<cDIB> InMemoryForChanging(const std::shared_ptr<cDIB>& surface,
                                            PackedSurface& packed, bool& changed);
  void BringIn();
  void PackAway();
  bool InUse() const { return image_.use_count() > 1 || mask_.use_count() > 1; }
  uint64_t UnpackedBytes() const;
  void ReplacePacked(PackedSurface& slot, PackedSurface packed);

  FrameCache& cache_;
  std::shared_ptr<cDIB> image_ = std::make_shared<cDIB>();
  std::shared_ptr<cDIB> mask_ = std::make_shared<cDIB>();
  // Valid while the surface is unchanged since it was packed (always, while packed away).
  PackedSurface packedImage_;
  PackedSurface packedMask_;
  bool imageChanged_ = true;
  bool maskChanged_ = true;
  bool packedAway_ = false;
  // Place among the unpacked frames, and the bytes last counted for it there.
  std::list<FramePixels*>::iterator place_;
  uint64_t countedBytes_ = 0;
};

class FrameCache {
 public:
  // Unpacked frames kept beyond those in use. The cost of a small cache is decoding again: the
  // passes walk the frames in order and need at most two at a time, so a cache smaller than the
  // whole document helps little more than one that holds a few frames.
  static constexpr uint64_t kDefaultSize = uint64_t(8) << 20;

  FrameCache() = default;
  FrameCache(const FrameCache&) = delete;
  FrameCache& operator=(const FrameCache&) = delete;

  uint64_t Size() const { return size_; }
  void Size(uint64_t New_Size);
  // All memory the frames may take, packed ones included: the unpacked frames not in use are
  // held to what is left of it by the packed ones.
  void Budget(uint64_t New_Budget);
  // Heap bytes of every packed form held.
  uint64_t PackedBytes() const { return packedBytes_; }
  // Pixel bytes of the frames unpacked now, as last counted.
  uint64_t UnpackedBytes() const { return unpackedBytes_; }

 private:
  friend class FramePixels;
  // The frame was just used: it is now the most recent; others make room.
  void Used(FramePixels& frame);
  void Forget(FramePixels& frame);
  void MakeRoom(const FramePixels& keep);
  uint64_t Capacity() const;

  std::list<FramePixels*> unpacked_;  // most recently used first
  uint64_t size_ = kDefaultSize;
  uint64_t budget_ = UINT64_MAX;
  uint64_t packedBytes_ = 0;
  uint64_t unpackedBytes_ = 0;
};

}  // namespace lumatrim
