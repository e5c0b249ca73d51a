#include "gui/models/recursion_mark_model.h"

#include "engine/recursion_marks.h"
#include "gui/models/call_tree_model.h"
#include "gui/widgets/qt_text.h"

namespace korvath::gui {

RecursionMarkModel::RecursionMarkModel(CallTreeModel& calls, QObject* parent)
    : QIdentityProxyModel(parent), calls_(calls) {
  // Marked before the views hear of the new tree.
  connect(&calls, &QAbstractItemModel::modelAboutToBeReset, this, [this] { marks_.clear(); });
  connect(&calls, &QAbstractItemModel::modelReset, this, &RecursionMarkModel::mark);
  setSourceModel(&calls);
  mark();
}

void RecursionMarkModel::mark() { marks_ = engine::CallsAnAncestor(calls_.nodes()); }

bool RecursionMarkModel::callsAnAncestor(int node) const {
  return node > 0 && static_cast<std::size_t>(node) < marks_.size() &&
         marks_[static_cast<std::size_t>(node)] != 0;
}

QVariant RecursionMarkModel::data(const QModelIndex& index, int role) const {
  const int node = calls_.nodeOf(mapToSource(index));
  if (callsAnAncestor(node)) {
    if (role == Qt::DecorationRole) return markIcon_;
    if (role == Qt::ToolTipRole) {
      const QString path = calls_.filePathOf(node);
      const QString text =
          QStringLiteral("Calls an ancestor: %1 already stands above it on this path")
              .arg(ToQString(calls_.nodes().Name(node)));
      return path.isEmpty() ? text : text + QLatin1Char('\n') + path;
    }
  }
  return QIdentityProxyModel::data(index, role);
}

}  // namespace korvath::gui
