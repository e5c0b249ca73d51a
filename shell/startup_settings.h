#pragma once
// Reading korvath.ini and discardables.txt at start-up. Nothing here is ever
// reported to the user: failures fall back or leave values empty.

#include <optional>
#include <vector>

#include "engine/function_table.h"
#include "engine/text.h"
#include "platform/file_system.h"

namespace korvath {

inline constexpr char16_t kSettingsFileName[] = u"korvath.ini";
inline constexpr char16_t kDiscardFileName[] = u"discardables.txt";

struct StartupSettings {
  // What the options dialog's path box holds after start-up.
  Text PathBox;
  // The pathdef.m location the next parse uses.
  Text PathdefFile;
  DiscardTable Discards = EmptyDiscardTable();
  // True when the settings file could not be used in either directory.
  bool SettingsAbandoned = false;
  // True when the fallback directory became the current directory.
  bool MovedToFallback = false;
};

// "Matlab Pathdef" at positions 1-14, two separator characters, the value
// from position 17 trimmed of blanks. nullopt for any other line; a key line
// shorter than 16 characters is a settings failure, reported as `tooShort`.
std::optional<Text> SettingsKeyValue(TextView line, bool& tooShort);

// Discard list lines: "%" headings and one name per line.
DiscardTable ParseDiscardList(const std::vector<Text>& lines);

// The whole start-up reading, from the current directory with one retry in
// `fallbackDir`.
StartupSettings LoadStartupSettings(platform::FileSystem& fs, const Text& fallbackDir);

// $XDG_CONFIG_HOME/korvath (default ~/.config/korvath) on POSIX hosts,
// E:\Korvath on Windows.
Text DefaultFallbackDirectory();

}  // namespace korvath
