// The main window over an in-memory project: start-up, the Parse command,
// the open-file command, progress, messages and the tree.

#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include "engine/messages.h"
#include "gui/call_tree_model.h"
#include "gui/main_window.h"
#include "tests/support/memory_file_system.h"

namespace korvath {

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  struct Shown {
    QMessageBox::Icon icon;
    QString text;
  };

  void WriteProject() {
    fs_ = std::make_unique<testing::MemoryFileSystem>();
    fs_->AddFile("/m/toolbox/local/pathdef.m",
                 "p = [...\n     matlabroot,'/lib:', ...\n];\n");
    fs_->AddFile("/work/korvath.ini", "Matlab Pathdef = /m/toolbox/local/pathdef.m\n");
    fs_->AddFile("/work/discardables.txt", "%Hidden\nsecret\n");
    fs_->AddFile("/work/main.m", "function main\nfoo(1);\nsecret;\nx = foo(2);\n");
    fs_->AddFile("/m/lib/foo.m", "function foo(x)\nbar(x);\n");
    fs_->AddFile("/m/lib/bar.m", "function bar(x)\n");
    fs_->AddFile("/m/lib/secret.m", "");
    fs_->AddDirectory("/fallback");
    fs_->SetCwd("/work");
  }

  std::unique_ptr<MainWindow> MakeWindow() {
    MainWindowServices s;
    s.openFileDialog = [this](QWidget*, const QString& filter) {
      lastFilter_ = filter;
      return dialogAnswer_;
    };
    s.saveFileDialog = [](QWidget*, QString&) { return std::optional<QString>(); };
    s.showMessage = [this](QWidget*, QMessageBox::Icon icon, const QString& text) {
      shown_.push_back({icon, text});
    };
    s.openInEditor = [this](const QString& path, int line) {
      opened_ = path + QStringLiteral(":") + QString::number(line);
      return true;
    };
    s.showAbout = [](QWidget*) {};
    s.endProgram = [this] { ++ended_; };
    s.captionObserver = [this](const QString& caption) { captions_ << caption; };
    auto window = std::make_unique<MainWindow>(*fs_, s);
    window->Form_Load(u"/fallback");
    return window;
  }

  QStringList TreeTexts(MainWindow& w) {
    QStringList texts;
    const CallTree& tree = w.Model().Tree();
    for (int n = 1; n <= tree.Count(); ++n) {
      texts << QString(2 * tree.Depths()[static_cast<std::size_t>(n)], QLatin1Char(' ')) +
                   w.Model().data(w.Model().IndexOfNode(n), Qt::DisplayRole).toString();
    }
    return texts;
  }

  std::unique_ptr<testing::MemoryFileSystem> fs_;
  std::optional<QString> dialogAnswer_;
  QString lastFilter_;
  std::vector<Shown> shown_;
  QStringList captions_;
  QString opened_;
  int ended_ = 0;

 private slots:
  void init() {
    WriteProject();
    dialogAnswer_.reset();
    shown_.clear();
    captions_.clear();
    opened_.clear();
    ended_ = 0;
  }

  void startUpReadsSettingsAndDiscardList() {
    auto w = MakeWindow();
    QVERIFY(w->State().PathdefFile == u"/m/toolbox/local/pathdef.m");
    QCOMPARE(w->State().Discards.size(), std::size_t{2});
    QVERIFY(w->State().Discards[1].Name == u"secret");
    QVERIFY(w->State().Discards[1].FileType == u"Hidden");
    QCOMPARE(w->Options()->txtMatlabDirectory->text(), QStringLiteral("/m/toolbox/local/pathdef.m"));
    QVERIFY(!w->Options()->isVisible());
    QVERIFY(shown_.empty());
    QCOMPARE(w->windowTitle(), QStringLiteral("Korvath"));
  }

  void startUpFallsBackWithoutMessages() {
    fs_ = std::make_unique<testing::MemoryFileSystem>();
    fs_->AddFile("/fallback/korvath.ini", "Matlab Pathdef = /fb/toolbox/pathdef.m\n");
    fs_->AddFile("/fallback/discardables.txt", "gone\n");
    fs_->AddDirectory("/work");
    fs_->SetCwd("/work");
    auto w = MakeWindow();
    QVERIFY(w->State().PathdefFile == u"/fb/toolbox/pathdef.m");
    QCOMPARE(w->State().Discards.size(), std::size_t{2});
    QVERIFY(fs_->CurrentDirectory() == u"/fallback");

    fs_ = std::make_unique<testing::MemoryFileSystem>();  // neither file anywhere
    auto bare = MakeWindow();
    QVERIFY(bare->State().PathdefFile.empty());
    QCOMPARE(bare->State().Discards.size(), std::size_t{1});
    QVERIFY(shown_.empty());
  }

