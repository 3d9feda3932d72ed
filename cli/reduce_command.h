// `lumatrim-cli reduce [options] PATH...`: the reduction run for shells and servers. Its parts:
// reduce_settings (the options and their clashes), reduce_batch (the inputs, the plan, the
// workers and the in-order report), reduce_one (one file, read, reduced and delivered) and
// reduce_report (what is said of each file and of the batch).
#pragma once

#include <CLI/CLI.hpp>

namespace lumatrim::cli {

// Adds the reduce subcommand to app. When it runs, exit_code receives its result.
void AddReduceCommand(CLI::App& app, int& exit_code);

}  // namespace lumatrim::cli
