#include "cli/graph_output.h"

namespace korvath::cli {

session::GraphRenderer GraphRenderer(OutputFormat /*format*/) { return {}; }

}  // namespace korvath::cli
