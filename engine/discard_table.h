#pragma once
// The discard list as a run uses it: functions to leave out of the tree,
// each in a group (file type) that the user may choose to show.

#include <unordered_set>
#include <vector>

#include "engine/text.h"

namespace korvath::engine {

struct DiscardEntry {
  Text name;
  Text fileType;
  bool show = false;

  bool operator==(const DiscardEntry&) const = default;
};

// Entry 0 exists and is never used.
using DiscardTable = std::vector<DiscardEntry>;
inline DiscardTable EmptyDiscardTable() { return DiscardTable(1); }

// The names a run leaves out: entries whose group is not shown. Names are
// compared exactly.
class DiscardedNames {
 public:
  explicit DiscardedNames(const DiscardTable& table);
  bool Contains(TextView name) const;
  bool empty() const { return names_.empty(); }

 private:
  std::unordered_set<TextView> names_;  // views into the table
};

}  // namespace korvath::engine
