// The Windows registry, read-only. String values are read in full through the
// wide calls and handed over in the system's ANSI code page, as the
// interface promises.

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/registry.h"
#include "platform/wide_windows.h"

namespace korvath::platform {
namespace {

HKEY ToHkey(RegHandle handle) {
  // The predefined roots are sign-extended on 64-bit Windows, so map the
  // stand-in value rather than casting it.
  if (handle == kHkeyLocalMachine) return HKEY_LOCAL_MACHINE;
  return reinterpret_cast<HKEY>(handle);
}

// String data as the callers read them: in the ANSI code page, with the
// terminating zero the value has.
std::vector<unsigned char> ToAnsi(const std::vector<unsigned char>& utf16) {
  const auto* units = reinterpret_cast<const wchar_t*>(utf16.data());
  const int length = static_cast<int>(utf16.size() / 2);
  if (length == 0) return {};
  const int needed = WideCharToMultiByte(CP_ACP, 0, units, length, nullptr, 0, nullptr, nullptr);
  std::vector<unsigned char> ansi(static_cast<std::size_t>(std::max(needed, 0)));
  WideCharToMultiByte(CP_ACP, 0, units, length, reinterpret_cast<char*>(ansi.data()), needed,
                      nullptr, nullptr);
  return ansi;
}

class WindowsRegistry final : public Registry {
 public:
  RegStatus OpenKey(RegHandle root, const std::u16string& subKey, std::uint32_t access,
                    RegHandle& key) override;
  RegStatus QueryValue(RegHandle key, const std::u16string& valueName, std::uint32_t& type,
                       unsigned char* data, std::uint32_t& size) override;
  RegStatus CloseKey(RegHandle key) override;
};

RegStatus WindowsRegistry::OpenKey(RegHandle root, const std::u16string& subKey,
                                   std::uint32_t access, RegHandle& key) {
  HKEY opened = nullptr;
  const LONG status =
      RegOpenKeyExW(ToHkey(root), Wide(subKey), 0, static_cast<REGSAM>(access), &opened);
  if (status == ERROR_SUCCESS) key = reinterpret_cast<RegHandle>(opened);
  return status;
}

// Read through the wide call, which sees every character of the value, then
// handed over in the ANSI form and size the callers' buffer is measured in.
RegStatus WindowsRegistry::QueryValue(RegHandle key, const std::u16string& valueName,
                                      std::uint32_t& type, unsigned char* data,
                                      std::uint32_t& size) {
  DWORD valueType = 0;
  DWORD valueSize = 0;
  LONG status =
      RegQueryValueExW(ToHkey(key), Wide(valueName), nullptr, &valueType, nullptr, &valueSize);
  if (status != ERROR_SUCCESS) return status;
  std::vector<unsigned char> value(valueSize);
  status =
      RegQueryValueExW(ToHkey(key), Wide(valueName), nullptr, &valueType, value.data(), &valueSize);
  if (status != ERROR_SUCCESS) return status;
  value.resize(valueSize);
  if (valueType == REG_SZ || valueType == REG_EXPAND_SZ) value = ToAnsi(value);
  const bool fits = value.size() <= size;
  size = static_cast<std::uint32_t>(value.size());
  if (!fits) return ERROR_MORE_DATA;
  std::copy(value.begin(), value.end(), data);
  type = valueType;
  return ERROR_SUCCESS;
}

RegStatus WindowsRegistry::CloseKey(RegHandle key) { return RegCloseKey(ToHkey(key)); }

}  // namespace

std::unique_ptr<Registry> MakeHostRegistry() { return std::make_unique<WindowsRegistry>(); }

}  // namespace korvath::platform
