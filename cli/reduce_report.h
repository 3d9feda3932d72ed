// What `lumatrim-cli reduce` says about each file and the whole batch: a line of text or a JSON
// object per file, the errors on the error stream, a progress bar on a terminal, and the total.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "cli/reduce_one.h"

namespace lumatrim::cli {

// A size for people: "512 bytes", "12.3 KiB", "4.0 MiB".
std::string HumanSize(uint64_t bytes);

// Reports one file: its line on out (text or JSON, as settings say), its errors and notes on err.
// Both streams are flushed, so that an interrupted batch keeps the lines of the files done.
void ReportFile(const std::string& shownInput, const FileOutcome& outcome,
                const ReduceSettings& settings, std::ostream& out, std::ostream& err);

// The counts and sizes of a batch, summed as its files are reported.
class BatchTotals {
 public:
  void Add(const FileOutcome& outcome);
  // "Total: 3 files, 2 reduced, 1 failed: 1.2 MiB -> 800.0 KiB  (33.3% saved)".
  std::string Text(bool dryRun) const;

 private:
  uint64_t files_ = 0, reduced_ = 0, skipped_ = 0, failed_ = 0;
  uint64_t bytesIn_ = 0, bytesOut_ = 0;
};

// The progress bar on the error stream: files done of total, and the file in hand. partial is
// the work done on files not yet done, in files (a long file moves the bar as its frames go).
void DrawProgress(std::ostream& err, size_t done, size_t total, const std::string& current,
                  double partial = 0);
void ClearProgress(std::ostream& err);

}  // namespace lumatrim::cli
