#include "app/form1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <exception>
#include <memory>
#include <stdexcept>

#include "app/add_folder.h"
#include "app/app_error.h"
#include "app/app_icon.h"
#include "app/cursor_files.h"
#include "app/file_attributes.h"
#include "app/file_list_view.h"
#include "app/folder_sweep.h"
#include "app/path_utils.h"
#include "app/prompter.h"
#include "app/run_results_view.h"
#include "app/samples.h"
#include "app/window_placement.h"

namespace lumatrim {

namespace {

// The client area at its smallest, with the row of "Stop" and "Open Output Folder" under the
// progress bar, and the row the run's summary adds under those.
constexpr int kClientWidth = 8040;
constexpr int kButtonRow = 510;
constexpr int kClientHeight = 5670 + kButtonRow;
constexpr int kSummaryRow = 330;
// How long the window's place and size must stay put before they are stored.
constexpr int kPlacementSettleMs = 400;

// A rectangle given in twips, in pixels.
QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}

QFont ArialBold(double points) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(points);
  font.setBold(true);
  return font;
}

// The folder part of a chosen file as the file dialog names it: the root keeps its separator.
QString DialogFolderOf(const QString& path) {
  const QString folder = path.left(path.lastIndexOf(kSeparator));
  return folder.isEmpty() ? QString(kSeparator) : folder;
}

QPushButton* MakeButton(QWidget* parent, const char* objectName, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(objectName));
  button->setFont(ArialBold(11.25));
  // A move over a button is the button's alone; the window underneath would reset the pointer.
  button->setAttribute(Qt::WA_NoMousePropagation);
  return button;
}

}  // namespace

AppEnvironment DefaultEnvironment(Prompter& prompter) {
  AppEnvironment environment;
  environment.appFolder = QCoreApplication::applicationDirPath();
  environment.prompter = &prompter;
  environment.desktopFolder = GetDesktopFolder;
  environment.pump = [] { QCoreApplication::processEvents(); };
  return environment;
}

Form1::Form1(AppEnvironment environment, QWidget* parent)
    : QWidget(parent), env_(std::move(environment)) {
  BuildControls();
}

void Form1::BuildControls() {
  setObjectName(QStringLiteral("Form1"));
  resize(Twips(kClientWidth), Twips(kClientHeight));
  setMinimumSize(size());
  setFont(ArialBold(9));
  placementTimer_ = new QTimer(this);
  placementTimer_->setSingleShot(true);
  placementTimer_->setInterval(kPlacementSettleMs);
  connect(placementTimer_, &QTimer::timeout, this, &Form1::SavePlacement);
  CreateControls();
  PlaceControls();
  WatchPointerMoves();
  ConnectControls();
}

