// The splash screen's texts, its timed close on a fake clock, and closing it
// by key and by click.

#include <QFrame>
#include <QLabel>
#include <QTest>

#include "gui/about/splash_screen.h"
#include "tests/support/about_fakes.h"

namespace korvath::gui {

class SplashScreenTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheVersionOfTheBuild() {
    testing::FakeClock clock({});
    SplashScreen splash(clock);
    QCOMPARE(splash.findChild<QLabel*>("lblVersion")->text(),
             QStringLiteral("Version " KORVATH_PROJECT_VERSION));
  }

  // The wait starts with the focus and ends when the second of the minute
  // has moved on by three, or has wrapped at the turn of the minute.
  void closesThreeSecondsAfterTheFocus_data() {
    QTest::addColumn<std::vector<int>>("seconds");
    QTest::addColumn<int>("sleeps");
    QTest::newRow("second 30") << std::vector<int>{30, 30, 31, 31, 32, 32, 33, 34} << 5;
    QTest::newRow("second 59") << std::vector<int>{59, 59, 59, 0, 1} << 2;
  }
  void closesThreeSecondsAfterTheFocus() {
    QFETCH(std::vector<int>, seconds);
    QFETCH(int, sleeps);
    testing::FakeClock clock(seconds);
    SplashScreen splash(clock);
    std::vector<bool> openAtRead;
    clock.onRead = [&] { openAtRead.push_back(splash.isVisible()); };
    splash.show();
    QTRY_VERIFY_WITH_TIMEOUT(!splash.isVisible(), 5000);
    // Every read up to the closing one found the window open; none followed.
    QCOMPARE(openAtRead, std::vector<bool>(std::size_t(sleeps) + 2, true));
    QCOMPARE(clock.overruns, 0);
    // It sleeps between reads rather than spinning.
    QCOMPARE(clock.sleeps.size(), std::size_t(sleeps));
    for (int ms : clock.sleeps) QVERIFY(ms > 0 && ms <= 100);
  }

  void closesOnATypedKeyOrAClick_data() {
    QTest::addColumn<int>("key");  // 0 for a click on the frame
    QTest::addColumn<bool>("closes");
    QTest::newRow("Shift") << int(Qt::Key_Shift) << false;
    QTest::newRow("X") << int(Qt::Key_X) << true;
    QTest::newRow("click") << 0 << true;
  }
  void closesOnATypedKeyOrAClick() {
    QFETCH(int, key);
    QFETCH(bool, closes);
    testing::FakeClock clock({});
    SplashScreen splash(clock);
    splash.show();
    if (key != 0) {
      QTest::keyClick(&splash, Qt::Key(key));
    } else {
      auto* frame = splash.findChild<QFrame*>(QStringLiteral("Frame1"));
      QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(20, frame->height() - 20));
    }
    QCOMPARE(splash.isVisible(), !closes);
    QCOMPARE(clock.overruns, 0);  // not by the timed close
  }
};

}  // namespace korvath::gui

QTEST_MAIN(korvath::gui::SplashScreenTest)
#include "splash_screen_test.moc"
