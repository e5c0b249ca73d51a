#pragma once
// The call tree as the explorer shows it: the same rows and texts, with a
// node that calls one of its ancestors marked by its own icon and tooltip.

#include <QIcon>
#include <QIdentityProxyModel>
#include <cstdint>
#include <vector>

namespace korvath::gui {

class CallTreeModel;

class RecursionMarkModel final : public QIdentityProxyModel {
  Q_OBJECT

 public:
  explicit RecursionMarkModel(CallTreeModel& calls, QObject* parent = nullptr);

  void setMarkIcon(const QIcon& icon) { markIcon_ = icon; }
  bool callsAnAncestor(int node) const;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  void mark();

  const CallTreeModel& calls_;
  std::vector<std::uint8_t> marks_;
  QIcon markIcon_;
};

}  // namespace korvath::gui
