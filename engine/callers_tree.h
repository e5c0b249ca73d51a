#pragma once
// The callers tree of one program: who calls it, who calls those, and so on.
// A function's callers are shown at its first place in depth-first order,
// the root counting as one; a later place is a leaf marked " - callers shown
// above".

#include <cstdint>
#include <vector>

#include "engine/call_tree.h"
#include "engine/discard_table.h"
#include "engine/program_index.h"
#include "engine/run_interfaces.h"
#include "engine/tree_writers.h"

namespace korvath::engine {

class CallersTree final : public NodeTree {
 public:
  // Builds the tree of program `root` of `index`, which must outlive it. A
  // function whose name is a discard entry not shown is left out, and with
  // it the callers only it leads to. Depth and node budgets are those of the
  // call tree, reported to `messages` as there.
  void Build(const ProgramIndex& index, int root, const DiscardTable& discards,
             MessageSink& messages, const TreeLimits& limits = {});

  int Count() const override { return static_cast<int>(nodes_.size()) - 1; }
  int Parent(int node) const override { return At(node).parent; }
  int Program(int node) const { return At(node).program; }
  bool Repeated(int node) const override { return At(node).repeated; }
  std::size_t LabelKeys() const override { return nodes_.size(); }
  std::size_t LabelKey(int node) const override { return static_cast<std::size_t>(node); }
  // The root: the function's name; below it "name (lines)", marked when
  // repeated.
  void AppendLabel(int node, Text& out) const override;
  Text Name(int node) const override;
  Text File(int node) const override;
  void AppendLines(int node, std::vector<std::int32_t>& out) const override;
  // How many direct callers of `node` the node budget left out, and that
  // budget (0 when it cut nothing), as the call tree says of its calls.
  int Cut(int node) const override;
  int NodeLimit() const override { return nodeLimit_; }

 private:
  struct Node {
    int parent = 0;
    int program = 0;
    const ProgramIndex::Lines* lines = nullptr;  // the caller's, in the index
    bool repeated = false;
  };
  const Node& At(int node) const { return nodes_[static_cast<std::size_t>(node)]; }

  const ProgramIndex* index_ = nullptr;
  std::vector<Node> nodes_{Node{}};  // node 0 unused
  struct CutNode {
    int node;
    int callers;
  };
  std::vector<CutNode> cut_;  // in node order
  int nodeLimit_ = 0;
};

}  // namespace korvath::engine
