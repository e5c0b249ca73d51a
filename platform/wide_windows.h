#pragma once
// The engine's text as the Windows API's wide strings: both are UTF-16.

#include <string>

namespace korvath::platform {

inline const wchar_t* Wide(const std::u16string& text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "for Windows only");
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace korvath::platform
