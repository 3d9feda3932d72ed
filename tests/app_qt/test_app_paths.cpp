// Path rules in both spellings, the file-system questions, the attribute mapping and the
// application title.
#include <QTest>

#include "app/file_attributes.h"
#include "app/file_list.h"
#include "app/path_utils.h"
#include "app_test_support.h"

using namespace lumatrim;
using namespace lumatrim::testing;

namespace {

class ListOf : public FileList {
 public:
  explicit ListOf(QStringList texts) : texts_(std::move(texts)) {}
  int Count() const override { return int(texts_.size()); }
  QString Text(int nItem) const override {
    CheckItemNumber(nItem, Count());
    return texts_[nItem - 1];
  }
  void Add(const QString& text) override { texts_.append(text); }

 private:
  QStringList texts_;
};

}  // namespace

class PathTest : public QObject {
  Q_OBJECT

 private slots:
  void FileNameOfBothSpellings() {
    QCOMPARE(FileNameOf(QStringLiteral(R"(C:\gifs\a.b.gif)"), u'\\'), QStringLiteral("a.b.gif"));
    QCOMPARE(FileNameOf(QStringLiteral("/gifs/a.b.gif")), QStringLiteral("a.b.gif"));
    QCOMPARE(FileNameOf(QStringLiteral("a.gif")), QStringLiteral("a.gif"));
    QCOMPARE(FileNameOf(QStringLiteral(R"(C:\gifs\)"), u'\\'), QString());
    QCOMPARE(FileNameOf(QStringLiteral("/gifs/")), QString());
    // A backslash is an ordinary character of a POSIX name.
    QCOMPARE(FileNameOf(QStringLiteral(R"(/gifs/a\b.gif)")), QStringLiteral(R"(a\b.gif)"));
  }

  void NormalizePathWindowsExamples() {
    // Two after the drive and three before the name: one pass gives one and two.
    QCOMPARE(NormalizePath(QStringLiteral(R"(C:\\gifs\\\a.gif)"), kWindowsPaths),
             QStringLiteral(R"(C:\gifs\\a.gif)"));
    QCOMPARE(NormalizePath(QStringLiteral(R"(C:\\\\a.gif)"), kWindowsPaths),
             QStringLiteral(R"(C:\\a.gif)"));
    // Network paths begin with exactly two.
    QCOMPARE(NormalizePath(QStringLiteral(R"(\\\\host\\share\a.gif)"), kWindowsPaths),
             QStringLiteral(R"(\\host\share\a.gif)"));
    QCOMPARE(NormalizePath(QStringLiteral(R"(\host\a.gif)"), kWindowsPaths),
             QStringLiteral(R"(\\host\a.gif)"));
    QCOMPARE(NormalizePath(QStringLiteral(R"(\\\host)"), kWindowsPaths),
             QStringLiteral(R"(\\host)"));
    QCOMPARE(NormalizePath(QStringLiteral(R"(\\\\)"), kWindowsPaths), QStringLiteral(R"(\\)"));
    QCOMPARE(NormalizePath(QString(), kWindowsPaths), QString());
  }

  void NormalizePathPosix() {
    QCOMPARE(NormalizePath(QStringLiteral("//a.gif")), QStringLiteral("/a.gif"));
    QCOMPARE(NormalizePath(QStringLiteral("////home//u///a.gif")),
             QStringLiteral("/home/u//a.gif"));
    QCOMPARE(NormalizePath(QStringLiteral("rel//a.gif")), QStringLiteral("rel/a.gif"));
    QCOMPARE(NormalizePath(QStringLiteral("///")), QStringLiteral("/"));
    QCOMPARE(NormalizePath(QString()), QString());
  }

  // The default output folder is the first of desktop, pictures and home that exists.
  void DefaultOutputFolder() {
    QTemporaryDir home;
    const QByteArray savedHome = qgetenv("HOME");
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    // No user-dirs.dirs: the folders are HOME/Desktop and HOME/Pictures.
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    QVERIFY(QDir().mkpath(home.path() + QStringLiteral("/Desktop")));
    QVERIFY(QDir().mkpath(home.path() + QStringLiteral("/Pictures")));
    QCOMPARE(GetDesktopFolder(), home.path() + QStringLiteral("/Desktop/"));
    QVERIFY(QDir(home.path() + QStringLiteral("/Desktop")).removeRecursively());
    QCOMPARE(GetDesktopFolder(), home.path() + QStringLiteral("/Pictures/"));
    QVERIFY(QDir(home.path() + QStringLiteral("/Pictures")).removeRecursively());
    QCOMPARE(GetDesktopFolder(), home.path() + u'/');
    qputenv("HOME", savedHome);
    qputenv("XDG_CONFIG_HOME", savedConfig);
    if (savedConfig.isEmpty()) qunsetenv("XDG_CONFIG_HOME");
  }

