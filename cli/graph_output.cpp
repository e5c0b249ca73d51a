#include "cli/graph_output.h"

#include "graph/graph_layout.h"

namespace korvath::cli {

session::GraphRenderer GraphRenderer() { return graph::RenderGraph; }

}  // namespace korvath::cli
