// The per-file results of the last run in a window of their own: each file's size before and
// after, what was saved, or why it failed. The file list itself stays as it is.
#pragma once

#include <QDialog>

#include "app/run_results.h"

class QTableWidget;

namespace lumatrim {

class RunResultsView : public QDialog {
  Q_OBJECT

 public:
  explicit RunResultsView(QWidget* parent = nullptr);

  // Replaces the rows with the results of a run.
  void ShowResults(const RunResults& results);

 private:
  QTableWidget* table_ = nullptr;
};

}  // namespace lumatrim
