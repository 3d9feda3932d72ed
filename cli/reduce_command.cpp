#include "cli/reduce_command.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include "cli/json_text.h"
#include "cli/reduce_files.h"
#include "gif/whole_file.h"
#include "playback/viewer.h"

namespace lumatrim::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kMissingFolder = "Folder does not exist. Please select another folder.";

struct FileOutcome {
  ReductionResult result;
  uint64_t bytesIn = 0;
  uint64_t bytesOut = 0;                // what was written (or would be, with --dry-run)
  uint64_t bytesReduced = 0;            // what the pipeline made
  bool skipped = false;                 // --no-clobber and the output exists
  bool keptInput = false;               // the pipeline's output was not smaller, so the input stays
  std::vector<uint8_t> standardOutput;  // the bytes for -o -
  std::optional<PlaybackComparison> verification;  // with --verify
};

// Where one input goes: plan.path receives the pipeline's output; shownPath is the name the
// report gives (the planned output, the input itself with --in-place, "-" for standard output).
struct Destination {
  PlannedOutput plan;
  std::string shownPath;
  bool skip = false;
};

uint64_t SizeOf(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  return ec ? 0 : uint64_t(size);
}

bool EndsWithGif(const fs::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return ext == ".gif";
}

// Plays input and output side by side within the memory budget.
PlaybackComparison Verify(const std::string& input, const std::string& output,
                          const ReduceSettings& settings) {
  const uint64_t budget = settings.options.memoryBudget;
  cGIF before, after;
  before.MemoryBudget(budget);
  after.MemoryBudget(budget);
  if (!before.LoadFromFile(input) || !after.LoadFromFile(output)) {
    return PlaybackComparison{PlaybackComparison::NotChecked,
                              "input and output can't both be loaded again"};
  }
  try {
    return ComparePlayback(before, after, budget);
  } catch (const std::bad_alloc&) {
    return PlaybackComparison{PlaybackComparison::NotChecked, "out of memory while playing"};
  }
}

void Fail(FileOutcome& outcome, std::string reason) {
  outcome.result.status = ReductionStatus::NotSaved;
  outcome.result.reason = std::move(reason);
}

// Whether the pipeline's outputs go to the private scratch folder first.
bool OutputsToScratch(const ReduceSettings& settings) {
  return settings.inPlace || settings.dryRun || settings.outputFolder == kStandardStream;
}

// What happens to the pipeline's output, once it is in plan.path: kept, replaced by the input's
// bytes when it came out larger, put in place of the input, or handed to standard output.
void Deliver(const std::string& input, const Destination& destination,
             const ReduceSettings& settings, FileOutcome& outcome) {
  const std::string& made = destination.plan.path;
  const bool toStandardOutput = settings.outputFolder == kStandardStream;
  const bool scratch = OutputsToScratch(settings);
  outcome.keptInput = settings.inPlace
                          ? outcome.bytesReduced >= outcome.bytesIn
                          : outcome.bytesReduced > outcome.bytesIn && !settings.allowLarger;
  outcome.bytesOut = outcome.keptInput ? outcome.bytesIn : outcome.bytesReduced;
  std::string reason;
  if (settings.dryRun) {
    // Nothing is written.
  } else if (settings.inPlace) {
    if (!outcome.keptInput) {
      // A link is followed: the file it names is replaced, not the link.
      std::error_code error;
      const fs::path target = fs::canonical(input, error);
      if (error) return Fail(outcome, error.message());
      if (auto bytes = ReadWholeFile(made, reason)) {
        reason = ReplaceFileContent(target.string(), *bytes, settings.preserveTimes);
      }
    }
  } else if (toStandardOutput) {
    if (auto bytes = ReadWholeFile(outcome.keptInput ? input : made, reason)) {
      outcome.standardOutput = std::move(*bytes);
    }
  } else if (outcome.keptInput) {
    if (auto bytes = ReadWholeFile(input, reason)) reason = WriteWholeFile(made, *bytes);
  }
  if (scratch) {
    std::error_code error;
    fs::remove(made, error);
  }
  if (!reason.empty()) Fail(outcome, reason);
}

