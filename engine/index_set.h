#pragma once
// A set of record indexes as a bit tree (64 children per word), answering
// "lowest" and "highest" in a few word reads and never allocating once it
// has grown to the table's size. The resolution loop asks these questions
// once per pass, hundreds of thousands of times per run.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvath::engine {

class IndexSet {
 public:
  bool Empty() const { return count_ == 0; }

  void Clear() {
    for (auto& level : levels_) std::fill(level.begin(), level.end(), 0);
    count_ = 0;
  }

  // True when `i` was not in the set.
  bool Insert(std::size_t i) {
    if (levels_.empty() || (i >> 6) >= levels_[0].size()) Grow(i);
    std::uint64_t& word = levels_[0][i >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (i & 63);
    if ((word & bit) != 0) return false;
    bool propagate = word == 0;
    word |= bit;
    ++count_;
    std::size_t j = i >> 6;
    for (std::size_t k = 1; propagate && k < levels_.size(); ++k) {
      std::uint64_t& up = levels_[k][j >> 6];
      propagate = up == 0;
      up |= std::uint64_t{1} << (j & 63);
      j >>= 6;
    }
    return true;
  }

  // True when `i` was in the set.
  bool Erase(std::size_t i) {
    if (levels_.empty() || (i >> 6) >= levels_[0].size()) return false;
    std::uint64_t& word = levels_[0][i >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (i & 63);
    if ((word & bit) == 0) return false;
    word &= ~bit;
    --count_;
    bool propagate = word == 0;
    std::size_t j = i >> 6;
    for (std::size_t k = 1; propagate && k < levels_.size(); ++k) {
      std::uint64_t& up = levels_[k][j >> 6];
      up &= ~(std::uint64_t{1} << (j & 63));
      propagate = up == 0;
      j >>= 6;
    }
    return true;
  }

  // Both need a non-empty set.
  std::size_t Min() const {
    std::size_t j = 0;
    for (std::size_t k = levels_.size(); k-- > 0;) {
      j = (j << 6) | static_cast<std::size_t>(std::countr_zero(levels_[k][j]));
    }
    return j;
  }
  std::size_t Max() const {
    std::size_t j = 0;
    for (std::size_t k = levels_.size(); k-- > 0;) {
      j = (j << 6) | static_cast<std::size_t>(63 - std::countl_zero(levels_[k][j]));
    }
    return j;
  }

 private:
  // Room for index `i` at least, doubling; the upper levels are rebuilt from
  // the bottom one so that the top level is always a single word.
  void Grow(std::size_t i) {
    const std::size_t have = levels_.empty() ? 0 : levels_[0].size();
    const std::size_t words = std::max<std::size_t>({(i >> 6) + 1, 2 * have, 16});
    std::vector<std::uint64_t> bottom =
        levels_.empty() ? std::vector<std::uint64_t>{} : std::move(levels_[0]);
    bottom.resize(words, 0);
    levels_.clear();
    levels_.push_back(std::move(bottom));
    while (levels_.back().size() > 1) {
      const std::vector<std::uint64_t>& below = levels_.back();
      std::vector<std::uint64_t> up((below.size() + 63) / 64, 0);
      for (std::size_t w = 0; w < below.size(); ++w) {
        if (below[w] != 0) up[w >> 6] |= std::uint64_t{1} << (w & 63);
      }
      levels_.push_back(std::move(up));
    }
  }

  std::vector<std::vector<std::uint64_t>> levels_;  // [0]: one bit per index
  std::size_t count_ = 0;
};

}  // namespace korvath::engine
