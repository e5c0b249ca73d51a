#include "gui/models/callers_tree_model.h"

#include "gui/widgets/qt_text.h"

namespace korvath::gui {

CallersTreeModel::CallersTreeModel(QObject* parent) : NodeTreeModel(parent) { clear(); }

void CallersTreeModel::build(const engine::ProgramIndex& index, int root,
                             const engine::DiscardTable& discards,
                             engine::MessageSink& messages, const engine::TreeLimits& limits) {
  beginResetModel();
  auto tree = std::make_unique<engine::CallersTree>();
  tree->Build(index, root, discards, messages, limits);
  tree_ = std::move(tree);
  setSource(*tree_);
  endResetModel();
}

void CallersTreeModel::clear() {
  beginResetModel();
  tree_ = std::make_unique<engine::CallersTree>();
  setSource(*tree_);
  endResetModel();
}

QString CallersTreeModel::filePathOf(int node) const {
  if (node <= 0 || node > nodeCount()) return {};
  return ToQString(tree_->File(node));
}

bool CallersTreeModel::callSite(int node, QString& path, int& line) const {
  if (node <= 0 || node > nodeCount()) return false;
  path = filePathOf(node);
  std::vector<std::int32_t> lines;
  tree_->AppendLines(node, lines);
  line = lines.empty() ? 1 : lines.front();
  return true;
}

int CallersTreeModel::expandedNodeOf(int node) const {
  if (node <= 0 || node > nodeCount() || !tree_->Repeated(node)) return 0;
  for (int n = 1; n <= nodeCount(); ++n) {
    if (!tree_->Repeated(n) && tree_->Program(n) == tree_->Program(node)) return n;
  }
  return 0;
}

QVariant CallersTreeModel::decoration(int /*node*/) const { return {}; }

QVariant CallersTreeModel::toolTip(int node) const { return filePathOf(node); }

}  // namespace korvath::gui
