#include "cli/cli_app.h"

#include "cli/info_command.h"
#include "cli/reduce_command.h"
#include "cli/resave_command.h"

namespace lumatrim::cli {

const char* Version() {
  return LUMATRIM_VERSION;
}

std::string UnknownCommand(const CLI::App& app, int argc, const char* const* argv) {
  if (argc < 2 || argv[1][0] == '-') return {};
  std::string names;
  for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
    if (command->get_name() == argv[1]) return {};
    names += (names.empty() ? "" : ", ") + command->get_name();
  }
  return std::string("Unknown command: ") + argv[1] + " (commands: " + names + ")";
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
