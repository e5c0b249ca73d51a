#pragma once
#include <QKeyEvent>
#include <QPushButton>

namespace korvath::gui {

// A push button that is never the window's default: Enter in the text boxes
// of these windows belongs to them. Enter on the button itself presses it,
// as Space does.
class PlainButton final : public QPushButton {
 public:
  PlainButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setAutoDefault(false);
    setDefault(false);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      click();
      return;
    }
    QPushButton::keyPressEvent(event);
  }
};

}  // namespace korvath::gui
