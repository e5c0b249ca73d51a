// The machine's own file system and program launcher, and the encodings
// text arrives in.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/host.h"
#include "platform/utf8.h"
#include "platform/windows1252.h"
#include "tests/platform/host_fixture.h"

namespace korvath::platform {
namespace {

// What each host adds of its own (FIFOs, devices, paths, starting a
// program, the registry) is in host_posix_test.cpp or host_windows_test.cpp.
TEST_F(HostTest, OnlyRegularFilesAreReadAndAreNormalFiles) {
  const std::string big(200000, 'b');  // more than one read's buffer
  std::ofstream(dir / "big.m", std::ios::binary) << big;
  { const std::ofstream huge(dir / "huge.m"); }
  fs::resize_file(dir / "huge.m", kMaxFileBytes + 1);  // sparse: takes no time or space
  const struct {
    const char* name;
    Status status;
    std::string bytes;
  } cases[] = {
      {"a.m", Status::Ok, kA},          {"empty.m", Status::Ok, ""},
      {"big.m", Status::Ok, big},       {"missing.m", Status::NotFound, ""},
      {"a.m/x", Status::NotFound, ""},  {"sub", Status::NotRegularFile, ""},
      {"huge.m", Status::TooLarge, ""},
  };
  for (const auto& c : cases) ExpectRead(c.name, c.status, c.bytes);
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
  // Relative paths are taken from the host's folder, not the process's.
  ASSERT_NE(fs::current_path(), dir);
  std::string bytes;
  EXPECT_TRUE(host.ReadFile(u"a.m", bytes).ok());
  EXPECT_EQ(bytes, kA);
  files = {"stale"};
  EXPECT_TRUE(host.ListDirectory(u"sub", files).ok());
  EXPECT_TRUE(files.empty());
  fs::current_path(before);
  EXPECT_EQ(host.JoinPath(u"", u"f.m"), u"f.m");
}

// A rewrite of the same size with its modification time put back (cp -p,
// touch -r) keeps size, time and identity: only the change time tells.
// It moves in the file system's steps (a clock tick on some), so the file
// is rewritten until it has, for at most two seconds.
TEST_F(HostTest, ARewriteWithItsTimePutBackChangesTheStamp) {
  // In whole seconds: some runtimes put a time back only to the second.
  const fs::file_time_type modified{
      std::chrono::floor<std::chrono::seconds>(fs::last_write_time(dir / "a.m"))};
  fs::last_write_time(dir / "a.m", modified);
  FileStamp before;
  ASSERT_TRUE(host.StatFile(In("a.m"), before).ok());
  FileStamp after = before;
  for (int i = 0; i < 200 && after == before; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ofstream(dir / "a.m", std::ios::binary) << "12345";
    fs::last_write_time(dir / "a.m", modified);
    ASSERT_TRUE(host.StatFile(In("a.m"), after).ok());
    ASSERT_EQ(after.size, before.size);
    ASSERT_EQ(after.modifiedNs, before.modifiedNs);
    ASSERT_EQ(after.identity, before.identity);
  }
  EXPECT_NE(after, before);
}

TEST(Windows1252, TheHighControlsRowMapsToPunctuationExceptFiveUnassignedBytes) {
  std::u16string text = u"stale";
  DecodeWindows1252("\x7F\x80\x81\x8A\x8D\x8F\x90\x93\x9D\x9F\xA0\xFF", text);
  EXPECT_EQ(text, u"\u007f\u20ac\u0081\u0160\u008d\u008f\u0090\u201c\u009d\u0178\u00a0\u00ff");
}

TEST(Utf8, RoundTripsAndReplacesWhatCannotBeEncoded) {
  // The first and last code point of each length, around the surrogates, at the top.
  const std::u16string text = u"\u007f\u0080\u07ff\u0800\ud7ff\ue000\uffff\U00010000\U0010FFFF";
  const std::string bytes =
      "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"
      "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
  EXPECT_EQ(ToUtf8(text), bytes);
  EXPECT_EQ(FromUtf8(bytes), text);
  EXPECT_TRUE(IsValidUtf8(bytes));
  // Unpaired surrogates, and each byte of an invalid sequence, become U+FFFD.
  EXPECT_EQ(ToUtf8(u"\xd800x\xdfff"), "\xEF\xBF\xBDx\xEF\xBF\xBD");
  EXPECT_EQ(FromUtf8("\xC1\xBF"
                     "b\xE2\x82"),
            u"\ufffd\ufffdb\ufffd\ufffd");
  for (const char* invalid :
       {"\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "abcdefghijklmnop\xC3"}) {
    EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
  }
  EXPECT_FALSE(IsValidUtf8(std::string(8, '\x80')));
}

TEST(FileNameText, EveryByteStringComesBackAndOnlyInvalidBytesAreEscaped) {
  const struct {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"plain.m", u"plain.m"},
      {"\xC3\xA9t\xC3\xA9", u"\u00e9t\u00e9"},
      {"\xF0\x90\x80\x80", u"\U00010000"},
      {"caf\xE9", u"caf\xdce9"},
      {"\xFF\x80", u"\xdcff\xdc80"},
      // A surrogate's UTF-8, which is invalid, and a sequence cut short.
      {"\xED\xB2\x80", u"\xdced\xdcb2\xdc80"},
      {"a\xE2\x82", u"a\xdce2\xdc82"},
      // After a character of four bytes, an escaped byte stays one.
      {"\xF0\x90\x80\x80\xBF", u"\U00010000\xdcbf"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileNameText(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(FileNameBytesOf(c.text), c.bytes) << c.bytes;
    EXPECT_EQ(HasEscapedBytes(c.text), !IsValidUtf8(c.bytes)) << c.bytes;
  }
  // Other unpaired surrogates are no file name's bytes.
  EXPECT_EQ(FileNameBytesOf(u"\xd800x\xdc7f"), "\xEF\xBF\xBDx\xEF\xBF\xBD");
}

}  // namespace
}  // namespace korvath::platform
