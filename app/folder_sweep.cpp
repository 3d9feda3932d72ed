#include "app/folder_sweep.h"

#include "app/app_error.h"
#include "app/file_attributes.h"
#include "app/path_utils.h"

namespace lumatrim {

QString PatternForExtension(const QString& extension) {
  return QStringLiteral("*.") + extension;
}

void SweepFolder(const QString& folder, const QString& pattern, const ScanHooks& hooks,
                 StepRunner* steps, const std::function<void(const QString&)>& add) {
  // Without a step runner (a drop) failures pass silently.
  StepRunner silent(nullptr, nullptr, QString());
  StepRunner& step = steps ? *steps : silent;

  QStringList folders;
  step(114, [&] { folders = {folder + kSeparator}; });
  step(116, [&] { GetSubDirectories2016(folders, true, hooks); });
  for (const QString& entry : std::as_const(folders)) {
    QString current;
    QStringList names;
    step(120, [&] { current = entry.chopped(1); });
    step(122, [&] { names = GetFilesInFolder(current, pattern); });
    for (const QString& name : std::as_const(names)) {
      step(126, [&] {
        if (name.startsWith(u'~')) return;
        const QString path = current + kSeparator + name;
        step.Reached(132);
        if (IsExistingFile(path) && FileAttributes(path) != kAttrHidden + kAttrArchive) {
          add(NormalizePath(path));
        }
      });
    }
  }
}

}  // namespace lumatrim
