// The settings store in an isolated location, the scramble pair, and the sample files.
#include <QTest>

#include "app/file_list.h"
#include "app/samples.h"
#include "app/scramble.h"
#include "app/settings_store.h"
#include "app_test_support.h"
#include "raster/errors.h"

using namespace lumatrim;
using namespace lumatrim::testing;

namespace {

class ListOf : public FileList {
 public:
  QStringList texts;
  int Count() const override { return int(texts.size()); }
  QString Text(int nItem) const override {
    CheckItemNumber(nItem, Count());
    return texts[nItem - 1];
  }
  void Add(const QString& text) override { texts.append(text); }
};

QByteArray AllCodes() {
  QByteArray codes;
  for (int c = 1; c <= 255; ++c) codes.append(char(c));
  return codes;
}

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

  QTemporaryDir settingsFolder_;

 private slots:
  void initTestCase() { IsolateSettings(settingsFolder_.path()); }
  void init() { ClearSettings(); }

  void ValuesPersistAsStrings() {
    SettingsStore settings;
    QCOMPARE(settings.GetSetting(kKeyExtension, QStringLiteral("gif")), QStringLiteral("gif"));
    QVERIFY(!settings.FindSetting(kKeyOutputFolder));
    settings.SaveSetting(kKeyOutputFolder, QStringLiteral("/x/y, z/"));
    settings.SaveSetting(kKeyExtension, QStringLiteral("@txt"));
    settings.SaveSetting(kKeyLastFolder, QString());
    // A second store, as after a restart, sees the values; "" is stored, not missing.
    SettingsStore again;
    QCOMPARE(again.GetSetting(kKeyOutputFolder, QString()), QStringLiteral("/x/y, z/"));
    QCOMPARE(again.GetSetting(kKeyExtension, QString()), QStringLiteral("@txt"));
    QCOMPARE(again.FindSetting(kKeyLastFolder), std::optional<QString>(QString()));

    // Written under the organization, the application and its group, in the isolated folder.
    const QString file = settingsFolder_.path() + QStringLiteral("/Velderkin/Lumatrim.conf");
    QVERIFY(QFile::exists(file));
    QSettings raw(file, QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("Lumatrim/Output Folder")).toString(),
             QStringLiteral("/x/y, z/"));
  }

  void ScrambleRoundTrip() {
    const QByteArray key = kScrambleKey;
    QCOMPARE(key.size(), 8);
    const QByteArray codes = AllCodes();
    QCOMPARE(Unscramble(Scramble(codes, key), key), codes);
    QVERIFY(Scramble(codes, key) != codes);
    QVERIFY(!Scramble(codes, key).contains('\0'));
    QCOMPARE(Scramble(QByteArray(), key), QByteArray());
    // The key walks: the same character scrambles differently at different places.
    const QByteArray same = Scramble("aaaaaaaaa", key);
    QCOMPARE(same[0], same[8]);
    QVERIFY(same[0] != same[1]);
    int turns = 0;
    Scramble("abc", key, [&] { ++turns; });
    QCOMPARE(turns, 3);
    QVERIFY_THROWS_EXCEPTION(OverflowError, Scramble(QByteArray(32768, 'a'), key));
    QCOMPARE(Unscramble(Scramble(QByteArray(32767, 'a'), key), key).size(), 32767);
  }

  void SnapshotSurvivesTheStoreByteForByte() {
    SettingsStore settings;
    // Every scrambled code from 1 to 255 as one character each.
    const QString everyCode = QString::fromLatin1(AllCodes());
    settings.SaveSetting(kKeySnapshot, everyCode);
    QCOMPARE(SettingsStore().GetSetting(kKeySnapshot, QString()).toLatin1(), AllCodes());

    const QString samples =
        QStringLiteral("/opt/Ünïcødé/图片 1.gif|/home/u/Samples/a, b.gif|/x/@at;semi\"q.gif");
    settings.SaveSetting(kKeySnapshot, SnapshotOf(samples));
    const QString stored = SettingsStore().GetSetting(kKeySnapshot, QString());
    QCOMPARE(stored, SnapshotOf(samples));
    QCOMPARE(SampleListOf(stored), samples);
  }

  void RecordAndLoadSamples() {
    QTemporaryDir app;
    CopyAppFiles(app.path(), {QStringLiteral("Samples")});
    const QStringList names = QDir(app.path() + QStringLiteral("/Samples")).entryList(QDir::Files);
    QVERIFY(names.size() >= 5);
    SettingsStore settings;
    RecordSamples(app.path(), settings, {});
    QVERIFY(!settings.GetSetting(kKeySnapshot, QString()).isEmpty());
    const QStringList recorded =
        SampleListOf(settings.GetSetting(kKeySnapshot, QString())).split(u'|');
    QCOMPARE(recorded.size(), names.size());
    QCOMPARE(recorded.first(), app.path() + QStringLiteral("/Samples/") + names.first());

    ScriptedPrompter prompter;
    prompter.answers = {MessageAnswer::No, MessageAnswer::Yes};
    ListOf list;
    list.Add(recorded[1]);  // already listed with the same text: not again
    LoadSamples(list, app.path(), settings, prompter, nullptr, {});
    QCOMPARE(list.texts.size(), names.size());
    // Loading twice adds nothing more; the question comes every time.
    LoadSamples(list, app.path(), settings, prompter, nullptr, {});
    QCOMPARE(list.texts.size(), names.size());
    QCOMPARE(prompter.Messages(), QStringList(2, kOpenSamplesQuestion));
    QCOMPARE(prompter.calls[0].buttons, MessageButtons::YesNo);
    QCOMPARE(prompter.calls[0].caption, QStringLiteral("Lumatrim"));
    // Yes opens the Samples folder.
    QCOMPARE(prompter.calls.last().kind, QStringLiteral("open"));
    QCOMPARE(prompter.calls.last().text, app.path() + QStringLiteral("/Samples/"));

    // A missing sample is skipped silently.
    QVERIFY(QFile::remove(recorded.last()));
    ListOf fresh;
    LoadSamples(fresh, app.path(), settings, prompter, nullptr, {});
    QCOMPARE(fresh.texts.size(), names.size() - 1);
  }

  void NoSamplesRecordedOrMissing() {
    QTemporaryDir app;
    QVERIFY(QDir().mkpath(app.path() + QStringLiteral("/Samples")));
    SettingsStore settings;
    RecordSamples(app.path(), settings, {});
    QCOMPARE(settings.GetSetting(kKeySnapshot, QStringLiteral("unset")), QString());

    ClearSettings();
    ScriptedPrompter prompter;
    ListOf list;
    LoadSamples(list, app.path(), settings, prompter, nullptr, {});
    QVERIFY(list.texts.isEmpty());
    QCOMPARE(prompter.Messages(), QStringList{kOpenSamplesQuestion});
  }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "test_app_settings.moc"
