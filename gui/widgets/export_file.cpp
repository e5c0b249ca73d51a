#include "gui/widgets/export_file.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <cstdio>

#include "engine/list_writers.h"

namespace korvath::gui {
namespace {

// Opens `path` for writing, hands it to `write` and closes it; a failed
// write or close (a full disk) is a failure.
template <typename Write>
bool WriteFile(const QString& path, Write write) {
  std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
  if (file == nullptr) return false;
  const platform::Result written = write(file);
  return std::fclose(file) == 0 && written.ok();
}

}  // namespace

std::optional<QString> ChooseTreeExportFile(QWidget* parent, const QString& title,
                                            QString& format) {
  const QString text = QStringLiteral("Text (*.txt)");
  const QString json = QStringLiteral("JSON (*.json)");
  const QString dot = QStringLiteral("Graphviz DOT (*.dot *.gv)");
  QString selected = text;
  const QString path = QFileDialog::getSaveFileName(parent, title, QString(),
                                                    text + ";;" + json + ";;" + dot, &selected);
  if (path.isEmpty()) return std::nullopt;
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("json") || (suffix != QLatin1String("txt") && selected == json)) {
    format = QStringLiteral("json");
  } else if (suffix == QLatin1String("dot") || suffix == QLatin1String("gv") ||
             (suffix != QLatin1String("txt") && selected == dot)) {
    format = QStringLiteral("dot");
  } else {
    format = QStringLiteral("text");
  }
  return path;
}

std::optional<QString> ChooseListExportFile(QWidget* parent, const QString& title) {
  const QString path =
      QFileDialog::getSaveFileName(parent, title, QString(), QStringLiteral("Text (*.txt)"));
  return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

std::optional<QString> ChoosePictureExportFile(QWidget* parent, const QString& title,
                                               QString& format) {
  const QString svg = QStringLiteral("SVG picture (*.svg)");
  const QString png = QStringLiteral("PNG image (*.png)");
  QString selected = svg;
  const QString path =
      QFileDialog::getSaveFileName(parent, title, QString(), svg + ";;" + png, &selected);
  if (path.isEmpty()) return std::nullopt;
  const QString suffix = QFileInfo(path).suffix().toLower();
  const bool isPng =
      suffix == QLatin1String("png") || (suffix != QLatin1String("svg") && selected == png);
  format = isPng ? QStringLiteral("png") : QStringLiteral("svg");
  return path;
}

bool WriteTreeFile(const QString& path, const QString& format, const engine::NodeTree& tree,
                   const std::vector<Text>& messages) {
  return WriteFile(path, [&](std::FILE* file) {
    if (format == QLatin1String("json")) return engine::WriteJson(file, tree, messages);
    if (format == QLatin1String("dot")) return engine::WriteDot(file, tree);
    return engine::WriteTextTree(file, tree);
  });
}

bool WritePathsFile(const QString& path, const std::vector<Text>& paths) {
  return WriteFile(path, [&](std::FILE* file) { return engine::WritePaths(file, paths); });
}

QString CannotWriteMessage(const QString& path) {
  return QStringLiteral("Cannot write %1").arg(QDir::toNativeSeparators(path));
}

}  // namespace korvath::gui
