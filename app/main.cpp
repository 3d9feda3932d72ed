// lumatrim: the desktop window, with the files and folders named on the command line in its
// list. Without a display it says how to get one, and where the command-line tool is.
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/command_line.h"
#include "app/form1.h"
#include "app/prompter.h"
#include "files/interrupted_saves.h"
#include "raster/system_memory.h"

namespace {

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value && *value;
}

}  // namespace

int main(int argc, char** argv) {
  // Help needs no display.
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(lumatrim::kCommandLineUsage.toLocal8Bit().constData(), stdout);
      return 0;
    }
  }
  // An explicit platform (offscreen, vnc, ...) needs no display.
  if (!Set("QT_QPA_PLATFORM") && !Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) {
    std::fputs(
        "lumatrim: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
        "Lumatrim is a desktop window. To start it without a desktop, run it under a virtual\n"
        "display:   xvfb-run lumatrim\n"
        "To reduce GIF files from a terminal, use the command-line tool:   lumatrim-cli --help\n",
        stderr);
    return 1;
  }
  // Files are reduced on a worker thread: in a heap of its own, the churn of frame buffers
  // doubled the page faults and made a run about 1.8 times slower than on the main thread.
  lumatrim::ShareOneHeapAcrossThreads();
  // A signal during a save removes the temporary file before the process ends.
  lumatrim::InstallInterruptCleanup();
  QApplication application(argc, argv);
  // Qt has taken out its own options by now.
  const lumatrim::CommandLine line =
      lumatrim::ParseCommandLine(QApplication::arguments().mid(1), QDir::currentPath());
  if (!line.error.isEmpty()) {
    std::fprintf(stderr, "lumatrim: %s\n%s", line.error.toLocal8Bit().constData(),
                 lumatrim::kCommandLineUsage.toLocal8Bit().constData());
    return 2;
  }
  lumatrim::QtPrompter prompter;
  lumatrim::Form1 window(lumatrim::DefaultEnvironment(prompter));
  window.startUp();
  window.show();
  // The files are added once the window shows, so that sweeping a large folder is seen.
  QTimer::singleShot(0, &window, [&] { window.openPaths(line.paths); });
  return application.exec();
}
