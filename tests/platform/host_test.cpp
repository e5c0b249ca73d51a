// The machine's own file system and program launcher, and the encodings
// text arrives in.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/host.h"
#include "platform/host_file_system.h"
#include "platform/host_program_launcher.h"
#include "platform/registry.h"
#include "platform/utf8.h"
#include "platform/windows1252.h"

namespace korvath::platform {
namespace {

namespace fs = std::filesystem;

const std::string kA("x\0\r\n\xE4", 5);

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto name = "korvath-fs-" + std::to_string(std::random_device{}());
    ASSERT_TRUE(fs::create_directory(fs::temp_directory_path() / name));
    dir = fs::canonical(fs::temp_directory_path() / name);
    std::ofstream(dir / "a.m", std::ios::binary) << kA;
    std::ofstream(dir / "empty.m", std::ios::binary);
    std::ofstream(dir / fs::path(u"\u00c4.m"), std::ios::binary);  // listed as UTF-8
    fs::create_directory(dir / "sub");
  }
  void TearDown() override { fs::remove_all(dir); }
  std::u16string In(const char* name) const { return FromUtf8((dir / name).string()); }

  fs::path dir;
  HostFileSystem host;
  HostProgramLauncher launcher;
};

// The launcher's normal files are exactly the ones the file system reads.
TEST_F(HostTest, OnlyRegularFilesAreReadAndAreNormalFiles) {
  const std::string big(200000, 'b');  // more than one read's buffer
  std::ofstream(dir / "big.m", std::ios::binary) << big;
  std::ofstream(dir / "huge.m");
  fs::resize_file(dir / "huge.m", kMaxFileBytes + 1);  // sparse: takes no time or space
#ifndef _WIN32
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);  // read, it would wait for a writer
  fs::create_symlink("/dev/zero", dir / "zero.m");     // read, it would never end
#endif
  const struct { const char* name; Status status; std::string bytes; } cases[] = {
      {"a.m", Status::Ok, kA}, {"empty.m", Status::Ok, ""}, {"big.m", Status::Ok, big},
      {"missing.m", Status::NotFound, ""}, {"a.m/x", Status::NotFound, ""},
      {"sub", Status::NotRegularFile, ""}, {"huge.m", Status::TooLarge, ""},
#ifndef _WIN32
      {"fifo", Status::NotRegularFile, ""}, {"zero.m", Status::NotRegularFile, ""},
#endif
  };
  for (const auto& c : cases) {
    std::string bytes = "stale";
    EXPECT_EQ(host.ReadFile(In(c.name), bytes).status, c.status) << c.name;
    EXPECT_EQ(bytes, c.bytes) << c.name;
    const bool regular = c.status == Status::Ok || c.status == Status::TooLarge;
    EXPECT_EQ(launcher.IsNormalFile(In(c.name)), regular) << c.name;
  }
  std::string bytes;
  EXPECT_TRUE(ReadRegularFile(dir / "a.m", 5, bytes).ok());  // the cap itself is allowed
  EXPECT_EQ(bytes, kA);
  EXPECT_EQ(ReadRegularFile(dir / "a.m", 4, bytes).status, Status::TooLarge);
  EXPECT_EQ(bytes, "");
}

TEST_F(HostTest, ListingTheCurrentDirectoryAndPaths) {
  std::vector<std::string> files = {"stale"};
  EXPECT_EQ(host.ListDirectory(In("missing"), files).status, Status::NotFound);
  EXPECT_TRUE(files.empty());
  EXPECT_EQ(host.ListDirectory(In("a.m"), files).status, Status::NotFound);
  const fs::path before = fs::current_path();
  // The directory named, then "" for the current one once it is that directory.
  for (const std::u16string& listed : {FromUtf8(dir.string()), std::u16string()}) {
    files = {"stale"};
    EXPECT_TRUE(host.ListDirectory(listed, files).ok());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"a.m", "empty.m", "\xC3\x84.m"}));
    ASSERT_TRUE(host.SetCurrentDirectory(FromUtf8(dir.string())).ok());
  }
  EXPECT_EQ(host.SetCurrentDirectory(In("missing")).status, Status::NotFound);
  EXPECT_EQ(host.CurrentDirectory(), FromUtf8(dir.string()));
  fs::current_path(before);
  EXPECT_EQ(host.JoinPath(u"", u"f.m"), u"f.m");
