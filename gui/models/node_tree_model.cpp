#include "gui/models/node_tree_model.h"

#include <QColor>
#include <algorithm>

#include "engine/messages.h"
#include "engine/tree_places.h"
#include "gui/widgets/qt_text.h"

namespace korvath::gui {
namespace {

// Qt hashes an index (views keep every expanded one in a hash, as does the
// model for persistent indexes) by its row plus its internal id, with no
// mixing: consecutive node numbers as ids fill runs of consecutive buckets,
// and collisions then probe along the whole run (a million expanded nodes
// took seconds to collapse). The id is the node number times an
// odd constant, which spreads the ids and is undone by its inverse.
constexpr quintptr kSpread = static_cast<quintptr>(0x9E3779B97F4A7C15ULL);

constexpr quintptr InverseOf(quintptr odd) {
  quintptr inverse = odd;  // right in the lowest 3 bits; each step doubles that
  for (int step = 0; step < 6; ++step) inverse *= 2 - odd * inverse;
  return inverse;
}
constexpr quintptr kGather = InverseOf(kSpread);
static_assert(kSpread * kGather == 1);

quintptr IdOf(int node) { return static_cast<quintptr>(node) * kSpread; }
// The number an index stands for: a node, or past them a row saying a
// node's calls were cut.
int VirtualNodeOf(const QModelIndex& index) {
  return index.isValid() ? static_cast<int>(index.internalId() * kGather) : 0;
}

}  // namespace

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
  matches_.clear();
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
  return index.isValid() && VirtualNodeOf(index) > nodeCount();
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
  const int id = VirtualNodeOf(index);
  return id <= nodeCount() ? id : 0;
}

QModelIndex NodeTreeModel::indexOfNode(int node) const {
  if (node <= 0 || node > nodeCount()) return {};
  return createIndex(rowInParent_[static_cast<std::size_t>(node)], 0, IdOf(node));
}

QString NodeTreeModel::nodeText(int node) const {
  Text text;
  source_->AppendLabel(node, text);
  return ToQString(text);
}

// A million nodes share far fewer labels (and a label key one name): each
// label is matched once.
NodeTreeModel::Found NodeTreeModel::find(const QString& needle, int from, bool forward,
                                         Match match) const {
  const int count = nodeCount();
  if (needle.isEmpty() || count == 0) return {};
  if (needle != findNeedle_ || match != findMatch_ || matches_.empty()) {
    findNeedle_ = needle;
    findMatch_ = match;
    matches_.clear();
    std::vector<std::int8_t> labelMatches(source_->LabelKeys(), -1);
    for (int node = 1; node <= count; ++node) {
      std::int8_t& known = labelMatches[source_->LabelKey(node)];
      if (known < 0) {
        known = match == Match::WholeName
                    ? ToQString(source_->Name(node)).compare(needle, Qt::CaseInsensitive) == 0
                    : nodeText(node).contains(needle, Qt::CaseInsensitive);
      }
      if (known == 1) matches_.push_back(node);
    }
  }
  if (matches_.empty()) return {};
  const int start = from < 1 || from > count ? (forward ? 0 : count + 1) : from;
  const auto size = static_cast<int>(matches_.size());
  int at = 0;  // index in matches_
  bool wrapped = false;
  if (forward) {
    at = static_cast<int>(std::upper_bound(matches_.begin(), matches_.end(), start) -
                          matches_.begin());
    wrapped = at == size;
    if (wrapped) at = 0;
  } else {
    at = static_cast<int>(std::lower_bound(matches_.begin(), matches_.end(), start) -
                          matches_.begin()) -
         1;
    wrapped = at < 0;
    if (wrapped) at = size - 1;
  }
  // Starting outside the tree is no wrap: the search begins at an end.
  if (start == 0 || start == count + 1) wrapped = false;
  return {matches_[static_cast<std::size_t>(at)], at + 1, size, wrapped};
}

QModelIndex NodeTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (isCutRow(parent)) return {};
  const auto p = static_cast<std::size_t>(nodeOf(parent));
  if (column != 0 || row < 0 || p + 1 >= childStart_.size()) return {};
  if (row >= childStart_[p + 1] - childStart_[p]) {
    const int k = cutIndex(static_cast<int>(p));
    if (k < 0 || row != childStart_[p + 1] - childStart_[p]) return {};
    return createIndex(row, 0, IdOf(nodeCount() + 1 + k));  // past every node's
  }
  const int node =
      childList_[static_cast<std::size_t>(childStart_[p]) + static_cast<std::size_t>(row)];
  return createIndex(row, 0, IdOf(node));
}

QModelIndex NodeTreeModel::parent(const QModelIndex& child) const {
  if (isCutRow(child)) {
    const auto k = static_cast<std::size_t>(VirtualNodeOf(child) - nodeCount() - 1);
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

bool NodeTreeModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

Qt::ItemFlags NodeTreeModel::flags(const QModelIndex& index) const {
  if (isCutRow(index)) return Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
  Qt::ItemFlags flags = QAbstractItemModel::flags(index);
  if (index.isValid() && !hasChildren(index)) flags |= Qt::ItemNeverHasChildren;
  return flags;
}

int NodeTreeModel::columnCount(const QModelIndex& /*parent*/) const { return 1; }

QVariant NodeTreeModel::data(const QModelIndex& index, int role) const {
  if (isCutRow(index)) {
    if (role == Qt::DisplayRole) {
      const int parent = nodeOf(this->parent(index));
      return ToQString(kind_ == engine::TreeKind::Callers
                           ? engine::messages::CallersNotShown(cutOf(parent), nodeLimit())
                           : engine::messages::CallsNotShown(cutOf(parent), nodeLimit()));
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
