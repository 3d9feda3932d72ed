#include "app/run_results_view.h"

#include <QHeaderView>
#include <QLocale>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/path_utils.h"

namespace lumatrim {

namespace {

enum Column { kFile, kBefore, kAfter, kSaved, kOutcome, kColumns };

QTableWidgetItem* Cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft) {
  auto* cell = new QTableWidgetItem(text);
  cell->setTextAlignment(alignment | Qt::AlignVCenter);
  cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return cell;
}

QTableWidgetItem* SizeCell(qint64 bytes) {
  return Cell(bytes < 0 ? QString() : QLocale().toString(bytes), Qt::AlignRight);
}

}  // namespace

RunResultsView::RunResultsView(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("RunResults"));
  setWindowTitle(QStringLiteral("Results"));
  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName(QStringLiteral("RunResultsTable"));
  table_->setHorizontalHeaderLabels({QStringLiteral("File"), QStringLiteral("Bytes before"),
                                     QStringLiteral("Bytes after"), QStringLiteral("Saved"),
                                     QStringLiteral("Result")});
  table_->verticalHeader()->hide();
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->horizontalHeader()->setStretchLastSection(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  resize(720, 320);
}

void RunResultsView::ShowResults(const RunResults& results) {
  table_->setRowCount(int(results.size()));
  for (int row = 0; row < int(results.size()); ++row) {
    const FileResult& result = results[row];
    QTableWidgetItem* file = Cell(FileNameOf(result.input));
    file->setToolTip(result.input);
    table_->setItem(row, kFile, file);
    table_->setItem(row, kBefore, SizeCell(result.bytesIn));
    const bool reduced = result.status == ReductionStatus::Reduced;
    table_->setItem(row, kAfter, SizeCell(reduced ? result.bytesOut : -1));
    table_->setItem(row, kSaved,
                    Cell(reduced && result.bytesIn >= 0 && result.bytesOut >= 0
                             ? SavedShare(result.bytesIn, result.bytesOut)
                             : QString(),
                         Qt::AlignRight));
    QTableWidgetItem* outcome = Cell(OutcomeText(result));
    outcome->setToolTip(reduced ? result.output : OutcomeText(result));
    table_->setItem(row, kOutcome, outcome);
  }
  table_->resizeColumnsToContents();
}

}  // namespace lumatrim
