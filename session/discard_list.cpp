#include "session/discard_list.h"

#include <unordered_set>

namespace korvath::session {

engine::DiscardTable ParseDiscardList(const std::vector<Text>& lines) {
  engine::DiscardTable table = engine::EmptyDiscardTable();
  Text group;
  for (const Text& line : lines) {
    if (!line.empty() && line.front() == u'%') {
      group = line.substr(1);
    } else {
      table.push_back(engine::DiscardEntry{line, group, false});
    }
  }
  return table;
}

std::vector<Text> DiscardGroups(const engine::DiscardTable& table) {
  std::vector<Text> groups;
  std::unordered_set<TextView> seen;
  for (std::size_t d = 1; d < table.size(); ++d) {
    if (seen.insert(table[d].fileType).second) groups.push_back(table[d].fileType);
  }
  return groups;
}

void ShowOnlyGroups(engine::DiscardTable& table, const std::vector<Text>& groups) {
  // A set: a long list of groups against a long discard list stays linear.
  const std::unordered_set<TextView> chosen(groups.begin(), groups.end());
  for (std::size_t d = 1; d < table.size(); ++d) {
    table[d].show = chosen.count(table[d].fileType) != 0;
  }
}

std::vector<Text> ShownGroups(const engine::DiscardTable& table) {
  std::unordered_set<TextView> hidden;
  for (std::size_t d = 1; d < table.size(); ++d) {
    if (!table[d].show) hidden.insert(table[d].fileType);
  }
  std::vector<Text> shown;
  for (Text& group : DiscardGroups(table)) {
    if (hidden.count(group) == 0) shown.push_back(std::move(group));
  }
  return shown;
}

}  // namespace korvath::session
