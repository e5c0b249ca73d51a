#pragma once
// The discard list file and its groups: "%" lines head a group (a file
// type), every other line names a function to leave out of the tree.

#include <vector>

#include "engine/discard_table.h"

namespace korvath::session {

engine::DiscardTable ParseDiscardList(const std::vector<Text>& lines);

// Every group once, in order of first appearance.
std::vector<Text> DiscardGroups(const engine::DiscardTable& table);

// Shows exactly the entries whose group is one of `groups`; the others are
// hidden again.
void ShowOnlyGroups(engine::DiscardTable& table, const std::vector<Text>& groups);

// The groups whose entries are all shown, in order of first appearance.
std::vector<Text> ShownGroups(const engine::DiscardTable& table);

}  // namespace korvath::session
