#include "gif/frame_cache.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace lumatrim {

FramePixels::FramePixels(FrameCache& cache) : cache_(cache) {
  std::lock_guard lock(cache_.mutex_);
  listed_ = cache_.unpacked_.insert(cache_.unpacked_.begin(), this);
}

FramePixels::~FramePixels() {
  cache_.Forget(*this);
}

std::shared_ptr<const cDIB> FramePixels::ImageForReading() {
  return InMemory(image_);
}

std::shared_ptr<cDIB> FramePixels::ImageForChanging() {
  return InMemory(image_, &packedImage_, &imageChanged_);
}

std::shared_ptr<const cDIB> FramePixels::MaskForReading() {
  return InMemory(mask_);
}

std::shared_ptr<cDIB> FramePixels::MaskForChanging() {
  return InMemory(mask_, &packedMask_, &maskChanged_);
}

std::shared_ptr<cDIB> FramePixels::InMemory(const std::shared_ptr<cDIB>& surface,
                                            PackedSurface* packed, bool* changed) {
  std::shared_ptr<cDIB> held;
  uint64_t bytes = 0;
  int64_t packedChange = 0;
  {
    std::lock_guard lock(guard_->mutex);
    BringIn();
    if (packed != nullptr) {
      // The packed form no longer stands for the pixels: its memory goes now, before the cache
      // counts what this frame holds.
      *changed = true;
      packedChange -= int64_t(packed->Bytes());
      *packed = PackedSurface();
    }
    held = HandOut(surface);
    bytes = UnpackedBytes();
  }
  cache_.PackAway(cache_.Used(*this, bytes, packedChange));
  return held;
}

std::shared_ptr<cDIB> FramePixels::HandOut(const std::shared_ptr<cDIB>& surface) {
  ++guard_->holders;
  return std::shared_ptr<cDIB>(surface.get(), [guard = guard_, surface](cDIB*) {
    std::lock_guard lock(guard->mutex);
    --guard->holders;
  });
}

void FramePixels::SetImagePalette(std::span<const uint8_t> palette) {
  std::lock_guard lock(guard_->mutex);
  if (!packedAway_) image_->SetPalette(palette);
  // The packed form stands for the image while it is unchanged (always, while packed away).
  if (packedAway_ || !imageChanged_) packedImage_.SetPalette(palette);
}

void FramePixels::CreateBlankSurfaces(int32_t width, int32_t height) {
  const auto blank = [&](cDIB& surface, int32_t bpp) {
    if (cDIB::SizeFor(width, height, bpp) <= 0) {
      surface.Destroy();
      return;
    }
    // Memory the system hands out fresh costs a fault per page; a spare is cleared instead.
    if (cache_.TakeSpare(width, height, bpp, surface) &&
        surface.CreateForOverwrite(width, height, bpp)) {
      std::memset(surface.lpBits(), 0, size_t(surface.Size()));
    } else {
      surface.Create(width, height, bpp);
    }
  };
  const std::shared_ptr<cDIB> image = ImageForChanging();
  const std::shared_ptr<cDIB> mask = MaskForChanging();
  blank(*image, 8);
  blank(*mask, 1);
}

void FramePixels::LetGo() {
  int64_t packedChange = 0;
  uint64_t bytes = 0;
  {
    std::lock_guard lock(guard_->mutex);
    packedChange -= int64_t(packedImage_.Bytes() + packedMask_.Bytes());
    packedImage_ = PackedSurface();
    packedMask_ = PackedSurface();
    imageChanged_ = maskChanged_ = true;
    packedAway_ = false;
    if (!InUse()) {
      image_->Destroy();
      mask_->Destroy();
    }
    bytes = UnpackedBytes();
  }
  cache_.PackAway(cache_.Used(*this, bytes, packedChange));
}

int32_t FramePixels::Width() const {
  std::lock_guard lock(guard_->mutex);
  if (packedAway_) return packedImage_.Width();
  return image_->lpBits() ? image_->Width() : 0;
}

