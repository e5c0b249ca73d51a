#pragma once
// Reading korvath.ini and discardables.txt at start-up. Nothing here is ever
// shown to the user: failures fall back or leave values empty.

#include <optional>
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

// What the session runs with; the options dialog edits it.
struct Settings {
  // What the options dialog's path box holds after start-up.
  Text configuredPathdef;
  // The pathdef.m location the next parse uses.
  Text pathdefFile;
  engine::DiscardTable discards = engine::EmptyDiscardTable();
  // True when the fallback directory became the current directory.
  bool movedToFallback = false;
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
