#include "app/samples.h"

#include "app/add_folder.h"
#include "app/file_list.h"
#include "app/path_utils.h"
#include "app/prompter.h"
#include "app/scramble.h"
#include "app/settings_store.h"

namespace lumatrim {

QString SamplesFolder(const QString& appFolder) {
  return appFolder + kSeparator + QStringLiteral("Samples");
}

QString SampleList(const QString& appFolder) {
  const QString folder = SamplesFolder(appFolder);
  QString list;
  for (const QString& name : GetFilesInFolder(folder, QStringLiteral("*.*"))) {
    list += folder + kSeparator + name + u'|';
  }
  if (!list.isEmpty()) list.chop(1);
  return list;
}

QString SnapshotOf(const QString& sampleList, const std::function<void()>& pump) {
  // Scrambled codes run from 1 to 255; one character per code keeps them apart in the store.
  return QString::fromLatin1(Scramble(sampleList.toUtf8(), kScrambleKey, pump));
}

QString SampleListOf(const QString& snapshot, const std::function<void()>& pump) {
  return QString::fromUtf8(Unscramble(snapshot.toLatin1(), kScrambleKey, pump));
}

void RecordSamples(const QString& appFolder, SettingsStore& settings,
                   const std::function<void()>& pump) {
  settings.SaveSetting(kKeySnapshot, SnapshotOf(SampleList(appFolder), pump));
}

void LoadSamples(FileList& list, const QString& appFolder, SettingsStore& settings,
                 Prompter& prompter, QWidget* owner, const std::function<void()>& pump) {
  // A missing "Snapshot" reads as "False", which names no file.
  const QString snapshot = settings.GetSetting(kKeySnapshot, QStringLiteral("False"));
  for (const QString& path : SampleListOf(snapshot, pump).split(u'|')) {
    if (FileExists(path) && !ListContains(list, path)) list.Add(path);
  }
  if (prompter.Message(owner, kOpenSamplesQuestion, ApplicationTitle(), MessageButtons::YesNo,
                       MessageIcon::None) == MessageAnswer::Yes) {
    prompter.OpenFolder(owner, SamplesFolder(appFolder) + kSeparator);
  }
}

}  // namespace lumatrim
