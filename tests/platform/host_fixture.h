#pragma once
// A folder of its own for each test of the machine's file system and
// program launcher.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "platform/host_file_system.h"
#include "platform/host_program_launcher.h"
#include "platform/utf8.h"

namespace korvath::platform {

namespace fs = std::filesystem;

inline const std::string kA("x\0\r\n\xE4", 5);

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto name = "korvath-fs-" + std::to_string(std::random_device{}());
    ASSERT_TRUE(fs::create_directory(fs::temp_directory_path() / name));
    dir = fs::canonical(fs::temp_directory_path() / name);
    std::ofstream(dir / "a.m", std::ios::binary) << kA;
    const std::ofstream empty(dir / "empty.m", std::ios::binary);
    const std::ofstream nonAscii(dir / fs::path(u"\u00c4.m"), std::ios::binary);  // listed as UTF-8
    fs::create_directory(dir / "sub");
  }
  void TearDown() override { fs::remove_all(dir); }
  std::u16string In(const char* name) const { return FromUtf8((dir / name).string()); }

  // The launcher's normal files are exactly the ones the file system reads
  // (or would, but for their size).
  void ExpectRead(const char* name, Status status, const std::string& expected) {
    std::string bytes = "stale";
    EXPECT_EQ(host.ReadFile(In(name), bytes).status, status) << name;
    EXPECT_EQ(bytes, expected) << name;
    const bool regular = status == Status::Ok || status == Status::TooLarge;
    EXPECT_EQ(launcher.IsNormalFile(In(name)), regular) << name;
  }

  // Starts `tool`, which should leave the file "ran"; nobody waits for a
  // program, so the mark is looked for up to ten seconds.
  void ExpectStartsAndRuns(const char* tool) {
    EXPECT_FALSE(launcher.Start(In("missing")));
    ASSERT_TRUE(launcher.Start(In(tool)));
    for (int i = 0; i < 1000 && !fs::exists(dir / "ran"); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(fs::exists(dir / "ran"));
  }

  fs::path dir;
  HostFileSystem host;
  HostProgramLauncher launcher;
};

}  // namespace korvath::platform
