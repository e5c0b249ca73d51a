#include "engine/call_tree.h"

#include <algorithm>
#include <exception>
#include <unordered_map>

#include "engine/messages.h"
#include "platform/utf8.h"

namespace korvath {
namespace {

struct Frame {
  int group;  // the records whose Caller is this level's name; -1 for none
  std::size_t next;
  int parentNode;
  int parentLevel;
};

}  // namespace

TreeBuildResult BuildCallTree(const std::vector<FunctionRecord>& records, TreeModel& tree,
                              MessageSink& messages, const TreeLimits& limits) {
  TreeBuildResult result;
  tree.Clear();
  if (records.size() < 2 || records[1].Name.empty()) return result;
  const Text& rootName = records[1].Name;
  // Beyond a few million nodes the hint would only reserve address space.
  tree.Reserve(std::min(limits.maxNodes, 1 << 22));
  tree.AddRoot(rootName, rootName);
  result.hasRoot = true;
  AddCallNodes(records, rootName, tree.Count(), tree, messages, limits, result);
  return result;
}

void AddCallNodes(const std::vector<FunctionRecord>& records, TextView callerName,
                  int parentIndex, TreeModel& tree, MessageSink& messages,
                  const TreeLimits& limits, TreeBuildResult& result) {
  // Each level of the walk visits the records called from one function, in
  // record order. The records are grouped by Caller once (group members in
  // record order, one array for all groups), and every record knows the
  // group of its own Name, so the walk of a million nodes hashes no text.
  std::unordered_map<TextView, int> groupOf;
  std::vector<int> groupOfRecord(records.size(), 0);
  for (std::size_t i = 1; i < records.size(); ++i) {
    const auto [it, added] =
        groupOf.try_emplace(records[i].Caller, static_cast<int>(groupOf.size()));
    groupOfRecord[i] = it->second;
  }
  std::vector<std::size_t> groupStart(groupOf.size() + 1, 0);
  for (std::size_t i = 1; i < records.size(); ++i) {
    ++groupStart[static_cast<std::size_t>(groupOfRecord[i]) + 1];
  }
  for (std::size_t g = 1; g < groupStart.size(); ++g) groupStart[g] += groupStart[g - 1];
  std::vector<int> members(records.size() - 1);
  {
    std::vector<std::size_t> fill(groupStart.begin(), groupStart.end() - 1);
    for (std::size_t i = 1; i < records.size(); ++i) {
      members[fill[static_cast<std::size_t>(groupOfRecord[i])]++] = static_cast<int>(i);
    }
  }
  auto groupNamed = [&](TextView name) {
    const auto it = groupOf.find(name);
    return it == groupOf.end() ? -1 : it->second;
  };
  // Per record, what a node of it needs, side by side: its label and the
  // group its own calls form (kLeaf for a linked record, -1 for none).
  constexpr int kLeaf = -2;
  std::vector<int> callsOf(records.size(), -1);
  std::vector<NodeLabel> labels(records.size());
  for (std::size_t i = 1; i < records.size(); ++i) {
    const FunctionRecord& rec = records[i];
    callsOf[i] = rec.AlsoCalledBy.empty() ? groupNamed(rec.Name) : kLeaf;
    labels[i] = NodeLabel{static_cast<int>(i), rec.Name, rec.Lines, rec.AlsoCalledBy};
  }

  std::vector<Frame> stack;
  stack.push_back(Frame{groupNamed(callerName), 0, parentIndex, 0});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const std::size_t size =
        frame.group < 0 ? 0
                        : groupStart[static_cast<std::size_t>(frame.group) + 1] -
                              groupStart[static_cast<std::size_t>(frame.group)];
    if (frame.next >= size) {
      stack.pop_back();
      continue;
    }
    const auto r = static_cast<std::size_t>(
        members[groupStart[static_cast<std::size_t>(frame.group)] + frame.next++]);
    if (tree.Count() >= limits.maxNodes) {
      messages.ShowMessage(MessageIcon::Critical, messages::kTreeTooLarge);
      result.budgetExceeded = true;
      break;
    }
    int node = 0;
    try {
      node = tree.AddChild(frame.parentNode, labels[r]);
    } catch (const std::exception& e) {
      messages.ShowMessage(MessageIcon::None,
                           messages::TreeNodeError(0, platform::FromUtf8(e.what())));
      continue;
    }
    const int calls = callsOf[r];
    if (calls == kLeaf) continue;
    const int level = frame.parentLevel + 1;
    if (level >= limits.maxDepth) {
      // The level below cannot be built: this node stays a leaf and the
      // rest of its level is given up.
      messages.ShowMessage(MessageIcon::Critical, messages::kOutOfStackSpace);
      result.depthExceeded = true;
      stack.pop_back();
      continue;
    }
    stack.push_back(Frame{calls, 0, node, level});
  }
}

void CallTree::Reserve(int nodes) {
  const auto wanted = static_cast<std::size_t>(std::max(nodes, 0)) + 1;
  parent_.reserve(wanted);
  record_.reserve(wanted);
}

void CallTree::Clear() {
  parent_.assign(1, 0);
  record_.assign(1, 0);
  rootText_.clear();
}

int CallTree::AddRoot(TextView /*key*/, TextView text) {
  parent_.push_back(0);
  record_.push_back(1);
  rootText_ = Text(text);
  return Count();
}

int CallTree::AddChild(int parent, const NodeLabel& label) {
  parent_.push_back(parent);
  record_.push_back(label.record);
  return Count();
}

Text CallTree::NodeText(int node, const std::vector<FunctionRecord>& records) const {
  if (Parent(node) == 0) return rootText_;
  const FunctionRecord& rec = records[static_cast<std::size_t>(Record(node))];
  return NodeLabel{Record(node), rec.Name, rec.Lines, rec.AlsoCalledBy}.ToText();
}

std::vector<int> CallTree::Depths() const {
  std::vector<int> depth(parent_.size(), 0);
  for (std::size_t i = 2; i < parent_.size(); ++i) {
    depth[i] = depth[static_cast<std::size_t>(parent_[i])] + 1;
  }
  return depth;
}

}  // namespace korvath
