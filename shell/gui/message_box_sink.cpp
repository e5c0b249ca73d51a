#include "shell/gui/message_box_sink.h"

#include "engine/messages.h"
#include "shell/qt_text.h"

namespace korvath {

void MessageBoxSink::ShowMessage(MessageIcon icon, const Text& text) {
  all_.push_back(text);
  if (!shown_.insert(text).second) return;
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  if (icon == MessageIcon::Critical) boxIcon = QMessageBox::Critical;
  if (icon == MessageIcon::Information) boxIcon = QMessageBox::Information;
  presenter_(boxIcon, ToQString(text));
}

void MessageBoxSink::FileUnreadable(const Text& path, const std::string& reason) {
  unreadable_.push_back(ToQString(path) + QStringLiteral(": ") + QString::fromStdString(reason));
}

void PresentMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, ToQString(messages::kApplicationTitle), text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace korvath
