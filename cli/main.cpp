// lumatrim-cli: the command-line face of Lumatrim. Each subcommand lives in its own
// *_command.cpp and is added by MakeCliApp.
#include <csignal>
#include <iostream>

#include "cli/cli_app.h"
#include "files/interrupted_saves.h"
#include "raster/system_memory.h"

int main(int argc, char** argv) {
  lumatrim::ShareOneHeapAcrossThreads();
  // Ctrl+C, kill or a closed terminal during a save must not leave a temporary file behind.
  lumatrim::InstallInterruptCleanup();
  // A reader that goes away (lumatrim-cli reduce -o - ... | head -c 10) makes writes fail with
  // an error the program reports, instead of ending it on the spot.
  std::signal(SIGPIPE, SIG_IGN);

  int exitCode = lumatrim::cli::kExitOk;
  const auto app = lumatrim::cli::MakeCliApp(exitCode);
  if (const std::string unknown = lumatrim::cli::UnknownCommand(*app, argc, argv);
      !unknown.empty()) {
    std::cerr << unknown << "\n";
    return lumatrim::cli::kExitUsage;
  }
  try {
    app->parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version exit 0; every usage error exits 2.
    return app->exit(e) == 0 ? lumatrim::cli::kExitOk : lumatrim::cli::kExitUsage;
  }
  return exitCode;
}
