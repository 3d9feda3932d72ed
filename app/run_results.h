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

// Sizes as people read them: "812 bytes", "1.2 KB", "3.4 MB" (powers of 1000).
QString ReadableSize(qint64 bytes);

// Bytes saved as a share of the bytes before, "33.3%"; the share grown, with a minus, when the
// output is larger.
QString SavedShare(qint64 before, qint64 after);

// One line over the run: how many files, how many were reduced and how many failed, and the
// bytes before and after and saved over the reduced files.
QString SummaryText(const RunResults& results);

// A file's outcome in words: "Reduced" (with the load's note), or "Not loaded" / "Not saved"
// with the reason.
QString OutcomeText(const FileResult& result);

}  // namespace lumatrim
