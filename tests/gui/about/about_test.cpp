// The About box, its System Info button and registry reader, and the splash
// screen, over a fake registry, program launcher and clock.

#include <QtTest>
#include <QtWidgets>

#include "gui/about/about_box.h"
#include "gui/about/splash_screen.h"
#include "gui/about/system_info.h"
#include "platform/null_registry.h"
#include "tests/support/about_fakes.h"

namespace korvath::gui {

using platform::Status;

struct SysInfoCase {
  QString pathValue{};  // null: none; empty: one without data
  bool toolInDirectory = true, startFails = false;
  std::vector<std::u16string> probed{}, started{};
  bool unavailable = false;
};

// Stored at key and name, read from SOFTWARE\Test, "Value" over "stale".
struct KeyCase {
  std::uint32_t type;
  QByteArray data;
  Status status;
  QString text;
  std::u16string key = u"SOFTWARE\\Test", name = u"Value";
};

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

  // "PATH" is started unchecked; only the older directory value is checked for
  // the tool. "PATH" without data is an error: the directory is not tried.
  void systemInfoStartsTheToolTheRegistryNames_data() {
    QTest::addColumn<SysInfoCase>("c");
    const std::u16string path = u"D:\\Nowhere\\msinfo32.exe";
    const std::u16string tool = u"C:\\Tools\\MSINFO32.EXE";
    const QString pathValue = QString::fromStdU16String(path);
    QTest::newRow("path value") << SysInfoCase{.pathValue = pathValue, .started = {path}};
    QTest::newRow("path value fails") << SysInfoCase{.pathValue = pathValue, .startFails = true,
                                                     .started = {path}, .unavailable = true};
    QTest::newRow("directory value") << SysInfoCase{.probed = {tool}, .started = {tool}};
    QTest::newRow("directory without the tool")
        << SysInfoCase{.toolInDirectory = false, .probed = {tool}, .unavailable = true};
    QTest::newRow("path value without data") << SysInfoCase{.pathValue = "", .unavailable = true};
  }
  void systemInfoStartsTheToolTheRegistryNames() {
    QFETCH(SysInfoCase, c);
    testing::FakeRegistry registry;
    if (!c.pathValue.isNull()) {
      registry.keys[u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"][u"PATH"] = {
          platform::kRegSz, c.pathValue.toStdString()};
    }
    registry.keys[u"SOFTWARE\\Microsoft\\Shared Tools Location"][u"MSINFO"] = {
        platform::kRegSz, std::string("C:\\Tools\0", 9)};  // with its zero, as Windows has it
    testing::FakeLauncher launcher;
    if (c.toolInDirectory) launcher.files.insert(u"C:\\Tools\\MSINFO32.EXE");
    launcher.startSucceeds = !c.startFails;
    AboutBox box(registry, launcher);
    QStringList messages;
    box.setMessageShower([&](QWidget*, const QString& text) { messages << text; });
    box.findChild<QPushButton*>("cmdSysInfo")->click();
    QVERIFY(launcher.probed == c.probed);
    QVERIFY(launcher.started == c.started);
    QCOMPARE(messages, c.unavailable ? QStringList{kUnavailable} : QStringList{});
  }

  void getKeyValue_data() {
    QTest::addColumn<KeyCase>("c");
    const auto row = [](const char* name, const KeyCase& c) { QTest::newRow(name) << c; };
    const std::uint32_t sz = platform::kRegSz;
    const std::uint32_t dword = platform::kRegDword;
    row("string filling the 1024-byte buffer",
        {sz, QByteArray(1023, 'x') + '\0', Status::Ok, QString(1023, 'x')});
    row("string one byte longer", {sz, QByteArray(1024, 'x') + '\0', Status::NotFound, ""});
    row("string without its zero", {sz, "C:\\T", Status::Ok, "C:\\T"});
    row("string in Windows-1252",
        {sz, QByteArray("Caf\xE9 \x80\x99", 8), Status::Ok, "Caf\u00e9 \u20ac\u2122"});
    // REG_DWORD is stored little-endian and read as a signed number.
    row("dword zero", {dword, QByteArray(4, '\0'), Status::Ok, "0"});
    row("dword two bytes", {dword, QByteArray("\5\1\0\0", 4), Status::Ok, "261"});
    row("dword all bytes", {dword, "\x78\x56\x34\x12", Status::Ok, "305419896"});
    row("dword top bit", {dword, "\xFE\xFF\xFF\xFF", Status::Ok, "-2"});
    row("dword of five bytes", {dword, QByteArray(5, '\1'), Status::Invalid, "stale"});
    row("other type", {3, "\1\2\3", Status::Ok, "stale"});
    row("no data", {sz, QByteArray(), Status::Invalid, "stale"});
    row("no such value", {sz, "x", Status::NotFound, "", u"SOFTWARE\\Test", u"Other"});
    row("no such key", {sz, "x", Status::NotFound, "", u"SOFTWARE\\None"});
  }
  void getKeyValue() {
    QFETCH(KeyCase, c);
    testing::FakeRegistry registry;
    registry.keys[c.key][c.name] = {c.type, c.data.toStdString()};
    std::u16string value = u"stale";
    QCOMPARE(GetKeyValue(registry, platform::kHkeyLocalMachine, u"SOFTWARE\\Test", u"Value", value)
                 .status,
             c.status);
    QCOMPARE(QString::fromStdU16String(value), c.text);
    QVERIFY(registry.open.empty());
    // Read access only: more would fail for users without administrator rights.
    QCOMPARE(registry.accesses, std::vector<std::uint32_t>{platform::kKeyRead});
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
    if (key != 0) QTest::keyClick(&splash, Qt::Key(key));
    else QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(20, frame->height() - 20));
    QCOMPARE(splash.isVisible(), !closes);
    QCOMPARE(clock.overruns, 0);  // not by the timed close
  }
};

}  // namespace korvath::gui

QTEST_MAIN(korvath::gui::AboutTest)
#include "about_test.moc"
