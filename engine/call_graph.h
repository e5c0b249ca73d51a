#pragma once
// The call graph behind a tree: each function once however often it shows,
// each caller -> callee pair once, with how many lines the calls are on.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/program_index.h"
#include "engine/tree_writers.h"

namespace korvath::engine {

struct CallGraph {
  struct Function {
    Text name;
    Text file;          // absolute; empty when unknown
    int treeNode = 0;   // the first node of the tree that stands for it
    bool root = false;  // the tree's root
    // The node budget left calls of it out of the tree; those shown come
    // from the program index (see AddCutCalls).
    bool cut = false;
  };
  struct Call {
    int from = 0;
    int to = 0;
    int lines = 0;       // distinct lines of the calls
    bool cycle = false;  // `to` also reaches `from`
    // The call by which the tree first reached its callee (its caller, in
    // a callers tree): these calls alone form a tree over the functions.
    bool spanning = false;
  };
  std::vector<Function> functions;  // in the order of their first nodes
  std::vector<Call> calls;          // in the order of their first tree edges
  // The function each tree node stands for, by node (GraphOfTree only).
  std::vector<int> functionOfNode;
};

CallGraph GraphOfTree(const NodeTree& tree, TreeKind kind);

// For a graph of tree `tree` (of `kind`) cut by the node budget: every
// function whose calls (callers) the tree lacks (a node of it cut short, or
// no node showing them) is marked cut and given them from `index`, which is
// complete; callees (callers) not yet in the graph are added, without a
// tree node.
void AddCutCalls(CallGraph& graph, const NodeTree& tree, const ProgramIndex& index,
                 TreeKind kind = TreeKind::Calls);

// The functions within `levels` calls of `center`, following calls forwards
// only or backwards only, with the calls among them; the spanning calls are
// those by which the walk first reached each function.
CallGraph Neighbourhood(const CallGraph& graph, int center, int levels);

// The graph in Graphviz DOT: node i has the SVG id "f<i>"; the root is
// filled, calls in a cycle dashed, and each call's line count is an external
// label, which lays out far faster than an ordinary one.
// Above kQuickLayoutCalls calls dot makes fewer passes, above
// kStraightEdgeCalls it draws straight edges.
inline constexpr std::size_t kQuickLayoutCalls = 800;
inline constexpr std::size_t kStraightEdgeCalls = 2000;
std::string GraphDot(const CallGraph& graph);

}  // namespace korvath::engine
