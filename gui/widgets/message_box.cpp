#include "gui/widgets/message_box.h"

#include <QDir>
#include <QFileDialog>

#include "engine/messages.h"
#include "gui/widgets/qt_text.h"

namespace korvath::gui {

void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                    const QString& informative) {
  QMessageBox box(icon, ToQString(engine::messages::kApplicationTitle), text, QMessageBox::Ok,
                  parent);
  box.setInformativeText(informative);
  box.exec();
}

QString PathdefHelp(const QString& pathdefFile) {
  const QString looked =
      pathdefFile.isEmpty()
          ? QStringLiteral("No pathdef file is set.")
          : QStringLiteral("The file looked for: %1").arg(QDir::toNativeSeparators(pathdefFile));
  return looked + QStringLiteral("\nSet its location in Options > Options...");
}

std::optional<QString> ChooseFileToOpen(QWidget* parent, const QString& title,
                                        const QString& filter) {
  const QString path = QFileDialog::getOpenFileName(parent, title, QString(), filter);
  if (path.isEmpty()) return std::nullopt;
  return path;
}

}  // namespace korvath::gui
