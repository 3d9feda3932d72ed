// Numbered steps and the application error message. A handler runs its steps through a
// StepRunner; when a step throws, the runner shows the message (warning icon, caption
// "Application Error", the failure, the procedure's label and the step number) and the handler
// goes on with the next step, so one failing step never stops a batch.
#pragma once

#include <QString>
#include <exception>
#include <utility>

#include "app/prompter.h"

class QWidget;

namespace lumatrim {

inline const QString kSupportEmail = QStringLiteral("support@lumatrim.org");
inline const QString kApplicationErrorCaption = QStringLiteral("Application Error");

// Procedure labels as the message names them.
inline const QString kLabelFormLoad = QStringLiteral("Pexolan2021/08/31.Form1.Form_Load");
inline const QString kLabelAddFiles = QStringLiteral("Pexolan2021/08/31.Form1.PushButton1_Click");
inline const QString kLabelRun = QStringLiteral("Pexolan2021/08/31.Form1.PushButton2_Click");
inline const QString kLabelAddFolder = QStringLiteral("Pexolan2021/08/31.Form1.PushButton3_Click");
inline const QString kLabelOutputFolder =
    QStringLiteral("Pexolan2021/08/31.Form1.PushButton4_Click");
inline const QString kLabelSamples = QStringLiteral("Pexolan2021/08/31.Form1.PushButton7_Click");
inline const QString kLabelOpenOutputFolder =
    QStringLiteral("Pexolan2021/08/31.Form1.PushButton9_Click");
inline const QString kLabelFolderScan =
    QStringLiteral("Quorvel2021/08/31.AddFolder.GetSubDirectories2016");

// The message text: description, CR LF, "in " label " at line " step, CR CR, the support line.
QString ApplicationErrorText(const QString& description, const QString& label, int line);

// Thrown by the event pump once the main window has been closed: it ends every handler at once
// and is never reported as an application error.
struct ApplicationEnding {};

class StepRunner {
 public:
  // Without a prompter, failures pass silently.
  StepRunner(Prompter* prompter, QWidget* owner, QString label)
      : prompter_(prompter), owner_(owner), label_(std::move(label)) {}

  // Runs one step; a failure is reported and swallowed.
  template <typename Step>
  void operator()(int line, Step&& step) {
    line_ = line;
    try {
      std::forward<Step>(step)();
    } catch (const std::exception& failure) {
      Report(QString::fromUtf8(failure.what()));
    }
  }

  // Records that a step was reached without running anything under it.
  void Reached(int line) { line_ = line; }
  int Line() const { return line_; }

  void Report(const QString& description);

 private:
  Prompter* prompter_;
  QWidget* owner_;
  QString label_;
  int line_ = 0;
};

}  // namespace lumatrim
