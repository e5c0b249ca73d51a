#pragma once
#include <QPushButton>

namespace korvath::gui {

// A push button that is never the window's default: Enter belongs to the
// text boxes of these windows.
inline QPushButton* PlainButton(const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

}  // namespace korvath::gui
