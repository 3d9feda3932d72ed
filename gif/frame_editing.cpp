// The frame list and comment list operations of cGIF. Each checks its numbers (and the 16-bit
// limits of the counts) before it changes anything, so a failure leaves the document as it was.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "gif/gif_document.h"

namespace lumatrim {

namespace {

// Entry 0 black, entry 1 white, in the store layout blue, green, red, reserved.
constexpr uint8_t kBlankPalette[8] = {0, 0, 0, 0, 255, 255, 255, 0};

void CheckRoomForOneMore(size_t countNow) {
  if (countNow >= size_t(INT16_MAX)) throw OverflowError("count does not fit 16 bits");
}

}  // namespace

void cGIF::FrameInsert(int16_t nFrame, int16_t Width, int16_t Height, bool UseGlobalPalette) {
  CheckFrameRange(nFrame, 1, INT16_MAX);
  CheckRoomForOneMore(size_t(framesCount_));
  const int16_t place = nFrame > framesCount_ ? int16_t(framesCount_ + 1) : nFrame;

  // The record is made complete before it joins the list. A surface that can't be made (a size
  // of 0, say) leaves the frame without pixels.
  Frame frame(cache_);
  const std::shared_ptr<cDIB> image = frame.pixels->ImageForChanging();
  image->Create(Width, Height, 8);
  image->SetPalette(kBlankPalette);
  const std::shared_ptr<cDIB> mask = frame.pixels->MaskForChanging();
  mask->Create(Width, Height, 1);
  mask->SetPalette(kBlankPalette);
  frame.declaredWidth = uint16_t(std::max<int16_t>(Width, 0));
  frame.declaredHeight = uint16_t(std::max<int16_t>(Height, 0));
  if (UseGlobalPalette && globalPaletteExists_) {
    frame.palette = globalPalette_;
    frame.localPaletteUsed = false;
    frame.localPaletteEntries = globalPaletteEntries_;
  } else {
    std::copy(std::begin(kBlankPalette), std::end(kBlankPalette), frame.palette.begin());
    frame.localPaletteUsed = true;
    frame.localPaletteEntries = 2;
  }

  frames_.insert(frames_.begin() + place, std::move(frame));
  ++framesCount_;
  if (framesCount_ == 1) {
    ScreenWidth(Width);
    ScreenHeight(Height);
    trailingComments_.assign(1, std::string());
  }
}

void cGIF::FrameClone(int16_t nFrame) {
  CheckFrameRange(nFrame, 1, framesCount_);
  CheckRoomForOneMore(size_t(framesCount_));

  // All fields and comments are copied; the surfaces are new ones with the same pixels.
  const Frame& source = frames_[size_t(nFrame)];
  Frame copy(cache_);
  static_cast<FrameFields&>(copy) = source;
  source.pixels->ImageForReading()->CloneTo(*copy.pixels->ImageForChanging());
  source.pixels->MaskForReading()->CloneTo(*copy.pixels->MaskForChanging());

  // The copy takes the source's number; the source moves one place on.
  frames_.insert(frames_.begin() + nFrame, std::move(copy));
  ++framesCount_;
}

void cGIF::FrameRemove(int16_t nFrame) {
  CheckFrameRange(nFrame, 1, framesCount_);
  frames_.erase(frames_.begin() + nFrame);
  --framesCount_;
  // With no frames left the spare record 0 starts empty again.
  if (framesCount_ == 0) {
    frames_.clear();
    frames_.emplace_back(cache_);
  }
}

void cGIF::FrameMoveUp(int16_t nFrame) {
  CheckFrameRange(nFrame, 2, framesCount_);
  std::swap(frames_[size_t(nFrame) - 1], frames_[size_t(nFrame)]);
}

void cGIF::FrameMoveDown(int16_t nFrame) {
  CheckFrameRange(nFrame, 1, int16_t(framesCount_ - 1));
  std::swap(frames_[size_t(nFrame)], frames_[size_t(nFrame) + 1]);
}

void cGIF::FrameCommentAdd(int16_t nFrame) {
  CheckFrameRange(nFrame, 1, framesCount_);
  CommentList& comments = frames_[size_t(nFrame)].comments;
  CheckRoomForOneMore(comments.size() - 1);
  comments.emplace_back();
}

void cGIF::FrameCommentRemoveAll(int16_t nFrame) {
  CheckFrameRange(nFrame, 1, framesCount_);
  frames_[size_t(nFrame)].comments.assign(1, std::string());
}

void cGIF::TrailingCommentAdd() {
  CheckRoomForOneMore(trailingComments_.size() - 1);
  trailingComments_.emplace_back();
}

void cGIF::TrailingCommentRemoveAll() {
  trailingComments_.assign(1, std::string());
}

}  // namespace lumatrim
