#include "gui/models/call_tree_model.h"

#include "gui/widgets/qt_text.h"

namespace korvath::gui {

CallTreeModel::CallTreeModel(QObject* parent) : NodeTreeModel(parent) {
  setTree(CallTree{}, {}, {});
}

void CallTreeModel::setTree(CallTree tree, std::vector<FunctionRecord> records,
                            std::unordered_map<Text, Text> filePaths) {
  beginResetModel();
  tree_ = std::move(tree);
  records_ = std::move(records);
  filePaths_ = std::move(filePaths);
  writable_ = std::make_unique<engine::RecordTree>(tree_, records_, &filePaths_);
  setSource(*writable_);
  endResetModel();
}

const Text* CallTreeModel::fileOf(int node) const {
  const Text& name =
      node == 1 ? tree_.RootText() : records_[static_cast<std::size_t>(tree_.Record(node))].name;
  const auto it = filePaths_.find(name);
  return it == filePaths_.end() ? nullptr : &it->second;
}

QString CallTreeModel::filePathOf(int node) const {
  if (node <= 0 || node > tree_.Count()) return {};
  const Text* file = fileOf(node);
  return file == nullptr ? QString() : ToQString(*file);
}

bool CallTreeModel::callSite(int node, QString& path, int& line) const {
  if (node <= 0 || node > tree_.Count()) return false;
  if (node == 1) {
    path = filePathOf(1);
    line = 1;
    return !path.isEmpty();
  }
  const FunctionRecord& rec = records_[static_cast<std::size_t>(tree_.Record(node))];
  const auto it = filePaths_.find(rec.caller);
  if (it == filePaths_.end()) return false;
  path = ToQString(it->second);
  const QString lines = ToQString(rec.lines);
  line = lines.section(QLatin1Char(','), 0, 0).toInt();
  if (line < 1) line = 1;
  return true;
}

int CallTreeModel::expandedNodeOf(int node) const {
  if (node <= 1 || node > tree_.Count()) return 0;
  const FunctionRecord& leaf = records_[static_cast<std::size_t>(tree_.Record(node))];
  if (leaf.alsoCalledBy.empty()) return 0;
  // The same file: a name spelled otherwise may find it on a host that
  // ignores case.
  const Text* file = fileOf(node);
  if (file == nullptr) return 0;
  for (int n = 1; n <= tree_.Count(); ++n) {
    const bool linked =
        n != 1 && !records_[static_cast<std::size_t>(tree_.Record(n))].alsoCalledBy.empty();
    const Text* other = linked ? nullptr : fileOf(n);
    if (other != nullptr && *other == *file) return n;
  }
  return 0;
}

QVariant CallTreeModel::decoration(int /*node*/) const { return icon_; }

QVariant CallTreeModel::toolTip(int node) const {
  const QString path = filePathOf(node);
  return path.isEmpty() ? QVariant() : QVariant(path);
}

}  // namespace korvath::gui
