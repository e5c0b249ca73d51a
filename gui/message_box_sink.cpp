#include "gui/message_box_sink.h"

#include "gui/widgets/qt_text.h"

namespace korvath::gui {

void MessageBoxSink::ShowMessage(engine::MessageIcon icon, const Text& text) {
  if (!tally_.Add(text)) return;
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  if (icon == engine::MessageIcon::Critical) boxIcon = QMessageBox::Critical;
  if (icon == engine::MessageIcon::Information) boxIcon = QMessageBox::Information;
  presenter_(boxIcon, ToQString(text));
}

void MessageBoxSink::FileUnreadable(const Text& path, const platform::Result& why) {
  unreadable_.push_back(ToQString(path) + QStringLiteral(": ") +
                        QString::fromStdString(why.description));
}

}  // namespace korvath::gui
