// `lumatrim-cli resave IN OUT`: loads a GIF file and saves it again, re-encoded and otherwise
// unchanged (nothing is optimized).
#pragma once

#include <ostream>
#include <string>

#include <CLI/CLI.hpp>

namespace lumatrim::cli {

// Adds the resave subcommand to app. When it runs, exit_code receives its result.
void AddResaveCommand(CLI::App& app, int& exit_code);

// Loads input and saves it as output. Answers the exit code: 0 on success, 1 when the input does
// not load or the output can't be written; the message, with the reason, goes to err. An output
// that exists and is not a regular file (a link, a device, a folder) is refused and kept.
int RunResave(const std::string& input, const std::string& output, std::ostream& err);

}  // namespace lumatrim::cli
