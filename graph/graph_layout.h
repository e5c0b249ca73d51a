#pragma once
// Lays a DOT graph out with Graphviz's dot, in process, and renders it.

#include <string>

#include "platform/result.h"

namespace korvath::graph {

// `format` as Graphviz names it ("svg"). Invalid when Graphviz rejects the
// graph. Graphviz keeps global state: calls from several threads take turns.
platform::Result RenderGraph(const std::string& dot, const char* format, std::string& out);

}  // namespace korvath::graph
