#pragma once
// The start file's name from what the user typed.

#include "engine/text.h"

namespace korvath::session {

// ".m" appended unless the text already ends in ".m" (case-sensitive), then
// everything up to the last "\" (and, where "/" separates directories, the
// last "/") removed.
Text StartNameFromInput(TextView input, bool slashIsSeparator);

}  // namespace korvath::session
