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

struct ContextFree {
  void operator()(GVC_t* context) const { gvFreeContext(context); }
};
struct GraphClose {
  void operator()(Agraph_t* graph) const { agclose(graph); }
};

platform::Result Failed(const char* what) {
  return platform::Result::Failure(platform::Status::Invalid, what);
}

}  // namespace

platform::Result RenderGraph(const std::string& dot, const char* format, std::string& out) {
  const std::lock_guard<std::mutex> hold(GraphvizLock());
  const std::unique_ptr<GVC_t, ContextFree> context(gvContext());
  if (!context) return Failed("Graphviz could not start");
  const std::unique_ptr<Agraph_t, GraphClose> graph(agmemread(dot.c_str()));
  if (!graph) return Failed("Graphviz could not read the graph");
  if (gvLayout(context.get(), graph.get(), "dot") != 0)
    return Failed("Graphviz could not lay the graph out");
  char* data = nullptr;
  unsigned int length = 0;
  const int rendered = gvRenderData(context.get(), graph.get(), format, &data, &length);
  if (rendered == 0 && data != nullptr) out.assign(data, length);
  gvFreeRenderData(data);
  gvFreeLayout(context.get(), graph.get());
  return rendered == 0 ? platform::Result{} : Failed("Graphviz could not render the graph");
}

}  // namespace korvath::graph
