#pragma once
// The graph formats' renderer: the drawing plug-in where this build has it
// and it is found (loaded at the first picture drawn), else none, and then
// the graph formats say what to install.

#include "cli/command_line.h"
#include "session/output_format.h"

namespace korvath::cli {

// Empty for formats that need none: their runs do not look for the plug-in.
session::GraphRenderer GraphRenderer(OutputFormat drawn);

}  // namespace korvath::cli
