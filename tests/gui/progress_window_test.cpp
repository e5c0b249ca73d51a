// The progress window draws at most about 30 captions a second, but never
// skips the last one of a run.

#include <QLabel>
#include <QScreen>
#include <QtTest>

#include "engine/messages.h"
#include "gui/progress_window.h"

namespace korvath::gui {

class ProgressWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void captionsAreSetEveryPassButDrawnAtMostEvery33ms() {
    ProgressWindow window;
    ProgressWindow::Clock::time_point t{};
    window.now = [&t] { return t; };
    QStringList seen;
    window.captionObserver = [&seen](const QString& c) { seen << c; };
    window.Show();
    window.Refresh();
    QCOMPARE(window.repaints(), 1);
    for (int pass = 0; pass < 100; ++pass) {
      t += std::chrono::milliseconds(1);
      window.SetCaption(engine::messages::ProgressCaption(pass, 100));
      window.Refresh();
    }
    // 100 ms of passes: a repaint at 33, 66 and 99 ms after the first.
    QCOMPARE(window.repaints(), 4);
    QCOMPARE(seen.size(), 100);
    QCOMPARE(window.lblProgress->text(), QStringLiteral("Parsed 99 files out of 100."));

    t += std::chrono::milliseconds(1);
    window.SetCaption(engine::messages::kBuildingTree);
    window.Refresh();
    QCOMPARE(window.repaints(), 5);
    QCOMPARE(window.lblProgress->text(), QStringLiteral("Building the function tree"));
  }

  // What reaches the screen, not only the label: the run holds the thread,
  // so the window must be exposed and painted by the refresh itself, with
  // no event loop in between; then each refreshed caption shows.
  void refreshedCaptionsReachTheScreen() {
    ProgressWindow window;
    ProgressWindow::Clock::time_point t{};
    window.now = [&t] { return t; };
    auto onScreen = [&window] {
      return window.screen()->grabWindow(window.winId()).toImage();
    };
    auto inkOf = [](const QImage& image) {
      int ink = 0;
      for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) ink += qGray(image.pixel(x, y)) < 96 ? 1 : 0;
      }
      return ink;
    };
    window.Show();
    window.SetCaption(engine::messages::ProgressCaption(1, 2));
    window.Refresh();
    const QImage first = onScreen();
    QVERIFY(inkOf(first) > 20);
    t += std::chrono::milliseconds(40);
    window.SetCaption(engine::messages::kBuildingTree);
    window.Refresh();
    QVERIFY(onScreen() != first);
  }
};

}  // namespace korvath::gui

QTEST_MAIN(korvath::gui::ProgressWindowTest)
#include "progress_window_test.moc"
