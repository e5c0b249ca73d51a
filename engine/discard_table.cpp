#include "engine/discard_table.h"

namespace korvath::engine {

DiscardedNames::DiscardedNames(const DiscardTable& table) {
  for (std::size_t d = 1; d < table.size(); ++d) {
    if (!table[d].show) names_.insert(table[d].name);
  }
}

bool DiscardedNames::Contains(TextView name) const { return names_.count(name) != 0; }

}  // namespace korvath::engine
