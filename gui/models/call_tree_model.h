#pragma once
// The call tree of the workspace's last run, shown as the run left it; a
// new run resets the model around the change.

#include <QIcon>

#include "gui/models/node_tree_model.h"
#include "session/workspace.h"

namespace korvath::gui {

class CallTreeModel final : public NodeTreeModel {
  Q_OBJECT

 public:
  // Follows the runs of `workspace`, which outlives the model.
  explicit CallTreeModel(session::Workspace& workspace, QObject* parent = nullptr);
  ~CallTreeModel() override;

  void setIcon(const QIcon& icon) { icon_ = icon; }

 protected:
  QVariant decoration(int node) const override;
  QVariant toolTip(int node) const override;

 private:
  session::Workspace& workspace_;
  QIcon icon_;
};

}  // namespace korvath::gui
