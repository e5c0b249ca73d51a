#pragma once
// The explorer: the call tree of the last run at any size, the callers of
// the function selected in it, Find over every node, and the way from a
// repeated node to the place its calls are shown.

#include <QMainWindow>
#include <QMessageBox>
#include <functional>
#include <optional>

#include "engine/call_graph.h"
#include "platform/result.h"
#include "session/output_format.h"
#include "session/workspace.h"

class QAbstractProxyModel;
class QAction;
class QCheckBox;
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
  // A Save dialog titled `title` for a tree; `format` receives text, json
  // or dot.
  std::function<std::optional<QString>(QWidget* parent, const QString& title,
                                       session::OutputFormat& format)>
      saveTreeDialog;
  std::function<std::optional<QString>(QWidget* parent)> saveListDialog;
  // `suggested` is the file name offered; `format` receives svg or png.
  std::function<std::optional<QString>(QWidget* parent, const QString& suggested,
                                       session::OutputFormat& format)>
      savePictureDialog;
  // A message box; `informative` (may be empty) is shown below the text.
  std::function<void(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                     const QString& informative)>
      showMessage;
  // Starts the editor at a file's line; a failure's description is the
  // sentence to show.
  std::function<platform::Result(const QString& path, int line)> openInEditor;
};

class ExplorerWindow final : public QMainWindow {
  Q_OBJECT

 public:
  // `calls` and `workspace` are the main window's and outlive this window.
  ExplorerWindow(CallTreeModel& calls, session::Workspace& workspace, ExplorerServices services,
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

  // Whether the trees of the run followed are still being prepared (the
  // index, the recursion marks); also the "preparing" property.
  bool preparing() const { return preparing_; }

  CallersTreeModel& callersModel() { return *callers_; }
  RecursionMarkModel& marksModel() { return *marks_; }
  const session::Workspace& workspace() const { return workspace_; }
  GraphPane& graph() { return *graph_; }

  // The callers trees' budget: the runs' own, so that both trees stop alike.
  engine::TreeLimits limits{};

  QLineEdit* txtFind = nullptr;
  QCheckBox* chkWholeName = nullptr;
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
  // One of the two trees: its view, its model and the proxy between them
  // (the recursion marks of the call tree; null for the callers tree).
  struct TreePane {
    QTreeView* view = nullptr;
    NodeTreeModel* model = nullptr;
    QAbstractProxyModel* proxy = nullptr;
    engine::TreeKind kind = engine::TreeKind::Calls;
  };

  void say(QMessageBox::Icon icon, const QString& text, const QString& informative = {});
  void buildControls();
  void buildMenus();
  void onCallSelected(const QModelIndex& current);
  void onCallerSelected(const QModelIndex& current);
  void onGraphNodeClicked(engine::TreeKind kind, int node);
  void showCallers(int program, const QString& heading);
  // The file of the selected function, with its calls and callers counted,
  // and `note` when the tree cut its calls.
  void showDetails(const QString& path, const Text& name, const QString& note = {});
  // For node `node` of a tree: how its function's calls (callers) were cut
  // by the node budget, "" when they were not.
  static QString cutNote(const TreePane& pane, int node);
  void findFrom(bool forward);
  const TreePane& paneOf(const QTreeView* view) const;
  const TreePane& paneOf(engine::TreeKind kind) const;
  // The node of a view's index, and back.
  static int nodeAt(const TreePane& pane, const QModelIndex& index);
  static QModelIndex indexOf(const TreePane& pane, int node);
  void select(const TreePane& pane, int node);
  void openCallSite(const TreePane& pane, const QModelIndex& index);
  void openInEditor(const QString& path, int line);
  void showTreeMenu(QTreeView* view, const QPoint& at);
  bool refreshIndex();
  void setPreparing(bool on);

  CallTreeModel& calls_;
  session::Workspace& workspace_;
  ExplorerServices services_;
  RecursionMarkModel* marks_ = nullptr;
  CallersTreeModel* callers_ = nullptr;
  GraphPane* graph_ = nullptr;
  std::vector<Text> callersMessages_;  // of the callers tree shown
  TreePane callsPane_;
  TreePane callersPane_;
  const TreePane* lastPane_ = &callsPane_;  // the tree Find and Go to work on
  bool preparing_ = false;
  bool indexing_ = false;            // the index is being refreshed: not to be read
  QWidget* preparingBox_ = nullptr;  // in the status bar while preparing
};

}  // namespace korvath::gui
