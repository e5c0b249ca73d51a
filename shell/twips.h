#pragma once
// Window layouts are designed in twips (1/1440 inch): 15 twips are one pixel
// at 96 dpi; larger screens scale with their logical dpi.

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <cmath>

namespace korvath {

inline double PixelsPerTwip() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
  return (dpi > 0 ? dpi : 96.0) / 1440.0;
}

inline int Twips(int twips) { return static_cast<int>(std::lround(twips * PixelsPerTwip())); }

inline QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}

}  // namespace korvath
