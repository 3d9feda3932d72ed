// The whole lumatrim-cli command line in one CLI::App, so that tests see the same help text,
// options and version as the program.
#pragma once

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

namespace lumatrim::cli {

// The exit codes every subcommand shares, as --help lists them.
constexpr int kExitOk = 0;
constexpr int kExitSomeFileFailed = 1;
constexpr int kExitUsage = 2;

// The program's version, from the build ("0.1").
const char* Version();

// Why the command line names no command the app knows ("Unknown command: frob (commands: info,
// reduce, resave)"); empty when its first argument is a command or an option.
std::string UnknownCommand(const CLI::App& app, int argc, const char* const* argv);

// An app with every subcommand registered. When a subcommand runs, exit_code receives its result.
std::unique_ptr<CLI::App> MakeCliApp(int& exit_code);

}  // namespace lumatrim::cli
