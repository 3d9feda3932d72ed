#include "app/settings_store.h"

#include <QSettings>
#include <QVariant>

namespace lumatrim {

QString SettingsStore::GetSetting(const QString& key, const QString& sDefault) const {
  return FindSetting(key).value_or(sDefault);
}

std::optional<QString> SettingsStore::FindSetting(const QString& key) const {
  QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                  kSettingsApplication);
  store.beginGroup(kSettingsGroup);
  const QVariant value = store.value(key);
  if (!value.isValid()) return std::nullopt;
  return value.toString();
}

void SettingsStore::SaveSetting(const QString& key, const QString& value) {
  QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                  kSettingsApplication);
  store.beginGroup(kSettingsGroup);
  store.setValue(key, value);
  store.endGroup();
  store.sync();
}

}  // namespace lumatrim
