#include "gui/widgets/message_box.h"

#include <QFileDialog>

#include "engine/messages.h"
#include "gui/widgets/qt_text.h"

namespace korvath::gui {

void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, ToQString(engine::messages::kApplicationTitle), text, QMessageBox::Ok,
                  parent);
  box.exec();
}

std::optional<QString> ChooseFileToOpen(QWidget* parent, const QString& title,
                                        const QString& filter) {
  const QString path = QFileDialog::getOpenFileName(parent, title, QString(), filter);
  if (path.isEmpty()) return std::nullopt;
  return path;
}

}  // namespace korvath::gui
