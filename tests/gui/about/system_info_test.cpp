// GetKeyValue against a registry that behaves like the Windows one.

#include <QTest>
#include <string>

#include "gui/about/system_info.h"
#include "tests/support/about_fakes.h"

using korvath::about::GetKeyValue;
using korvath::testing::FakeRegistry;
namespace platform = korvath::platform;

namespace {

const std::u16string kKey = u"SOFTWARE\\Test";
const std::u16string kName = u"Value";

QString Q(const std::u16string& text) { return QString::fromStdU16String(text); }

std::vector<unsigned char> Bytes(std::initializer_list<int> values) {
  std::vector<unsigned char> bytes;
  for (int v : values) bytes.push_back(static_cast<unsigned char>(v));
  return bytes;
}

}  // namespace

class SystemInfoTest : public QObject {
  Q_OBJECT

 private slots:
  void stringFillingTheWholeBufferIsReadInFull() {
    FakeRegistry registry;
    const std::string text(1023, 'x');  // 1024 bytes with the zero
    registry.SetString(kKey, kName, text);
    std::u16string value;
    QVERIFY(GetKeyValue(registry, platform::kHkeyLocalMachine, kKey, kName, value));
    QCOMPARE(value.size(), std::size_t{1023});
    QCOMPARE(value, std::u16string(1023, u'x'));
    QCOMPARE(registry.OpenKeyCount(), std::size_t{0});
  }

  void longerStringCountsAsMissing() {
    FakeRegistry registry;
    registry.SetString(kKey, kName, std::string(1024, 'x'));
    std::u16string value = u"stale";
    QVERIFY(!GetKeyValue(registry, platform::kHkeyLocalMachine, kKey, kName, value));
    QVERIFY(value.empty());
    QCOMPARE(registry.OpenKeyCount(), std::size_t{0});
  }

  void stringWithoutTerminatingZeroIsTakenInFull() {
    FakeRegistry registry;
    registry.SetValue(kKey, kName, platform::kRegSz, Bytes({'C', ':', '\\', 'T'}));
    std::u16string value;
    QVERIFY(GetKeyValue(registry, platform::kHkeyLocalMachine, kKey, kName, value));
    QCOMPARE(Q(value), QStringLiteral("C:\\T"));
  }

  void stringIsDecodedFromTheAnsiCodePage() {
    FakeRegistry registry;
    registry.SetValue(kKey, kName, platform::kRegSz,
                      Bytes({'C', 'a', 'f', 0xE9, ' ', 0x80, 0x99, 0}));
    std::u16string value;
    QVERIFY(GetKeyValue(registry, platform::kHkeyLocalMachine, kKey, kName, value));
    QCOMPARE(Q(value), QString::fromUtf8("Caf\u00e9 \u20ac\u2122"));
  }

  void dwordBecomesDecimalText_data() {
    QTest::addColumn<quint32>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0u << "0";
    QTest::newRow("two bytes") << 0x105u << "261";
    QTest::newRow("low word all ones") << 0xFFFFu << "65535";
    QTest::newRow("high byte set") << 0x12345678u << "305419896";
    QTest::newRow("top bit set") << 0xFFFFFFFEu << "-2";
  }
  void dwordBecomesDecimalText() {
    QFETCH(quint32, number);
    QFETCH(QString, text);
    FakeRegistry registry;
    // Stored little-endian, as Windows stores REG_DWORD.
    registry.SetValue(kKey, kName, platform::kRegDword,
                      Bytes({int(number & 0xFF), int(number >> 8 & 0xFF),
                             int(number >> 16 & 0xFF), int(number >> 24)}));
    std::u16string value = u"stale";
    QVERIFY(GetKeyValue(registry, platform::kHkeyLocalMachine, kKey, kName, value));
    QCOMPARE(Q(value), text);
  }

  void otherTypesAreReadWithoutTouchingTheText() {
    FakeRegistry registry;
    const std::uint32_t kRegBinary = 3;
    registry.SetValue(kKey, kName, kRegBinary, Bytes({1, 2, 3}));
    std::u16string value = u"as before";
    QVERIFY(GetKeyValue(registry, platform::kHkeyLocalMachine, kKey, kName, value));
    QCOMPARE(Q(value), QStringLiteral("as before"));
  }

  void valueWithoutDataIsAnError() {
    FakeRegistry registry;
    registry.SetValue(kKey, kName, platform::kRegSz, {});
    std::u16string value;
    QCOMPARE(GetKeyValue(registry, platform::kHkeyLocalMachine, kKey, kName, value).status,
             platform::Status::Invalid);
    QCOMPARE(registry.OpenKeyCount(), std::size_t{0});
  }

  void missingKeyOrValueGivesFalseAndEmptyText() {
    FakeRegistry registry;
    registry.SetString(kKey, kName, "there");
    std::u16string value = u"stale";
    QVERIFY(!GetKeyValue(registry, platform::kHkeyLocalMachine, u"SOFTWARE\\None",
                         kName, value));
    QVERIFY(value.empty());
    value = u"stale";
    QVERIFY(!GetKeyValue(registry, platform::kHkeyLocalMachine, kKey, u"Other", value));
    QVERIFY(value.empty());
    QCOMPARE(registry.OpenKeyCount(), std::size_t{0});
  }

  void keysAreOpenedForReadingOnly() {
    FakeRegistry registry;
    registry.SetString(kKey, kName, "x");
    std::u16string value;
    QVERIFY(GetKeyValue(registry, platform::kHkeyLocalMachine, kKey, kName, value));
    QCOMPARE(registry.accesses.size(), std::size_t{1});
    QCOMPARE(registry.accesses.front(), platform::kKeyRead);
  }
};

QTEST_APPLESS_MAIN(SystemInfoTest)
#include "system_info_test.moc"
