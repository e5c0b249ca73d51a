#pragma once
// Starting the system-information tool for the About box's System Info
// button, and the small registry reader it finds the tool with. Plain C++, so
// that the Windows cross build tests it without Qt.

#include <functional>
#include <string>

#include "platform/program_launcher.h"
#include "platform/registry.h"
#include "platform/result.h"

namespace korvath::session {

inline constexpr char16_t kSysInfoUnavailable[] = u"System Information Is Unavailable At This Time";

// Reads the value `subKeyRef` of the key `keyName` below `keyRoot` as text.
// REG_SZ data are decoded from Windows-1252, REG_DWORD data become their
// decimal text; a value of any other type is reported as read but leaves
// `keyVal` as it was. NotFound, with `keyVal` emptied, when the key or the
// value cannot be read, including values longer than 1024 bytes; Invalid for
// a value without data (or REG_DWORD data longer than four bytes).
platform::Result GetKeyValue(platform::Registry& registry, platform::RegHandle keyRoot,
                             const std::u16string& keyName, const std::u16string& subKeyRef,
                             std::u16string& keyVal);

// Starts the system-information tool found through the registry, or passes
// kSysInfoUnavailable to `showMessage` when it cannot. Never throws.
void StartSysInfo(platform::Registry& registry, platform::ProgramLauncher& launcher,
                  const std::function<void(const std::u16string&)>& showMessage);

}  // namespace korvath::session
