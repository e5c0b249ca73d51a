// The explorer over the main window's runs: Find into collapsed branches,
// the way to an expanded node, recursion marks, callers and details that
// follow each run, exports, and an index build that can be cancelled.

#include <QtTest>
#include <QtWidgets>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "gui/explorer/explorer_window.h"
#include "gui/graph/graph_pane.h"
#include "gui/main_window.h"
#include "gui/models/call_tree_model.h"
#include "gui/models/callers_tree_model.h"
#include "gui/models/recursion_mark_model.h"
#include "gui/widgets/qt_text.h"
#include "tests/support/small_project.h"

namespace korvath::gui {

class ExplorerWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> MakeWindow(bool explore = true, int budget = 1000000) {
    MainWindowServices s;
    s.showMessage = [this](QWidget*, QMessageBox::Icon, const QString& text,
                           const QString& informative) {
      shown_ << text;
      if (!informative.isEmpty()) informative_ << informative;
    };
    s.openInEditor = [this](const QString& path, int line) {
      opened_ = {path, line};
      return editorFailure_.isEmpty() ? platform::Result{}
                                      : platform::Result::Failure(platform::Status::NotFound,
                                                                  editorFailure_.toStdString());
    };
    s.saveFileDialog = [this](QWidget*, const QString& title, session::OutputFormat& format) {
      titles_ << title;
      format = session::OutputFormat::Text;
      return std::optional<QString>(dir_.filePath(saveFolder_ + "tree.txt"));
    };
    s.saveListDialog = [this](QWidget*) {
      return std::optional<QString>(dir_.filePath(saveFolder_ + "list.txt"));
    };
    s.endProgram = [] {};
    auto window = std::make_unique<MainWindow>(*fs_, s);
    window->load(u"/fallback");
    window->limits.maxNodes = budget;
    window->txtFileName->setText(QStringLiteral("main"));
    window->parse();
    if (explore) window->explore();
    return window;
  }

  static QString Current(QTreeView* view) { return view->currentIndex().data().toString(); }

  // The texts from the root down to the current node, each ancestor
  // expanded in the view.
  static QStringList ExpandedPath(QTreeView* view) {
    QStringList path;
    for (QModelIndex i = view->currentIndex(); i.isValid(); i = i.parent()) {
      if (i != view->currentIndex() && !view->isExpanded(i))
        return {"collapsed: " + i.data().toString()};
      path.prepend(i.data().toString());
    }
    return path;
  }

  static QString ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

  std::unique_ptr<testing::MemoryFileSystem> fs_;
  QTemporaryDir dir_;
  QStringList shown_;
  QStringList informative_;  // of the messages that have it
  std::pair<QString, int> opened_;
  QStringList titles_;     // of the Save dialogs shown
  QString editorFailure_;  // what the editor's start says; empty: it starts
  QString saveFolder_;     // of every file the Save dialogs choose, under dir_

 private slots:
  void init() {
    fs_ = std::make_unique<testing::MemoryFileSystem>();
    testing::AddSmallProject(*fs_);
    fs_->AddFile("/work/other.m", "b\n");
    shown_.clear();
    informative_.clear();
    opened_ = {};
    editorFailure_.clear();
    titles_.clear();
    saveFolder_.clear();
  }

