#include "cli/graph_output.h"

namespace korvath::cli {

session::GraphRenderer GraphRenderer() { return {}; }

}  // namespace korvath::cli
