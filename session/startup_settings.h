#pragma once
// Reading korvath.ini and discardables.txt at start-up. Nothing here is ever
// shown to the user: failures fall back or leave values empty.

#include <optional>
#include <string_view>
#include <vector>

#include "engine/discard_table.h"
#include "engine/text.h"
#include "platform/file_system.h"
#include "platform/result.h"

namespace korvath::session {

using platform::Result;
using platform::Status;

inline constexpr char16_t kSettingsFileName[] = u"korvath.ini";
inline constexpr char16_t kDiscardFileName[] = u"discardables.txt";

// How names are sent to files. Path: to NAME.m in the pathdef folders and
// the current folder, ignoring case. Matlab: by MATLAB's function precedence
// (variables, local and nested functions, private folders, classes,
// packages), case kept, the current folder first.
enum class ResolutionMode { Path, Matlab };

// "path" or "matlab", as the command line and settings name the modes.
std::optional<ResolutionMode> ResolutionModeNamed(std::string_view name);

// What the session runs with; the options dialog edits it.
struct Settings {
  // What the options dialog's path box holds after start-up.
  Text configuredPathdef;
  // The pathdef.m location the next parse uses.
  Text pathdefFile;
  engine::DiscardTable discards = engine::EmptyDiscardTable();
  // True when the fallback directory became the current directory.
  bool movedToFallback = false;
  // Held for the session, never written to the settings file.
  ResolutionMode resolution = ResolutionMode::Path;
  // In the MATLAB mode: obj.method(...) on a variable reaches a method that
  // only one class defines, as a "possible" call.
  bool possibleCalls = false;
};

// "Matlab Pathdef" at positions 1-14, two separator characters, the value
// from position 17 trimmed of blanks, into `value`; other lines leave it
// empty. A key line shorter than 16 characters is Invalid.
Result SettingsKeyValue(TextView line, std::optional<Text>& value);

// The whole start-up reading, from the current directory with one retry in
// `fallbackDir`. A relative pathdef.m location is made absolute against the
// folder the settings file was read from. A failure means the settings file could not be used in
// either directory; `settings` then holds what could be read.
Result LoadStartupSettings(platform::FileSystem& fs, const Text& fallbackDir, Settings& settings);

}  // namespace korvath::session
