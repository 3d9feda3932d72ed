// Everything the application asks of the user goes through a Prompter: message boxes, the file
// dialog, the input box, the folder dialog and opening a folder in the file browser. The window
// uses QtPrompter; tests answer and record through their own.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace lumatrim {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Warning };
enum class MessageAnswer { Ok, Yes, No };

class Prompter {
 public:
  virtual ~Prompter() = default;

  // A modal message box. Line breaks in the text are CR, LF or CR LF.
  virtual MessageAnswer Message(QWidget* owner, const QString& text, const QString& caption,
                                MessageButtons buttons, MessageIcon icon) = 0;
  // The open-file dialog with several files allowed; the filter is "shown text|patterns|...",
  // patterns separated by ";". Answers the chosen files' full paths; none when cancelled.
  virtual QStringList OpenFiles(QWidget* owner, const QString& title, const QString& filter) = 0;
  // An input box; answers "" when cancelled.
  virtual QString InputBox(QWidget* owner, const QString& prompt, const QString& caption,
                           const QString& preset) = 0;
  // The folder dialog, starting at startFolder (the desktop when ""); "" when cancelled.
  virtual QString BrowseForFolder(QWidget* owner, const QString& prompt,
                                  const QString& startFolder) = 0;
  // Shows a folder in the desktop's file browser.
  virtual void OpenFolder(QWidget* owner, const QString& folder) = 0;
};

// A message box with an OK button, no icon and the application title as caption.
void MsgBox(Prompter& prompter, QWidget* owner, const QString& text);

// The message box shows line breaks written as CR, LF or CR LF.
QString DisplayLineBreaks(const QString& text);

// "GIF Files (*.gif;*.gif)|*.gif;*.gif|" as the file dialog's filter list.
QString QtFileFilter(const QString& filter);

class QtPrompter : public Prompter {
 public:
  MessageAnswer Message(QWidget* owner, const QString& text, const QString& caption,
                        MessageButtons buttons, MessageIcon icon) override;
  QStringList OpenFiles(QWidget* owner, const QString& title, const QString& filter) override;
  QString InputBox(QWidget* owner, const QString& prompt, const QString& caption,
                   const QString& preset) override;
  QString BrowseForFolder(QWidget* owner, const QString& prompt,
                          const QString& startFolder) override;
  void OpenFolder(QWidget* owner, const QString& folder) override;
};

}  // namespace lumatrim
