// The manual page of lumatrim-cli keeps in step with its --help: the same options, the same
// exit codes and the same version.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "cli/cli_app.h"

namespace lumatrim {
namespace {

std::string ManPage(const std::string& name) {
  std::ifstream in(std::string(LUMATRIM_MAN_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  // roff writes a minus as "\-"; what a reader sees is "-".
  return std::regex_replace(text, std::regex(R"(\\-)"), "-");
}

// Every option name the program accepts, "--json" and "-o" alike, over all subcommands.
std::set<std::string> OptionNames(const CLI::App& app) {
  std::set<std::string> names;
  auto add = [&](const CLI::App& command) {
    for (const CLI::Option* option : command.get_options()) {
      for (const std::string& name : option->get_lnames()) names.insert("--" + name);
      for (const std::string& name : option->get_snames()) names.insert("-" + name);
    }
  };
  add(app);
  for (const CLI::App* command : app.get_subcommands({})) add(*command);
  return names;
}

TEST(ManPages, CommandLineOptionsMatchHelp) {
  int exitCode = 0;
  const auto app = cli::MakeCliApp(exitCode);
  const std::set<std::string> options = OptionNames(*app);
  const std::string page = ManPage("lumatrim-cli.1");

  for (const std::string& option : options) {
    EXPECT_TRUE(std::regex_search(page, std::regex("(^|[^-a-z])" + option + "($|[^-a-z])")))
        << option << " is in --help but not in the manual page";
  }
  const std::regex pageOption(R"((^|[^-a-z0-9])(--?[a-z][-a-z0-9]*))");
  for (auto it = std::sregex_iterator(page.begin(), page.end(), pageOption);
       it != std::sregex_iterator(); ++it) {
    const std::string option = (*it)[2];
    // Words such as "-reduced.gif" in a file name are no options; only option-like ones count.
    if (option.size() == 2 || option.rfind("--", 0) == 0) {
      EXPECT_TRUE(options.count(option)) << option << " is in the manual page but not in --help";
    }
  }
  for (const CLI::App* command : app->get_subcommands({})) {
    EXPECT_NE(page.find(".B " + command->get_name()), std::string::npos) << command->get_name();
  }
}

TEST(ManPages, BashCompletionOffersEveryOption) {
  int exitCode = 0;
  const auto app = cli::MakeCliApp(exitCode);
  std::ifstream in(std::string(LUMATRIM_MAN_DIR) + "/../completions/lumatrim-cli");
  const std::string script{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  for (const std::string& option : OptionNames(*app)) {
    EXPECT_TRUE(std::regex_search(script, std::regex("[ ']" + option + "[ '\n]"))) << option;
  }
}

TEST(ManPages, ExitCodesAndVersionMatchTheProgram) {
  int exitCode = 0;
  const auto app = cli::MakeCliApp(exitCode);
  const std::string page = ManPage("lumatrim-cli.1");
  const std::string footer = app->get_footer();
  for (int code : {cli::kExitOk, cli::kExitSomeFileFailed, cli::kExitUsage}) {
    const std::string listed = "  " + std::to_string(code) + "  ";
    EXPECT_NE(footer.find(listed), std::string::npos) << code;
    EXPECT_NE(page.find(".B " + std::to_string(code) + "\n"), std::string::npos) << code;
  }
  EXPECT_NE(page.find("\"Lumatrim " + std::string(cli::Version()) + "\""), std::string::npos);
  EXPECT_NE(ManPage("lumatrim.1").find("\"Lumatrim " + std::string(cli::Version()) + "\""),
            std::string::npos);
}

}  // namespace
}  // namespace lumatrim
