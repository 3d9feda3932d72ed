#include "app/add_folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <memory>

#include "app/app_error.h"
#include "app/file_attributes.h"
#include "app/path_utils.h"

namespace lumatrim {

namespace {

// The names of a folder's entries as the file system spells them, sorted; errno is kept from a
// failed open (0 when the folder was read).
struct FolderEntries {
  std::vector<QByteArray> names;
  int error = 0;
};

FolderEntries ReadFolder(const QString& folder) {
  FolderEntries entries;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(FileSystemName(folder).constData()), closedir);
  if (!dir) {
    entries.error = errno;
    return entries;
  }
  while (const dirent* entry = readdir(dir.get())) entries.names.emplace_back(entry->d_name);
  std::sort(entries.names.begin(), entries.names.end());
  return entries;
}

QString WithSeparator(const QString& folder) {
  return folder.endsWith(kSeparator) ? folder : folder + kSeparator;
}

bool IsRoot(const QString& folder) {
  return !folder.isEmpty() &&
         std::all_of(folder.begin(), folder.end(), [](QChar c) { return c == kSeparator; });
}

bool IsRealFolder(const QString& sPath) {
  struct stat info {};
  return lstat(FileSystemName(sPath).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Matches(const QString& name, qsizetype n, const QString& pattern, qsizetype p) {
  while (p < pattern.size()) {
    if (pattern[p] == u'*') {
      while (p < pattern.size() && pattern[p] == u'*') ++p;
      if (p == pattern.size()) return true;
      for (qsizetype start = n; start <= name.size(); ++start) {
        if (Matches(name, start, pattern, p)) return true;
      }
      return false;
    }
    if (n == name.size()) return false;
    if (pattern[p] != u'?' && pattern[p].toCaseFolded() != name[n].toCaseFolded()) return false;
    ++n;
    ++p;
  }
  return n == name.size();
}

}  // namespace

bool MatchesPattern(const QString& name, const QString& pattern) {
  if (Matches(name, 0, pattern, 0)) return true;
  return pattern.endsWith(QStringLiteral(".*")) && !name.contains(u'.') &&
         Matches(name, 0, pattern.chopped(2), 0);
}

QStringList GetFilesInFolder(const QString& folder, const QString& pattern) {
  const QString base = WithSeparator(folder);
  QStringList names;
  for (const QByteArray& raw : ReadFolder(base).names) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString name = decoder(raw);
    if (decoder.hasError() || !MatchesPattern(name, pattern)) continue;
    if (IsExistingFile(base + name)) names.append(name);
  }
  return names;
}

bool IsExistingFile(const QString& sPath) {
  if (sPath.isEmpty()) return false;
  struct stat info {};
  return stat(FileSystemName(sPath).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool HasUnsafeChars(const QString& name) {
  return std::any_of(name.begin(), name.end(), [](QChar c) {
    const char16_t code = c.unicode();
    return code < 32 || (code >= 127 && code <= 159) || code == u'?';
  });
}

bool HasUnsafeChars(const QByteArray& fileSystemName) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString name = decoder(fileSystemName);
  return decoder.hasError() || HasUnsafeChars(name);
}

bool IsProtectedFolder(const QString& folder) {
  if (IsRoot(folder)) return false;
  const int attributes = FileAttributes(folder);
  return attributes == 22 || attributes == 1046;
}

void GetSubDirectories2016(QStringList& folders, bool recursive, const ScanHooks& hooks) {
  const auto pump = [&hooks] {
    if (hooks.pump) hooks.pump();
  };
  StepRunner step(hooks.prompter, hooks.owner, kLabelFolderScan);

  QStringList newFolders;
  const QStringList inputs = folders;
  for (const QString& folder : inputs) {
    bool scan = false;
    step(108, [&] { scan = IsFolder(folder); });
    if (!scan) continue;
    if (folder.size() >= kMaxPathChars) continue;
    pump();
    if (IsProtectedFolder(folder)) continue;

    // The subfolder listing: a folder that can't be listed for its permissions or because it is
    // gone leaves the list; other failures pass silently.
    const FolderEntries entries = ReadFolder(folder);
    if (entries.error == EACCES || entries.error == ENOENT) {
      folders.removeOne(folder);
      continue;
    }
    for (const QByteArray& raw : entries.names) {
      pump();
      if (raw.size() >= kMaxPathChars || HasUnsafeChars(raw) || raw == "." || raw == "..") {
        continue;
      }
      const QString name = QString::fromUtf8(raw);
      if (name.size() >= kMaxPathChars) continue;
      // Links to folders are not entered: one that points back up would never end.
      if (!IsRealFolder(folder + name)) continue;
      newFolders.append(folder + name + kSeparator);
    }
  }

  step(150, [&] {
    if (recursive && !newFolders.isEmpty()) GetSubDirectories2016(newFolders, true, hooks);
  });
  for (const QString& folder : std::as_const(newFolders)) {
    step(154, [&] {
      if (!IsFolder(folder)) return;
      pump();
      step.Reached(158);
      if (IsProtectedFolder(folder)) return;
      step.Reached(160);
      folders.append(folder);
    });
  }
}

}  // namespace lumatrim
