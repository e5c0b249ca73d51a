#pragma once
// The messages of a run, counted: a deep recursion can raise the same
// warning thousands of times, and each front end shows a text once.

#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/text.h"

namespace korvath::session {

class MessageTally {
 public:
  // True the first time `text` is added.
  bool Add(const Text& text);
  // Every message, repeats included, in order.
  const std::vector<Text>& All() const { return all_; }
  // Each distinct text once, in order of first appearance, with its count.
  std::vector<std::pair<Text, int>> Distinct() const;

 private:
  std::vector<Text> all_;
  std::unordered_map<Text, int> counts_;
};

}  // namespace korvath::session
