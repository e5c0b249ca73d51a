#pragma once

#include <QString>

namespace korvath::about {

// "Version " and the running program's major.minor.revision.
QString VersionText();

}  // namespace korvath::about
