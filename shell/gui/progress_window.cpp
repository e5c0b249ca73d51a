#include "shell/gui/progress_window.h"

#include <QLabel>

#include "engine/messages.h"
#include "shell/qt_text.h"
#include "shell/twips.h"

namespace korvath {

ProgressWindow::ProgressWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint) {
  setFixedSize(Twips(3105), Twips(645));
  lblProgress = new QLabel(this);
  lblProgress->setGeometry(TwipsRect(120, 120, 2895, 375));
  lblProgress->setAlignment(Qt::AlignCenter);
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(9.75);
  lblProgress->setFont(font);
}

void ProgressWindow::Show() {
  show();
  mustPaint_ = true;
}

void ProgressWindow::SetCaption(const Text& caption) {
  const QString text = ToQString(caption);
  lblProgress->setText(text);
  if (captionObserver) captionObserver(text);
  // The closing caption must be seen even right after a pass was drawn.
  if (caption == messages::kBuildingTree) mustPaint_ = true;
}

void ProgressWindow::Refresh() {
  const auto time = now();
  if (!mustPaint_ && time - lastPaint_ < std::chrono::milliseconds(33)) return;
  mustPaint_ = false;
  lastPaint_ = time;
  ++repaints_;
  repaint();
}

void ProgressWindow::Close() { hide(); }

}  // namespace korvath
