#include "gui/explorer/explorer_window.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <new>

#include "engine/messages.h"
#include "gui/explorer/index_build.h"
#include "gui/graph/graph_pane.h"
#include "gui/models/call_tree_model.h"
#include "gui/models/callers_tree_model.h"
#include "gui/models/recursion_mark_model.h"
#include "gui/widgets/export_file.h"
#include "gui/widgets/qt_text.h"
#include "session/listed_paths.h"
#include "session/message_tally.h"

namespace korvath::gui {
namespace {

class TallySink final : public engine::MessageSink {
 public:
  void ShowMessage(engine::MessageIcon /*icon*/, const Text& text) override { tally.Add(text); }
  session::MessageTally tally;
};

QString Functions(std::size_t count) { return Counted(count, "function", "functions"); }

QTreeView* MakeTreeView(QWidget* parent, const char* name) {
  auto* view = new QTreeView(parent);
  view->setObjectName(QLatin1String(name));
  view->setHeaderHidden(true);
  view->setUniformRowHeights(true);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  view->header()->setStretchLastSection(false);
  view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  return view;
}

}  // namespace

ExplorerWindow::ExplorerWindow(CallTreeModel& calls, platform::FileSystem& fs,
                               const session::Settings& settings, ExplorerServices services,
                               QWidget* parent)
    : QMainWindow(parent, Qt::Window),
      calls_(calls),
      fs_(fs),
      settings_(settings),
      services_(std::move(services)) {
  setObjectName(QStringLiteral("frmExplorer"));
  setWindowTitle(QStringLiteral("Korvath Explorer"));
  marks_ = new RecursionMarkModel(calls, this);
  marks_->setMarkIcon(style()->standardIcon(QStyle::SP_BrowserReload));
  callers_ = new CallersTreeModel(this);
  buildControls();
  buildMenus();
  // A new run replaces the tree: its callers go with it until the next
  // selection.
  connect(&calls, &QAbstractItemModel::modelReset, this, [this] { showCallers(-1, {}); });
  resize(1200, 760);
}

ExplorerWindow::~ExplorerWindow() = default;

void ExplorerWindow::buildControls() {
  auto* client = new QWidget(this);
  auto* layout = new QVBoxLayout(client);
  auto* findRow = new QHBoxLayout;
  auto* findLabel = new QLabel(QStringLiteral("Fi&nd:"), client);
  txtFind = new QLineEdit(client);
  txtFind->setObjectName(QStringLiteral("txtFind"));
  txtFind->setPlaceholderText(QStringLiteral("Text of a node, in the tree last used"));
  txtFind->setClearButtonEnabled(true);
  findLabel->setBuddy(txtFind);
  auto* next = new QPushButton(QStringLiteral("Next"), client);
  auto* previous = new QPushButton(QStringLiteral("Previous"), client);
  findRow->addWidget(findLabel);
  findRow->addWidget(txtFind, 1);
  findRow->addWidget(next);
  findRow->addWidget(previous);
  layout->addLayout(findRow);

  // The trees one above the other, the picture beside them.
  auto* across = new QSplitter(Qt::Horizontal, client);
  auto* splitter = new QSplitter(Qt::Vertical, across);
  trvCalls = MakeTreeView(splitter, "trvCalls");
  trvCalls->setModel(marks_);
  auto* callersPane = new QWidget(splitter);
  auto* callersLayout = new QVBoxLayout(callersPane);
  callersLayout->setContentsMargins(0, 0, 0, 0);
  lblCallers = new QLabel(QStringLiteral("Callers"), callersPane);
  lblCallers->setObjectName(QStringLiteral("lblCallers"));
  lblCallers->setWordWrap(true);
  trvCallers = MakeTreeView(callersPane, "trvCallers");
  trvCallers->setModel(callers_);
  callersLayout->addWidget(lblCallers);
  callersLayout->addWidget(trvCallers, 1);
  splitter->addWidget(trvCalls);
  splitter->addWidget(callersPane);
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 2);
  graph_ = new GraphPane(across);
  across->addWidget(splitter);
  across->addWidget(graph_);
  across->setStretchFactor(0, 2);
  across->setStretchFactor(1, 3);
  layout->addWidget(across, 1);

