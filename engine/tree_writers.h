#pragma once
// Writes a call tree as indented text, JSON or Graphviz DOT. Trees are
// written from the compact node list as they stand, without a second copy.

#include <cstdint>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "engine/call_tree.h"

namespace korvath::engine {

// What the writers need of a tree: nodes numbered 1..Count() in depth-first
// order, the root first, and each node's text. Nodes with the same label key
// (below LabelKeys()) show the same text, which is then made only once.
enum class TreeKind {
  Calls,    // a node is called by its parent
  Callers,  // a node calls its parent
};

class NodeTree {
 public:
  NodeTree() = default;
  NodeTree(const NodeTree&) = delete;
  NodeTree& operator=(const NodeTree&) = delete;
  virtual ~NodeTree() = default;
  virtual int Count() const = 0;
  virtual int Parent(int node) const = 0;  // 0 for the root
  virtual std::size_t LabelKeys() const = 0;
  virtual std::size_t LabelKey(int node) const = 0;
  virtual void AppendLabel(int node, Text& out) const = 0;
  // For JSON, also made once per label key: the node's function, the
  // absolute path of its file ("" when it has none) and its line numbers.
  virtual Text Name(int node) const = 0;
  virtual Text File(int node) const = 0;
  virtual void AppendLines(int node, std::vector<std::int32_t>& out) const = 0;
  // A leaf whose calls (callers) are shown at another node of its function.
  virtual bool Repeated(int node) const = 0;
  // The MATLAB resolution mode's marks, "" where there are none (and then
  // JSON leaves them out): "kind", "certainty", "via".
  struct Marks {
    Text kind;
    Text certainty;
    Text via;
  };
  virtual Marks MarksOf(int node) const {
    static_cast<void>(node);
    return {};
  }
  // How many direct calls (callers) of the node the node budget left out,
  // and that budget: only JSON and the windows say so, as the closing
  // message says it for the other outputs.
  virtual int Cut(int node) const {
    static_cast<void>(node);
    return 0;
  }
  virtual int NodeLimit() const { return 0; }
};

// A call tree with the records it was built from.
class RecordTree final : public NodeTree {
 public:
  // `filePaths`, the run's, gives the files: by function name.
  RecordTree(const CallTree& tree, const std::vector<FunctionRecord>& records,
             const std::unordered_map<Text, Text>* filePaths = nullptr)
      : tree_(tree), records_(records), filePaths_(filePaths) {}
  int Count() const override { return tree_.Count(); }
  int Parent(int node) const override { return tree_.Parent(node); }
  std::size_t LabelKeys() const override { return records_.size() + 1; }
  std::size_t LabelKey(int node) const override;
  void AppendLabel(int node, Text& out) const override;
  Text Name(int node) const override;
  Text File(int node) const override;
  void AppendLines(int node, std::vector<std::int32_t>& out) const override;
  bool Repeated(int node) const override;
  Marks MarksOf(int node) const override;
  int Cut(int node) const override { return tree_.Cut(node); }
  int NodeLimit() const override { return tree_.NodeLimit(); }

 private:
  const CallTree& tree_;
  const std::vector<FunctionRecord>& records_;
  const std::unordered_map<Text, Text>* filePaths_;
};

// Each flushes `file` at the end and reports the first write that failed
// (a full disk, a closed pipe); nothing more is written after it.
Result WriteTextTree(std::FILE* file, const NodeTree& tree);
// Every node an object {"text", "name", "file", "lines", "children"}, with
// "cut" before "children" when the node budget left calls of it out.
// `tree` may have no root; "root" is then null.
Result WriteJson(std::FILE* file, const NodeTree& tree, const std::vector<Text>& messages);
Result WriteDot(std::FILE* file, const NodeTree& tree);

// Node `node` and the nodes below it, one label a line, each indented by
// two blanks a level below `node`: what a copy of a subtree holds.
Text IndentedSubtreeText(const NodeTree& tree, int node);

// The same for a call tree and its records.
Result WriteTextTree(std::FILE* file, const CallTree& tree,
                     const std::vector<FunctionRecord>& records);
Result WriteJson(std::FILE* file, const CallTree& tree, const std::vector<FunctionRecord>& records,
                 const std::unordered_map<Text, Text>& filePaths,
                 const std::vector<Text>& messages);
Result WriteDot(std::FILE* file, const CallTree& tree, const std::vector<FunctionRecord>& records);

}  // namespace korvath::engine
