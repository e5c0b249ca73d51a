#include "cli/graph_output.h"

namespace korvath::cli {

session::GraphRenderer GraphRenderer(OutputFormat /*drawn*/) { return {}; }

}  // namespace korvath::cli
