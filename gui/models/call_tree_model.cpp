#include "gui/models/call_tree_model.h"

namespace korvath::gui {

CallTreeModel::CallTreeModel(session::Workspace& workspace, QObject* parent)
    : NodeTreeModel(parent), workspace_(workspace) {
  setSource(workspace.lastTree(), engine::TreeKind::Calls);
  workspace.replacing = [this](bool before) {
    if (before) {
      beginResetModel();
    } else {
      setSource(workspace_.lastTree(), engine::TreeKind::Calls);
      endResetModel();
    }
  };
}

CallTreeModel::~CallTreeModel() { workspace_.replacing = nullptr; }

QVariant CallTreeModel::decoration(int /*node*/) const { return icon_; }

QVariant CallTreeModel::toolTip(int node) const {
  const QString path = filePathOf(node);
  return path.isEmpty() ? QVariant() : QVariant(path);
}

}  // namespace korvath::gui
