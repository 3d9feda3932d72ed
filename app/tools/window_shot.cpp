// Saves pictures of the main window for the documentation. Needs a display (e.g. xvfb-run).
// Usage: lumatrim_window_shot FOLDER
// writes FOLDER/window.png (a few files listed), FOLDER/window-running.png (during a run),
// FOLDER/window-results.png (after it, with the summary) and FOLDER/results.png (the per-file
// results).
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/form1.h"
#include "app/prompter.h"
#include "app/tools/long_clip.h"

namespace {

// Answers every question at once, so that the run goes on unattended.
class SilentPrompter : public lumatrim::Prompter {
 public:
  lumatrim::MessageAnswer Message(QWidget*, const QString&, const QString&,
                                  lumatrim::MessageButtons, lumatrim::MessageIcon) override {
    return lumatrim::MessageAnswer::Ok;
  }
  QStringList OpenFiles(QWidget*, const QString&, const QString&) override { return {}; }
  QString InputBox(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  QString BrowseForFolder(QWidget*, const QString&, const QString&) override { return {}; }
  void OpenFolder(QWidget*, const QString&) override {}
};

bool Save(QWidget& widget, const QString& path) {
  if (widget.grab().save(path)) return true;
  std::fprintf(stderr, "lumatrim_window_shot: can't write %s\n", qPrintable(path));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: lumatrim_window_shot FOLDER\n", stderr);
    return 2;
  }
  QApplication application(argc, argv);
  const QString folder = QString::fromLocal8Bit(argv[1]);
  // Settings and files of its own, so the user's stay untouched.
  QTemporaryDir settingsFolder;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
  QTemporaryDir home(QDir::tempPath() + QStringLiteral("/user-XXXXXX"));
  const QString pictures = home.path() + QStringLiteral("/Pictures/");
  const QString desktop = home.path() + QStringLiteral("/Desktop/");
  QDir().mkpath(pictures);
  QDir().mkpath(desktop);

  SilentPrompter prompter;
  lumatrim::AppEnvironment environment = lumatrim::DefaultEnvironment(prompter);
  environment.desktopFolder = [&] { return desktop; };
  lumatrim::Form1 window(environment);
  window.startUp();
  const QString samples = environment.appFolder + QStringLiteral("/Samples/");
  for (const QString& name : QDir(samples).entryList(QDir::Files)) {
    QFile::copy(samples + name, pictures + name);
    window.Add(pictures + name);
  }
  if (!lumatrim::WriteLongClip(pictures + QStringLiteral("long-clip.gif"), 600)) return 1;
  window.Add(pictures + QStringLiteral("long-clip.gif"));
  window.show();

  bool ok = true;
  QTimer::singleShot(500, [&] {
    ok = Save(window, folder + QStringLiteral("/window.png")) && ok;
    // Under way: the long clip is being reduced while the window keeps drawing.
    const auto whileLong = std::make_shared<QTimer>();
    QObject::connect(whileLong.get(), &QTimer::timeout, [&, whileLong] {
      if (!window.ProgressText().contains(QStringLiteral("long-clip"))) return;
      whileLong->stop();
      ok = Save(window, folder + QStringLiteral("/window-running.png")) && ok;
    });
    whileLong->start(10);
    window.startReducing();
    ok = Save(window, folder + QStringLiteral("/window-results.png")) && ok;
    window.showResultsView();
    QWidget* results = window.findChild<QWidget*>(QStringLiteral("RunResults"));
    QTimer::singleShot(300, [&, results] {
      ok = results && Save(*results, folder + QStringLiteral("/results.png")) && ok;
      application.quit();
    });
  });
  application.exec();
  return ok ? 0 : 1;
}
