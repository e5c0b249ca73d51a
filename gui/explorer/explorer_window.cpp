#include "gui/explorer/explorer_window.h"

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <new>

#include "engine/messages.h"
#include "gui/explorer/index_build.h"
#include "gui/graph/graph_pane.h"
#include "gui/models/call_tree_model.h"
#include "gui/models/callers_tree_model.h"
#include "gui/models/recursion_mark_model.h"
#include "gui/widgets/export_file.h"
#include "gui/widgets/message_box.h"
#include "gui/widgets/qt_text.h"
#include "session/message_tally.h"
#include "session/messages.h"

namespace korvath::gui {
namespace {

class TallySink final : public engine::MessageSink {
 public:
  void ShowMessage(engine::MessageIcon /*icon*/, const Text& text) override { tally.Add(text); }
  session::MessageTally tally;
};

QString Functions(std::size_t count) {
  return ToQString(session::messages::Counted(count, u"function", u"functions"));
}

// What a tree of this kind lists under each function.
QString RelationOf(engine::TreeKind kind) {
  return kind == engine::TreeKind::Callers ? QStringLiteral("callers") : QStringLiteral("calls");
}

QTreeView* MakeTreeView(QWidget* parent, const char* name) {
  auto* view = new QTreeView(parent);
  view->setObjectName(QLatin1String(name));
  view->setHeaderHidden(true);
  view->setUniformRowHeights(true);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // A double-click opens the editor (activated); it does not also fold.
  view->setExpandsOnDoubleClick(false);
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  view->header()->setStretchLastSection(false);
  view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  return view;
}

}  // namespace

ExplorerWindow::ExplorerWindow(CallTreeModel& calls, session::Workspace& workspace,
                               ExplorerServices services, QWidget* parent)
    : QMainWindow(parent, Qt::Window),
      calls_(calls),
      workspace_(workspace),
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
  connect(marks_, &RecursionMarkModel::marked, this, [this] { setPreparing(false); });
  resize(1200, 760);
}

void ExplorerWindow::setPreparing(bool on) {
  on = on && !marks_->ready();
  if (on == preparing_) return;
  preparing_ = on;
  setProperty("preparing", on);
  if (preparingBox_ == nullptr) {
    preparingBox_ = new QWidget(this);
    auto* row = new QHBoxLayout(preparingBox_);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("Preparing the call tree..."), preparingBox_));
    auto* bar = new QProgressBar(preparingBox_);
    bar->setRange(0, 0);  // how far is not known: it moves while busy
    bar->setMaximumWidth(160);
    row->addWidget(bar);
    statusBar()->addPermanentWidget(preparingBox_);
  }
  preparingBox_->setVisible(on);
}

ExplorerWindow::~ExplorerWindow() = default;

void ExplorerWindow::say(QMessageBox::Icon icon, const QString& text, const QString& informative) {
  services_.showMessage(this, icon, text, informative);
}

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
  chkWholeName = new QCheckBox(QStringLiteral("&Whole name"), client);
  chkWholeName->setObjectName(QStringLiteral("chkWholeName"));
  chkWholeName->setToolTip(QStringLiteral("Match the function's name exactly, not any text"));
  findRow->addWidget(chkWholeName);
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
  callsPane_ = TreePane{trvCalls, &calls_, marks_, engine::TreeKind::Calls};
  callersPane_ = TreePane{trvCallers, callers_, nullptr, engine::TreeKind::Callers};

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
  graph_->setCompletion([this](engine::CallGraph& graph, const engine::NodeTree& tree) {
    if (indexing_ || !workspace_.indexed()) return;
    const auto kind =
        &tree == &callers_->nodes() ? engine::TreeKind::Callers : engine::TreeKind::Calls;
    engine::AddCutCalls(graph, tree, workspace_.index(), kind);
  });
  for (const TreePane* pane : {&callsPane_, &callersPane_}) {
    connect(pane->view, &QTreeView::activated, this,
            [this, pane](const QModelIndex& index) { openCallSite(*pane, index); });
    connect(pane->view, &QWidget::customContextMenuRequested, this,
            [this, pane](const QPoint& at) { showTreeMenu(pane->view, at); });
  }
}