  // Find goes through every node, expanded or not, forwards and backwards
  // from the current one and round the end; the match is expanded into view.
  void findReachesCollapsedNodes_data() {
    QTest::addColumn<QString>("needle");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<QStringList>("path");
    QTest::newRow("deep inside collapsed branches")
        << "DEEP" << true << QStringList{"main", "b (2)", "c (1)", "deep (1)"};
    QTest::newRow("next after the root")
        << "also called" << true << QStringList{"main", "a (1) - Also called by c"};
    QTest::newRow("previous goes round to the last")
        << "also called" << false
        << QStringList{"main", "b (2)", "c (1)", "a (2)", "c (1) - Also called by b"};
    QTest::newRow("no node holds it") << "zzz" << true << QStringList{"main"};
  }
  void findReachesCollapsedNodes() {
    QFETCH(QString, needle);
    QFETCH(bool, forward);
    QFETCH(QStringList, path);
    auto w = MakeWindow();
    ExplorerWindow* e = w->explorer();
    QCOMPARE(Current(e->trvCalls), QStringLiteral("main"));
    QVERIFY(
        !e->trvCalls->isExpanded(e->trvCalls->model()->index(1, 0, e->trvCalls->currentIndex())));
    e->txtFind->setText(needle);
    (forward ? e->mnuEditFindNext : e->mnuEditFindPrevious)->trigger();
    QCOMPARE(ExpandedPath(e->trvCalls), path);
    QCOMPARE(e->statusBar()->currentMessage().contains(QRegularExpression("^[0-9]+ of [0-9]+")),
             path.size() > 1);
  }

  // Find by text or by the function's whole name (ignoring case), saying
  // where the match stands among all and when the search went round. The
  // tree: main, a (1) - Also called by c, b (2), c (1), deep (1), a (2),
  // c (1) - Also called by b, d (2).
  void findSaysWhichMatchAndWhenItWraps_data() {
    QTest::addColumn<QString>("needle");
    QTest::addColumn<bool>("wholeName");
    QTest::addColumn<int>("from");  // node
    QTest::addColumn<bool>("forward");
    QTest::addColumn<QString>("found");
    QTest::addColumn<QString>("status");
    QTest::newRow("text") << "c" << false << 1 << true << "a (1) - Also called by c"
                          << "1 of 3";
    QTest::newRow("whole name skips other texts") << "c" << true << 1 << true << "c (1)"
                                                  << "1 of 2";
    QTest::newRow("whole name ignores case") << "A" << true << 2 << true << "a (2)"
                                             << "2 of 2";
    QTest::newRow("past the last") << "c" << true << 7 << true << "c (1)"
                                   << "1 of 2: past the last node, continued from the first";
    QTest::newRow("past the first") << "c" << true << 1 << false << "c (1) - Also called by b"
                                    << "2 of 2: past the first node, continued from the last";
    QTest::newRow("part of a name is not the name") << "dee" << true << 1 << true << "main"
                                                    << "No function of this tree is named \"dee\"";
    QTest::newRow("part of a text") << "dee" << false << 1 << true << "deep (1)"
                                    << "1 of 1";
  }
  void findSaysWhichMatchAndWhenItWraps() {
    QFETCH(QString, needle);
    QFETCH(bool, wholeName);
    QFETCH(int, from);
    QFETCH(bool, forward);
    QFETCH(QString, found);
    QFETCH(QString, status);
    auto w = MakeWindow();
    ExplorerWindow* e = w->explorer();
    e->showCallersOf(from);
    e->txtFind->setText(needle);
    e->chkWholeName->setChecked(wholeName);
    forward ? e->findNext() : e->findPrevious();
    QCOMPARE(Current(e->trvCalls), found);
    QCOMPARE(e->statusBar()->currentMessage(), status);
  }

  // After a jump the view scrolls sideways only as far as the node's line
  // needs, from its indentation on, so the ancestors stay in view where
  // they can; a node already in view moves nothing.
  void aJumpKeepsTheLineInViewFromItsIndentation() {
    auto w = MakeWindow();
    ExplorerWindow* e = w->explorer();
    e->show();
    QVERIFY(QTest::qWaitForWindowExposed(e));
    QTreeView* view = e->trvCalls;
    view->setIndentation(120);
    QScrollBar* across = view->horizontalScrollBar();
    e->showCallersOf(7);  // c (1) - Also called by b, four levels down
    QCoreApplication::processEvents();
    QVERIFY(across->value() > 0);
    const QModelIndex deep = view->currentIndex();
    const QRect shown = view->visualRect(deep);
    const int width = view->viewport()->width();
    // The line from its branch mark is in view (up to the column's end), and
    // more than one level of indentation is left of it.
    QVERIFY(shown.left() > view->indentation());
    QVERIFY(shown.left() + view->sizeHintForIndex(deep).width() <= width ||
            across->value() == across->maximum());
    e->showCallersOf(3);  // b (2), whose line fits from the left edge
    QCoreApplication::processEvents();
    QCOMPARE(across->value(), 0);
  }

