// The main window over an in-memory project, the call-tree model under its
// view, and the progress window a run shows.

#include <QtTest>
#include <QtWidgets>

#include "engine/messages.h"
#include "gui/main_window.h"
#include "gui/models/call_tree_model.h"
#include "gui/progress_window.h"
#include "tests/support/memory_file_system.h"

namespace korvath::gui {

using Shown = std::vector<std::pair<QMessageBox::Icon, QString>>;

const QStringList kMainTree{"main", "  foo (2,4)", "    bar (2)", "  baz (5)"};

struct SecondRun {
  QString start{};
  QString pathdef{};         // null: as read at start-up
  QString unreadable{};      // null: every file can be read
  bool outOfMemory = false;  // reading bar.m runs out of memory
  QStringList tree{};        // with repeats, its first rows
  Shown shown{};
  QStringList informative{};
  bool repeats = false;
};

class MainWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> MakeWindow() {
    MainWindowServices s;
    Desktop& d = d_;
    s.openFileDialog = [&d](QWidget*, const QString& f) {
      d.filter = f;
      return d.dialogAnswer;
    };
    s.showMessage = [&d](QWidget*, QMessageBox::Icon icon, const QString& text,
                         const QString& informative) {
      d.shown.emplace_back(icon, text);
      if (!informative.isEmpty()) d.informative << informative;
    };
    s.openInEditor = [&d](const QString& path, int line) {
      d.opened = {path, line};
      return platform::Result{};
    };
    s.askYesNo = [&d](QWidget*, const QString& question) {
      d.asked << question;
      return d.answerYes;
    };
    s.endProgram = [&d] { ++d.ended; };
    s.captionObserver = [&d](const QString& caption) { d.captions << caption; };
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

  std::unique_ptr<testing::MemoryFileSystem> fs_;
  struct Desktop {  // what the window asked of the desktop
    std::optional<QString> dialogAnswer;
    QString filter;
    std::pair<QString, int> opened;  // file and line
    Shown shown;
    QStringList informative;  // of the messages that have it
    QStringList captions;
    QStringList asked;  // the questions
    bool answerYes = true;
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

  // Start-up shows nothing, not even the window until the splash has gone.
  // A failed start-up keeps the path box's value apart from the path used.
  void startUpIsSilentAndWaitsForTheSplash() {
    fs_->AddFile("/work/korvath.ini", "Matlab Pathdef = /c\nMatlab Pathdef\n");
    auto w = MakeWindow();
    QVERIFY(w->settings().pathdefFile.empty());
    QCOMPARE(w->options()->txtMatlabDirectory->text(), QStringLiteral("/c"));
    QCOMPARE(QString::fromStdU16String(fs_->CurrentDirectory()), QStringLiteral("/fallback"));
    auto* splash = new QWidget;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    w->showAfter(splash);
    QVERIFY(!w->isVisible());
    splash->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(w->isVisible());
    QVERIFY(!w->options()->isVisible());
    QVERIFY(d_.shown.empty());
  }

  // Enter in the name box parses once (every caption reaching the progress
  // window, the root collapsed) and presses a button; Shift+F10 opens a menu.
  void keyboardActivationMenusAndTheCloseBox() {
    auto w = MakeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QVERIFY(!w->mnuFileExport->isEnabled());
    QTest::keyClicks(w->txtFileName, QStringLiteral("C:\\somewhere\\main"));
    QTest::keyClick(w->txtFileName, Qt::Key_Return);
    QCOMPARE(w->runCount(), 1);
    QCOMPARE(Tree(w->model()), kMainTree);
    QCOMPARE(d_.captions.first(), QStringLiteral("Parsed 0 files out of 1."));
    QCOMPARE(d_.captions.last(), QStringLiteral("Building the function tree"));
    QVERIFY(!w->trvFiles->isExpanded(w->model().index(0, 0)));
    QVERIFY(w->mnuFileExport->isEnabled());
    QTest::keyClick(w->cmdParse, Qt::Key_Return);
    QCOMPARE(w->runCount(), 2);
    // A node opens its call site (the root: its own file, line 1); its tooltip is its file.
    const QModelIndex main = w->model().index(0, 0), foo = w->model().index(0, 0, main);
    const std::tuple<QModelIndex, std::pair<QString, int>, QString> nodes[] = {
        {main, {"/work/main.m", 1}, "/work/main.m"},
        {foo, {"/work/main.m", 2}, "/m/lib/foo.m"},
        {w->model().index(0, 0, foo), {"/m/lib/foo.m", 2}, "/m/lib/bar.m"},
        {w->model().index(1, 0, main), {"/work/main.m", 5}, "/m/lib/baz.m"}};
    for (const auto& [node, opened, toolTip] : nodes) {
      emit w->trvFiles->activated(node);
      QCOMPARE(d_.opened, opened);
      QCOMPARE(node.data(Qt::ToolTipRole).toString(), toolTip);
    }
    w->trvFiles->setCurrentIndex(main);
    QString firstItem;
    QTimer::singleShot(0, [&firstItem] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu != nullptr) firstItem = menu->actions().first()->text();
      if (menu != nullptr) menu->close();
    });
    QTest::keyClick(w->trvFiles, Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(firstItem, QStringLiteral("&Expand all"));
    const QRect before = w->trvFiles->geometry();
    w->resize(w->width() + 200, w->height() + 150);
    QCOMPARE(w->trvFiles->geometry(), before);
    QTest::keyClick(w->cmdExit, Qt::Key_Enter, Qt::KeypadModifier);
    w->mnuFileExit->trigger();
    w->close();
    QCOMPARE(d_.ended, 3);
  }