void ExplorerWindow::buildMenus() {
  QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
  mnuFileExportCallers = mnuFile->addAction(QStringLiteral("Export callers &tree..."));
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
    indexing_ = true;
    const platform::Result built = BuildIndex(this, workspace_);
    indexing_ = false;
    if (built.status == platform::Status::NoSearchPath) {
      say(QMessageBox::Critical, QString::fromStdString(built.description),
          PathdefHelp(ToQString(workspace_.AbsolutePath(workspace_.settings().pathdefFile))));
    } else if (built) {
      // What the index could not see, as a run would say it.
      statusBar()->showMessage(
          ToQString(session::messages::IndexWarnings(workspace_.index().Warnings())));
    }
  } catch (const std::bad_alloc&) {
    indexing_ = false;
    say(QMessageBox::Critical, ToQString(session::messages::kIndexOutOfMemory));
  }
  return workspace_.indexed();
}

void ExplorerWindow::followRun() {
  if (calls_.nodeCount() == 0) {
    showCallers(-1, {});
    lblDetails->clear();
    return;
  }
  // The recursion marks of a large tree are made on a thread of their own.
  setPreparing(true);
  refreshIndex();
  // The picture of a cut tree takes the calls it lacks from the index.
  if (calls_.nodes().NodeLimit() > 0) graph_->setTree(engine::TreeKind::Calls, calls_.nodes());
  trvCalls->expand(marks_->index(0, 0));
  const QModelIndex current = trvCalls->currentIndex();
  if (current.isValid()) {
    onCallSelected(current);
  } else {
    showCallersOf(1);
  }
}

void ExplorerWindow::showCallersOf(int node) {
  select(callsPane_, node);
  trvCalls->setFocus();
}

const ExplorerWindow::TreePane& ExplorerWindow::paneOf(const QTreeView* view) const {
  return view == trvCallers ? callersPane_ : callsPane_;
}

const ExplorerWindow::TreePane& ExplorerWindow::paneOf(engine::TreeKind kind) const {
  return kind == engine::TreeKind::Callers ? callersPane_ : callsPane_;
}

int ExplorerWindow::nodeAt(const TreePane& pane, const QModelIndex& index) {
  return pane.model->nodeOf(pane.proxy != nullptr ? pane.proxy->mapToSource(index) : index);
}

QModelIndex ExplorerWindow::indexOf(const TreePane& pane, int node) {
  const QModelIndex index = pane.model->indexOfNode(node);
  return pane.proxy != nullptr ? pane.proxy->mapFromSource(index) : index;
}

void ExplorerWindow::onCallSelected(const QModelIndex& current) {
  lastPane_ = &callsPane_;
  const int node = nodeAt(callsPane_, current);
  if (node == 0) return;
  graph_->selectNode(engine::TreeKind::Calls, node);
  const QString path = calls_.filePathOf(node);
  const Text name = calls_.nodes().Name(node);
  showCallers(workspace_.ProgramIn(ToText(path), name), ToQString(name));
  showDetails(path, name, cutNote(callsPane_, node));
}

QString ExplorerWindow::cutNote(const TreePane& pane, int node) {
  const NodeTreeModel& model = *pane.model;
  const int expanded = model.expandedNodeOf(node);
  const bool elsewhere = model.nodes().Repeated(node);
  const int shownAt = elsewhere ? expanded : node;
  const QString limit = ToQString(engine::messages::GroupedNumber(model.nodeLimit()));
  const QString what = RelationOf(pane.kind);
  if (elsewhere && expanded == 0) {
    return QStringLiteral("the tree shows none of its %1: it reached its limit of %2 nodes")
        .arg(what, limit);
  }
  const int cut = model.cutOf(shownAt);
  if (cut == 0) return {};
  return QStringLiteral("the tree leaves %1 of its %2 out: it reached its limit of %3 nodes")
      .arg(ToQString(engine::messages::GroupedNumber(cut)), what, limit);
}

