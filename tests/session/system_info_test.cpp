// Finding the system-information tool through the registry and starting it,
// over a fake registry and program launcher.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/result.h"
#include "session/system_info.h"
#include "tests/support/system_info_fakes.h"

namespace korvath::session {
namespace {

using korvath::testing::FakeLauncher;
using korvath::testing::FakeRegistry;
using platform::Status;

// Stored at key and value, read from SOFTWARE\Test, "Value" over "stale".
struct KeyCase {
  const char* name;
  std::uint32_t type;
  std::string data;
  Status status;
  std::u16string text;
  std::u16string key = u"SOFTWARE\\Test", value = u"Value";
};

TEST(GetKeyValue, ReadsStringsAndDwordsAsTextWithReadAccessOnly) {
  const std::uint32_t sz = platform::kRegSz;
  const std::uint32_t dword = platform::kRegDword;
  const KeyCase cases[] = {
      {"string filling the 1024-byte buffer", sz, std::string(1023, 'x') + '\0', Status::Ok,
       std::u16string(1023, u'x')},
      {"string one byte longer", sz, std::string(1024, 'x') + '\0', Status::NotFound, u""},
      {"string without its zero", sz, "C:\\T", Status::Ok, u"C:\\T"},
      // Only its zero: an empty string, not a value without data.
      {"string of only its zero", sz, std::string(1, '\0'), Status::Ok, u""},
      {"string in Windows-1252", sz, std::string("Caf\xE9 \x80\x99", 8), Status::Ok,
       u"Caf\u00e9 \u20ac\u2122"},
      // REG_DWORD is stored little-endian and read as a signed number.
      {"dword zero", dword, std::string(4, '\0'), Status::Ok, u"0"},
      {"dword two bytes", dword, std::string("\5\1\0\0", 4), Status::Ok, u"261"},
      {"dword all bytes", dword, "\x78\x56\x34\x12", Status::Ok, u"305419896"},
      {"dword top bit", dword, "\xFE\xFF\xFF\xFF", Status::Ok, u"-2"},
      {"dword of five bytes", dword, std::string(5, '\1'), Status::Invalid, u"stale"},
      // The trailing zero is dropped before the length is checked.
      {"dword of five bytes ending in zero", dword, std::string("\1\1\1\1\0", 5), Status::Ok,
       u"16843009"},
      {"other type", 3, "\1\2\3", Status::Ok, u"stale"},
      {"no data", sz, "", Status::Invalid, u"stale"},
      {"no such value", sz, "x", Status::NotFound, u"", u"SOFTWARE\\Test", u"Other"},
      {"no such key", sz, "x", Status::NotFound, u"", u"SOFTWARE\\None"},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRegistry registry;
    registry.keys[c.key][c.value] = {c.type, c.data};
    std::u16string value = u"stale";
    EXPECT_EQ(GetKeyValue(registry, platform::kHkeyLocalMachine, u"SOFTWARE\\Test", u"Value", value)
                  .status,
              c.status);
    EXPECT_EQ(value, c.text);
    EXPECT_TRUE(registry.open.empty());  // every key opened is closed again
    // Read access only: more would fail for users without administrator rights.
    EXPECT_EQ(registry.accesses, std::vector<std::uint32_t>{platform::kKeyRead});
  }
}

struct SysInfoCase {
  const char* name;
  std::optional<std::string> pathValue{};  // none: no "PATH"; empty: one without data
  bool directoryValue = true, toolInDirectory = true, startFails = false;
  std::vector<std::u16string> probed{}, started{};
  bool unavailable = false;
};

// "PATH" is started unchecked; only the older directory value is checked for
// the tool. "PATH" without data is an error: the directory is not tried.
TEST(StartSysInfo, StartsTheToolTheRegistryNamesOrSaysItIsUnavailable) {
  const std::u16string path = u"D:\\Nowhere\\msinfo32.exe";
  const std::u16string tool = u"C:\\Tools\\MSINFO32.EXE";
  const std::string pathValue = "D:\\Nowhere\\msinfo32.exe";
  const SysInfoCase cases[] = {
      {.name = "path value", .pathValue = pathValue, .started = {path}},
      {.name = "path value fails to start",
       .pathValue = pathValue,
       .startFails = true,
       .started = {path},
       .unavailable = true},
      {.name = "directory value", .probed = {tool}, .started = {tool}},
      {.name = "directory without the tool",
       .toolInDirectory = false,
       .probed = {tool},
       .unavailable = true},
      {.name = "path value without data", .pathValue = "", .unavailable = true},
      {.name = "neither value", .directoryValue = false, .unavailable = true},
  };
  for (const SysInfoCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRegistry registry;
    if (c.pathValue) {
      registry.keys[u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"][u"PATH"] = {platform::kRegSz,
                                                                              *c.pathValue};
    }
    if (c.directoryValue) {
      registry.keys[u"SOFTWARE\\Microsoft\\Shared Tools Location"][u"MSINFO"] = {
          platform::kRegSz, std::string("C:\\Tools\0", 9)};  // with its zero, as Windows has it
    }
    FakeLauncher launcher;
    if (c.toolInDirectory) launcher.files.insert(tool);
    launcher.startSucceeds = !c.startFails;
    std::vector<std::u16string> messages;
    StartSysInfo(registry, launcher,
                 [&messages](const std::u16string& text) { messages.push_back(text); });
    EXPECT_EQ(launcher.probed, c.probed);
    EXPECT_EQ(launcher.started, c.started);
    EXPECT_EQ(messages,
              c.unavailable
                  ? std::vector<std::u16string>{u"System Information Is Unavailable At This Time"}
                  : std::vector<std::u16string>{});
  }
}

}  // namespace
}  // namespace korvath::session
