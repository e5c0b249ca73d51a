#pragma once
// The callers tree of one function, over the workspace's program index.

#include <memory>

#include "engine/callers_tree.h"
#include "gui/models/node_tree_model.h"
#include "session/workspace.h"

namespace korvath::gui {

class CallersTreeModel final : public NodeTreeModel {
  Q_OBJECT

 public:
  explicit CallersTreeModel(QObject* parent = nullptr);

  // The callers of program `program` of the workspace's index, which must
  // stay as it is until the next build() or clear().
  void build(const session::Workspace& workspace, int program, engine::MessageSink& messages,
             const engine::TreeLimits& limits = {});
  void clear();

  const engine::CallersTree& tree() const { return *tree_; }

 protected:
  QVariant decoration(int node) const override;
  QVariant toolTip(int node) const override;

 private:
  std::unique_ptr<engine::CallersTree> tree_;
};

}  // namespace korvath::gui
