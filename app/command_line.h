// The window's command line: files and folders to put on the list, as a file manager's "Open
// with" passes them.
#pragma once

#include <QString>
#include <QStringList>

namespace lumatrim {

struct CommandLine {
  // Absolute paths, in the order given.
  QStringList paths;
  bool help = false;
  // Set when the command line can't be followed; says why.
  QString error;
};

// Reads the arguments after the program name (Qt's own options already taken out). Relative
// paths are taken from workingFolder; file:// URLs become their local paths, other URLs are
// refused; "--" ends the options, so that a file whose name begins with "-" can be named.
CommandLine ParseCommandLine(const QStringList& arguments, const QString& workingFolder);

inline const QString kCommandLineUsage = QStringLiteral(
    "usage: lumatrim [FILE | FOLDER]...\n"
    "Opens the window with the files given, and every file of the folders given, in its list.\n");

}  // namespace lumatrim