FileOutcome ReduceOne(const std::string& input, const Destination& destination,
                      const ReduceSettings& settings) {
  FileOutcome outcome;
  outcome.result.outputPath = destination.shownPath;
  if (destination.skip) {
    outcome.skipped = true;
    return outcome;
  }
  // An output in the scratch folder lives until it is delivered; a signal meanwhile removes it.
  std::optional<InFlightFile> listed;
  if (OutputsToScratch(settings)) listed.emplace(destination.plan.path);
  cGIF gif;
  outcome.bytesIn = SizeOf(input);
  outcome.result = ReduceFile(gif, input, destination.plan, settings.options);
  outcome.result.outputPath = destination.shownPath;
  if (outcome.result.status != ReductionStatus::Reduced) return outcome;
  outcome.bytesReduced = SizeOf(destination.plan.path);
  if (settings.verify) outcome.verification = Verify(input, destination.plan.path, settings);
  // An output that looks different never takes the place of an input or reaches standard output.
  if (outcome.verification && outcome.verification->outcome == PlaybackComparison::Different &&
      (settings.inPlace || settings.outputFolder == kStandardStream)) {
    std::error_code error;
    fs::remove(destination.plan.path, error);
    outcome.bytesOut = outcome.bytesReduced;
    return outcome;
  }
  Deliver(input, destination, settings, outcome);
  return outcome;
}

double SavedPercent(uint64_t in, uint64_t out) {
  return in == 0 ? 0.0 : 100.0 * (double(in) - double(out)) / double(in);
}

void DrawProgress(std::ostream& err, size_t done, size_t total, const std::string& current) {
  constexpr int kWidth = 30;
  const int filled = total == 0 ? kWidth : int(kWidth * done / total);
  err << "\r[" << std::string(size_t(filled), '#') << std::string(size_t(kWidth - filled), ' ')
      << "] " << done << "/" << total << " " << std::setw(3) << (total ? 100 * done / total : 100)
      << "% " << fs::path(current).filename().string() << "\033[K" << std::flush;
}

std::string VerificationText(const FileOutcome& outcome) {
  if (!outcome.verification) return "";
  switch (outcome.verification->outcome) {
    case PlaybackComparison::Same:
      return "";
    case PlaybackComparison::Different:
      return "  LOOKS DIFFERENT";
    case PlaybackComparison::NotChecked:
      break;
  }
  return "  (not checked)";
}

void Report(const std::string& input, const FileOutcome& outcome, const ReduceSettings& settings,
            std::ostream& out, std::ostream& err) {
  const ReductionResult& r = outcome.result;
  if (r.status == ReductionStatus::NotLoaded) {
    err << "Error loading gif file: " << input << " (" << r.reason << ")\n";
  } else if (r.status == ReductionStatus::NotSaved) {
    err << "Error saving gif file: " << r.outputPath << " (" << r.reason << ")\n";
  } else if (outcome.verification && outcome.verification->outcome != PlaybackComparison::Same) {
    const bool different = outcome.verification->outcome == PlaybackComparison::Different;
    err << (different ? "Output looks different from its input: " : "Output not checked: ")
        << r.outputPath << " (" << outcome.verification->reason << ")\n";
  }
  if (!r.note.empty() && !settings.quiet) err << "Note: " << input << ": " << r.note << "\n";
  if (settings.json) {
    nlohmann::json line;
    PutFileName(line, "file", input);
    PutFileName(line, "output", r.outputPath);
    line["loaded"] = r.status != ReductionStatus::NotLoaded;
    line["saved"] = r.status == ReductionStatus::Reduced;
    line["bytes_in"] = outcome.bytesIn;
    line["bytes_out"] = outcome.bytesOut;
    if (r.status == ReductionStatus::Reduced) {
      line["saved_percent"] = SavedPercent(outcome.bytesIn, outcome.bytesOut);
      line["bytes_reduced"] = outcome.bytesReduced;
      line["kept_input"] = outcome.keptInput;
    }
    if (outcome.skipped) line["skipped"] = true;
    if (settings.dryRun) line["dry_run"] = true;
    if (outcome.verification) {
      const PlaybackComparison& v = *outcome.verification;
      // true or false when checked, null when the playback could not be checked.
      if (v.outcome == PlaybackComparison::NotChecked) {
        line["verified"] = nullptr;
      } else {
        line["verified"] = v.outcome == PlaybackComparison::Same;
      }
      if (!v.reason.empty()) line["verify_reason"] = v.reason;
    }
    if (!r.note.empty()) line["note"] = r.note;
    if (!r.reason.empty()) line["error"] = ValidUtf8(r.reason);
    out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  } else if (settings.quiet) {
    return;
  } else if (outcome.skipped) {
    out << fs::path(input).filename().string() << "  skipped: " << r.outputPath << " exists\n";
  } else if (r.status == ReductionStatus::Reduced) {
    out << fs::path(input).filename().string() << "  " << outcome.bytesIn << " -> "
        << outcome.bytesOut << " bytes  (" << std::fixed << std::setprecision(1)
        << SavedPercent(outcome.bytesIn, outcome.bytesOut) << "% saved)"
        << VerificationText(outcome);
    if (outcome.keptInput) {
      out << (settings.inPlace ? "  left as it was: " : "  input kept unchanged: ")
          << "reduced it would be " << outcome.bytesReduced << " bytes";
    }
    if (settings.verbose) out << "  -> " << r.outputPath;
    out << "\n";
  }
}

