#pragma once
// Which function each node of a tree stands for: its file, or its name when
// it has none. Nodes with one label share one function, so each label is
// named once.

#include <unordered_map>
#include <vector>

#include "engine/tree_writers.h"

namespace korvath::engine {

class TreeFunctions {
 public:
  explicit TreeFunctions(const NodeTree& tree) : tree_(tree), ofLabel_(tree.LabelKeys(), -1) {}
  // Functions are numbered 0, 1, ... in the order their first node comes.
  int Of(int node);
  int Count() const { return static_cast<int>(functions_.size()); }

 private:
  const NodeTree& tree_;
  std::vector<int> ofLabel_;
  std::unordered_map<Text, int> functions_;
};

}  // namespace korvath::engine
