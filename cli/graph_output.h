#pragma once
// The call graph of a tree on standard output: as DOT, or laid out as SVG.
// A build without Graphviz has neither and says what to install.

#include <cstdio>

#include "engine/call_graph.h"
#include "platform/result.h"

namespace korvath::cli {

// A UsageError, described, when this build cannot draw graphs.
platform::Result GraphFormatsAvailable();
platform::Result WriteGraph(std::FILE* file, const engine::NodeTree& tree,
                            engine::TreeKind kind, bool svg);

}  // namespace korvath::cli
