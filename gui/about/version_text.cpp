#include "gui/about/version_text.h"

#include "korvath_version.h"

namespace korvath::gui {

QString VersionText() {
  return QStringLiteral("Version %1.%2.%3")
      .arg(KORVATH_VERSION_MAJOR)
      .arg(KORVATH_VERSION_MINOR)
      .arg(KORVATH_VERSION_REVISION);
}

}  // namespace korvath::gui