  // Expand all shows every row and keeps expanded state on parents only (a
  // view that marks every leaf expanded as well spends seconds on a tree of
  // a million nodes); Collapse all leaves the root alone.
  void expandAllAndCollapseAll() {
    auto w = MakeWindow();
    w->txtFileName->setText(QStringLiteral("main"));
    w->cmdParse->click();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    auto shownRows = [&w] {
      QStringList rows;
      for (QModelIndex i = w->model().index(0, 0); i.isValid(); i = w->trvFiles->indexBelow(i)) {
        rows << i.data().toString();
      }
      return rows;
    };
    w->expandAll();
    QCOMPARE(shownRows(), (QStringList{"main", "foo (2,4)", "bar (2)", "baz (5)"}));
    const QModelIndex main = w->model().index(0, 0), foo = w->model().index(0, 0, main);
    const std::pair<QModelIndex, bool> expanded[] = {{main, true},
                                                     {foo, true},
                                                     {w->model().index(0, 0, foo), false},
                                                     {w->model().index(1, 0, main), false}};
    for (const auto& [node, isExpanded] : expanded) {
      QCOMPARE(w->trvFiles->isExpanded(node), isExpanded);
    }
    w->collapseAll();
    QCOMPARE(shownRows(), QStringList{"main"});
    for (const auto& [node, isExpanded] : expanded) QVERIFY(!w->trvFiles->isExpanded(node));
  }

  // Copy puts the subtree on the clipboard, asking first (with its lines
  // and size) above the limit.
  void copyAsksFirstAboveTheLimit_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<bool>("copied");
    const QStringList question{"Copy 4 lines, 39 bytes of text, to the clipboard?"};
    QTest::newRow("at the limit") << 4 << false << QStringList() << true;
    QTest::newRow("above, yes") << 3 << true << question << true;
    QTest::newRow("above, no") << 3 << false << question << false;
  }
  void copyAsksFirstAboveTheLimit() {
    QFETCH(int, limit);
    QFETCH(bool, yes);
    QFETCH(QStringList, asked);
    QFETCH(bool, copied);
    auto w = MakeWindow();
    w->txtFileName->setText(QStringLiteral("main"));
    w->cmdParse->click();
    w->copyWithoutAsking = limit;
    d_.answerYes = yes;
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    w->copySubtree(1);
    QCOMPARE(d_.asked, asked);
    const QString text("main\n  foo (2,4)\n    bar (2)\n  baz (5)\n");
    QCOMPARE(text.size(), 39);
    QCOMPARE(QGuiApplication::clipboard()->text(), copied ? text : QStringLiteral("before"));
  }

