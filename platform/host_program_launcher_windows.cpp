#include "platform/host_program_launcher.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/wide_windows.h"

namespace korvath::platform {

bool HostProgramLauncher::IsNormalFile(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The shell starts what the user could start by double-clicking: programs,
// and scripts through the program registered for them.
bool HostProgramLauncher::Start(const std::u16string& path) {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", Wide(path), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;  // values up to 32 are error codes
}

}  // namespace korvath::platform
