#include "gui/explorer/index_build.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <chrono>
#include <exception>
#include <future>

namespace korvath::gui {

platform::Result BuildIndex(QWidget* parent, session::Workspace& workspace) {
  engine::ProgramIndex::Control control;
  QEventLoop loop;
  auto done = std::async(std::launch::async, [&] {
    struct Quit {  // however the refresh ends
      QEventLoop& loop;
      ~Quit() { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); }
    } quit{loop};
    return workspace.RefreshIndex(&control);
  });
  // A refresh with little to do ends before anyone would notice the wait;
  // the window is held still meanwhile rather than flashing a dialog.
  if (done.wait_for(std::chrono::milliseconds(300)) != std::future_status::ready) {
    QProgressDialog progress(QStringLiteral("Indexing the files of the search path..."),
                             QStringLiteral("Cancel"), 0, 0, parent);
    progress.setWindowTitle(QStringLiteral("Korvath"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    QObject::connect(&progress, &QProgressDialog::canceled, [&control] { control.cancel = true; });
    QTimer follow;
    QObject::connect(&follow, &QTimer::timeout, [&] {
      progress.setMaximum(control.total.load());
      progress.setValue(control.done.load());
    });
    follow.start(50);
    progress.show();
    if (done.wait_for(std::chrono::seconds(0)) != std::future_status::ready) loop.exec();
  }
  return done.get();  // rethrows what the refresh threw
}

}  // namespace korvath::gui
