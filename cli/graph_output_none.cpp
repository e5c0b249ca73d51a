#include "cli/graph_output.h"

namespace korvath::cli {

platform::Result GraphFormatsAvailable() {
  return platform::Result::Failure(
      platform::Status::UsageError,
      "--format graph and --format svg need Graphviz: install libgraphviz-dev "
      "(Debian) and build korvath-tree again");
}

platform::Result WriteGraph(std::FILE* /*out*/, const engine::NodeTree& /*tree*/,
                            engine::TreeKind /*kind*/, bool /*svg*/) {
  return GraphFormatsAvailable();
}

}  // namespace korvath::cli
