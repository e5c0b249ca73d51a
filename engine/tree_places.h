#pragma once
// Where the nodes of a call tree or a callers tree lead: the place a call
// stands and the node that shows a repeated function's calls. The same
// questions of either tree, so the windows ask them without knowing which.

#include <optional>

#include "engine/tree_writers.h"

namespace korvath::engine {

struct CallSite {
  Text file;  // absolute
  int line = 1;
};

// Where node `node`'s call stands: in a call tree the caller's file (its
// parent's) at the first line of the call, in a callers tree the node's own
// file there; the root is its own file at line 1. Nullopt when the file is
// not known or there is no such node.
std::optional<CallSite> CallSiteOf(const NodeTree& tree, TreeKind kind, int node);

// For a repeated node, the first node, depth first, of the same function
// that is not repeated: where its calls (callers) are shown. 0 for any
// other node, and when no such node is left (the budget cut it).
int ExpandedNodeOf(const NodeTree& tree, int node);

}  // namespace korvath::engine