  // No two entries of a menu, nor two menus, share an access key.
  void accessKeysAreUnique() {
    auto w = MakeWindow();
    for (QMainWindow* window :
         {static_cast<QMainWindow*>(w.get()), static_cast<QMainWindow*>(w->explorer())}) {
      QList<QList<QAction*>> groups{window->menuBar()->actions()};
      for (QAction* menu : window->menuBar()->actions()) groups << menu->menu()->actions();
      for (const QList<QAction*>& group : groups) {
        QStringList keys;
        for (QAction* action : group) {
          const QKeySequence key = QKeySequence::mnemonic(action->text());
          if (key.isEmpty()) continue;
          QVERIFY2(!keys.contains(key.toString()),
                   qPrintable(window->objectName() + ": " + action->text()));
          keys << key.toString();
        }
      }
    }
  }

  // An "Also called by" leaf leads to where its function's calls are shown,
  // and a repeated leaf of the callers tree to where its callers are; other
  // nodes stay where they are.
  void goToTheExpandedNode() {
    auto w = MakeWindow();
    ExplorerWindow* e = w->explorer();
    e->txtFind->setText(QStringLiteral("c (1) - also"));
    e->findNext();
    e->goToExpandedNode();
    QCOMPARE(ExpandedPath(e->trvCalls), (QStringList{"main", "b (2)", "c (1)"}));
    e->goToExpandedNode();
    QCOMPARE(Current(e->trvCalls), QStringLiteral("c (1)"));
    QVERIFY(!e->statusBar()->currentMessage().isEmpty());

    // The callers of c, with a repeated leaf for c itself (through a).
    QCOMPARE(e->lblCallers->text(), QStringLiteral("Callers of c"));
    e->trvCallers->setFocus();
    e->txtFind->setText(QStringLiteral("shown above"));
    e->trvCallers->setCurrentIndex(e->callersModel().indexOfNode(1));
    e->findNext();
    QCOMPARE(Current(e->trvCallers), QStringLiteral("c (2) - callers shown above"));
    e->goToExpandedNode();
    QCOMPARE(Current(e->trvCallers), QStringLiteral("c"));
    QCOMPARE(Current(e->trvCalls), QStringLiteral("c (1)"));  // the other tree stays
  }

