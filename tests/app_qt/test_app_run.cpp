// "Start Reducing" over real files: progress, messages, outputs, and the step messages.
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <memory>

#include "../look_the_same.h"
#include "app/app_error.h"
#include "app/file_list_view.h"
#include "app/form1.h"
#include "app/run_results.h"
#include "app/run_results_view.h"
#include "app/tools/long_clip.h"
#include "app_test_support.h"
#include "gif/gif_document.h"

using namespace lumatrim;
using namespace lumatrim::testing;

namespace {

struct Progress {
  double value;
  QString text;
  bool operator==(const Progress& other) const {
    return qAbs(value - other.value) < 1e-9 && text == other.text;
  }
};

QString Sample(const char* name) {
  return BuiltAppFiles() + QStringLiteral("/Samples/") + QString::fromLatin1(name);
}

}  // namespace

namespace QTest {
template <>
char* toString(const Progress& p) {
  return qstrdup(QStringLiteral("(%1, %2)").arg(p.value).arg(p.text).toUtf8().constData());
}
}  // namespace QTest

class RunTest : public QObject {
  Q_OBJECT

  QTemporaryDir settingsFolder_;
  std::unique_ptr<QTemporaryDir> work_;
  ScriptedPrompter prompter_;
  std::function<void()> onPump_;
  std::unique_ptr<Form1> window_;
  QList<Progress> progress_;

  QString Work(const QString& name) const { return work_->path() + u'/' + name; }

  void StartWindow(const QString& outputFolder) {
    AppEnvironment environment;
    environment.appFolder = work_->path();
    environment.prompter = &prompter_;
    environment.desktopFolder = [this] { return work_->path() + u'/'; };
    environment.pump = [this] {
      progress_.append({window_->ProgressValue(), window_->ProgressText()});
      if (onPump_) onPump_();
    };
    window_ = std::make_unique<Form1>(environment);
    window_->startUp();
    window_->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(outputFolder);
  }

  void Start() { window_->findChild<QPushButton*>(QStringLiteral("PushButton2"))->click(); }

  // Runs what is given once the file whose progress shows is under way: the window's events are
  // handled only while a file is reduced, so a zero timer set now fires during that file's work.
  static void WhileTheFileIsReduced(const std::function<void()>& action) {
    QTimer::singleShot(0, action);
  }

