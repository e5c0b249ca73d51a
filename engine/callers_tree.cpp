#include "engine/callers_tree.h"

#include <algorithm>

#include "engine/messages.h"
#include "engine/number_text.h"
#include "platform/absolute_path.h"

namespace korvath::engine {

void CallersTree::Build(const ProgramIndex& index, int root, const DiscardTable& discards,
                        MessageSink& messages, const TreeLimits& limits) {
  index_ = &index;
  nodes_.assign(1, Node{});
  cut_.clear();
  nodeLimit_ = 0;
  const auto& programs = index.Programs();
  const DiscardedNames discarded(discards);
  std::vector<char> expanded(programs.size(), 0);
  nodes_.push_back(Node{0, root, nullptr, false});
  expanded[static_cast<std::size_t>(root)] = 1;

  // Depth first with an explicit stack: each frame walks one node's callers.
  struct Frame {
    int node;
    std::size_t next;
    int level;
  };
  std::vector<Frame> stack{{1, 0, 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const auto& callers = programs[static_cast<std::size_t>(At(frame.node).program)].callers;
    if (frame.next == callers.size()) {
      stack.pop_back();
      continue;
    }
    const int caller = callers[frame.next++];
    const auto g = static_cast<std::size_t>(caller);
    if (discarded.Contains(programs[g].name)) continue;
    if (Count() >= limits.maxNodes) {
      messages.ShowMessage(MessageIcon::Critical, messages::kTreeTooLarge);
      --frame.next;  // this caller was not added either
      // Each node on the stack may have callers left: ancestors first, so
      // in node order. Discarded ones would not have been shown anyway.
      for (const Frame& open : stack) {
        const auto& left = programs[static_cast<std::size_t>(At(open.node).program)].callers;
        int count = 0;
        for (std::size_t k = open.next; k < left.size(); ++k) {
          if (!discarded.Contains(programs[static_cast<std::size_t>(left[k])].name)) {
            ++count;
          }
        }
        if (count != 0) cut_.push_back({open.node, count});
      }
      if (!cut_.empty()) nodeLimit_ = limits.maxNodes;
      return;
    }
    const bool repeated = expanded[g] != 0;
    const ProgramIndex::Calls* calls = index.CallsOf(caller, At(frame.node).program);
    nodes_.push_back(Node{frame.node, caller, &calls->lines, repeated});
    if (repeated) continue;
    if (frame.level + 1 >= limits.maxDepth) {
      // As in the call tree: this level gives up the rest of its callers.
      messages.ShowMessage(MessageIcon::Critical, messages::kOutOfStackSpace);
      stack.pop_back();
      continue;
    }
    expanded[g] = 1;
    stack.push_back(Frame{Count(), 0, frame.level + 1});
  }
}

int CallersTree::Cut(int node) const {
  const auto it = std::lower_bound(cut_.begin(), cut_.end(), node,
                                   [](const CutNode& c, int n) { return c.node < n; });
  return it != cut_.end() && it->node == node ? it->callers : 0;
}

Text CallersTree::Name(int node) const {
  return index_->Programs()[static_cast<std::size_t>(At(node).program)].name;
}

Text CallersTree::File(int node) const {
  return platform::AbsoluteNormalPath(
      index_->Programs()[static_cast<std::size_t>(At(node).program)].path);
}

void CallersTree::AppendLines(int node, std::vector<std::int32_t>& out) const {
  if (const auto* lines = At(node).lines) out.insert(out.end(), lines->begin(), lines->end());
}

void CallersTree::AppendLabel(int node, Text& out) const {
  const Node& n = At(node);
  out += index_->Programs()[static_cast<std::size_t>(n.program)].name;
  if (n.lines == nullptr) return;
  out += u" (";
  for (std::size_t i = 0; i < n.lines->size(); ++i) {
    if (i != 0) out += u',';
    out += DecimalText((*n.lines)[i]);
  }
  out += u')';
  if (n.repeated) out += u" - callers shown above";
}

}  // namespace korvath::engine
