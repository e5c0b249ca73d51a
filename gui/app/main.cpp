// korvath: the desktop program.

#include <QApplication>

#include "gui/about/program_icon.h"
#include "gui/about/splash_screen.h"
#include "gui/main_window.h"
#include "platform/host.h"
#include "platform/host_file_system.h"

int main(int argc, char** argv) {
  using namespace korvath;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("korvath"));
  QApplication::setWindowIcon(gui::ProgramIcon());

  platform::HostFileSystem fs;
  gui::MainWindow window(fs, gui::MainWindowServices::desktop());
  auto* splash = new gui::SplashScreen;
  splash->setAttribute(Qt::WA_DeleteOnClose);
  splash->show();
  window.load(platform::DefaultFallbackDirectory());
  window.showAfter(splash);
  splash->raise();
  splash->activateWindow();
  return QApplication::exec();
}
