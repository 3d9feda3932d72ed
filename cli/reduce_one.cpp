#include "cli/reduce_one.h"

#include <new>

#include "files/paths.h"
#include "files/whole_file.h"

namespace lumatrim::cli {

namespace {

// Plays input and output side by side within the memory budget.
PlaybackComparison Verify(std::span<const uint8_t> input, std::span<const uint8_t> output,
                          uint64_t budget) {
  cGIF before, after;
  before.MemoryBudget(budget);
  after.MemoryBudget(budget);
  if (!before.LoadFromStream(input) || !after.LoadFromStream(output)) {
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
  outcome.result.bytesOut = 0;
}

// Puts the input's reduced bytes in its place, unless the input changed since it was read: the
// output would then throw away what the other program wrote.
void ReplaceInput(InputFile& file, const std::string& path, std::span<const uint8_t> bytes,
                  const ReduceSettings& settings, FileOutcome& outcome) {
  if (file.ChangedSinceOpened()) {
    return Fail(outcome, "the file changed while it was read; left as it was");
  }
  // A link is followed: the file it names is replaced, not the link.
  const Result<std::string> target = LinkTarget(path);
  if (!target) return Fail(outcome, target.reason());
  if (Status replaced = ReplaceFileContent(*target, bytes, settings.preserveTimes); !replaced) {
    return Fail(outcome, replaced.reason());
  }
  outcome.result.bytesOut = bytes.size();
}

// Delivers the reduced bytes (or the input's, when those are not larger) to the destination.
// inputBytes are the input's whenever the reduced bytes are not smaller.
void Deliver(const BatchInput& input, std::optional<InputFile>& file,
             std::span<const uint8_t> inputBytes, std::vector<uint8_t>& reduced,
             const ReduceSettings& settings, FileOutcome& outcome) {
  const DestinationKind destination = DestinationOf(settings);
  const bool inPlace = destination == DestinationKind::InPlace;
  // The input's bytes are at hand only where they may be needed: its size is the result's.
  const uint64_t inputSize = outcome.result.bytesIn;
  outcome.keptInput =
      inPlace ? reduced.size() >= inputSize : reduced.size() > inputSize && !settings.allowLarger;
  const std::span<const uint8_t> delivered =
      outcome.keptInput ? inputBytes : std::span<const uint8_t>(reduced);
  outcome.result.bytesOut = delivered.size();
  if (settings.dryRun) return;  // nothing is written
  switch (destination) {
    case DestinationKind::InPlace:
      if (!outcome.keptInput) ReplaceInput(*file, input.path, reduced, settings, outcome);
      return;
    case DestinationKind::StandardOutput:
      outcome.standardOutput.assign(delivered.begin(), delivered.end());
      return;
    case DestinationKind::Folder:
    case DestinationKind::File:
      if (Status written = WriteWholeFile(input.output.path, delivered); !written) {
        Fail(outcome, written.reason());
      }
      return;
  }
}

// Reduces standard input's bytes, or the file's (kept open, so that an in-place run can ask
// whether it changed meanwhile, and its bytes can be read again where they are needed).
ReducedBytes ReduceInput(cGIF& gif, const BatchInput& input, const ReduceSettings& settings,
                         std::span<const uint8_t> standardInput, std::optional<InputFile>& file,
                         FileOutcome& outcome) {
  if (input.path == kStandardStream) {
    outcome.result.bytesIn = standardInput.size();
    return ReduceBytes(gif, standardInput, settings.options, input.output.refusal);
  }
  Result<InputFile> opened = InputFile::Open(input.path);
  if (!opened) {
    ReducedBytes reduced;
    reduced.reason = opened.reason();
    return reduced;
  }
  file.emplace(std::move(*opened));
  ReducedBytes reduced = ReduceOpenFile(gif, *file, settings.options, input.output.refusal);
  outcome.result.bytesIn = reduced.bytesRead;
  outcome.result.inputChanged = reduced.inputChanged;
  return reduced;
}

}  // namespace

FileOutcome ReduceOne(const BatchInput& input, const ReduceSettings& settings,
                      std::span<const uint8_t> standardInput) {
  FileOutcome outcome;
  const DestinationKind destination = DestinationOf(settings);
  outcome.result.outputPath = destination == DestinationKind::InPlace ? input.path
                              : destination == DestinationKind::StandardOutput
                                  ? std::string(kStandardStream)
                                  : input.output.path;
  if (!input.skipReason.empty()) {
    outcome.skipReason = input.skipReason;
    return outcome;
  }
  std::optional<InputFile> file;
  cGIF gif;
  ReducedBytes reduced = ReduceInput(gif, input, settings, standardInput, file, outcome);
  outcome.result.status = reduced.status;
  outcome.result.reason = reduced.reason;
  outcome.result.note = reduced.note;
  outcome.result.cutShort = reduced.cutShort;
  outcome.result.framesCutAtBadCode = reduced.framesCutAtBadCode;
  if (outcome.result.inputChanged) AddNote(outcome.result.note, kInputChangedNote);
  if (reduced.status != ReductionStatus::Reduced) return outcome;
  outcome.bytesReduced = reduced.bytes.size();

  // A file's bytes are not held while it is reduced: they are read again where they are needed.
  std::vector<uint8_t> fileBytes;
  const bool inputNeeded = settings.verify || reduced.bytes.size() >= outcome.result.bytesIn;
  if (file && inputNeeded) {
    if (Status again = file->ReadAgain(fileBytes); !again) {
      Fail(outcome, again.reason());
      return outcome;
    }
  }
  const std::span<const uint8_t> inputBytes =
      file ? std::span<const uint8_t>(fileBytes) : standardInput;

  if (settings.verify) {
    outcome.verification = Verify(inputBytes, reduced.bytes, settings.options.memoryBudget);
    // Both are played as this program reads them; a frame cut at a bad code may show more in
    // a decoder that reads on, and "the same" then holds for this reading only.
    if (outcome.verification->outcome == PlaybackComparison::Same && reduced.framesCutAtBadCode) {
      outcome.verification->reason = kVerifiedAsReadHere;
    }
    // An output that looks different never takes the place of an input or reaches standard
    // output.
    if (outcome.verification->outcome == PlaybackComparison::Different &&
        (destination == DestinationKind::InPlace ||
         destination == DestinationKind::StandardOutput)) {
      return outcome;
    }
  }
  Deliver(input, file, inputBytes, reduced.bytes, settings, outcome);
  return outcome;
}

bool Succeeded(const FileOutcome& outcome) {
  if (!outcome.skipReason.empty()) return true;
  return outcome.result.status == ReductionStatus::Reduced &&
         !(outcome.verification && outcome.verification->outcome == PlaybackComparison::Different);
}

}  // namespace lumatrim::cli
