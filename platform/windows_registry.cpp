#include "platform/windows_registry.h"

#include <windows.h>

#include <string>

namespace korvath::platform {
namespace {

HKEY ToHkey(RegHandle handle) {
  // The predefined roots are sign-extended on 64-bit Windows, so map the
  // stand-in value rather than casting it.
  if (handle == kHkeyLocalMachine) return HKEY_LOCAL_MACHINE;
  return reinterpret_cast<HKEY>(handle);
}

std::string ToAnsi(const std::u16string& text) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.c_str());
  const int length = static_cast<int>(text.size());
  const int needed =
      WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, length, ansi.data(), needed, nullptr,
                      nullptr);
  return ansi;
}

}  // namespace

RegStatus WindowsRegistry::OpenKey(RegHandle root, const std::u16string& subKey,
                                   std::uint32_t access, RegHandle& key) {
  HKEY opened = nullptr;
  const LONG status = RegOpenKeyExA(ToHkey(root), ToAnsi(subKey).c_str(), 0,
                                    static_cast<REGSAM>(access), &opened);
  if (status == ERROR_SUCCESS) key = reinterpret_cast<RegHandle>(opened);
  return status;
}

RegStatus WindowsRegistry::QueryValue(RegHandle key,
                                      const std::u16string& valueName,
                                      std::uint32_t& type, unsigned char* data,
                                      std::uint32_t& size) {
  DWORD valueType = 0;
  DWORD valueSize = size;
  const LONG status = RegQueryValueExA(ToHkey(key), ToAnsi(valueName).c_str(),
                                       nullptr, &valueType, data, &valueSize);
  if (status == ERROR_SUCCESS) type = valueType;
  size = valueSize;
  return status;
}

RegStatus WindowsRegistry::CloseKey(RegHandle key) {
  return RegCloseKey(ToHkey(key));
}

}  // namespace korvath::platform
