#pragma once
// Writes a call tree as indented text, JSON or Graphviz DOT. Trees are
// written from the compact node list as they stand, without a second copy.

#include <cstdio>
#include <vector>

#include "engine/call_tree.h"

namespace korvath::engine {

// Each flushes `out` at the end and reports the first write that failed
// (a full disk, a closed pipe); nothing more is written after it.
Result WriteTextTree(std::FILE* out, const CallTree& tree,
                     const std::vector<FunctionRecord>& records);
// `tree` may have no root; "root" is then null.
Result WriteJson(std::FILE* out, const CallTree& tree, const std::vector<FunctionRecord>& records,
                 const std::vector<Text>& messages);
Result WriteDot(std::FILE* out, const CallTree& tree, const std::vector<FunctionRecord>& records);

}  // namespace korvath::engine
