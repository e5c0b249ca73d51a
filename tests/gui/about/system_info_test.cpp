// GetKeyValue against a registry that answers as the Windows one does.

#include <QTest>

#include "gui/about/system_info.h"
#include "tests/support/about_fakes.h"

namespace korvath::gui {

using platform::Status;

class SystemInfoTest : public QObject {
  Q_OBJECT

 private slots:
  void getKeyValue_data() {
    QTest::addColumn<QString>("storedKey");  // the value is looked up at
    QTest::addColumn<QString>("storedName");  // SOFTWARE\Test, "Value"
    QTest::addColumn<uint>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QString>("text");  // the text after "stale"
    const auto row = [](const char* name, uint type, const QByteArray& data, Status status,
                        const QString& text, const char* key = "SOFTWARE\\Test",
                        const char* valueName = "Value") {
      QTest::newRow(name) << key << valueName << type << data << status << text;
    };
    const uint sz = platform::kRegSz;
    const uint dword = platform::kRegDword;
    row("string filling the 1024-byte buffer", sz, QByteArray(1023, 'x').append('\0'), Status::Ok,
        QString(1023, 'x'));
    row("string one byte longer", sz, QByteArray(1024, 'x').append('\0'), Status::NotFound, "");
    row("string without its zero", sz, "C:\\T", Status::Ok, "C:\\T");
    row("string in Windows-1252", sz, QByteArray("Caf\xE9 \x80\x99", 8), Status::Ok,
        QString::fromUtf8("Caf\u00e9 \u20ac\u2122"));
    // REG_DWORD is stored little-endian and read as a signed number.
    row("dword zero", dword, QByteArray(4, '\0'), Status::Ok, "0");
    row("dword two bytes", dword, QByteArray("\x05\x01\0\0", 4), Status::Ok, "261");
    row("dword all bytes", dword, "\x78\x56\x34\x12", Status::Ok, "305419896");
    row("dword top bit", dword, "\xFE\xFF\xFF\xFF", Status::Ok, "-2");
    row("dword of five bytes", dword, QByteArray(5, '\1'), Status::Invalid, "stale");
    row("other type", 3, "\1\2\3", Status::Ok, "stale");
    row("no data", sz, QByteArray(), Status::Invalid, "stale");
    row("no such value", sz, "x", Status::NotFound, "", "SOFTWARE\\Test", "Other");
    row("no such key", sz, "x", Status::NotFound, "", "SOFTWARE\\None");
  }
  void getKeyValue() {
    QFETCH(QString, storedKey);
    QFETCH(QString, storedName);
    QFETCH(uint, type);
    QFETCH(QByteArray, data);
    QFETCH(Status, status);
    QFETCH(QString, text);
    testing::FakeRegistry registry;
    registry.SetValue(storedKey.toStdU16String(), storedName.toStdU16String(), type,
                      {data.begin(), data.end()});
    std::u16string value = u"stale";
    QCOMPARE(GetKeyValue(registry, platform::kHkeyLocalMachine, u"SOFTWARE\\Test", u"Value", value)
                 .status,
             status);
    QCOMPARE(QString::fromStdU16String(value), text);
    QCOMPARE(registry.OpenKeyCount(), std::size_t{0});
    // Read access only: more would fail for users without administrator rights.
    QCOMPARE(registry.accesses, std::vector<std::uint32_t>{platform::kKeyRead});
  }
};

}  // namespace korvath::gui

QTEST_APPLESS_MAIN(korvath::gui::SystemInfoTest)
#include "system_info_test.moc"
