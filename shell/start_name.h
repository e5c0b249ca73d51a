#pragma once
#include "engine/text.h"

namespace korvath {

// The start file's name from what the user typed: ".m" appended unless the
// text already ends in ".m" (case-sensitive), then everything up to the last
// "\" (and, on POSIX hosts, "/") removed.
Text StartNameFromInput(TextView input, bool slashIsSeparator);

}  // namespace korvath