// A file that could not be checked has still been reduced; one that looks different has not.
bool Succeeded(const FileOutcome& outcome) {
  if (outcome.skipped) return true;
  return outcome.result.status == ReductionStatus::Reduced &&
         !(outcome.verification && outcome.verification->outcome == PlaybackComparison::Different);
}

}  // namespace

std::vector<std::string> CollectInputs(const std::vector<std::string>& paths) {
  std::vector<std::string> inputs;
  for (const std::string& path : paths) {
    std::error_code ec;
    if (!fs::is_directory(path, ec)) {
      inputs.push_back(path);
      continue;
    }
    std::vector<std::string> found;
    // Links to folders are not entered: one pointing back up would never end.
    for (auto it = fs::recursive_directory_iterator(
             path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_regular_file(ec) && EndsWithGif(it->path())) found.push_back(it->path().string());
    }
    std::sort(found.begin(), found.end());
    inputs.insert(inputs.end(), found.begin(), found.end());
  }
  return inputs;
}

namespace {

// Why the options do not go together; empty when they do.
std::string OptionClash(const ReduceSettings& settings) {
  // Replacing the inputs and writing elsewhere exclude each other, whatever -o names.
  if (settings.inPlace && !settings.outputFolder.empty())
    return "--in-place and -o exclude each other";
  if (settings.inPlace && settings.allowLarger) {
    return "--in-place and --allow-larger exclude each other";
  }
  if (settings.inPlace && settings.noClobber)
    return "--in-place and --no-clobber exclude each other";
  if (settings.preserveTimes && !settings.inPlace) return "--preserve-times needs --in-place";
  if (settings.nulSeparated && settings.fromList.empty()) return "-0 needs --from-list";
  const auto stdinPaths = std::count(settings.paths.begin(), settings.paths.end(), kStandardStream);
  if (stdinPaths + (settings.fromList == kStandardStream ? 1 : 0) > 1) {
    return "standard input can be read only once";
  }
  if (stdinPaths > 0 && settings.inPlace) return "standard input can't be replaced in place";
  return {};
}

// The paths of --from-list, read from in for "-". False when the list can't be read.
bool ReadPathList(const ReduceSettings& settings, std::istream& in, std::vector<std::string>& paths,
                  std::ostream& err) {
  std::vector<uint8_t> bytes;
  if (settings.fromList == kStandardStream) {
    bytes = ReadWholeStream(in);
  } else {
    std::string reason;
    auto read = ReadWholeFile(settings.fromList, reason);
    if (!read) {
      err << "Can't read the list " << settings.fromList << " (" << reason << ")\n";
      return false;
    }
    bytes = std::move(*read);
  }
  for (std::string& path :
       SplitPathList(std::string(bytes.begin(), bytes.end()), settings.nulSeparated)) {
    paths.push_back(std::move(path));
  }
  return true;
}

bool CheckOutputFolder(const std::string& outputFolder, std::ostream& err) {
  std::error_code ec;
  const fs::file_status folder = fs::status(outputFolder, ec);
  if (fs::exists(folder) && !fs::is_directory(folder)) {
    err << "Not a folder: " << outputFolder << ". Please select another folder.\n";
    return false;
  }
  if (outputFolder.empty() || !fs::is_directory(folder)) {
    err << kMissingFolder << "\n";
    return false;
  }
  return true;
}

}  // namespace

