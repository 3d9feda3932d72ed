// Folder listing, the breadth-first folder scan and the sweep's rules, on real temporary trees.
#include <sys/stat.h>

#include <QTest>

#include "app/add_folder.h"
#include "app/file_attributes.h"
#include "app/folder_sweep.h"
#include "app_test_support.h"

using namespace lumatrim;
using namespace lumatrim::testing;

namespace {

QStringList Relative(const QStringList& paths, const QString& root) {
  QStringList out;
  for (const QString& path : paths) out.append(path.mid(root.size()));
  return out;
}

QStringList Sweep(const QString& folder, const QString& pattern) {
  QStringList found;
  SweepFolder(folder, pattern, ScanHooks{}, nullptr, [&](const QString& p) { found.append(p); });
  return found;
}

}  // namespace

class ScanTest : public QObject {
  Q_OBJECT

 private slots:
  void PatternsMatchLikeTheFolderListing() {
    QVERIFY(MatchesPattern(QStringLiteral("a.gif"), QStringLiteral("*.gif")));
    QVERIFY(MatchesPattern(QStringLiteral("PHOTO.GIF"), QStringLiteral("*.gif")));
    QVERIFY(MatchesPattern(QStringLiteral("a.b.gif"), QStringLiteral("*.gif")));
    QVERIFY(!MatchesPattern(QStringLiteral("a.gifx"), QStringLiteral("*.gif")));
    QVERIFY(!MatchesPattern(QStringLiteral("gif"), QStringLiteral("*.gif")));
    QVERIFY(MatchesPattern(QStringLiteral("README"), QStringLiteral("*.*")));
    QVERIFY(MatchesPattern(QStringLiteral(".hidden"), QStringLiteral("*.*")));
    QVERIFY(MatchesPattern(QStringLiteral("a.txt"), QStringLiteral("*.t?t")));
    // Characters that mean something to other pattern languages are plain here.
    QVERIFY(MatchesPattern(QStringLiteral("[a].gif"), QStringLiteral("*.gif")));
    QVERIFY(MatchesPattern(QStringLiteral("x.[a]"), QStringLiteral("*.[a]")));
    QVERIFY(!MatchesPattern(QStringLiteral("x.a"), QStringLiteral("*.[a]")));
  }

  void FilesOfOneFolder() {
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char* name : {"b.gif", "a.gif", ".h.gif", "UP.GIF", "notes.txt"}) {
      QVERIFY(WriteBytes(root + u'/' + QString::fromLatin1(name), "x"));
    }
    QVERIFY(QDir().mkpath(root + QStringLiteral("/folder.gif")));
    // Given without the trailing separator; hidden files included, folders never.
    QCOMPARE(GetFilesInFolder(root, QStringLiteral("*.gif")),
             (QStringList{".h.gif", "UP.GIF", "a.gif", "b.gif"}));
    QCOMPARE(GetFilesInFolder(root + u'/', QStringLiteral("*.txt")), QStringList{"notes.txt"});
    QVERIFY(GetFilesInFolder(root, QStringLiteral("*.png")).isEmpty());
    QVERIFY(GetFilesInFolder(root + QStringLiteral("/missing"), QStringLiteral("*.*")).isEmpty());

