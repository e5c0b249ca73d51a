#include "gui/models/recursion_mark_model.h"

#include "engine/recursion_marks.h"
#include "gui/models/call_tree_model.h"
#include "gui/widgets/qt_text.h"

namespace korvath::gui {

RecursionMarkModel::RecursionMarkModel(CallTreeModel& calls, QObject* parent, int markedAtOnce)
    : QIdentityProxyModel(parent), calls_(calls), markedAtOnce_(markedAtOnce) {
  // A small tree is marked before the views hear of it.
  connect(&calls, &QAbstractItemModel::modelAboutToBeReset, this, &RecursionMarkModel::dropMarks);
  connect(&calls, &QAbstractItemModel::modelReset, this, &RecursionMarkModel::mark);
  setSourceModel(&calls);
  mark();
}

RecursionMarkModel::~RecursionMarkModel() { dropMarks(); }

void RecursionMarkModel::dropMarks() {
  if (pending_.valid()) pending_.wait();  // it reads the tree about to go
  pending_ = {};
  marks_.clear();
}

void RecursionMarkModel::mark() {
  dropMarks();
  const engine::NodeTree& tree = calls_.nodes();
  if (tree.Count() <= markedAtOnce_) {
    marks_ = engine::CallsAnAncestor(tree);
    emit marked();
    return;
  }
  const int generation = ++generation_;
  pending_ = std::async(std::launch::async, [this, &tree, generation] {
    std::vector<std::uint8_t> marks = engine::CallsAnAncestor(tree);
    // Queued: gone with this model when it goes first.
    QMetaObject::invokeMethod(
        this, [this, generation] { takeMarks(generation); }, Qt::QueuedConnection);
    return marks;
  });
}

void RecursionMarkModel::takeMarks(int generation) {
  // A reset since may have dropped these marks, or new ones be on the way.
  if (generation != generation_ || !pending_.valid()) return;
  marks_ = pending_.get();  // ready, or about to be
  const int rows = rowCount();
  if (rows > 0) {
    // The views repaint the rows they show.
    emit dataChanged(index(0, 0), index(rows - 1, 0), {Qt::DecorationRole, Qt::ToolTipRole});
  }
  emit marked();
}

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
