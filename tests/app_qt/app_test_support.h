// Shared pieces of the window tests: a prompter that answers from scripts and records every
// question, an isolated settings store, and small file helpers.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QList>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "app/prompter.h"

namespace lumatrim::testing {

struct PromptCall {
  QString kind{};  // "message", "files", "input", "folder", "open"
  QString text{};
  QString caption{};
  QString extra{};  // the filter, the preset text or the start folder
  MessageButtons buttons = MessageButtons::Ok;
  MessageIcon icon = MessageIcon::None;
};

class ScriptedPrompter : public Prompter {
 public:
  QList<PromptCall> calls;
  QList<MessageAnswer> answers;  // for Yes/No questions; No when none is left
  QList<QStringList> fileAnswers;
  QStringList inputAnswers;
  QStringList folderAnswers;
  // Called for every message box, after it was recorded.
  std::function<void(const PromptCall&)> onMessage;

  MessageAnswer Message(QWidget*, const QString& text, const QString& caption,
                        MessageButtons buttons, MessageIcon icon) override {
    calls.append({QStringLiteral("message"), text, caption, QString(), buttons, icon});
    if (onMessage) onMessage(calls.last());
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return answers.isEmpty() ? MessageAnswer::No : answers.takeFirst();
  }
  QStringList OpenFiles(QWidget*, const QString& title, const QString& filter) override {
    calls.append({QStringLiteral("files"), title, QString(), filter});
    return fileAnswers.isEmpty() ? QStringList() : fileAnswers.takeFirst();
  }
  QString InputBox(QWidget*, const QString& prompt, const QString& caption,
                   const QString& preset) override {
    calls.append({QStringLiteral("input"), prompt, caption, preset});
    return inputAnswers.isEmpty() ? QString() : inputAnswers.takeFirst();
  }
  QString BrowseForFolder(QWidget*, const QString& prompt, const QString& startFolder) override {
    calls.append({QStringLiteral("folder"), prompt, QString(), startFolder});
    return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
  }
  void OpenFolder(QWidget*, const QString& folder) override {
    calls.append({QStringLiteral("open"), folder});
  }

  // The texts of the message boxes, in order.
  QStringList Messages() const {
    QStringList texts;
    for (const PromptCall& call : calls) {
      if (call.kind == u"message") texts.append(call.text);
    }
    return texts;
  }
};

// Points the per-user settings at a folder of its own; call once before any setting is read.
inline void IsolateSettings(const QString& folder) {
  QStandardPaths::setTestModeEnabled(true);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
}

// Removes every stored setting.
inline void ClearSettings() {
  QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Velderkin"),
                  QStringLiteral("Lumatrim"));
  store.clear();
  store.sync();
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(path.left(path.lastIndexOf(u'/')));
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A file's bytes; empty when it can't be read.
inline QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool RunningAsRoot() {
  return geteuid() == 0;
}

// The folder with the generated cursor, icon and Samples.
inline QString BuiltAppFiles() {
  return QStringLiteral(LUMATRIM_APP_FILES);
}

// An application folder holding copies of the chosen generated files.
inline void CopyAppFiles(const QString& to, const QStringList& names) {
  for (const QString& name : names) {
    const QString source = BuiltAppFiles() + u'/' + name;
    if (QFileInfo(source).isDir()) {
      QDir().mkpath(to + u'/' + name);
      for (const QString& file : QDir(source).entryList(QDir::Files)) {
        QFile::copy(source + u'/' + file, to + u'/' + name + u'/' + file);
      }
    } else {
      QFile::copy(source, to + u'/' + name);
    }
  }
}

}  // namespace lumatrim::testing
