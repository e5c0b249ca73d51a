#pragma once
// The call tree as the explorer shows it: the same rows and texts, with a
// node that calls one of its ancestors marked by its own icon and tooltip.

#include <QIcon>
#include <QIdentityProxyModel>
#include <cstdint>
#include <future>
#include <vector>

namespace korvath::gui {

class CallTreeModel;

class RecursionMarkModel final : public QIdentityProxyModel {
  Q_OBJECT

 public:
  // Trees above `markedAtOnce` nodes are marked on a thread of their own;
  // the rows show meanwhile, and their marks once ready().
  explicit RecursionMarkModel(CallTreeModel& calls, QObject* parent = nullptr,
                              int markedAtOnce = 20000);
  ~RecursionMarkModel() override;

  void setMarkIcon(const QIcon& icon) { markIcon_ = icon; }
  bool callsAnAncestor(int node) const;
  bool ready() const { return !pending_.valid(); }
  QVariant data(const QModelIndex& index, int role) const override;

 signals:
  // The marks of the tree shown are known.
  void marked();

 private:
  void mark();
  void takeMarks(int generation);
  void dropMarks();

  const CallTreeModel& calls_;
  int markedAtOnce_;
  std::vector<std::uint8_t> marks_;
  // The marks being made; the tree it reads stays until the next reset,
  // which waits for it.
  std::future<std::vector<std::uint8_t>> pending_;
  int generation_ = 0;  // of the marks asked for last
  QIcon markIcon_;
};

}  // namespace korvath::gui