    QVERIFY(IsExistingFile(root + QStringLiteral("/a.gif")));
    QVERIFY(IsExistingFile(root + QStringLiteral("/.h.gif")));
    QVERIFY(!IsExistingFile(root + QStringLiteral("/folder.gif")));
    QVERIFY(!IsExistingFile(root + QStringLiteral("/missing.gif")));
    QVERIFY(!IsExistingFile(QString()));
  }

  void UnsafeNames() {
    QVERIFY(!HasUnsafeChars(QStringLiteral("Ünïcødé 图片")));
    QVERIFY(HasUnsafeChars(QStringLiteral("what?")));
    QVERIFY(HasUnsafeChars(QStringLiteral("tab\there")));
    QVERIFY(HasUnsafeChars(QString(QChar(0x7F))));
    QVERIFY(HasUnsafeChars(QString(QChar(0x9F))));
    QVERIFY(!HasUnsafeChars(QString(QChar(0xA0))));
    QVERIFY(HasUnsafeChars(QByteArray("bad\xff\xfe")));
    QVERIFY(HasUnsafeChars(QByteArray("\xc0\xaf")));  // an overlong "/"
    QVERIFY(!HasUnsafeChars(QStringLiteral("fine").toUtf8()));
  }

  void ScanIsBreadthFirst() {
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char* sub : {"b", "a/a1", "a/a2/deep", ".hidden/inner"}) {
      QVERIFY(QDir().mkpath(root + u'/' + QString::fromLatin1(sub)));
    }
    QStringList folders{root + u'/'};
    GetSubDirectories2016(folders, true, ScanHooks{});
    QCOMPARE(Relative(folders, root),
             (QStringList{"/", "/.hidden/", "/a/", "/b/", "/.hidden/inner/", "/a/a1/", "/a/a2/",
                          "/a/a2/deep/"}));

    QStringList oneLevel{root + u'/'};
    GetSubDirectories2016(oneLevel, false, ScanHooks{});
    QCOMPARE(Relative(oneLevel, root), (QStringList{"/", "/.hidden/", "/a/", "/b/"}));

    // The pump runs for every folder touched.
    int turns = 0;
    QStringList counted{root + u'/'};
    GetSubDirectories2016(counted, true, ScanHooks{[&] { ++turns; }, nullptr, nullptr});
    QVERIFY(turns >= 8);
  }

  void ScanSkipsLinksAndUnsafeNames() {
    QTemporaryDir dir;
    const QString root = dir.path();
    QVERIFY(QDir().mkpath(root + QStringLiteral("/a/inner")));
    // A link back up would list the tree again and again.
    QVERIFY(QFile::link(root, root + QStringLiteral("/a/up")));
    QVERIFY(QFile::link(root + QStringLiteral("/a"), root + QStringLiteral("/side")));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/what?/below")));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/ctl\x01name/below")));
    QVERIFY(mkdir((root.toUtf8() + "/bad\xff").constData(), 0755) == 0);
    QVERIFY(mkdir((root.toUtf8() + "/bad\xff/below").constData(), 0755) == 0);

    QStringList folders{root + u'/'};
    GetSubDirectories2016(folders, true, ScanHooks{});
    // The temporary folder can't remove a name it can't spell.
    rmdir((root.toUtf8() + "/bad\xff/below").constData());
    rmdir((root.toUtf8() + "/bad\xff").constData());
    QCOMPARE(Relative(folders, root), (QStringList{"/", "/a/", "/a/inner/"}));
  }

  void UnreadableFolderLeavesTheList() {
    if (RunningAsRoot()) QSKIP("root reads every folder; the permission rule can't be seen");
    QTemporaryDir dir;
    const QString root = dir.path();
    QVERIFY(QDir().mkpath(root + QStringLiteral("/open")));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/locked/inside")));
    QVERIFY(WriteBytes(root + QStringLiteral("/locked/x.gif"), "x"));
    QVERIFY(chmod((root + QStringLiteral("/locked")).toUtf8().constData(), 0) == 0);
    QStringList folders{root + u'/'};
    GetSubDirectories2016(folders, true, ScanHooks{});
    chmod((root + QStringLiteral("/locked")).toUtf8().constData(), 0755);
    QCOMPARE(Relative(folders, root), (QStringList{"/", "/open/"}));
  }

  void MissingFolderLeavesTheList() {
    QTemporaryDir dir;
    QStringList folders{dir.path() + QStringLiteral("/gone/"), dir.path() + u'/'};
    GetSubDirectories2016(folders, true, ScanHooks{});
    // Not a folder: skipped, and kept as it was.
    QCOMPARE(folders.first(), dir.path() + QStringLiteral("/gone/"));
  }

  void SweepRules() {
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char* name : {"a.gif", "~temp.gif", ".hidden.gif", ".locked.gif", "b.txt", "noext",
                             "sub/c.GIF", "sub/deeper/d.gif", "sub/~e.gif"}) {
      QVERIFY(WriteBytes(root + u'/' + QString::fromLatin1(name), "x"));
    }
    // Hidden and read-only is added; hidden alone (with the archive mark) is not. The mode bits
    // decide, so this holds for root too.
    QVERIFY(QFile::setPermissions(root + QStringLiteral("/.locked.gif"), QFile::ReadOwner));
    QVERIFY(QFile::link(root + QStringLiteral("/a.gif"), root + QStringLiteral("/link.gif")));
    QVERIFY(QFile::link(root + QStringLiteral("/sub"), root + QStringLiteral("/sublink.gif")));

    QCOMPARE(
        Relative(Sweep(root, PatternForExtension(QStringLiteral("gif"))), root),
        (QStringList{"/.locked.gif", "/a.gif", "/link.gif", "/sub/c.GIF", "/sub/deeper/d.gif"}));
    QCOMPARE(Relative(Sweep(root, PatternForExtension(QStringLiteral("*"))), root),
             (QStringList{"/.locked.gif", "/a.gif", "/b.txt", "/link.gif", "/noext", "/sub/c.GIF",
                          "/sub/deeper/d.gif"}));
    QCOMPARE(Relative(Sweep(root, PatternForExtension(QStringLiteral("txt"))), root),
             QStringList{"/b.txt"});
    // A folder given with its trailing separator gives the same normalized paths.
    QCOMPARE(Sweep(root + u'/', QStringLiteral("*.txt")), QStringList{root + "/b.txt"});
  }
};

QTEST_GUILESS_MAIN(ScanTest)
#include "test_app_scan.moc"
