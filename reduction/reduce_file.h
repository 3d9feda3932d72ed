// One file of a reduction run, shared by the window and the command line: the load, the pipeline
// with the run's options (or the smallest output of --best), and the save. ReduceBytes works on
// bytes in memory, so that standard input and output, in-place replacement and dry runs need no
// file of their own; ReduceFile reads a file, reduces it and writes the output.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "gif/gif_document.h"
#include "optimizer/pipeline.h"
#include "reduction/output_names.h"

namespace lumatrim {

enum class ReductionStatus { Reduced, NotLoaded, NotSaved };

// One input reduced in memory.
struct ReducedBytes {
  ReductionStatus status = ReductionStatus::NotLoaded;
  std::vector<uint8_t> bytes;  // the output, when reduced
  // Why the input was not loaded or not reduced: the reader's reason, or the step that failed
  // and why.
  std::string reason;
  std::string note;  // what the load left out of a file that was reduced, if anything
  // The input ends before its trailer (cut short while written or copied): the output shows
  // what it holds. The note says so too.
  bool cutShort = false;
  // Some frame of the input is cut at a code that can't be decoded: the output shows the input
  // as it reads here, and decoders that read on may show more of the input.
  bool framesCutAtBadCode = false;
  // Of an input read from a file: the bytes read, and whether the file's size or time changed
  // while it was read (the output shows what was read, which may be neither the old file nor
  // the new one).
  uint64_t bytesRead = 0;
  bool inputChanged = false;
};

// Loads input into oGIF and reduces it with options. A refusal (why the output may not be made)
// stops it after the load, so that the answer still says whether the input is a GIF.
ReducedBytes ReduceBytes(cGIF& oGIF, std::span<const uint8_t> input,
                         const ReductionOptions& options, const std::string& refusal = {});

// As ReduceBytes, for an open file, read from its start a piece at a time: its bytes are never
// held beside its frames, and --best loads its fresh copies from the file again. A caller that
// needs the bytes after reads the file again.
ReducedBytes ReduceOpenFile(cGIF& oGIF, InputFile& file, const ReductionOptions& options,
                            const std::string& refusal = {});

struct ReductionResult {
  ReductionStatus status = ReductionStatus::NotLoaded;
  std::string outputPath;
  // Why the file was not loaded or not saved: the reader's or writer's reason, the step of the
  // reduction that failed, or the refusal of the run's plan.
  std::string reason;
  std::string note;       // what the load left out of a file that was reduced, if anything
  uint64_t bytesIn = 0;   // the bytes read of the input
  uint64_t bytesOut = 0;  // the bytes written: 0 unless the output was saved
  // The input's size or time changed while it was read: the output shows what was read, which
  // may be neither the old file nor the new one. The note says so too.
  bool inputChanged = false;
  bool cutShort = false;            // as in ReducedBytes
  bool framesCutAtBadCode = false;  // as in ReducedBytes
};

// The note of an input that changed while it was read.
inline constexpr const char* kInputChangedNote =
    "the file changed while it was read; the output shows what was read";

// Adds one more sentence to a note.
void AddNote(std::string& note, const std::string& more);

// Reads inputPath, reduces it into oGIF and writes the output to output.path. A refused output is
// not written (the file is still loaded, so that the result says whether it is a GIF).
ReductionResult ReduceFile(cGIF& oGIF, const std::string& inputPath, const PlannedOutput& output,
                           const ReductionOptions& options);

// The same for a file on its own: its output goes into outputFolder, refused by nothing.
ReductionResult ReduceFile(cGIF& oGIF, const std::string& inputPath,
                           const std::string& outputFolder, const ReductionOptions& options,
                           char separator = '/');

}  // namespace lumatrim
