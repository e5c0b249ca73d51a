// korvath: the desktop program.

#include <QApplication>
#include <QTimer>

#include "about/program_icon.h"
#include "about/splash_screen.h"
#include "platform/host_file_system.h"
#include "shell/gui/main_window.h"
#include "shell/startup_settings.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("korvath"));
  QApplication::setWindowIcon(korvath::about::ProgramIcon());

  korvath::platform::HostFileSystem fs;
  korvath::MainWindow window(fs, korvath::MainWindowServices::Desktop());
  auto* splash = new korvath::about::SplashScreen;
  splash->setAttribute(Qt::WA_DeleteOnClose);
  splash->show();
  window.Form_Load(korvath::DefaultFallbackDirectory());
  window.show();
  // The splash closes itself a few seconds after it gets the focus.
  splash->raise();
  splash->activateWindow();
  return QApplication::exec();
}
