#include "cli/resave_command.h"

#include <iostream>
#include <memory>

#include "gif/gif_document.h"

namespace lumatrim::cli {

int RunResave(const std::string& input, const std::string& output, std::ostream& err) {
  cGIF doc;
  if (!doc.LoadFromFile(input)) {
    err << "Error loading gif file: " << input << " (" << doc.LoadError() << ")\n";
    return 1;
  }
  if (!doc.Save(output)) {
    err << "Error saving gif file: " << output << " (" << doc.SaveError() << ")\n";
    return 1;
  }
  return 0;
}

void AddResaveCommand(CLI::App& app, int& exit_code) {
  struct Options {
    std::string input;
    std::string output;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand("resave", "Load a GIF file and save it again");
  command->add_option("IN", options->input, "GIF file to read")->required();
  command->add_option("OUT", options->output, "File to write (replaced if it exists)")->required();
  command->callback(
      [options, &exit_code] { exit_code = RunResave(options->input, options->output, std::cerr); });
}

}  // namespace lumatrim::cli
