// The explorer's call graph: clicks select in the trees and selections mark
// the picture, the callers graph, the neighbourhood of large graphs, and the
// exported pictures; a build without Graphviz says what to install.

#include <QtTest>
#include <QtWidgets>

#include "gui/explorer/explorer_window.h"
#include "gui/graph/graph_pane.h"
#include "gui/main_window.h"
#include "platform/utf8.h"
#include "tests/support/small_project.h"
#if KORVATH_HAVE_GRAPH_VIEW
#include "gui/graph/graph_view.h"
#endif

namespace korvath::gui {

class GraphPaneTest : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> MakeWindow(const QString& start) {
    MainWindowServices s;
    s.showMessage = [this](QWidget*, QMessageBox::Icon, const QString& text, const QString&) {
      shown_ << text;
    };
    s.openInEditor = [](const QString&, int) { return platform::Result{}; };
    s.savePictureDialog = [this](QWidget*, const QString& suggested,
                                 session::OutputFormat& format) {
      suggested_ = suggested;
      format = pictureFormat_ == QLatin1String("png") ? session::OutputFormat::Png
                                                      : session::OutputFormat::Svg;
      return std::optional<QString>(dir_.filePath(pictureFolder_ + "picture." + pictureFormat_));
    };
    s.endProgram = [] {};
    auto window = std::make_unique<MainWindow>(*fs_, s);
    window->load(u"/fallback");
    window->txtFileName->setText(start);
    window->parse();
    window->explore();
    return window;
  }

  static QStringList Names(const engine::CallGraph& graph) {
    QStringList names;
    for (const auto& f : graph.functions) names << QString::fromStdString(platform::ToUtf8(f.name));
    return names;
  }

  static int FunctionNamed(const GraphPane& pane, const QString& name) {
    return static_cast<int>(Names(pane.shownGraph()).indexOf(name));
  }

  static bool LaidOut(const GraphPane& pane) {
    return !pane.layingOut() && !pane.shownGraph().functions.empty();
  }

  std::unique_ptr<testing::MemoryFileSystem> fs_;
  QTemporaryDir dir_;
  QStringList shown_;
  QString pictureFormat_ = QStringLiteral("svg");
  QString pictureFolder_;  // under dir_
  QString suggested_;      // the name the Save dialog was offered

