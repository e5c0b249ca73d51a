#pragma once
// Stand-ins for the registry and the program launcher, so that finding and
// starting the system-information tool runs without touching the machine.

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/program_launcher.h"
#include "platform/registry.h"

namespace korvath::testing {

// Keys below HKEY_LOCAL_MACHINE, answering as Windows does (kErrorMoreData too).
struct FakeRegistry final : platform::Registry {
  platform::RegStatus OpenKey(platform::RegHandle root, const std::u16string& subKey,
                              std::uint32_t access, platform::RegHandle& key) override {
    accesses.push_back(access);
    if (root != platform::kHkeyLocalMachine) return platform::kErrorFileNotFound;
    if (!keys.contains(subKey)) return platform::kErrorFileNotFound;
    key = 0x100 + accesses.size();  // a new handle for every key opened
    open[key] = subKey;
    return platform::kErrorSuccess;
  }
  platform::RegStatus QueryValue(platform::RegHandle key, const std::u16string& valueName,
                                 std::uint32_t& type, unsigned char* data,
                                 std::uint32_t& size) override {
    if (!open.contains(key)) return platform::kErrorInvalidHandle;
    const auto& values = keys.at(open.at(key));
    if (!values.contains(valueName)) return platform::kErrorFileNotFound;
    const auto& [storedType, bytes] = values.at(valueName);
    const bool fits = bytes.size() <= size;
    size = static_cast<std::uint32_t>(bytes.size());
    if (!fits) return platform::kErrorMoreData;
    std::copy(bytes.begin(), bytes.end(), data);
    type = storedType;
    return platform::kErrorSuccess;
  }
  platform::RegStatus CloseKey(platform::RegHandle key) override {
    return open.erase(key) == 1 ? platform::kErrorSuccess : platform::kErrorInvalidHandle;
  }
  // Key -> value name -> type and data.
  std::map<std::u16string, std::map<std::u16string, std::pair<std::uint32_t, std::string>>> keys;
  std::vector<std::uint32_t> accesses;
  std::map<platform::RegHandle, std::u16string> open;  // handle -> key
};

struct FakeLauncher final : platform::ProgramLauncher {
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
  std::vector<std::u16string> probed, started;
};

}  // namespace korvath::testing
