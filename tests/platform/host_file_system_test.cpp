// The machine's own file system as the engine sees it, and the encodings
// text arrives in.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/host.h"
#include "platform/host_file_system.h"
#include "platform/utf8.h"
#include "platform/windows1252.h"

namespace korvath::platform {
namespace {

namespace fs = std::filesystem;

class HostFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto name = "korvath-fs-" + std::to_string(std::random_device{}());
    ASSERT_TRUE(fs::create_directory(fs::temp_directory_path() / name));
    dir = fs::canonical(fs::temp_directory_path() / name);
    std::ofstream(dir / "a.m", std::ios::binary) << std::string("x\0\r\n\xE4", 5);
    std::ofstream(dir / "empty.m", std::ios::binary);
    fs::create_directory(dir / "sub");
  }
  void TearDown() override { fs::remove_all(dir); }
  std::u16string In(const char* name) const { return FromUtf8((dir / name).string()); }

  fs::path dir;
  HostFileSystem host;
};

TEST_F(HostFileSystemTest, ReadFileGivesTheBytesOrSaysWhyNot) {
  std::string bytes = "stale";
  ASSERT_TRUE(host.ReadFile(In("a.m"), bytes).ok());
  EXPECT_EQ(bytes, std::string("x\0\r\n\xE4", 5));
  ASSERT_TRUE(host.ReadFile(In("empty.m"), bytes).ok());
  EXPECT_EQ(bytes, "");
  const std::string big(200000, 'b');  // more than one read's buffer
  std::ofstream(dir / "big.m", std::ios::binary) << big;
  ASSERT_TRUE(host.ReadFile(In("big.m"), bytes).ok());
  EXPECT_EQ(bytes, big);
  bytes = "stale";
  EXPECT_EQ(host.ReadFile(In("missing.m"), bytes).status, Status::NotFound);
  EXPECT_EQ(bytes, "");
  EXPECT_EQ(host.ReadFile(In("a.m/x"), bytes).status, Status::NotFound);
  EXPECT_EQ(host.ReadFile(In("sub"), bytes).status, Status::NotRegularFile);
#ifndef _WIN32
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);  // read, it would wait for a writer
  EXPECT_EQ(host.ReadFile(In("fifo"), bytes).status, Status::NotRegularFile);
#endif
  // The cap itself is allowed.
  EXPECT_TRUE(ReadRegularFile(dir / "a.m", 5, bytes).ok());
  EXPECT_EQ(bytes.size(), 5u);
  EXPECT_EQ(ReadRegularFile(dir / "a.m", 4, bytes).status, Status::TooLarge);
  EXPECT_EQ(bytes, "");
}

TEST_F(HostFileSystemTest, ListDirectoryNamesRegularFilesOnly) {
  std::vector<std::string> files = {"stale"};
  ASSERT_TRUE(host.ListDirectory(FromUtf8(dir.string()), files).ok());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"a.m", "empty.m"}));
  EXPECT_EQ(host.ListDirectory(In("missing"), files).status, Status::NotFound);
  EXPECT_EQ(host.ListDirectory(In("a.m"), files).status, Status::NotFound);
  EXPECT_TRUE(files.empty());
}

TEST_F(HostFileSystemTest, CurrentDirectoryAndPaths) {
  const fs::path before = fs::current_path();
  ASSERT_TRUE(host.SetCurrentDirectory(FromUtf8(dir.string())).ok());
  EXPECT_EQ(host.CurrentDirectory(), FromUtf8(dir.string()));
  std::vector<std::string> files;
  EXPECT_TRUE(host.ListDirectory(u"", files).ok());  // the current directory
  EXPECT_EQ(files.size(), 2u);
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
#endif
}

TEST(Windows1252, TheHighControlsRowMapsToPunctuationExceptFiveUnassignedBytes) {
  std::u16string text = u"stale";
  DecodeWindows1252("\x7F\x80\x81\x8A\x8D\x8F\x90\x93\x9D\x9F\xA0\xFF", text);
  EXPECT_EQ(text, u"\u007f\u20ac\u0081\u0160\u008d\u008f\u0090\u201c\u009d\u0178\u00a0\u00ff");
}

TEST(Utf8, RoundTripsAndReplacesWhatCannotBeEncoded) {
  // The first and last code point of each sequence length, around the
  // surrogates and at the top.
  const std::u16string text = u"\u007f\u0080\u07ff\u0800\ud7ff\ue000\uffff\U00010000\U0010FFFF";
  const std::string bytes = "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"
                            "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
  EXPECT_EQ(ToUtf8(text), bytes);
  EXPECT_EQ(FromUtf8(bytes), text);
  EXPECT_TRUE(IsValidUtf8(bytes));
  // Unpaired surrogates, and each byte of an invalid sequence, become U+FFFD.
  EXPECT_EQ(ToUtf8(u"\xd800x\xdc00"), "\xEF\xBF\xBDx\xEF\xBF\xBD");
  EXPECT_EQ(FromUtf8("\xC1\xBF" "b\xE2\x82"), u"\ufffd\ufffdb\ufffd\ufffd");
  for (const char* invalid : {"\xED\xBF\xBF", "\xF4\x90\x80\x80", "abcdefghijklmnop\xC3"}) {
    EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
  }
  EXPECT_FALSE(IsValidUtf8(std::string(8, '\x80')));
}

}  // namespace
}  // namespace korvath::platform
