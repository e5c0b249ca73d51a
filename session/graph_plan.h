#pragma once
// Which call graph a window draws: the whole graph while a reader can take
// it in, else the neighbourhood of the selected function (two calls each
// way, else one), else none, with the line that says which.

#include <cstddef>
#include <vector>

#include "engine/call_graph.h"

namespace korvath::session {

// Past either count a whole picture would be unreadable and slow to lay out.
inline constexpr std::size_t kMostDrawnFunctions = 400;
inline constexpr std::size_t kMostDrawnCalls = 2000;

// The most a picture may hold; raising the functions to N raises the calls
// to 5N, as many as the default allows each function.
struct GraphLimits {
  std::size_t functions = kMostDrawnFunctions;
  std::size_t calls = kMostDrawnCalls;
  static GraphLimits ForFunctions(std::size_t functions) { return {functions, 5 * functions}; }
};

struct GraphPlan {
  engine::CallGraph graph;  // to draw; without the node map
  // For each function of the whole graph its function in `graph`, or -1;
  // empty when the whole graph is drawn.
  std::vector<int> ofWhole;
  bool partial = false;  // a neighbourhood, or none because it was too large
  bool drawable = true;  // false: even one call out is too much
  Text caption;          // what the picture shows, or why there is none
};

bool TooLargeToDraw(const engine::CallGraph& graph, const GraphLimits& limits = {});

// The plan for `whole` (a graph of a tree of `kind`) around its function
// `centre`, used only when the whole graph is too large.
GraphPlan PlanGraph(const engine::CallGraph& whole, int centre, engine::TreeKind kind);

// "N functions, M calls".
Text GraphSize(const engine::CallGraph& graph);

}  // namespace korvath::session
