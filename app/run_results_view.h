// The per-file results of the last run in a window of their own: each file's size before and
// after, how much it changed, or why it failed. Every column sorts; "#" gives the run's order
// back. The file list itself stays as it is.
#pragma once

#include <QDialog>

#include "app/run_results.h"

class QTableWidget;

namespace lumatrim {

class RunResultsView : public QDialog {
  Q_OBJECT

 public:
  explicit RunResultsView(QWidget* parent = nullptr);

  // Replaces the rows with the results of a run, sorted as the user last sorted them.
  void ShowResults(const RunResults& results);

 private:
  void AddRow(int row, const FileResult& result);

  QTableWidget* table_ = nullptr;
};

}  // namespace lumatrim
