#include "engine/call_tree.h"

#include <algorithm>
#include <unordered_map>

#include "engine/messages.h"
#include "platform/utf8.h"

namespace korvath::engine {
namespace {

// The records grouped by Caller, each group's members in record order, in
// one array for all groups; found by name once per record, so that the walk
// of a million nodes hashes no text.
class CallerGroups {
 public:
  explicit CallerGroups(const std::vector<FunctionRecord>& records) {
    std::vector<int> groupOfRecord(records.size(), 0);
    for (std::size_t i = 1; i < records.size(); ++i) {
      const auto [it, added] =
          groupOf_.try_emplace(records[i].caller, static_cast<int>(groupOf_.size()));
      groupOfRecord[i] = it->second;
    }
    start_.assign(groupOf_.size() + 1, 0);
    for (std::size_t i = 1; i < records.size(); ++i) {
      ++start_[static_cast<std::size_t>(groupOfRecord[i]) + 1];
    }
    for (std::size_t g = 1; g < start_.size(); ++g) start_[g] += start_[g - 1];
    members_.resize(records.size() - 1);
    std::vector<std::size_t> fill(start_.begin(), start_.end() - 1);
    for (std::size_t i = 1; i < records.size(); ++i) {
      members_[fill[static_cast<std::size_t>(groupOfRecord[i])]++] = static_cast<int>(i);
    }
  }

  // The group of the records `name` calls; -1 when it calls nothing.
  int Named(TextView name) const {
    const auto it = groupOf_.find(name);
    return it == groupOf_.end() ? -1 : it->second;
  }
  std::size_t Size(int group) const {
    if (group < 0) return 0;
    const auto g = static_cast<std::size_t>(group);
    return start_[g + 1] - start_[g];
  }
  int Member(int group, std::size_t k) const {
    return members_[start_[static_cast<std::size_t>(group)] + k];
  }

 private:
  std::unordered_map<TextView, int> groupOf_;
  std::vector<std::size_t> start_;
  std::vector<int> members_;
};

// What a node of each record needs, side by side: its label and the group
// its own calls form (kLeaf for a linked record, -1 for none).
constexpr int kLeaf = -2;
struct NodePlan {
  NodeLabel label;
  int calls = -1;
};

std::vector<NodePlan> PlanNodes(const std::vector<FunctionRecord>& records,
                                const CallerGroups& groups) {
  std::vector<NodePlan> plans(records.size());
  for (std::size_t i = 1; i < records.size(); ++i) {
    const FunctionRecord& rec = records[i];
    plans[i].label = NodeLabel::Of(records, static_cast<int>(i));
    plans[i].calls = rec.alsoCalledBy.empty() ? groups.Named(rec.name) : kLeaf;
  }
  return plans;
}

struct Frame {
  int group;  // the records called from this level's function
  std::size_t next;
  int parentNode;
  int parentLevel;
};

}  // namespace

Result CheckStartRecord(const std::vector<FunctionRecord>& records) {
  if (records.size() < 2 || records[1].name.empty()) {
    return Result::Failure(Status::NoStartFile, "the start file has no record");
  }
  return {};
}

Result BuildCallTree(const std::vector<FunctionRecord>& records, TreeSink& tree,
                     MessageSink& messages, const TreeLimits& limits) {
  tree.Clear();
  if (Result start = CheckStartRecord(records); !start) return start;
  const Text& rootName = records[1].name;
  // Beyond a few million nodes the hint would only reserve address space.
  tree.Reserve(std::min(limits.maxNodes, 1 << 22));
  tree.AddRoot(rootName, rootName);
  AddCallNodes(records, rootName, tree.Count(), tree, messages, limits);
  return {};
}

void AddCallNodes(const std::vector<FunctionRecord>& records, TextView callerName, int parentIndex,
                  TreeSink& tree, MessageSink& messages, const TreeLimits& limits) {
  const CallerGroups groups(records);
  const std::vector<NodePlan> plans = PlanNodes(records, groups);
  std::vector<Frame> stack;
  stack.push_back(Frame{groups.Named(callerName), 0, parentIndex, 0});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next >= groups.Size(frame.group)) {
      stack.pop_back();
      continue;
    }
    const NodePlan& plan =
        plans[static_cast<std::size_t>(groups.Member(frame.group, frame.next++))];
    if (tree.Count() >= limits.maxNodes) {
      messages.ShowMessage(MessageIcon::Critical, messages::kTreeTooLarge);
      --frame.next;  // this call was not added either
      // Each node on the stack has calls left: ancestors first, so in node
      // order.
      for (const Frame& open : stack) {
        const std::size_t left = groups.Size(open.group) - open.next;
        if (left != 0) tree.CutShort(open.parentNode, static_cast<int>(left), limits.maxNodes);
      }
      break;
    }
    int node = 0;
    if (const Result added = tree.AddChild(frame.parentNode, plan.label, node); !added) {
      messages.ShowMessage(MessageIcon::None,
                           messages::TreeNodeError(0, platform::FromUtf8(added.description)));
      continue;
    }
    if (plan.calls == kLeaf) continue;
    const int level = frame.parentLevel + 1;
    if (level >= limits.maxDepth) {
      // The level below cannot be built: this node stays a leaf and the
      // rest of its level is given up.
      messages.ShowMessage(MessageIcon::Critical, messages::kOutOfStackSpace);
      stack.pop_back();
      continue;
    }
    stack.push_back(Frame{plan.calls, 0, node, level});
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
  cut_.clear();
  nodeLimit_ = 0;
}

void CallTree::CutShort(int node, int calls, int limit) {
  cut_.push_back({node, calls});
  nodeLimit_ = limit;
}

int CallTree::Cut(int node) const {
  const auto it = std::lower_bound(cut_.begin(), cut_.end(), node,
                                   [](const CutNode& c, int n) { return c.node < n; });
  return it != cut_.end() && it->node == node ? it->calls : 0;
}

int CallTree::AddRoot(TextView /*key*/, TextView text) {
  parent_.push_back(0);
  record_.push_back(1);
  rootText_ = Text(text);
  return Count();
}

Result CallTree::AddChild(int parent, const NodeLabel& label, int& node) {
  parent_.push_back(parent);
  record_.push_back(label.record);
  node = Count();
  return {};
}

Text CallTree::NodeText(int node, const std::vector<FunctionRecord>& records) const {
  if (Parent(node) == 0) return rootText_;
  return NodeLabel::Of(records, Record(node)).ToText();
}

std::vector<int> CallTree::Depths() const {
  std::vector<int> depth(parent_.size(), 0);
  for (std::size_t i = 2; i < parent_.size(); ++i) {
    depth[i] = depth[static_cast<std::size_t>(parent_[i])] + 1;
  }
  return depth;
}

}  // namespace korvath::engine
