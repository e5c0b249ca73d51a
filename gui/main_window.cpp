#include "gui/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeView>
#include <new>

#include "engine/messages.h"
#include "engine/tree_writers.h"
#include "gui/about/about_box.h"
#include "gui/about/program_icon.h"
#include "gui/editor_launcher.h"
#include "gui/explorer/explorer_window.h"
#include "gui/message_box_sink.h"
#include "gui/models/call_tree_model.h"
#include "gui/progress_window.h"
#include "gui/widgets/export_file.h"
#include "gui/widgets/file_filter.h"
#include "gui/widgets/message_box.h"
#include "gui/widgets/plain_button.h"
#include "gui/widgets/qt_text.h"
#include "gui/widgets/twips.h"
#include "platform/host.h"
#include "session/messages.h"

namespace korvath::gui {

MainWindowServices MainWindowServices::desktop() {
  MainWindowServices s;
  s.openFileDialog = [](QWidget* parent, const QString& filter) {
    return ChooseFileToOpen(parent, QString(), filter);
  };
  s.saveFileDialog = [](QWidget* parent, const QString& title, session::OutputFormat& format) {
    return ChooseTreeExportFile(parent, title, format);
  };
  s.saveListDialog = [](QWidget* parent) {
    return ChooseListExportFile(parent, QStringLiteral("Export file list"));
  };
  s.savePictureDialog = [](QWidget* parent, const QString& suggested,
                           session::OutputFormat& format) {
    return ChoosePictureExportFile(parent, QStringLiteral("Export picture"), suggested, format);
  };
  s.showMessage = [](QWidget* parent, QMessageBox::Icon icon, const QString& text,
                     const QString& informative) {
    ShowMessageBox(parent, icon, text, informative);
  };
  s.openInEditor = [](const QString& path, int line) { return OpenInEditor(path, line); };
  s.askYesNo = [](QWidget* parent, const QString& question) {
    return QMessageBox::question(parent, ToQString(engine::messages::kApplicationTitle),
                                 question) == QMessageBox::Yes;
  };
  s.showAbout = [](QWidget* parent) {
    AboutBox box(parent);
    box.exec();
  };
  s.endProgram = [] { QCoreApplication::exit(0); };
  return s;
}

MainWindow::MainWindow(platform::FileSystem& fs, MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), workspace_(fs), services_(std::move(services)) {
  setWindowTitle(QStringLiteral("Korvath"));
  setWindowIcon(ProgramIcon());
  model_ = new CallTreeModel(workspace_, this);
  model_->setIcon(QIcon(ProgramIconPixmap(16)));
  buildControls();
  buildMenus();
  txtFileName->setFocus();
}

MainWindow::~MainWindow() {
  if (frmOptions_) delete frmOptions_.data();
  // The explorer and the model follow the workspace's runs: they go before
  // the workspace, not after it with the other children.
  delete explorer_;
  delete model_;
}

void MainWindow::say(QMessageBox::Icon icon, const QString& text, const QString& informative) {
  services_.showMessage(this, icon, text, informative);
}

void MainWindow::buildControls() {
  auto* client = new QWidget(this);
  client->setFixedSize(Twips(5145), Twips(5940));
  setCentralWidget(client);

  frame1 =
      Placed(new QGroupBox(QStringLiteral("File name"), client), "Frame1", 120, 120, 4935, 975);
  txtFileName = Placed(new QLineEdit(frame1), "txtFileName", 240, 360, 3855, 375);
  cmdOpenFile =
      Placed(new PlainButton(QStringLiteral("..."), frame1), "cmdOpenFile", 4320, 360, 375, 375);

  trvFiles = Placed(new QTreeView(client), "trvFiles", 120, 1320, 4935, 3735);
  trvFiles->setModel(model_);
  trvFiles->setHeaderHidden(true);
  trvFiles->setUniformRowHeights(true);
  trvFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // A double-click opens the editor (activated); it does not also fold.
  trvFiles->setExpandsOnDoubleClick(false);
  trvFiles->setContextMenuPolicy(Qt::CustomContextMenu);
  trvFiles->header()->setStretchLastSection(false);
  trvFiles->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

  cmdExit =
      Placed(new PlainButton(QStringLiteral("&Exit"), client), "cmdExit", 3720, 5280, 1335, 495);
  cmdParse =
      Placed(new PlainButton(QStringLiteral("&Parse"), client), "cmdParse", 2040, 5280, 1335, 495);

  setTabOrder(txtFileName, cmdOpenFile);
  setTabOrder(cmdOpenFile, trvFiles);
  setTabOrder(trvFiles, cmdExit);
  setTabOrder(cmdExit, cmdParse);

  connect(txtFileName, &QLineEdit::returnPressed, this, &MainWindow::parse);
  connect(cmdParse, &QPushButton::clicked, this, &MainWindow::parse);
  connect(cmdOpenFile, &QPushButton::clicked, this, &MainWindow::chooseStartFile);
  connect(cmdExit, &QPushButton::clicked, this, &MainWindow::exitProgram);
  connect(trvFiles, &QTreeView::activated, this, &MainWindow::openCallSite);
  connect(trvFiles, &QWidget::customContextMenuRequested, this, &MainWindow::showTreeMenu);
  trvFiles->installEventFilter(this);
  txtFileName->installEventFilter(this);

  // The window may be resized; the controls keep their places.
  adjustSize();
}

void MainWindow::buildMenus() {
  QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
  mnuFileOpen = mnuFile->addAction(QStringLiteral("&Open..."));
  mnuFileExport = mnuFile->addAction(QStringLiteral("Export &tree..."));
  mnuFileExplore = mnuFile->addAction(QStringLiteral("E&xplore..."));
  mnuFileExplore->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  mnuFile->addSeparator();
  mnuFileExit = mnuFile->addAction(QStringLiteral("&Exit"));
  QMenu* mnuOptions = menuBar()->addMenu(QStringLiteral("&Options"));
  mnuOptionsOptions = mnuOptions->addAction(QStringLiteral("&Options..."));
  QMenu* mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
  mnuHelpAbout = mnuHelp->addAction(QStringLiteral("&About..."));

  mnuFileOpen->setObjectName(QStringLiteral("mnuFileOpen"));
  mnuFileExport->setObjectName(QStringLiteral("mnuFileExport"));
  mnuFileExport->setEnabled(false);  // until there is a tree
  mnuFileExplore->setObjectName(QStringLiteral("mnuFileExplore"));
  mnuFileExit->setObjectName(QStringLiteral("mnuFileExit"));
  mnuOptionsOptions->setObjectName(QStringLiteral("mnuOptionsOptions"));
  mnuHelpAbout->setObjectName(QStringLiteral("mnuHelpAbout"));
  connect(mnuFileOpen, &QAction::triggered, this, &MainWindow::chooseStartFile);
  connect(mnuFileExport, &QAction::triggered, this, &MainWindow::exportTree);
  connect(mnuFileExplore, &QAction::triggered, this, &MainWindow::explore);
  connect(mnuFileExit, &QAction::triggered, this, &MainWindow::exitProgram);
  connect(mnuOptionsOptions, &QAction::triggered, this, &MainWindow::showOptions);
  connect(mnuHelpAbout, &QAction::triggered, this, &MainWindow::showAbout);
}

OptionsDialog* MainWindow::makeOptionsDialog() {
  auto* dialog = new OptionsDialog(workspace_.settings(), this);
  if (services_.optionsFileChooser) dialog->setFileChooser(services_.optionsFileChooser);
  return dialog;
}

void MainWindow::load(const Text& fallbackDirectory) {
  frmOptions_ = makeOptionsDialog();
  // Start-up shows nothing: unusable settings leave the path empty.
  static_cast<void>(workspace_.LoadSettings(fallbackDirectory));
  frmOptions_->txtMatlabDirectory->setText(ToQString(workspace_.settings().configuredPathdef));
}

// The splash closes itself a few seconds after it gets the focus and handles
// nothing while it waits: a window shown meanwhile could not paint.
void MainWindow::showAfter(QWidget* splash) {
  connect(splash, &QObject::destroyed, this, &QWidget::show);
}

void MainWindow::parse() {
  // A message box shown during a run lets events through; a second run must
  // not start inside the first.
  if (running_) return;
  running_ = true;
  try {
    runParse();
  } catch (const std::bad_alloc&) {
    // Everything the run held is freed by now; the previous tree stays.
    say(QMessageBox::Critical, ToQString(session::messages::kRunOutOfMemory));
  }
  mnuFileExport->setEnabled(model_->nodeCount() > 0);
  ++runCount_;
  running_ = false;
  if (explorer_ != nullptr && explorer_->isVisible()) {
    explorer_->limits = limits;
    explorer_->followRun();
  }
}

void MainWindow::runParse() {
  ProgressWindow progress(this);
  progress.captionObserver = services_.captionObserver;
  MessageBoxSink messages([this](QMessageBox::Icon icon, const QString& text) {
    // Without a search path nothing can run: say which file was looked for.
    const bool noPathdef = text == ToQString(engine::messages::kPathdefNotFound);
    say(icon, text, noPathdef ? PathdefHelp(pathdefLookedFor()) : QString());
  });
  // The window keeps showing the previous tree until the run is over; a
  // run without a search path leaves it.
  const platform::Result outcome =
      workspace_.Run(ToText(txtFileName->text()), progress, messages, limits);
  const Text warnings = session::messages::RunWarnings(workspace_.lastRun().unlistable,
                                                       workspace_.lastRun().unreadable);
  if (outcome.status != platform::Status::NoSearchPath && !warnings.empty()) {
    say(QMessageBox::Warning, ToQString(warnings));
  }
}

QString MainWindow::pathdefLookedFor() {
  return ToQString(workspace_.AbsolutePath(workspace_.settings().pathdefFile));
}

void MainWindow::chooseStartFile() {
  if (running_) return;
  const std::optional<QString> chosen = services_.openFileDialog(
      this, QtFileFilter(QStringLiteral("m-Files (*.m)|*.m|All Files (*.*)|*.*")));
  if (chosen) {
    lastChosenFile_ = *chosen;
    // As the Windows dialog does: the chosen file's folder becomes current,
    // which is what makes the file findable by its bare name.
    const QString folder = QFileInfo(*chosen).absolutePath();
    if (const platform::Result moved = workspace_.files().SetCurrentDirectory(ToText(folder));
        !moved) {
      // The run may still find the file on the search path.
      say(QMessageBox::Warning, QStringLiteral("Cannot change to the folder %1: %2")
                                    .arg(folder, QString::fromStdString(moved.description)));
    }
  }
  txtFileName->setText(lastChosenFile_);
  if (!txtFileName->text().isEmpty()) parse();
}

void MainWindow::exitProgram() { services_.endProgram(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  services_.endProgram();
}

void MainWindow::showOptions() {
  if (!frmOptions_) frmOptions_ = makeOptionsDialog();
  frmOptions_->show();
  frmOptions_->raise();
  frmOptions_->activateWindow();
}

void MainWindow::showAbout() { services_.showAbout(this); }

void MainWindow::exportTree() {
  session::OutputFormat format = session::OutputFormat::Text;
  const std::optional<QString> path =
      services_.saveFileDialog(this, QStringLiteral("Export tree"), format);
  if (!path) return;
  const platform::Result written = workspace_.ExportToFile(ToText(*path), format, model_->nodes(),
                                                           engine::TreeKind::Calls, lastMessages());
  if (!written) say(QMessageBox::Critical, CannotWriteMessage(*path, written));
}

void MainWindow::explore() {
  if (explorer_ == nullptr) {
    ExplorerServices s;
    s.saveTreeDialog = services_.saveFileDialog;
    s.saveListDialog = services_.saveListDialog;
    s.savePictureDialog = services_.savePictureDialog;
    s.showMessage = services_.showMessage;
    s.openInEditor = services_.openInEditor;
    explorer_ = new ExplorerWindow(*model_, workspace_, std::move(s), this);
  }
  explorer_->limits = limits;
  const bool shown = explorer_->isVisible();
  explorer_->show();
  explorer_->raise();
  explorer_->activateWindow();
  if (!shown) explorer_->followRun();
}

void MainWindow::showCallers(int node) {
  explore();
  explorer_->showCallersOf(node);
}

void MainWindow::findInExplorer() {
  explore();
  explorer_->find();
}

void MainWindow::expandAll() { trvFiles->expandAll(); }

void MainWindow::collapseAll() { trvFiles->collapseAll(); }

namespace {

struct TextSize {
  int lines = 0;
  std::size_t characters = 0;
};

// The size of IndentedSubtreeText(tree, node), without making it: each label
// key's length is found once.
TextSize SubtreeTextSize(const engine::NodeTree& tree, int node) {
  TextSize size;
  std::vector<std::size_t> labelLength(tree.LabelKeys(), 0);  // 0: not known yet
  std::vector<int> depth{0};
  Text label;
  for (int n = node; n <= tree.Count(); ++n) {
    if (n != node) {
      const int parent = tree.Parent(n);
      if (parent < node) break;
      depth.push_back(depth[static_cast<std::size_t>(parent - node)] + 1);
    }
    std::size_t& length = labelLength[tree.LabelKey(n)];
    if (length == 0) {
      label.clear();
      tree.AppendLabel(n, label);
      length = label.size() + 1;  // with the newline
    }
    ++size.lines;
    size.characters += 2 * static_cast<std::size_t>(depth.back()) + length;
  }
  return size;
}

}  // namespace

void MainWindow::copySubtree(int node) {
  if (node <= 0 || node > model_->nodeCount()) return;
  const TextSize size = SubtreeTextSize(model_->nodes(), node);
  if (size.lines > copyWithoutAsking) {
    const QLocale numbers(QLocale::English);
    const auto bytes = static_cast<double>(size.characters);  // of UTF-8, for names in ASCII
    const QString amount = bytes < 1e3 ? QStringLiteral("%1 bytes").arg(size.characters)
                           : bytes < 1e6
                               ? QStringLiteral("%1 KB").arg(numbers.toString(bytes / 1e3, 'f', 0))
                               : QStringLiteral("%1 MB").arg(numbers.toString(bytes / 1e6, 'f', 0));
    const QString question = QStringLiteral("Copy %1 lines, %2 of text, to the clipboard?")
                                 .arg(numbers.toString(size.lines), amount);
    if (!services_.askYesNo(this, question)) return;
  }
  QGuiApplication::clipboard()->setText(
      ToQString(engine::IndentedSubtreeText(model_->nodes(), node)));
}

void MainWindow::openCallSite(const QModelIndex& index) {
  QString path;
  int line = 1;
  if (!model_->callSite(model_->nodeOf(index), path, line)) return;
  if (const platform::Result opened = services_.openInEditor(path, line); !opened) {
    say(QMessageBox::Warning, QString::fromStdString(opened.description));
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // The line edit takes Ctrl+E for "end of line" on X11; End does that too,
  // and the explorer's shortcut must work wherever the focus is.
  if (watched == txtFileName && event->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (QKeySequence(key->keyCombination()) == mnuFileExplore->shortcut()) {
      event->ignore();
      return true;
    }
  }
  // Shift+F10 is the keyboard's way to the tree's context menu, at the
  // current node.
  if (watched == trvFiles && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
      const QRect current = trvFiles->visualRect(trvFiles->currentIndex());
      showTreeMenu(current.isValid() ? current.center() : QPoint(0, 0));
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::showTreeMenu(const QPoint& at) {
  const QModelIndex index = trvFiles->indexAt(at);
  QMenu menu(this);
  QAction* expand = menu.addAction(QStringLiteral("&Expand all"));
  QAction* collapse = menu.addAction(QStringLiteral("&Collapse all"));
  // A row saying calls were cut stands for no node.
  const bool onNode = model_->nodeOf(index) != 0;
  QAction* copy = menu.addAction(QStringLiteral("C&opy"));
  copy->setEnabled(onNode);
  menu.addSeparator();
  QAction* callers = menu.addAction(QStringLiteral("Show c&allers"));
  callers->setEnabled(onNode);
  QAction* find = menu.addAction(QStringLiteral("&Find..."));
  find->setEnabled(model_->nodeCount() > 0);
  QAction* chosen = menu.exec(trvFiles->viewport()->mapToGlobal(at));
  if (chosen == expand) {
    expandAll();
  } else if (chosen == collapse) {
    collapseAll();
  } else if (chosen == copy && onNode) {
    copySubtree(model_->nodeOf(index));
  } else if (chosen == callers && onNode) {
    showCallers(model_->nodeOf(index));
  } else if (chosen == find) {
    findInExplorer();
  }
}

}  // namespace korvath::gui
