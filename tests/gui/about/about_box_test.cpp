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
#include "gui/about/system_info.h"
#include "tests/support/about_fakes.h"
#include "korvath_version.h"
#include "platform/null_registry.h"

using korvath::about::AboutBox;
using korvath::testing::FakeLauncher;
using korvath::testing::FakeRegistry;

namespace {

const std::u16string kMsinfoKey = u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::u16string kLocationKey = u"SOFTWARE\\Microsoft\\Shared Tools Location";
const QString kUnavailable =
    QStringLiteral("System Information Is Unavailable At This Time");

// Presses System Info and returns the messages it showed.
QStringList PressSysInfo(korvath::platform::Registry& registry,
                         FakeLauncher& launcher) {
  AboutBox box(registry, launcher);
  QStringList messages;
  box.SetMessageShower(
      [&](QWidget*, const QString& text) { messages.append(text); });
  box.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();
  return messages;
}

}  // namespace

class AboutBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void showsCaptionTitleAndVersion() {
    korvath::platform::NullRegistry registry;
    FakeLauncher launcher;
    AboutBox box(registry, launcher);
    QCOMPARE(box.windowTitle(), QStringLiteral("About korvath"));
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("lblTitle"))->text(),
             QStringLiteral("Korvath"));
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("lblVersion"))->text(),
             QStringLiteral("Version %1.%2.%3")
                 .arg(KORVATH_VERSION_MAJOR)
                 .arg(KORVATH_VERSION_MINOR)
                 .arg(KORVATH_VERSION_REVISION));
  }

  void enterAndEscPressOk_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
  }
  void enterAndEscPressOk() {
    QFETCH(int, key);
    korvath::platform::NullRegistry registry;
    FakeLauncher launcher;
    AboutBox box(registry, launcher);
    QSignalSpy ok_pressed(box.findChild<QPushButton*>(QStringLiteral("cmdOK")),
                          &QPushButton::clicked);
    box.open();
    QVERIFY(box.isVisible());
    QTest::keyClick(&box, Qt::Key(key));
    QCOMPARE(ok_pressed.count(), 1);
    QVERIFY(!box.isVisible());
  }

  void pathValueIsStartedUncheckedAndAlone() {
    FakeRegistry registry;
    registry.SetString(kMsinfoKey, u"PATH", "D:\\Nowhere\\msinfo32.exe");
    registry.SetString(kLocationKey, u"MSINFO", "C:\\Tools");
    FakeLauncher launcher;
    launcher.files.insert(u"C:\\Tools\\MSINFO32.EXE");
    QVERIFY(PressSysInfo(registry, launcher).isEmpty());
    QCOMPARE(launcher.started,
             std::vector<std::u16string>{u"D:\\Nowhere\\msinfo32.exe"});
    QVERIFY(launcher.probed.empty());
  }

  void failedStartShowsTheMessage() {
    FakeRegistry registry;
    registry.SetString(kMsinfoKey, u"PATH", "D:\\Nowhere\\msinfo32.exe");
    registry.SetString(kLocationKey, u"MSINFO", "C:\\Tools");
    FakeLauncher launcher;
    launcher.files.insert(u"C:\\Tools\\MSINFO32.EXE");
    launcher.startSucceeds = false;
    QCOMPARE(PressSysInfo(registry, launcher), QStringList{kUnavailable});
    // The directory value is not tried after the path value failed.
    QCOMPARE(launcher.started.size(), std::size_t{1});
  }

  void directoryValueWithTheToolStartsIt() {
    FakeRegistry registry;
    registry.SetString(kLocationKey, u"MSINFO", "C:\\Tools");
    FakeLauncher launcher;
    launcher.files.insert(u"C:\\Tools\\MSINFO32.EXE");
    QVERIFY(PressSysInfo(registry, launcher).isEmpty());
    QCOMPARE(launcher.started, std::vector<std::u16string>{u"C:\\Tools\\MSINFO32.EXE"});
  }

  void directoryValueWithoutTheToolShowsTheMessage() {
    FakeRegistry registry;
    registry.SetString(kLocationKey, u"MSINFO", "C:\\Tools");
    FakeLauncher launcher;
    QCOMPARE(PressSysInfo(registry, launcher), QStringList{kUnavailable});
    QCOMPARE(launcher.probed, std::vector<std::u16string>{u"C:\\Tools\\MSINFO32.EXE"});
    QVERIFY(launcher.started.empty());
  }

  void registryErrorShowsTheMessage() {
    FakeRegistry registry;
    registry.SetValue(kMsinfoKey, u"PATH", korvath::platform::kRegSz, {});
    FakeLauncher launcher;
    QCOMPARE(PressSysInfo(registry, launcher), QStringList{kUnavailable});
    QVERIFY(launcher.started.empty());
  }

  void emptyRegistryShowsTheMessage() {
    korvath::platform::NullRegistry registry;
    FakeLauncher launcher;
    QCOMPARE(PressSysInfo(registry, launcher), QStringList{kUnavailable});
    QVERIFY(launcher.started.empty());
  }

  // The real message box: titled with the program's name, no icon, OK only.
  void messageBoxIsPlainAndTitled() {
    korvath::platform::NullRegistry registry;
    FakeLauncher launcher;
    AboutBox box(registry, launcher);
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QList<QAbstractButton*> buttons;
    QTimer::singleShot(0, [&] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* message = qobject_cast<QMessageBox*>(widget);
        if (message == nullptr || !message->isVisible()) continue;
        title = message->windowTitle();
        text = message->text();
        icon = message->icon();
        buttons = message->buttons();
        message->accept();
      }
    });
    box.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();
    QCOMPARE(title, QStringLiteral("korvath"));
    QCOMPARE(text, kUnavailable);
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons.size(), 1);
  }
};

QTEST_MAIN(AboutBoxTest)
#include "about_box_test.moc"
