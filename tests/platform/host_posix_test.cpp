// What the POSIX host does of its own: FIFOs and devices, "/" paths,
// programs started only when executable, case folded for ASCII letters.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/absolute_path.h"
#include "platform/host.h"
#include "platform/utf8.h"
#include "tests/platform/host_fixture.h"

namespace korvath::platform {
namespace {

TEST_F(HostTest, FifosAndDevicesAreNotRegularFiles) {
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);  // read, it would wait for a writer
  fs::create_symlink("/dev/zero", dir / "zero.m");     // read, it would never end
  for (const char* name : {"fifo", "zero.m"}) ExpectRead(name, Status::NotRegularFile, "");
}

// A file that shrank between fstat and the reads keeps only the bytes read:
// the reads are given a size beyond the file's end, as a stale fstat gives.
TEST_F(HostTest, AFileThatShrankKeepsOnlyTheBytesRead) {
  const int fd = ::open((dir / "a.m").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::string bytes;
  const Result read = ReadOpenFile(fd, 4096, kMaxFileBytes, bytes);
  ::close(fd);
  EXPECT_TRUE(read.ok());
  EXPECT_EQ(bytes, kA);
}

// Links are followed to what they name, as the type the directory gives for
// them says nothing of that; what is neither a file nor a folder, or cannot
// be looked at (a dangling link, a loop), is left out.
TEST_F(HostTest, ListingFollowsLinksAndLeavesOutOtherEntries) {
  ASSERT_EQ(mkfifo((dir / "fifo.m").c_str(), 0600), 0);
  fs::create_symlink("a.m", dir / "linked.m");
  fs::create_symlink("sub", dir / "linked");
  fs::create_symlink("missing.m", dir / "dangling.m");
  fs::create_symlink("loop.m", dir / "loop.m");
  fs::create_symlink("/dev/null", dir / "device.m");
  std::ofstream(dir / "sub" / "inner.m") << "x";
  std::vector<std::string> files = {"stale"}, folders = {"stale"};
  ASSERT_TRUE(host.ListEntries(FromUtf8(dir.string()), files, folders).ok());
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ(files, (std::vector<std::string>{"a.m", "empty.m", "linked.m", "\xC3\x84.m"}));
  EXPECT_EQ(folders, (std::vector<std::string>{"linked", "sub"}));
  // Through a linked folder, and a link to a file taken for no folder.
  ASSERT_TRUE(host.ListEntries(In("linked"), files, folders).ok());
  EXPECT_EQ(files, std::vector<std::string>{"inner.m"});
  EXPECT_TRUE(folders.empty());
  for (const char* notAFolder : {"linked.m", "dangling.m", "loop.m", "fifo.m", "a.m/x"}) {
    files = {"stale"};
    EXPECT_EQ(host.ListEntries(In(notAFolder), files, folders).status, Status::NotFound)
        << notAFolder;
    EXPECT_TRUE(files.empty());
  }
}

// A folder that is there but cannot be read is Unreadable, with the system's
// reason; one below a folder that cannot be searched is not found.
TEST_F(HostTest, AnUnreadableFolderSaysWhy) {
  if (geteuid() == 0) GTEST_SKIP() << "root lists every folder";
  fs::create_directories(dir / "closed" / "inner");
  fs::permissions(dir / "sub", fs::perms::none);
  fs::permissions(dir / "closed", fs::perms::owner_read);
  std::vector<std::string> files, folders;
  const Result unreadable = host.ListEntries(In("sub"), files, folders);
  const Result hidden = host.ListEntries(In("closed/inner"), files, folders);
  fs::permissions(dir / "sub", fs::perms::owner_all);
  fs::permissions(dir / "closed", fs::perms::owner_all);
  EXPECT_EQ(unreadable.status, Status::Unreadable);
  EXPECT_EQ(unreadable.description, "Permission denied");
  EXPECT_EQ(hidden.status, Status::NotFound);
}

TEST_F(HostTest, ExecutablePathIsThisProgram) {
  const fs::path self = ExecutablePath();
  ASSERT_FALSE(self.empty());
  EXPECT_TRUE(self.is_absolute());
  EXPECT_TRUE(fs::equivalent(self, "/proc/self/exe"));
}

TEST_F(HostTest, PathsUseSlashes) {
  EXPECT_TRUE(IsAbsolutePath(u"/x"));
  EXPECT_FALSE(IsAbsolutePath(u"x/"));
  EXPECT_FALSE(IsAbsolutePath(u""));
  EXPECT_EQ(host.JoinPath(u"/d", u"f.m"), u"/d/f.m");
  EXPECT_EQ(host.JoinPath(u"/d/", u"f.m"), u"/d/f.m");
  // "\\" is a character of a name: only pathdef.m's entries are converted.
  EXPECT_EQ(host.JoinPath(u"/d\\e", u"f.m"), u"/d\\e/f.m");
}

// Names are bytes: each is listed, read and made current again by the text
// FileNameText makes of it, whether or not it is UTF-8.
TEST_F(HostTest, FileNamesKeepTheirBytes) {
  for (const std::string name : {"caf\xe9", "odd\xff\xfe", "back\\slash", "\xed\xa0\x80"}) {
    SCOPED_TRACE(name);
    fs::create_directory(dir / name);
    std::ofstream(dir / name / (name + ".m"), std::ios::binary) << name;
    const std::u16string folder = FromNativePath(dir / name);
    EXPECT_EQ(NativePath(folder), dir / name);
    std::vector<std::string> files;
    ASSERT_TRUE(host.ListDirectory(folder, files).ok());
    ASSERT_EQ(files, std::vector<std::string>{name + ".m"});
    std::string bytes;
    ASSERT_TRUE(host.ReadFile(host.JoinPath(folder, FileNameText(files[0])), bytes).ok());
    EXPECT_EQ(bytes, name);
    ASSERT_TRUE(host.SetCurrentDirectory(folder).ok());
    EXPECT_EQ(host.CurrentDirectory(), folder);
    EXPECT_TRUE(host.ReadFile(FileNameText(name + ".m"), bytes).ok());
  }
}

TEST_F(HostTest, StartsExecutablePrograms) {
  std::ofstream(dir / "tool") << "#!/bin/sh\ntouch '" << (dir / "ran").string() << "'\n";
  fs::permissions(dir / "tool", fs::perms::owner_all);
  EXPECT_FALSE(launcher.Start(In("a.m")));  // not executable
  ExpectStartsAndRuns("tool");
}

// The short way is taken only where it gives what std::filesystem gives.
TEST(AbsoluteNormalPath, KeepsOnlyPathsAlreadyAbsoluteAndNormal) {
  const struct {
    std::u16string path;
    bool kept;
  } cases[] = {
      {u"/a/b.m", true},    {u"/a b/c_d-e.m", true}, {u"/a", true},     {u"/", false},
      {u"/a/", false},      {u"//a", false},         {u"/a//b", false}, {u"/a/./b", false},
      {u"/a/../b", false},  {u"/a/.", false},        {u"/a/..", false}, {u"/..", false},
      {u"a/b", false},      {u"./a", false},         {u"", false},      {u"/a/\u00e9.m", false},
      {u"/a/.b/..c", true}, {u"/a\\..\\b", true},
  };
  for (const auto& c : cases) {
    const std::string bytes = ToUtf8(c.path);
    EXPECT_EQ(IsAbsoluteNormalPath(c.path), c.kept) << bytes;
    if (!c.path.empty() && c.path.front() == u'/') {
      EXPECT_EQ(AbsoluteNormalPath(c.path),
                FromNativePath(std::filesystem::absolute(NativePath(c.path)).lexically_normal()))
          << bytes;
    }
  }
}

TEST(FileNameCaseKey, FoldsAsciiLettersOnly) {
  std::string key;
  FileNameCaseKey("\xC3\x84nDERUNG.M", key);
  EXPECT_EQ(key, "\xC3\x84nderung.m");
}

}  // namespace
}  // namespace korvath::platform
