#include "gui/call_tree_model.h"

#include "gui/widgets/qt_text.h"

namespace korvath::gui {

CallTreeModel::CallTreeModel(QObject* parent) : QAbstractItemModel(parent) {
  setTree(CallTree{}, {}, {});
}

void CallTreeModel::setTree(CallTree tree, std::vector<FunctionRecord> records,
                            std::unordered_map<Text, Text> filePaths) {
  beginResetModel();
  tree_ = std::move(tree);
  records_ = std::move(records);
  filePaths_ = std::move(filePaths);
  // Node 0 stands for the invisible top: its one child is the root.
  const int count = tree_.Count();
  const auto size = static_cast<std::size_t>(count) + 1;
  std::vector<std::int32_t> children(size + 1, 0);
  for (int node = 1; node <= count; ++node) ++children[static_cast<std::size_t>(tree_.Parent(node))];
  childStart_.assign(size + 1, 0);
  for (std::size_t n = 0; n < size; ++n) childStart_[n + 1] = childStart_[n] + children[n];
  childList_.assign(static_cast<std::size_t>(count), 0);
  rowInParent_.assign(size, 0);
  std::vector<std::int32_t> filled(size, 0);
  for (int node = 1; node <= count; ++node) {
    const auto parent = static_cast<std::size_t>(tree_.Parent(node));
    const std::int32_t row = filled[parent]++;
    childList_[static_cast<std::size_t>(childStart_[parent]) + static_cast<std::size_t>(row)] = node;
    rowInParent_[static_cast<std::size_t>(node)] = row;
  }
  endResetModel();
}

int CallTreeModel::nodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<int>(index.internalId()) : 0;
}

QModelIndex CallTreeModel::indexOfNode(int node) const {
  if (node <= 0 || node > tree_.Count()) return {};
  return createIndex(rowInParent_[static_cast<std::size_t>(node)], 0, static_cast<quintptr>(node));
}

QModelIndex CallTreeModel::index(int row, int column, const QModelIndex& parent) const {
  const auto p = static_cast<std::size_t>(nodeOf(parent));
  if (column != 0 || row < 0 || p + 1 >= childStart_.size()) return {};
  if (row >= childStart_[p + 1] - childStart_[p]) return {};
  const int node =
      childList_[static_cast<std::size_t>(childStart_[p]) + static_cast<std::size_t>(row)];
  return createIndex(row, 0, static_cast<quintptr>(node));
}

QModelIndex CallTreeModel::parent(const QModelIndex& child) const {
  const int node = nodeOf(child);
  if (node == 0) return {};
  return indexOfNode(tree_.Parent(node));
}

int CallTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  const auto p = static_cast<std::size_t>(nodeOf(parent));
  if (p + 1 >= childStart_.size()) return 0;
  return childStart_[p + 1] - childStart_[p];
}

bool CallTreeModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

int CallTreeModel::columnCount(const QModelIndex& /*parent*/) const { return 1; }

QString CallTreeModel::filePathOf(int node) const {
  if (node <= 0 || node > tree_.Count()) return {};
  const Text& name = node == 1 ? tree_.RootText() : records_[static_cast<std::size_t>(tree_.Record(node))].name;
  const auto it = filePaths_.find(name);
  return it == filePaths_.end() ? QString() : ToQString(it->second);
}

bool CallTreeModel::callSite(int node, QString& path, int& line) const {
  if (node <= 0 || node > tree_.Count()) return false;
  if (node == 1) {
    path = filePathOf(1);
    line = 1;
    return !path.isEmpty();
  }
  const FunctionRecord& rec = records_[static_cast<std::size_t>(tree_.Record(node))];
  const auto it = filePaths_.find(rec.caller);
  if (it == filePaths_.end()) return false;
  path = ToQString(it->second);
  const QString lines = ToQString(rec.lines);
  line = lines.section(QLatin1Char(','), 0, 0).toInt();
  if (line < 1) line = 1;
  return true;
}

QVariant CallTreeModel::data(const QModelIndex& index, int role) const {
  const int node = nodeOf(index);
  if (node == 0) return {};
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(tree_.NodeText(node, records_));
    case Qt::DecorationRole:
      return icon_;
    case Qt::ToolTipRole: {
      const QString path = filePathOf(node);
      return path.isEmpty() ? QVariant() : QVariant(path);
    }
    default:
      return {};
  }
}

}  // namespace korvath::gui
