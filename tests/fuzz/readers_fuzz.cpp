// Random bytes as korvath.ini, discardables.txt and pathdef.m: lines never keep
// their ends; a settings value is trimmed; every discard line is an entry or a
// heading; showing every group shows every entry; pathdef entries are never
// empty nor over their cap, and the current directory comes last.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/search_path.h"
#include "engine/text_lines.h"
#include "session/discard_list.h"
#include "session/startup_settings.h"
#include "tests/support/memory_file_system.h"

namespace {

using korvath::Text;
namespace engine = korvath::engine;
namespace session = korvath::session;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void CheckSettingsAndDiscardLines(const std::string& bytes) {
  const std::vector<Text> lines = engine::SplitLines(bytes);
  std::size_t headings = 0;
  for (const Text& line : lines) {
    Check(line.find(u'\r') == Text::npos && line.find(u'\n') == Text::npos);
    headings += !line.empty() && line.front() == u'%' ? 1 : 0;
    std::optional<Text> value;
    if (!session::SettingsKeyValue(line, value)) {
      Check(line.size() < 16 && !value);
    } else if (value) {
      Check(value->empty() || (value->front() != u' ' && value->back() != u' '));
    }
  }
  engine::DiscardTable table = session::ParseDiscardList(lines);
  Check(table.size() == 1 + lines.size() - headings);
  session::ShowOnlyGroups(table, session::DiscardGroups(table));
  for (std::size_t d = 1; d < table.size(); ++d) Check(table[d].show);
  session::ShowOnlyGroups(table, {});
  Check(engine::DiscardedNames(table).empty() == (table.size() == 1));
}

// With no fallback directory, start-up has nowhere to move to.
void CheckSearchPathAndStartup(const std::string& bytes) {
  korvath::testing::MemoryFileSystem fs;
  fs.AddFile("/matlab/toolbox/local/pathdef.m", bytes);
  fs.AddFile("/work/korvath.ini", bytes.substr(0, bytes.size() / 2));
  fs.AddFile("/work/discardables.txt", bytes.substr(bytes.size() / 2));
  fs.SetCwd("/work");
  std::vector<Text> dirs;
  Check(static_cast<bool>(engine::ReadSearchPath(u"/matlab/toolbox/local/pathdef.m", fs, dirs)));
  Check(dirs.size() >= 2 && dirs.front().empty() && dirs.back() == u"/work");
  for (std::size_t k = 1; k + 1 < dirs.size(); ++k) {
    Check(!dirs[k].empty() && dirs[k].size() <= 4096);
  }
  session::Settings settings;
  // Any outcome will do; what follows checks what it left behind.
  static_cast<void>(session::LoadStartupSettings(fs, u"/fallback", settings));
  Check(!settings.movedToFallback && !settings.discards.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  CheckSettingsAndDiscardLines(bytes);
  CheckSearchPathAndStartup(bytes);
  return 0;
}
