// The editor's buffers over the files on disk: a held file is found however
// its path is spelled, absolute and normal or not.

#include "session/overlay_file_system.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/utf8.h"
#include "tests/support/memory_file_system.h"

namespace korvath::session {
namespace {

using platform::FromUtf8;

TEST(OverlayFileSystem, AHeldFileIsFoundUnderEverySpellingOfItsPath) {
  const struct {
    const char* held;
    const char* asked;
    bool found;
  } cases[] = {
      {"/work/src/f.m", "/work/src/f.m", true},
      {"/work/src/f.m", "/work/src/./f.m", true},
      {"/work/src/f.m", "/work/lib/../src/f.m", true},
      {"/work/src/f.m", "/work//src/f.m", true},
      {"/work/src/f.m", "src/f.m", true},  // relative to the current folder
      {"/work/src/../src/f.m", "/work/src/f.m", true},
      {"src/./f.m", "/work/src/f.m", true},
      {"/work/src/f.m", "/work/src/F.m", false},
      {"/work/src/f.m", "/work/src/f.m/..", false},
      {"/work/src/f.m", "/work/src", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.held) + " asked as " + c.asked);
    korvath::testing::MemoryFileSystem disk;
    disk.AddDirectory("/work/src");
    disk.AddDirectory("/work/lib");
    disk.SetCwd("/work");
    disk.AddFile("/work/src/f.m", "on disk\n");
    OverlayFileSystem files(disk);
    files.Set(FromUtf8(c.held), "in the editor\n");
    std::string bytes;
    const platform::Result read = files.ReadFile(FromUtf8(c.asked), bytes);
    EXPECT_EQ(read.ok() && bytes == "in the editor\n", c.found);
    platform::FileStamp held;
    platform::FileStamp onDisk;
    ASSERT_TRUE(disk.StatFile(u"/work/src/f.m", onDisk).ok());
    const bool stamped = files.StatFile(FromUtf8(c.asked), held).ok();
    EXPECT_EQ(stamped && !(held == onDisk), c.found);
  }
}

}  // namespace
}  // namespace korvath::session