  lblDetails = new QLabel(client);
  lblDetails->setObjectName(QStringLiteral("lblDetails"));
  lblDetails->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(lblDetails);
  setCentralWidget(client);
  lastTree_ = trvCalls;

  connect(txtFind, &QLineEdit::returnPressed, this, &ExplorerWindow::findNext);
  connect(next, &QPushButton::clicked, this, &ExplorerWindow::findNext);
  connect(previous, &QPushButton::clicked, this, &ExplorerWindow::findPrevious);
  connect(trvCalls->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &ExplorerWindow::onCallSelected);
  connect(trvCallers->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &ExplorerWindow::onCallerSelected);
  // Each tree's picture follows the tree, and selections go both ways.
  graph_->setTree(engine::TreeKind::Calls, calls_.nodes());
  graph_->setTree(engine::TreeKind::Callers, callers_->nodes());
  connect(&calls_, &QAbstractItemModel::modelReset, graph_,
          [this] { graph_->setTree(engine::TreeKind::Calls, calls_.nodes()); });
  connect(callers_, &QAbstractItemModel::modelReset, graph_,
          [this] { graph_->setTree(engine::TreeKind::Callers, callers_->nodes()); });
  connect(graph_, &GraphPane::nodeClicked, this, &ExplorerWindow::onGraphNodeClicked);
  for (QTreeView* view : {trvCalls, trvCallers}) {
    connect(view, &QTreeView::activated, this, &ExplorerWindow::openCallSite);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint& at) { showTreeMenu(view, at); });
  }
}

void ExplorerWindow::buildMenus() {
  QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
  mnuFileExportCallers = mnuFile->addAction(QStringLiteral("Export &callers tree..."));
  mnuFileExportList = mnuFile->addAction(QStringLiteral("Export file &list..."));
  mnuFileExportPicture = mnuFile->addAction(QStringLiteral("Export &picture..."));
  mnuFileExportPicture->setEnabled(GraphPane::available());
  mnuFile->addSeparator();
  mnuFileClose = mnuFile->addAction(QStringLiteral("&Close"));
  mnuFileClose->setShortcut(QKeySequence::Close);
  QMenu* mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
  mnuEditFind = mnuEdit->addAction(QStringLiteral("&Find..."));
  mnuEditFind->setShortcut(QKeySequence::Find);
  mnuEditFindNext = mnuEdit->addAction(QStringLiteral("Find &next"));
  mnuEditFindNext->setShortcut(QKeySequence(Qt::Key_F3));
  mnuEditFindPrevious = mnuEdit->addAction(QStringLiteral("Find &previous"));
  mnuEditFindPrevious->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
  mnuEdit->addSeparator();
  mnuEditGoTo = mnuEdit->addAction(QStringLiteral("&Go to expanded node"));
  mnuEditGoTo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));

  QMenu* mnuView = menuBar()->addMenu(QStringLiteral("&View"));
  mnuViewFitPicture = mnuView->addAction(QStringLiteral("&Fit picture"));
  mnuViewFitPicture->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
  mnuViewFitPicture->setEnabled(GraphPane::available());
  connect(mnuViewFitPicture, &QAction::triggered, graph_, &GraphPane::fitPicture);

  connect(mnuFileExportCallers, &QAction::triggered, this, &ExplorerWindow::exportCallers);
  connect(mnuFileExportList, &QAction::triggered, this, &ExplorerWindow::exportFileList);
  connect(mnuFileExportPicture, &QAction::triggered, this, &ExplorerWindow::exportPicture);
  connect(mnuFileClose, &QAction::triggered, this, &QWidget::close);
  connect(mnuEditFind, &QAction::triggered, this, &ExplorerWindow::find);
  connect(mnuEditFindNext, &QAction::triggered, this, &ExplorerWindow::findNext);
  connect(mnuEditFindPrevious, &QAction::triggered, this, &ExplorerWindow::findPrevious);
  connect(mnuEditGoTo, &QAction::triggered, this, &ExplorerWindow::goToExpandedNode);
}

