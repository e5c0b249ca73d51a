#pragma once
// Window layouts are laid out in twips (1/1440 inch): 15 twips are one pixel
// at 96 dots per inch, and more on screens with a higher logical dpi.

#include <QRect>
#include <cmath>

namespace korvath::about {

inline int TwipsToPixels(int twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

inline QRect TwipsRect(int left, int top, int width, int height, double dpi) {
  return QRect(TwipsToPixels(left, dpi), TwipsToPixels(top, dpi),
               TwipsToPixels(width, dpi), TwipsToPixels(height, dpi));
}

}  // namespace korvath::about
