// The tests' short question to the playback check: whether two documents show the same pictures
// for the same times.
#pragma once

#include "playback/viewer.h"

namespace lumatrim {

inline bool LookTheSame(const cGIF& a, const cGIF& b) {
  return ComparePlayback(a, b).outcome == PlaybackComparison::Same;
}

}  // namespace lumatrim