bool ExplorerWindow::refreshIndex() {
  try {
    const platform::Result built = BuildIndex(this, index_, fs_, settings_.pathdefFile);
    indexed_ = built.ok();
    if (built.status == platform::Status::NoSearchPath) {
      services_.showMessage(this, QMessageBox::Critical,
                            ToQString(engine::messages::kPathdefNotFound));
    }
  } catch (const std::bad_alloc&) {
    indexed_ = false;
    services_.showMessage(this, QMessageBox::Critical,
                          QStringLiteral("Not enough memory to index the search path."));
  }
  return indexed_;
}

void ExplorerWindow::followRun() {
  if (calls_.nodeCount() == 0) {
    showCallers(-1, {});
    lblDetails->clear();
    return;
  }
  refreshIndex();
  trvCalls->expand(marks_->index(0, 0));
  const QModelIndex current = trvCalls->currentIndex();
  if (current.isValid()) {
    onCallSelected(current);
  } else {
    showCallersOf(1);
  }
}

void ExplorerWindow::showCallersOf(int node) {
  select(trvCalls, calls_, node);
  trvCalls->setFocus();
}

int ExplorerWindow::programOf(const QString& path) const {
  return indexed_ && !path.isEmpty() ? index_.index().ProgramAt(ToText(path)) : -1;
}

void ExplorerWindow::onCallSelected(const QModelIndex& current) {
  lastTree_ = trvCalls;
  const int node = calls_.nodeOf(marks_->mapToSource(current));
  if (node == 0) return;
  graph_->selectNode(engine::TreeKind::Calls, node);
  const QString path = calls_.filePathOf(node);
  showCallers(programOf(path), ToQString(calls_.nodes().Name(node)));
  showDetails(path);
}

void ExplorerWindow::onCallerSelected(const QModelIndex& current) {
  lastTree_ = trvCallers;
  const int node = callers_->nodeOf(current);
  if (node == 0) return;
  graph_->selectNode(engine::TreeKind::Callers, node);
  showDetails(callers_->filePathOf(node));
}

void ExplorerWindow::onGraphNodeClicked(engine::TreeKind kind, int node) {
  if (kind == engine::TreeKind::Callers) {
    select(trvCallers, *callers_, node);
  } else {
    select(trvCalls, calls_, node);
  }
}

void ExplorerWindow::showCallers(int program, const QString& heading) {
  callersMessages_.clear();
  if (program < 0) {
    callers_->clear();
    lblCallers->setText(heading.isEmpty() ? QStringLiteral("Callers")
                                          : QStringLiteral("Callers of %1: not indexed").arg(heading));
    return;
  }
  TallySink messages;
  callers_->build(index_.index(), program, settings_.discards, messages);
  QString text = QStringLiteral("Callers of %1").arg(heading);
  for (const auto& [message, count] : messages.tally.Distinct()) {
    text += QStringLiteral(" (%1)").arg(ToQString(message));
  }
  lblCallers->setText(text);
  callersMessages_ = messages.tally.All();
  trvCallers->expand(callers_->indexOfNode(1));
}

void ExplorerWindow::showDetails(const QString& path) {
  const int program = programOf(path);
  QString text = QDir::toNativeSeparators(path);
  if (program >= 0) {
    const auto& p = index_.index().Programs()[static_cast<std::size_t>(program)];
    text += QStringLiteral(" — calls %1, called by %2")
                .arg(Functions(p.callees.size()), Functions(p.callers.size()));
  }
  lblDetails->setText(text);
}

void ExplorerWindow::find() {
  txtFind->setFocus();
  txtFind->selectAll();
}

void ExplorerWindow::findNext() { findFrom(true); }
void ExplorerWindow::findPrevious() { findFrom(false); }

void ExplorerWindow::findFrom(bool forward) {
  const QString needle = txtFind->text();
  if (needle.isEmpty()) {
    find();
    return;
  }
  QTreeView* view = lastTree_;
  const NodeTreeModel& model =
      view == trvCallers ? static_cast<const NodeTreeModel&>(*callers_) : calls_;
  const int from = view == trvCallers ? callers_->nodeOf(view->currentIndex())
                                      : calls_.nodeOf(marks_->mapToSource(view->currentIndex()));
  const int found = model.findNode(needle, from, forward);
  if (found == 0) {
    statusBar()->showMessage(QStringLiteral("\"%1\" is in no node of this tree").arg(needle));
    return;
  }
  statusBar()->clearMessage();
  select(view, model, found);
}

