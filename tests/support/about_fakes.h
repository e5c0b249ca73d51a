#pragma once
// Stand-ins for the registry, the program launcher and the clock, so that
// the About box and the splash screen run without touching the machine.

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

// Keys below HKEY_LOCAL_MACHINE in memory, answering as the Windows calls
// do, including kErrorMoreData for a buffer that is too small.
class FakeRegistry final : public platform::Registry {
 public:
  void SetValue(const std::u16string& key, const std::u16string& name, std::uint32_t type,
                std::vector<unsigned char> data) {
    keys_[key][name] = {type, std::move(data)};
  }
  // A REG_SZ value as Windows stores it, with its terminating zero.
  void SetString(const std::u16string& key, const std::u16string& name, const std::string& text) {
    std::vector<unsigned char> data(text.begin(), text.end());
    data.push_back(0);
    SetValue(key, name, platform::kRegSz, std::move(data));
  }

  platform::RegStatus OpenKey(platform::RegHandle root, const std::u16string& subKey,
                              std::uint32_t access, platform::RegHandle& key) override {
    accesses.push_back(access);
    if (root != platform::kHkeyLocalMachine || !keys_.contains(subKey)) {
      return platform::kErrorFileNotFound;
    }
    key = nextHandle_++;
    open_[key] = subKey;
    return platform::kErrorSuccess;
  }
  platform::RegStatus QueryValue(platform::RegHandle key, const std::u16string& valueName,
                                 std::uint32_t& type, unsigned char* data,
                                 std::uint32_t& size) override {
    const auto handle = open_.find(key);
    if (handle == open_.end()) return platform::kErrorInvalidHandle;
    const auto value = keys_.at(handle->second).find(valueName);
    if (value == keys_.at(handle->second).end()) return platform::kErrorFileNotFound;
    const auto& [storedType, bytes] = value->second;
    const bool fits = bytes.size() <= size;
    size = static_cast<std::uint32_t>(bytes.size());
    if (!fits) return platform::kErrorMoreData;
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    type = storedType;
    return platform::kErrorSuccess;
  }
  platform::RegStatus CloseKey(platform::RegHandle key) override {
    return open_.erase(key) == 1 ? platform::kErrorSuccess : platform::kErrorInvalidHandle;
  }

  std::size_t OpenKeyCount() const { return open_.size(); }
  std::vector<std::uint32_t> accesses;

 private:
  using Value = std::pair<std::uint32_t, std::vector<unsigned char>>;
  std::map<std::u16string, std::map<std::u16string, Value>> keys_;
  std::map<platform::RegHandle, std::u16string> open_;
  platform::RegHandle nextHandle_ = 0x100;
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

// Plays back one second per read. Reading past the end is a fault of the
// code under test: it is counted, and the clock jumps half a minute at a
// time so that a wait still going on ends.
class FakeClock final : public platform::Clock {
 public:
  explicit FakeClock(std::vector<int> seconds) : seconds_(std::move(seconds)) {}

  int SecondOfMinute() override {
    if (reads_ < seconds_.size()) {
      if (onRead) onRead();
      return seconds_[reads_++];
    }
    return ((seconds_.empty() ? 0 : seconds_.front()) + 30 * ++overruns) % 60;
  }
  void Sleep(int milliseconds) override { sleeps.push_back(milliseconds); }

  std::function<void()> onRead;  // called before a read is answered
  std::vector<int> sleeps;
  int overruns = 0;

 private:
  std::vector<int> seconds_;
  std::size_t reads_ = 0;
};

}  // namespace korvath::testing
