#include "reduction/reduce_file.h"

#include "best/smallest.h"
#include "files/whole_file.h"

namespace lumatrim {

namespace {

// Loads input into oGIF; false, with the reason in reduced, when it is not a GIF it can read.
bool Load(cGIF& oGIF, std::span<const uint8_t> input, const ReductionOptions& options,
          ReducedBytes& reduced) {
  oGIF.MemoryBudget(options.memoryBudget);
  oGIF.Workers(options.workers);
  if (input.empty()) {
    reduced.reason = "the file is empty";
    return false;
  }
  if (!oGIF.LoadFromStream(input)) {
    reduced.reason = oGIF.LoadError();
    return false;
  }
  reduced.note = oGIF.LoadNote();
  reduced.cutShort = oGIF.Damage().endsEarly;
  reduced.framesCutAtBadCode = !oGIF.Damage().framesCutAtBadCode.empty();
  return true;
}

// Reduces the loaded document; input is what it was loaded from.
void Reduce(cGIF& oGIF, std::span<const uint8_t> input, const ReductionOptions& options,
            ReducedBytes& reduced) {
  Result<std::vector<uint8_t>> bytes =
      options.best ? best::SmallestBytes(oGIF, options, input) : OptimizeToBytes(oGIF, options);
  if (!bytes) {
    reduced.status = ReductionStatus::NotSaved;
    reduced.reason = bytes.reason();
    return;
  }
  reduced.status = ReductionStatus::Reduced;
  reduced.bytes = std::move(*bytes);
}

// Reads inputPath and reduces it, unless refusal says why its output may not be written (the
// file is still loaded, so that the answer says whether it is a GIF). The input's bytes are let
// go on return, before the output is written.
ReducedBytes ReadAndReduce(cGIF& oGIF, const std::string& inputPath, const std::string& refusal,
                           const ReductionOptions& options, ReductionResult& result) {
  ReducedBytes reduced;
  const Result<GifFileBytes> input = ReadGifFile(inputPath, options.memoryBudget);
  if (!input) {
    reduced.reason = input.reason();
    return reduced;
  }
  result.bytesIn = input->bytes.size();
  result.inputChanged = input->changedWhileRead;
  return ReduceBytes(oGIF, input->bytes, options, refusal);
}

}  // namespace

void AddNote(std::string& note, const std::string& more) {
  if (more.empty()) return;
  note += note.empty() ? more : "; " + more;
}

ReducedBytes ReduceBytes(cGIF& oGIF, std::span<const uint8_t> input,
                         const ReductionOptions& options, const std::string& refusal) {
  ReducedBytes reduced;
  if (!Load(oGIF, input, options, reduced)) return reduced;
  if (!refusal.empty()) {
    reduced.status = ReductionStatus::NotSaved;
    reduced.reason = refusal;
    return reduced;
  }
  Reduce(oGIF, input, options, reduced);
  return reduced;
}

ReductionResult ReduceFile(cGIF& oGIF, const std::string& inputPath, const PlannedOutput& output,
                           const ReductionOptions& options) {
  ReductionResult result;
  result.outputPath = output.path;
  const ReducedBytes reduced = ReadAndReduce(oGIF, inputPath, output.refusal, options, result);
  result.status = reduced.status;
  result.reason = reduced.reason;
  result.note = reduced.note;
  result.cutShort = reduced.cutShort;
  result.framesCutAtBadCode = reduced.framesCutAtBadCode;
  if (result.inputChanged) AddNote(result.note, kInputChangedNote);
  if (reduced.status != ReductionStatus::Reduced) return result;
  if (Status written = WriteWholeFile(output.path, reduced.bytes); !written) {
    result.status = ReductionStatus::NotSaved;
    result.reason = written.reason();
    return result;
  }
  result.bytesOut = reduced.bytes.size();
  return result;
}

ReductionResult ReduceFile(cGIF& oGIF, const std::string& inputPath,
                           const std::string& outputFolder, const ReductionOptions& options,
                           char separator) {
  const PlannedOutput output{ReducedOutputPath(inputPath, outputFolder, separator), {}};
  return ReduceFile(oGIF, inputPath, output, options);
}

}  // namespace lumatrim