 private slots:
  void init() {
    fs_ = std::make_unique<testing::MemoryFileSystem>();
    testing::AddSmallProject(*fs_);
    // f0 .. f499 call like a binary heap: f(i) calls f(2i+1) and f(2i+2).
    for (int i = 0; i < 500; ++i) {
      std::string text;
      for (const int callee : {2 * i + 1, 2 * i + 2}) {
        if (callee < 500) text += "f" + std::to_string(callee) + "\n";
      }
      fs_->AddFile("/m/lib/f" + std::to_string(i) + ".m", text);
    }
    // star calls 450 functions that call nothing.
    std::string star;
    for (int i = 0; i < 450; ++i) {
      star += "s" + std::to_string(i) + "\n";
      fs_->AddFile("/m/lib/s" + std::to_string(i) + ".m", "");
    }
    fs_->AddFile("/m/lib/star.m", star);
    shown_.clear();
  }

#if KORVATH_HAVE_GRAPH_VIEW
  // Each function once, each calling pair once; a click on a function
  // selects its first node, and the selection in a tree is outlined.
  void clickSelectsInTheTrees() {
    auto w = MakeWindow(QStringLiteral("main"));
    ExplorerWindow* e = w->explorer();
    GraphPane& pane = e->graph();
    QTRY_VERIFY(LaidOut(pane));
    QCOMPARE(Names(pane.shownGraph()), (QStringList{"main", "a", "b", "c", "deep", "d"}));
    QCOMPARE(pane.shownGraph().calls.size(), std::size_t{7});
    QCOMPARE(pane.view->markedFunction(), 0);

    const int d = FunctionNamed(pane, QStringLiteral("d"));
    const QPoint at = pane.view->mapFromScene(pane.view->functionBounds(d).center());
    QTest::mouseClick(pane.view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(e->trvCalls->currentIndex().data().toString(), QStringLiteral("d (2)"));
    QCOMPARE(pane.view->markedFunction(), d);
    // A drag pans and selects nothing.
    QTest::mousePress(pane.view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(pane.view->viewport(), Qt::LeftButton, Qt::NoModifier, at + QPoint(30, 0));
    QCOMPARE(e->trvCalls->currentIndex().data().toString(), QStringLiteral("d (2)"));
    // a first stands as "Also called by c": the click goes to where its
    // calls are shown.
    const int a = FunctionNamed(pane, QStringLiteral("a"));
    QTest::mouseClick(pane.view->viewport(), Qt::LeftButton, Qt::NoModifier,
                      pane.view->mapFromScene(pane.view->functionBounds(a).center()));
    QCOMPARE(e->trvCalls->currentIndex().data().toString(), QStringLiteral("a (2)"));

    // Zoomed in, then the whole picture back in view.
    pane.view->scale(4, 4);
    e->mnuViewFitPicture->trigger();
    const QRect whole = pane.view->mapFromScene(pane.view->sceneRect()).boundingRect();
    QVERIFY(pane.view->viewport()->rect().adjusted(-2, -2, 2, 2).contains(whole));

    e->txtFind->setText(QStringLiteral("deep"));
    e->findNext();
    QCOMPARE(pane.view->markedFunction(), FunctionNamed(pane, QStringLiteral("deep")));

    // The callers graph of the selected function: it is the filled root and
    // its callers call towards it.
    pane.showKind(engine::TreeKind::Callers);
    QTRY_VERIFY(LaidOut(pane) && Names(pane.shownGraph()).first() == "deep");
    QVERIFY(pane.shownGraph().functions.front().root);
    const int c = FunctionNamed(pane, QStringLiteral("c"));
    QCOMPARE(pane.shownGraph().calls.front().from, c);
    QTest::mouseClick(pane.view->viewport(), Qt::LeftButton, Qt::NoModifier,
                      pane.view->mapFromScene(pane.view->functionBounds(c).center()));
    QCOMPARE(e->trvCallers->currentIndex().data().toString(), QStringLiteral("c (1)"));
    QVERIFY(!pane.lblGraph->text().contains(QStringLiteral("Only")));
  }

  // The keyboard zooms about the middle, pans and fits, once the picture
  // has the focus.
  void keyboardZoomsAndPans_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<double>("zoom");  // the scale after, over the scale before
    QTest::addColumn<int>("across");   // sign of the sideways scroll
    QTest::addColumn<int>("down");     // sign of the downward scroll
    QTest::newRow("+") << int(Qt::Key_Plus) << int(Qt::NoModifier) << 1.25 << 0 << 0;
    QTest::newRow("+ on the keypad")
        << int(Qt::Key_Plus) << int(Qt::KeypadModifier) << 1.25 << 0 << 0;
    QTest::newRow("-") << int(Qt::Key_Minus) << int(Qt::NoModifier) << 0.8 << 0 << 0;
    QTest::newRow("right") << int(Qt::Key_Right) << int(Qt::NoModifier) << 1.0 << 1 << 0;
    QTest::newRow("left") << int(Qt::Key_Left) << int(Qt::NoModifier) << 1.0 << -1 << 0;
    QTest::newRow("down") << int(Qt::Key_Down) << int(Qt::NoModifier) << 1.0 << 0 << 1;
    QTest::newRow("up") << int(Qt::Key_Up) << int(Qt::NoModifier) << 1.0 << 0 << -1;
  }
  void keyboardZoomsAndPans() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(double, zoom);
    QFETCH(int, across);
    QFETCH(int, down);
    auto w = MakeWindow(QStringLiteral("f0"));
    ExplorerWindow* e = w->explorer();
    e->show();
    QVERIFY(QTest::qWaitForWindowExposed(e));
    GraphView* view = e->graph().view;
    QTRY_VERIFY(LaidOut(e->graph()));
    view->setFocus();
    view->setTransform(QTransform::fromScale(6, 6));
    QScrollBar* h = view->horizontalScrollBar();
    QScrollBar* v = view->verticalScrollBar();
    h->setValue((h->minimum() + h->maximum()) / 2);
    v->setValue((v->minimum() + v->maximum()) / 2);
    const double scale = view->transform().m11();
    const QPointF middle = view->mapToScene(view->viewport()->rect().center());
    const int x = h->value(), y = v->value();
    QTest::keyClick(view, static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(view->transform().m11() / scale, zoom);
    if (zoom != 1.0) {
      const QPointF after = view->mapToScene(view->viewport()->rect().center());
      QVERIFY(std::abs(after.x() - middle.x()) < 2 && std::abs(after.y() - middle.y()) < 2);
    } else {
      QCOMPARE((h->value() > x) - (h->value() < x), across);
      QCOMPARE((v->value() > y) - (v->value() < y), down);
    }
    QTest::keyClick(view, Qt::Key_0, Qt::ControlModifier);
    const QRect whole = view->mapFromScene(view->sceneRect()).boundingRect();
    QVERIFY(view->viewport()->rect().adjusted(-2, -2, 2, 2).contains(whole));
  }

  // Past 400 functions only those within two calls of the selected function
  // are drawn, and the line above the picture says so.
  void largeGraphsShowTheNeighbourhood() {
    auto w = MakeWindow(QStringLiteral("f0"));
    ExplorerWindow* e = w->explorer();
    GraphPane& pane = e->graph();
    QTRY_VERIFY(LaidOut(pane));
    QCOMPARE(Names(pane.shownGraph()), (QStringList{"f0", "f1", "f3", "f4", "f2", "f5", "f6"}));
    QVERIFY(pane.lblGraph->text().contains(QStringLiteral("within two calls of f0")));
    QVERIFY(pane.lblGraph->text().contains(QStringLiteral("500 functions, 499 calls")));

    e->txtFind->setText(QStringLiteral("f10 ("));
    e->findNext();
    QTRY_VERIFY(LaidOut(pane) && Names(pane.shownGraph()).contains("f10"));
    QStringList names = Names(pane.shownGraph());
    names.sort();
    QCOMPARE(names, (QStringList{"f1", "f10", "f21", "f22", "f4", "f43", "f44", "f45", "f46"}));
    QCOMPARE(pane.view->markedFunction(), FunctionNamed(pane, QStringLiteral("f10")));
  }

  // A function with more neighbours than a picture holds gets none, and
  // says so; another selection draws its own neighbourhood.
  void tooManyNeighboursDrawNothing() {
    auto w = MakeWindow(QStringLiteral("star"));
    ExplorerWindow* e = w->explorer();
    GraphPane& pane = e->graph();
    QTRY_VERIFY(!pane.layingOut() && pane.lblGraph->text().contains(QStringLiteral("too many")));
    QVERIFY(pane.shownGraph().functions.empty());
    QVERIFY(pane.lblGraph->text().contains(QStringLiteral("451 functions, 450 calls")));

    e->txtFind->setText(QStringLiteral("s7 ("));
    e->findNext();
    QTRY_VERIFY(LaidOut(pane));
    QCOMPARE(Names(pane.shownGraph()), (QStringList{"star", "s7"}));
    QVERIFY(pane.lblGraph->text().contains(QStringLiteral("within two calls of s7")));
  }

  void exportsThePicture_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("folder");
    QTest::newRow("svg") << "svg"
                         << "";
    QTest::newRow("png") << "png"
                         << "";
    QTest::newRow("to a missing folder") << "svg"
                                         << "missing/";
  }
  void exportsThePicture() {
    QFETCH(QString, format);
    QFETCH(QString, folder);
    pictureFormat_ = format;
    pictureFolder_ = folder;
    auto w = MakeWindow(QStringLiteral("main"));
    QTRY_VERIFY(LaidOut(w->explorer()->graph()));
    w->explorer()->mnuFileExportPicture->trigger();
    QCOMPARE(suggested_, QStringLiteral("main-call-graph.svg"));
    const QString path = dir_.filePath(folder + "picture." + format);
    if (!folder.isEmpty()) {
      QCOMPARE(shown_, QStringList{"Cannot write " + QDir::toNativeSeparators(path) +
                                   ": No such file or directory"});
      return;
    }
    QCOMPARE(shown_, QStringList());
    if (format == QLatin1String("png")) {
      const QImage image(path);
      QVERIFY(image.width() > 50 && image.height() > 50);
    } else {
      QFile file(path);
      QVERIFY(file.open(QIODevice::ReadOnly));
      QCOMPARE(file.readAll().count("class=\"node\""), 6);
    }
  }
#else
  void saysWhatToInstall() {
    auto w = MakeWindow(QStringLiteral("main"));
    ExplorerWindow* e = w->explorer();
    QVERIFY(e->graph().lblGraph->text().contains(QStringLiteral("libgraphviz-dev")));
    QVERIFY(!e->mnuFileExportPicture->isEnabled());
  }
#endif
};

}  // namespace korvath::gui

QTEST_MAIN(korvath::gui::GraphPaneTest)
#include "graph_pane_test.moc"
