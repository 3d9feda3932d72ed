#include "app/prompter.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>

#include "app/path_utils.h"

namespace lumatrim {

void MsgBox(Prompter& prompter, QWidget* owner, const QString& text) {
  prompter.Message(owner, text, ApplicationTitle(), MessageButtons::Ok, MessageIcon::None);
}

QString DisplayLineBreaks(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.replace(u'\r', u'\n');
  return out;
}

QString QtFileFilter(const QString& filter) {
  // Entries are pairs of shown text and patterns; the shown text's own pattern list in
  // parentheses is what the dialog matches, with spaces between patterns.
  const QStringList parts = filter.split(u'|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString shown = parts[i];
    const qsizetype open = shown.lastIndexOf(u'(');
    if (open >= 0) shown.truncate(open);
    QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
    patterns.removeDuplicates();
    entries.append(shown.trimmed() + QStringLiteral(" (") + patterns.join(u' ') + u')');
  }
  return entries.join(QStringLiteral(";;"));
}

MessageAnswer QtPrompter::Message(QWidget* owner, const QString& text, const QString& caption,
                                  MessageButtons buttons, MessageIcon icon) {
  QMessageBox box(
      icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, caption,
      DisplayLineBreaks(text),
      buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
      owner);
  const int answer = box.exec();
  if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

QStringList QtPrompter::OpenFiles(QWidget* owner, const QString& title, const QString& filter) {
  return QFileDialog::getOpenFileNames(owner, title, QString(), QtFileFilter(filter));
}

QString QtPrompter::InputBox(QWidget* owner, const QString& prompt, const QString& caption,
                             const QString& preset) {
  bool ok = false;
  const QString answer = QInputDialog::getText(owner, caption, DisplayLineBreaks(prompt),
                                               QLineEdit::Normal, preset, &ok);
  return ok ? answer : QString();
}

QString QtPrompter::BrowseForFolder(QWidget* owner, const QString& prompt,
                                    const QString& startFolder) {
  const QString start = startFolder.isEmpty()
                            ? QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)
                            : startFolder;
  return QFileDialog::getExistingDirectory(owner, prompt, start);
}

void QtPrompter::OpenFolder(QWidget*, const QString& folder) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace lumatrim
