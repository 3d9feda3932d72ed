#include "app/run_results.h"

#include <QLocale>
#include <QStringList>
#include <cmath>

namespace lumatrim {

Outcome OutcomeOf(const FileResult& result) {
  switch (result.status) {
    case ReductionStatus::NotLoaded:
      return Outcome::NotLoaded;
    case ReductionStatus::NotSaved:
      return Outcome::NotSaved;
    case ReductionStatus::Reduced:
      break;
  }
  if (result.bytesIn < 0 || result.bytesOut < 0) return Outcome::Written;
  if (result.bytesOut < result.bytesIn) return Outcome::Smaller;
  return result.bytesOut > result.bytesIn ? Outcome::Larger : Outcome::SameSize;
}

QString ReadableSize(qint64 bytes) {
  if (bytes < 1000) return QStringLiteral("%1 bytes").arg(bytes);
  return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

QString SavedShare(qint64 before, qint64 after) {
  if (before <= 0) return QStringLiteral("0%");
  return QString::number(100.0 * double(before - after) / double(before), 'f', 1) + u'%';
}

QString SizeChange(qint64 before, qint64 after) {
  if (after == before) return QStringLiteral("0%");
  const QChar sign = after > before ? u'+' : u'-';
  if (before <= 0) return sign + QStringLiteral("100%");
  QString share =
      QString::number(std::abs(100.0 * double(after - before) / double(before)), 'f', 1);
  if (share == u"0.0") share = QStringLiteral("<0.1");
  return sign + share + u'%';
}

QString SummaryText(const RunResults& results) {
  int counts[6] = {};
  qint64 before = 0;
  qint64 after = 0;
  for (const FileResult& result : results) {
    const Outcome outcome = OutcomeOf(result);
    ++counts[int(outcome)];
    if (outcome == Outcome::Smaller || outcome == Outcome::Larger || outcome == Outcome::SameSize) {
      before += result.bytesIn;
      after += result.bytesOut;
    }
  }
  const auto count = [&](Outcome outcome) { return counts[int(outcome)]; };
  QStringList parts{
      QStringLiteral("%1 %2")
          .arg(results.size())
          .arg(results.size() == 1 ? QStringLiteral("file") : QStringLiteral("files")),
      QStringLiteral("%1 reduced").arg(count(Outcome::Smaller))};
  if (count(Outcome::Larger) > 0) parts << QStringLiteral("%1 larger").arg(count(Outcome::Larger));
  if (count(Outcome::SameSize) > 0) {
    parts << QStringLiteral("%1 the same size").arg(count(Outcome::SameSize));
  }
  if (count(Outcome::Written) > 0) {
    parts << QStringLiteral("%1 written, size unknown").arg(count(Outcome::Written));
  }
  const int failed = count(Outcome::NotLoaded) + count(Outcome::NotSaved);
  if (failed > 0) parts << QStringLiteral("%1 failed").arg(failed);
  QString text = parts.join(QStringLiteral(", "));
  if (count(Outcome::Smaller) + count(Outcome::Larger) + count(Outcome::SameSize) == 0) {
    return text + u'.';
  }
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
  const auto noted = [&](const QString& text) {
    return result.note.isEmpty() ? text : text + QStringLiteral(" (") + result.note + u')';
  };
  const auto failed = [&](const QString& text) {
    // Every failure says why, even where the reader or writer gave no reason.
    return text + QStringLiteral(": ") +
           (result.reason.isEmpty() ? QStringLiteral("reason unknown") : result.reason);
  };
  switch (OutcomeOf(result)) {
    case Outcome::Smaller:
      return noted(QStringLiteral("Reduced"));
    case Outcome::Larger:
      return noted(QStringLiteral("Larger"));
    case Outcome::SameSize:
      return noted(QStringLiteral("Same size"));
    case Outcome::Written:
      return noted(QStringLiteral("Written"));
    case Outcome::NotLoaded:
      return failed(QStringLiteral("Not loaded"));
    case Outcome::NotSaved:
      return failed(QStringLiteral("Not saved"));
  }
  return QString();
}

}  // namespace lumatrim
