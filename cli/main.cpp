// lumatrim-cli: the command-line face of Lumatrim. Each subcommand lives in its own
// *_command.cpp and is added by MakeCliApp.
#include "cli/cli_app.h"
#include "files/interrupted_saves.h"

int main(int argc, char** argv) {
  // Ctrl+C, kill or a closed terminal during a save must not leave a temporary file behind.
  lumatrim::InstallInterruptCleanup();

  int exitCode = lumatrim::cli::kExitOk;
  const auto app = lumatrim::cli::MakeCliApp(exitCode);
  try {
    app->parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version exit 0; every usage error exits 2.
    return app->exit(e) == 0 ? lumatrim::cli::kExitOk : lumatrim::cli::kExitUsage;
  }
  return exitCode;
}
