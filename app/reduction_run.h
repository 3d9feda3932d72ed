// The reduction run behind "Start Reducing": every file of the list, in list order, loaded,
// optimized with the run's fixed options and written into the output folder as NAME-reduced.gif;
// progress on the bar, a message for each file that can't be loaded or saved, the results, and
// "Done." at the end, also when the user stopped the run after one of its files. The steps run on
// the UI thread; each file's work runs off it.
#pragma once

#include <QString>
#include <functional>

#include "app/file_list.h"
#include "app/run_results.h"

class QWidget;

namespace lumatrim {

class Prompter;

enum class MousePointer { Default = 0, Arrow = 1, Hourglass = 11, Custom = 99 };

// What the run needs of the window.
class RunHost : public FileList {
 public:
  // How many texts were ever added to the list. It only grows, so the run can tell whether the
  // list may hold a text it has not seen, whatever was removed or moved meanwhile.
  virtual int Additions() const = 0;
  virtual bool Busy() const = 0;
  virtual void SetBusy(bool bBusy) = 0;
  // True once the user has asked to stop the run; the run ends after the file in hand.
  virtual bool StopRequested() const = 0;
  // The output folder box's text, verbatim.
  virtual QString OutputFolderText() const = 0;
  virtual void SetPointer(MousePointer pointer) = 0;
  virtual void SetProgressValue(double value) = 0;
  virtual void SetProgressText(const QString& text) = 0;
  // Lets the event loop process what is pending.
  virtual void PumpEvents() = 0;
  // Runs work off the UI thread and returns when it has finished; the window keeps answering
  // meanwhile. A failure of the work is thrown here.
  virtual void RunAside(const std::function<void()>& work) = 0;
  // Shows what the run did with each file.
  virtual void ShowResults(const RunResults& results) = 0;
};

inline const QString kNoFilesAdded = QStringLiteral("No files added.");
inline const QString kFolderMissing =
    QStringLiteral("Folder does not exist. Please select another folder.");
inline const QString kErrorLoading = QStringLiteral("Error loading gif file: ");
inline const QString kErrorSaving = QStringLiteral("Error saving gif file: ");
inline const QString kDone = QStringLiteral("Done.");
inline const QString kProcessing = QStringLiteral("Processing: ");
inline const QString kProgressBarText = QStringLiteral("Progress Bar");

void RunReduction(RunHost& host, Prompter& prompter, QWidget* owner);

}  // namespace lumatrim