  // The folder holds the outputs of the inputs named and nothing else (no temporary file either),
  // each under its own input's name and showing what that input shows.
  static void ExpectWholeOutputsOf(const QString& folder, const QStringList& inputs) {
    QStringList names;
    for (const QString& input : inputs) {
      names.append(QFileInfo(input).completeBaseName() + QStringLiteral("-reduced.gif"));
    }
    names.sort();
    QCOMPARE(QDir(folder).entryList(
                 QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
             names);
    const QString gifdiff = QStandardPaths::findExecutable(QStringLiteral("gifdiff"));
    for (const QString& input : inputs) {
      const QString output =
          folder + u'/' + QFileInfo(input).completeBaseName() + QStringLiteral("-reduced.gif");
      cGIF original, reduced;
      QVERIFY(original.LoadFromFile(input.toStdString()));
      QVERIFY2(reduced.LoadFromFile(output.toStdString()), qPrintable(output));
      QVERIFY2(LookTheSame(original, reduced), qPrintable(output));
      if (!gifdiff.isEmpty()) {
        QCOMPARE(QProcess::execute(gifdiff, {"-w", "-B", input, output}), 0);
      }
    }
  }

 private slots:
  void initTestCase() { IsolateSettings(settingsFolder_.path()); }
  void init() {
    ClearSettings();
    work_ = std::make_unique<QTemporaryDir>();
    prompter_ = ScriptedPrompter();
    onPump_ = nullptr;
    progress_.clear();
  }
  void cleanup() { window_.reset(); }

  void WholeRun() {
    QVERIFY(QDir().mkpath(Work("out")));
    QVERIFY(QDir().mkpath(Work("in")));
    QVERIFY(QFile::copy(Sample("ball-changed-area.gif"), Work("in/bäll 图.gif")));
    QVERIFY(QFile::copy(Sample("blink-repeated-frames.gif"), Work("in/blink.GIF")));
    QVERIFY(WriteBytes(Work("in/notes.txt"), "not a picture"));
    // A name without a dot gets "-reduced.gif" after the whole name.
    QVERIFY(QFile::copy(Sample("tiles-unused-palette.gif"), Work("in/tiles")));
    StartWindow(Work("out/"));
    for (const char* name : {"in/bäll 图.gif", "in/notes.txt", "in/blink.GIF", "in/tiles"}) {
      window_->Add(Work(QString::fromUtf8(name)));
    }
    Start();

    QCOMPARE(prompter_.Messages(),
             (QStringList{"Error loading gif file: " + Work("in/notes.txt"), "Done."}));
    for (const PromptCall& call : prompter_.calls) {
      QCOMPARE(call.caption, QStringLiteral("Lumatrim"));
      QCOMPARE(call.icon, MessageIcon::None);
    }
    // Twice per file: before the file's steps, then with its progress shown.
    QCOMPARE(progress_, (QList<Progress>{{0, "Progress Bar"},
                                         {25, "Processing: bäll 图.gif"},
                                         {25, "Processing: bäll 图.gif"},
                                         {50, "Processing: notes.txt"},
                                         {50, "Processing: notes.txt"},
                                         {75, "Processing: blink.GIF"},
                                         {75, "Processing: blink.GIF"},
                                         {100, "Processing: tiles"}}));
    QCOMPARE(window_->ProgressValue(), 0.0);
    QCOMPARE(window_->ProgressText(), QStringLiteral("Progress Bar"));
    QVERIFY(!window_->Busy());
    QCOMPARE(window_->Pointer(), MousePointer::Default);

    QCOMPARE(QDir(Work("out")).entryList(QDir::Files),
             (QStringList{"blink-reduced.gif", "bäll 图-reduced.gif", "tiles-reduced.gif"}));
    for (const char* in : {"in/bäll 图.gif", "in/blink.GIF", "in/tiles"}) {
      const QString input = Work(QString::fromUtf8(in));
      QString name = QFileInfo(input).completeBaseName();
      const QString output = Work("out/" + name + "-reduced.gif");
      QVERIFY2(QFileInfo(output).size() < QFileInfo(input).size(), qPrintable(output));
      cGIF reread;
      QVERIFY(reread.LoadFromFile(output.toStdString()));
      const QString gifdiff = QStandardPaths::findExecutable(QStringLiteral("gifdiff"));
      if (!gifdiff.isEmpty()) {
        QCOMPARE(QProcess::execute(gifdiff, {"-w", "-B", input, output}), 0);
      }
    }
    // The list stays as it was; the results and their summary tell what happened to each file.
    QCOMPARE(window_->Count(), 4);
    const RunResults& results = window_->LastResults();
    QCOMPARE(results.size(), 4);
    qint64 before = 0, after = 0;
    for (const FileResult& result : results) {
      if (result.status != ReductionStatus::Reduced) continue;
      QCOMPARE(result.bytesIn, QFileInfo(result.input).size());
      QCOMPARE(result.bytesOut, QFileInfo(result.output).size());
      before += result.bytesIn;
      after += result.bytesOut;
    }
    QCOMPARE(results[1].status, ReductionStatus::NotLoaded);
    QCOMPARE(results[1].input, Work("in/notes.txt"));
    auto* summary = window_->findChild<QLabel*>(QStringLiteral("RunSummary"));
    QVERIFY(summary->isVisible() || !window_->isVisible());
    QVERIFY(summary->text().startsWith(
        QStringLiteral("4 files, 3 reduced, 1 failed: %1 before, %2 after, %3 saved (")
            .arg(ReadableSize(before), ReadableSize(after), ReadableSize(before - after))));
    window_->showResultsView();
    auto* table = window_->findChild<QTableWidget*>(QStringLiteral("RunResultsTable"));
    QVERIFY(table);
    QCOMPARE(table->rowCount(), 4);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("1"));
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("bäll 图.gif"));
    QCOMPARE(table->item(0, 1)->toolTip(), Work("in/bäll 图.gif"));
    QCOMPARE(table->item(0, 2)->text(), QLocale().toString(results[0].bytesIn));
    QVERIFY(table->item(0, 4)->text().startsWith(u'-'));
    // The load failure says why in the list; its message box keeps the path alone.
    QCOMPARE(table->item(1, 5)->text(), QStringLiteral("Not loaded: not a GIF file"));
    QCOMPARE(table->item(2, 5)->text(), QStringLiteral("Reduced"));
  }

  // A file that loads but can't be written is reported, and the run goes on with the next.
  void SaveFailureIsReported() {
    QVERIFY(QDir().mkpath(Work("out/ball-changed-area-reduced.gif")));
    StartWindow(Work("out"));
    window_->Add(Sample("ball-changed-area.gif"));
    window_->Add(Sample("blink-repeated-frames.gif"));
    Start();
    const QStringList messages = prompter_.Messages();
    QCOMPARE(messages.size(), 2);
    const QString saving =
        QStringLiteral("Error saving gif file: ") + Work("out/ball-changed-area-reduced.gif");
    QVERIFY2(messages[0] == saving || messages[0].startsWith(saving + QStringLiteral(" (")),
             qPrintable(messages[0]));
    QCOMPARE(messages[1], QStringLiteral("Done."));
    QVERIFY(QFileInfo(Work("out/ball-changed-area-reduced.gif")).isDir());
    QVERIFY(QFileInfo(Work("out/blink-repeated-frames-reduced.gif")).isFile());
    QCOMPARE(window_->LastResults()[0].status, ReductionStatus::NotSaved);
    // The summary adds a row under the progress bar once; the window grows by it once.
    QCOMPARE(window_->size(), QSize(536, 434));
    Start();
    QCOMPARE(window_->size(), QSize(536, 434));
    QCOMPARE(window_->minimumHeight(), 434);
    QVERIFY(window_->findChild<QLabel*>(QStringLiteral("RunSummary"))
                ->text()
                .startsWith(QStringLiteral("2 files, 1 reduced, 1 failed: ")));
  }

  // No output replaces another item's output or an item of the list itself.
  void OutputsNeverReplaceInputsOrEachOther() {
    QVERIFY(QDir().mkpath(Work("x")));
    QVERIFY(QDir().mkpath(Work("y")));
    QVERIFY(QFile::copy(Sample("ball-changed-area.gif"), Work("x/a.gif")));
    QVERIFY(QFile::copy(Sample("blink-repeated-frames.gif"), Work("y/a.gif")));
    QVERIFY(QFile::copy(Sample("ball-changed-area.gif"), Work("logo.gif")));
    QVERIFY(QFile::copy(Sample("tiles-unused-palette.gif"), Work("logo-reduced.gif")));
    const QByteArray mine = ReadBytes(Work("logo-reduced.gif"));
    StartWindow(work_->path());
    for (const char* name : {"x/a.gif", "y/a.gif", "logo.gif", "logo-reduced.gif"}) {
      window_->Add(Work(name));
    }
    Start();
    const QStringList messages = prompter_.Messages();
    QCOMPARE(messages.size(), 3);
    QVERIFY2(messages[0].contains(QStringLiteral("same output name as")), qPrintable(messages[0]));
    QVERIFY2(messages[1].contains(QStringLiteral("would replace an input")),
             qPrintable(messages[1]));
    QCOMPARE(messages[2], QStringLiteral("Done."));
    QCOMPARE(ReadBytes(Work("logo-reduced.gif")), mine);  // the user's own file is kept
    QVERIFY(QFileInfo(Work("logo-reduced-reduced.gif")).isFile());
    cGIF first;
    QVERIFY(first.LoadFromFile(Work("a-reduced.gif").toStdString()));
    cGIF original;
    QVERIFY(original.LoadFromFile(Work("x/a.gif").toStdString()));
    QVERIFY(LookTheSame(original, first));  // the first a.gif's output, not the second's
  }

  // Dragging items during a run swaps their texts and adding one grows the list: each file's
  // output is named after the file that was read for it, and no output replaces a file that the
  // list held at the time, even one added during the run.
  void ReorderingAndAddingDuringARunNeverMisnamesAnOutput() {
    QVERIFY(QDir().mkpath(Work("in")));
    const QStringList samples = {"ball-changed-area", "blink-repeated-frames",
                                 "tiles-unused-palette", "stripes-local-palettes",
                                 "sign-transparent-borders"};
    for (int k = 0; k < samples.size(); ++k) {
      QVERIFY(QFile::copy(Sample(qPrintable(samples[k] + ".gif")),
                          Work(QStringLiteral("in/f%1.gif").arg(k + 1))));
    }
    QVERIFY(QFile::copy(Sample("bars-unused-transparency.gif"), Work("f5-reduced.gif")));
    const QByteArray mine = ReadBytes(Work("f5-reduced.gif"));
    StartWindow(work_->path());
    for (int k = 1; k <= samples.size(); ++k)
      window_->Add(Work(QStringLiteral("in/f%1.gif").arg(k)));
    auto* list = window_->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
    const auto swap = [list](int a, int b) {
      const QString text = list->topLevelItem(a - 1)->text(0);
      list->topLevelItem(a - 1)->setText(0, list->topLevelItem(b - 1)->text(0));
      list->topLevelItem(b - 1)->setText(0, text);
    };
    int pumps = 0;
    onPump_ = [&] {
      ++pumps;
      // Pumps 2k - 1 and 2k come before and after file k's progress is shown.
      if (pumps == 1) window_->Add(Work("f5-reduced.gif"));
      if (pumps == 2) swap(1, 3);
      if (pumps == 4) swap(2, 5);
      if (pumps == 5) swap(3, 4);
    };
    Start();

    QCOMPARE(prompter_.Messages(),
             (QStringList{"Error saving gif file: " + work_->path() +
                              "/f5-reduced.gif (would replace an input of this run)",
                          "Done."}));
    QCOMPARE(ReadBytes(Work("f5-reduced.gif")), mine);
    const RunResults results = window_->LastResults();
    QCOMPARE(results.size(), samples.size());
    QStringList written;
    for (const FileResult& result : results) {
      const QString name = QFileInfo(result.input).completeBaseName();
      QCOMPARE(result.output, work_->path() + u'/' + name + QStringLiteral("-reduced.gif"));
      if (result.status != ReductionStatus::Reduced) continue;
      written.append(name);
      cGIF input, output;
      QVERIFY(input.LoadFromFile(result.input.toStdString()));
      QVERIFY(output.LoadFromFile(result.output.toStdString()));
      QVERIFY2(LookTheSame(input, output), qPrintable(result.output));
    }
    written.sort();
    QCOMPARE(written, (QStringList{"f1", "f2", "f3", "f4"}));
  }

  // Files added while a file is reduced, by a dropped folder swept inside the run, the file
  // dialog or a drop between two files, are not reduced by this run, and no output replaces one
  // of them, even when an item was removed meanwhile (the add-folder sweep leaves the pointer
  // reset, so the list takes a Delete before the next file's hourglass).
  void AddingDuringARunNeverLetsAnOutputReplaceAnAddedFile() {
    for (const char* folder : {"in", "out", "more", "empty"}) QVERIFY(QDir().mkpath(Work(folder)));
    const QStringList samples = {"ball-changed-area", "blink-repeated-frames",
                                 "tiles-unused-palette", "stripes-local-palettes"};
    for (int k = 0; k < samples.size(); ++k) {
      QVERIFY(QFile::copy(Sample(qPrintable(samples[k] + ".gif")),
                          Work(QStringLiteral("in/f%1.gif").arg(k + 1))));
    }
    QVERIFY(QFile::copy(Sample("sign-transparent-borders.gif"), Work("more/g.gif")));
    // The user's own files under the names the last two outputs would take.
    QVERIFY(QFile::copy(Sample("bars-unused-transparency.gif"), Work("out/f3-reduced.gif")));
    QVERIFY(QFile::copy(Sample("quarters-interlaced-comments.gif"), Work("out/f4-reduced.gif")));
    const QByteArray mine3 = ReadBytes(Work("out/f3-reduced.gif"));
    const QByteArray mine4 = ReadBytes(Work("out/f4-reduced.gif"));
    StartWindow(Work("out"));
    for (int k = 1; k <= samples.size(); ++k) {
      window_->Add(Work(QStringLiteral("in/f%1.gif").arg(k)));
    }
    auto* list = window_->findChild<FileListView*>(QStringLiteral("ListView1"));
    prompter_.fileAnswers = {{Work("out/f3-reduced.gif")}};
    prompter_.inputAnswers = {QStringLiteral("gif")};
    prompter_.folderAnswers = {Work("empty")};
    QStringList underWay;
    bool betweenFiles = false;
    onPump_ = [&] {
      if (betweenFiles) {
        betweenFiles = false;
        QCOMPARE(window_->Pointer(), MousePointer::Default);
        list->setCurrentItem(list->topLevelItem(4));  // more/g.gif
        QTest::keyClick(list, Qt::Key_Delete);
        window_->openPaths({Work("out/f4-reduced.gif")});
        return;
      }
      const QString text = window_->ProgressText();
      if (!text.startsWith(kProcessing) || underWay.contains(text)) return;
      underWay.append(text);
      if (underWay.size() == 1) {
        WhileTheFileIsReduced([&] {
          window_->openPaths({Work("more")});
          window_->findChild<QPushButton*>(QStringLiteral("PushButton1"))->click();
        });
      } else if (underWay.size() == 2) {
        WhileTheFileIsReduced([&] {
          window_->findChild<QPushButton*>(QStringLiteral("PushButton3"))->click();
          betweenFiles = true;
        });
      }
    };
    Start();

    QCOMPARE(window_->Count(), 6);
    QCOMPARE(window_->Text(6), Work("out/f4-reduced.gif"));
    const QString refused = QStringLiteral(" (would replace an input of this run)");
    QCOMPARE(prompter_.Messages(),
             (QStringList{kErrorSaving + Work("out/f3-reduced.gif") + refused,
                          kErrorSaving + Work("out/f4-reduced.gif") + refused, kDone}));
    QCOMPARE(ReadBytes(Work("out/f3-reduced.gif")), mine3);
    QCOMPARE(ReadBytes(Work("out/f4-reduced.gif")), mine4);
    QCOMPARE(window_->LastResults().size(), samples.size());
    QVERIFY(QFile::remove(Work("out/f3-reduced.gif")));
    QVERIFY(QFile::remove(Work("out/f4-reduced.gif")));
    ExpectWholeOutputsOf(Work("out"), {Work("in/f1.gif"), Work("in/f2.gif")});
  }

  // Closing the window ends the run wherever the close comes: before a file's progress shows,
  // after it, while the file is reduced, inside a folder sweep started meanwhile, or while a
  // file's message shows. Nothing is started after it and no message follows; the file in hand
  // is finished whole, so every output there is shows its own input, and nothing else is left.
  void ClosingDuringARunLeavesWholeOutputsOnly() {
    QVERIFY(QDir().mkpath(Work("in")));
    QVERIFY(QDir().mkpath(Work("more")));
    QVERIFY(QFile::copy(Sample("ball-changed-area.gif"), Work("in/f1.gif")));
    // Long enough that the close comes while the file is still being reduced.
    QVERIFY(WriteLongClip(Work("in/f2.gif"), 300));
    QVERIFY(WriteBytes(Work("in/f3.gif"), "not a picture"));
    QVERIFY(QFile::copy(Sample("tiles-unused-palette.gif"), Work("in/f4.gif")));
    QVERIFY(QFile::copy(Sample("blink-repeated-frames.gif"), Work("more/g.gif")));
    enum class CloseAt { BeforeProgress, AfterProgress, WhileReduced, InASweep, InAMessage };
    const struct {
      CloseAt at;
      QStringList reduced;
    } cases[] = {
        {CloseAt::BeforeProgress, {"f1"}},     {CloseAt::AfterProgress, {"f1"}},
        {CloseAt::WhileReduced, {"f1", "f2"}}, {CloseAt::InASweep, {"f1", "f2"}},
        {CloseAt::InAMessage, {"f1", "f2"}},
    };
    for (const auto& c : cases) {
      const QString out = Work(QStringLiteral("out-%1").arg(int(c.at)));
      QVERIFY(QDir().mkpath(out));
      prompter_ = ScriptedPrompter();
      StartWindow(out);
      for (const char* name : {"in/f1.gif", "in/f2.gif", "in/f3.gif", "in/f4.gif"}) {
        window_->Add(Work(name));
      }
      bool sweeping = false;
      int pumps = 0;
      onPump_ = [&] {
        // Pumps 2k - 1 and 2k come before and after file k's progress is shown.
        ++pumps;
        const bool secondShown = pumps == 4;
        if (sweeping) {
          window_->close();
        } else if (pumps == 3 && c.at == CloseAt::BeforeProgress) {
          window_->close();
        } else if (secondShown && c.at == CloseAt::AfterProgress) {
          window_->close();
        } else if (secondShown && c.at == CloseAt::WhileReduced) {
          WhileTheFileIsReduced([&] { window_->close(); });
        } else if (secondShown && c.at == CloseAt::InASweep) {
          WhileTheFileIsReduced([&] {
            sweeping = true;
            window_->openPaths({Work("more")});
          });
        }
      };
      if (c.at == CloseAt::InAMessage) {
        prompter_.onMessage = [&](const PromptCall&) { window_->close(); };
      }
      Start();

      const QString what = QStringLiteral("closed at %1").arg(int(c.at));
      QVERIFY2(!window_->Busy(), qPrintable(what));
      QCOMPARE(prompter_.Messages(), c.at == CloseAt::InAMessage
                                         ? QStringList{kErrorLoading + Work("in/f3.gif")}
                                         : QStringList());
      QStringList inputs;
      for (const QString& name : c.reduced) inputs.append(Work("in/" + name + ".gif"));
      ExpectWholeOutputsOf(out, inputs);
      if (QTest::currentTestFailed()) {
        qWarning("%s", qPrintable(what));
        return;
      }
    }
  }

  // "Stop" ends the run once the file in hand is done, as any run ends; the next run starts anew.
  void StopAfterTheFileInHand() {
    QVERIFY(QDir().mkpath(Work("out")));
    QVERIFY(WriteBytes(Work("notes.txt"), "not a picture"));
    StartWindow(Work("out"));
    auto* stop = window_->findChild<QPushButton*>(QStringLiteral("PushButton8"));
    for (const char* name :
         {"ball-changed-area.gif", "blink-repeated-frames.gif", "tiles-unused-palette.gif"}) {
      window_->Add(Sample(name));
    }
    int pumps = 0;
    bool enabledInRun = false;
    onPump_ = [&] {
      if (++pumps != 2) return;
      enabledInRun = stop->isEnabled();
      stop->click();
      QVERIFY(!stop->isEnabled());
    };
    QVERIFY(!stop->isEnabled());
    Start();
    QVERIFY(enabledInRun);
    QCOMPARE(prompter_.Messages(), QStringList{"Done."});
    QCOMPARE(QDir(Work("out")).entryList(QDir::Files),
             QStringList{"ball-changed-area-reduced.gif"});
    QCOMPARE(window_->LastResults().size(), 1);
    QCOMPARE(progress_.size(), 2);
    QCOMPARE(window_->ProgressValue(), 0.0);
    QCOMPARE(window_->ProgressText(), QStringLiteral("Progress Bar"));
    QCOMPARE(window_->Pointer(), MousePointer::Default);
    QVERIFY(!window_->Busy());
    QVERIFY(!stop->isEnabled());
    QVERIFY(window_->findChild<QLabel*>(QStringLiteral("RunSummary"))
                ->text()
                .startsWith(QStringLiteral("1 file, 1 reduced: ")));

    // Asked for while a file's message shows, the stop comes after that file.
    onPump_ = nullptr;
    window_->findChild<QPushButton*>(QStringLiteral("PushButton6"))->click();
    window_->Add(Work("notes.txt"));
    window_->Add(Sample("ball-changed-area.gif"));
    prompter_.calls.clear();
    prompter_.onMessage = [&](const PromptCall& call) {
      if (call.text.startsWith(kErrorLoading)) stop->click();
    };
    Start();
    QCOMPARE(prompter_.Messages(), (QStringList{kErrorLoading + Work("notes.txt"), "Done."}));
    QCOMPARE(window_->LastResults().size(), 1);

    // A stop never carries over into the next run.
    prompter_.onMessage = nullptr;
    prompter_.calls.clear();
    Start();
    QCOMPARE(window_->LastResults().size(), 2);
  }

  // "Open Output Folder" shows the folder the last run wrote into, once a run has ended.
  void OpenTheOutputFolderAfterARun() {
    QVERIFY(QDir().mkpath(Work("out")));
    QVERIFY(QDir().mkpath(Work("other")));
    StartWindow(Work("out/"));
    auto* open = window_->findChild<QPushButton*>(QStringLiteral("PushButton9"));
    QVERIFY(!open->isEnabled());
    window_->openOutputFolder();  // before any run there is nothing to show
    QVERIFY(prompter_.calls.isEmpty());

    window_->Add(Sample("ball-changed-area.gif"));
    bool enabledInRun = true;
    onPump_ = [&] { enabledInRun = enabledInRun && open->isEnabled(); };
    Start();
    QVERIFY(!enabledInRun);
    QVERIFY(open->isEnabled());
    QCOMPARE(open->toolTip(), Work("out/"));
    // A folder typed in since is for the next run.
    window_->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(Work("other"));
    prompter_.calls.clear();
    open->click();
    QCOMPARE(prompter_.calls.size(), 1);
    QCOMPARE(prompter_.calls[0].kind, QStringLiteral("open"));
    QCOMPARE(prompter_.calls[0].text, Work("out/"));

    QVERIFY(QDir(Work("out")).removeRecursively());
    prompter_.calls.clear();
    open->click();
    QCOMPARE(prompter_.Messages(), QStringList{"Folder does not exist: " + Work("out/")});
    QCOMPARE(prompter_.calls[0].caption, QStringLiteral("Lumatrim"));
  }

  void SummaryLines() {
    const auto file = [](ReductionStatus status, qint64 in, qint64 out) {
      FileResult result;
      result.status = status;
      result.bytesIn = in;
      result.bytesOut = out;
      return result;
    };
    const struct {
      RunResults results;
      QString summary;
    } cases[] = {
        {{file(ReductionStatus::Reduced, 2000, 1500)},
         "1 file, 1 reduced: 2.0 kB before, 1.5 kB after, 500 bytes saved (25.0%)."},
        {{file(ReductionStatus::Reduced, 900, 950), file(ReductionStatus::NotSaved, 10, -1)},
         "2 files, 0 reduced, 1 larger, 1 failed: 900 bytes before, 950 bytes after, 50 bytes "
         "larger."},
        {{file(ReductionStatus::Reduced, 1000, 400), file(ReductionStatus::Reduced, 500, 501),
          file(ReductionStatus::Reduced, 80, 80), file(ReductionStatus::Reduced, 80, -1)},
         "4 files, 1 reduced, 1 larger, 1 the same size, 1 written, size unknown: 1.6 kB "
         "before, 981 bytes after, 599 bytes saved (37.9%)."},
        {{file(ReductionStatus::NotLoaded, -1, -1)}, "1 file, 0 reduced, 1 failed."},
        {{file(ReductionStatus::Reduced, 3'500'000'000, 1'000'000)},
         "1 file, 1 reduced: 3.5 GB before, 1.0 MB after, 3.5 GB saved (100.0%)."},
    };
    for (const auto& c : cases) QCOMPARE(SummaryText(c.results), c.summary);

    FileResult noted = file(ReductionStatus::Reduced, 10, 5);
    noted.note = QStringLiteral("comments left out");
    QCOMPARE(OutcomeText(noted), QStringLiteral("Reduced (comments left out)"));
    FileResult denied = file(ReductionStatus::NotSaved, 10, -1);
    denied.reason = QStringLiteral("Permission denied");
    QCOMPARE(OutcomeText(denied), QStringLiteral("Not saved: Permission denied"));
    QCOMPARE(OutcomeText(file(ReductionStatus::NotLoaded, -1, -1)),
             QStringLiteral("Not loaded: reason unknown"));
    QCOMPARE(OutcomeText(file(ReductionStatus::Reduced, 10, 11)), QStringLiteral("Larger"));
    QCOMPARE(OutcomeText(file(ReductionStatus::Reduced, 10, 10)), QStringLiteral("Same size"));

    // A larger file never reads as saved; a change too small to show says so.
    const struct {
      qint64 before, after;
      const char* change;
    } changes[] = {{1000, 750, "-25.0%"},      {1000, 1001, "+0.1%"}, {100000, 100001, "+<0.1%"},
                   {100001, 100000, "-<0.1%"}, {200, 300, "+50.0%"},  {64, 64, "0%"}};
    for (const auto& c : changes) {
      QCOMPARE(SizeChange(c.before, c.after), QString::fromLatin1(c.change));
    }
  }

  // Every column of the Details list sorts by its meaning (sizes as numbers, names regardless of
  // case), a new run keeps the user's choice, and "#" gives the run's order back.
  void DetailsSortByEachColumn() {
    const auto file = [](const char* input, ReductionStatus status, qint64 in, qint64 out,
                         const char* reason = "") {
      FileResult result;
      result.input = QString::fromLatin1(input);
      result.output = result.input + QStringLiteral("-reduced.gif");
      result.status = status;
      result.bytesIn = in;
      result.bytesOut = out;
      result.reason = QString::fromLatin1(reason);
      return result;
    };
    const RunResults results = {
        file("/in/b.gif", ReductionStatus::Reduced, 100000, 100001),
        file("/in/C.gif", ReductionStatus::Reduced, 9, 5),
        file("/in/a.gif", ReductionStatus::NotLoaded, 1000, -1, "not a GIF file"),
        file("/in/d.gif", ReductionStatus::Reduced, 100, 150),
        file("/in/e.gif", ReductionStatus::NotSaved, 20, -1, "Permission denied"),
    };
    RunResultsView view;
    view.ShowResults(results);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    auto* table = view.findChild<QTableWidget*>(QStringLiteral("RunResultsTable"));
    const auto column = [&](int c) {
      QStringList texts;
      for (int row = 0; row < table->rowCount(); ++row) texts << table->item(row, c)->text();
      return texts;
    };
    const auto clickHeader = [&](int c) {
      QHeaderView* header = table->horizontalHeader();
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                        QPoint(header->sectionViewportPosition(c) + 4, header->height() / 2));
    };
    QCOMPARE(column(0), (QStringList{"1", "2", "3", "4", "5"}));
    QCOMPARE(column(4), (QStringList{"+<0.1%", "-44.4%", "", "+50.0%", ""}));
    QCOMPARE(column(5), (QStringList{"Larger", "Reduced", "Not loaded: not a GIF file", "Larger",
                                     "Not saved: Permission denied"}));

    clickHeader(2);  // bytes before, as numbers
    QCOMPARE(column(1), (QStringList{"C.gif", "e.gif", "d.gif", "a.gif", "b.gif"}));
    clickHeader(2);
    QCOMPARE(column(1), (QStringList{"b.gif", "a.gif", "d.gif", "e.gif", "C.gif"}));
    clickHeader(1);
    QCOMPARE(column(1), (QStringList{"a.gif", "b.gif", "C.gif", "d.gif", "e.gif"}));
    clickHeader(4);  // the most saved first, files not written last
    QCOMPARE(column(1), (QStringList{"C.gif", "b.gif", "d.gif", "a.gif", "e.gif"}));
    clickHeader(3);
    QCOMPARE(column(3), (QStringList{"", "", "5", "150", QLocale().toString(100001)}));

    view.ShowResults(RunResults{results[3], results[1]});
    QCOMPARE(column(1), (QStringList{"C.gif", "d.gif"}));
    clickHeader(0);
    QCOMPARE(column(1), (QStringList{"d.gif", "C.gif"}));
  }

  void EverySampleShowsItsPass() {
    QVERIFY(QDir().mkpath(Work("out")));
    StartWindow(Work("out"));
    const QStringList samples =
        QDir(BuiltAppFiles() + QStringLiteral("/Samples")).entryList(QDir::Files);
    QCOMPARE(samples.size(), 7);
    for (const QString& name : samples) window_->Add(BuiltAppFiles() + "/Samples/" + name);
    Start();
    QCOMPARE(prompter_.Messages(), QStringList{"Done."});

    const auto reduced = [&](const char* name) {
      auto gif = std::make_unique<cGIF>();
      const QString path = Work("out/" + QString::fromLatin1(name) + "-reduced.gif");
      if (!gif->LoadFromFile(path.toStdString())) qFatal("can't load %s", qPrintable(path));
      const QString input = BuiltAppFiles() + "/Samples/" + QString::fromLatin1(name) + ".gif";
      if (QFileInfo(path).size() >= QFileInfo(input).size()) qFatal("%s grew", name);
      return gif;
    };
    auto ball = reduced("ball-changed-area");
    QVERIFY(ball->FrameWidth(2) < ball->ScreenWidth());
    QVERIFY(reduced("blink-repeated-frames")->FramesCount() < 8);
    QVERIFY(reduced("sign-transparent-borders")->FrameWidth(1) < 100);
    QVERIFY(reduced("tiles-unused-palette")->GlobalPaletteEntries() <= 8);
    auto stripes = reduced("stripes-local-palettes");
    for (int16_t n = 1; n <= stripes->FramesCount(); ++n) QVERIFY(!stripes->LocalPaletteUsed(n));
    auto quarters = reduced("quarters-interlaced-comments");
    QVERIFY(!quarters->FrameInterlaced(1));
    QCOMPARE(quarters->FrameCommentsCount(1), int16_t(0));
    QCOMPARE(quarters->TrailingCommentsCount(), int16_t(0));
    auto bars = reduced("bars-unused-transparency");
    for (int16_t n = 1; n <= bars->FramesCount(); ++n) QVERIFY(!bars->FrameUseTransparentColor(n));

    const QString gifdiff = QStandardPaths::findExecutable(QStringLiteral("gifdiff"));
    if (gifdiff.isEmpty()) QSKIP("gifdiff is not installed; looks not compared");
    for (const QString& name : samples) {
      const QString output = Work("out/" + QFileInfo(name).completeBaseName() + "-reduced.gif");
      QCOMPARE(
          QProcess::execute(gifdiff, {"-w", "-B", BuiltAppFiles() + "/Samples/" + name, output}),
          0);
    }
  }

  void EmptyListAndMissingFolder() {
    StartWindow(Work("missing/"));
    Start();
    QCOMPARE(prompter_.Messages(), QStringList{"No files added."});
    window_->Add(Sample("ball-changed-area.gif"));
    Start();
    window_->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QString());
    Start();
    QCOMPARE(prompter_.Messages(),
             (QStringList{"No files added.", "Folder does not exist. Please select another folder.",
                          "Folder does not exist. Please select another folder."}));
    QVERIFY(progress_.isEmpty());
    QVERIFY(!window_->Busy());
  }

  void ClicksDuringARun() {
    QVERIFY(QDir().mkpath(Work("out")));
    StartWindow(Work("out"));
    window_->Add(Sample("ball-changed-area.gif"));
    window_->Add(Sample("blink-repeated-frames.gif"));
    int pumps = 0;
    onPump_ = [&] {
      if (++pumps != 2) return;
      // With the hourglass showing, Clear List and Delete do nothing and a second run refuses.
      QCOMPARE(window_->Pointer(), MousePointer::Hourglass);
      window_->findChild<QPushButton*>(QStringLiteral("PushButton6"))->click();
      QTest::keyClick(window_->findChild<FileListView*>(QStringLiteral("ListView1")),
                      Qt::Key_Delete);
      Start();
      // Items added now are not processed, but count for the progress.
      window_->Add(Sample("tiles-unused-palette.gif"));
    };
    Start();
    QCOMPARE(window_->Count(), 3);
    QCOMPARE(prompter_.Messages(), QStringList{"Done."});
    QCOMPARE(progress_[3].value, 200.0 / 3.0);
    QCOMPARE(QDir(Work("out")).entryList(QDir::Files).size(), 2);
  }

  void FailingStepsAreReportedAndTheRunGoesOn() {
    StartWindow(work_->path());
    window_->Add(Sample("ball-changed-area.gif"));
    // Before the first hourglass the list can still be emptied.
    onPump_ = [&] {
      if (progress_.size() == 1) window_->findChild<QPushButton*>("PushButton6")->click();
    };
    Start();
    const QString tail =
        QStringLiteral("\r\rPlease email screenshot of this message to ") + kSupportEmail;
    const QString in = QStringLiteral("\r\nin Pexolan2021/08/31.Form1.PushButton2_Click at line ");
    QCOMPARE(prompter_.Messages(),
             (QStringList{"Index out of bounds" + in + "114" + tail,
                          "Division by zero" + in + "116" + tail,
                          "Index out of bounds" + in + "142" + tail, "Done."}));
    QCOMPARE(prompter_.calls[0].caption, QStringLiteral("Application Error"));
    QCOMPARE(prompter_.calls[0].icon, MessageIcon::Warning);
    QVERIFY(!window_->Busy());
  }
};

QTEST_MAIN(RunTest)
#include "test_app_run.moc"