int32_t FramePixels::Height() const {
  std::lock_guard lock(guard_->mutex);
  if (packedAway_) return packedImage_.Height();
  return image_->lpBits() ? image_->Height() : 0;
}

void FramePixels::BringIn() {
  if (!packedAway_) return;
  cache_.TakeSpare(packedImage_.Width(), packedImage_.Height(), packedImage_.Bpp(), *image_);
  cache_.TakeSpare(packedMask_.Width(), packedMask_.Height(), packedMask_.Bpp(), *mask_);
  try {
    packedImage_.UnpackTo(*image_);
    packedMask_.UnpackTo(*mask_);
  } catch (...) {
    image_->Destroy();
    mask_->Destroy();
    throw;
  }
  packedAway_ = false;
}

int64_t FramePixels::PackAway() {
  int64_t change = 0;
  const auto repack = [&change](PackedSurface& slot, const cDIB& surface) {
    change -= int64_t(slot.Bytes());
    slot = PackedSurface::Pack(surface);
    change += int64_t(slot.Bytes());
  };
  if (imageChanged_) repack(packedImage_, *image_);
  if (maskChanged_) repack(packedMask_, *mask_);
  imageChanged_ = maskChanged_ = false;
  cache_.KeepSpare(std::move(*image_));
  cache_.KeepSpare(std::move(*mask_));
  packedAway_ = true;
  return change;
}

uint64_t FramePixels::UnpackedBytes() const {
  return uint64_t(image_->Capacity()) + uint64_t(mask_->Capacity());
}

uint64_t FrameCache::Size() const {
  std::lock_guard lock(mutex_);
  return size_;
}

void FrameCache::Size(uint64_t New_Size) {
  std::lock_guard lock(mutex_);
  size_ = New_Size;
}

void FrameCache::Budget(uint64_t New_Budget) {
  std::lock_guard lock(mutex_);
  budget_ = New_Budget;
}

uint64_t FrameCache::PackedBytes() const {
  std::lock_guard lock(mutex_);
  return packedBytes_;
}

uint64_t FrameCache::UnpackedBytes() const {
  std::lock_guard lock(mutex_);
  return unpackedBytes_;
}

uint64_t FrameCache::Capacity() const {
  return budget_ > packedBytes_ ? std::min(size_, budget_ - packedBytes_) : 0;
}

// Chooses the least recently used frames that are not in use until the rest fit. A frame in use
// stays whatever it costs: the step that holds it needs it.
std::vector<FramePixels*> FrameCache::Used(FramePixels& frame, uint64_t bytes,
                                           int64_t packedChange) {
  std::lock_guard lock(mutex_);
  packedBytes_ = uint64_t(int64_t(packedBytes_) + packedChange);
  if (frame.place_ == FramePixels::Place::Listed) {
    unpacked_.splice(unpacked_.begin(), unpacked_, frame.listed_);
    unpackedBytes_ -= frame.countedBytes_;
  } else {
    // Back from packing, or taken back while on its way there.
    frame.listed_ = unpacked_.insert(unpacked_.begin(), &frame);
    frame.place_ = FramePixels::Place::Listed;
  }
  frame.countedBytes_ = bytes;
  unpackedBytes_ += bytes;

  std::vector<FramePixels*> leaving;
  const uint64_t capacity = Capacity();
  auto it = unpacked_.end();
  while (unpackedBytes_ > capacity && it != unpacked_.begin()) {
    --it;
    FramePixels& other = **it;
    if (&other == &frame || other.InUse()) continue;
    unpackedBytes_ -= other.countedBytes_;
    other.countedBytes_ = 0;
    other.place_ = FramePixels::Place::Leaving;
    leaving.push_back(&other);
    it = unpacked_.erase(it);
  }
  return leaving;
}