void ExplorerWindow::onCallerSelected(const QModelIndex& current) {
  lastPane_ = &callersPane_;
  const int node = nodeAt(callersPane_, current);
  if (node == 0) return;
  graph_->selectNode(engine::TreeKind::Callers, node);
  showDetails(callers_->filePathOf(node), callers_->nodes().Name(node),
              cutNote(callersPane_, node));
}

// A function stands for all its nodes: the one its calls (callers) are
// shown at, not an "Also called by" leaf that comes first.
void ExplorerWindow::onGraphNodeClicked(engine::TreeKind kind, int node) {
  const TreePane& pane = paneOf(kind);
  const int expanded = pane.model->expandedNodeOf(node);
  select(pane, expanded != 0 ? expanded : node);
}

void ExplorerWindow::showCallers(int program, const QString& heading) {
  callersMessages_.clear();
  if (program < 0) {
    callers_->clear();
    lblCallers->setText(heading.isEmpty()
                            ? QStringLiteral("Callers")
                            : QStringLiteral("Callers of %1: not indexed").arg(heading));
    return;
  }
  TallySink messages;
  callers_->build(workspace_, program, messages, limits);
  QString text = QStringLiteral("Callers of %1").arg(heading);
  for (const auto& [message, count] : messages.tally.Distinct()) {
    text += QStringLiteral(" (%1)").arg(ToQString(message));
  }
  lblCallers->setText(text);
  callersMessages_ = messages.tally.All();
  trvCallers->expand(callers_->indexOfNode(1));
}

void ExplorerWindow::showDetails(const QString& path, const Text& name, const QString& note) {
  const int program = workspace_.ProgramIn(ToText(path), name);
  QString text = QDir::toNativeSeparators(path);
  if (program >= 0) {
    const auto& p = workspace_.index().Programs()[static_cast<std::size_t>(program)];
    text += QStringLiteral(" — calls %1, called by %2")
                .arg(Functions(p.callees.size()), Functions(p.callers.size()));
  }
  if (!note.isEmpty()) text += QStringLiteral(" — ") + note;
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
  const TreePane& pane = *lastPane_;
  const int from = nodeAt(pane, pane.view->currentIndex());
  const bool wholeName = chkWholeName->isChecked();
  const NodeTreeModel::Found found =
      pane.model->find(needle, from, forward,
                       wholeName ? NodeTreeModel::Match::WholeName : NodeTreeModel::Match::InText);
  if (found.node == 0) {
    statusBar()->showMessage((wholeName ? QStringLiteral("No function of this tree is named \"%1\"")
                                        : QStringLiteral("\"%1\" is in no node of this tree"))
                                 .arg(needle));
    return;
  }
  QString text = QStringLiteral("%1 of %2").arg(found.position).arg(found.count);
  if (found.wrapped) {
    text += forward ? QStringLiteral(": past the last node, continued from the first")
                    : QStringLiteral(": past the first node, continued from the last");
  }
  statusBar()->showMessage(text);
  select(pane, found.node);
}

// Expands the node's ancestors, then makes it current and visible.
void ExplorerWindow::select(const TreePane& pane, int node) {
  QTreeView* view = pane.view;
  const QModelIndex index = indexOf(pane, node);
  if (!index.isValid()) return;
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) view->expand(up);
  view->setCurrentIndex(index);
  view->scrollTo(index, QAbstractItemView::PositionAtCenter);
  // Deep nodes are indented far to the right: once the view has laid the
  // expanded rows out, scroll sideways only as far as the node's line needs,
  // from its indentation (its branch mark) on, so that the ancestors' lines
  // stay in view as far as they can. (The view's own scrollTo would put the
  // text at the left edge.)
  QTimer::singleShot(0, view, [view, at = QPersistentModelIndex(index)] {
    const QRect shown = view->visualRect(at);
    if (!shown.isValid()) return;
    const int from = shown.left() - view->indentation();
    const int width = view->viewport()->width();
    const int needed = std::min(view->indentation() + view->sizeHintForIndex(at).width(), width);
    // The least scroll that shows it: its end at the right edge at most.
    QScrollBar* across = view->horizontalScrollBar();
    across->setValue(std::max(0, across->value() + from + needed - width));
  });
}

