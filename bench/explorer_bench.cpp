// korvath-bench-explorer: the explorer opened on a large call tree.
//
//   korvath-bench-explorer DIR START NODES
//
// DIR holds korvath.ini and is the session's folder; START is parsed as if
// typed in the main window, with a budget of NODES nodes. Then the explorer
// opens for the first time, and "painted MS ready MS painted-cpu MS" says
// how long that took (run the program again for another sample): from the
// command to the window's first painting, and to its trees being prepared
// (the index, the recursion marks and the picture's graph), wall clock, and
// the user-interface thread's processor time until the painting. Prints
// "nodes N" first. Runs on the offscreen platform unless another is chosen.
// With KORVATH_BENCH_LINGER set it stays 10 s more, so the picture is laid
// out too (for a look under a debugger).

#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "gui/explorer/explorer_window.h"
#include "gui/main_window.h"
#include "gui/models/call_tree_model.h"
#include "platform/host_file_system.h"
#include "platform/utf8.h"

namespace {

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Notes the first painting of the explorer's call tree, however early.
class PaintWatch final : public QObject {
 public:
  bool painted = false;
  const QElapsedTimer* clock = nullptr;
  double atMs = 0;   // on `clock`
  double cpuMs = 0;  // of this thread when it painted

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!painted && event->type() == QEvent::Paint) {
      auto* widget = qobject_cast<QWidget*>(watched);
      auto* tree = widget != nullptr ? qobject_cast<QTreeView*>(widget->parentWidget()) : nullptr;
      if (tree != nullptr && tree->objectName() == QLatin1String("trvCalls") &&
          qobject_cast<korvath::gui::ExplorerWindow*>(tree->window()) != nullptr) {
        painted = true;
        atMs = static_cast<double>(clock->nsecsElapsed()) / 1e6;
        cpuMs = ThreadCpuMs();
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace korvath;
  if (argc < 4) {
    std::fprintf(stderr, "usage: korvath-bench-explorer DIR START NODES\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  platform::HostFileSystem fs(platform::FromUtf8(argv[1]));
  gui::MainWindowServices services;
  services.showMessage = [](QWidget*, QMessageBox::Icon, const QString& text, const QString&) {
    std::fprintf(stderr, "korvath-bench-explorer: %s\n", text.toLocal8Bit().constData());
  };
  gui::MainWindow window(fs, services);
  window.load(platform::FromUtf8(argv[1]));
  window.show();
  QCoreApplication::processEvents();
  window.limits.maxNodes = std::atoi(argv[3]);
  window.txtFileName->setText(QString::fromLocal8Bit(argv[2]));
  window.parse();
  std::printf("nodes %d\n", window.model().nodeCount());
  std::fflush(stdout);
  {
    PaintWatch watch;
    app.installEventFilter(&watch);
    QElapsedTimer clock;
    watch.clock = &clock;
    clock.start();
    const double cpu = ThreadCpuMs();
    window.explore();
    gui::ExplorerWindow* explorer = window.explorer();
    while (!watch.painted) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double paintedMs = watch.atMs;
    const double paintedCpu = watch.cpuMs - cpu;
    // Before the trees were prepared off the user-interface thread, the
    // window was ready once it painted.
    while (explorer->property("preparing").toBool()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    const double readyMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (qEnvironmentVariableIsSet("KORVATH_BENCH_LINGER")) {  // the picture's layout too
      QElapsedTimer linger;
      linger.start();
      while (linger.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    std::printf("painted %.1f ready %.1f painted-cpu %.1f\n", paintedMs, readyMs, paintedCpu);
  }
  return 0;
}
