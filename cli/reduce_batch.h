// The batch of `lumatrim-cli reduce`: the inputs found from the paths given, where each output
// goes, the files reduced in parallel, and the report in input order.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/reduce_settings.h"

namespace lumatrim::cli {

// The files a run takes: each PATH that is a file, and every file ending in .gif (any letter
// case) below each PATH that is a folder, in name order. Folder links are not followed.
std::vector<std::string> CollectInputs(const std::vector<std::string>& paths);

// The paths of a list: one a line (a final line without a newline counts; empty lines and a
// carriage return before the newline are dropped), or separated by NUL bytes with nul.
std::vector<std::string> SplitPathList(const std::string& text, bool nul);

// Runs the batch. Answers the exit status: 0 when every file was reduced (and verified), kept
// or skipped, 1 when some file failed, 2 for bad usage (options that do not go together, no
// input named, a list that can't be read, an output folder that does not exist). Standard input
// ("-") is read from in; with the output "-" the one result is written to out and the report
// goes to err.
int RunReduce(const ReduceSettings& settings, std::istream& in, std::ostream& out,
              std::ostream& err);
int RunReduce(const ReduceSettings& settings, std::ostream& out, std::ostream& err);

}  // namespace lumatrim::cli