void Form1::CreateControls() {
  // Geometry comes from PlaceControls.
  ListView1 = new FileListView(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->setFont(ArialBold(9));
  ListView1->setToolTip(kListToolTip);
  PushButton1 = MakeButton(this, "PushButton1", QStringLiteral("Add GIF File(s)"));
  PushButton3 = MakeButton(this, "PushButton3", QStringLiteral("Add All GIF File(s) In Folder"));
  PushButton6 = MakeButton(this, "PushButton6", QStringLiteral("Clear List"));
  PushButton7 = MakeButton(this, "PushButton7", QStringLiteral("Load Sample/Example Files"));
  Frame1 = new QGroupBox(QStringLiteral("Save Results To This Folder"), this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Text1 = new QLineEdit(Frame1);
  Text1->setObjectName(QStringLiteral("Text1"));
  PushButton4 = MakeButton(Frame1, "PushButton4", QStringLiteral("..."));
  PushButton2 = MakeButton(this, "PushButton2", QStringLiteral("Start Reducing"));
  PushButton8 = MakeButton(this, "PushButton8", kStopCaption);
  PushButton8->setToolTip(QStringLiteral("Stop the run once the file in hand is done"));
  PushButton8->setEnabled(false);
  PushButton9 = MakeButton(this, "PushButton9", kOpenOutputFolderCaption);
  PushButton9->setEnabled(false);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setTextVisible(true);
  ProgressBar1->setAlignment(Qt::AlignCenter);
  SetProgressValue(0);
  SetProgressText(kProgressBarText);
  RunSummary = new QLabel(this);
  RunSummary->setObjectName(QStringLiteral("RunSummary"));
  QFont summaryFont = ArialBold(9);
  summaryFont.setBold(false);
  RunSummary->setFont(summaryFont);
  RunSummary->hide();
}

void Form1::WatchPointerMoves() {
  // Pointer changes by mouse moves: the custom pointer over buttons, the default elsewhere.
  for (QWidget* watched : std::initializer_list<QWidget*>{
           this, PushButton1, PushButton2, PushButton3, PushButton4, PushButton6, PushButton7,
           PushButton8, PushButton9, Frame1, Text1, ListView1->viewport()}) {
    watched->setMouseTracking(true);
    watched->installEventFilter(this);
  }
}

void Form1::ConnectControls() {
  ListView1->SetRemovalsAllowed([this] { return RemovalsAllowed(); });
  ListView1->SetDragCursorFile(AppFile(QStringLiteral("drag.ico")));
  connect(ListView1, &FileListView::PathsDropped, this,
          [this](const QStringList& paths) { Handle([&] { addDroppedPaths(paths); }); });
  const auto onClick = [this](QPushButton* button, void (Form1::*handler)()) {
    connect(button, &QPushButton::clicked, this,
            [this, handler] { Handle([&] { (this->*handler)(); }); });
  };
  onClick(PushButton1, &Form1::addFiles);
  onClick(PushButton2, &Form1::startReducing);
  onClick(PushButton3, &Form1::addAllFilesInFolder);
  onClick(PushButton4, &Form1::chooseOutputFolder);
  onClick(PushButton6, &Form1::clearList);
  onClick(PushButton7, &Form1::loadSamples);
  onClick(PushButton8, &Form1::stopAfterThisFile);
  onClick(PushButton9, &Form1::openOutputFolder);
  // Every change of the box is stored at once, whatever caused it; the tooltip shows it whole.
  connect(Text1, &QLineEdit::textChanged, this, [this](const QString& text) {
    settings_.SaveSetting(kKeyOutputFolder, text);
    Text1->setToolTip(text);
  });
  connect(RunSummary, &QLabel::linkActivated, this, &Form1::showResultsView);
}

int Form1::SmallestHeight() const {
  return Twips(kClientHeight + (RunSummary->isHidden() ? 0 : kSummaryRow));
}

void Form1::PlaceControls() {
  // What the window has beyond its smallest size goes to the list, the folder box and the
  // full-width controls; the two columns of buttons share the width.
  const int dx = qMax(0, width() - Twips(kClientWidth));
  const int dy = qMax(0, height() - SmallestHeight());
  const int half = dx / 2;
  ListView1->setGeometry(TwipsRect(120, 120, 7800, 2535).adjusted(0, 0, dx, dy));
  PushButton1->setGeometry(
      TwipsRect(120, 2745, 3840, 405).translated(0, dy).adjusted(0, 0, half, 0));
  PushButton3->setGeometry(
      TwipsRect(4080, 2745, 3840, 405).translated(half, dy).adjusted(0, 0, dx - half, 0));
  PushButton6->setGeometry(
      TwipsRect(120, 3255, 3840, 405).translated(0, dy).adjusted(0, 0, half, 0));
  PushButton7->setGeometry(
      TwipsRect(4080, 3255, 3840, 405).translated(half, dy).adjusted(0, 0, dx - half, 0));
  Frame1->setGeometry(TwipsRect(120, 3705, 7800, 795).translated(0, dy).adjusted(0, 0, dx, 0));
  Text1->setGeometry(TwipsRect(240, 300, 6660, 345).adjusted(0, 0, dx, 0));
  PushButton4->setGeometry(TwipsRect(6960, 300, 600, 345).translated(dx, 0));
  PushButton2->setGeometry(TwipsRect(120, 4620, 7800, 405).translated(0, dy).adjusted(0, 0, dx, 0));
  ProgressBar1->setGeometry(
      TwipsRect(120, 5145, 7800, 405).translated(0, dy).adjusted(0, 0, dx, 0));
  PushButton8->setGeometry(
      TwipsRect(120, 5655, 3840, 405).translated(0, dy).adjusted(0, 0, half, 0));
  PushButton9->setGeometry(
      TwipsRect(4080, 5655, 3840, 405).translated(half, dy).adjusted(0, 0, dx - half, 0));
  RunSummary->setGeometry(
      TwipsRect(120, 5610 + kButtonRow, 7800, 270).translated(0, dy).adjusted(0, 0, dx, 0));

  // The column widens and narrows with the list, keeping what the user made of it.
  const int listWidth = ListView1->width();
  if (placedListWidth_ > 0 && ListView1->columnCount() > 0 && listWidth != placedListWidth_) {
    ListView1->setColumnWidth(
        0, qMax(Twips(600), ListView1->columnWidth(0) + listWidth - placedListWidth_));
  }
  placedListWidth_ = listWidth;
}

void Form1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceControls();
  PlacementChanged();
}

void Form1::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  PlacementChanged();
}

