#pragma once
// Stand-ins for the registry, the program launcher and the clock, so that
// the About box and the splash screen can be driven without touching the
// machine.

#include <QtGlobal>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/program_launcher.h"
#include "platform/registry.h"

namespace korvath::testing {

// Behaves like RegOpenKeyExA/RegQueryValueExA/RegCloseKey over an in-memory
// set of keys below HKEY_LOCAL_MACHINE, including their failure when the
// caller's buffer is too small.
class FakeRegistry final : public platform::Registry {
 public:
  void SetValue(const std::u16string& key, const std::u16string& name,
                std::uint32_t type, std::vector<unsigned char> data) {
    keys_[key][name] = {type, std::move(data)};
  }
  // A REG_SZ value as Windows stores it: the bytes and a terminating zero.
  void SetString(const std::u16string& key, const std::u16string& name,
                 const std::string& text) {
    std::vector<unsigned char> data(text.begin(), text.end());
    data.push_back(0);
    SetValue(key, name, platform::kRegSz, std::move(data));
  }

  platform::RegStatus OpenKey(platform::RegHandle root,
                              const std::u16string& subKey,
                              std::uint32_t access,
                              platform::RegHandle& key) override {
    accesses.push_back(access);
    if (root != platform::kHkeyLocalMachine || !keys_.contains(subKey)) {
      return platform::kErrorFileNotFound;
    }
    key = next_handle_++;
    open_[key] = subKey;
    return platform::kErrorSuccess;
  }

  platform::RegStatus QueryValue(platform::RegHandle key,
                                 const std::u16string& valueName,
                                 std::uint32_t& type, unsigned char* data,
                                 std::uint32_t& size) override {
    const auto handle = open_.find(key);
    if (handle == open_.end()) return platform::kErrorInvalidHandle;
    const auto& values = keys_.at(handle->second);
    const auto value = values.find(valueName);
    if (value == values.end()) return platform::kErrorFileNotFound;
    const auto& [stored_type, bytes] = value->second;
    if (bytes.size() > size) {
      size = static_cast<std::uint32_t>(bytes.size());
      return platform::kErrorMoreData;
    }
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    size = static_cast<std::uint32_t>(bytes.size());
    type = stored_type;
    return platform::kErrorSuccess;
  }

  platform::RegStatus CloseKey(platform::RegHandle key) override {
    return open_.erase(key) == 1 ? platform::kErrorSuccess
                                 : platform::kErrorInvalidHandle;
  }

  std::size_t OpenKeyCount() const { return open_.size(); }

  std::vector<std::uint32_t> accesses;

 private:
  using Value = std::pair<std::uint32_t, std::vector<unsigned char>>;
  std::map<std::u16string, std::map<std::u16string, Value>> keys_;
  std::map<platform::RegHandle, std::u16string> open_;
  platform::RegHandle next_handle_ = 0x100;
};

class FakeLauncher final : public platform::ProgramLauncher {
 public:
  bool IsNormalFile(const std::u16string& path) override {
    probed.push_back(path);
    return files.contains(path);
  }
  bool Start(const std::u16string& path) override {
    started.push_back(path);
    return startSucceeds;
  }

  std::set<std::u16string> files;
  bool startSucceeds = true;
  std::vector<std::u16string> probed;
  std::vector<std::u16string> started;
};

// Plays back a list of seconds, one per read. Reading past the end is a
// fault of the code under test; the clock then reports it and jumps far
// ahead, and gives up on a wait that still goes on.
class FakeClock final : public platform::Clock {
 public:
  explicit FakeClock(std::vector<int> seconds) : seconds_(std::move(seconds)) {}

  int SecondOfMinute() override {
    if (reads_ >= seconds_.size()) {
      const bool first_read = !overrun && reads_ == 0;
      overrun = true;
      if (++overrun_reads_ > 1000) qFatal("the clock is read without end");
      const int start = seconds_.empty() ? 0 : seconds_.front();
      return first_read ? start : (start + 30) % 60;
    }
    if (onRead) onRead();
    return seconds_[reads_++];
  }
  void Sleep(int milliseconds) override { sleeps.push_back(milliseconds); }

  std::size_t reads() const { return reads_; }

  // Called before each read is answered.
  std::function<void()> onRead;
  std::vector<int> sleeps;
  bool overrun = false;

 private:
  std::vector<int> seconds_;
  std::size_t reads_ = 0;
  int overrun_reads_ = 0;
};

}  // namespace korvath::testing
