#include "app/run_results_view.h"

#include <QHeaderView>
#include <QLocale>
#include <QTableWidget>
#include <QVBoxLayout>
#include <limits>

#include "app/path_utils.h"

namespace lumatrim {

namespace {

enum Column { kOrder, kFile, kBefore, kAfter, kChange, kOutcome, kColumns };

// A cell that sorts by a number when it has one (sizes, shares, the run's order) and otherwise
// by its text, ignoring case first.
class Cell : public QTableWidgetItem {
 public:
  explicit Cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft)
      : QTableWidgetItem(text) {
    setTextAlignment(alignment | Qt::AlignVCenter);
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  }
  Cell(const QString& text, double sortKey) : Cell(text, Qt::Alignment(Qt::AlignRight)) {
    setData(Qt::UserRole, sortKey);
  }

  bool operator<(const QTableWidgetItem& other) const override {
    const QVariant mine = data(Qt::UserRole);
    const QVariant theirs = other.data(Qt::UserRole);
    if (mine.isValid() && theirs.isValid()) return mine.toDouble() < theirs.toDouble();
    const int folded = text().compare(other.text(), Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : text() < other.text();
  }
};

// Unknown sizes sort before every size.
Cell* SizeCell(qint64 bytes) {
  return new Cell(bytes < 0 ? QString() : QLocale().toString(bytes), double(bytes));
}

// The change as a share; files that were not written sort after every change.
Cell* ChangeCell(const FileResult& result) {
  const Outcome outcome = OutcomeOf(result);
  if (outcome != Outcome::Smaller && outcome != Outcome::Larger && outcome != Outcome::SameSize) {
    return new Cell(QString(), std::numeric_limits<double>::infinity());
  }
  const double share = double(result.bytesOut - result.bytesIn) / double(result.bytesIn);
  return new Cell(SizeChange(result.bytesIn, result.bytesOut), share);
}

}  // namespace

RunResultsView::RunResultsView(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("RunResults"));
  setWindowTitle(QStringLiteral("Results"));
  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName(QStringLiteral("RunResultsTable"));
  table_->setHorizontalHeaderLabels({QStringLiteral("#"), QStringLiteral("File"),
                                     QStringLiteral("Bytes before"), QStringLiteral("Bytes after"),
                                     QStringLiteral("Change"), QStringLiteral("Result")});
  table_->verticalHeader()->hide();
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->horizontalHeader()->setStretchLastSection(true);
  // The run's order until the user picks a column.
  table_->horizontalHeader()->setSortIndicator(kOrder, Qt::AscendingOrder);
  table_->setSortingEnabled(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  resize(760, 320);
}

void RunResultsView::ShowResults(const RunResults& results) {
  // Rows are sorted once they are whole, not while their cells arrive.
  table_->setSortingEnabled(false);
  table_->setRowCount(int(results.size()));
  for (int row = 0; row < int(results.size()); ++row) AddRow(row, results[row]);
  table_->setSortingEnabled(true);
  table_->resizeColumnsToContents();
}

void RunResultsView::AddRow(int row, const FileResult& result) {
  table_->setItem(row, kOrder, new Cell(QString::number(row + 1), double(row)));
  auto* file = new Cell(FileNameOf(result.input));
  file->setToolTip(result.input);
  table_->setItem(row, kFile, file);
  table_->setItem(row, kBefore, SizeCell(result.bytesIn));
  const bool written = result.status == ReductionStatus::Reduced;
  table_->setItem(row, kAfter, SizeCell(written ? result.bytesOut : -1));
  table_->setItem(row, kChange, ChangeCell(result));
  auto* outcome = new Cell(OutcomeText(result));
  outcome->setToolTip(written ? result.output : OutcomeText(result));
  table_->setItem(row, kOutcome, outcome);
}

}  // namespace lumatrim
