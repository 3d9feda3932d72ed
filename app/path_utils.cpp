#include "app/path_utils.h"

#include <QDir>
#include <QStandardPaths>
#include <stdexcept>

#include "app/file_attributes.h"
#include "app/file_list.h"

namespace lumatrim {

namespace {

// One pass from left to right: each pair of separators becomes one, pairs don't overlap.
QString CollapseSeparatorPairs(const QString& text, QChar separator) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    out.append(text[i]);
    if (text[i] == separator && i + 1 < text.size() && text[i + 1] == separator) ++i;
  }
  return out;
}

QString g_applicationTitle;

}  // namespace

QString FileNameOf(const QString& sPath, QChar separator) {
  return sPath.mid(sPath.lastIndexOf(separator) + 1);
}

QString NormalizePath(const QString& sPath, const PathStyle& style) {
  if (!sPath.startsWith(style.separator)) return CollapseSeparatorPairs(sPath, style.separator);
  qsizetype run = 0;
  while (run < sPath.size() && sPath[run] == style.separator) ++run;
  return QString(style.leadingSeparators, style.separator) +
         CollapseSeparatorPairs(sPath.mid(run), style.separator);
}

bool FileExists(const QString& sPath) {
  return ModificationTimeKnown(sPath);
}

bool IsFolder(const QString& sPath) {
  const int attributes = FileAttributes(sPath);
  return attributes != kNoAttributes && (attributes & kAttrDirectory) != 0;
}

QString GetDesktopFolder() {
  // Many accounts have no desktop folder: the pictures folder and then the home folder stand in,
  // so that the first run has somewhere to write.
  for (const QString& folder :
       {QStandardPaths::writableLocation(QStandardPaths::DesktopLocation),
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation), QDir::homePath()}) {
    if (!folder.isEmpty() && IsFolder(folder)) return folder + kSeparator;
  }
  throw std::invalid_argument("Invalid procedure call or argument");
}

bool ListContains(const FileList& list, const QString& text) {
  bool found = false;
  for (int i = 1; i <= list.Count(); ++i) {
    if (list.Text(i) == text) found = true;
  }
  return found;
}

QString ApplicationTitleOf(const QString& productTitle) {
  QString title = productTitle;
  do {
    const qsizetype space = title.lastIndexOf(u' ');
    if (space < 0) break;
    title.truncate(space);
  } while (title.size() > 40);
  return title;
}

void SetApplicationTitle() {
  g_applicationTitle = ApplicationTitleOf(kProductTitle);
}

QString ApplicationTitle() {
  return g_applicationTitle.isEmpty() ? ApplicationTitleOf(kProductTitle) : g_applicationTitle;
}

}  // namespace lumatrim
