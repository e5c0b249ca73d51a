#include "session/startup_settings.h"

#include "engine/text_lines.h"
#include "platform/host.h"
#include "session/discard_list.h"

namespace korvath::session {

std::optional<ResolutionMode> ResolutionModeNamed(std::string_view name) {
  if (name == "path") return ResolutionMode::Path;
  if (name == "matlab") return ResolutionMode::Matlab;
  return std::nullopt;
}
namespace {

constexpr TextView kSettingsKey = u"Matlab Pathdef";

// The path box's value from the settings file's lines.
Result ReadSettingsLines(std::string bytes, Text& configuredPathdef) {
  for (const Text& line : engine::SplitLines(std::move(bytes))) {
    std::optional<Text> value;
    if (Result read = SettingsKeyValue(line, value); !read) return read;
    if (value) configuredPathdef = std::move(*value);
  }
  return {};
}

}  // namespace

Result SettingsKeyValue(TextView line, std::optional<Text>& value) {
  value.reset();
  if (!engine::StartsWith(line, kSettingsKey)) return {};
  // Split by position: two separator characters, then the value.
  if (line.size() < 16)
    return Result::Failure(Status::Invalid, "the Matlab Pathdef line is too short");
  value = Text(engine::TrimBlanks(line.substr(16)));
  return {};
}

Result LoadStartupSettings(platform::FileSystem& fs, const Text& fallbackDir, Settings& settings) {
  // The session's own choices are no part of the files.
  Settings fresh;
  fresh.resolution = settings.resolution;
  fresh.possibleCalls = settings.possibleCalls;
  settings = std::move(fresh);
  bool retried = false;
  // One repetition of a failed step, from the fallback directory.
  auto moveToFallback = [&]() {
    if (retried || fs.CurrentDirectory() == fallbackDir) return false;
    retried = true;
    if (!fs.SetCurrentDirectory(fallbackDir)) return false;
    settings.movedToFallback = true;
    return true;
  };

  std::string bytes;
  Result result = fs.ReadFile(kSettingsFileName, bytes);
  if (!result && moveToFallback()) result = fs.ReadFile(kSettingsFileName, bytes);
  if (result) {
    result = ReadSettingsLines(std::move(bytes), settings.configuredPathdef);
    // Repeating the step meets the same line again, so the settings are
    // abandoned either way; only the current directory may change.
    if (!result) moveToFallback();
  }
  if (result) {
    // Relative to the folder that holds korvath.ini, fixed now: picking a
    // start file elsewhere makes another folder current.
    if (!settings.configuredPathdef.empty() &&
        !platform::IsAbsolutePath(settings.configuredPathdef)) {
      TextView relative = settings.configuredPathdef;
      while (engine::StartsWith(relative, u"./") || engine::StartsWith(relative, u".\\")) {
        relative.remove_prefix(2);
      }
      settings.configuredPathdef = fs.JoinPath(fs.CurrentDirectory(), Text(relative));
    }
    settings.pathdefFile = settings.configuredPathdef;
  }

  std::string list;
  if (fs.ReadFile(kDiscardFileName, list)) {
    settings.discards = ParseDiscardList(engine::SplitLines(std::move(list)));
  }
  return result;
}

}  // namespace korvath::session
