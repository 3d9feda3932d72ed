// File attributes in the values the rest of the application tests for, mapped from POSIX: a
// folder is a directory, a name that starts with "." is hidden, a file its owner may not write is
// read-only, a regular file carries the archive mark and a symbolic link is a reparse point.
// Nothing is ever a system file.
#pragma once

#include <QByteArray>
#include <QString>

namespace lumatrim {

inline constexpr int kAttrReadOnly = 1;
inline constexpr int kAttrHidden = 2;
inline constexpr int kAttrSystem = 4;
inline constexpr int kAttrDirectory = 16;
inline constexpr int kAttrArchive = 32;
inline constexpr int kAttrReparsePoint = 1024;
// The answer for a path whose attributes can't be read.
inline constexpr int kNoAttributes = -1;

// The path's bytes for the file system (UTF-8).
QByteArray FileSystemName(const QString& sPath);

// The attributes of a path, or kNoAttributes. A link reports the folder or file it points to,
// plus kAttrReparsePoint.
int FileAttributes(const QString& sPath);

// True when the path's last-modification time can be read (it names a file or a folder).
bool ModificationTimeKnown(const QString& sPath);

}  // namespace lumatrim
