#include "engine/name_table.h"

#include <cstring>
#include <utility>

namespace korvath::engine {

// Four units a step: names are short and many, and a byte-wise hash costs
// as much as the rest of their filing.
std::uint32_t NameTable::Hash(TextView name) {
  std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ name.size();
  std::size_t i = 0;
  for (; i + 4 <= name.size(); i += 4) {
    std::uint64_t w = 0;
    std::memcpy(&w, name.data() + i, sizeof w);
    h = (h ^ w) * 0xFF51AFD7ED558CCDULL;
    h ^= h >> 32;
  }
  std::uint64_t rest = 0;
  for (; i < name.size(); ++i) rest = rest << 16 | name[i];
  h = (h ^ rest) * 0xC4CEB9FE1A85EC53ULL;
  h ^= h >> 29;
  return static_cast<std::uint32_t>(h);
}

std::uint32_t NameTable::Intern(TextView name) {
  // At most half full, so that a probe ends soon on a free slot.
  if (2 * (ends_.size() + 1) > slots_.size()) Grow();
  const std::size_t mask = slots_.size() - 1;
  const std::uint32_t hash = Hash(name);
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    Slot& slot = slots_[at];
    if (slot.idPlus1 == 0) {
      units_ += name;
      ends_.push_back(static_cast<std::uint32_t>(units_.size()));
      slot = Slot{size(), hash};
      return size() - 1;
    }
    if (slot.hash == hash && Name(slot.idPlus1 - 1) == name) return slot.idPlus1 - 1;
  }
}

void NameTable::Grow() {
  std::vector<Slot> slots(slots_.empty() ? 64 : 2 * slots_.size());
  const std::size_t mask = slots.size() - 1;
  for (const Slot& slot : slots_) {
    if (slot.idPlus1 == 0) continue;
    std::size_t at = slot.hash & mask;
    while (slots[at].idPlus1 != 0) at = (at + 1) & mask;
    slots[at] = slot;
  }
  slots_ = std::move(slots);
}

}  // namespace korvath::engine