  // Only the explorer marks a call back to an ancestor: its own icon and a
  // tooltip that says so; texts and the main window's tree are unchanged.
  void recursionIsMarkedInTheExplorerOnly() {
    auto w = MakeWindow();
    RecursionMarkModel& marks = w->explorer()->marksModel();
    QAbstractItemModelTester tester(&marks, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const CallTreeModel& calls = w->model();
    QStringList marked;
    for (int node = 1; node <= calls.nodeCount(); ++node) {
      const QModelIndex own = calls.indexOfNode(node);
      const QModelIndex shown = marks.mapFromSource(own);
      QCOMPARE(shown.data().toString(), own.data().toString());
      const bool mark = marks.callsAnAncestor(node);
      if (mark) marked << shown.data().toString();
      QCOMPARE(shown.data(Qt::ToolTipRole).toString().startsWith("Calls an ancestor: c "), mark);
      QCOMPARE(shown.data(Qt::DecorationRole).value<QIcon>().cacheKey() ==
                   own.data(Qt::DecorationRole).value<QIcon>().cacheKey(),
               !mark);
      QCOMPARE(own.data(Qt::ToolTipRole).toString(), calls.filePathOf(node));
    }
    QCOMPARE(marked, QStringList{"c (1) - Also called by b"});
  }

  // With the tree cut by the node budget, the details line and Ctrl+G say
  // where a function's calls were left out; the counts still come from the
  // index. The whole tree: main, a (1) - Also called by c, b (2), c (1),
  // deep (1), a (2), c (1) - Also called by b, d (2).
  void cutCallsAreSaid_data() {
    QTest::addColumn<int>("budget");
    QTest::addColumn<QString>("find");  // selects the node
    QTest::addColumn<QString>("details");
    QTest::addColumn<QString>("goesTo");  // the current node after Ctrl+G
    QTest::addColumn<QString>("status");  // after Ctrl+G
    QTest::newRow("whole tree, a leaf") << 8 << "a (1) - also"
                                        << "/m/lib/a.m — calls 1 function, called by 2 functions"
                                        << "a (2)"
                                        << "";
    QTest::newRow("the expanded node cut off")
        << 4 << "a (1) - also"
        << "/m/lib/a.m — calls 1 function, called by 2 functions — the tree shows none of its "
           "calls: it reached its limit of 4 nodes"
        << "a (1) - Also called by c"
        << "This function's calls are not in the tree: it reached its limit of 4 nodes; the "
           "details and the picture take them from the program index";
    QTest::newRow("a node cut short")
        << 4 << "c (1)"
        << "/m/lib/c.m — calls 2 functions, called by 2 functions — the tree leaves 2 of its "
           "calls out: it reached its limit of 4 nodes"
        << "c (1)"
        << "This node's calls are shown where it stands, but the tree leaves 2 of its calls "
           "out: it reached its limit of 4 nodes";
    QTest::newRow("the expanded node cut short")
        << 6 << "a (1) - also"
        << "/m/lib/a.m — calls 1 function, called by 2 functions — the tree leaves 1 of its "
           "calls out: it reached its limit of 6 nodes"
        << "a (2)"
        << "There the tree leaves 1 of its calls out: it reached its limit of 6 nodes";
    QTest::newRow("a node not cut") << 6 << "deep"
                                    << "/m/lib/deep.m — calls 0 functions, called by 1 function"
                                    << "deep (1)"
                                    << "This node's calls are shown where it stands";
  }
  void cutCallsAreSaid() {
    QFETCH(int, budget);
    QFETCH(QString, find);
    QFETCH(QString, details);
    QFETCH(QString, goesTo);
    QFETCH(QString, status);
    auto w = MakeWindow(true, budget);
    ExplorerWindow* e = w->explorer();
    e->txtFind->setText(find);
    e->findNext();
    QVERIFY(Current(e->trvCalls).startsWith(find, Qt::CaseInsensitive));
    QCOMPARE(e->lblDetails->text(), QDir::toNativeSeparators(details));
    e->statusBar()->clearMessage();  // Find's own "1 of N"
    e->goToExpandedNode();
    QCOMPARE(Current(e->trvCalls), goesTo);
    QCOMPARE(e->statusBar()->currentMessage(), status);
  }

  // The callers tree is cut by the runs' budget too, and said alike. The
  // whole callers tree of a: a, c (2), a (1) - callers shown above, b (1),
  // main (2), other (1), main (1); with four nodes b keeps two callers out,
  // a one.
  void cutCallersAreSaid_data() {
    QTest::addColumn<int>("budget");
    QTest::addColumn<int>("node");  // of the callers tree, selected
    QTest::addColumn<QString>("details");
    QTest::addColumn<QString>("goesTo");  // the current node after Ctrl+G
    QTest::addColumn<QString>("status");  // after Ctrl+G
    QTest::newRow("whole tree, a repeat")
        << 8 << 3 << "/m/lib/a.m — calls 1 function, called by 2 functions"
        << "a"
        << "";
    QTest::newRow("a node cut short")
        << 4 << 4
        << "/m/lib/b.m — calls 2 functions, called by 2 functions — the tree leaves 2 of its "
           "callers out: it reached its limit of 4 nodes"
        << "b (1)"
        << "This node's callers are shown where it stands, but the tree leaves 2 of its callers "
           "out: it reached its limit of 4 nodes";
    QTest::newRow("a repeat of a node cut short")
        << 4 << 3
        << "/m/lib/a.m — calls 1 function, called by 2 functions — the tree leaves 1 of its "
           "callers out: it reached its limit of 4 nodes"
        << "a"
        << "There the tree leaves 1 of its callers out: it reached its limit of 4 nodes";
    QTest::newRow("a node not cut")
        << 4 << 2 << "/m/lib/c.m — calls 2 functions, called by 2 functions"
        << "c (2)"
        << "This node's callers are shown where it stands";
  }
  void cutCallersAreSaid() {
    QFETCH(int, budget);
    QFETCH(int, node);
    QFETCH(QString, details);
    QFETCH(QString, goesTo);
    QFETCH(QString, status);
    auto w = MakeWindow(true, budget);
    ExplorerWindow* e = w->explorer();
    e->txtFind->setText(QStringLiteral("a (1)"));
    e->findNext();
    QCOMPARE(e->lblCallers->text().left(11), QStringLiteral("Callers of "));
    QCOMPARE(e->callersModel().nodeCount(), std::min(budget, 7));
    // a's callers end in a grey row that counts the one left out.
    const QModelIndex root = e->callersModel().indexOfNode(1);
    const QString last =
        root.model()->index(root.model()->rowCount(root) - 1, 0, root).data().toString();
    QCOMPARE(last, budget < 7 ? QStringLiteral("\u2026 1 caller not shown: the tree reached its "
                                               "limit of %1 nodes")
                                    .arg(budget)
                              : QStringLiteral("main (1) - callers shown above"));
    const QModelIndex index = e->callersModel().indexOfNode(node);
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) e->trvCallers->expand(up);
    e->trvCallers->setCurrentIndex(index);
    QCOMPARE(e->lblDetails->text(), QDir::toNativeSeparators(details));
    e->statusBar()->clearMessage();
    e->goToExpandedNode();
    QCOMPARE(Current(e->trvCallers), goesTo);
    QCOMPARE(e->statusBar()->currentMessage(), status);
  }

