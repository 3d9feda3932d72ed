#include "cli/reduce_batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <iterator>
#include <mutex>
#include <optional>
#include <thread>

#include "cli/cli_app.h"
#include "cli/reduce_report.h"
#include "files/input_file.h"
#include "files/paths.h"
#include "raster/work_pool.h"

namespace lumatrim::cli {

namespace {

// The name standard input's output is made from: stdin-reduced.gif.
constexpr const char* kStandardInputName = "stdin.gif";

// Why the output folder can't take the outputs, naming it; empty when it can.
std::string OutputFolderProblem(const ReduceSettings& settings) {
  const std::string folder = OutputFolderOf(settings);
  switch (KindOf(folder)) {
    case PathKind::Folder:
      return {};
    case PathKind::Missing:
      return "Output folder does not exist: " + folder;
    default:
      return "Not a folder: " + folder;
  }
}

// Why the paths of --from-list can't be read; empty when they were.
std::string ReadPathList(const ReduceSettings& settings, std::istream& in,
                         std::vector<std::string>& paths) {
  std::vector<uint8_t> bytes;
  if (settings.fromList == kStandardStream) {
    bytes = ReadWholeStream(in);
  } else {
    Result<std::vector<uint8_t>> read = ReadWholeFile(settings.fromList);
    if (!read) return "Can't read the list " + settings.fromList + " (" + read.reason() + ")";
    bytes = std::move(*read);
  }
  for (std::string& path :
       SplitPathList(std::string(bytes.begin(), bytes.end()), settings.nulSeparated)) {
    paths.push_back(std::move(path));
  }
  return {};
}

// Whether an input's name already ends in the suffix, as an earlier run's output does.
bool LooksLikeAnOutput(const std::string& path, const std::string& suffix) {
  const std::string name = ReducedFileName(path, '/', "");
  const std::string base = name.substr(0, name.size() - 4);  // without ".gif"
  return base.size() >= suffix.size() &&
         base.compare(base.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Where each input goes, decided before any file is reduced, so that which output wins a name
// never depends on -j.
std::vector<BatchInput> PlanBatch(const std::vector<std::string>& inputs,
                                  const ReduceSettings& settings) {
  const DestinationKind destination = DestinationOf(settings);
  const auto earlierOutput = [&](const std::string& path) {
    return settings.skipReduced && path != kStandardStream &&
           LooksLikeAnOutput(path, settings.suffix);
  };
  // Earlier outputs that are skipped are not read, so a new output may replace them as any
  // output replaces the one before it.
  std::vector<std::string> read;
  std::copy_if(
      inputs.begin(), inputs.end(), std::back_inserter(read),
      [&](const std::string& path) { return path != kStandardStream && !earlierOutput(path); });
  OutputClaims claims;
  claims.AddInputs(read);
  const bool writesAFile =
      destination == DestinationKind::Folder || destination == DestinationKind::File;
  std::vector<BatchInput> batch;
  for (const std::string& path : inputs) {
    BatchInput input;
    input.path = path;
    if (earlierOutput(path)) {
      input.skipReason = "an earlier output (its name ends in " + settings.suffix + ")";
      batch.push_back(std::move(input));
      continue;
    }
    const std::string& named = path == kStandardStream ? kStandardInputName : path;
    if (destination == DestinationKind::Folder) {
      input.output = claims.Claim(named, OutputFolderOf(settings), '/', settings.suffix);
    } else if (destination == DestinationKind::File) {
      input.output = claims.ClaimPath(named, settings.outputFolder);
    }
    if (settings.noClobber && writesAFile && input.output.refusal.empty() &&
        KindOf(input.output.path, true) != PathKind::Missing) {
      input.skipReason = input.output.path + " exists";
    }
    batch.push_back(std::move(input));
  }
  return batch;
}

// Why the run can't start, with its exit status; nothing when it can.
struct Refusal {
  int status;
  std::string message;
};

// The inputs of the run from its paths and list; standard input's bytes are read into
// standardInput.
std::optional<Refusal> GatherInputs(const ReduceSettings& settings, std::istream& in,
                                    std::vector<std::string>& inputs,
                                    std::vector<uint8_t>& standardInput) {
  std::vector<std::string> paths = settings.paths;
  if (!settings.fromList.empty()) {
    if (std::string problem = ReadPathList(settings, in, paths); !problem.empty()) {
      return Refusal{kExitUsage, problem};
    }
  } else if (paths.empty()) {
    return Refusal{kExitUsage, "No input: name GIF files or folders, or --from-list FILE"};
  }
  if (std::find(paths.begin(), paths.end(), kStandardStream) != paths.end()) {
    // Bounded like a file: a GIF larger than the memory budget is refused unread.
    standardInput = ReadWholeStream(in, settings.options.memoryBudget);
    if (standardInput.size() > settings.options.memoryBudget) {
      return Refusal{kExitSomeFileFailed,
                     "Error loading gif file: - (larger than the memory budget)"};
    }
  }
  inputs = CollectInputs(paths);
  if (inputs.empty()) return Refusal{kExitSomeFileFailed, "No GIF files found"};
  const DestinationKind destination = DestinationOf(settings);
  if ((destination == DestinationKind::StandardOutput || destination == DestinationKind::File) &&
      inputs.size() != 1) {
    return Refusal{kExitUsage, "-o " + settings.outputFolder + " takes one file; " +
                                   std::to_string(inputs.size()) + " were given"};
  }
  return std::nullopt;
}

// Reduces every input on the pool's threads (the files of the batch, and the frames of each file
// on threads that no file keeps busy) and hands each outcome, in input order, to report as soon
// as it and those before it are done. While it waits, tick(i, partial) is called a few times a
// second with the next file to report and how far the files not yet done have come, in files.
template <class Report, class Tick>
void ReduceInOrder(const std::vector<BatchInput>& batch, const ReduceSettings& settings,
                   const std::vector<uint8_t>& standardInput, WorkPool& pool, Report report,
                   Tick tick) {
  std::vector<std::optional<FileOutcome>> outcomes(batch.size());
  std::vector<std::atomic<double>> progress(batch.size());
  std::mutex mutex;
  std::condition_variable ready;
  ReduceSettings shared = settings;
  shared.options.workers = &pool;
  // This thread reports; the runner and the pool's workers reduce.
  std::jthread runner([&] {
    pool.ParallelFor(batch.size(), [&](size_t i) {
      FileOutcome outcome;
      try {
        ReduceSettings own = shared;
        own.options.progress = [&progress, i](double f) {
          progress[i].store(f, std::memory_order_relaxed);
        };
        outcome = ReduceOne(batch[i], own, standardInput);
      } catch (...) {
        // One file's failure never ends the batch.
        outcome.result.status = ReductionStatus::NotSaved;
        outcome.result.reason = ReasonOfCurrentException();
      }
      progress[i].store(1, std::memory_order_relaxed);
      std::lock_guard lock(mutex);
      outcomes[i] = std::move(outcome);
      ready.notify_all();
    });
  });
  for (size_t i = 0; i < batch.size(); ++i) {
    std::unique_lock lock(mutex);
    while (!ready.wait_for(lock, std::chrono::milliseconds(200),
                           [&] { return outcomes[i].has_value(); })) {
      double partial = 0;
      for (size_t j = i; j < batch.size(); ++j) {
        partial += progress[j].load(std::memory_order_relaxed);
      }
      lock.unlock();
      tick(i, partial);
      lock.lock();
    }
    FileOutcome outcome = std::move(*outcomes[i]);
    outcomes[i].reset();
    lock.unlock();
    report(i, outcome);
  }
}

bool WriteToStandardOutput(const std::vector<uint8_t>& bytes, std::ostream& out) {
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  out.flush();
  return bool(out);
}

}  // namespace

std::vector<std::string> SplitPathList(const std::string& text, bool nul) {
  const char separator = nul ? '\0' : '\n';
  std::vector<std::string> paths;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    std::string path = text.substr(start, end - start);
    if (!nul && !path.empty() && path.back() == '\r') path.pop_back();
    if (!path.empty()) paths.push_back(std::move(path));
    start = end + 1;
  }
  return paths;
}

std::vector<std::string> CollectInputs(const std::vector<std::string>& paths) {
  std::vector<std::string> inputs;
  for (const std::string& path : paths) {
    if (path == kStandardStream || KindOf(path) != PathKind::Folder) {
      inputs.push_back(path);
      continue;
    }
    const std::vector<std::string> found = FilesBelow(path, ".gif");
    inputs.insert(inputs.end(), found.begin(), found.end());
  }
  return inputs;
}

int RunReduce(const ReduceSettings& settings, std::ostream& out, std::ostream& err) {
  return RunReduce(settings, std::cin, out, err);
}

int RunReduce(const ReduceSettings& settings, std::istream& in, std::ostream& out,
              std::ostream& err) {
  if (const std::string clash = OptionClash(settings); !clash.empty()) {
    err << clash << "\n";
    return kExitUsage;
  }
  if (DestinationOf(settings) == DestinationKind::Folder) {
    if (const std::string problem = OutputFolderProblem(settings); !problem.empty()) {
      err << problem << "\n";
      return kExitUsage;
    }
  }
  std::vector<std::string> inputs;
  std::vector<uint8_t> standardInput;
  if (const auto refusal = GatherInputs(settings, in, inputs, standardInput)) {
    err << refusal->message << "\n";
    return refusal->status;
  }
  const std::vector<BatchInput> batch = PlanBatch(inputs, settings);

  // With -o - standard output carries the file, so the report goes to the error stream.
  const bool toStandardOutput = DestinationOf(settings) == DestinationKind::StandardOutput;
  std::ostream& report = toStandardOutput ? err : out;
  int status = kExitOk;
  BatchTotals totals;
  if (settings.progress) DrawProgress(err, 0, batch.size(), batch.front().path);
  WorkPool pool(std::max(1u, settings.jobs ? settings.jobs : std::thread::hardware_concurrency()));
  ReduceInOrder(
      batch, settings, standardInput, pool,
      [&](size_t i, FileOutcome& outcome) {
        if (settings.progress) ClearProgress(err);
        if (toStandardOutput && Succeeded(outcome) && !settings.dryRun &&
            !WriteToStandardOutput(outcome.standardOutput, out)) {
          err << "Error writing to standard output\n";
          outcome.result.status = ReductionStatus::NotSaved;
          outcome.result.reason = "standard output can't be written";
          outcome.result.bytesOut = 0;
        }
        ReportFile(batch[i].path, outcome, settings, report, err);
        totals.Add(outcome);
        if (!Succeeded(outcome)) status = kExitSomeFileFailed;
        if (settings.progress && i + 1 < batch.size()) {
          DrawProgress(err, i + 1, batch.size(), batch[i + 1].path);
        }
      },
      [&](size_t i, double partial) {
        if (settings.progress) DrawProgress(err, i, batch.size(), batch[i].path, partial);
      });
  if (!settings.json && !settings.quiet) report << totals.Text(settings.dryRun) << "\n";
  report.flush();
  return status;
}

}  // namespace lumatrim::cli