void ExplorerWindow::goToExpandedNode() {
  const TreePane& pane = *lastPane_;
  const int node = nodeAt(pane, pane.view->currentIndex());
  const int target = pane.model->expandedNodeOf(node);
  // The node budget may have left the calls out, here or where they stand.
  const QString cut = cutNote(pane, node);
  const QString what = RelationOf(pane.kind);
  if (target == 0) {
    if (!cut.isEmpty() && pane.model->nodes().Repeated(node)) {
      statusBar()->showMessage(
          QStringLiteral("This function's %1 are not in the tree: it reached its limit of %2 "
                         "nodes; the details and the picture take them from the program index")
              .arg(what, ToQString(engine::messages::GroupedNumber(pane.model->nodeLimit()))));
    } else if (!cut.isEmpty()) {
      statusBar()->showMessage(
          QStringLiteral("This node's %1 are shown where it stands, but ").arg(what) + cut);
    } else {
      statusBar()->showMessage(
          QStringLiteral("This node's %1 are shown where it stands").arg(what));
    }
    return;
  }
  select(pane, target);
  if (!cut.isEmpty()) statusBar()->showMessage(QStringLiteral("There ") + cut);
}

void ExplorerWindow::openCallSite(const TreePane& pane, const QModelIndex& index) {
  QString path;
  int line = 1;
  if (pane.model->callSite(nodeAt(pane, index), path, line)) openInEditor(path, line);
}

void ExplorerWindow::openInEditor(const QString& path, int line) {
  if (const platform::Result opened = services_.openInEditor(path, line); !opened) {
    say(QMessageBox::Warning, QString::fromStdString(opened.description));
  }
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
    say(QMessageBox::Information,
        QStringLiteral("Select a function first: its callers are exported."));
    return;
  }
  session::OutputFormat format = session::OutputFormat::Text;
  const std::optional<QString> path =
      services_.saveTreeDialog(this, QStringLiteral("Export callers tree"), format);
  if (!path) return;
  const platform::Result written = workspace_.ExportToFile(
      ToText(*path), format, callers_->nodes(), engine::TreeKind::Callers, callersMessages_);
  if (!written) say(QMessageBox::Critical, CannotWriteMessage(*path, written));
}

void ExplorerWindow::exportFileList() {
  const std::optional<QString> path = services_.saveListDialog(this);
  if (!path) return;
  const platform::Result written = workspace_.ExportToFile(
      ToText(*path), session::OutputFormat::Files, calls_.nodes(), engine::TreeKind::Calls, {});
  if (!written) say(QMessageBox::Critical, CannotWriteMessage(*path, written));
}

void ExplorerWindow::exportPicture() {
  if (graph_->shownGraph().functions.empty()) {
    say(QMessageBox::Information,
        QStringLiteral("No picture is drawn, so there is nothing to export."));
    return;
  }
  // Named after the tree's root: the run's start, or the function whose
  // callers are drawn.
  const bool callers = graph_->shownKind() == engine::TreeKind::Callers;
  const NodeTreeModel& tree = callers ? static_cast<const NodeTreeModel&>(*callers_) : calls_;
  const QString suggested =
      ToQString(tree.nodes().Name(1)) +
      (callers ? QStringLiteral("-callers-graph.svg") : QStringLiteral("-call-graph.svg"));
  session::OutputFormat format = session::OutputFormat::Svg;
  const std::optional<QString> path = services_.savePictureDialog(this, suggested, format);
  if (!path) return;
  if (const platform::Result written = graph_->exportPicture(*path, format); !written) {
    say(QMessageBox::Critical, CannotWriteMessage(*path, written));
  }
}

}  // namespace korvath::gui
