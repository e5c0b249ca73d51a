#include "engine/recursion_marks.h"

#include <unordered_map>

namespace korvath::engine {

std::vector<std::uint8_t> CallsAnAncestor(const WritableTree& tree) {
  const int count = tree.Count();
  std::vector<std::uint8_t> marks(static_cast<std::size_t>(count) + 1, 0);
  // Nodes with one label share one function: each is named once.
  std::vector<int> functionOfLabel(tree.LabelKeys(), -1);
  std::unordered_map<Text, int> functions;
  std::vector<int> onPath;  // per function, how often it stands on the path
  std::vector<std::pair<int, int>> path;  // (node, function) from the root down
  for (int node = 1; node <= count; ++node) {
    int& function = functionOfLabel[tree.LabelKey(node)];
    if (function < 0) {
      Text key = tree.File(node);
      if (key.empty()) key = u'\n' + tree.Name(node);  // never a path
      function = functions.try_emplace(std::move(key), static_cast<int>(functions.size()))
                     .first->second;
      onPath.resize(functions.size(), 0);
    }
    // Depth first: the parent is on the path; whatever follows it is done.
    while (!path.empty() && path.back().first != tree.Parent(node)) {
      --onPath[static_cast<std::size_t>(path.back().second)];
      path.pop_back();
    }
    marks[static_cast<std::size_t>(node)] = onPath[static_cast<std::size_t>(function)] > 0 ? 1 : 0;
    ++onPath[static_cast<std::size_t>(function)];
    path.emplace_back(node, function);
  }
  return marks;
}

}  // namespace korvath::engine
