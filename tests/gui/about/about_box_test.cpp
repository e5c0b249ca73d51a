// The About box: caption, texts, OK by Enter and Esc, and the System Info
// button over a fake registry and launcher.

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "gui/about/about_box.h"
#include "platform/null_registry.h"
#include "tests/support/about_fakes.h"

namespace korvath::gui {

using Paths = std::vector<std::u16string>;

struct SysInfoCase {
  QString pathValue{};  // null: none; empty: one without data
  bool toolInDirectory = true;
  bool startFails = false;
  Paths probed{};
  Paths started{};
  bool unavailable = false;
};

const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

class AboutBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void enterAndEscPressOk_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
  }
  void enterAndEscPressOk() {
    QFETCH(int, key);
    platform::NullRegistry registry;
    testing::FakeLauncher launcher;
    AboutBox box(registry, launcher);
    QSignalSpy okPressed(box.findChild<QPushButton*>("cmdOK"), &QPushButton::clicked);
    box.open();
    QTest::keyClick(&box, Qt::Key(key));
    QCOMPARE(okPressed.count(), 1);
    QVERIFY(!box.isVisible());
  }

  // The "PATH" value is started unchecked; only the older directory value
  // is checked for the tool. A "PATH" value without data is an error, and
  // then the directory value is not tried.
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
      const QByteArray bytes = c.pathValue.toLatin1();
      registry.SetValue(u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", u"PATH", platform::kRegSz,
                        {bytes.begin(), bytes.end()});
    }
    registry.SetString(u"SOFTWARE\\Microsoft\\Shared Tools Location", u"MSINFO", "C:\\Tools");
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

  // The texts, and the real message box over a registry without keys:
  // titled with the program's name, no icon, OK only.
  void textsAndThePlainUnavailableMessage() {
    platform::NullRegistry registry;
    testing::FakeLauncher launcher;
    AboutBox box(registry, launcher);
    QCOMPARE(box.windowTitle(), QStringLiteral("About korvath"));
    QCOMPARE(box.findChild<QLabel*>("lblTitle")->text(), QStringLiteral("Korvath"));
    QCOMPARE(box.findChild<QLabel*>("lblVersion")->text(),
             QStringLiteral("Version " KORVATH_PROJECT_VERSION));
    QStringList seen;  // title, text, icon and number of buttons
    QTimer::singleShot(0, [&] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* m = qobject_cast<QMessageBox*>(widget);
        if (m == nullptr || !m->isVisible()) continue;
        seen << m->windowTitle() << m->text() << QString::number(m->icon())
             << QString::number(m->buttons().size());
        m->accept();
      }
    });
    box.findChild<QPushButton*>("cmdSysInfo")->click();
    QCOMPARE(seen,
             (QStringList{"korvath", kUnavailable, QString::number(QMessageBox::NoIcon), "1"}));
  }
};

}  // namespace korvath::gui

QTEST_MAIN(korvath::gui::AboutBoxTest)
#include "about_box_test.moc"
