// Every model the windows show, checked by Qt's own model tester: on the
// trees the workspace gives, and across the resets a run or a new callers
// tree makes. Then what the models add to the tree: texts, files, call
// sites, expanded nodes, Find and the recursion marks.

#include <QAbstractItemModelTester>
#include <QColor>
#include <QtTest>
#include <memory>

#include "engine/run_interfaces.h"
#include "gui/models/call_tree_model.h"
#include "gui/models/callers_tree_model.h"
#include "gui/models/recursion_mark_model.h"
#include "session/workspace.h"
#include "tests/support/small_project.h"

namespace korvath::gui {

namespace {

class NoMessages final : public engine::MessageSink {
 public:
  void ShowMessage(engine::MessageIcon /*icon*/, const Text& /*text*/) override {}
};

// Every row's text, depth first, indented two blanks a level.
QStringList Rows(const QAbstractItemModel& model, const QModelIndex& parent = {}, int depth = 0) {
  QStringList rows;
  for (int r = 0; r < model.rowCount(parent); ++r) {
    const QModelIndex i = model.index(r, 0, parent);
    rows << QString(2 * depth, QLatin1Char(' ')) + i.data().toString();
    rows << Rows(model, i, depth + 1);
  }
  return rows;
}

}  // namespace

class ModelsTest : public QObject {
  Q_OBJECT

  void run(const char* start) {
    engine::NullProgress progress;
    NoMessages messages;
    (void)workspace_->Run(platform::FromUtf8(start), progress, messages, limits_);
  }

  std::unique_ptr<testing::MemoryFileSystem> fs_;
  std::unique_ptr<session::Workspace> workspace_;
  engine::TreeLimits limits_;

 private slots:
  void init() {
    fs_ = std::make_unique<testing::MemoryFileSystem>();
    testing::AddSmallProject(*fs_);
    workspace_ = std::make_unique<session::Workspace>(*fs_);
    QVERIFY(workspace_->LoadSettings(u"/fallback").ok());
    limits_ = {};
  }

