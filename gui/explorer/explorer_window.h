#pragma once
// The explorer: the call tree of the last run at any size, the callers of
// the function selected in it, Find over every node, and the way from a
// repeated node to the place its calls are shown.

#include <QMainWindow>
#include <QMessageBox>
#include <functional>
#include <optional>

#include "engine/call_graph.h"
#include "platform/file_system.h"
#include "session/search_path_index.h"
#include "session/startup_settings.h"

class QAction;
class QLabel;
class QLineEdit;
class QTreeView;

namespace korvath::gui {

class CallTreeModel;
class GraphPane;
class CallersTreeModel;
class NodeTreeModel;
class RecursionMarkModel;

// What the explorer asks of the desktop; tests replace these.
struct ExplorerServices {
  // A Save dialog for a tree; `format` receives "text", "json" or "dot".
  std::function<std::optional<QString>(QWidget* parent, QString& format)> saveTreeDialog;
  std::function<std::optional<QString>(QWidget* parent)> saveListDialog;
  std::function<std::optional<QString>(QWidget* parent, QString& format)> savePictureDialog;
  std::function<void(QWidget* parent, QMessageBox::Icon icon, const QString& text)> showMessage;
  std::function<bool(const QString& path, int line)> openInEditor;
};

class ExplorerWindow final : public QMainWindow {
  Q_OBJECT

 public:
  // `calls` and `settings` are the main window's and outlive this window.
  ExplorerWindow(CallTreeModel& calls, platform::FileSystem& fs,
                 const session::Settings& settings, ExplorerServices services,
                 QWidget* parent = nullptr);
  ~ExplorerWindow() override;

  // After a run, or when shown: the index brought up to date with the
  // search path, and the callers of the current node shown again.
  void followRun();
  // Selects node `node` of the call tree, with its callers beside it.
  void showCallersOf(int node);
  void find();
  void findNext();
  void findPrevious();
  void goToExpandedNode();
  void exportCallers();
  void exportFileList();
  void exportPicture();

  CallersTreeModel& callersModel() { return *callers_; }
  RecursionMarkModel& marksModel() { return *marks_; }
  const session::SearchPathIndex& index() const { return index_; }
  GraphPane& graph() { return *graph_; }

  QLineEdit* txtFind = nullptr;
  QTreeView* trvCalls = nullptr;
  QTreeView* trvCallers = nullptr;
  QLabel* lblCallers = nullptr;
  QLabel* lblDetails = nullptr;
  QAction* mnuFileExportCallers = nullptr;
  QAction* mnuFileExportList = nullptr;
  QAction* mnuFileExportPicture = nullptr;
  QAction* mnuFileClose = nullptr;
  QAction* mnuEditFind = nullptr;
  QAction* mnuEditFindNext = nullptr;
  QAction* mnuEditFindPrevious = nullptr;
  QAction* mnuEditGoTo = nullptr;
  QAction* mnuViewFitPicture = nullptr;

 private:
  void buildControls();
  void buildMenus();
  void onCallSelected(const QModelIndex& current);
  void onCallerSelected(const QModelIndex& current);
  void onGraphNodeClicked(engine::TreeKind kind, int node);
  void showCallers(int program, const QString& heading);
  void showDetails(const QString& path);
  void findFrom(bool forward);
  void select(QTreeView* view, const NodeTreeModel& model, int node);
  void openCallSite(const QModelIndex& index);
  void showTreeMenu(QTreeView* view, const QPoint& at);
  int expandedNodeIn(QTreeView* view, int node) const;
  int programOf(const QString& path) const;
  bool refreshIndex();

  CallTreeModel& calls_;
  platform::FileSystem& fs_;
  const session::Settings& settings_;
  ExplorerServices services_;
  RecursionMarkModel* marks_ = nullptr;
  CallersTreeModel* callers_ = nullptr;
  GraphPane* graph_ = nullptr;
  std::vector<Text> callersMessages_;  // of the callers tree shown
  session::SearchPathIndex index_;
  bool indexed_ = false;       // the index stands for the current search path
  QTreeView* lastTree_ = nullptr;  // the tree Find and Go to work on
};

}  // namespace korvath::gui
