#include "shell/startup_settings.h"

#include <cstdlib>

#include "engine/text_lines.h"
#include "platform/utf8.h"

namespace korvath {
namespace {

constexpr TextView kSettingsKey = u"Matlab Pathdef";

}  // namespace

std::optional<Text> SettingsKeyValue(TextView line, bool& tooShort) {
  tooShort = false;
  if (!StartsWith(line, kSettingsKey)) return std::nullopt;
  // Split by position: two separator characters, then the value.
  if (line.size() < 16) {
    tooShort = true;
    return std::nullopt;
  }
  return Text(TrimBlanks(line.substr(16)));
}

DiscardTable ParseDiscardList(const std::vector<Text>& lines) {
  DiscardTable table = EmptyDiscardTable();
  Text group;
  for (const Text& line : lines) {
    if (!line.empty() && line.front() == u'%') {
      group = line.substr(1);
    } else {
      table.push_back(DiscardEntry{line, group, false});
    }
  }
  return table;
}

StartupSettings LoadStartupSettings(platform::FileSystem& fs, const Text& fallbackDir) {
  StartupSettings settings;
  bool retried = false;
  // One repetition of a failed step, from the fallback directory.
  auto moveToFallback = [&]() {
    if (retried || fs.CurrentDirectory() == fallbackDir) return false;
    retried = true;
    if (!fs.SetCurrentDirectory(fallbackDir)) return false;
    settings.MovedToFallback = true;
    return true;
  };

  std::optional<std::string> bytes = fs.ReadFile(kSettingsFileName, nullptr);
  if (!bytes && moveToFallback()) bytes = fs.ReadFile(kSettingsFileName, nullptr);
  if (!bytes) {
    settings.SettingsAbandoned = true;
  } else {
    for (const Text& line : SplitLines(std::move(*bytes))) {
      bool tooShort = false;
      std::optional<Text> value = SettingsKeyValue(line, tooShort);
      if (tooShort) {
        // Repeating the step meets the same line again, so the settings are
        // abandoned either way; only the current directory may change.
        moveToFallback();
        settings.SettingsAbandoned = true;
        break;
      }
      if (value) settings.PathBox = std::move(*value);
    }
    if (!settings.SettingsAbandoned) settings.PathdefFile = settings.PathBox;
  }

  if (std::optional<std::string> list = fs.ReadFile(kDiscardFileName, nullptr)) {
    settings.Discards = ParseDiscardList(SplitLines(std::move(*list)));
  }
  return settings;
}

Text DefaultFallbackDirectory() {
#ifdef _WIN32
  return u"E:\\Korvath";
#else
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return platform::FromUtf8(config) + u"/korvath";
  const char* home = std::getenv("HOME");
  return platform::FromUtf8(home != nullptr ? home : "") + u"/.config/korvath";
#endif
}

}  // namespace korvath
