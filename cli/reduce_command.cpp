#include "cli/reduce_command.h"

#include <unistd.h>

#include <initializer_list>
#include <iostream>
#include <memory>

#include "cli/reduce_batch.h"

namespace lumatrim::cli {

namespace {

// What the command line gives in a form of its own, turned into settings when the command runs.
struct CommandLineValues {
  std::string mode = "crop";
  bool keepInterlace = false;
  bool keepComments = false;
  uint64_t maxMemoryMiB = cGIF::kDefaultMemoryBudget >> 20;
};

CLI::Validator NotEmpty(const char* what) {
  return CLI::Validator(
      [what](const std::string& value) { return value.empty() ? std::string(what) : ""; }, "");
}

CLI::Validator AtLeastOne() {
  return CLI::Validator(
      [](const std::string& value) {
        const bool digits = !value.empty() && value.find_first_not_of("0123456789") == value.npos;
        return digits && value.find_first_not_of('0') != value.npos
                   ? std::string()
                   : std::string("a number of at least 1");
      },
      "");
}

struct Flag {
  const char* names;
  bool* value;
  const char* help;
};

void AddFlags(CLI::App& cmd, std::initializer_list<Flag> flags) {
  for (const Flag& flag : flags) cmd.add_flag(flag.names, *flag.value, flag.help);
}

void AddInputOptions(CLI::App& cmd, ReduceSettings& settings) {
  cmd.add_option("PATH", settings.paths,
                 "GIF files, or folders to sweep for *.gif; - reads standard input");
  cmd.add_option("--from-list", settings.fromList,
                 "Also reduce the paths listed in FILE, one a line (- reads standard input)")
      ->type_name("FILE");
  AddFlags(cmd, {
                    {"-0,--null", &settings.nulSeparated,
                     "The --from-list paths end in NUL bytes (find -print0)"},
                    {"--skip-reduced", &settings.skipReduced,
                     "Skip inputs whose names end in the suffix, such as earlier outputs"},
                });
}

void AddOutputOptions(CLI::App& cmd, ReduceSettings& settings) {
  cmd.add_option("-o,--output", settings.outputFolder,
                 "Output folder (default: current folder); a FILE.gif that is not a folder names "
                 "the output of a single input; - writes the one result to standard output")
      ->check(NotEmpty("an empty folder name"))
      ->type_name("DIR");
  cmd.add_option("--suffix", settings.suffix,
                 "What an output's name adds to its input's (default -reduced; '' keeps the "
                 "names, where that replaces no input)")
      ->type_name("TEXT");
  AddFlags(cmd,
           {
               {"-b,--batch,--in-place", &settings.inPlace,
                "Replace each input with its reduced form, only when that is smaller"},
               {"--preserve-times", &settings.preserveTimes,
                "With --in-place, keep each file's access and modification times"},
               {"--allow-larger", &settings.allowLarger,
                "Write the reduced file even when it is larger than its input (by default the "
                "input's bytes are written unchanged then)"},
               {"--dry-run", &settings.dryRun, "Reduce and report the sizes, but write nothing"},
               {"-n,--no-clobber", &settings.noClobber, "Skip inputs whose output file exists"},
           });
}

void AddReportOptions(CLI::App& cmd, ReduceSettings& settings) {
  AddFlags(cmd, {
                    {"-q,--quiet", &settings.quiet, "Report errors only"},
                    {"-v,--verbose", &settings.verbose, "Also report where each output went"},
                    {"--json", &settings.json, "One JSON object per file"},
                    {"--verify", &settings.verify,
                     "Play input and output and check that every frame looks the same"},
                });
  cmd.add_option("-j,--jobs", settings.jobs,
                 "Threads in all, shared by the files and their frames (default: one per core)")
      ->check(AtLeastOne())
      ->type_name("N");
}

void AddPipelineOptions(CLI::App& cmd, ReduceSettings& settings, CommandLineValues& values) {
  cmd.add_option("--mode", values.mode, "Frame differencing: crop (default), mask or off")
      ->check(CLI::IsMember({"crop", "mask", "off"}));
  AddFlags(cmd,
           {
               {"--best", &settings.options.best,
                "Smallest output: every frame encoded the best of several ways (slower)"},
               {"--careful", &settings.options.careful,
                "With --best, no image data codes on against a full LZW table without a clear "
                "code, for decoders that mishandle it (slightly larger)"},
               {"--second-pass", &settings.options.secondPaletteOptimization,
                "Compact the palettes again after the frame passes"},
               {"--keep-interlace", &values.keepInterlace, "Keep interlaced frames interlaced"},
               {"--keep-comments", &values.keepComments, "Keep comments"},
           });
  cmd.add_option(
      "--max-memory", values.maxMemoryMiB,
      "Memory for one file: its bytes and its frames, packed and in use, in MiB (default 1024)");
}

// The settings once the command line is parsed.
void Complete(ReduceSettings& settings, const CommandLineValues& values) {
  settings.options.mode = values.mode == "crop"   ? mGIFOptimizer::CropChangedArea
                          : values.mode == "mask" ? mGIFOptimizer::MaskUnchangedPixels
                                                  : mGIFOptimizer::NoDifferencing;
  settings.options.disableInterlacing = !values.keepInterlace;
  settings.options.removeComments = !values.keepComments;
  settings.options.memoryBudget = values.maxMemoryMiB << 20;
  settings.progress = isatty(STDERR_FILENO) != 0 && !settings.quiet;
  settings.standardOutputIsTerminal = isatty(STDOUT_FILENO) != 0;
}

}  // namespace

void AddReduceCommand(CLI::App& app, int& exit_code) {
  auto settings = std::make_shared<ReduceSettings>();
  auto values = std::make_shared<CommandLineValues>();
  CLI::App* cmd =
      app.add_subcommand("reduce", "Make GIF files smaller without changing how they look");
  AddInputOptions(*cmd, *settings);
  AddOutputOptions(*cmd, *settings);
  AddReportOptions(*cmd, *settings);
  AddPipelineOptions(*cmd, *settings, *values);
  cmd->callback([settings, values, &exit_code] {
    Complete(*settings, *values);
    exit_code = RunReduce(*settings, std::cout, std::cerr);
  });
}

}  // namespace lumatrim::cli