  // The picture of a cut tree marks each function whose calls the tree
  // lacks and takes them from the index: with four nodes (main, a's leaf,
  // b, c) a shows none of its calls, b lacks d and c lacks deep and a.
  void theCutTreesPictureTakesItsCallsFromTheIndex_data() {
    QTest::addColumn<int>("budget");
    QTest::addColumn<QStringList>("functions");  // "name" or "name cut", in the graph's order
    QTest::addColumn<int>("calls");
    QTest::addColumn<bool>("callers");  // the picture of a's callers tree
    QTest::newRow("whole") << 8 << QStringList{"main", "a", "b", "c", "deep", "d"} << 7 << false;
    QTest::newRow("four nodes") << 4 << QStringList{"main", "a cut", "b cut", "c cut", "d", "deep"}
                                << 7 << false;
    // a's callers tree: a, c (2), a (1) - callers shown above, b (1), main
    // (2), other (1), main (1); four nodes leave out a's main and b's two.
    QTest::newRow("callers, whole")
        << 8 << QStringList{"a", "c", "b", "main", "other"} << 6 << true;
    QTest::newRow("callers, four nodes")
        << 4 << QStringList{"a cut", "c", "b cut", "main", "other"} << 6 << true;
  }
  void theCutTreesPictureTakesItsCallsFromTheIndex() {
    if (!GraphPane::available()) QSKIP("built without Graphviz");
    QFETCH(int, budget);
    QFETCH(QStringList, functions);
    QFETCH(int, calls);
    QFETCH(bool, callers);
    auto w = MakeWindow(true, budget);
    GraphPane& pane = w->explorer()->graph();
    if (callers) {
      w->explorer()->txtFind->setText(QStringLiteral("a (1)"));
      w->explorer()->findNext();
      pane.showKind(engine::TreeKind::Callers);
    }
    QTRY_VERIFY(!pane.layingOut() && !pane.shownGraph().functions.empty() &&
                pane.shownGraph().functions.front().name == (callers ? u"a" : u"main"));
    QStringList shown;
    for (const auto& f : pane.shownGraph().functions) {
      shown << ToQString(f.name) + (f.cut ? QStringLiteral(" cut") : QString());
    }
    QCOMPARE(shown, functions);
    QCOMPARE(static_cast<int>(pane.shownGraph().calls.size()), calls);
    QCOMPARE(pane.lblGraph->text().contains(
                 callers ? QStringLiteral("Dashed boxes: functions whose callers")
                         : QStringLiteral("Dashed boxes: functions whose calls")),
             budget < 8);
  }

