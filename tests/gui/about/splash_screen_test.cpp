// The splash screen's texts, its timed close on a fake clock, and closing it
// by key and by click.

#include <QFrame>
#include <QLabel>
#include <QTest>

#include "gui/about/splash_screen.h"
#include "tests/support/about_fakes.h"
#include "korvath_version.h"

using korvath::about::SplashScreen;
using korvath::testing::FakeClock;

class SplashScreenTest : public QObject {
  Q_OBJECT

 private:
  // Shows the splash and lets the window system give it the focus, which
  // starts the timed close.
  static void ShowAndFocus(SplashScreen& splash) {
    splash.show();
    QTRY_VERIFY_WITH_TIMEOUT(!splash.isVisible(), 5000);
  }

 private slots:
  void showsTheVersionOfTheRunningProgram() {
    FakeClock clock({});
    SplashScreen splash(clock);
    auto* version = splash.findChild<QLabel*>(QStringLiteral("lblVersion"));
    QVERIFY(version != nullptr);
    QCOMPARE(version->text(), QStringLiteral("Version %1.%2.%3")
                                  .arg(KORVATH_VERSION_MAJOR)
                                  .arg(KORVATH_VERSION_MINOR)
                                  .arg(KORVATH_VERSION_REVISION));
    QCOMPARE(splash.findChild<QLabel*>(QStringLiteral("lblProductName"))->text(),
             QStringLiteral("Korvath"));
    QCOMPARE(splash.findChild<QLabel*>(QStringLiteral("lblCompanyProduct"))->text(),
             QStringLiteral("For Matlab"));
  }

  void focusAtSecond30ClosesAtSecond33() {
    FakeClock clock({30, 30, 31, 31, 32, 32, 33, 34});
    SplashScreen splash(clock);
    std::vector<bool> open_at_read;
    clock.onRead = [&] { open_at_read.push_back(splash.isVisible()); };
    ShowAndFocus(splash);
    // Every read up to the one answering 33 found the window open, and
    // none came after it.
    QCOMPARE(clock.reads(), std::size_t{7});
    QCOMPARE(open_at_read, std::vector<bool>(7, true));
    QVERIFY(!clock.overrun);
    // It sleeps between reads instead of spinning.
    QCOMPARE(clock.sleeps.size(), std::size_t{5});
    for (int ms : clock.sleeps) QVERIFY(ms > 0 && ms <= 100);
  }

  void focusAtSecond59ClosesWhenTheMinuteTurns() {
    FakeClock clock({59, 59, 59, 0, 1});
    SplashScreen splash(clock);
    ShowAndFocus(splash);
    QCOMPARE(clock.reads(), std::size_t{4});
    QVERIFY(!clock.overrun);
  }

  void characterKeyClosesIt() {
    FakeClock clock({});
    SplashScreen splash(clock);
    splash.show();
    QTest::keyClick(&splash, Qt::Key_Shift);
    QVERIFY(splash.isVisible());
    QTest::keyClick(&splash, Qt::Key_X);
    QVERIFY(!splash.isVisible());
    QCOMPARE(clock.reads(), std::size_t{0});
  }

  void clickOnTheFrameClosesIt() {
    FakeClock clock({});
    SplashScreen splash(clock);
    splash.show();
    auto* frame = splash.findChild<QFrame*>(QStringLiteral("Frame1"));
    QVERIFY(frame != nullptr);
    QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(20, frame->height() - 20));
    QVERIFY(!splash.isVisible());
    QCOMPARE(clock.reads(), std::size_t{0});
  }
};

QTEST_MAIN(SplashScreenTest)
#include "splash_screen_test.moc"
