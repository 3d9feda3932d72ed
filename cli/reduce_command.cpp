#include "cli/reduce_command.h"

#include <unistd.h>

#include <iostream>
#include <memory>

#include "cli/reduce_batch.h"

namespace lumatrim::cli {

void AddReduceCommand(CLI::App& app, int& exit_code) {
  auto settings = std::make_shared<ReduceSettings>();
  auto mode = std::make_shared<std::string>("crop");
  auto keepInterlace = std::make_shared<bool>(false);
  auto keepComments = std::make_shared<bool>(false);
  auto maxMemory = std::make_shared<uint64_t>(settings->options.memoryBudget >> 20);
  CLI::App* cmd =
      app.add_subcommand("reduce", "Make GIF files smaller without changing how they look");
  cmd->add_option("PATH", settings->paths,
                  "GIF files, or folders to sweep for *.gif; - reads standard input");
  cmd->add_option("-o,--output", settings->outputFolder,
                  "Output folder (default: current folder); a FILE.gif that is not a folder names "
                  "the output of a single input; - writes the one result to standard output")
      ->check(CLI::Validator(
          [](const std::string& folder) {
            return folder.empty() ? std::string("an empty folder name") : std::string();
          },
          ""))
      ->type_name("DIR");
  cmd->add_flag("-b,--batch,--in-place", settings->inPlace,
                "Replace each input with its reduced form, only when that is smaller");
  cmd->add_flag("--preserve-times", settings->preserveTimes,
                "With --in-place, keep each file's access and modification times");
  cmd->add_flag("--allow-larger", settings->allowLarger,
                "Write the reduced file even when it is larger than its input (by default the "
                "input's bytes are written unchanged then)");
  cmd->add_flag("--dry-run", settings->dryRun, "Reduce and report the sizes, but write nothing");
  cmd->add_flag("-n,--no-clobber", settings->noClobber, "Skip inputs whose output file exists");
  cmd->add_option("--suffix", settings->suffix,
                  "What an output's name adds to its input's (default -reduced; '' keeps the "
                  "names, where that replaces no input)")
      ->type_name("TEXT");
  cmd->add_flag("--skip-reduced", settings->skipReduced,
                "Skip inputs whose names end in the suffix, such as earlier outputs");
  cmd->add_option("--from-list", settings->fromList,
                  "Also reduce the paths listed in FILE, one a line (- reads standard input)")
      ->type_name("FILE");
  cmd->add_flag("-0,--null", settings->nulSeparated,
                "The --from-list paths end in NUL bytes (find -print0)");
  cmd->add_flag("-q,--quiet", settings->quiet, "Report errors only");
  cmd->add_flag("-v,--verbose", settings->verbose, "Also report where each output went");
  cmd->add_option("--mode", *mode, "Frame differencing: crop (default), mask or off")
      ->check(CLI::IsMember({"crop", "mask", "off"}));
  cmd->add_flag("--second-pass", settings->options.secondPaletteOptimization,
                "Compact the palettes again after the frame passes");
  cmd->add_flag("--best", settings->options.best,
                "Smallest output: every frame encoded the best of several ways (slower)");
  cmd->add_flag("--keep-interlace", *keepInterlace, "Keep interlaced frames interlaced");
  cmd->add_flag("--keep-comments", *keepComments, "Keep comments");
  cmd->add_option("-j,--jobs", settings->jobs, "Files reduced at once (default: number of cores)")
      ->check(CLI::Validator(
          [](const std::string& jobs) {
            return jobs.find_first_not_of("0123456789") == std::string::npos &&
                           jobs.find_first_not_of('0') != std::string::npos
                       ? std::string()
                       : std::string("a number of at least 1");
          },
          ""))
      ->type_name("N");
  cmd->add_flag("--json", settings->json, "One JSON object per file");
  cmd->add_flag("--verify", settings->verify,
                "Play input and output and check that every frame looks the same");
  cmd->add_option(
      "--max-memory", *maxMemory,
      "Memory for one file: its bytes and its frames, packed and in use, in MiB (default 1024)");
  cmd->callback([=, &exit_code] {
    settings->options.mode = *mode == "crop"   ? mGIFOptimizer::CropChangedArea
                             : *mode == "mask" ? mGIFOptimizer::MaskUnchangedPixels
                                               : mGIFOptimizer::NoDifferencing;
    settings->options.disableInterlacing = !*keepInterlace;
    settings->options.removeComments = !*keepComments;
    settings->options.memoryBudget = *maxMemory << 20;
    settings->progress = isatty(STDERR_FILENO) != 0 && !settings->quiet;
    settings->standardOutputIsTerminal = isatty(STDOUT_FILENO) != 0;
    exit_code = RunReduce(*settings, std::cout, std::cerr);
  });
}

}  // namespace lumatrim::cli