  // Each run is followed: its tree, the index with files added since, the
  // callers and details of the selected function; a double-click in the
  // callers tree opens the calling file at the call.
  void followsEachRun() {
    auto w = MakeWindow();
    ExplorerWindow* e = w->explorer();
    QAbstractItemModelTester tester(&e->callersModel(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(e->lblDetails->text(), QDir::toNativeSeparators("/work/main.m") +
                                        " — calls 2 functions, called by 0 functions");
    fs_->AddFile("/work/extra.m", "x = 1;\ndeep\n");
    w->txtFileName->setText(QStringLiteral("other"));
    w->parse();
    QCOMPARE(Current(e->trvCalls), QStringLiteral("other"));
    e->txtFind->setText(QStringLiteral("deep"));
    e->findNext();
    QCOMPARE(e->lblCallers->text(), QStringLiteral("Callers of deep"));
    QCOMPARE(e->callersModel().nodeCount(), 9);
    const QModelIndex extra = e->callersModel().index(1, 0, e->callersModel().indexOfNode(1));
    QCOMPARE(extra.data().toString(), QStringLiteral("extra (2)"));
    emit e->trvCallers->activated(extra);
    QCOMPARE(opened_, (std::pair<QString, int>{"/work/extra.m", 2}));
    QCOMPARE(e->lblDetails->text(), QDir::toNativeSeparators("/m/lib/deep.m") +
                                        " — calls 0 functions, called by 2 functions");
    // A run that finds nothing empties the explorer.
    w->txtFileName->setText(QStringLiteral("missing"));
    w->parse();
    QCOMPARE(e->callersModel().nodeCount(), 0);
  }

  // The callers tree and the run's file list are exported as the main
  // window exports its tree.
  void exportsTheCallersTreeAndTheFileList() {
    QVERIFY(dir_.isValid());
    auto w = MakeWindow();
    ExplorerWindow* e = w->explorer();
    w->showCallers(w->model().findNode(QStringLiteral("d (2)"), 1, true));
    QCOMPARE(e->lblCallers->text(), QStringLiteral("Callers of d"));
    e->exportCallers();
    QCOMPARE(ReadFile(dir_.filePath("tree.txt")),
             QStringLiteral("d\n└── b (2)\n    ├── main (2)\n    └── other (1)\n"));
    w->exportTree();
    QCOMPARE(titles_, (QStringList{"Export callers tree", "Export tree"}));
    e->exportFileList();
    QCOMPARE(ReadFile(dir_.filePath("list.txt")),
             QStringLiteral("/m/lib/a.m\n/m/lib/b.m\n/m/lib/c.m\n/m/lib/d.m\n/m/lib/deep.m\n"
                            "/work/main.m\n"));
    QVERIFY(shown_.isEmpty());
  }

  // Whatever fails says what (the program or the file) and the system's
  // reason, from either window.
  void failuresSayWhatAndWhy_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("file");  // written to a missing folder; empty: none
    const QStringList actions{"main window: export tree", "explorer: export callers tree",
                              "explorer: export file list"};
    const QStringList files{"tree.txt", "tree.txt", "list.txt"};
    for (qsizetype i = 0; i < actions.size(); ++i) {
      QTest::newRow(qPrintable(actions[i])) << actions[i] << files[i];
    }
    QTest::newRow("main window: open in editor") << "main window: open in editor" << QString();
    QTest::newRow("explorer: open in editor") << "explorer: open in editor" << QString();
  }
  void failuresSayWhatAndWhy() {
    QFETCH(QString, action);
    QFETCH(QString, file);
    QVERIFY(dir_.isValid());
    saveFolder_ = QStringLiteral("missing/");
    editorFailure_ = QStringLiteral(
        "Cannot start the editor /nonexistent (from EDITOR): No such file or "
        "directory");
    auto w = MakeWindow();
    ExplorerWindow* e = w->explorer();
    w->showCallers(w->model().findNode(QStringLiteral("d (2)"), 1, true));
    const std::map<QString, std::function<void()>> act{
        {"main window: export tree", [&] { w->exportTree(); }},
        {"explorer: export callers tree", [&] { e->exportCallers(); }},
        {"explorer: export file list", [&] { e->exportFileList(); }},
        {"main window: open in editor",
         [&] { emit w->trvFiles->activated(w->model().index(0, 0)); }},
        {"explorer: open in editor",
         [&] { emit e->trvCalls->activated(e->trvCalls->currentIndex()); }},
    };
    act.at(action)();
    const QString expected =
        file.isEmpty() ? editorFailure_
                       : QStringLiteral("Cannot write %1: No such file or directory")
                             .arg(QDir::toNativeSeparators(dir_.filePath("missing/" + file)));
    QCOMPARE(shown_, QStringList{expected});
  }

  // Without a pathdef file the index cannot be made: the box says which file
  // was looked for and where to set it.
  void aMissingPathdefSaysWhichFile() {
    auto w = MakeWindow(false);
    w->settings().pathdefFile = u"/nowhere/pathdef.m";
    w->explore();
    QCOMPARE(shown_, QStringList{"pathdef file not found, cannot continue"});
    QCOMPARE(informative_,
             QStringList{"The file looked for: " + QDir::toNativeSeparators("/nowhere/pathdef.m") +
                         "\nSet its location in Options > Options..."});
  }

  // Ctrl+E opens the explorer from the name box, where the focus starts
  // (on X11 a line edit would otherwise take it as "end of line").
  void ctrlEOpensTheExplorerFromTheNameBox() {
    auto w = MakeWindow(false);
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QVERIFY(w->explorer() == nullptr);
    QTest::keyClick(w->txtFileName, Qt::Key_E, Qt::ControlModifier);
    QVERIFY(w->explorer() != nullptr && w->explorer()->isVisible());
    QCOMPARE(w->txtFileName->text(), QStringLiteral("main"));
  }

  // A slow index build shows a dialog whose Cancel stops it: the explorer
  // then shows no callers, and the next run builds the index afresh.
  void aSlowIndexBuildCanBeCancelled() {
    fs_->beforeRead = [](const std::u16string&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
    };
    bool sawDialog = false;
    QTimer cancel;
    connect(&cancel, &QTimer::timeout, [&] {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* progress = qobject_cast<QProgressDialog*>(top);
            progress && progress->isVisible()) {
          sawDialog = true;
          progress->findChild<QPushButton*>()->click();
        }
      }
    });
    cancel.start(20);
    auto w = MakeWindow();
    cancel.stop();
    QVERIFY(sawDialog);
    ExplorerWindow* e = w->explorer();
    QCOMPARE(e->lblCallers->text(), QStringLiteral("Callers of main: not indexed"));
    QVERIFY(e->workspace().index().Programs().empty());
    fs_->beforeRead = nullptr;
    w->parse();
    QCOMPARE(e->lblCallers->text(), QStringLiteral("Callers of main"));
    QCOMPARE(e->workspace().index().Programs().size(), std::size_t{7});
  }
};

}  // namespace korvath::gui

QTEST_MAIN(korvath::gui::ExplorerWindowTest)
#include "explorer_window_test.moc"
