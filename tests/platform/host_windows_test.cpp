// What the Windows host does of its own: drive-letter paths, programs and
// scripts started through the shell, the registry, case folded for every
// letter.

#include <gtest/gtest.h>

#include "platform/host.h"
#include "platform/registry.h"
#include "tests/platform/host_fixture.h"

namespace korvath::platform {
namespace {

TEST_F(HostTest, PathsUseDriveLettersAndBackslashes) {
  for (const char16_t* absolute : {u"C:\\x", u"c:x", u"\\x", u"\\\\server\\x"}) {
    EXPECT_TRUE(IsAbsolutePath(absolute));
  }
  EXPECT_FALSE(IsAbsolutePath(u"x\\"));
  EXPECT_EQ(host.JoinPath(u"C:\\d", u"f.m"), u"C:\\d\\f.m");
  EXPECT_EQ(host.JoinPath(u"C:\\d\\", u"f.m"), u"C:\\d\\f.m");
}

TEST_F(HostTest, StartsScriptsThroughTheShell) {
  std::ofstream(dir / "tool.cmd") << "echo ran > \"" << (dir / "ran").string() << "\"\r\n";
  ExpectStartsAndRuns("tool.cmd");
}

// String values come in the ANSI code page with their zero; a short buffer
// is told the size it needs.
TEST(HostRegistry, ReadsAStringValue) {
  const auto registry = MakeHostRegistry();
  RegHandle key = 0;
  ASSERT_EQ(registry->OpenKey(kHkeyLocalMachine, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                              kKeyRead, key),
            kErrorSuccess);
  unsigned char data[1024];
  std::uint32_t type = 0, size = sizeof data, small = 3;
  ASSERT_EQ(registry->QueryValue(key, u"SystemRoot", type, data, size), kErrorSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_TRUE(size == 11 && data[1] == ':' && data[2] == '\\' && data[10] == 0);  // C:\Windows
  EXPECT_EQ(registry->QueryValue(key, u"SystemRoot", type, data, small), kErrorMoreData);
  EXPECT_EQ(small, size);
  EXPECT_EQ(registry->CloseKey(key), kErrorSuccess);
}

TEST(FileNameCaseKey, FoldsEveryLetterAsTheFileSystemDoes) {
  std::string lower;
  std::string upper;
  FileNameCaseKey("\xC3\xA4nderung.m", lower);
  FileNameCaseKey("\xC3\x84NDERUNG.M", upper);
  EXPECT_EQ(lower, upper);
  EXPECT_NE(lower, "\xC3\xA4nderung.m");  // a key, not the name itself
}

}  // namespace
}  // namespace korvath::platform
