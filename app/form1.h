// Form1: the main window. The file list, the buttons that fill and clear it, the output folder
// box, "Start Reducing" and the progress bar; its handlers number their steps for the
// application error message.
#pragma once

#include <QCursor>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "app/reduction_run.h"
#include "app/settings_store.h"

class QEventLoop;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace lumatrim {

class FileListView;
class Prompter;
class RunResultsView;

// What the window takes from outside; tests put their own in.
struct AppEnvironment {
  // The folder of the executable: cursors, the optional skin and the Samples folder.
  QString appFolder;
  Prompter* prompter = nullptr;
  // The default output folder.
  std::function<QString()> desktopFolder;
  // Lets the event loop run; the window adds its own end-of-application check.
  std::function<void()> pump;
};

// The environment of the installed application.
AppEnvironment DefaultEnvironment(Prompter& prompter);

// A length in twips (15 to the pixel) as pixels.
constexpr int Twips(int twips) {
  return twips / 15;
}

class Form1 : public QWidget, public RunHost {
  Q_OBJECT

 public:
  explicit Form1(AppEnvironment environment, QWidget* parent = nullptr);

  // The start-up sequence (the window's load): skin, caption and titles, cursor, samples,
  // column, output folder, and the window's place and size as it last was.
  void startUp();

  // RunHost.
  int Count() const override;
  QString Text(int nItem) const override;
  void Add(const QString& text) override;
  int Additions() const override;
  bool Busy() const override { return bBusy_; }
  // Also enables "Stop" during a run, and "Open Output Folder" after one.
  void SetBusy(bool bBusy) override;
  bool StopRequested() const override { return stopRequested_; }
  QString OutputFolderText() const override;
  void SetPointer(MousePointer pointer) override;
  void SetProgressValue(double value) override;
  void SetProgressText(const QString& text) override;
  void PumpEvents() override;
  void RunAside(const std::function<void()>& work) override;
  void ShowResults(const RunResults& results) override;

  // Adds files and folders named on the command line, as a drop would.
  void openPaths(const QStringList& paths);

  MousePointer Pointer() const { return pointer_; }
  bool HasCustomPointerPicture() const { return customPointer_.has_value(); }
  double ProgressValue() const { return progressValue_; }
  QString ProgressText() const { return progressText_; }
  bool SkinApplied() const { return skinApplied_; }
  const RunResults& LastResults() const { return lastResults_; }

  // What the buttons and the list do. The error messages of the buttons keep the label of their
  // click handler ("...Form1.PushButton1_Click").
 public slots:
  void addFiles();             // PushButton1, "Add GIF File(s)"
  void startReducing();        // PushButton2, "Start Reducing"
  void addAllFilesInFolder();  // PushButton3, "Add All GIF File(s) In Folder"
  void chooseOutputFolder();   // PushButton4, "..."
  void clearList();            // PushButton6, "Clear List"
  void loadSamples();          // PushButton7, "Load Sample/Example Files"
  void stopAfterThisFile();    // PushButton8, "Stop": the run ends after the file in hand
  void openOutputFolder();     // PushButton9, "Open Output Folder": the last run's folder
  // Files and folders dropped on ListView1: folders are swept for every file.
  void addDroppedPaths(const QStringList& paths);
  // The per-file results of the last run, in a window of their own.
  void showResultsView();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // The controls, made, placed and wired; each part is a function of its own.
  void BuildControls();
  void CreateControls();
  void WatchPointerMoves();
  void ConnectControls();
  // Places the controls: at the smallest size as laid out in twips; a larger window stretches
  // the list, the folder box and the full-width controls.
  void PlaceControls();
  int SmallestHeight() const;
  void StartUpSteps();
  // The window's place and size: restored at start-up, stored shortly after each change (a
  // drag gives many) and at the latest when the window closes.
  void RestorePlacement();
  void PlacementChanged();
  void SavePlacement();
  void LoadSkin();
  QString AppFile(const QString& name) const;
  bool HourglassShown() const { return pointer_ == MousePointer::Hourglass; }
  // Removing items is off while the hourglass shows, and always while a file is being reduced
  // (an add-folder sweep in between resets the pointer).
  bool RemovalsAllowed() const { return !HourglassShown() && !waiting_; }
  // Runs a handler; a closed window ends it at its next event-loop turn.
  void Handle(const std::function<void()>& handler);

  AppEnvironment env_;
  SettingsStore settings_;

  FileListView* ListView1 = nullptr;
  QPushButton* PushButton1 = nullptr;
  QPushButton* PushButton3 = nullptr;
  QPushButton* PushButton6 = nullptr;
  QPushButton* PushButton7 = nullptr;
  QGroupBox* Frame1 = nullptr;
  QLineEdit* Text1 = nullptr;
  QPushButton* PushButton4 = nullptr;
  QPushButton* PushButton2 = nullptr;
  QPushButton* PushButton8 = nullptr;
  QPushButton* PushButton9 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  // The summary of the last run under the progress bar, hidden until a run has ended.
  QLabel* RunSummary = nullptr;
  RunResultsView* resultsView_ = nullptr;
  RunResults lastResults_;
  // The output folder as the last run ended with it; "" before the first run.
  QString lastOutputFolder_;
  int placedListWidth_ = 0;
  QTimer* placementTimer_ = nullptr;
  bool placementTracked_ = false;
  std::optional<QRect> normalPlacement_;
  // The loop that keeps the window answering while a file's work runs aside.
  QEventLoop* waiting_ = nullptr;

  bool bBusy_ = false;
  bool stopRequested_ = false;
  bool unloading_ = false;
  bool skinApplied_ = false;
  MousePointer pointer_ = MousePointer::Default;
  std::optional<QCursor> customPointer_;
  double progressValue_ = 0;
  QString progressText_;
};

inline const QString kListToolTip = QStringLiteral(
    "Drag and drop files here. Double-click item to remove it. Move | line to right and out of "
    "window to reveal full names.");
inline const QString kAddFilesTitle =
    QStringLiteral("Add File(s) - Hold Ctrl or Shift to select multiple files");
inline const QString kAddFilesFilter = QStringLiteral("GIF Files (*.gif;*.gif)|*.gif;*.gif|");
inline const QString kExtensionPrompt = QStringLiteral(
    "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc "
    "files, etc.)");
inline const QString kSelectFolderPrompt = QStringLiteral("Please select folder:");
inline const QString kStopCaption = QStringLiteral("Stop");
inline const QString kOpenOutputFolderCaption = QStringLiteral("Open Output Folder");
inline const QString kOutputFolderGone = QStringLiteral("Folder does not exist: ");

}  // namespace lumatrim
