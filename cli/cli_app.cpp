#include "cli/cli_app.h"

#include "cli/info_command.h"
#include "cli/reduce_command.h"
#include "cli/resave_command.h"

namespace lumatrim::cli {

const char* Version() {
  return LUMATRIM_VERSION;
}

std::unique_ptr<CLI::App> MakeCliApp(int& exit_code) {
  auto app = std::make_unique<CLI::App>(
      "Lumatrim: makes GIF files smaller without changing how they look", "lumatrim-cli");
  app->require_subcommand(1);
  app->set_version_flag("--version", std::string("lumatrim-cli ") + Version());
  app->footer(
      "Exit status:\n"
      "  0  every file was done\n"
      "  1  some file failed (the others were still done)\n"
      "  2  usage error, or the output folder does not exist");

  AddInfoCommand(*app, exit_code);
  AddResaveCommand(*app, exit_code);
  AddReduceCommand(*app, exit_code);
  return app;
}

}  // namespace lumatrim::cli
