#include "gif/frame_cache.h"

#include <algorithm>
#include <utility>

namespace lumatrim {

FramePixels::FramePixels(FrameCache& cache) : cache_(cache) {
  place_ = cache_.unpacked_.insert(cache_.unpacked_.begin(), this);
}

FramePixels::~FramePixels() {
  cache_.Forget(*this);
}

std::shared_ptr<const cDIB> FramePixels::ImageForReading() {
  return InMemory(image_);
}

std::shared_ptr<cDIB> FramePixels::ImageForChanging() {
  return InMemoryForChanging(image_, packedImage_, imageChanged_);
}

std::shared_ptr<const cDIB> FramePixels::MaskForReading() {
  return InMemory(mask_);
}

std::shared_ptr<cDIB> FramePixels::MaskForChanging() {
  return InMemoryForChanging(mask_, packedMask_, maskChanged_);
}

std::shared_ptr<cDIB> FramePixels::InMemory(const std::shared_ptr<cDIB>& surface) {
  BringIn();
  cache_.Used(*this);
  return surface;
}

std::shared_ptr<cDIB> FramePixels::InMemoryForChanging(const std::shared_ptr<cDIB>& surface,
                                                       PackedSurface& packed, bool& changed) {
  BringIn();
  // The packed form no longer stands for the pixels: its memory goes now, before the cache
  // counts what this frame holds.
  changed = true;
  ReplacePacked(packed, PackedSurface());
  cache_.Used(*this);
  return surface;
}

int32_t FramePixels::Width() const {
  if (packedAway_) return packedImage_.Width();
  return image_->lpBits() ? image_->Width() : 0;
}

int32_t FramePixels::Height() const {
  if (packedAway_) return packedImage_.Height();
  return image_->lpBits() ? image_->Height() : 0;
}

void FramePixels::BringIn() {
  if (!packedAway_) return;
  try {
    packedImage_.UnpackTo(*image_);
    packedMask_.UnpackTo(*mask_);
  } catch (...) {
    image_->Destroy();
    mask_->Destroy();
    throw;
  }
  packedAway_ = false;
  countedBytes_ = 0;
  place_ = cache_.unpacked_.insert(cache_.unpacked_.begin(), this);
}

void FramePixels::PackAway() {
  if (imageChanged_) ReplacePacked(packedImage_, PackedSurface::Pack(*image_));
  if (maskChanged_) ReplacePacked(packedMask_, PackedSurface::Pack(*mask_));
  imageChanged_ = maskChanged_ = false;
  image_->Destroy();
  mask_->Destroy();
  packedAway_ = true;
}

uint64_t FramePixels::UnpackedBytes() const {
  return uint64_t(image_->Size()) + uint64_t(mask_->Size());
}

void FramePixels::ReplacePacked(PackedSurface& slot, PackedSurface packed) {
  cache_.packedBytes_ -= slot.Bytes();
  slot = std::move(packed);
  cache_.packedBytes_ += slot.Bytes();
}

void FrameCache::Size(uint64_t New_Size) {
  size_ = New_Size;
}

void FrameCache::Budget(uint64_t New_Budget) {
  budget_ = New_Budget;
}

uint64_t FrameCache::Capacity() const {
  return budget_ > packedBytes_ ? std::min(size_, budget_ - packedBytes_) : 0;
}

void FrameCache::Used(FramePixels& frame) {
  unpacked_.splice(unpacked_.begin(), unpacked_, frame.place_);
  unpackedBytes_ -= frame.countedBytes_;
  frame.countedBytes_ = frame.UnpackedBytes();
  unpackedBytes_ += frame.countedBytes_;
  MakeRoom(frame);
}

void FrameCache::Forget(FramePixels& frame) {
  packedBytes_ -= frame.packedImage_.Bytes() + frame.packedMask_.Bytes();
  if (frame.packedAway_) return;
  unpackedBytes_ -= frame.countedBytes_;
  unpacked_.erase(frame.place_);
}

// Packs the least recently used frames that are not in use until the rest fit. A frame in use
// stays whatever it costs: the step that holds it needs it.
void FrameCache::MakeRoom(const FramePixels& keep) {
  const uint64_t capacity = Capacity();
  auto it = unpacked_.end();
  while (unpackedBytes_ > capacity && it != unpacked_.begin()) {
    --it;
    FramePixels& frame = **it;
    if (&frame == &keep || frame.InUse()) continue;
    frame.PackAway();
    unpackedBytes_ -= frame.countedBytes_;
    frame.countedBytes_ = 0;
    it = unpacked_.erase(it);
  }
}

}  // namespace lumatrim
