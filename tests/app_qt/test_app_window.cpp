// The main window: controls, start-up, the list's own editing, the pointer rules, the output
// folder box and the ways of adding files.
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <memory>

#include "app/app_error.h"
#include "app/app_icon.h"
#include "app/command_line.h"
#include "app/cursor_files.h"
#include "app/file_list_view.h"
#include "app/form1.h"
#include "app/samples.h"
#include "app/settings_store.h"
#include "app/window_placement.h"
#include "app_test_support.h"

using namespace lumatrim;
using namespace lumatrim::testing;

namespace {

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

QStringList Texts(const FileListView& list) {
  QStringList texts;
  for (int i = 1; i <= list.Count(); ++i) texts.append(list.Text(i));
  return texts;
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir settingsFolder_;
  std::unique_ptr<QTemporaryDir> app_;
  std::unique_ptr<QTemporaryDir> desktop_;
  ScriptedPrompter prompter_;
  std::function<void()> onPump_;

  AppEnvironment Environment() {
    AppEnvironment environment;
    environment.appFolder = app_->path();
    environment.prompter = &prompter_;
    environment.desktopFolder = [this] { return desktop_->path() + u'/'; };
    environment.pump = [this] {
      QCoreApplication::processEvents();
      if (onPump_) onPump_();
    };
    return environment;
  }

  std::unique_ptr<Form1> LoadedWindow() {
    auto window = std::make_unique<Form1>(Environment());
    window->startUp();
    return window;
  }

  static FileListView* List(Form1& window) {
    return window.findChild<FileListView*>(QStringLiteral("ListView1"));
  }
  static QLineEdit* Box(Form1& window) {
    return window.findChild<QLineEdit*>(QStringLiteral("Text1"));
  }

 private slots:
  void initTestCase() { IsolateSettings(settingsFolder_.path()); }
  void init() {
    ClearSettings();
    app_ = std::make_unique<QTemporaryDir>();
    desktop_ = std::make_unique<QTemporaryDir>();
    prompter_ = ScriptedPrompter();
    onPump_ = nullptr;
  }

  void ControlsAndGeometry() {
    auto window = LoadedWindow();
    QCOMPARE(window->objectName(), QStringLiteral("Form1"));
    // The fixed layout, and a row of "Stop" and "Open Output Folder" under the progress bar.
    QCOMPARE(window->size(), QSize(536, 412));
    QCOMPARE(window->windowTitle(), QStringLiteral("Lumatrim"));
    const struct {
      const char* name;
      QString caption;
      QRect pixels;
    } controls[] = {
        {"ListView1", QString(), {8, 8, 520, 169}},
        {"PushButton1", QStringLiteral("Add GIF File(s)"), {8, 183, 256, 27}},
        {"PushButton3", QStringLiteral("Add All GIF File(s) In Folder"), {272, 183, 256, 27}},
        {"PushButton6", QStringLiteral("Clear List"), {8, 217, 256, 27}},
        {"PushButton7", QStringLiteral("Load Sample/Example Files"), {272, 217, 256, 27}},
        {"Frame1", QString(), {8, 247, 520, 53}},
        {"Text1", QString(), {16, 20, 444, 23}},
        {"PushButton4", QStringLiteral("..."), {464, 20, 40, 23}},
        {"PushButton2", QStringLiteral("Start Reducing"), {8, 308, 520, 27}},
        {"ProgressBar1", QString(), {8, 343, 520, 27}},
        {"PushButton8", QStringLiteral("Stop"), {8, 377, 256, 27}},
        {"PushButton9", QStringLiteral("Open Output Folder"), {272, 377, 256, 27}},
    };
    for (const auto& control : controls) {
      QWidget* widget = window->findChild<QWidget*>(QString::fromLatin1(control.name));
      QVERIFY2(widget, control.name);
      QCOMPARE(widget->geometry(), control.pixels);
      if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QCOMPARE(button->text(), control.caption);
        QCOMPARE(button->font().pointSizeF(), 11.25);
        QVERIFY(button->font().bold());
      }
    }
    QCOMPARE(window->findChild<QGroupBox*>(QStringLiteral("Frame1"))->title(),
             QStringLiteral("Save Results To This Folder"));
    QCOMPARE(Box(*window)->parentWidget()->objectName(), QStringLiteral("Frame1"));

    FileListView* list = List(*window);
    QCOMPARE(list->toolTip(), kListToolTip);
    QCOMPARE(list->columnCount(), 1);
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("GIF File(s)"));
    QCOMPARE(list->columnWidth(0), 433);
    QVERIFY(list->acceptDrops());

