#include "app/run_results.h"

#include <QLocale>

namespace lumatrim {

QString ReadableSize(qint64 bytes) {
  if (bytes < 1000) return QStringLiteral("%1 bytes").arg(bytes);
  return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

QString SavedShare(qint64 before, qint64 after) {
  if (before <= 0) return QStringLiteral("0%");
  return QString::number(100.0 * double(before - after) / double(before), 'f', 1) + u'%';
}

QString SummaryText(const RunResults& results) {
  int reduced = 0;
  qint64 before = 0;
  qint64 after = 0;
  for (const FileResult& result : results) {
    if (result.status != ReductionStatus::Reduced || result.bytesIn < 0 || result.bytesOut < 0) {
      continue;
    }
    ++reduced;
    before += result.bytesIn;
    after += result.bytesOut;
  }
  const int failed = int(results.size()) - reduced;
  QString text = QStringLiteral("%1 %2, %3 reduced")
                     .arg(results.size())
                     .arg(results.size() == 1 ? QStringLiteral("file") : QStringLiteral("files"))
                     .arg(reduced);
  if (failed > 0) text += QStringLiteral(", %1 failed").arg(failed);
  if (reduced == 0) return text + u'.';
  text += QStringLiteral(": %1 before, %2 after, ").arg(ReadableSize(before), ReadableSize(after));
  if (after <= before) {
    text += QStringLiteral("%1 saved (%2).")
                .arg(ReadableSize(before - after), SavedShare(before, after));
  } else {
    text += QStringLiteral("%1 larger.").arg(ReadableSize(after - before));
  }
  return text;
}

QString OutcomeText(const FileResult& result) {
  QString text;
  switch (result.status) {
    case ReductionStatus::Reduced:
      text = QStringLiteral("Reduced");
      return result.note.isEmpty() ? text : text + QStringLiteral(" (") + result.note + u')';
    case ReductionStatus::NotLoaded:
      text = QStringLiteral("Not loaded");
      break;
    case ReductionStatus::NotSaved:
      text = QStringLiteral("Not saved");
      break;
  }
  return result.reason.isEmpty() ? text : text + QStringLiteral(": ") + result.reason;
}

}  // namespace lumatrim