  void FileSystemQuestions() {
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/a.gif");
    QVERIFY(WriteBytes(file, "GIF89a"));
    QVERIFY(FileExists(file));
    QVERIFY(FileExists(dir.path()));
    QVERIFY(!FileExists(dir.path() + QStringLiteral("/missing")));
    QVERIFY(!FileExists(QString()));
    QVERIFY(IsFolder(dir.path()));
    QVERIFY(IsFolder(dir.path() + u'/'));
    QVERIFY(IsFolder(QStringLiteral("/")));
    QVERIFY(!IsFolder(file));
    QVERIFY(!IsFolder(dir.path() + QStringLiteral("/missing")));
    QVERIFY(!IsFolder(QString()));
  }

  void AttributesMappedFromPosix() {
    QTemporaryDir dir;
    const QString root = dir.path();
    QVERIFY(WriteBytes(root + QStringLiteral("/plain.gif"), "x"));
    QVERIFY(WriteBytes(root + QStringLiteral("/.hidden.gif"), "x"));
    QVERIFY(WriteBytes(root + QStringLiteral("/.locked.gif"), "x"));
    QVERIFY(QFile::setPermissions(root + QStringLiteral("/.locked.gif"), QFile::ReadOwner));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/sub")));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/.config")));
    QVERIFY(QFile::link(root + QStringLiteral("/sub"), root + QStringLiteral("/to-sub")));
    QVERIFY(QFile::link(root + QStringLiteral("/plain.gif"), root + QStringLiteral("/to-file")));
    QVERIFY(QFile::link(root + QStringLiteral("/gone"), root + QStringLiteral("/dangling")));

    QCOMPARE(FileAttributes(root + QStringLiteral("/plain.gif")), kAttrArchive);
    QCOMPARE(FileAttributes(root + QStringLiteral("/.hidden.gif")), kAttrHidden + kAttrArchive);
    QCOMPARE(FileAttributes(root + QStringLiteral("/.locked.gif")),
             kAttrHidden + kAttrArchive + kAttrReadOnly);
    QCOMPARE(FileAttributes(root + QStringLiteral("/sub")), kAttrDirectory);
    QCOMPARE(FileAttributes(root + QStringLiteral("/.config/")), kAttrDirectory + kAttrHidden);
    QCOMPARE(FileAttributes(root + QStringLiteral("/to-sub")), kAttrDirectory + kAttrReparsePoint);
    QCOMPARE(FileAttributes(root + QStringLiteral("/to-file")), kAttrArchive + kAttrReparsePoint);
    QCOMPARE(FileAttributes(root + QStringLiteral("/dangling")), kAttrReparsePoint);
    QCOMPARE(FileAttributes(root + QStringLiteral("/missing")), kNoAttributes);
    QCOMPARE(FileAttributes(QStringLiteral("/")) & kAttrHidden, 0);
  }

  void ListContainsComparesExactly() {
    ListOf empty({});
    QVERIFY(!ListContains(empty, QString()));
    ListOf list(
        {QStringLiteral("/a/B.gif"), QStringLiteral("/a/c.gif"), QStringLiteral("/a/c.gif")});
    QVERIFY(ListContains(list, QStringLiteral("/a/B.gif")));
    QVERIFY(!ListContains(list, QStringLiteral("/a/b.gif")));
    QVERIFY(ListContains(list, QStringLiteral("/a/c.gif")));
  }

  void ApplicationTitle() {
    // Three words, 20 characters: the first two.
    QCOMPARE(ApplicationTitleOf(QStringLiteral("Lumatrim Gif Reducer")),
             QStringLiteral("Lumatrim Gif"));
    // Ten four-letter words (49 characters): the first eight (39 characters).
    const QString ten = QStringLiteral("abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd");
    QCOMPARE(ten.size(), 49);
    QCOMPARE(ApplicationTitleOf(ten).size(), 39);
    QCOMPARE(ApplicationTitleOf(ten).count(u' '), 7);
    // Our product title has no space; it stays whole.
    QCOMPARE(ApplicationTitleOf(kProductTitle), QStringLiteral("Lumatrim"));
    SetApplicationTitle();
    QCOMPARE(lumatrim::ApplicationTitle(), QStringLiteral("Lumatrim"));
  }
};

QTEST_GUILESS_MAIN(PathTest)
#include "test_app_paths.moc"
