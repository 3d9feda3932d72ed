// Saves a picture of the main window with a few files in its list, for the documentation. Usage
// (needs a display, e.g. under xvfb-run): lumatrim_window_shot OUT.png
#include <QApplication>
#include <QPixmap>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "app/form1.h"
#include "app/prompter.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: lumatrim_window_shot OUT.png\n", stderr);
    return 2;
  }
  QApplication application(argc, argv);
  // Settings of its own, so the user's stay untouched.
  QTemporaryDir settingsFolder;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());

  lumatrim::QtPrompter prompter;
  lumatrim::AppEnvironment environment = lumatrim::DefaultEnvironment(prompter);
  environment.desktopFolder = [] { return QStringLiteral("/home/user/Desktop/"); };
  lumatrim::Form1 window(environment);
  window.startUp();
  for (const char* name : {"banner.gif", "loading-spinner.gif", "map-animation.gif",
                           "holiday/fireworks.gif", "holiday/snow.gif"}) {
    window.Add(QStringLiteral("/home/user/Pictures/") + QString::fromLatin1(name));
  }
  window.show();

  int status = 1;
  QTimer::singleShot(500, [&] {
    status = window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
    application.quit();
  });
  application.exec();
  return status;
}