void FrameCache::PackAway(const std::vector<FramePixels*>& leaving) {
  for (FramePixels* frame : leaving) {
    std::lock_guard frameLock(frame->guard_->mutex);
    {
      std::lock_guard lock(mutex_);
      // Taken back into use since it was chosen: it stays.
      if (frame->place_ != FramePixels::Place::Leaving) continue;
      if (frame->InUse()) {
        frame->listed_ = unpacked_.insert(unpacked_.begin(), frame);
        frame->place_ = FramePixels::Place::Listed;
        frame->countedBytes_ = frame->UnpackedBytes();
        unpackedBytes_ += frame->countedBytes_;
        continue;
      }
      frame->place_ = FramePixels::Place::PackedAway;
    }
    // Packing takes the time; others go on meanwhile, and whoever wants this frame waits for
    // its lock.
    const int64_t change = frame->PackAway();
    std::lock_guard lock(mutex_);
    packedBytes_ = uint64_t(int64_t(packedBytes_) + change);
  }
}

void FrameCache::Forget(FramePixels& frame) {
  std::lock_guard lock(mutex_);
  packedBytes_ -= frame.packedImage_.Bytes() + frame.packedMask_.Bytes();
  if (frame.place_ != FramePixels::Place::Listed) return;
  unpackedBytes_ -= frame.countedBytes_;
  unpacked_.erase(frame.listed_);
}

void FrameCache::KeepSpare(cDIB&& surface) {
  cDIB spare = std::move(surface);  // the surface is left without pixels either way
  if (spare.lpBits() == nullptr) return;
  const uint64_t bytes = uint64_t(spare.Capacity());
  // A few frames' worth: enough for the frames that are packed and unpacked in turn while a
  // step sweeps the document on every thread. Frames larger than that (tens of megapixels) keep
  // one frame's worth, image and mask, where the budget has room for it beside every frame
  // packed or unpacked and a frame more: else each step would take each frame's memory fresh
  // from the system, which cost more than the steps' work. More spares cost a frame's memory
  // each and saved no time (200 frames of 4096 x 4096: three frames' worth peaked at 143 MiB,
  // one at 110 MiB, in the same time). The oldest spare makes room.
  uint64_t small = 0;
  uint64_t room = 0;
  {
    std::lock_guard lock(mutex_);
    small = size_ / 4;
    const uint64_t held = packedBytes_ + unpackedBytes_ + 2 * bytes;
    room = budget_ > held ? budget_ - held : 0;
  }
  std::lock_guard lock(sparesMutex_);
  uint64_t largest = bytes;
  for (const cDIB& kept : spares_) largest = std::max(largest, uint64_t(kept.Capacity()));
  const uint64_t limit = std::max(small, std::min(room, largest + largest / 4));
  while (!spares_.empty() && spareBytes_ + bytes > limit) {
    spareBytes_ -= uint64_t(spares_.front().Capacity());
    spares_.pop_front();
  }
  if (spareBytes_ + bytes > limit) return;
  spareBytes_ += bytes;
  spares_.push_back(std::move(spare));
}

bool FrameCache::TakeSpare(int32_t width, int32_t height, int32_t bpp, cDIB& surface) {
  const int64_t bytes = cDIB::SizeFor(width, height, bpp);
  if (bytes <= 0) return false;
  std::lock_guard lock(sparesMutex_);
  // The smallest spare with room, if it wastes no more than half of itself: frames cropped to
  // what changed differ in size from one to the next.
  auto best = spares_.end();
  for (auto it = spares_.begin(); it != spares_.end(); ++it) {
    if (it->Capacity() >= bytes && it->Capacity() <= 2 * bytes &&
        (best == spares_.end() || it->Capacity() < best->Capacity())) {
      best = it;
    }
  }
  if (best == spares_.end()) return false;
  spareBytes_ -= uint64_t(best->Capacity());
  surface = std::move(*best);
  spares_.erase(best);
  return true;
}

}  // namespace lumatrim