    auto* bar = window->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->text(), QStringLiteral("Progress Bar"));
    QCOMPARE(bar->maximum(), 100);
    // Stop only during a run, the output folder only after one.
    QVERIFY(!window->findChild<QPushButton*>(QStringLiteral("PushButton8"))->isEnabled());
    QVERIFY(!window->findChild<QPushButton*>(QStringLiteral("PushButton9"))->isEnabled());
  }

  // Larger than its smallest size, the window gives the extra room to the list, the folder box
  // and the full-width controls; full paths show in tooltips.
  void ResizingAndTooltips() {
    auto window = LoadedWindow();
    QCOMPARE(window->minimumSize(), QSize(536, 412));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->resize(736, 512);
    QTRY_COMPARE(window->size(), QSize(736, 512));
    const struct {
      const char* name;
      QRect pixels;
    } controls[] = {
        {"ListView1", {8, 8, 720, 269}},      {"PushButton1", {8, 283, 356, 27}},
        {"PushButton3", {372, 283, 356, 27}}, {"PushButton6", {8, 317, 356, 27}},
        {"PushButton7", {372, 317, 356, 27}}, {"Frame1", {8, 347, 720, 53}},
        {"Text1", {16, 20, 644, 23}},         {"PushButton4", {664, 20, 40, 23}},
        {"PushButton2", {8, 408, 720, 27}},   {"ProgressBar1", {8, 443, 720, 27}},
        {"PushButton8", {8, 477, 356, 27}},   {"PushButton9", {372, 477, 356, 27}},
    };
    for (const auto& control : controls) {
      QCOMPARE(window->findChild<QWidget*>(QString::fromLatin1(control.name))->geometry(),
               control.pixels);
    }
    QCOMPARE(List(*window)->columnWidth(0), 633);

    const QString longPath = QStringLiteral("/a/very/long/folder/name/") + QString(200, u'x');
    window->Add(longPath);
    QCOMPARE(List(*window)->topLevelItem(0)->data(0, Qt::ToolTipRole).toString(), longPath);
    Box(*window)->setText(longPath);
    QCOMPARE(Box(*window)->toolTip(), longPath);
  }

  // The list's column widens for the paths added, within reason, and never narrows by itself.
  void ColumnFitsThePaths() {
    auto window = LoadedWindow();
    FileListView* list = List(*window);
    window->Add(QStringLiteral("/a.gif"));
    QCOMPARE(list->columnWidth(0), 433);
    const QString longPath = QStringLiteral("/pictures/") + QString(90, u'w') + ".gif";
    window->Add(longPath);
    const int fitted = list->columnWidth(0);
    QVERIFY2(fitted > list->fontMetrics().horizontalAdvance(longPath),
             qPrintable(QString::number(fitted)));
    QVERIFY(fitted < list->fontMetrics().horizontalAdvance(longPath) + 40);
    window->Add(QStringLiteral("/") + QString(2000, u'w'));
    QCOMPARE(list->columnWidth(0), 2400);
    window->clearList();
    window->Add(QStringLiteral("/b.gif"));
    QCOMPARE(list->columnWidth(0), 2400);
  }

  // The window's place and size come back at the next start, and are stored once they settle
  // or when the window closes; a stored value that makes no sense, or a place on no screen, is
  // left aside.
  void PlaceAndSizeRemembered() {
    SettingsStore settings;
    const auto stored = [&] { return settings.GetSetting(kKeyWindowGeometry, QString()); };
    {
      auto window = LoadedWindow();
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window.get()));
      window->resize(640, 480);
      window->move(30, 40);
      QTRY_COMPARE(stored(), QStringLiteral("30 40 640 480"));
      // The summary's row is not kept: the next run's summary adds it again.
      window->ShowResults(RunResults{FileResult{}});
      QCOMPARE(window->height(), 502);
      window->resize(650, 502);
      QTRY_COMPARE(stored(), QStringLiteral("30 40 650 480"));
    }
    {
      auto window = LoadedWindow();
      QCOMPARE(window->size(), QSize(650, 480));
      QCOMPARE(window->pos(), QPoint(30, 40));
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window.get()));
      window->resize(700, 500);
      window->close();
      QCOMPARE(stored(), QStringLiteral("30 40 700 500"));
    }
    {
      auto window = LoadedWindow();
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window.get()));
      window->setWindowState(Qt::WindowMaximized);
      QTRY_COMPARE(stored(), QStringLiteral("30 40 700 500 maximized"));
    }
    QVERIFY(LoadedWindow()->windowState() & Qt::WindowMaximized);

    const struct {
      const char* text;
      QSize size;
      QPoint pos;
    } cases[] = {
        {"garbage", {536, 412}, {0, 0}},
        {"1 2 3", {536, 412}, {0, 0}},
        {"10 10 0 500", {536, 412}, {0, 0}},
        {"10 20 100 100", {536, 412}, {10, 20}},
        {"-5000 -5000 600 450", {600, 450}, {0, 0}},
    };
    for (const auto& c : cases) {
      settings.SaveSetting(kKeyWindowGeometry, QString::fromLatin1(c.text));
      auto window = LoadedWindow();
      QCOMPARE(window->size(), c.size);
      QCOMPARE(window->pos(), c.pos);
      QVERIFY(!(window->windowState() & Qt::WindowMaximized));
    }
    QVERIFY(prompter_.calls.isEmpty());
  }

  void CommandLine() {
    const struct {
      QStringList arguments;
      QStringList paths;
      bool help;
      bool error;
    } cases[] = {
        {{"a.gif", "sub/../b.gif", "/abs/c.gif", "folder/"},
         {"/work/a.gif", "/work/b.gif", "/abs/c.gif", "/work/folder"},
         false,
         false},
        {{"file:///x/y%20z.gif"}, {"/x/y z.gif"}, false, false},
        {{"--", "-odd.gif"}, {"/work/-odd.gif"}, false, false},
        {{"--help"}, {}, true, false},
        {{"--verbose", "a.gif"}, {}, false, true},
        {{"http://example.org/a.gif"}, {}, false, true},
    };
    for (const auto& c : cases) {
      const lumatrim::CommandLine line = ParseCommandLine(c.arguments, QStringLiteral("/work"));
      QCOMPARE(line.paths, c.paths);
      QCOMPARE(line.help, c.help);
      QCOMPARE(!line.error.isEmpty(), c.error);
    }

    // Files and folders from the command line are added as a drop adds them.
    QTemporaryDir tree;
    for (const char* name : {"in/a.gif", "in/~t.gif", "in/deep/b.txt", "loose.gif"}) {
      QVERIFY(WriteBytes(tree.path() + u'/' + QString::fromLatin1(name), "x"));
    }
    auto window = LoadedWindow();
    window->openPaths(ParseCommandLine({"loose.gif", "in/"}, tree.path()).paths);
    QCOMPARE(Texts(*List(*window)),
             (QStringList{tree.path() + "/loose.gif", tree.path() + "/in/a.gif",
                          tree.path() + "/in/deep/b.txt"}));
  }

  void FreshStart() {
    CopyAppFiles(app_->path(), {"HAND-M.CUR", "drag.ico", "Samples"});
    auto window = LoadedWindow();
    QVERIFY(prompter_.calls.isEmpty());
    // The desktop becomes the stored output folder; the samples are recorded.
    QCOMPARE(Box(*window)->text(), desktop_->path() + u'/');
    SettingsStore settings;
    QCOMPARE(settings.GetSetting(kKeyOutputFolder, QString()), desktop_->path() + u'/');
    QVERIFY(!settings.GetSetting(kKeySnapshot, QString()).isEmpty());
    QVERIFY(window->HasCustomPointerPicture());
    QVERIFY(!window->SkinApplied());
  }

  void StoredSettingsWin() {
    SettingsStore settings;
    settings.SaveSetting(kKeyOutputFolder, QStringLiteral("/not/a/folder/any/more"));
    settings.SaveSetting(kKeySnapshot, QStringLiteral("kept"));
    CopyAppFiles(app_->path(), {"Samples"});
    bool desktopAsked = false;
    AppEnvironment environment = Environment();
    environment.desktopFolder = [&] {
      desktopAsked = true;
      return QStringLiteral("/desk/");
    };
    Form1 window(environment);
    window.startUp();
    QCOMPARE(Box(window)->text(), QStringLiteral("/not/a/folder/any/more"));
    QVERIFY(!desktopAsked);
    QCOMPARE(settings.GetSetting(kKeySnapshot, QString()), QStringLiteral("kept"));
  }

  void MissingCursorFilesAndDesktop() {
    // No cursor files: the custom pointer has no picture and looks like the default.
    AppEnvironment environment = Environment();
    environment.desktopFolder = []() -> QString {
      throw std::invalid_argument("Invalid procedure call or argument");
    };
    Form1 window(environment);
    window.startUp();
    QVERIFY(!window.HasCustomPointerPicture());
    window.SetPointer(MousePointer::Custom);
    QVERIFY(!window.testAttribute(Qt::WA_SetCursor));
    // The desktop failure names step 132, and start-up went on to its end.
    QCOMPARE(prompter_.calls.size(), 1);
    const PromptCall& error = prompter_.calls.first();
    QCOMPARE(error.caption, QStringLiteral("Application Error"));
    QCOMPARE(error.icon, MessageIcon::Warning);
    QCOMPARE(error.text,
             QStringLiteral("Invalid procedure call or argument\r\nin "
                            "Pexolan2021/08/31.Form1.Form_Load at line 132\r\rPlease email "
                            "screenshot of this message to ") +
                 kSupportEmail);
    QCOMPARE(Box(window)->text(), QString());
    QCOMPARE(List(window)->columnCount(), 1);
    QVERIFY(!SettingsStore().FindSetting(kKeyOutputFolder));
    // Dragging an item without drag.ico still works.
    window.Add(QStringLiteral("a"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    FileListView* list = List(window);
    const QPoint at = list->visualItemRect(list->topLevelItem(0)).center();
    SendMouse(list->viewport(), QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(list->Pointer(), MousePointer::Custom);
    SendMouse(list->viewport(), QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(list->Pointer(), MousePointer::Arrow);
  }

  void CursorFilesDecode() {
    QFile hand(BuiltAppFiles() + QStringLiteral("/HAND-M.CUR"));
    QVERIFY(hand.open(QIODevice::ReadOnly));
    const std::optional<CursorPicture> cursor = DecodeCursorFile(hand.readAll());
    QVERIFY(cursor);
    QCOMPARE(cursor->image.size(), QSize(32, 32));
    QCOMPARE(cursor->hotSpot, QPoint(9, 0));
    // Opaque at the fingertip, transparent in the corner.
    QCOMPARE(qAlpha(cursor->image.pixel(9, 1)), 255);
    QCOMPARE(qAlpha(cursor->image.pixel(31, 0)), 0);

    QFile drag(BuiltAppFiles() + QStringLiteral("/drag.ico"));
    QVERIFY(drag.open(QIODevice::ReadOnly));
    const QByteArray icon = drag.readAll();
    QVERIFY(DecodeCursorFile(icon));
    QCOMPARE(DecodeCursorFile(icon)->hotSpot, QPoint(16, 16));

    // Drawn again at twice the pixels for dense screens, hot spots scaled along.
    const QByteArray handBytes = [&] {
      hand.seek(0);
      return hand.readAll();
    }();
    QCOMPARE(DecodeCursorFile(handBytes, 64)->image.size(), QSize(64, 64));
    QCOMPARE(DecodeCursorFile(handBytes, 64)->hotSpot, QPoint(18, 0));
    QCOMPARE(DecodeCursorFile(handBytes, 48)->image.size(), QSize(64, 64));
    QCOMPARE(DecodeCursorFile(icon, 64)->hotSpot, QPoint(32, 32));
    const std::optional<QCursor> dense =
        LoadCursorFile(BuiltAppFiles() + QStringLiteral("/HAND-M.CUR"), 2.0);
    QCOMPARE(dense->pixmap().devicePixelRatio(), 2.0);
    QCOMPARE(dense->pixmap().size(), QSize(64, 64));
    QCOMPARE(dense->hotSpot(), QPoint(9, 0));
    QCOMPARE(LoadCursorFile(BuiltAppFiles() + QStringLiteral("/HAND-M.CUR"), 1.0)->pixmap().size(),
             QSize(32, 32));
    QVERIFY(ApplicationIcon().availableSizes().contains(QSize(128, 128)));

    QVERIFY(!DecodeCursorFile(QByteArray()));
    QVERIFY(!DecodeCursorFile(QByteArray("GIF89a not a cursor at all")));
    QVERIFY(!DecodeCursorFile(icon.left(30)));
    QVERIFY(!LoadCursorFile(app_->path() + QStringLiteral("/missing.cur")));
  }

  void SkinFromTheApplicationFolder() {
    QVERIFY(
        WriteBytes(app_->path() + QStringLiteral("/x/o.cjs"), "QPushButton { color: #123456; }"));
    auto window = LoadedWindow();
    QVERIFY(window->SkinApplied());
    QCOMPARE(window->styleSheet(), QStringLiteral("QPushButton { color: #123456; }"));
    QVERIFY(window->autoFillBackground());
    QCOMPARE(window->palette().color(QPalette::Window), window->palette().color(QPalette::Button));
  }

  void DeleteDoubleClickAndClear() {
    auto window = LoadedWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    FileListView* list = List(*window);
    // On an empty list nothing happens.
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(list->Count(), 0);

    for (const char* text : {"/a.gif", "/b.gif", "/c.gif", "/d.gif"}) window->Add(text);
    list->setCurrentItem(list->topLevelItem(1));
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(Texts(*list), (QStringList{"/a.gif", "/c.gif", "/d.gif"}));

    const QPoint at = list->visualItemRect(list->topLevelItem(2)).center();
    SendMouse(list->viewport(), QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    SendMouse(list->viewport(), QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    SendMouse(list->viewport(), QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    SendMouse(list->viewport(), QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(Texts(*list), (QStringList{"/a.gif", "/c.gif"}));

    // While the hourglass shows (a run), removals do nothing.
    window->SetPointer(MousePointer::Hourglass);
    list->setCurrentItem(list->topLevelItem(0));
    QTest::keyClick(list, Qt::Key_Delete);
    window->findChild<QPushButton*>(QStringLiteral("PushButton6"))->click();
    QCOMPARE(list->Count(), 2);
    window->SetPointer(MousePointer::Default);
    window->findChild<QPushButton*>(QStringLiteral("PushButton6"))->click();
    QCOMPARE(list->Count(), 0);
  }

  void DraggingMovesTexts() {
    auto window = LoadedWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    FileListView* list = List(*window);
    for (const char* text : {"one", "two", "three", "four"}) window->Add(text);
    QWidget* viewport = list->viewport();
    const auto centre = [&](int index) {
      return list->visualItemRect(list->topLevelItem(index)).center();
    };

    // From the third to the first: one place per item passed.
    SendMouse(viewport, QEvent::MouseButtonPress, centre(2), Qt::LeftButton, Qt::LeftButton);
    QVERIFY(list->Dragging());
    QCOMPARE(list->Pointer(), MousePointer::Custom);
    SendMouse(viewport, QEvent::MouseMove, centre(1), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(Texts(*list), (QStringList{"one", "three", "two", "four"}));
    SendMouse(viewport, QEvent::MouseMove, centre(0), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(Texts(*list), (QStringList{"three", "one", "two", "four"}));
    QCOMPARE(list->currentItem(), list->topLevelItem(0));
    SendMouse(viewport, QEvent::MouseButtonRelease, centre(0), Qt::LeftButton, Qt::NoButton);
    QVERIFY(!list->Dragging());
    QCOMPARE(list->Pointer(), MousePointer::Arrow);
    // Moving without the button down moves nothing.
    SendMouse(viewport, QEvent::MouseMove, centre(3), Qt::NoButton, Qt::NoButton);
    QCOMPARE(Texts(*list), (QStringList{"three", "one", "two", "four"}));
  }

  void DraggingOverEqualTextsLeavesThem() {
    auto window = LoadedWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    FileListView* list = List(*window);
    for (const char* text : {"same", "same", "other"}) window->Add(text);
    QWidget* viewport = list->viewport();
    const auto centre = [&](int index) {
      return list->visualItemRect(list->topLevelItem(index)).center();
    };
    SendMouse(viewport, QEvent::MouseButtonPress, centre(0), Qt::LeftButton, Qt::LeftButton);
    SendMouse(viewport, QEvent::MouseMove, centre(1), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(Texts(*list), (QStringList{"same", "same", "other"}));
    // The dragged item is still the first; passing on to "other" exchanges those two.
    SendMouse(viewport, QEvent::MouseMove, centre(2), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(Texts(*list), (QStringList{"other", "same", "same"}));
    SendMouse(viewport, QEvent::MouseButtonRelease, centre(2), Qt::LeftButton, Qt::NoButton);
  }

  // Clicking an item, clearing the list, adding files and dragging from the empty part of the
  // list onto an item used the cleared item (the sanitizer build catches any such use).
  void DraggingAfterClearList() {
    auto window = LoadedWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    FileListView* list = List(*window);
    QWidget* viewport = list->viewport();
    window->Add(QStringLiteral("/old.gif"));
    const QPoint first = list->visualItemRect(list->topLevelItem(0)).center();
    SendMouse(viewport, QEvent::MouseButtonPress, first, Qt::LeftButton, Qt::LeftButton);
    SendMouse(viewport, QEvent::MouseButtonRelease, first, Qt::LeftButton, Qt::NoButton);
    window->findChild<QPushButton*>(QStringLiteral("PushButton6"))->click();
    for (const char* text : {"/a.gif", "/b.gif"}) window->Add(text);
    const QPoint empty(first.x(), viewport->height() - 2);
    QVERIFY(!list->itemAt(empty));
    SendMouse(viewport, QEvent::MouseButtonPress, empty, Qt::LeftButton, Qt::LeftButton);
    SendMouse(viewport, QEvent::MouseMove, first, Qt::NoButton, Qt::LeftButton);
    SendMouse(viewport, QEvent::MouseButtonRelease, first, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(Texts(*list), (QStringList{"/a.gif", "/b.gif"}));
  }

  void PointerFollowsTheMouse() {
    CopyAppFiles(app_->path(), {"HAND-M.CUR"});
    auto window = LoadedWindow();
    auto* button = window->findChild<QPushButton*>(QStringLiteral("PushButton1"));
    SendMouse(button, QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window->Pointer(), MousePointer::Custom);
    QCOMPARE(window->cursor().shape(), Qt::BitmapCursor);
    SendMouse(Box(*window), QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window->Pointer(), MousePointer::Default);
    window->SetPointer(MousePointer::Hourglass);
    SendMouse(button, QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window->Pointer(), MousePointer::Hourglass);
    QCOMPARE(window->cursor().shape(), Qt::WaitCursor);
  }

  void OutputFolderBox() {
    auto window = LoadedWindow();
    QLineEdit* box = Box(*window);
    SettingsStore settings;
    // Every keystroke stores the text; a restart shows the last one, folder or not.
    box->clear();
    QTest::keyClicks(box, QStringLiteral("/no"));
    QCOMPARE(settings.GetSetting(kKeyOutputFolder, QString()), QStringLiteral("/no"));
    auto restarted = LoadedWindow();
    QCOMPARE(Box(*restarted)->text(), QStringLiteral("/no"));

    // "...": the chosen folder with one separator added; the root keeps its own.
    auto* dots = window->findChild<QPushButton*>(QStringLiteral("PushButton4"));
    prompter_.folderAnswers = {desktop_->path(), QStringLiteral("/"), QString()};
    dots->click();
    QCOMPARE(box->text(), desktop_->path() + u'/');
    QCOMPARE(settings.GetSetting(kKeyLastFolderDot, QString()), desktop_->path());
    QCOMPARE(settings.GetSetting(kKeyOutputFolder, QString()), desktop_->path() + u'/');
    dots->click();
    QCOMPARE(box->text(), QStringLiteral("/"));
    QCOMPARE(prompter_.calls[1].extra, desktop_->path());  // the last folder is the start
    QCOMPARE(prompter_.calls[1].text, QStringLiteral("Please select folder:"));
    // Cancelled: nothing changes.
    dots->click();
    QCOMPARE(box->text(), QStringLiteral("/"));
    QCOMPARE(settings.GetSetting(kKeyLastFolderDot, QString()), QStringLiteral("/"));
  }

  void AddFilesWithTheDialog() {
    auto window = LoadedWindow();
    prompter_.fileAnswers = {{QStringLiteral("/d/one.gif")},
                             {QStringLiteral("/a.gif"), QStringLiteral("/b.gif")},
                             {QStringLiteral("/d/x.gif"), QStringLiteral("/d/y.gif")},
                             {}};
    for (int i = 0; i < 4; ++i) window->addFiles();
    QCOMPARE(Texts(*List(*window)),
             (QStringList{"/d/one.gif", "/a.gif", "/b.gif", "/d/x.gif", "/d/y.gif"}));
    QCOMPARE(prompter_.calls[0].text,
             QStringLiteral("Add File(s) - Hold Ctrl or Shift to select multiple files"));
    QCOMPARE(prompter_.calls[0].extra, QStringLiteral("GIF Files (*.gif;*.gif)|*.gif;*.gif|"));
    QCOMPARE(QtFileFilter(prompter_.calls[0].extra), QStringLiteral("GIF Files (*.gif)"));
  }

  void AddAllFilesInFolder() {
    QTemporaryDir tree;
    for (const char* name : {"a.gif", "b.txt", "~skip.gif", "sub/c.gif"}) {
      QVERIFY(WriteBytes(tree.path() + u'/' + QString::fromLatin1(name), "x"));
    }
    auto window = LoadedWindow();
    SettingsStore settings;
    prompter_.inputAnswers = {QStringLiteral("gif"), QStringLiteral("*"), QString()};
    prompter_.folderAnswers = {tree.path(), QString()};
    window->addAllFilesInFolder();
    QCOMPARE(Texts(*List(*window)),
             (QStringList{tree.path() + "/a.gif", tree.path() + "/sub/c.gif"}));
    QCOMPARE(prompter_.calls[0].kind, QStringLiteral("input"));
    QCOMPARE(prompter_.calls[0].extra, QStringLiteral("gif"));
    QCOMPARE(prompter_.calls[0].caption, QStringLiteral("Lumatrim"));
    QCOMPARE(prompter_.calls[0].text, kExtensionPrompt);
    QCOMPARE(prompter_.calls[1].extra, QString());  // no last folder yet
    QCOMPARE(settings.GetSetting(kKeyLastFolder, QString()), tree.path());
    QCOMPARE(window->Pointer(), MousePointer::Default);

    // "*" is stored even though the folder dialog is then cancelled.
    window->addAllFilesInFolder();
    QCOMPARE(settings.GetSetting(kKeyExtension, QString()), QStringLiteral("*"));
    QCOMPARE(prompter_.calls[3].extra, tree.path());
    QCOMPARE(List(*window)->Count(), 2);
    // A cancelled input box stores nothing and asks for no folder.
    window->addAllFilesInFolder();
    QCOMPARE(settings.GetSetting(kKeyExtension, QString()), QStringLiteral("*"));
    QCOMPARE(prompter_.calls[4].extra, QStringLiteral("*"));
    QCOMPARE(prompter_.calls.size(), 5);
  }

  void DropFilesAndFolders() {
    QTemporaryDir tree;
    for (const char* name : {"in/a.gif", "in/~t.gif", "in/deep/b.txt", "loose.txt"}) {
      QVERIFY(WriteBytes(tree.path() + u'/' + QString::fromLatin1(name), "x"));
    }
    auto window = LoadedWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QWidget* viewport = List(*window)->viewport();

    QMimeData text;
    text.setText(QStringLiteral("not files"));
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &refused);
    QVERIFY(!refused.isAccepted());

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(tree.path() + QStringLiteral("/loose.txt")),
                   QUrl::fromLocalFile(tree.path() + QStringLiteral("/in"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QCOMPARE(Texts(*List(*window)),
             (QStringList{tree.path() + "/loose.txt", tree.path() + "/in/a.gif",
                          tree.path() + "/in/deep/b.txt"}));
  }

  void SamplesLoadedTwice() {
    CopyAppFiles(app_->path(), {"Samples"});
    auto window = LoadedWindow();
    const int samples =
        int(QDir(app_->path() + QStringLiteral("/Samples")).entryList(QDir::Files).size());
    window->loadSamples();
    window->loadSamples();
    QCOMPARE(List(*window)->Count(), samples);
    QCOMPARE(prompter_.Messages(), QStringList(2, kOpenSamplesQuestion));
  }
};

QTEST_MAIN(WindowTest)
#include "test_app_window.moc"
