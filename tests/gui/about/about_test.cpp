// The About box and its System Info button, and the splash screen, over a
// fake registry, program launcher and clock. Finding and starting the tool
// itself is tested in tests/session/system_info_test.cpp.

#include <QtTest>
#include <QtWidgets>

#include "gui/about/about_box.h"
#include "gui/about/splash_screen.h"
#include "platform/null_registry.h"
#include "tests/support/about_fakes.h"
#include "tests/support/system_info_fakes.h"

namespace korvath::gui {

const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

class AboutTest : public QObject {
  Q_OBJECT

 private slots:
  // Both windows show this build's version; Enter and Esc press OK. Without
  // registry keys the real message box says so, titled, no icon, OK only.
  void versionKeysAndThePlainUnavailableMessage() {
    platform::NullRegistry registry;
    testing::FakeLauncher launcher;
    AboutBox box(registry, launcher);
    testing::FakeClock clock;
    SplashScreen splash(clock);
    const QString version = QStringLiteral("Version " KORVATH_PROJECT_VERSION);
    QCOMPARE(box.findChild<QLabel*>("lblVersion")->text(), version);
    QCOMPARE(splash.findChild<QLabel*>("lblVersion")->text(), version);
    QSignalSpy okPressed(box.findChild<QPushButton*>("cmdOK"), &QPushButton::clicked);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
      box.open();
      QTest::keyClick(&box, key);
      QVERIFY(!box.isVisible());
    }
    QCOMPARE(okPressed.count(), 2);
    QStringList seen;  // title, text, icon and number of buttons
    QTimer::singleShot(0, [&seen] {
      auto* m = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(m != nullptr);
      seen << m->windowTitle() << m->text() << QString::number(m->icon())
           << QString::number(m->buttons().size());
      m->accept();
    });
    box.findChild<QPushButton*>("cmdSysInfo")->click();
    QCOMPARE(seen,
             (QStringList{"korvath", kUnavailable, QString::number(QMessageBox::NoIcon), "1"}));
  }

  // The button finds the tool through the registry and launcher it was given,
  // not the host's, and its message goes to the replaced message shower.
  void systemInfoUsesTheGivenRegistryAndLauncher_data() {
    QTest::addColumn<bool>("startFails");
    QTest::newRow("tool starts") << false;
    QTest::newRow("tool fails to start") << true;
  }
  void systemInfoUsesTheGivenRegistryAndLauncher() {
    QFETCH(bool, startFails);
    const std::u16string path = u"D:\\Nowhere\\msinfo32.exe";
    testing::FakeRegistry registry;
    registry.keys[u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"][u"PATH"] = {
        platform::kRegSz, "D:\\Nowhere\\msinfo32.exe"};
    testing::FakeLauncher launcher;
    launcher.startSucceeds = !startFails;
    AboutBox box(registry, launcher);
    QStringList messages;
    box.setMessageShower([&](QWidget*, const QString& text) { messages << text; });
    box.findChild<QPushButton*>("cmdSysInfo")->click();
    QVERIFY(launcher.started == std::vector<std::u16string>{path});
    QCOMPARE(messages, startFails ? QStringList{kUnavailable} : QStringList{});
  }

  // The wait starts with the focus and ends when the second of the minute
  // has moved on by three, or has wrapped at the turn of the minute.
  void splashClosesThreeSecondsAfterTheFocus_data() {
    QTest::addColumn<std::vector<int>>("seconds");
    QTest::addColumn<int>("sleeps");
    QTest::newRow("second 30") << std::vector<int>{30, 30, 31, 31, 32, 32, 33, 34} << 5;
    QTest::newRow("second 59") << std::vector<int>{59, 59, 59, 0, 1} << 2;
  }
  void splashClosesThreeSecondsAfterTheFocus() {
    QFETCH(std::vector<int>, seconds);
    QFETCH(int, sleeps);
    testing::FakeClock clock;
    clock.seconds = seconds;
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

  void splashClosesOnATypedKeyOrAClick_data() {
    QTest::addColumn<int>("key");  // 0 for a click on the frame
    QTest::addColumn<bool>("closes");
    QTest::newRow("Shift") << int(Qt::Key_Shift) << false;
    QTest::newRow("X") << int(Qt::Key_X) << true;
    QTest::newRow("click") << 0 << true;
  }
  void splashClosesOnATypedKeyOrAClick() {
    QFETCH(int, key);
    QFETCH(bool, closes);
    testing::FakeClock clock;
    SplashScreen splash(clock);
    splash.show();
    auto* frame = splash.findChild<QFrame*>(QStringLiteral("Frame1"));
    if (key != 0)
      QTest::keyClick(&splash, Qt::Key(key));
    else
      QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(20, frame->height() - 20));
    QCOMPARE(splash.isVisible(), !closes);
    QCOMPARE(clock.overruns, 0);  // not by the timed close
  }
};

}  // namespace korvath::gui

QTEST_MAIN(korvath::gui::AboutTest)
#include "about_test.moc"