int RunReduce(const ReduceSettings& settings, std::ostream& out, std::ostream& err) {
  return RunReduce(settings, std::cin, out, err);
}

int RunReduce(const ReduceSettings& settings, std::istream& in, std::ostream& out,
              std::ostream& err) {
  if (const std::string clash = OptionClash(settings); !clash.empty()) {
    err << clash << "\n";
    return 2;
  }
  const bool toStandardOutput = settings.outputFolder == kStandardStream;
  if (!settings.inPlace && !toStandardOutput && !CheckOutputFolder(OutputFolderOf(settings), err)) {
    return 2;
  }
  std::vector<std::string> paths = settings.paths;
  if (!settings.fromList.empty() && !ReadPathList(settings, in, paths, err)) return 2;

  // The pipeline's outputs go to a private folder first unless they go straight to the output
  // folder; so does standard input, which the loader reads as a file.
  const bool readsStandardInput =
      std::find(paths.begin(), paths.end(), kStandardStream) != paths.end();
  const bool outputsToScratch = OutputsToScratch(settings);
  std::optional<ScratchFolder> scratch;
  if (outputsToScratch || readsStandardInput) {
    scratch.emplace();
    if (scratch->path().empty()) {
      err << "Can't make a temporary folder (" << std::strerror(errno) << ")\n";
      return 2;
    }
  }
  std::string standardInputCopy;
  std::optional<InFlightFile> standardInputListed;
  if (readsStandardInput) {
    standardInputCopy = scratch->path() + "/stdin.gif";
    standardInputListed.emplace(standardInputCopy);
    // Bounded like a file: a GIF larger than the memory budget is refused unread.
    const std::vector<uint8_t> bytes = ReadWholeStream(in, settings.options.memoryBudget);
    if (bytes.size() > settings.options.memoryBudget) {
      err << "Error loading gif file: - (larger than the memory budget)\n";
      return 1;
    }
    if (const std::string reason = WriteWholeFile(standardInputCopy, bytes); !reason.empty()) {
      err << "Can't keep standard input (" << reason << ")\n";
      return 2;
    }
    std::replace(paths.begin(), paths.end(), std::string(kStandardStream), standardInputCopy);
  }

  const std::vector<std::string> inputs = CollectInputs(paths);
  if (inputs.empty()) {
    err << "No files added.\n";
    return 1;
  }
  if (toStandardOutput && inputs.size() != 1) {
    err << "-o - writes one file; " << inputs.size() << " were given\n";
    return 2;
  }
  std::vector<std::string> shownInputs = inputs;
  for (std::string& shown : shownInputs) {
    if (shown == standardInputCopy) shown = kStandardStream;
  }

  std::vector<PlannedOutput> plan;
  if (!settings.inPlace && !toStandardOutput) plan = PlanOutputs(inputs, OutputFolderOf(settings));
  std::vector<Destination> destinations(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    Destination& destination = destinations[i];
    if (settings.inPlace) {
      destination.shownPath = shownInputs[i];
    } else if (toStandardOutput) {
      destination.shownPath = kStandardStream;
    } else {
      destination.plan = plan[i];
      destination.shownPath = plan[i].path;
      std::error_code ec;
      destination.skip = settings.noClobber && plan[i].refusal.empty() &&
                         fs::exists(fs::symlink_status(plan[i].path, ec));
    }
    if (outputsToScratch)
      destination.plan.path = scratch->path() + "/" + std::to_string(i) + ".gif";
  }

  const unsigned jobs =
      std::max(1u, settings.jobs ? settings.jobs : std::thread::hardware_concurrency());
  std::vector<std::optional<FileOutcome>> outcomes(inputs.size());
  std::mutex mutex;
  std::condition_variable ready;
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i = next++; i < inputs.size(); i = next++) {
      FileOutcome outcome;
      try {
        outcome = ReduceOne(inputs[i], destinations[i], settings);
      } catch (const std::exception& e) {
        // One file's failure never ends the batch.
        outcome.result.status = ReductionStatus::NotSaved;
        outcome.result.outputPath = destinations[i].shownPath;
        outcome.result.reason = e.what();
      }
      std::lock_guard lock(mutex);
      outcomes[i] = std::move(outcome);
      ready.notify_all();
    }
  };
  std::vector<std::thread> workers;
  for (unsigned j = 0; j < std::min<size_t>(jobs, inputs.size()); ++j) workers.emplace_back(work);

  // Results are reported in input order as they become ready. With -o - standard output carries
  // the file, so the report goes to the error stream.
  std::ostream& report = toStandardOutput ? err : out;
  int status = 0;
  uint64_t totalIn = 0, totalOut = 0;
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (settings.progress) DrawProgress(err, i, inputs.size(), shownInputs[i]);
    std::unique_lock lock(mutex);
    ready.wait(lock, [&] { return outcomes[i].has_value(); });
    const FileOutcome outcome = std::move(*outcomes[i]);
    outcomes[i]->standardOutput.clear();
    lock.unlock();
    if (settings.progress) err << "\r\033[K";
    Report(shownInputs[i], outcome, settings, report, err);
    if (!Succeeded(outcome)) status = 1;
    if (outcome.result.status == ReductionStatus::Reduced) {
      totalIn += outcome.bytesIn;
      totalOut += outcome.bytesOut;
    }
    if (toStandardOutput && Succeeded(outcome)) {
      out.write(reinterpret_cast<const char*>(outcome.standardOutput.data()),
                std::streamsize(outcome.standardOutput.size()));
      out.flush();
      if (!out) {
        err << "Error writing to standard output\n";
        status = 1;
      }
    }
  }
  for (std::thread& worker : workers) worker.join();
  if (settings.progress) {
    DrawProgress(err, inputs.size(), inputs.size(), "");
    err << "\n";
  }
  if (!settings.json && !settings.quiet) {
    report << "Total: " << totalIn << " -> " << totalOut << " bytes  (" << std::fixed
           << std::setprecision(1) << SavedPercent(totalIn, totalOut) << "% saved)"
           << (settings.dryRun ? "  dry run: nothing written" : "") << "\n";
  }
  return status;
}

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
                  "Output folder (default: current folder); - writes the one result to standard "
                  "output")
      ->type_name("DIR")
      ->check(CLI::Validator(
          [](const std::string& folder) {
            return folder.empty() ? std::string("an empty folder name") : std::string();
          },
          ""));
  cmd->add_flag("-b,--batch,--in-place", settings->inPlace,
                "Replace each input with its reduced form, only when that is smaller");
  cmd->add_flag("--preserve-times", settings->preserveTimes,
                "With --in-place, keep each file's access and modification times");
  cmd->add_flag("--allow-larger", settings->allowLarger,
                "Write the reduced file even when it is larger than its input (by default the "
                "input's bytes are written unchanged then)");
  cmd->add_flag("--dry-run", settings->dryRun, "Reduce and report the sizes, but write nothing");
  cmd->add_flag("-n,--no-clobber", settings->noClobber, "Skip inputs whose output file exists");
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
  cmd->add_option("-j,--jobs", settings->jobs, "Files reduced at once (default: number of cores)");
  cmd->add_flag("--json", settings->json, "One JSON object per file");
  cmd->add_flag("--verify", settings->verify,
                "Play input and output and check that every frame looks the same");
  cmd->add_option(
      "--max-memory", *maxMemory,
      "Memory for one file: its bytes and its frames, packed and in use, in MiB (default 1024)");
  cmd->callback([=, &exit_code] {
    settings->options.mode = *mode == "crop"   ? mGIFOptimizer::CropChangedArea
                             : *mode == "mask" ? mGIFOptimizer::MaskUnchangedPixels
                                               : mGIFOptimizer::OptimizationMode(2);
    settings->options.disableInterlacing = !*keepInterlace;
    settings->options.removeComments = !*keepComments;
    settings->options.memoryBudget = *maxMemory << 20;
    settings->progress = isatty(STDERR_FILENO) != 0 && !settings->quiet;
    exit_code = RunReduce(*settings, std::cout, std::cerr);
  });
}

}  // namespace lumatrim::cli
