// `lumatrim-cli reduce [options] PATH...`: the reduction run for shells and servers.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "optimizer/reduction.h"

namespace lumatrim::cli {

struct ReduceSettings {
  std::vector<std::string> paths;
  std::string outputFolder = ".";
  ReductionOptions options;
  unsigned jobs = 0;  // 0: one per core
  bool json = false;
  bool verify = false;
  bool progress = false;  // draw a progress bar on the error stream
};

// Adds the reduce subcommand to app. When it runs, exit_code receives its result.
void AddReduceCommand(CLI::App& app, int& exit_code);

// The files a run takes: each PATH that is a file, and every file ending in .gif (any letter
// case) below each PATH that is a folder, in name order. Folder links are not followed.
std::vector<std::string> CollectInputs(const std::vector<std::string>& paths);

// Runs the batch. Answers the exit status: 0 when every file was reduced (and verified), 1 when
// some file failed, 2 when the output folder does not exist.
int RunReduce(const ReduceSettings& settings, std::ostream& out, std::ostream& err);

}  // namespace lumatrim::cli
