#include "gui/about/program_icon.h"

#include <QString>

// Resources compiled into a static library are registered only when some
// code names them; otherwise the linker drops them.
static void InitAboutResources() { Q_INIT_RESOURCE(korvath_about); }

namespace korvath::gui {
namespace {

const QString kIcon16 = QStringLiteral(":/korvath/icon16.xpm");
const QString kIcon32 = QStringLiteral(":/korvath/icon32.xpm");

void EnsureResources() {
  static const bool done = (InitAboutResources(), true);
  (void)done;
}

}  // namespace

QIcon ProgramIcon() {
  EnsureResources();
  QIcon icon;
  icon.addFile(kIcon16, QSize(16, 16));
  icon.addFile(kIcon32, QSize(32, 32));
  return icon;
}

QPixmap ProgramIconPixmap(int size) {
  EnsureResources();
  if (size == 16) return QPixmap(kIcon16);
  QPixmap drawing(kIcon32);
  if (size == 32) return drawing;
  return drawing.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace korvath::gui
