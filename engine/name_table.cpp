#include "engine/name_table.h"

#include <functional>
#include <utility>

namespace korvath::engine {

std::size_t NameTable::Hash(TextView name) { return std::hash<TextView>{}(name); }

std::uint32_t NameTable::Intern(TextView name) {
  // At most half full, so that a probe ends soon on a free slot.
  if (2 * (ends_.size() + 1) > slots_.size()) Grow();
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = Hash(name) & mask;; at = (at + 1) & mask) {
    const std::uint32_t slot = slots_[at];
    if (slot == 0) {
      units_ += name;
      ends_.push_back(static_cast<std::uint32_t>(units_.size()));
      slots_[at] = size();
      return size() - 1;
    }
    if (Name(slot - 1) == name) return slot - 1;
  }
}

void NameTable::Grow() {
  std::vector<std::uint32_t> slots(slots_.empty() ? 64 : 2 * slots_.size(), 0);
  const std::size_t mask = slots.size() - 1;
  for (std::uint32_t id = 0; id < size(); ++id) {
    std::size_t at = Hash(Name(id)) & mask;
    while (slots[at] != 0) at = (at + 1) & mask;
    slots[at] = id + 1;
  }
  slots_ = std::move(slots);
}

}  // namespace korvath::engine
