#include "gui/progress_window.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QLabel>

#include "engine/messages.h"
#include "gui/widgets/qt_text.h"
#include "gui/widgets/twips.h"

namespace korvath::gui {

ProgressWindow::ProgressWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint) {
  setFixedSize(Twips(3105), Twips(645));
  setObjectName(QStringLiteral("frmProgress"));
  lblProgress = new QLabel(this);
  lblProgress->setObjectName(QStringLiteral("lblProgress"));
  lblProgress->setGeometry(TwipsRect(120, 120, 2895, 375));
  lblProgress->setAlignment(Qt::AlignCenter);
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(kCaptionPoints);
  lblProgress->setFont(font);
}

// The window keeps its size: where the font that stands in for the caption's
// is wider, a long count is drawn smaller rather than cut off.
void ProgressWindow::fitCaption() {
  QFont font = lblProgress->font();
  const int room = lblProgress->width() - 4;
  // In quarter points, from the caption's own size down to 6.
  for (int quarters = static_cast<int>(kCaptionPoints * 4); quarters >= 24; --quarters) {
    font.setPointSizeF(quarters / 4.0);
    if (QFontMetricsF(font).horizontalAdvance(lblProgress->text()) <= room) break;
  }
  if (font != lblProgress->font()) lblProgress->setFont(font);
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
  if (caption == engine::messages::kBuildingTree) mustPaint_ = true;
}

void ProgressWindow::Refresh() {
  const auto time = now();
  if (!mustPaint_ && time - lastPaint_ < std::chrono::milliseconds(33)) return;
  mustPaint_ = false;
  lastPaint_ = time;
  ++repaints_;
  fitCaption();
  repaint();
  // The run holds the user-interface thread: let the window system's paint
  // and expose events through, so that this window (and the main window
  // behind it) really reach the screen. Input waits until the run is over.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ProgressWindow::Close() { hide(); }

}  // namespace korvath::gui
