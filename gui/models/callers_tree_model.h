#pragma once
// The callers tree of one function, over the program index.

#include <memory>

#include "engine/callers_tree.h"
#include "gui/models/node_tree_model.h"

namespace korvath::gui {

class CallersTreeModel final : public NodeTreeModel {
  Q_OBJECT

 public:
  explicit CallersTreeModel(QObject* parent = nullptr);

  // The callers of program `root` of `index`, which must outlive the tree
  // or be followed by clear().
  void build(const engine::ProgramIndex& index, int root, const engine::DiscardTable& discards,
             engine::MessageSink& messages, const engine::TreeLimits& limits = {});
  void clear();

  const engine::CallersTree& tree() const { return *tree_; }
  // The node's own file, as the index found it.
  QString filePathOf(int node) const;
  // Where the node's calls stand: the calling file at its first call line;
  // for the root its own file at line 1.
  bool callSite(int node, QString& path, int& line) const;
  // For a leaf whose callers are shown above, the node that shows them;
  // 0 for any other node.
  int expandedNodeOf(int node) const;

 protected:
  QVariant decoration(int node) const override;
  QVariant toolTip(int node) const override;

 private:
  std::unique_ptr<engine::CallersTree> tree_;
};

}  // namespace korvath::gui
