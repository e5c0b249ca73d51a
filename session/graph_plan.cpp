#include "session/graph_plan.h"

#include "session/messages.h"

namespace korvath::session {
namespace {

constexpr int kLevels = 2;

}  // namespace

bool TooLargeToDraw(const engine::CallGraph& graph, const GraphLimits& limits) {
  return graph.functions.size() > limits.functions || graph.calls.size() > limits.calls;
}

Text GraphSize(const engine::CallGraph& graph) {
  return messages::Counted(graph.functions.size(), u"function", u"functions") + u", " +
         messages::Counted(graph.calls.size(), u"call", u"calls");
}

GraphPlan PlanGraph(const engine::CallGraph& whole, int centre, engine::TreeKind kind) {
  GraphPlan plan;
  if (TooLargeToDraw(whole)) {
    plan.partial = true;
    const Text& name = whole.functions[static_cast<std::size_t>(centre)].name;
    // A function with hundreds of callers or callees is too much even two
    // calls out: then one call out, else no picture at all.
    int levels = kLevels;
    plan.graph = engine::Neighbourhood(whole, centre, levels);
    while (TooLargeToDraw(plan.graph) && levels > 1) {
      plan.graph = engine::Neighbourhood(whole, centre, --levels);
    }
    if (TooLargeToDraw(plan.graph)) {
      plan.drawable = false;
      plan.caption = name + u" calls or is called by too many functions to draw: " +
                     GraphSize(plan.graph) + u" within one call. Select another function.";
      plan.graph = {};
      return plan;
    }
    plan.ofWhole.assign(whole.functions.size(), -1);
    for (std::size_t f = 0; f < plan.graph.functions.size(); ++f) {
      // Functions the index added to a cut tree's graph have no node.
      if (plan.graph.functions[f].treeNode <= 0) continue;
      const auto first = static_cast<std::size_t>(plan.graph.functions[f].treeNode);
      plan.ofWhole[static_cast<std::size_t>(whole.functionOfNode[first])] = static_cast<int>(f);
    }
    plan.caption = u"Only the functions within " + Text(levels == 1 ? u"one call" : u"two calls") +
                   u" of " + name + u" (" + GraphSize(plan.graph) + u"): the whole graph, " +
                   GraphSize(whole) + u", is too large to read.";
  } else {
    plan.graph = engine::CallGraph{whole.functions, whole.calls, {}};
    plan.caption = GraphSize(whole) + u'.';
  }
  plan.caption += kind == engine::TreeKind::Calls
                      ? u" The start is filled; dashed calls lie in a cycle."
                      : u" The function whose callers these are is filled; dashed calls lie in a "
                        u"cycle.";
  return plan;
}

}  // namespace korvath::session
