#include "session/system_info.h"

#include "platform/windows1252.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace korvath::session {
namespace {

constexpr std::uint32_t kValueBufferSize = 1024;

std::u16string FromWindows1252(std::span<const unsigned char> bytes) {
  std::u16string text;
  platform::DecodeWindows1252(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), text);
  return text;
}

// The value is read as the number "&h" followed by its bytes in hexadecimal,
// most significant first, and shown as that number's decimal text. An &h
// number of eight digits is a signed 32-bit integer, so &hFFFFFFFF reads
// as -1.
std::u16string DwordText(std::span<const unsigned char> bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) value = (value << 8) | bytes[i];
  const std::string digits = std::to_string(static_cast<std::int32_t>(value));
  return std::u16string(digits.begin(), digits.end());
}

class KeyCloser {
 public:
  KeyCloser(platform::Registry& registry, platform::RegHandle key)
      : registry_(registry), key_(key) {}
  KeyCloser(const KeyCloser&) = delete;
  KeyCloser& operator=(const KeyCloser&) = delete;
  ~KeyCloser() { registry_.CloseKey(key_); }

 private:
  platform::Registry& registry_;
  platform::RegHandle key_;
};

}  // namespace

platform::Result GetKeyValue(platform::Registry& registry, platform::RegHandle keyRoot,
                             const std::u16string& keyName, const std::u16string& subKeyRef,
                             std::u16string& keyVal) {
  using platform::Result;
  using platform::Status;
  platform::RegHandle key = 0;
  // Read access only: asking for write rights too would fail for users
  // without administrator rights.
  if (registry.OpenKey(keyRoot, keyName, platform::kKeyRead, key) != platform::kErrorSuccess) {
    keyVal.clear();
    return Result::Failure(Status::NotFound, "registry key cannot be opened");
  }
  const KeyCloser closer(registry, key);

  std::array<unsigned char, kValueBufferSize> buffer{};
  std::uint32_t size = kValueBufferSize;
  std::uint32_t type = 0;
  if (registry.QueryValue(key, subKeyRef, type, buffer.data(), size) != platform::kErrorSuccess) {
    keyVal.clear();
    return Result::Failure(Status::NotFound, "registry value cannot be read");
  }
  if (size == 0) return Result::Failure(Status::Invalid, "registry value has no data");
  if (size > kValueBufferSize) size = kValueBufferSize;

  std::span<const unsigned char> data(buffer.data(), size);
  if (data.back() == 0) data = data.first(size - 1);

  switch (type) {
    case platform::kRegSz:
      keyVal = FromWindows1252(data);
      break;
    case platform::kRegDword:
      if (data.size() > 4) return Result::Failure(Status::Invalid, "REG_DWORD data too long");
      keyVal = DwordText(data);
      break;
    default:
      break;
  }
  return {};
}

namespace {

// Steps to the tool; false when it is not there or will not start.
bool TryStartSysInfo(platform::Registry& registry, platform::ProgramLauncher& launcher) {
  std::u16string path;
  const platform::Result current =
      GetKeyValue(registry, platform::kHkeyLocalMachine,
                  u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", u"PATH", path);
  // A value without data is an error, not a missing value: no fallback.
  if (current.status == platform::Status::Invalid) return false;
  if (!current) {
    // Older systems record only the tool's directory.
    if (!GetKeyValue(registry, platform::kHkeyLocalMachine,
                     u"SOFTWARE\\Microsoft\\Shared Tools Location", u"MSINFO", path)) {
      return false;
    }
    path += u"\\MSINFO32.EXE";
    if (!launcher.IsNormalFile(path)) return false;
  }
  // A path read from "PATH" is used unchecked; a bad one fails here.
  return launcher.Start(path);
}

}  // namespace

void StartSysInfo(platform::Registry& registry, platform::ProgramLauncher& launcher,
                  const std::function<void(const std::u16string&)>& showMessage) {
  // Any failure means the same to the user: no system information.
  if (!TryStartSysInfo(registry, launcher)) showMessage(kSysInfoUnavailable);
}

}  // namespace korvath::session