void Form1::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) PlacementChanged();
}

void Form1::RestorePlacement() {
  const std::optional<WindowPlacement> stored =
      ParsePlacement(settings_.GetSetting(kKeyWindowGeometry, QString()));
  if (!stored) return;
  resize(stored->normal.size().expandedTo(minimumSize()));
  const QRect frame(stored->normal.topLeft(), size());
  if (ReachableOnAScreen(frame)) move(frame.topLeft());
  normalPlacement_ = QRect(pos(), size());
  if (stored->maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void Form1::PlacementChanged() {
  if (placementTracked_) placementTimer_->start();
}

void Form1::SavePlacement() {
  placementTimer_->stop();
  const Qt::WindowStates state = windowState();
  if (state & Qt::WindowMinimized) return;
  if (!(state & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
    // The summary's row comes back with the next run's summary.
    const int summary = RunSummary->isHidden() ? 0 : Twips(kSummaryRow);
    normalPlacement_ = QRect(pos(), QSize(width(), height() - summary));
  }
  if (!normalPlacement_) return;
  settings_.SaveSetting(kKeyWindowGeometry,
                        FormatPlacement({*normalPlacement_, bool(state & Qt::WindowMaximized)}));
}

QString Form1::AppFile(const QString& name) const {
  return env_.appFolder + kSeparator + name;
}

void Form1::startUp() {
  Handle([this] { StartUpSteps(); });
}

void Form1::StartUpSteps() {
  StepRunner step(env_.prompter, this, kLabelFormLoad);
  step(100, [&] { LoadSkin(); });
  step(104, [&] {
    setWindowTitle(kProductTitle);
    setWindowIcon(ApplicationIcon());
    SetApplicationTitle();
  });
  step(106, [&] {
    if (!FileExists(AppFile(QStringLiteral("HAND-M.CUR")))) return;
    step.Reached(108);
    customPointer_ = LoadCursorFile(AppFile(QStringLiteral("HAND-M.CUR")));
  });
  step(110, [&] {
    if (settings_.GetSetting(kKeySnapshot, QString()).isEmpty()) {
      RecordSamples(env_.appFolder, settings_, [this] { PumpEvents(); });
    }
  });
  step(128, [&] { ListView1->setHeaderLabels({QStringLiteral("GIF File(s)")}); });
  step(130, [&] { ListView1->setColumnWidth(0, Twips(6500)); });
  step(132, [&] {
    // The desktop is asked for only when no folder is stored.
    const std::optional<QString> stored = settings_.FindSetting(kKeyOutputFolder);
    Text1->setText(stored ? *stored : env_.desktopFolder());
  });
  step(134, [&] { RestorePlacement(); });
  placementTracked_ = true;
}

void Form1::LoadSkin() {
  const QString skin = AppFile(QStringLiteral("x/o.cjs"));
  if (!FileExists(skin)) return;
  const QColor buttonFace = palette().color(QPalette::Button);
  QList<QWidget*> surfaces{this};
  for (QWidget* child : findChildren<QWidget*>()) {
    if (child->inherits("QGroupBox") || child->inherits("QLabel") || child->inherits("QCheckBox") ||
        child->inherits("QRadioButton")) {
      surfaces.append(child);
    }
  }
  for (QWidget* surface : surfaces) {
    QPalette colours = surface->palette();
    colours.setColor(QPalette::Window, buttonFace);
    surface->setPalette(colours);
    surface->setAutoFillBackground(true);
  }
  QFile file(skin);
  if (!file.open(QIODevice::ReadOnly)) throw std::runtime_error("Can't read the skin file");
  setStyleSheet(QString::fromUtf8(file.readAll()));
  skinApplied_ = true;
}

int Form1::Count() const {
  return ListView1->Count();
}
QString Form1::Text(int nItem) const {
  return ListView1->Text(nItem);
}
void Form1::Add(const QString& text) {
  ListView1->Add(text);
}
int Form1::Additions() const {
  return ListView1->Additions();
}
QString Form1::OutputFolderText() const {
  return Text1->text();
}

void Form1::SetBusy(bool bBusy) {
  bBusy_ = bBusy;
  if (bBusy) stopRequested_ = false;
  PushButton8->setEnabled(bBusy);
  PushButton9->setEnabled(!bBusy && !lastOutputFolder_.isEmpty());
}

void Form1::SetPointer(MousePointer pointer) {
  pointer_ = pointer;
  switch (pointer) {
    case MousePointer::Hourglass:
      setCursor(Qt::WaitCursor);
      break;
    case MousePointer::Custom:
      // Without its picture the custom pointer looks like the default one.
      if (customPointer_) {
        setCursor(*customPointer_);
      } else {
        unsetCursor();
      }
      break;
    case MousePointer::Arrow:
      setCursor(Qt::ArrowCursor);
      break;
    case MousePointer::Default:
      unsetCursor();
      break;
  }
}

void Form1::SetProgressValue(double value) {
  progressValue_ = value;
  ProgressBar1->setValue(qBound(0, qRound(value), 100));
}

void Form1::SetProgressText(const QString& text) {
  progressText_ = text;
  // "%" starts a placeholder in the bar's format.
  ProgressBar1->setFormat(QString(text).replace(u'%', QStringLiteral("%%")));
}

void Form1::PumpEvents() {
  if (env_.pump) env_.pump();
  if (unloading_) throw ApplicationEnding{};
}

void Form1::RunAside(const std::function<void()>& work) {
  std::exception_ptr failure;
  std::unique_ptr<QThread> worker(QThread::create([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
  }));
  QEventLoop waiting;
  connect(worker.get(), &QThread::finished, &waiting, &QEventLoop::quit, Qt::QueuedConnection);
  waiting_ = &waiting;
  worker->start();
  waiting.exec();
  waiting_ = nullptr;
  // Closing the window ends the loop early; the file in hand is finished all the same, so that
  // nothing is left half written.
  worker->wait();
  if (unloading_) throw ApplicationEnding{};
  if (failure) std::rethrow_exception(failure);
}

void Form1::ShowResults(const RunResults& results) {
  lastResults_ = results;
  lastOutputFolder_ = OutputFolderText();
  PushButton9->setToolTip(lastOutputFolder_);
  const QString summary = SummaryText(results);
  RunSummary->setText(summary.toHtmlEscaped() +
                      QStringLiteral(R"( <a href="results">Details</a>)"));
  RunSummary->setToolTip(summary);
  if (RunSummary->isHidden()) {
    // The summary takes a row of its own; the other controls keep their size.
    const int grown = height() + Twips(kSummaryRow);
    RunSummary->show();
    setMinimumHeight(SmallestHeight());
    resize(width(), grown);
  }
  PlaceControls();
  if (resultsView_) resultsView_->ShowResults(lastResults_);
}

void Form1::showResultsView() {
  if (!resultsView_) resultsView_ = new RunResultsView(this);
  resultsView_->ShowResults(lastResults_);
  resultsView_->show();
  resultsView_->raise();
  resultsView_->activateWindow();
}

void Form1::Handle(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const ApplicationEnding&) {
    SetBusy(false);
  }
}

void Form1::addFiles() {
  Prompter& prompter = *env_.prompter;
  StepRunner step(&prompter, this, kLabelAddFiles);
  QStringList chosen;
  step(112, [&] { chosen = prompter.OpenFiles(this, kAddFilesTitle, kAddFilesFilter); });
  bool done = false;
  step(114, [&] { done = chosen.isEmpty(); });
  if (done) return;
  step(118, [&] {
    if (chosen.size() != 1) return;
    step.Reached(120);
    Add(chosen.first());
    done = true;
  });
  if (done) return;
  // Several files: the dialog's folder and each name, joined and normalized.
  for (const QString& file : std::as_const(chosen)) {
    QString path;
    step(136, [&] { path = DialogFolderOf(file) + kSeparator + FileNameOf(file); });
    step(138, [&] { path = NormalizePath(path); });
    step(140, [&] { Add(path); });
  }
}

void Form1::startReducing() {
  RunReduction(*this, *env_.prompter, this);
}

void Form1::addAllFilesInFolder() {
  Prompter& prompter = *env_.prompter;
  StepRunner step(&prompter, this, kLabelAddFolder);
  QString extension;
  step(100, [&] {
    extension = prompter.InputBox(this, kExtensionPrompt, ApplicationTitle(),
                                  settings_.GetSetting(kKeyExtension, QStringLiteral("gif")));
    if (!extension.isEmpty()) settings_.SaveSetting(kKeyExtension, extension);
  });
  if (extension.isEmpty()) return;
  QString folder;
  step(104, [&] {
    folder = prompter.BrowseForFolder(this, kSelectFolderPrompt,
                                      settings_.GetSetting(kKeyLastFolder, QString()));
  });
  if (folder.isEmpty()) return;
  step(334, [&] { settings_.SaveSetting(kKeyLastFolder, folder); });
  step(112, [&] { SetPointer(MousePointer::Hourglass); });
  const ScanHooks hooks{[this] { PumpEvents(); }, &prompter, this};
  SweepFolder(folder, PatternForExtension(extension), hooks, &step,
              [this](const QString& path) { Add(path); });
  step(136, [&] { SetPointer(MousePointer::Default); });
}

void Form1::chooseOutputFolder() {
  Prompter& prompter = *env_.prompter;
  StepRunner step(&prompter, this, kLabelOutputFolder);
  QString folder;
  step(100, [&] {
    folder = prompter.BrowseForFolder(this, kSelectFolderPrompt,
                                      settings_.GetSetting(kKeyLastFolderDot, QString()));
  });
  if (folder.isEmpty()) return;
  bool endsWithSeparator = false;
  step(104, [&] {
    settings_.SaveSetting(kKeyLastFolderDot, folder);
    endsWithSeparator = folder.endsWith(kSeparator);
  });
  if (!endsWithSeparator) {
    step(106, [&] { Text1->setText(folder + kSeparator); });
  } else {
    step(108, [&] { Text1->setText(folder); });
  }
}

void Form1::stopAfterThisFile() {
  if (!bBusy_) return;
  stopRequested_ = true;
  // Asked once; the run ends when the file in hand is done.
  PushButton8->setEnabled(false);
}

void Form1::openOutputFolder() {
  StepRunner step(env_.prompter, this, kLabelOpenOutputFolder);
  step(100, [&] {
    if (bBusy_ || lastOutputFolder_.isEmpty()) return;
    if (IsFolder(lastOutputFolder_)) {
      env_.prompter->OpenFolder(this, lastOutputFolder_);
    } else {
      MsgBox(*env_.prompter, this, kOutputFolderGone + lastOutputFolder_);
    }
  });
}

void Form1::clearList() {
  if (RemovalsAllowed()) ListView1->Clear();
}

void Form1::loadSamples() {
  StepRunner step(env_.prompter, this, kLabelSamples);
  step(100, [&] {
    LoadSamples(*this, env_.appFolder, settings_, *env_.prompter, this, [this] { PumpEvents(); });
  });
}

void Form1::addDroppedPaths(const QStringList& paths) {
  const ScanHooks hooks{[this] { PumpEvents(); }, env_.prompter, this};
  for (const QString& path : paths) {
    if (IsFolder(path)) {
      SweepFolder(path, QStringLiteral("*.*"), hooks, nullptr,
                  [this](const QString& found) { Add(found); });
    } else {
      Add(path);
    }
  }
}

void Form1::openPaths(const QStringList& paths) {
  Handle([&] { addDroppedPaths(paths); });
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove && !HourglassShown()) {
    SetPointer(qobject_cast<QPushButton*>(watched) ? MousePointer::Custom : MousePointer::Default);
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
  // Closing the window ends the application at once; every setting but a place or size that
  // was still settling is already stored.
  unloading_ = true;
  if (waiting_) waiting_->quit();
  // A change still settling is stored now, not lost.
  if (placementTimer_->isActive()) SavePlacement();
  event->accept();
  QCoreApplication::quit();
}

}  // namespace lumatrim
