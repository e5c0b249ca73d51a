#pragma once
// Lays a finished function table out as the call tree: depth first, each
// node's children in record order, linked records as leaves.

#include <cstdint>
#include <vector>

#include "engine/function_table.h"
#include "engine/run_interfaces.h"

namespace korvath::engine {

struct TreeLimits {
  int maxDepth = 256;      // levels below the root (the root is level 0)
  int maxNodes = 1000000;  // the root included
};

// Clears `tree`, adds the root for record 1 and all the nodes below it.
// When record 1 has no name (start file not found or discarded) the tree
// stays empty and the result is NoStartFile. Depth and node budget problems
// are reported to `messages`.
platform::Result BuildCallTree(const std::vector<FunctionRecord>& records, TreeSink& tree,
                               MessageSink& messages, const TreeLimits& limits = {});

// Ok when record 1 names the start; NoStartFile otherwise (start file not
// found or discarded). The check BuildCallTree makes before it builds.
platform::Result CheckStartRecord(const std::vector<FunctionRecord>& records);

// Adds under node `parentIndex` (at level 0 of the depth budget) one child
// per record called from `callerName`, and below each the calls of its own
// function, depth first. Walks with an explicit stack.
void AddCallNodes(const std::vector<FunctionRecord>& records, TextView callerName, int parentIndex,
                  TreeSink& tree, MessageSink& messages, const TreeLimits& limits);

// A compact tree: per node only its parent and its record, so a tree of a
// million nodes costs a few megabytes. Texts come from the records.
class CallTree final : public TreeSink {
 public:
  CallTree() = default;
  CallTree(CallTree&&) = default;
  CallTree& operator=(CallTree&&) = default;

  void Clear() override;
  int AddRoot(TextView key, TextView text) override;
  platform::Result AddChild(int parent, const NodeLabel& label, int& node) override;
  int Count() const override { return static_cast<int>(parent_.size()) - 1; }
  // Room for the whole budget at once: pages are only touched as nodes
  // come, and the arrays are never copied while they grow.
  void Reserve(int nodes) override;
  void CutShort(int node, int calls, int limit) override;

  // Node indexes are 1..Count(); the root is node 1. Parent of the root is 0.
  int Parent(int node) const { return parent_[static_cast<std::size_t>(node)]; }
  int Record(int node) const { return record_[static_cast<std::size_t>(node)]; }
  const Text& RootText() const { return rootText_; }
  // The text the node shows, given the records the tree was built from.
  Text NodeText(int node, const std::vector<FunctionRecord>& records) const;
  // Depth below the root (root 0).
  std::vector<int> Depths() const;
  // How many direct calls of `node` the node budget left out (0 for most).
  int Cut(int node) const;
  struct CutNode {
    int node;
    int calls;
  };
  // The nodes cut short, in node order; few, as only the walk's open path
  // is left when the budget runs out.
  const std::vector<CutNode>& CutNodes() const { return cut_; }
  // The budget that cut them; 0 when none was.
  int NodeLimit() const { return nodeLimit_; }

 private:
  std::vector<std::int32_t> parent_{0};
  std::vector<std::int32_t> record_{0};
  Text rootText_;
  std::vector<CutNode> cut_;
  int nodeLimit_ = 0;
};

}  // namespace korvath::engine
