#pragma once
// The call tree for the tree view: a read-only model over the engine's
// compact node list, so a tree of a million nodes needs no widget items.

#include <QAbstractItemModel>
#include <QIcon>
#include <unordered_map>
#include <vector>

#include "engine/call_tree.h"

namespace korvath::gui {

using engine::CallTree;
using engine::FunctionRecord;

class CallTreeModel final : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit CallTreeModel(QObject* parent = nullptr);

  // Replaces the whole tree.
  void setTree(CallTree tree, std::vector<FunctionRecord> records,
               std::unordered_map<Text, Text> filePaths);
  void setIcon(const QIcon& icon) { icon_ = icon; }

  const CallTree& tree() const { return tree_; }
  const std::vector<FunctionRecord>& records() const { return records_; }
  const std::unordered_map<Text, Text>& filePaths() const { return filePaths_; }
  int nodeOf(const QModelIndex& index) const;
  QModelIndex indexOfNode(int node) const;
  // The file the node's function was found in; empty when unknown.
  QString filePathOf(int node) const;
  // The file and line a node's call stands at: the caller's file and the
  // first line of the call; for the root its own file at line 1.
  bool callSite(int node, QString& path, int& line) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;

 private:
  CallTree tree_;
  std::vector<FunctionRecord> records_;
  std::unordered_map<Text, Text> filePaths_;
  // Children of node n are childList_[childStart_[n] .. childStart_[n+1]).
  std::vector<std::int32_t> childStart_;
  std::vector<std::int32_t> childList_;
  std::vector<std::int32_t> rowInParent_;
  QIcon icon_;
};

}  // namespace korvath::gui