// Expands the node's ancestors, then makes it current and visible.
void ExplorerWindow::select(QTreeView* view, const NodeTreeModel& model, int node) {
  QModelIndex index = model.indexOfNode(node);
  if (view == trvCalls) index = marks_->mapFromSource(index);
  if (!index.isValid()) return;
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) view->expand(up);
  view->setCurrentIndex(index);
  view->scrollTo(index, QAbstractItemView::PositionAtCenter);
  // Deep nodes are indented far to the right: bring the text into view
  // too, once the view has laid the expanded rows out.
  QTimer::singleShot(0, view, [view, at = QPersistentModelIndex(index)] {
    const QRect shown = view->visualRect(at);
    QScrollBar* across = view->horizontalScrollBar();
    if (shown.isValid() && (shown.left() < 0 || shown.left() > view->viewport()->width() / 2)) {
      across->setValue(across->value() + shown.left() - view->indentation());
    }
  });
}

int ExplorerWindow::expandedNodeIn(QTreeView* view, int node) const {
  return view == trvCallers ? callers_->expandedNodeOf(node) : calls_.expandedNodeOf(node);
}

void ExplorerWindow::goToExpandedNode() {
  QTreeView* view = lastTree_;
  const int node = view == trvCallers ? callers_->nodeOf(view->currentIndex())
                                      : calls_.nodeOf(marks_->mapToSource(view->currentIndex()));
  const int target = expandedNodeIn(view, node);
  if (target == 0) {
    statusBar()->showMessage(QStringLiteral("This node's calls are shown where it stands"));
    return;
  }
  if (view == trvCallers) {
    select(view, *callers_, target);
  } else {
    select(view, calls_, target);
  }
}

void ExplorerWindow::openCallSite(const QModelIndex& index) {
  QString path;
  int line = 1;
  const bool known = sender() == trvCallers
                         ? callers_->callSite(callers_->nodeOf(index), path, line)
                         : calls_.callSite(calls_.nodeOf(marks_->mapToSource(index)), path, line);
  if (known) services_.openInEditor(path, line);
}

void ExplorerWindow::showTreeMenu(QTreeView* view, const QPoint& at) {
  const QModelIndex index = view->indexAt(at);
  if (index.isValid()) view->setCurrentIndex(index);
  QMenu menu(this);
  menu.addAction(mnuEditGoTo);
  menu.addAction(mnuEditFind);
  menu.exec(view->viewport()->mapToGlobal(at));
}

void ExplorerWindow::exportCallers() {
  if (callers_->nodeCount() == 0) {
    services_.showMessage(this, QMessageBox::Information,
                          QStringLiteral("Select a function first: its callers are exported."));
    return;
  }
  QString format;
  const std::optional<QString> path = services_.saveTreeDialog(this, format);
  if (path && !WriteTreeFile(*path, format, callers_->nodes(), callersMessages_)) {
    services_.showMessage(this, QMessageBox::Critical, CannotWriteMessage(*path));
  }
}

void ExplorerWindow::exportFileList() {
  const std::optional<QString> path = services_.saveListDialog(this);
  if (!path) return;
  const std::vector<Text> files =
      session::FoundFiles(calls_.filePaths(), session::ListedPaths(settings_.pathdefFile, false));
  if (!WritePathsFile(*path, files)) {
    services_.showMessage(this, QMessageBox::Critical, CannotWriteMessage(*path));
  }
}

void ExplorerWindow::exportPicture() {
  if (graph_->shownGraph().functions.empty()) {
    services_.showMessage(this, QMessageBox::Information,
                          QStringLiteral("No picture is drawn, so there is nothing to export."));
    return;
  }
  QString format;
  const std::optional<QString> path = services_.savePictureDialog(this, format);
  if (path && !graph_->exportPicture(*path, format)) {
    services_.showMessage(this, QMessageBox::Critical, CannotWriteMessage(*path));
  }
}

}  // namespace korvath::gui