  // The call tree model and its recursion marks under the tester, through
  // runs that grow, empty and keep the tree.
  void callTreeModelsStayConsistentAcrossRuns_data() {
    QTest::addColumn<QStringList>("starts");
    QTest::addColumn<int>("nodes");  // after the last run
    QTest::newRow("none") << QStringList{} << 0;
    QTest::newRow("one") << QStringList{"main"} << 8;
    QTest::newRow("then smaller") << QStringList{"main", "b"} << 6;
    QTest::newRow("then not found") << QStringList{"main", "zzz"} << 0;
    QTest::newRow("then found again") << QStringList{"zzz", "c", "main"} << 8;
  }
  void callTreeModelsStayConsistentAcrossRuns() {
    QFETCH(QStringList, starts);
    QFETCH(int, nodes);
    CallTreeModel calls(*workspace_);
    RecursionMarkModel marks(calls);
    QAbstractItemModelTester callsTester(&calls,
                                         QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester marksTester(&marks,
                                         QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const QString& start : starts) run(start.toUtf8().constData());
    QCOMPARE(calls.nodeCount(), nodes);
    QCOMPARE(Rows(marks), Rows(calls));  // the marks change icons, never rows
    QCOMPARE(calls.rowCount(), nodes > 0 ? 1 : 0);
  }

  // A run cut by the node budget is still a consistent tree, and each node
  // whose calls the budget left out ends in a grey row that says how many;
  // that row stands for no node. The whole tree, in depth-first order:
  // main, a (1) - Also called by c, b (2), c (1), deep (1), a (2),
  // c (1) - Also called by b, d (2).
  void callTreeModelOfABudgetCutRun_data() {
    QTest::addColumn<int>("budget");
    QTest::addColumn<QStringList>("rows");
    const QString cut = QStringLiteral(": the tree reached its limit of %1 nodes");
    QTest::newRow("whole") << 8 << QStringList{"main",
                                               "  a (1) - Also called by c",
                                               "  b (2)",
                                               "    c (1)",
                                               "      deep (1)",
                                               "      a (2)",
                                               "        c (1) - Also called by b",
                                               "    d (2)"};
    QTest::newRow("four") << 4
                          << QStringList{
                                 "main",
                                 "  a (1) - Also called by c",
                                 "  b (2)",
                                 "    c (1)",
                                 QStringLiteral("      \u2026 2 calls not shown") + cut.arg(4),
                                 QStringLiteral("    \u2026 1 call not shown") + cut.arg(4)};
    QTest::newRow("six") << 6
                         << QStringList{
                                "main",
                                "  a (1) - Also called by c",
                                "  b (2)",
                                "    c (1)",
                                "      deep (1)",
                                "      a (2)",
                                QStringLiteral("        \u2026 1 call not shown") + cut.arg(6),
                                QStringLiteral("    \u2026 1 call not shown") + cut.arg(6)};
    QTest::newRow("root alone") << 1
                                << QStringList{
                                       "main",
                                       QStringLiteral("  \u2026 2 calls not shown") + cut.arg(1)};
  }
  void callTreeModelOfABudgetCutRun() {
    QFETCH(int, budget);
    QFETCH(QStringList, rows);
    limits_.maxNodes = budget;
    CallTreeModel calls(*workspace_);
    RecursionMarkModel marks(calls);
    QAbstractItemModelTester tester(&calls, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester marksTester(&marks,
                                         QAbstractItemModelTester::FailureReportingMode::QtTest);
    run("main");
    QCOMPARE(calls.nodeCount(), std::min(budget, 8));
    QCOMPARE(Rows(calls), rows);
    QCOMPARE(Rows(marks), rows);
    // The cut rows: grey, no node, no children, not selectable, and never
    // in the trees the writers see.
    int cutRows = 0;
    for (int node = 1; node <= calls.nodeCount(); ++node) {
      const QModelIndex parent = calls.indexOfNode(node);
      const int last = calls.rowCount(parent) - 1;
      if (calls.cutOf(node) == 0) {
        QVERIFY(last < 0 || !calls.isCutRow(calls.index(last, 0, parent)));
        continue;
      }
      ++cutRows;
      const QModelIndex row = calls.index(last, 0, parent);
      QVERIFY(calls.isCutRow(row));
      QCOMPARE(calls.nodeOf(row), 0);
      QCOMPARE(calls.parent(row), parent);
      QCOMPARE(calls.rowCount(row), 0);
      QCOMPARE(row.data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
      QVERIFY(!(calls.flags(row) & Qt::ItemIsSelectable));
      QCOMPARE(calls.nodes().Cut(node), calls.cutOf(node));
    }
    QCOMPARE(cutRows, static_cast<int>(rows.filter(QStringLiteral("not shown")).size()));
    QCOMPARE(calls.nodeLimit(), cutRows > 0 ? budget : 0);
  }

  void callersTreeModelStaysConsistentAcrossBuilds_data() {
    QTest::addColumn<QStringList>("roots");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("leaf") << QStringList{"main"} << QStringList{"main"};
    QTest::newRow("deep") << QStringList{"deep"}
                          << QStringList{"deep",
                                         "  c (1)",
                                         "    a (1)",
                                         "      c (2) - callers shown above",
                                         "      main (1)",
                                         "    b (1)",
                                         "      main (2) - callers shown above"};
    QTest::newRow("rebuilt") << QStringList{"c", "", "d"}
                             << QStringList{"d", "  b (2)", "    main (2)"};
  }
  void callersTreeModelStaysConsistentAcrossBuilds() {
    QFETCH(QStringList, roots);
    QFETCH(QStringList, rows);
    QVERIFY(workspace_->RefreshIndex().ok());
    CallersTreeModel callers;
    QAbstractItemModelTester tester(&callers,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    NoMessages messages;
    for (const QString& root : roots) {
      if (root.isEmpty()) {
        callers.clear();
        QCOMPARE(callers.rowCount(), 0);
        continue;
      }
      const int program = workspace_->FindProgram(root.toStdU16String());
      QVERIFY(program >= 0);
      callers.build(*workspace_, program, messages);
    }
    QCOMPARE(Rows(callers), rows);
  }

  // What both models answer through their common base, row by row.
  void filesCallSitesAndExpandedNodes() {
    run("main");
    CallTreeModel calls(*workspace_);
    const QStringList rows = Rows(calls);
    QCOMPARE(rows.first(), QStringLiteral("main"));
    QString path;
    int line = 0;
    QVERIFY(calls.callSite(1, path, line));
    QCOMPARE(path, QStringLiteral("/work/main.m"));
    QCOMPARE(line, 1);
    const int repeated = calls.findNode(QStringLiteral("Also called by"), 1, true);
    QVERIFY(repeated > 0);
    const int expanded = calls.expandedNodeOf(repeated);
    QVERIFY(expanded > 0 && expanded != repeated);
    QCOMPARE(calls.filePathOf(expanded), calls.filePathOf(repeated));
    QCOMPARE(calls.expandedNodeOf(expanded), 0);
    QCOMPARE(calls.index(0, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("/work/main.m"));
    QVERIFY(!calls.callSite(calls.nodeCount() + 1, path, line));
    QCOMPARE(calls.filePathOf(0), QString());
  }

  void recursionMarksOnNodesThatCallAnAncestor() {
    run("main");
    CallTreeModel calls(*workspace_);
    RecursionMarkModel marks(calls);
    QStringList marked;
    for (int n = 1; n <= calls.nodeCount(); ++n) {
      if (marks.callsAnAncestor(n)) marked << calls.nodeText(n);
    }
    // main -> b -> c -> a -> c: only the last c calls one of its ancestors.
    QCOMPARE(marked, (QStringList{"c (1) - Also called by b"}));
  }

  // A tree above the size marked at once is marked on another thread: the
  // rows are there at once, the marks when ready, the same marks; a run
  // meanwhile waits for the marks it replaces and gets its own.
  void largeTreesAreMarkedOffTheUserInterfaceThread_data() {
    QTest::addColumn<QStringList>("starts");
    QTest::newRow("one run") << QStringList{"main"};
    QTest::newRow("another run before the marks") << QStringList{"main", "b"};
  }
  void largeTreesAreMarkedOffTheUserInterfaceThread() {
    QFETCH(QStringList, starts);
    CallTreeModel calls(*workspace_);
    RecursionMarkModel marks(calls, nullptr, 0);
    QAbstractItemModelTester tester(&marks, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy changed(&marks, &QAbstractItemModel::dataChanged);
    QSignalSpy done(&marks, &RecursionMarkModel::marked);
    for (const QString& start : starts) run(start.toUtf8().constData());
    QCOMPARE(Rows(marks), Rows(calls));
    QTRY_VERIFY(marks.ready());
    QTRY_COMPARE(done.count(), 1);  // the marks of the tree replaced are dropped
    QCOMPARE(changed.count(), 1);
    // The same marks as made at once.
    const RecursionMarkModel atOnce(calls);
    QVERIFY(atOnce.ready());
    int found = 0;
    for (int n = 1; n <= calls.nodeCount(); ++n) {
      QCOMPARE(marks.callsAnAncestor(n), atOnce.callsAnAncestor(n));
      found += marks.callsAnAncestor(n) ? 1 : 0;
    }
    QVERIFY(found > 0);
    const QModelIndex at = marks.mapFromSource(calls.indexOfNode(calls.nodeCount()));
    QCOMPARE(at.data(Qt::ToolTipRole).toString().startsWith("Calls an ancestor"),
             marks.callsAnAncestor(calls.nodeCount()));
  }
};

}  // namespace korvath::gui

QTEST_MAIN(korvath::gui::ModelsTest)
#include "models_test.moc"
