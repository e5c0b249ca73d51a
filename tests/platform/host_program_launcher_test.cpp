// Starting programs on this machine: what counts as a normal file, and that
// a start which cannot happen is reported.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "platform/host_program_launcher.h"
#include "platform/utf8.h"

namespace korvath::platform {
namespace {

namespace fs = std::filesystem;

class HostProgramLauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("korvath-run-" + std::to_string(std::random_device{}()));
    ASSERT_TRUE(fs::create_directory(dir));
  }
  void TearDown() override { fs::remove_all(dir); }
  std::u16string In(const char* name) const { return FromUtf8((dir / name).string()); }

  fs::path dir;
  HostProgramLauncher launcher;
};

TEST_F(HostProgramLauncherTest, OnlyRegularFilesAreNormalFiles) {
  std::ofstream(dir / "MSINFO32.EXE");
  EXPECT_TRUE(launcher.IsNormalFile(In("MSINFO32.EXE")));
  EXPECT_FALSE(launcher.IsNormalFile(FromUtf8(dir.string())));
  EXPECT_FALSE(launcher.IsNormalFile(In("missing")));
}

#ifndef _WIN32
TEST_F(HostProgramLauncherTest, StartsProgramsAndReportsWhatCannotBeStarted) {
  std::ofstream(dir / "notes.txt") << "not a program\n";
  // A program that leaves a mark, to show it really ran.
  std::ofstream(dir / "tool") << "#!/bin/sh\ntouch '" << (dir / "ran").string() << "'\n";
  fs::permissions(dir / "tool", fs::perms::owner_all);
  EXPECT_FALSE(launcher.Start(In("missing")));
  EXPECT_FALSE(launcher.Start(In("notes.txt")));
  ASSERT_TRUE(launcher.Start(In("tool")));
  // Nobody waits for the program: look for its mark for up to ten seconds.
  for (int i = 0; i < 1000 && !fs::exists(dir / "ran"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(fs::exists(dir / "ran"));
}
#endif

}  // namespace
}  // namespace korvath::platform
