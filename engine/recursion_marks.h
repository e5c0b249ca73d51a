#pragma once
// Recursion in a tree: the nodes whose function already stands on their own
// path to the root, so that the call goes back to an ancestor.

#include <cstdint>
#include <vector>

#include "engine/tree_writers.h"

namespace korvath::engine {

// One entry per node (entry 0 unused): 1 where the node's function (its
// file, or its name when it has none) is also one of its ancestors'.
std::vector<std::uint8_t> CallsAnAncestor(const NodeTree& tree);

}  // namespace korvath::engine
