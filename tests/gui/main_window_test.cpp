// The main window over an in-memory project: start-up, Parse, the open-file
// command, progress, messages, and the call-tree model under the view.

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include "gui/call_tree_model.h"
#include "gui/main_window.h"
#include "tests/support/memory_file_system.h"

namespace korvath::gui {

using Shown = std::vector<std::pair<QMessageBox::Icon, QString>>;

const QStringList kMainTree{"main", "  foo (2,4)", "    bar (2)", "  baz (5)"};

struct SecondRun {
  QString start{};
  QString pathdef{};     // null: as read at start-up
  QString unreadable{};  // null: every file can be read
  QStringList tree{};    // with repeats, its first rows
  Shown shown{};
  bool repeats = false;
};

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MainWindow> MakeWindow() {
    MainWindowServices s;
    s.openFileDialog = [this](QWidget*, const QString& filter) {
      d_.filter = filter;
      return d_.dialogAnswer;
    };
    s.showMessage = [this](QWidget*, QMessageBox::Icon icon, const QString& text) {
      d_.shown.emplace_back(icon, text);
    };
    s.openInEditor = [this](const QString& path, int line) {
      d_.opened = path + QStringLiteral(":%1").arg(line);
      return true;
    };
    s.endProgram = [this] { ++d_.ended; };
    s.captionObserver = [this](const QString& caption) { d_.captions << caption; };
    auto window = std::make_unique<MainWindow>(*fs_, s);
    window->load(u"/fallback");
    return window;
  }

  // The tree as the view sees it, one line per row, indented by depth.
  static QStringList Tree(const QAbstractItemModel& model, const QModelIndex& parent = {},
                          const QString& indent = {}) {
    QStringList lines;
    for (int row = 0; row < model.rowCount(parent); ++row) {
      const QModelIndex index = model.index(row, 0, parent);
      lines << indent + index.data().toString() << Tree(model, index, indent + "  ");
    }
    return lines;
  }
  static void Parse(MainWindow& w, const QString& start) {
    w.findChild<QLineEdit*>("txtFileName")->setText(start);
    w.findChild<QPushButton*>("cmdParse")->click();
  }

  std::unique_ptr<testing::MemoryFileSystem> fs_;
  struct Desktop {  // what the window asked of the desktop
    std::optional<QString> dialogAnswer;
    QString filter, opened;
    Shown shown;
    QStringList captions;
    int ended = 0;
  } d_;

 private slots:
  void init() {
    fs_ = std::make_unique<testing::MemoryFileSystem>();
    fs_->AddFile("/m/toolbox/local/pathdef.m", "p = [...\n     matlabroot,'/lib:', ...\n];\n");
    fs_->AddFile("/work/korvath.ini", "Matlab Pathdef = /m/toolbox/local/pathdef.m\n");
    fs_->AddFile("/work/discardables.txt", "%Hidden\nsecret\n");
    fs_->AddFile("/work/main.m", "function main\nfoo(1);\nsecret;\nx = foo(2);\nbaz;\n");
    fs_->AddFile("/m/lib/foo.m", "function foo(x)\nbar(x);\n");
    fs_->AddFile("/m/lib/bar.m", "function bar(x)\n");
    fs_->AddFile("/m/lib/baz.m", "");
    fs_->AddFile("/m/lib/secret.m", "");
    fs_->AddFile("/m/lib/loop.m", "loop\nrun loop.m\n");
    fs_->AddDirectory("/fallback");
    fs_->SetCwd("/work");
    d_ = {};
  }

  // Start-up shows nothing. The options dialog is loaded hidden with the
  // path box's value, which a failed start-up keeps apart from the path used.
  void startUpFillsTheSettingsSilently() {
    fs_->AddFile("/work/korvath.ini", "Matlab Pathdef = /c\nMatlab Pathdef\n");
    auto w = MakeWindow();
    QVERIFY(w->settings().pathdefFile.empty());
    QCOMPARE(w->options()->findChild<QLineEdit*>("txtMatlabDirectory")->text(),
             QStringLiteral("/c"));
    QVERIFY(!w->options()->isVisible());
    QCOMPARE(QString::fromStdU16String(fs_->CurrentDirectory()), QStringLiteral("/fallback"));
    QVERIFY(d_.shown.empty());
  }

