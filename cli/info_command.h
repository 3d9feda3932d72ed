// `lumatrim-cli info [--json] FILE...`: what each file's document holds.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "gif/gif_document.h"

namespace lumatrim::cli {

// Adds the info subcommand to app. When it runs, exit_code receives its result.
void AddInfoCommand(CLI::App& app, int& exit_code);

// Describes every file on out, as one JSON object per line or as a readable summary. Answers
// the exit code: 1 when any file did not load, else 0. Every file is described either way.
int RunInfo(const std::vector<std::string>& files, bool json, std::ostream& out);

// The readable summary of one document.
void WriteInfoText(std::ostream& out, const std::string& file, const cGIF& doc, bool loaded);

}  // namespace lumatrim::cli
