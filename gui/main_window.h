#pragma once
// The main window: the start file's name, Parse, and the call tree.

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <functional>
#include <optional>

#include "engine/call_tree.h"
#include "gui/options/options_dialog.h"
#include "platform/file_system.h"
#include "session/output_format.h"
#include "session/workspace.h"

class QAction;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace korvath::gui {

class CallTreeModel;
class ExplorerWindow;

// What the window asks of the desktop; tests replace these.
struct MainWindowServices {
  // An Open dialog with the given filter; nullopt when cancelled.
  std::function<std::optional<QString>(QWidget* parent, const QString& filter)> openFileDialog;
  // A Save dialog titled `title` for a tree; nullopt when cancelled.
  // `format` receives text, json or dot.
  std::function<std::optional<QString>(QWidget* parent, const QString& title,
                                       session::OutputFormat& format)>
      saveFileDialog;
  // A Save dialog for the explorer's file list.
  std::function<std::optional<QString>(QWidget* parent)> saveListDialog;
  // A Save dialog for the explorer's picture offering `suggested` as the
  // file's name; `format` receives svg or png.
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
  // A question with Yes and No; true for Yes.
  std::function<bool(QWidget* parent, const QString& question)> askYesNo;
  std::function<void(QWidget* parent)> showAbout;
  std::function<void()> endProgram;
  OptionsDialog::FileChooser optionsFileChooser;
  // Every progress caption of a run, in order.
  std::function<void(const QString&)> captionObserver;

  static MainWindowServices desktop();
};

class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  // `fs` is the workspace's: its current directory is the session's folder.
  MainWindow(platform::FileSystem& fs, MainWindowServices services, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Start-up: the options dialog loaded hidden, the settings and the discard
  // list read (with the fallback directory). Never shows a message.
  void load(const Text& fallbackDirectory);
  // Shows the window once `splash` (deleted on close) has gone.
  void showAfter(QWidget* splash);

  void parse();
  void chooseStartFile();
  void exitProgram();
  void showOptions();
  void showAbout();
  void exportTree();
  // The explorer, made when first needed, shown over the current run.
  void explore();
  // The explorer with node `node` of the tree selected and its callers.
  void showCallers(int node);
  // The explorer with its Find box ready.
  void findInExplorer();
  // The tree menu's Expand all and Collapse all.
  void expandAll();
  void collapseAll();
  // The tree menu's Copy: node `node` and its subtree as indented text, after
  // asking when that is above copyWithoutAsking lines.
  void copySubtree(int node);
  ExplorerWindow* explorer() const { return explorer_; }

  session::Workspace& workspace() { return workspace_; }
  session::Settings& settings() { return workspace_.settings(); }
  CallTreeModel& model() { return *model_; }
  OptionsDialog* options() const { return frmOptions_; }
  int runCount() const { return runCount_; }
  const std::vector<Text>& lastMessages() const { return workspace_.lastRun().messages.All(); }

  // Depth and node budget of the tree (tests use small ones).
  engine::TreeLimits limits{};
  // Copy asks first above this many lines (tests use small ones).
  int copyWithoutAsking = 100'000;

  QGroupBox* frame1 = nullptr;
  QLineEdit* txtFileName = nullptr;
  QPushButton* cmdOpenFile = nullptr;
  QTreeView* trvFiles = nullptr;
  QPushButton* cmdExit = nullptr;
  QPushButton* cmdParse = nullptr;
  QAction* mnuFileOpen = nullptr;
  QAction* mnuFileExport = nullptr;
  QAction* mnuFileExplore = nullptr;
  QAction* mnuFileExit = nullptr;
  QAction* mnuOptionsOptions = nullptr;
  QAction* mnuHelpAbout = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void say(QMessageBox::Icon icon, const QString& text, const QString& informative = {});
  void buildControls();
  void buildMenus();
  OptionsDialog* makeOptionsDialog();
  void runParse();
  // The pathdef file a run reads, made absolute; empty when none is set.
  QString pathdefLookedFor();
  void openCallSite(const QModelIndex& index);
  void showTreeMenu(const QPoint& at);

  session::Workspace workspace_;
  MainWindowServices services_;
  CallTreeModel* model_ = nullptr;
  QPointer<OptionsDialog> frmOptions_;
  ExplorerWindow* explorer_ = nullptr;
  QString lastChosenFile_;  // the open-file dialog's name, kept after a cancel
  bool running_ = false;
  int runCount_ = 0;
};

}  // namespace korvath::gui
