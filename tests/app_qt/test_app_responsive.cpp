// The window answers during a run: a timer on the UI thread keeps ticking while a long clip is
// reduced, and closing the window mid-run ends the run without damage.
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/form1.h"
#include "app/tools/long_clip.h"
#include "app_test_support.h"

using namespace lumatrim;
using namespace lumatrim::testing;

class ResponsiveTest : public QObject {
  Q_OBJECT

  QTemporaryDir settingsFolder_;
  QTemporaryDir work_;
  ScriptedPrompter prompter_;
  QString clip_;
  QString copy_;
  // Called after each turn of the event loop that the run asks for (two a file: before its
  // progress shows and after); events handled next are handled while the file is reduced.
  std::function<void(int)> afterPump_;
  int pumps_ = 0;

  // Runs action while the first file of the run is being reduced, whatever the machine's speed.
  void WhileTheFirstFileIsReduced(QObject* context, const std::function<void()>& action) {
    pumps_ = 0;
    afterPump_ = [context, action](int pump) {
      if (pump == 2) QTimer::singleShot(0, context, action);
    };
  }

  std::unique_ptr<Form1> Window(const QString& output) {
    AppEnvironment environment;
    environment.appFolder = work_.path();
    environment.prompter = &prompter_;
    environment.desktopFolder = [this] { return work_.path() + u'/'; };
    environment.pump = [this] {
      QCoreApplication::processEvents();
      if (afterPump_) afterPump_(++pumps_);
    };
    auto window = std::make_unique<Form1>(environment);
    window->startUp();
    QDir().mkpath(output);
    window->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(output);
    return window;
  }

 private slots:
  void initTestCase() {
    IsolateSettings(settingsFolder_.path());
    clip_ = work_.path() + QStringLiteral("/clip-600.gif");
    QVERIFY(WriteLongClip(clip_, 600));
    // A second name: one run never writes two files to one output name.
    copy_ = work_.path() + QStringLiteral("/clip-600-copy.gif");
    QVERIFY(QFile::copy(clip_, copy_));
  }
  void init() {
    ClearSettings();
    prompter_ = ScriptedPrompter();
    afterPump_ = nullptr;
    pumps_ = 0;
  }

  // The longest time the event loop went without running a 5 ms timer while two copies of a
  // 600-frame clip were reduced. The freeze it guards against lasted the whole of each file.
  void TimerTicksThroughoutARun() {
    auto window = Window(work_.path() + QStringLiteral("/out"));
    window->Add(clip_);
    window->Add(copy_);
    window->show();

    QElapsedTimer clock;
    qint64 last = -1;
    qint64 longest = 0;
    int ticks = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      if (last >= 0) longest = qMax(longest, now - last);
      last = now;
      ++ticks;
    });
    // The run ends with its message; the gap up to it counts as well.
    prompter_.onMessage = [&](const PromptCall&) {
      if (last >= 0) longest = qMax(longest, clock.elapsed() - last);
      timer.stop();
    };
    clock.start();
    timer.start();
    window->findChild<QPushButton*>(QStringLiteral("PushButton2"))->click();
    const qint64 run = clock.elapsed();

    qInfo("event-loop latency during a run: longest gap %lld ms, %d ticks in %lld ms", longest,
          ticks, run);
    QCOMPARE(prompter_.Messages(), QStringList{"Done."});
    QVERIFY(QFileInfo::exists(work_.path() + QStringLiteral("/out/clip-600-reduced.gif")));
    // Generous bounds, so that loaded machines and sanitizers don't make this flaky: a run on the
    // UI thread ticks a few times per file, however long the file takes.
    QVERIFY2(ticks > run / 50 && longest < 1000, qPrintable(QString::number(longest)));
  }

  // While a file is reduced the list can't lose items, even when the pointer was reset meanwhile
  // (as the add-folder sweep does); adding stays possible.
  void NoRemovalsWhileAFileIsReduced() {
    auto window = Window(work_.path() + QStringLiteral("/kept"));
    window->Add(clip_);
    window->show();
    int countInRun = -1;
    WhileTheFirstFileIsReduced(window.get(), [&] {
      window->SetPointer(MousePointer::Default);
      window->findChild<QPushButton*>(QStringLiteral("PushButton6"))->click();
      window->Add(QStringLiteral("/added/during/the/run.gif"));
      countInRun = window->Count();
    });
    window->findChild<QPushButton*>(QStringLiteral("PushButton2"))->click();
    QCOMPARE(countInRun, 2);
    QCOMPARE(window->Count(), 2);
    QCOMPARE(prompter_.Messages(), QStringList{"Done."});
  }

  // "Stop" during a long file lets it finish whole; the next file is not started.
  void StopDuringALongFile() {
    const QString out = work_.path() + QStringLiteral("/stopped");
    auto window = Window(out);
    window->Add(clip_);
    window->Add(copy_);
    window->show();
    auto* stop = window->findChild<QPushButton*>(QStringLiteral("PushButton8"));
    bool enabled = false;
    WhileTheFirstFileIsReduced(window.get(), [&] {
      enabled = stop->isEnabled();
      stop->click();
    });
    window->findChild<QPushButton*>(QStringLiteral("PushButton2"))->click();

    QVERIFY(enabled);
    QCOMPARE(prompter_.Messages(), QStringList{"Done."});
    QCOMPARE(window->LastResults().size(), 1);
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"clip-600-reduced.gif"});
    cGIF reread;
    QVERIFY(reread.LoadFromFile((out + QStringLiteral("/clip-600-reduced.gif")).toStdString()));
    QCOMPARE(window->ProgressText(), QStringLiteral("Progress Bar"));
    QVERIFY(!window->Busy());
  }

  // Closing the window ends the run: the file in hand is finished whole, nothing else is done and
  // no message follows.
  void ClosingDuringARun() {
    const QString out = work_.path() + QStringLiteral("/closed");
    auto window = Window(out);
    window->Add(clip_);
    window->Add(work_.path() + QStringLiteral("/second.gif"));
    window->show();
    WhileTheFirstFileIsReduced(window.get(), [&] { window->close(); });
    window->findChild<QPushButton*>(QStringLiteral("PushButton2"))->click();

    QVERIFY(!window->Busy());
    QVERIFY(prompter_.Messages().isEmpty());
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{"clip-600-reduced.gif"});
    cGIF reread;
    QVERIFY(reread.LoadFromFile((out + QStringLiteral("/clip-600-reduced.gif")).toStdString()));
  }
};

QTEST_MAIN(ResponsiveTest)
#include "test_app_responsive.moc"
