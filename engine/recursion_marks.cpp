#include "engine/recursion_marks.h"

#include "engine/tree_functions.h"

namespace korvath::engine {

std::vector<std::uint8_t> CallsAnAncestor(const NodeTree& tree) {
  const int count = tree.Count();
  std::vector<std::uint8_t> marks(static_cast<std::size_t>(count) + 1, 0);
  TreeFunctions functions(tree);
  std::vector<int> onPath;                // per function, how often it stands on the path
  std::vector<std::pair<int, int>> path;  // (node, function) from the root down
  for (int node = 1; node <= count; ++node) {
    const auto function = static_cast<std::size_t>(functions.Of(node));
    if (function >= onPath.size()) onPath.resize(function + 1, 0);
    // Depth first: the parent is on the path; whatever follows it is done.
    while (!path.empty() && path.back().first != tree.Parent(node)) {
      --onPath[static_cast<std::size_t>(path.back().second)];
      path.pop_back();
    }
    marks[static_cast<std::size_t>(node)] = onPath[function] > 0 ? 1 : 0;
    ++onPath[function];
    path.emplace_back(node, static_cast<int>(function));
  }
  return marks;
}

}  // namespace korvath::engine
