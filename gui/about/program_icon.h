#pragma once
// The program's one picture, a fir tree hung with lights: the main window's
// icon, the image of every tree node, the splash logo and the About icon.

#include <QIcon>
#include <QPixmap>

namespace korvath::gui {

// Both drawn sizes, 16 x 16 and 32 x 32.
QIcon ProgramIcon();

// The icon at `size` x `size` pixels: a drawn size when there is one, else
// the 32 x 32 drawing scaled without smoothing, so its pixels stay crisp.
QPixmap ProgramIconPixmap(int size);

}  // namespace korvath::gui
