// lumatrim-cli: the command-line face of Lumatrim. Each subcommand lives in its own
// *_command.cpp and is added here with one call.
#include <CLI/CLI.hpp>

#include "cli/info_command.h"
#include "cli/reduce_command.h"
#include "cli/resave_command.h"
#include "gif/interrupted_saves.h"

int main(int argc, char** argv) {
  // Ctrl+C, kill or a closed terminal during a save must not leave a temporary file behind.
  lumatrim::InstallInterruptCleanup();

  CLI::App app{"Lumatrim: makes GIF files smaller without changing how they look"};
  app.require_subcommand(1);

  int exitCode = 0;
  lumatrim::cli::AddInfoCommand(app, exitCode);
  lumatrim::cli::AddResaveCommand(app, exitCode);
  lumatrim::cli::AddReduceCommand(app, exitCode);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version exit 0; every usage error exits 2.
    return app.exit(e) == 0 ? 0 : 2;
  }
  return exitCode;
}
