#include "gui/models/node_tree_model.h"

#include <QColor>
#include <algorithm>

#include "engine/messages.h"
#include "engine/tree_places.h"
#include "gui/widgets/qt_text.h"

namespace korvath::gui {

void NodeTreeModel::setSource(const engine::NodeTree& tree, engine::TreeKind kind) {
  source_ = &tree;
  kind_ = kind;
  const int count = tree.Count();
  const auto size = static_cast<std::size_t>(count) + 1;
  std::vector<std::int32_t> children(size, 0);
  for (int node = 1; node <= count; ++node) ++children[static_cast<std::size_t>(tree.Parent(node))];
  childStart_.assign(size + 1, 0);
  for (std::size_t n = 0; n < size; ++n) childStart_[n + 1] = childStart_[n] + children[n];
  childList_.assign(static_cast<std::size_t>(count), 0);
  rowInParent_.assign(size, 0);
  std::vector<std::int32_t> filled(size, 0);
  for (int node = 1; node <= count; ++node) {
    const auto parent = static_cast<std::size_t>(tree.Parent(node));
    const std::int32_t row = filled[parent]++;
    childList_[static_cast<std::size_t>(childStart_[parent]) + static_cast<std::size_t>(row)] =
        node;
    rowInParent_[static_cast<std::size_t>(node)] = row;
  }
  cutNodes_.clear();
  for (int node = 1; node <= count; ++node) {
    if (const int cut = tree.Cut(node); cut > 0) cutNodes_.emplace_back(node, cut);
  }
  findNeedle_.clear();
  labelMatches_.clear();
}

int NodeTreeModel::cutIndex(int node) const {
  const auto it = std::lower_bound(cutNodes_.begin(), cutNodes_.end(), node,
                                   [](const auto& c, int n) { return c.first < n; });
  return it != cutNodes_.end() && it->first == node ? static_cast<int>(it - cutNodes_.begin()) : -1;
}

int NodeTreeModel::cutOf(int node) const {
  const int k = cutIndex(node);
  return k < 0 ? 0 : cutNodes_[static_cast<std::size_t>(k)].second;
}

bool NodeTreeModel::isCutRow(const QModelIndex& index) const {
  return index.isValid() && static_cast<int>(index.internalId()) > nodeCount();
}

// The node's children, then the row saying its calls were cut.
int NodeTreeModel::shownChildren(std::size_t node) const {
  return childStart_[node + 1] - childStart_[node] + (cutIndex(static_cast<int>(node)) >= 0);
}

QString NodeTreeModel::filePathOf(int node) const {
  if (node <= 0 || node > nodeCount()) return {};
  return ToQString(source_->File(node));
}

bool NodeTreeModel::callSite(int node, QString& path, int& line) const {
  const std::optional<engine::CallSite> site = engine::CallSiteOf(*source_, kind_, node);
  if (!site) return false;
  path = ToQString(site->file);
  line = site->line;
  return true;
}

int NodeTreeModel::expandedNodeOf(int node) const { return engine::ExpandedNodeOf(*source_, node); }

int NodeTreeModel::nodeOf(const QModelIndex& index) const {
  if (!index.isValid()) return 0;
  const auto id = static_cast<int>(index.internalId());
  return id <= nodeCount() ? id : 0;
}

QModelIndex NodeTreeModel::indexOfNode(int node) const {
  if (node <= 0 || node > nodeCount()) return {};
  return createIndex(rowInParent_[static_cast<std::size_t>(node)], 0, static_cast<quintptr>(node));
}

QString NodeTreeModel::nodeText(int node) const {
  Text text;
  source_->AppendLabel(node, text);
  return ToQString(text);
}

// A million nodes share far fewer labels: each label is matched once.
int NodeTreeModel::findNode(const QString& needle, int from, bool forward) const {
  const int count = nodeCount();
  if (needle.isEmpty() || count == 0) return 0;
  if (needle != findNeedle_) {
    findNeedle_ = needle;
    labelMatches_.assign(source_->LabelKeys(), -1);
  }
  int node = from < 1 || from > count ? (forward ? 0 : count + 1) : from;
  for (int step = 0; step < count; ++step) {
    node = forward ? node % count + 1 : (node + count - 2) % count + 1;
    std::int8_t& match = labelMatches_[source_->LabelKey(node)];
    if (match < 0) match = nodeText(node).contains(needle, Qt::CaseInsensitive) ? 1 : 0;
    if (match == 1) return node;
  }
  return 0;
}

QModelIndex NodeTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (isCutRow(parent)) return {};
  const auto p = static_cast<std::size_t>(nodeOf(parent));
  if (column != 0 || row < 0 || p + 1 >= childStart_.size()) return {};
  if (row >= childStart_[p + 1] - childStart_[p]) {
    const int k = cutIndex(static_cast<int>(p));
    if (k < 0 || row != childStart_[p + 1] - childStart_[p]) return {};
    const int id = nodeCount() + 1 + k;  // past every node's
    return createIndex(row, 0, static_cast<quintptr>(id));
  }
  const int node =
      childList_[static_cast<std::size_t>(childStart_[p]) + static_cast<std::size_t>(row)];
  return createIndex(row, 0, static_cast<quintptr>(node));
}

QModelIndex NodeTreeModel::parent(const QModelIndex& child) const {
  if (isCutRow(child)) {
    const auto k = static_cast<std::size_t>(static_cast<int>(child.internalId()) - nodeCount() - 1);
    return indexOfNode(cutNodes_[k].first);
  }
  const int node = nodeOf(child);
  if (node == 0) return {};
  return indexOfNode(source_->Parent(node));
}

int NodeTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0 || isCutRow(parent)) return 0;
  const auto p = static_cast<std::size_t>(nodeOf(parent));
  if (p + 1 >= childStart_.size()) return 0;
  return shownChildren(p);
}

Qt::ItemFlags NodeTreeModel::flags(const QModelIndex& index) const {
  if (isCutRow(index)) return Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
  return QAbstractItemModel::flags(index);
}

bool NodeTreeModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

int NodeTreeModel::columnCount(const QModelIndex& /*parent*/) const { return 1; }

QVariant NodeTreeModel::data(const QModelIndex& index, int role) const {
  if (isCutRow(index)) {
    if (role == Qt::DisplayRole) {
      const int parent = nodeOf(this->parent(index));
      return ToQString(engine::messages::CallsNotShown(cutOf(parent), nodeLimit()));
    }
    if (role == Qt::ForegroundRole) return QColor(Qt::gray);
    return {};
  }
  const int node = nodeOf(index);
  if (node == 0) return {};
  switch (role) {
    case Qt::DisplayRole:
      return nodeText(node);
    case Qt::DecorationRole:
      return decoration(node);
    case Qt::ToolTipRole:
      return toolTip(node);
    default:
      return {};
  }
}

}  // namespace korvath::gui
