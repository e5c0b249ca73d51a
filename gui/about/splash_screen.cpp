#include "gui/about/splash_screen.h"

#include <QFocusEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStringList>
#include <cstdlib>

#include "gui/about/program_icon.h"
#include "gui/about/version_text.h"
#include "gui/widgets/qt_text.h"
#include "gui/widgets/twips.h"
#include "platform/host.h"
#include "platform/system_clock.h"

namespace korvath::gui {
namespace {

// Width of the raised border drawn in place of the window manager's frame.
constexpr int kBorder = 3;

QFont ArialFont(double points, bool bold) {
  QFont font;
  // Metric-compatible stand-ins first, so that the texts keep their width.
  font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("Arimo"), QStringLiteral("Helvetica"),
                    QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

enum class Sizing { Fixed, ToText };

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                 const QRect& box, Qt::Alignment alignment, Sizing sizing) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(font);
  label->setAlignment(alignment | Qt::AlignVCenter);
  QRect geometry = box;
  if (sizing == Sizing::ToText) {
    // A box sized to its text grows away from the side it is aligned to.
    const QSize text_size = label->sizeHint();
    geometry.setSize(text_size);
    if (alignment & Qt::AlignRight) geometry.moveRight(box.right());
  }
  label->setGeometry(geometry);
  return label;
}

}  // namespace

SplashScreen::SplashScreen(QWidget* parent)
    : SplashScreen(std::make_unique<platform::SystemClock>(), parent) {}

SplashScreen::SplashScreen(std::unique_ptr<platform::Clock> clock, QWidget* parent)
    : SplashScreen(*clock, parent) {
  ownClock_ = std::move(clock);
}

SplashScreen::SplashScreen(platform::Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint), clock_(&clock) {
  setObjectName(QStringLiteral("frmSplash"));
  setWindowIcon(ProgramIcon());
  // Without focusable controls the window itself takes the focus, which is
  // what starts the timed close.
  setFocusPolicy(Qt::StrongFocus);
  buildLayout();
}

SplashScreen::~SplashScreen() = default;

void SplashScreen::buildLayout() {
  const double dpi = logicalDpiY();
  const QRect client = TwipsRect(0, 0, 7380, 4245, dpi);
  setFixedSize(client.width() + 2 * kBorder, client.height() + 2 * kBorder);

  frame_ = new QFrame(this);
  frame_->setObjectName(QStringLiteral("Frame1"));
  frame_->setFrameStyle(QFrame::Box | QFrame::Sunken);
  frame_->setGeometry(TwipsRect(150, 60, 7080, 4050, dpi).translated(kBorder, kBorder));
  frame_->installEventFilter(this);

  auto* logo = new QLabel(frame_);
  logo->setObjectName(QStringLiteral("imgLogo"));
  const QRect logo_box = TwipsRect(360, 795, 1815, 2385, dpi);
  logo->setGeometry(logo_box);
  // Stretched to fill its box; scaling without smoothing keeps the
  // drawing's pixels sharp.
  logo->setPixmap(
      ProgramIconPixmap(32).scaled(logo_box.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));

  const auto left = Qt::AlignLeft;
  const auto right = Qt::AlignRight;
  AddLabel(frame_, "lblProductName", QStringLiteral("Korvath"), ArialFont(32.25, true),
           TwipsRect(2400, 960, 3780, 765, dpi), left, Sizing::ToText);
  AddLabel(frame_, "lblCompanyProduct", QStringLiteral("For Matlab"), ArialFont(18, true),
           TwipsRect(3360, 1680, 1845, 435, dpi), left, Sizing::ToText);
  AddLabel(frame_, "lblPlatform", ToQString(platform::HostSystemName()), ArialFont(15.75, true),
           TwipsRect(4980, 2340, 1875, 360, dpi), right, Sizing::ToText);
  AddLabel(frame_, "lblVersion", VersionText(), ArialFont(12, true),
           TwipsRect(5970, 2700, 885, 285, dpi), right, Sizing::ToText);
  AddLabel(frame_, "lblCredit", QStringLiteral("Made by the Korvath team"), ArialFont(8.25, false),
           TwipsRect(4560, 3060, 2415, 255, dpi), left, Sizing::Fixed);
  AddLabel(frame_, "lblNotice", QStringLiteral("Provided as is, without warranty of any kind."),
           ArialFont(8.25, false), TwipsRect(120, 240, 6855, 255, dpi), right, Sizing::Fixed);
}

void SplashScreen::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!positioned_) {
    positioned_ = true;
    if (const QScreen* screen = this->screen()) {
      QRect area = geometry();
      area.moveCenter(screen->availableGeometry().center());
      move(area.topLeft());
    }
  }
  // Shown windows take the focus at once, as dialogs do; the wait starts
  // when it arrives.
  activateWindow();
}

void SplashScreen::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  closeAfterWait();
}

void SplashScreen::closeAfterWait() {
  if (waited_) return;
  waited_ = true;
  repaint();
  // The wait ends when the second of the minute has moved on by three, or
  // when it wraps at the turn of the minute, so it lasts two to three
  // seconds, or less when started in second 58 or 59.
  const int start = clock_->SecondOfMinute();
  while (std::abs(clock_->SecondOfMinute() - start) < 3) {
    clock_->Sleep(kPollMilliseconds);
  }
  close();
}

void SplashScreen::keyPressEvent(QKeyEvent* event) {
  // Only keys that type a character count; Shift, arrows and the like do not.
  if (!event->text().isEmpty()) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool SplashScreen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == frame_) {
    if (event->type() == QEvent::MouseButtonPress) return true;
    if (event->type() == QEvent::MouseButtonRelease) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton &&
          frame_->rect().contains(mouse->position().toPoint())) {
        close();
      }
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void SplashScreen::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QPainter painter(this);
  // The raised edge of a fixed dialog frame, with a dark outline so that the
  // window stands apart from whatever lies behind it.
  const QPalette& colors = palette();
  const QRect outer = rect().adjusted(0, 0, -1, -1);
  painter.setPen(colors.color(QPalette::Shadow));
  painter.drawRect(outer);
  const QRect inner = outer.adjusted(1, 1, -1, -1);
  painter.setPen(colors.color(QPalette::Light));
  painter.drawLine(inner.topLeft(), inner.topRight());
  painter.drawLine(inner.topLeft(), inner.bottomLeft());
  painter.setPen(colors.color(QPalette::Dark));
  painter.drawLine(inner.bottomLeft(), inner.bottomRight());
  painter.drawLine(inner.topRight(), inner.bottomRight());
}

}  // namespace korvath::gui
