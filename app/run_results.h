// What a reduction run did with each file, and the one-line summary the window shows after it.
#pragma once

#include <QList>
#include <QString>

#include "reduction/reduce_file.h"

namespace lumatrim {

struct FileResult {
  QString input;
  QString output;
  ReductionStatus status = ReductionStatus::NotLoaded;
  QString reason;       // why the file was not loaded or not saved, when known
  QString note;         // what the load left out of a file that was reduced, if anything
  qint64 bytesIn = -1;  // -1 when the size could not be read
  qint64 bytesOut = -1;
};

using RunResults = QList<FileResult>;

// What became of a file: written smaller, larger or at the same size (or with a size that could
// not be read), or failed.
enum class Outcome { Smaller, Larger, SameSize, Written, NotLoaded, NotSaved };
Outcome OutcomeOf(const FileResult& result);

// Sizes as people read them: "812 bytes", "1.2 KB", "3.4 MB" (powers of 1000).
QString ReadableSize(qint64 bytes);

// Bytes saved as a share of the bytes before, "33.3%", for an output no larger than its input.
QString SavedShare(qint64 before, qint64 after);

// The change in size as a share of the bytes before, signed: "-33.3%", "+2.5%", "0%"; a change
// too small to show is "-<0.1%" or "+<0.1%", so that a larger file never reads "-0.0%".
QString SizeChange(qint64 before, qint64 after);

// One line over the run: how many files, how many came out smaller, larger or the same size and
// how many failed, and the bytes before and after and saved (or grown) over the files written.
QString SummaryText(const RunResults& results);

// A file's outcome in words: "Reduced", "Larger" or "Same size" (with the load's note), or
// "Not loaded" / "Not saved" with the reason.
QString OutcomeText(const FileResult& result);

}  // namespace lumatrim