  void enterParsesOnceWithProgressAndTheRootCollapsed() {
    auto w = MakeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    auto* name = w->findChild<QLineEdit*>("txtFileName");
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("C:\\somewhere\\main"));
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(w->runCount(), 1);
    QCOMPARE(Tree(w->model()), kMainTree);
    // Every pass's caption reaches the progress window; the engine's tests
    // pin the counts.
    QCOMPARE(d_.captions.first(), QStringLiteral("Parsed 0 files out of 1."));
    QCOMPARE(d_.captions.last(), QStringLiteral("Building the function tree"));
    QVERIFY(d_.shown.empty());
    QVERIFY(!w->findChild<QTreeView*>("trvFiles")->isExpanded(w->model().index(0, 0)));
  }

  // A second run after "main", under a model tester: the tree is replaced,
  // kept or emptied, and each distinct message is shown once.
  void aSecondRunReplacesTheTree_data() {
    QTest::addColumn<SecondRun>("run");
    QTest::newRow("another start") << SecondRun{.start = "foo", .tree = {"foo", "  bar (2)"}};
    QTest::newRow("pathdef missing")
        << SecondRun{.start = "main", .pathdef = "/nowhere/pathdef.m", .tree = kMainTree,
                     .shown = {{QMessageBox::Critical, "pathdef file not found, cannot continue"}}};
    QTest::newRow("start not found")
        << SecondRun{.start = "nosuch",
                     .shown = {{QMessageBox::Information,
                                "nosuch.m was not found on the search path"}}};
    QTest::newRow("unreadable file")
        << SecondRun{.start = "main", .unreadable = "/m/lib/foo.m",
                     .tree = {"main", "  foo (2,4)", "  baz (5)"},
                     .shown = {{QMessageBox::Warning,
                                "These files could not be read; their calls are missing:\n"
                                "/m/lib/foo.m: cannot open"}}};
    // "loop" and "loop.m" both expand to loop's calls, so the tree doubles
    // at every level and meets the depth limit (4 here) again and again.
    QTest::newRow("repeated message")
        << SecondRun{.start = "loop",
                     .tree = {"loop", "  loop (1,1)", "    loop (1,1)", "      loop (1,1)",
                              "        loop (1,1)", "      loop (2,2)"},
                     .shown = {{QMessageBox::Critical,
                                "Out of stack space. Some functions may not be displayed"}},
                     .repeats = true};
  }
  void aSecondRunReplacesTheTree() {
    QFETCH(SecondRun, run);
    auto w = MakeWindow();
    w->limits = engine::TreeLimits{4, 1000};
    QAbstractItemModelTester tester(&w->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    Parse(*w, QStringLiteral("main"));
    QCOMPARE(Tree(w->model()), kMainTree);
    if (!run.pathdef.isNull()) w->settings().pathdefFile = run.pathdef.toStdU16String();
    if (!run.unreadable.isNull()) fs_->MakeUnreadable(run.unreadable.toStdString());
    Parse(*w, run.start);
    const QStringList tree = Tree(w->model());
    QCOMPARE(run.repeats ? tree.mid(0, run.tree.size()) : tree, run.tree);
    QCOMPARE(d_.shown, run.shown);
    QCOMPARE(w->lastMessages().size() > 1, run.repeats);
  }

  void openFileCancelBeforeAndAfterAChoice() {
    auto w = MakeWindow();
    auto* name = w->findChild<QLineEdit*>("txtFileName");
    auto* open = w->findChild<QPushButton*>("cmdOpenFile");
    name->setText(QStringLiteral("typed"));
    open->click();
    QCOMPARE(d_.filter, QStringLiteral("m-Files (*.m);;All Files (*.*)"));
    QCOMPARE(name->text(), QString());
    QCOMPARE(w->runCount(), 0);

    d_.dialogAnswer = QStringLiteral("/m/lib/foo.m");
    w->findChild<QAction*>("mnuFileOpen")->trigger();
    QCOMPARE(w->runCount(), 1);
    QCOMPARE(QString::fromStdU16String(fs_->CurrentDirectory()), QStringLiteral("/m/lib"));
    QCOMPARE(Tree(w->model()), (QStringList{"foo", "  bar (2)"}));

    d_.dialogAnswer.reset();
    name->setText(QStringLiteral("other"));
    open->click();
    QCOMPARE(name->text(), QStringLiteral("/m/lib/foo.m"));
    QCOMPARE(w->runCount(), 2);
  }

  // A node opens the file its call stands in at the call's first line (the
  // root its own file at line 1); its tooltip is its own file.
  void activatingANodeOpensItsCallSite_data() {
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("toolTip");
    QTest::newRow("root") << QList<int>{0} << "/work/main.m:1" << "/work/main.m";
    QTest::newRow("foo") << QList<int>{0, 0} << "/work/main.m:2" << "/m/lib/foo.m";
    QTest::newRow("bar") << QList<int>{0, 0, 0} << "/m/lib/foo.m:2" << "/m/lib/bar.m";
    QTest::newRow("baz") << QList<int>{0, 1} << "/work/main.m:5" << "/m/lib/baz.m";
  }
  void activatingANodeOpensItsCallSite() {
    QFETCH(QList<int>, rows);
    QFETCH(QString, opened);
    QFETCH(QString, toolTip);
    auto w = MakeWindow();
    Parse(*w, QStringLiteral("main"));
    QModelIndex index;
    for (int row : rows) index = w->model().index(row, 0, index);
    emit w->findChild<QTreeView*>("trvFiles")->activated(index);
    QCOMPARE(d_.opened, opened);
    QCOMPARE(index.data(Qt::ToolTipRole).toString(), toolTip);
  }

  void exitButtonMenuAndCloseBoxEndTheProgram() {
    auto w = MakeWindow();
    w->findChild<QPushButton*>("cmdExit")->click();
    w->findChild<QAction*>("mnuFileExit")->trigger();
    w->close();
    QCOMPARE(d_.ended, 3);
  }

  // Enter on a focused button presses it; Shift+F10 opens the tree's menu;
  // Export waits for a tree.
  void keyboardReachesButtonsMenuAndExport() {
    auto w = MakeWindow();
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    auto* exportTree = w->findChild<QAction*>("mnuFileExport");
    QVERIFY(!exportTree->isEnabled());
    w->findChild<QLineEdit*>("txtFileName")->setText(QStringLiteral("main"));
    auto* parse = w->findChild<QPushButton*>("cmdParse");
    parse->setFocus();
    QTest::keyClick(parse, Qt::Key_Return);
    QCOMPARE(w->runCount(), 1);
    QVERIFY(exportTree->isEnabled());
    auto* exit = w->findChild<QPushButton*>("cmdExit");
    exit->setFocus();
    QTest::keyClick(exit, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(d_.ended, 1);

    auto* tree = w->findChild<QTreeView*>("trvFiles");
    tree->setFocus();
    tree->setCurrentIndex(w->model().index(0, 0));
    QString firstItem;
    QTimer::singleShot(0, [&firstItem] {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* menu = qobject_cast<QMenu*>(top);
        if (menu != nullptr && menu->isVisible()) {
          firstItem = menu->actions().first()->text();
          menu->close();
        }
      }
    });
    QTest::keyClick(tree, Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(firstItem, QStringLiteral("&Expand all"));
  }

  // Running out of memory ends the run with a message, not the program.
  void outOfMemoryEndsTheRunOnly() {
    fs_->beforeRead = [](const std::u16string& path) {
      if (path.ends_with(u"bar.m")) throw std::bad_alloc();
    };
    auto w = MakeWindow();
    Parse(*w, QStringLiteral("baz"));
    Parse(*w, QStringLiteral("foo"));
    QCOMPARE(w->runCount(), 2);
    QCOMPARE(d_.shown, (Shown{{QMessageBox::Critical, "Not enough memory to finish the run."}}));
    QCOMPARE(Tree(w->model()), QStringList{"baz"});
  }

  void theWindowComesWhenTheSplashHasGone() {
    auto w = MakeWindow();
    auto* splash = new QWidget;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    w->showAfter(splash);
    QVERIFY(!w->isVisible());
    splash->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(w->isVisible());
  }

  void controlsKeepTheirPlaceWhenResized() {
    auto w = MakeWindow();
    w->show();
    const QRect before = w->trvFiles->geometry();
    w->resize(w->width() + 200, w->height() + 150);
    QCOMPARE(w->trvFiles->geometry(), before);
  }
};

}  // namespace korvath::gui

QTEST_MAIN(korvath::gui::MainWindowTest)
#include "main_window_test.moc"
