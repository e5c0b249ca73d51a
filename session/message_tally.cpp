#include "session/message_tally.h"

namespace korvath::session {

bool MessageTally::Add(const Text& text) {
  all_.push_back(text);
  return ++counts_[text] == 1;
}

std::vector<std::pair<Text, int>> MessageTally::Distinct() const {
  std::vector<std::pair<Text, int>> distinct;
  std::unordered_map<Text, bool> listed;
  for (const Text& text : all_) {
    if (listed.try_emplace(text, true).second) distinct.emplace_back(text, counts_.at(text));
  }
  return distinct;
}

}  // namespace korvath::session
