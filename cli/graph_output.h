#pragma once
// The graph formats' renderer: Graphviz where this build has it, else none,
// and then the graph formats say what to install.

#include "session/output_format.h"

namespace korvath::cli {

session::GraphRenderer GraphRenderer();

}  // namespace korvath::cli