  // A double-click on a parent node opens its call site and leaves it
  // folded as it was.
  void doubleClickOpensWithoutFolding() {
    auto w = MakeWindow();
    w->txtFileName->setText(QStringLiteral("main"));
    w->cmdParse->click();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    const QModelIndex main = w->model().index(0, 0), foo = w->model().index(0, 0, main);
    w->trvFiles->expand(main);
    // As the window system sends it: a click, then a second press that is
    // the double-click.
    const QPoint at = w->trvFiles->visualRect(foo).center();
    QTest::mouseClick(w->trvFiles->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(w->trvFiles->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(d_.opened, (std::pair<QString, int>{"/work/main.m", 2}));
    QVERIFY(!w->trvFiles->isExpanded(foo));
    QVERIFY(w->trvFiles->isExpanded(main));
  }

  // A second run under a model tester: the tree replaced, kept or emptied.
  void aSecondRunReplacesTheTree_data() {
    QTest::addColumn<SecondRun>("run");
    QTest::newRow("another start") << SecondRun{.start = "foo", .tree = {"foo", "  bar (2)"}};
    QTest::newRow("pathdef missing") << SecondRun{
        .start = "main",
        .pathdef = "/nowhere/pathdef.m",
        .tree = kMainTree,
        .shown = {{QMessageBox::Critical, "pathdef file not found, cannot continue"}},
        .informative = {"The file looked for: " + QDir::toNativeSeparators("/nowhere/pathdef.m") +
                        "\nSet its location in Options > Options..."}};
    QTest::newRow("no pathdef set")
        << SecondRun{.start = "main",
                     .pathdef = "",
                     .tree = kMainTree,
                     .shown = {{QMessageBox::Critical, "pathdef file not found, cannot continue"}},
                     .informative = {"No pathdef file is set.\nSet its location in Options > "
                                     "Options..."}};
    QTest::newRow("relative pathdef") << SecondRun{
        .start = "main",
        .pathdef = "conf/pathdef.m",
        .tree = kMainTree,
        .shown = {{QMessageBox::Critical, "pathdef file not found, cannot continue"}},
        .informative = {"The file looked for: " + QDir::toNativeSeparators("/work/conf/pathdef.m") +
                        "\nSet its location in Options > Options..."}};
    QTest::newRow("start not found") << SecondRun{
        .start = "nosuch",
        .shown = {{QMessageBox::Information, "nosuch.m was not found on the search path"}}};
    QTest::newRow("unreadable file")
        << SecondRun{.start = "main",
                     .unreadable = "/m/lib/foo.m",
                     .tree = {"main", "  foo (2,4)", "  baz (5)"},
                     .shown = {{QMessageBox::Warning,
                                "These files could not be read; their calls are missing:\n"
                                "/m/lib/foo.m: cannot open"}}};
    QTest::newRow("out of memory")
        << SecondRun{.start = "foo",
                     .outOfMemory = true,
                     .tree = kMainTree,
                     .shown = {{QMessageBox::Critical, "Not enough memory to finish the run."}}};
    // "loop" and "loop.m" both expand, so the tree doubles up to the depth limit
    // again and again; the message is shown once.
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
    w->txtFileName->setText(QStringLiteral("main"));
    w->cmdParse->click();
    if (!run.pathdef.isNull()) w->settings().pathdefFile = run.pathdef.toStdU16String();
    if (!run.unreadable.isNull()) fs_->MakeUnreadable(run.unreadable.toStdString());
    fs_->beforeRead = [&run](const std::u16string& path) {
      if (run.outOfMemory && path.ends_with(u"bar.m")) throw std::bad_alloc();
    };
    w->txtFileName->setText(run.start);
    w->cmdParse->click();
    QCOMPARE(w->runCount(), 2);
    QCOMPARE(Tree(w->model()).mid(0, run.repeats ? run.tree.size() : -1), run.tree);
    QCOMPARE(d_.shown, run.shown);
    QCOMPARE(d_.informative, run.informative);
    QCOMPARE(w->mnuFileExport->isEnabled(), !run.tree.isEmpty());
    QCOMPARE(w->lastMessages().size() > 1, run.repeats);
  }

  // A cancelled choice keeps the last file chosen, or empties the name box.
  void openFileCancelBeforeAndAfterAChoice() {
    auto w = MakeWindow();
    w->txtFileName->setText(QStringLiteral("typed"));
    w->cmdOpenFile->click();
    QCOMPARE(d_.filter, QStringLiteral("m-Files (*.m);;All Files (*.*)"));
    QCOMPARE(w->txtFileName->text(), QString());
    QCOMPARE(w->runCount(), 0);
    d_.dialogAnswer = QStringLiteral("/m/lib/foo.m");
    w->mnuFileOpen->trigger();
    QCOMPARE(w->runCount(), 1);
    QCOMPARE(QString::fromStdU16String(fs_->CurrentDirectory()), QStringLiteral("/m/lib"));
    QCOMPARE(Tree(w->model()), (QStringList{"foo", "  bar (2)"}));
    d_.dialogAnswer.reset();
    w->txtFileName->setText(QStringLiteral("other"));
    w->cmdOpenFile->click();
    QCOMPARE(w->txtFileName->text(), QStringLiteral("/m/lib/foo.m"));
    QCOMPARE(w->runCount(), 2);
  }

  // The run holds the thread, so a refresh that draws must bring the caption
  // to the screen itself. The last caption of a run is always drawn.
  void progressIsDrawnAtMostEvery33msButNeverSkipsTheLast() {
    ProgressWindow window;
    ProgressWindow::Clock::time_point t{};
    window.now = [&t] { return t; };
    QStringList seen;
    window.captionObserver = [&seen](const QString& c) { seen << c; };
    auto onScreen = [&window] { return window.screen()->grabWindow(window.winId()).toImage(); };
    window.Show();
    const QImage blank = onScreen();
    window.SetCaption(engine::messages::ProgressCaption(0, 100));
    window.Refresh();
    const QImage first = onScreen();
    QVERIFY(first != blank);
    for (int pass = 1; pass < 100; ++pass) {
      t += std::chrono::milliseconds(1);
      window.SetCaption(engine::messages::ProgressCaption(pass, 100));
      window.Refresh();
    }
    // 99 ms of passes: a repaint at 33, 66 and 99 ms after the first.
    QCOMPARE(window.repaints(), 4);
    QCOMPARE(seen.size(), 100);
    QCOMPARE(window.lblProgress->text(), QStringLiteral("Parsed 99 files out of 100."));
    const QImage last = onScreen();
    QVERIFY(last != first);
    t += std::chrono::milliseconds(1);
    window.SetCaption(engine::messages::kBuildingTree);
    window.Refresh();
    QCOMPARE(window.repaints(), 5);
    QVERIFY(onScreen() != last);
  }
};

}  // namespace korvath::gui

QTEST_MAIN(korvath::gui::MainWindowTest)
#include "main_window_test.moc"
