// lumatrim: the desktop window. Without a display it says how to get one, and where the
// command-line tool is.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/form1.h"
#include "app/prompter.h"

namespace {

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value && *value;
}

}  // namespace

int main(int argc, char** argv) {
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
  QApplication application(argc, argv);
  lumatrim::QtPrompter prompter;
  lumatrim::Form1 window(lumatrim::DefaultEnvironment(prompter));
  window.startUp();
  window.show();
  return application.exec();
}
