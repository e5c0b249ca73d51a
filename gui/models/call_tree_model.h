#pragma once
// The call tree of the last run, over the engine's compact node list.

#include <QIcon>
#include <memory>
#include <unordered_map>
#include <vector>

#include "engine/call_tree.h"
#include "gui/models/node_tree_model.h"

namespace korvath::gui {

using engine::CallTree;
using engine::FunctionRecord;

class CallTreeModel final : public NodeTreeModel {
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
  // The file the node's function was found in; empty when unknown.
  QString filePathOf(int node) const;
  // The file and line a node's call stands at: the caller's file and the
  // first line of the call; for the root its own file at line 1.
  bool callSite(int node, QString& path, int& line) const;
  // For an "Also called by" leaf, the first node, depth first, where its
  // function's calls are shown; 0 for any other node.
  int expandedNodeOf(int node) const;

 protected:
  QVariant decoration(int node) const override;
  QVariant toolTip(int node) const override;

 private:
  const Text* fileOf(int node) const;  // null when unknown

  CallTree tree_;
  std::vector<FunctionRecord> records_;
  std::unordered_map<Text, Text> filePaths_;
  std::unique_ptr<engine::RecordTree> writable_;
  QIcon icon_;
};

}  // namespace korvath::gui
