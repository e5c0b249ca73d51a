#include "gui/editor_launcher.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QUrl>

namespace korvath::gui {
namespace {

// Qt names the failed call first ("execv: No such file or directory"); the
// reader wants the reason alone.
QString SystemReason(const QString& error) {
  static const QLatin1String kCallPrefix("exec");
  const qsizetype colon = error.indexOf(QLatin1String(": "));
  if (error.startsWith(kCallPrefix) && colon > 0) return error.mid(colon + 2);
  return error.isEmpty() ? QStringLiteral("unknown error") : error;
}

platform::Result CannotStart(const QString& text) {
  return platform::Result::Failure(platform::Status::NotFound, text.toStdString());
}

}  // namespace

QStringList EditorCommand(const QString& editor, const QString& path, int line) {
  QStringList command = QProcess::splitCommand(editor);
  if (command.isEmpty()) return {};
  command << QStringLiteral("+%1").arg(line) << path;
  return command;
}

platform::Result OpenInEditor(const QString& path, int line) {
  const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  QString variable = QStringLiteral("VISUAL");
  QString editor = env.value(variable);
  if (editor.isEmpty()) {
    variable = QStringLiteral("EDITOR");
    editor = env.value(variable);
  }
  QStringList command = EditorCommand(editor, path, line);
  if (!command.isEmpty()) {
    QProcess process;
    process.setProgram(command.takeFirst());
    process.setArguments(command);
    if (process.startDetached()) return {};
    return CannotStart(QStringLiteral("Cannot start the editor %1 (from %2): %3")
                           .arg(process.program(), variable, SystemReason(process.errorString())));
  }
  if (QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return {};
  return CannotStart(
      QStringLiteral("No program could open %1. Set VISUAL or EDITOR to the editor to use.")
          .arg(QDir::toNativeSeparators(path)));
}

}  // namespace korvath::gui
