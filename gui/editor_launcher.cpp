#include "gui/editor_launcher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QProcessEnvironment>
#include <QUrl>

namespace korvath::gui {

QStringList EditorCommand(const QString& editor, const QString& path, int line) {
  QStringList command = QProcess::splitCommand(editor);
  if (command.isEmpty()) return {};
  command << QStringLiteral("+%1").arg(line) << path;
  return command;
}

bool OpenInEditor(const QString& path, int line) {
  const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  QString editor = env.value(QStringLiteral("VISUAL"));
  if (editor.isEmpty()) editor = env.value(QStringLiteral("EDITOR"));
  QStringList command = EditorCommand(editor, path, line);
  if (!command.isEmpty()) {
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command);
  }
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace korvath::gui
