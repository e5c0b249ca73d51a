#include "engine/call_tree.h"

#include <exception>
#include <unordered_map>

#include "engine/messages.h"
#include "platform/utf8.h"

namespace korvath {
namespace {

struct Frame {
  const std::vector<int>* records;  // the records whose Caller is this level's name
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
  tree.AddRoot(rootName, rootName);
  result.hasRoot = true;

  // Each level of the walk visits the records called from one function, in
  // record order; grouping them by Caller once replaces a scan per level.
  std::unordered_map<TextView, std::vector<int>> byCaller;
  for (std::size_t i = 1; i < records.size(); ++i) {
    byCaller[records[i].Caller].push_back(static_cast<int>(i));
  }
  static const std::vector<int> kNone;
  auto callsOf = [&](TextView caller) -> const std::vector<int>* {
    const auto it = byCaller.find(caller);
    return it == byCaller.end() ? &kNone : &it->second;
  };

  std::vector<Frame> stack;
  stack.push_back(Frame{callsOf(rootName), 0, tree.Count(), 0});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next >= frame.records->size()) {
      stack.pop_back();
      continue;
    }
    const int r = (*frame.records)[frame.next++];
    const FunctionRecord& rec = records[static_cast<std::size_t>(r)];
    if (tree.Count() >= limits.maxNodes) {
      messages.ShowMessage(MessageIcon::Critical, messages::kTreeTooLarge);
      result.budgetExceeded = true;
      break;
    }
    int node = 0;
    try {
      node = tree.AddChild(frame.parentNode, NodeLabel{r, rec.Name, rec.Lines, rec.AlsoCalledBy});
    } catch (const std::exception& e) {
      messages.ShowMessage(MessageIcon::None,
                           messages::TreeNodeError(0, platform::FromUtf8(e.what())));
      continue;
    }
    if (!rec.AlsoCalledBy.empty()) continue;
    const int level = frame.parentLevel + 1;
    if (level >= limits.maxDepth) {
      // The level below cannot be built: this node stays a leaf and the
      // rest of its level is given up.
      messages.ShowMessage(MessageIcon::Critical, messages::kOutOfStackSpace);
      result.depthExceeded = true;
      stack.pop_back();
      continue;
    }
    stack.push_back(Frame{callsOf(rec.Name), 0, node, level});
  }
  return result;
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
