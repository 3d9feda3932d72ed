// The saved settings: strings in the per-user settings store of organization "Velderkin", in the
// group "Lumatrim". Each value is written, and flushed, the moment it changes.
#pragma once

#include <QString>
#include <optional>

namespace lumatrim {

inline const QString kSettingsOrganization = QStringLiteral("Velderkin");
inline const QString kSettingsApplication = QStringLiteral("Lumatrim");
inline const QString kSettingsGroup = QStringLiteral("Lumatrim");

inline const QString kKeyOutputFolder = QStringLiteral("Output Folder");
inline const QString kKeyLastFolderDot = QStringLiteral("LastFolderDot");
inline const QString kKeyLastFolder = QStringLiteral("LastFolder");
inline const QString kKeyExtension = QStringLiteral("Extension");
inline const QString kKeySnapshot = QStringLiteral("Snapshot");

class SettingsStore {
 public:
  // The stored string, or sDefault when the key is missing.
  QString GetSetting(const QString& key, const QString& sDefault) const;
  // The stored string, or nothing when the key is missing.
  std::optional<QString> FindSetting(const QString& key) const;
  void SaveSetting(const QString& key, const QString& value);
};

}  // namespace lumatrim
