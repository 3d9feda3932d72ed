// `lumatrim-cli reduce [options] PATH...`: the reduction run for shells and servers.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "reduction/reduce_file.h"

namespace lumatrim::cli {

struct ReduceSettings {
  std::vector<std::string> paths;
  // -o as given: a folder, or "-" for standard output; empty when -o was not given, and then
  // outputs go to the current folder.
  std::string outputFolder;
  ReductionOptions options;
  unsigned jobs = 0;  // 0: one per core
  bool json = false;
  bool verify = false;
  bool progress = false;       // draw a progress bar on the error stream
  bool quiet = false;          // errors only
  bool verbose = false;        // also each output's path, and the files skipped or kept
  bool inPlace = false;        // replace each input with its reduced form when that is smaller
  bool preserveTimes = false;  // with inPlace: keep the input's access and modification times
  bool allowLarger = false;    // keep the pipeline's output even when it is larger than its input
  bool dryRun = false;         // sizes only, nothing written
  bool noClobber = false;      // skip inputs whose output exists
  std::string fromList;        // a file of paths ("-": standard input)
  bool nulSeparated = false;   // the list's paths end in NUL bytes rather than newlines
};

// The output "folder" that stands for standard output, and the path that stands for standard
// input.
constexpr const char* kStandardStream = "-";

// The folder that outputs go to: -o's folder, or the current folder.
inline std::string OutputFolderOf(const ReduceSettings& settings) {
  return settings.outputFolder.empty() ? "." : settings.outputFolder;
}

// Adds the reduce subcommand to app. When it runs, exit_code receives its result.
void AddReduceCommand(CLI::App& app, int& exit_code);

// The files a run takes: each PATH that is a file, and every file ending in .gif (any letter
// case) below each PATH that is a folder, in name order. Folder links are not followed.
std::vector<std::string> CollectInputs(const std::vector<std::string>& paths);

// Runs the batch. Answers the exit status: 0 when every file was reduced (and verified), kept
// or skipped, 1 when some file failed, 2 for options that do not go together, a list that can't
// be read, or an output folder that does not exist. Standard input ("-") is read from in; with
// the output "-" the one result is written to out and the report goes to err.
int RunReduce(const ReduceSettings& settings, std::istream& in, std::ostream& out,
              std::ostream& err);
int RunReduce(const ReduceSettings& settings, std::ostream& out, std::ostream& err);

}  // namespace lumatrim::cli
