#include "cli/graph_output.h"

#include "engine/buffered_output.h"
#include "graph/graph_layout.h"

namespace korvath::cli {

platform::Result GraphFormatsAvailable() { return {}; }

platform::Result WriteGraph(std::FILE* file, const engine::NodeTree& tree,
                            engine::TreeKind kind, bool svg) {
  const std::string dot = engine::GraphDot(engine::GraphOfTree(tree, kind));
  std::string svgText;
  if (svg) {
    if (platform::Result laid = graph::RenderGraph(dot, "svg", svgText); !laid) return laid;
  }
  engine::BufferedOutput out(file);
  out << (svg ? svgText : dot);
  return out.Finish();
}

}  // namespace korvath::cli
