// Small shared path operations of the window, the run, the adding of files and the folder scan:
// string rules on paths, written once over the separator, and a few questions put to the file
// system and the desktop.
#pragma once

#include <QChar>
#include <QString>

namespace lumatrim {

class FileList;

// How paths are spelled: the separator, and how many separators stand in front of a path that
// begins with a run of them (a network path on Windows, the root on POSIX).
struct PathStyle {
  QChar separator;
  int leadingSeparators;
};

inline constexpr PathStyle kPosixPaths{QChar(u'/'), 1};
inline constexpr PathStyle kWindowsPaths{QChar(u'\\'), 2};

// The separator of this system's paths.
inline constexpr QChar kSeparator = kPosixPaths.separator;

// Everything after the last separator; the whole path when it has none.
QString FileNameOf(const QString& sPath, QChar separator = kSeparator);

// Collapses doubled separators in one left-to-right pass over non-overlapping pairs (so three in
// a row become two). A leading run of separators becomes the style's leading separators.
QString NormalizePath(const QString& sPath, const PathStyle& style = kPosixPaths);

// True when the path names anything the file system knows (a file or a folder).
bool FileExists(const QString& sPath);

// True when the path names a folder (or a link to one).
bool IsFolder(const QString& sPath);

// The default output folder followed by the separator: the user's desktop folder when it exists,
// else the pictures folder, else the home folder. Throws std::invalid_argument when none exists.
QString GetDesktopFolder();

// True when some item of the list has exactly this text (case-sensitive).
bool ListContains(const FileList& list, const QString& text);

// The application title for a product title: cut at the last space, again while longer than 40
// characters. A title without a space is kept whole.
QString ApplicationTitleOf(const QString& productTitle);

// The product title: the main window's caption.
inline const QString kProductTitle = QStringLiteral("Lumatrim");

// Sets the caption of message boxes without a title of their own from the product title.
void SetApplicationTitle();
QString ApplicationTitle();

}  // namespace lumatrim
