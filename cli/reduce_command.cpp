#include "cli/reduce_command.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include "cli/json_text.h"
#include "playback/viewer.h"

namespace lumatrim::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kMissingFolder = "Folder does not exist. Please select another folder.";

struct FileOutcome {
  ReductionResult result;
  uint64_t bytesIn = 0;
  uint64_t bytesOut = 0;
  std::optional<PlaybackComparison> verification;  // with --verify
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

FileOutcome ReduceOne(const std::string& input, const PlannedOutput& output,
                      const ReduceSettings& settings) {
  FileOutcome outcome;
  cGIF gif;
  outcome.bytesIn = SizeOf(input);
  outcome.result = ReduceFile(gif, input, output, settings.options);
  if (outcome.result.status != ReductionStatus::Reduced) return outcome;
  outcome.bytesOut = SizeOf(outcome.result.outputPath);
  if (settings.verify) outcome.verification = Verify(input, outcome.result.outputPath, settings);
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
  if (!r.note.empty()) err << "Note: " << input << ": " << r.note << "\n";
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
    }
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
  } else if (r.status == ReductionStatus::Reduced) {
    out << fs::path(input).filename().string() << "  " << outcome.bytesIn << " -> "
        << outcome.bytesOut << " bytes  (" << std::fixed << std::setprecision(1)
        << SavedPercent(outcome.bytesIn, outcome.bytesOut) << "% saved)"
        << VerificationText(outcome) << "\n";
  }
}

// A file that could not be checked has still been reduced; one that looks different has not.
bool Succeeded(const FileOutcome& outcome) {
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

int RunReduce(const ReduceSettings& settings, std::ostream& out, std::ostream& err) {
  std::error_code ec;
  const fs::file_status folder = fs::status(settings.outputFolder, ec);
  if (fs::exists(folder) && !fs::is_directory(folder)) {
    err << "Not a folder: " << settings.outputFolder << ". Please select another folder.\n";
    return 2;
  }
  if (settings.outputFolder.empty() || !fs::is_directory(folder)) {
    err << kMissingFolder << "\n";
    return 2;
  }
  const std::vector<std::string> inputs = CollectInputs(settings.paths);
  if (inputs.empty()) {
    err << "No files added.\n";
    return 1;
  }
  const std::vector<PlannedOutput> plan = PlanOutputs(inputs, settings.outputFolder);

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
        outcome = ReduceOne(inputs[i], plan[i], settings);
      } catch (const std::exception& e) {
        // One file's failure never ends the batch.
        outcome.result.status = ReductionStatus::NotSaved;
        outcome.result.outputPath = plan[i].path;
        outcome.result.reason = e.what();
      }
      std::lock_guard lock(mutex);
      outcomes[i] = std::move(outcome);
      ready.notify_all();
    }
  };
  std::vector<std::thread> workers;
  for (unsigned j = 0; j < std::min<size_t>(jobs, inputs.size()); ++j) workers.emplace_back(work);

  // Results are reported in input order as they become ready.
  int status = 0;
  uint64_t totalIn = 0, totalOut = 0;
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (settings.progress) DrawProgress(err, i, inputs.size(), inputs[i]);
    std::unique_lock lock(mutex);
    ready.wait(lock, [&] { return outcomes[i].has_value(); });
    const FileOutcome outcome = *outcomes[i];
    lock.unlock();
    if (settings.progress) err << "\r\033[K";
    Report(inputs[i], outcome, settings, out, err);
    if (!Succeeded(outcome)) status = 1;
    if (outcome.result.status == ReductionStatus::Reduced) {
      totalIn += outcome.bytesIn;
      totalOut += outcome.bytesOut;
    }
  }
  for (std::thread& worker : workers) worker.join();
  if (settings.progress) {
    DrawProgress(err, inputs.size(), inputs.size(), "");
    err << "\n";
  }
  if (!settings.json) {
    out << "Total: " << totalIn << " -> " << totalOut << " bytes  (" << std::fixed
        << std::setprecision(1) << SavedPercent(totalIn, totalOut) << "% saved)\n";
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
  cmd->add_option("PATH", settings->paths, "GIF files, or folders to sweep for *.gif")->required();
  cmd->add_option("-o,--output", settings->outputFolder, "Output folder (default: current folder)");
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
    settings->progress = isatty(STDERR_FILENO) != 0;
    exit_code = RunReduce(*settings, std::cout, std::cerr);
  });
}

}  // namespace lumatrim::cli
