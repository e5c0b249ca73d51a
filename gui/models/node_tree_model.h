#pragma once
// A read-only model over a tree in the engine's compact form (nodes
// 1..Count() in depth-first order, each knowing its parent), so a tree of a
// million nodes needs no widget items.

#include <QAbstractItemModel>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/tree_writers.h"

namespace korvath::gui {

class NodeTreeModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit NodeTreeModel(QObject* parent = nullptr) : QAbstractItemModel(parent) {}

  // The tree shown; never null (an empty tree has no nodes).
  const engine::NodeTree& nodes() const { return *source_; }
  int nodeCount() const { return source_->Count(); }
  int nodeOf(const QModelIndex& index) const;
  QModelIndex indexOfNode(int node) const;
  QString nodeText(int node) const;
  // The file the node's function was found in; empty when unknown.
  QString filePathOf(int node) const;
  // The file and line a node's call stands at (for the root its own file at
  // line 1); false when unknown.
  bool callSite(int node, QString& path, int& line) const;
  // For a repeated node, the node where its function's calls (callers) are
  // shown; 0 for any other node.
  int expandedNodeOf(int node) const;
  engine::TreeKind kind() const { return kind_; }
  // How many direct calls of `node` the node budget left out; such a node
  // shows a grey last row saying so, which stands for no node (nodeOf 0).
  int cutOf(int node) const;
  bool isCutRow(const QModelIndex& index) const;
  int nodeLimit() const { return source_->NodeLimit(); }

  // How Find matches a node, ignoring case: its text holds the needle, or
  // its function's name is the needle.
  enum class Match { InText, WholeName };
  struct Found {
    int node = 0;          // 0 when no node matches
    int position = 0;      // of the node among the matching ones, from 1
    int count = 0;         // the matching nodes
    bool wrapped = false;  // went round the end (the start when backwards)
  };
  // The first matching node after `from` (before it when not `forward`),
  // going round.
  Found find(const QString& needle, int from, bool forward, Match match = Match::InText) const;
  int findNode(const QString& needle, int from, bool forward) const {
    return find(needle, from, forward).node;
  }

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  // Leaves say so: views then keep no expanded state for them.
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 protected:
  // Called between beginResetModel and endResetModel with the tree now
  // shown, which must live until the next call.
  void setSource(const engine::NodeTree& tree, engine::TreeKind kind);
  virtual QVariant decoration(int node) const = 0;
  virtual QVariant toolTip(int node) const = 0;

 private:
  const engine::NodeTree* source_ = nullptr;
  engine::TreeKind kind_ = engine::TreeKind::Calls;
  // Children of node n are childList_[childStart_[n] .. childStart_[n+1]);
  // node 0 stands for the invisible top, whose one child is the root.
  std::vector<std::int32_t> childStart_;
  std::vector<std::int32_t> childList_;
  std::vector<std::int32_t> rowInParent_;
  // The nodes cut short, in node order, with the calls each lacks; the row
  // saying so for cutNodes_[k] stands for the number Count() + 1 + k.
  std::vector<std::pair<std::int32_t, std::int32_t>> cutNodes_;
  int cutIndex(int node) const;  // into cutNodes_, -1 when not cut
  int shownChildren(std::size_t node) const;
  // Find: the matching nodes in order, for the needle and match last asked.
  mutable QString findNeedle_;
  mutable Match findMatch_ = Match::InText;
  mutable std::vector<std::int32_t> matches_;
};

}  // namespace korvath::gui
