#include "gif/gif_document.h"

#include <cmath>
#include <string>

#include "gif/color_table.h"

namespace lumatrim {

int16_t CheckedInt16(int64_t value) {
  if (value < INT16_MIN || value > INT16_MAX) throw OverflowError("value does not fit 16 bits");
  return int16_t(value);
}

cGIF::cGIF() {
  cache_.Budget(memoryBudget_);
  Destroy();
}

cGIF::~cGIF() {
  Destroy();
}

void cGIF::Destroy() {
  screen_.fill(0);
  globalPalette_.fill(0);
  animationLoops_ = 0;
  hasLoopingBlock_ = false;
  globalPaletteExists_ = false;
  globalPaletteSorted_ = false;
  globalPaletteEntries_ = 0;
  frames_.clear();
  frames_.emplace_back(cache_);
  trailingComments_.assign(1, std::string());
  framesCount_ = 0;
}

void cGIF::CheckFrameRange(int16_t nFrame, int16_t first, int16_t last) const {
  if (nFrame < first || nFrame > last) {
    throw SubscriptOutOfRange("frame " + std::to_string(nFrame) + " out of range");
  }
}

cGIF::Frame& cGIF::FrameAt(int16_t nFrame) {
  CheckFrameRange(nFrame, 0, framesCount_);
  return frames_[size_t(nFrame)];
}

const cGIF::Frame& cGIF::FrameAt(int16_t nFrame) const {
  CheckFrameRange(nFrame, 0, framesCount_);
  return frames_[size_t(nFrame)];
}

int16_t cGIF::CommentCount(const CommentList& list) {
  return CheckedInt16(int64_t(list.size()) - 1);
}

void cGIF::CheckCommentIndex(const CommentList& list, int16_t nComment) {
  if (nComment < 0 || size_t(nComment) >= list.size()) {
    throw SubscriptOutOfRange("comment " + std::to_string(nComment) + " out of range");
  }
}

void cGIF::AnimationLoops(int16_t New_AnimationLoops) {
  animationLoops_ = New_AnimationLoops;
  hasLoopingBlock_ = true;
}

int16_t cGIF::TrailingCommentsCount() const {
  return CommentCount(trailingComments_);
}

std::string cGIF::TrailingComment(int16_t nComment) const {
  CheckCommentIndex(trailingComments_, nComment);
  return trailingComments_[size_t(nComment)];
}

void cGIF::TrailingComment(int16_t nComment, const std::string& New_TrailingComment) {
  CheckCommentIndex(trailingComments_, nComment);
  // Comment 0 is the spare empty text: writing it has no effect on the document.
  if (nComment > 0) trailingComments_[size_t(nComment)] = New_TrailingComment;
}

int16_t cGIF::ScreenWidth() const {
  return int16_t(screen_[0] | (screen_[1] << 8));
}

void cGIF::ScreenWidth(int16_t New_ScreenWidth) {
  screen_[0] = uint8_t(New_ScreenWidth);
  screen_[1] = uint8_t(uint16_t(New_ScreenWidth) >> 8);
}

int16_t cGIF::ScreenHeight() const {
  return int16_t(screen_[2] | (screen_[3] << 8));
}

void cGIF::ScreenHeight(int16_t New_ScreenHeight) {
  screen_[2] = uint8_t(New_ScreenHeight);
  screen_[3] = uint8_t(uint16_t(New_ScreenHeight) >> 8);
}

float cGIF::ScreenPixelAspectRatio() const {
  return (float(screen_[6]) + 15.0f) / 64.0f;
}

void cGIF::ScreenPixelAspectRatio(float New_ScreenPixelAspectRatio) {
  const double stored = std::nearbyint(double(New_ScreenPixelAspectRatio) * 64.0 - 15.0);
  if (!(stored >= 0.0 && stored <= 255.0)) throw OverflowError("aspect ratio out of range");
  screen_[6] = uint8_t(stored);
}

uint32_t cGIF::GlobalPaletteColor(uint8_t nEntry) const {
  return globalPaletteExists_ ? EntryColor(globalPalette_.data(), nEntry) : 0;
}

void cGIF::MemoryBudget(uint64_t New_MemoryBudget) {
  memoryBudget_ = New_MemoryBudget;
  cache_.Budget(New_MemoryBudget);
}

void cGIF::FrameDisposalMethod(int16_t nFrame, int32_t New_DisposalMethod) {
  Frame& frame = FrameAt(nFrame);
  if (New_DisposalMethod < 0 || New_DisposalMethod > 255) {
    throw OverflowError("disposal method does not fit a byte");
  }
  frame.disposalMethod = uint8_t(New_DisposalMethod);
}

uint32_t cGIF::lpFramePaletteColor(int16_t nFrame, uint8_t nEntry) const {
  return EntryColor(FrameAt(nFrame).palette.data(), nEntry);
}

int16_t cGIF::FrameCommentsCount(int16_t nFrame) const {
  return CommentCount(FrameAt(nFrame).comments);
}

std::string cGIF::FrameComment(int16_t nFrame, int16_t nComment) const {
  const Frame& frame = FrameAt(nFrame);
  CheckCommentIndex(frame.comments, nComment);
  return frame.comments[size_t(nComment)];
}

void cGIF::FrameComment(int16_t nFrame, int16_t nComment, const std::string& New_FrameComment) {
  Frame& frame = FrameAt(nFrame);
  CheckCommentIndex(frame.comments, nComment);
  if (nComment > 0) frame.comments[size_t(nComment)] = New_FrameComment;
}

uint16_t cGIF::FrameWidth(int16_t nFrame) const {
  const Frame& frame = FrameAt(nFrame);
  const int32_t width = frame.pixels->Width();
  return width > 0 ? uint16_t(width) : frame.declaredWidth;
}

uint16_t cGIF::FrameHeight(int16_t nFrame) const {
  const Frame& frame = FrameAt(nFrame);
  const int32_t height = frame.pixels->Height();
  return height > 0 ? uint16_t(height) : frame.declaredHeight;
}

}  // namespace lumatrim
