#pragma once
// Names kept once each and known by number, so that many owners of the same
// names can hold small numbers instead of copies. The names lie end to end
// in one buffer, found through an open-addressing table of numbers: a few
// bytes a name beyond its units, and no allocation of its own.

#include <cstdint>
#include <vector>

#include "engine/text.h"

namespace korvath::engine {

class NameTable {
 public:
  // The number of `name`, given it (the next number) if it is new.
  std::uint32_t Intern(TextView name);
  TextView Name(std::uint32_t id) const {
    const std::uint32_t begin = id == 0 ? 0 : ends_[id - 1];
    return TextView(units_).substr(begin, ends_[id] - begin);
  }
  std::uint32_t size() const { return static_cast<std::uint32_t>(ends_.size()); }
  void clear() { *this = NameTable(); }

 private:
  // A slot keeps its name's hash (its low bits): a probe compares text only
  // when they agree, and growing needs no hashing.
  struct Slot {
    std::uint32_t idPlus1 = 0;  // a name's number + 1, or 0 when free
    std::uint32_t hash = 0;
  };
  static std::uint32_t Hash(TextView name);
  void Grow();

  Text units_;                       // every name, one after another
  std::vector<std::uint32_t> ends_;  // where each ends in `units_`
  std::vector<Slot> slots_;
};

}  // namespace korvath::engine
