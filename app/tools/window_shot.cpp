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
#include "gif/gif_document.h"

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

// A clip long enough that a picture can be taken while it is reduced: a ball crossing a still
// picture, every frame stored whole.
bool WriteClip(const QString& path, int16_t frames) {
  lumatrim::cGIF gif;
  gif.GlobalPaletteExists(true);
  gif.GlobalPaletteEntries(16);
  uint8_t* palette = gif.lpGlobalPalette();
  for (int i = 0; i < 16; ++i) {
    palette[i * 4 + 0] = uint8_t(i * 16);
    palette[i * 4 + 1] = uint8_t(128 + i * 8);
    palette[i * 4 + 2] = uint8_t(255 - i * 16);
  }
  for (int16_t n = 1; n <= frames; ++n) {
    gif.FrameInsert(n, 320, 240, true);
    gif.FrameDelay(n, 4);
    gif.FrameDisposalMethod(n, 1);
    lumatrim::cDIB& image = *gif.FrameDIBXOR(n);
    const int ballX = 20 + n * 280 / frames, ballY = 120 + (n % 40 - 20);
    for (int32_t y = 0; y < image.Height(); ++y) {
      uint8_t* row = image.lpBits() + size_t(y) * size_t(image.BytesPerScanline());
      for (int32_t x = 0; x < image.Width(); ++x) {
        const int dx = x - ballX, dy = y - ballY;
        row[x] = dx * dx + dy * dy <= 144 ? 15 : uint8_t((x / 40 + y / 30) % 8);
      }
    }
  }
  return gif.Save(path.toStdString());
}

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
  if (!WriteClip(pictures + QStringLiteral("long-clip.gif"), 600)) return 1;
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
