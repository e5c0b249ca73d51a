#include "engine/tree_places.h"

#include <cstdint>
#include <vector>

#include "engine/tree_functions.h"

namespace korvath::engine {

std::optional<CallSite> CallSiteOf(const NodeTree& tree, TreeKind kind, int node) {
  if (node <= 0 || node > tree.Count()) return std::nullopt;
  CallSite site;
  site.file = tree.File(node == 1 || kind == TreeKind::Callers ? node : tree.Parent(node));
  if (site.file.empty()) return std::nullopt;
  if (node != 1) {
    std::vector<std::int32_t> lines;
    tree.AppendLines(node, lines);
    if (!lines.empty() && lines.front() > 0) site.line = lines.front();
  }
  return site;
}

int ExpandedNodeOf(const NodeTree& tree, int node) {
  if (node <= 0 || node > tree.Count() || !tree.Repeated(node)) return 0;
  // The same function is the same file: a name spelled otherwise may find
  // it on a host that ignores case.
  TreeFunctions functions(tree);
  const int wanted = functions.Of(node);
  for (int n = 1; n <= tree.Count(); ++n) {
    if (!tree.Repeated(n) && functions.Of(n) == wanted) return n;
  }
  return 0;
}

}  // namespace korvath::engine
