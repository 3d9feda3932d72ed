// The file-system work behind adding whole folders: listing one folder's files by a name
// pattern, testing for existing files, and extending a list of folders with all folders below
// them, level by level.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace lumatrim {

class Prompter;

// Folder paths longer than this are neither scanned nor entered, and names this long are skipped.
inline constexpr qsizetype kMaxPathChars = 260;

// What a scan needs of the window: the event pump (run once per folder it touches) and where to
// report an unexpected failure.
struct ScanHooks {
  std::function<void()> pump;
  Prompter* prompter = nullptr;
  QWidget* owner = nullptr;
};

// True when the name matches a pattern of "*" (any run) and "?" (one character), compared
// without regard to letter case. A pattern ending in ".*" also matches names without a dot, so
// "*.*" matches every name.
bool MatchesPattern(const QString& name, const QString& pattern);

// The names (no folder part) of the files in the folder that match the pattern, hidden files
// included and folders never, sorted by name. None when nothing matches or the folder can't be
// read. A name that is not valid UTF-8 can't be named in the list and is left out.
QStringList GetFilesInFolder(const QString& folder, const QString& pattern);

// True when the path names an existing regular file (a link to one counts).
bool IsExistingFile(const QString& sPath);

// A name with a control character (below 32 or 127 to 159) or "?" is unsafe.
bool HasUnsafeChars(const QString& name);
// The same for a name as the file system spells it; a name that is not valid UTF-8 is unsafe.
bool HasUnsafeChars(const QByteArray& fileSystemName);

// A folder whose attributes are exactly directory, hidden and system (with or without the
// reparse point), unless it is the root.
bool IsProtectedFolder(const QString& folder);

// Appends to the list (each entry ending with the separator) every folder below its entries, in
// breadth-first order; with recursive false only one level. Protected folders and symbolic links
// to folders are neither listed nor entered. A folder whose subfolders can't be listed because
// of its permissions or because it is gone is removed from the list.
void GetSubDirectories2016(QStringList& folders, bool recursive, const ScanHooks& hooks);

}  // namespace lumatrim
