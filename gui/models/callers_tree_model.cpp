#include "gui/models/callers_tree_model.h"

namespace korvath::gui {

CallersTreeModel::CallersTreeModel(QObject* parent) : NodeTreeModel(parent) { clear(); }

void CallersTreeModel::build(const session::Workspace& workspace, int program,
                             engine::MessageSink& messages, const engine::TreeLimits& limits) {
  beginResetModel();
  auto tree = std::make_unique<engine::CallersTree>();
  workspace.CallersOf(program, *tree, messages, limits);
  tree_ = std::move(tree);
  setSource(*tree_, engine::TreeKind::Callers);
  endResetModel();
}

void CallersTreeModel::clear() {
  beginResetModel();
  tree_ = std::make_unique<engine::CallersTree>();
  setSource(*tree_, engine::TreeKind::Callers);
  endResetModel();
}

QVariant CallersTreeModel::decoration(int /*node*/) const { return {}; }

QVariant CallersTreeModel::toolTip(int node) const { return filePathOf(node); }

}  // namespace korvath::gui
