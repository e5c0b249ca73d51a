#pragma once
// Window layouts are designed in twips (1/1440 inch): 15 twips are one pixel
// at 96 dpi; larger screens scale with their logical dpi.

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QString>
#include <cmath>

namespace korvath::gui {

inline int TwipsToPixels(int twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

inline QRect TwipsRect(int left, int top, int width, int height, double dpi) {
  return QRect(TwipsToPixels(left, dpi), TwipsToPixels(top, dpi), TwipsToPixels(width, dpi),
               TwipsToPixels(height, dpi));
}

// The primary screen's logical dpi (96 when there is none).
inline double ScreenDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
  return dpi > 0 ? dpi : 96.0;
}

inline int Twips(int twips) { return TwipsToPixels(twips, ScreenDpi()); }

inline QRect TwipsRect(int left, int top, int width, int height) {
  return TwipsRect(left, top, width, height, ScreenDpi());
}

// Names a control as the windows' layouts do (its object name is what tests
// and accessibility find it by) and puts it at its place, in twips.
template <class Widget>
Widget* Placed(Widget* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(TwipsRect(left, top, width, height));
  return widget;
}

}  // namespace korvath::gui
