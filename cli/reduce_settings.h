// What `lumatrim-cli reduce` was asked to do: its options, the options that exclude each other,
// and where the outputs go.
#pragma once

#include <string>
#include <vector>

#include "reduction/reduce_file.h"

namespace lumatrim::cli {

// The output "folder" that stands for standard output, and the path that stands for standard
// input.
constexpr const char* kStandardStream = "-";

struct ReduceSettings {
  std::vector<std::string> paths;
  // -o as given: a folder, a FILE.gif for a single input, or "-" for standard output; empty when
  // -o was not given, and then outputs go to the current folder.
  std::string outputFolder;
  std::string suffix = kReducedSuffix;  // what an output's name adds to its input's
  ReductionOptions options;
  unsigned jobs = 0;  // 0: one per core
  bool json = false;
  bool verify = false;
  bool progress = false;                  // draw a progress bar on the error stream
  bool standardOutputIsTerminal = false;  // GIF bytes are never written to a terminal
  bool quiet = false;                     // errors only
  bool verbose = false;                   // also each output's path
  bool inPlace = false;        // replace each input with its reduced form when that is smaller
  bool preserveTimes = false;  // with inPlace: keep the input's access and modification times
  bool allowLarger = false;    // keep the pipeline's output even when it is larger than its input
  bool dryRun = false;         // sizes only, nothing written
  bool noClobber = false;      // skip inputs whose output exists
  bool skipReduced = false;    // skip inputs whose name ends in the suffix: earlier outputs
  std::string fromList;        // a file of paths ("-": standard input)
  bool nulSeparated = false;   // the list's paths end in NUL bytes rather than newlines
};

// Where the outputs of a run go, decided once from the settings.
enum class DestinationKind {
  Folder,          // NAME + suffix + .gif in the output folder
  File,            // -o FILE.gif, for a single input
  InPlace,         // each input replaced when its output is smaller
  StandardOutput,  // -o -: the one output on standard output
};
DestinationKind DestinationOf(const ReduceSettings& settings);

// The folder that outputs go to: -o's folder, or the current folder.
std::string OutputFolderOf(const ReduceSettings& settings);

// Why the options do not go together, naming both; empty when they do.
std::string OptionClash(const ReduceSettings& settings);

}  // namespace lumatrim::cli
