// One file of `lumatrim-cli reduce`: read it, reduce it in memory, check it if asked, and deliver
// the output where the run's destination says.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/reduce_settings.h"
#include "playback/viewer.h"

namespace lumatrim::cli {

// One input of a batch and where its output goes.
struct BatchInput {
  std::string path;      // the file to read; "-" for standard input
  PlannedOutput output;  // for the Folder and File destinations
  // Set when the input is not reduced at all, and why ("output exists", "an earlier output").
  std::string skipReason;
};

struct FileOutcome {
  ReductionResult result;               // outputPath is the name the report gives the output
  uint64_t bytesReduced = 0;            // what the reduction made
  bool keptInput = false;               // the reduction was not smaller, so the input stays
  std::vector<uint8_t> standardOutput;  // the bytes for -o -
  std::optional<PlaybackComparison> verification;  // with --verify
  std::string skipReason;                          // why the input was skipped, if it was
};

// The reason given with a check that found the output the same as an input with a frame cut at
// a code that can't be decoded.
inline constexpr const char* kVerifiedAsReadHere =
    "the same as the input reads here, with its damaged frames cut at their bad codes";

// Reduces input as settings ask; standardInput holds the bytes of "-".
FileOutcome ReduceOne(const BatchInput& input, const ReduceSettings& settings,
                      std::span<const uint8_t> standardInput);

// A file that could not be checked has still been reduced; one that looks different has not.
bool Succeeded(const FileOutcome& outcome);

}  // namespace lumatrim::cli