  void enterRunsExactlyOneParseAndBuildsTheTree() {
    auto w = MakeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->txtFileName->setFocus();
    QTest::keyClicks(w->txtFileName, QStringLiteral("main"));
    QTest::keyClick(w->txtFileName, Qt::Key_Return);
    QCOMPARE(w->RunCount(), 1);
    QCOMPARE(w->txtFileName->text(), QStringLiteral("main"));
    QCOMPARE(TreeTexts(*w), (QStringList{"main", "  foo (2,4)", "    bar (2)"}));
    QVERIFY(shown_.empty());
    // The root shows collapsed.
    QVERIFY(!w->trvFiles->isExpanded(w->Model().IndexOfNode(1)));
  }

  void progressCaptionsOfASmallRun() {
    fs_->AddFile("/work/lone.m", "% calls nothing\n");
    auto w = MakeWindow();
    w->txtFileName->setText(QStringLiteral("C:\\somewhere\\lone.m"));
    w->cmdParse->click();
    QCOMPARE(captions_, (QStringList{"Parsed 0 files out of 1.", "Parsed 1 files out of 1.",
                                     "Building the function tree"}));
    QCOMPARE(TreeTexts(*w), QStringList{"lone"});
  }

  void pathdefFailureShowsTheMessageAndKeepsTheTree() {
    auto w = MakeWindow();
    w->txtFileName->setText(QStringLiteral("main"));
    w->cmdParse->click();
    w->State().PathdefFile = u"/nowhere/pathdef.m";
    w->cmdParse->click();
    QCOMPARE(shown_.size(), std::size_t{1});
    QCOMPARE(shown_[0].icon, QMessageBox::Critical);
    QCOMPARE(shown_[0].text, QStringLiteral("pathdef file not found, cannot continue"));
    QCOMPARE(TreeTexts(*w).size(), 3);
  }

  void startNotFoundEmptiesTheTreeWithAnInformation() {
    auto w = MakeWindow();
    w->txtFileName->setText(QStringLiteral("main"));
    w->cmdParse->click();
    w->txtFileName->setText(QStringLiteral("nosuch"));
    w->cmdParse->click();
    QCOMPARE(w->Model().rowCount(), 0);
    QCOMPARE(shown_.size(), std::size_t{1});
    QCOMPARE(shown_[0].icon, QMessageBox::Information);
    QVERIFY(shown_[0].text.contains(QStringLiteral("nosuch.m")));
  }

  void repeatedMessagesAreShownOncePerRun() {
    // "loop" and "loop.m" both expand to loop's calls: the tree doubles at
    // every level and runs into the depth limit again and again.
    fs_->AddFile("/m/lib/loop.m", "loop\nrun loop.m\n");
    auto w = MakeWindow();
    w->Limits = TreeLimits{4, 1000};
    w->txtFileName->setText(QStringLiteral("loop"));
    w->cmdParse->click();
    QVERIFY(w->LastMessages().size() > 2);
    QCOMPARE(shown_.size(), std::size_t{1});
    QCOMPARE(shown_[0].icon, QMessageBox::Critical);
    QCOMPARE(shown_[0].text, QStringLiteral("Out of stack space. Some functions may not be displayed"));
  }

  void openFileCancelBeforeAndAfterAChoice() {
    auto w = MakeWindow();
    w->txtFileName->setText(QStringLiteral("typed"));
    w->cmdOpenFile->click();
    QCOMPARE(lastFilter_, QStringLiteral("m-Files (*.m);;All Files (*.*)"));
    QCOMPARE(w->txtFileName->text(), QString());
    QCOMPARE(w->RunCount(), 0);

    dialogAnswer_ = QStringLiteral("/m/lib/foo.m");
    w->cmdOpenFile->click();
    QCOMPARE(w->RunCount(), 1);
    QVERIFY(fs_->CurrentDirectory() == u"/m/lib");
    QCOMPARE(TreeTexts(*w), (QStringList{"foo", "  bar (2)"}));

    dialogAnswer_.reset();
    w->txtFileName->setText(QStringLiteral("other"));
    w->cmdOpenFile->click();
    QCOMPARE(w->txtFileName->text(), QStringLiteral("/m/lib/foo.m"));
    QCOMPARE(w->RunCount(), 2);
  }

  void activatingANodeOpensTheCallingFileAtItsLine() {
    auto w = MakeWindow();
    w->txtFileName->setText(QStringLiteral("main"));
    w->cmdParse->click();
    const QModelIndex bar = w->Model().IndexOfNode(3);
    emit w->trvFiles->activated(bar);
    QCOMPARE(opened_, QStringLiteral("/m/lib/foo.m:2"));
    QCOMPARE(w->Model().data(bar, Qt::ToolTipRole).toString(), QStringLiteral("/m/lib/bar.m"));
  }

  void exitButtonMenuAndCloseBoxEndTheProgram() {
    auto w = MakeWindow();
    w->cmdExit->click();
    w->mnuFileExit->trigger();
    w->close();
    QCOMPARE(ended_, 3);
  }

  void controlsKeepTheirPlaceWhenResized() {
    auto w = MakeWindow();
    w->show();
    const QRect before = w->trvFiles->geometry();
    w->resize(w->width() + 200, w->height() + 150);
    QCOMPARE(w->trvFiles->geometry(), before);
  }
};

}  // namespace korvath

QTEST_MAIN(korvath::MainWindowTest)
#include "main_window_test.moc"
