#include "gui/widgets/export_file.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

#include "gui/widgets/qt_text.h"
#include "session/messages.h"

namespace korvath::gui {
namespace {

QString FilterOf(session::OutputFormat format) {
  const std::string_view filter = session::InfoOf(format).filter;
  return QString::fromLatin1(filter.data(), static_cast<qsizetype>(filter.size()));
}

// The dialog with one filter per format offered, the first selected;
// `addSuffix`: a name without a suffix of the formats offered gets the
// chosen filter's.
std::optional<QString> ChooseFile(QWidget* parent, const QString& title, const QString& suggested,
                                  std::span<const session::OutputFormat> offered,
                                  session::OutputFormat& format, bool addSuffix) {
  QStringList filters;
  for (const session::OutputFormat f : offered) filters << FilterOf(f);
  QString selected = filters.front();
  const QString path =
      QFileDialog::getSaveFileName(parent, title, suggested, filters.join(";;"), &selected);
  if (path.isEmpty()) return std::nullopt;
  const auto chosen = static_cast<std::size_t>(std::max<qsizetype>(0, filters.indexOf(selected)));
  if (addSuffix) return SavedFile(path, offered[chosen], offered, format);
  format = session::FormatOfSaved(QFileInfo(path).suffix().toStdString(), offered[chosen], offered);
  return path;
}

}  // namespace

std::optional<QString> ChooseTreeExportFile(QWidget* parent, const QString& title,
                                            session::OutputFormat& format) {
  return ChooseFile(parent, title, QString(), session::TreeExportFormats(), format, false);
}

std::optional<QString> ChooseListExportFile(QWidget* parent, const QString& title) {
  const QString path = QFileDialog::getSaveFileName(parent, title, QString(),
                                                    FilterOf(session::OutputFormat::Files));
  return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

std::optional<QString> ChoosePictureExportFile(QWidget* parent, const QString& title,
                                               const QString& suggested,
                                               session::OutputFormat& format) {
  return ChooseFile(parent, title, suggested, session::PictureExportFormats(), format, true);
}

QString SavedFile(const QString& path, session::OutputFormat selected,
                  std::span<const session::OutputFormat> offered, session::OutputFormat& format) {
  const QString suffix = QFileInfo(path).suffix();
  auto suffixesOf = [](session::OutputFormat f) {
    const std::string_view words = session::InfoOf(f).suffixes;
    return QString::fromLatin1(words.data(), static_cast<qsizetype>(words.size()))
        .split(QLatin1Char(' '), Qt::SkipEmptyParts);
  };
  for (const session::OutputFormat f : offered) {
    if (!suffix.isEmpty() && suffixesOf(f).contains(suffix, Qt::CaseInsensitive)) {
      format = f;
      return path;
    }
  }
  format = selected;
  const QStringList own = suffixesOf(selected);
  return own.isEmpty() ? path : path + QLatin1Char('.') + own.front();
}

QString CannotWriteMessage(const QString& path, const platform::Result& why) {
  return ToQString(session::messages::CannotWrite(ToText(QDir::toNativeSeparators(path)), why));
}

}  // namespace korvath::gui
