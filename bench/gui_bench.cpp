// korvath-bench-gui: the desktop program's main window timed on a large tree.
//
//   korvath-bench-gui DIR START [REPEATS]
//
// DIR holds korvath.ini and is the session's folder; START is parsed as if
// typed in the window. Prints "nodes N", then one line per repeat:
// "expand MS collapse MS expand-cpu MS collapse-cpu MS", each the menu's
// action and the painting that follows it, wall clock and processor time. Runs on the offscreen
// platform unless another is chosen.

#include <time.h>
#include <QApplication>
#include <QLineEdit>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "gui/main_window.h"
#include "gui/models/call_tree_model.h"
#include "platform/host_file_system.h"
#include "platform/utf8.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Figures {
  double wallMs = 0;
  double cpuMs = 0;
};

// The action, then every event it queued (the layout and the painting).
template <typename Action>
Figures Timed(Action action) {
  const auto start = Clock::now();
  const double cpu = CpuMs();
  action();
  QCoreApplication::processEvents();
  return {MsSince(start), CpuMs() - cpu};
}

}  // namespace

int main(int argc, char** argv) {
  using namespace korvath;
  if (argc < 3) {
    std::fprintf(stderr, "usage: korvath-bench-gui DIR START [REPEATS]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;

  platform::HostFileSystem fs(platform::FromUtf8(argv[1]));
  gui::MainWindowServices services;
  services.showMessage = [](QWidget*, QMessageBox::Icon, const QString& text, const QString&) {
    std::fprintf(stderr, "korvath-bench-gui: %s\n", text.toLocal8Bit().constData());
  };
  gui::MainWindow window(fs, services);
  window.load(platform::FromUtf8(argv[1]));
  window.show();
  QCoreApplication::processEvents();
  window.txtFileName->setText(QString::fromLocal8Bit(argv[2]));
  window.parse();
  std::printf("nodes %d\n", window.model().nodeCount());
  for (int i = 0; i < repeats; ++i) {
    const Figures expand = Timed([&] { window.expandAll(); });
    const Figures collapse = Timed([&] { window.collapseAll(); });
    std::printf("expand %.1f collapse %.1f expand-cpu %.1f collapse-cpu %.1f\n", expand.wallMs,
                collapse.wallMs, expand.cpuMs, collapse.cpuMs);
    std::fflush(stdout);
  }
  return 0;
}
