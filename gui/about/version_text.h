#pragma once

#include <QString>

namespace korvath::gui {

// "Version " and the running program's major.minor.revision.
QString VersionText();

}  // namespace korvath::gui
