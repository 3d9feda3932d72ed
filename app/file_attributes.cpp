#include "app/file_attributes.h"

#include <sys/stat.h>

#include <QFile>

namespace lumatrim {

namespace {

// The last name of a path, ignoring separators at its end.
QString LastName(const QString& sPath) {
  qsizetype end = sPath.size();
  while (end > 0 && sPath[end - 1] == u'/') --end;
  const qsizetype start = sPath.lastIndexOf(u'/', end - 1) + 1;
  return sPath.mid(start, end - start);
}

}  // namespace

QByteArray FileSystemName(const QString& sPath) {
  return QFile::encodeName(sPath);
}

int FileAttributes(const QString& sPath) {
  if (sPath.isEmpty()) return kNoAttributes;
  const QByteArray name = FileSystemName(sPath);
  struct stat link {};
  if (lstat(name.constData(), &link) != 0) return kNoAttributes;

  int attributes = 0;
  struct stat target = link;
  if (S_ISLNK(link.st_mode)) {
    attributes |= kAttrReparsePoint;
    // A dangling link is neither folder nor file.
    if (stat(name.constData(), &target) != 0) return attributes;
  }
  if (S_ISDIR(target.st_mode)) attributes |= kAttrDirectory;
  if (S_ISREG(target.st_mode)) attributes |= kAttrArchive;
  if ((target.st_mode & S_IWUSR) == 0) attributes |= kAttrReadOnly;
  const QString last = LastName(sPath);
  if (last.startsWith(u'.') && last != u"." && last != u"..") attributes |= kAttrHidden;
  return attributes;
}

bool ModificationTimeKnown(const QString& sPath) {
  if (sPath.isEmpty()) return false;
  struct stat info {};
  return stat(FileSystemName(sPath).constData(), &info) == 0;
}

}  // namespace lumatrim