#ifndef _WIN32
  EXPECT_TRUE(IsAbsolutePath(u"/x"));
  EXPECT_FALSE(IsAbsolutePath(u"x/"));
  EXPECT_FALSE(IsAbsolutePath(u""));
  EXPECT_EQ(host.JoinPath(u"/d", u"f.m"), u"/d/f.m");
  EXPECT_EQ(host.JoinPath(u"/d/", u"f.m"), u"/d/f.m");
  EXPECT_EQ(host.JoinPath(u"\\d\\e", u"f.m"), u"/d/e/f.m");
#else
  for (const char16_t* absolute : {u"C:\\x", u"c:x", u"\\x", u"\\\\server\\x"}) {
    EXPECT_TRUE(IsAbsolutePath(absolute));
  }
  EXPECT_FALSE(IsAbsolutePath(u"x\\"));
  EXPECT_EQ(host.JoinPath(u"C:\\d", u"f.m"), u"C:\\d\\f.m");
  EXPECT_EQ(host.JoinPath(u"C:\\d\\", u"f.m"), u"C:\\d\\f.m");
#endif
}

TEST_F(HostTest, StartsProgramsAndReportsWhatCannotBeStarted) {
  // A program that leaves a mark, to show it really ran.
#ifdef _WIN32
  const char* tool = "tool.cmd";
  std::ofstream(dir / tool) << "echo ran > \"" << (dir / "ran").string() << "\"\r\n";
#else
  const char* tool = "tool";
  std::ofstream(dir / tool) << "#!/bin/sh\ntouch '" << (dir / "ran").string() << "'\n";
  fs::permissions(dir / tool, fs::perms::owner_all);
  EXPECT_FALSE(launcher.Start(In("a.m")));  // not executable
#endif
  EXPECT_FALSE(launcher.Start(In("missing")));
  ASSERT_TRUE(launcher.Start(In(tool)));
  // Nobody waits for the program: look for its mark for up to ten seconds.
  for (int i = 0; i < 1000 && !fs::exists(dir / "ran"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(fs::exists(dir / "ran"));
}

#ifdef _WIN32
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
#endif

TEST(Windows1252, TheHighControlsRowMapsToPunctuationExceptFiveUnassignedBytes) {
  std::u16string text = u"stale";
  DecodeWindows1252("\x7F\x80\x81\x8A\x8D\x8F\x90\x93\x9D\x9F\xA0\xFF", text);
  EXPECT_EQ(text, u"\u007f\u20ac\u0081\u0160\u008d\u008f\u0090\u201c\u009d\u0178\u00a0\u00ff");
}

TEST(Utf8, RoundTripsAndReplacesWhatCannotBeEncoded) {
  // The first and last code point of each length, around the surrogates, at the top.
  const std::u16string text = u"\u007f\u0080\u07ff\u0800\ud7ff\ue000\uffff\U00010000\U0010FFFF";
  const std::string bytes = "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"
                            "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
  EXPECT_EQ(ToUtf8(text), bytes);
  EXPECT_EQ(FromUtf8(bytes), text);
  EXPECT_TRUE(IsValidUtf8(bytes));
  // Unpaired surrogates, and each byte of an invalid sequence, become U+FFFD.
  EXPECT_EQ(ToUtf8(u"\xd800x\xdfff"), "\xEF\xBF\xBDx\xEF\xBF\xBD");
  EXPECT_EQ(FromUtf8("\xC1\xBF" "b\xE2\x82"), u"\ufffd\ufffdb\ufffd\ufffd");
  for (const char* invalid :
       {"\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "abcdefghijklmnop\xC3"}) {
    EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
  }
  EXPECT_FALSE(IsValidUtf8(std::string(8, '\x80')));
}

}  // namespace
}  // namespace korvath::platform
