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

}  // namespace korvath::gui
