// The whole lumatrim-cli command line in one CLI::App, so that tests see the same help text,
// options and version as the program.
#pragma once

#include <memory>

#include <CLI/CLI.hpp>

namespace lumatrim::cli {

// The exit codes every subcommand shares, as --help lists them.
constexpr int kExitOk = 0;
constexpr int kExitSomeFileFailed = 1;
constexpr int kExitUsage = 2;

// The program's version, from the build ("0.1").
const char* Version();

// An app with every subcommand registered. When a subcommand runs, exit_code receives its result.
std::unique_ptr<CLI::App> MakeCliApp(int& exit_code);

}  // namespace lumatrim::cli
