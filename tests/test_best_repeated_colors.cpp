// Pixels of one colour sent at several palette indices are moved to its first index, but never
// to or from a frame's transparent index.
#include <gtest/gtest.h>

#include <algorithm>

#include "animation_docs.h"
#include "best/repeated_colors.h"
#include "look_the_same.h"

namespace lumatrim {
namespace {

using namespace testing;

// Gives palette entry 3 the colour of entry 1, in the global palette and every frame's copy.
void RepeatColorOne(cGIF& gif) {
  const auto repeat = [](uint8_t* store) { std::copy(store + 4, store + 8, store + 12); };
  repeat(gif.lpGlobalPalette());
  for (int16_t n = 1; n <= gif.FramesCount(); ++n) repeat(gif.lpFramePalette(n));
}

TEST(BestRepeatedColors, PixelsMoveToTheFirstIndexOfTheirColourButNotPastTransparency) {
  const Bytes row = {1, 3, 2, 3};
  FrameSpec plain{0, 0, 4, 1, row};
  FrameSpec transparentRepeat{0, 0, 4, 1, row};
  transparentRepeat.transparent = 3;
  FrameSpec transparentFirst{0, 0, 4, 1, row};
  transparentFirst.transparent = 1;
  Docs docs(Animation(4, 1, {plain, transparentRepeat, transparentFirst}));
  RepeatColorOne(docs.before);
  RepeatColorOne(docs.after);

  best::MergeRepeatedColors(docs.after);
  EXPECT_EQ(PixelsOf(docs.after, 1), (Bytes{1, 1, 2, 1}));
  // Index 3 is transparent here, not the colour it names.
  EXPECT_EQ(PixelsOf(docs.after, 2), row);
  // Here the first index of the colour is transparent: the repeat is the colour's only index.
  EXPECT_EQ(PixelsOf(docs.after, 3), row);
  EXPECT_TRUE(LookTheSame(docs.before, docs.after));
}

}  // namespace
}  // namespace lumatrim
