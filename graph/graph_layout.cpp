#include "graph/graph_layout.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <memory>
#include <mutex>

namespace korvath::graph {
namespace {

std::mutex& GraphvizLock() {
  static std::mutex lock;
  return lock;
}

// One context for the whole process, never freed: Graphviz's text layout
// keeps the name of the last font it measured, which a freed context's font
// table owned, and reads it again in the next context's layout.
GVC_t* Context() {
  static GVC_t* const context = gvContext();
  return context;
}

struct GraphClose {
  void operator()(Agraph_t* graph) const { agclose(graph); }
};

platform::Result Failed(const char* what) {
  return platform::Result::Failure(platform::Status::Invalid, what);
}

}  // namespace

platform::Result RenderGraph(const std::string& dot, const char* format, std::string& out) {
  const std::lock_guard<std::mutex> hold(GraphvizLock());
  GVC_t* const context = Context();
  if (context == nullptr) return Failed("Graphviz could not start");
  const std::unique_ptr<Agraph_t, GraphClose> graph(agmemread(dot.c_str()));
  if (!graph) return Failed("Graphviz could not read the graph");
  if (gvLayout(context, graph.get(), "dot") != 0)
    return Failed("Graphviz could not lay the graph out");
  char* data = nullptr;
  unsigned int length = 0;
  const int rendered = gvRenderData(context, graph.get(), format, &data, &length);
  if (rendered == 0 && data != nullptr) out.assign(data, length);
  gvFreeRenderData(data);
  gvFreeLayout(context, graph.get());
  return rendered == 0 ? platform::Result{} : Failed("Graphviz could not render the graph");
}

}  // namespace korvath::graph
