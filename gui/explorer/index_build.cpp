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
  const auto finished = [&done] {
    return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  };
  // A refresh with little to do ends before anyone would notice the wait;
  // the windows are held still meanwhile rather than flashing a dialog, but
  // they paint.
  {
    QEventLoop still;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (finished()) still.quit();
    });
    poll.start(5);
    QTimer::singleShot(300, &still, &QEventLoop::quit);
    if (!finished()) still.exec(QEventLoop::ExcludeUserInputEvents);
  }
  if (!finished()) {
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
      if (finished()) loop.quit();  // should its own word have gone to an earlier wait
    });
    follow.start(50);
    progress.show();
    if (!finished()) loop.exec();
  }
  return done.get();  // rethrows what the refresh threw
}

}  // namespace korvath::gui
