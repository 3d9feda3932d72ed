// The example files of the Samples folder beside the executable: recorded (scrambled) in the
// settings on the first start, added to the list on request.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace lumatrim {

class FileList;
class Prompter;
class SettingsStore;

QString SamplesFolder(const QString& appFolder);

// The sample list: the full paths of the Samples folder's files, joined by "|".
QString SampleList(const QString& appFolder);

// "Snapshot" as stored: the sample list's UTF-8 bytes scrambled, one character per byte.
QString SnapshotOf(const QString& sampleList, const std::function<void()>& pump = {});
// The sample list back from a stored "Snapshot".
QString SampleListOf(const QString& snapshot, const std::function<void()>& pump = {});

// Stores the scrambled sample list as "Snapshot".
void RecordSamples(const QString& appFolder, SettingsStore& settings,
                   const std::function<void()>& pump);

// Adds the recorded samples that exist and are not listed yet, then offers to open the Samples
// folder.
void LoadSamples(FileList& list, const QString& appFolder, SettingsStore& settings,
                 Prompter& prompter, QWidget* owner, const std::function<void()>& pump);

inline const QString kOpenSamplesQuestion = QStringLiteral(
    "Would you like this software to open the folder where these sample files are stored (so "
    "that you can view them before working with them)?");

}  // namespace lumatrim
