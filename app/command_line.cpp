#include "app/command_line.h"

#include <QDir>
#include <QUrl>

namespace lumatrim {

CommandLine ParseCommandLine(const QStringList& arguments, const QString& workingFolder) {
  CommandLine line;
  bool options = true;
  for (const QString& argument : arguments) {
    if (options && argument == u"--") {
      options = false;
    } else if (options && (argument == u"-h" || argument == u"--help")) {
      line.help = true;
    } else if (options && argument.startsWith(u'-') && argument.size() > 1) {
      line.error = QStringLiteral("unknown option %1").arg(argument);
      return line;
    } else if (argument.contains(QStringLiteral("://"))) {
      const QUrl url(argument);
      if (!url.isLocalFile()) {
        line.error = QStringLiteral("not a local file: %1").arg(argument);
        return line;
      }
      line.paths.append(QDir::cleanPath(url.toLocalFile()));
    } else if (!argument.isEmpty()) {
      line.paths.append(QDir::cleanPath(QDir(workingFolder).absoluteFilePath(argument)));
    }
  }
  return line;
}

}  // namespace lumatrim
