#include "engine/function_table.h"

#include <algorithm>
#include <unordered_set>

#include "engine/number_text.h"

namespace korvath {
namespace {

Text StripDotM(TextView text) {
  if (EndsWith(text, u".m")) text.remove_suffix(2);
  return Text(text);
}

Text JoinLines(const std::vector<std::int32_t>& lines) {
  Text out;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (k != 0) out.push_back(u',');
    out += DecimalText(lines[k]);
  }
  return out;
}

}  // namespace

FunctionTable::FunctionTable() { Reset(u""); }

void FunctionTable::Reset(TextView startName) {
  records_.assign(2, Rec{});
  pool_.clear();
  ids_.clear();
  names_.clear();
  pairs_.clear();
  blanks_.clear();
  candidates_.clear();
  pending_.clear();
  nonBlank_ = 0;
  nonBlankParsed_ = 0;
  Intern(u"");  // id 0

  Rec& start = At(1);
  start.name = Intern(startName);
  start.lines = {0};
  if (start.name != 0) {
    pairs_.emplace(PairKey(0, start.name), 1);
    ++nonBlank_;
  } else {
    blanks_.insert(1);
  }
  OpenRecord(1);
}

FunctionTable::NameId FunctionTable::Find(TextView text) const {
  const auto it = ids_.find(text);
  return it == ids_.end() ? -1 : it->second;
}

FunctionTable::NameId FunctionTable::Intern(TextView text) {
  const NameId found = Find(text);
  if (found >= 0) return found;
  const auto id = static_cast<NameId>(pool_.size());
  pool_.emplace_back(text);
  ids_.emplace(TextView(pool_.back()), id);
  names_.emplace_back();
  return id;
}

FunctionTable::NameState& FunctionTable::StateOf(NameId id) {
  return names_[static_cast<std::size_t>(id)];
}

// A record has just become open: it waits either for the next pass to link
// it (its function already has a settled record) or for its turn to be
// looked up.
void FunctionTable::OpenRecord(int i) {
  const NameId name = At(i).name;
  if (name != 0 && StateOf(name).minSettled != 0) {
    pending_.push_back(i);
    return;
  }
  candidates_.insert(i);
  if (name != 0) StateOf(name).open.push_back(i);
}

void FunctionTable::AddCall(NameId caller, TextView name, std::int32_t line) {
  if (name.empty()) return;
  NameId id = Find(name);
  if (id >= 0) {
    const auto it = pairs_.find(PairKey(caller, id));
    if (it != pairs_.end()) {
      At(it->second).lines.push_back(line);
      return;
    }
  }
  int slot = 0;
  const bool grown = blanks_.empty();
  if (grown) {
    records_.emplace_back();
    slot = HighestIndex();
  } else {
    slot = *blanks_.begin();
  }
  if (ReadsAsNumber(name)) {
    // The slot stays empty; a grown one is a blank, still open, record.
    if (grown) {
      blanks_.insert(slot);
      OpenRecord(slot);
    }
    return;
  }
  Rec& rec = At(slot);
  if (!grown) {
    blanks_.erase(blanks_.begin());
    if (!rec.parsed) candidates_.erase(slot);
  }
  if (id < 0) id = Intern(name);
  rec.name = id;
  rec.caller = caller;
  rec.lines.assign(1, line);
  rec.parsed = false;
  pairs_.emplace(PairKey(caller, id), slot);
  ++nonBlank_;
  OpenRecord(slot);
}

std::vector<FunctionRecord> FunctionTable::Records() const {
  std::vector<FunctionRecord> out(records_.size());
  for (std::size_t i = 1; i < records_.size(); ++i) {
    const Rec& rec = records_[i];
    out[i] = FunctionRecord{Text(TextOf(rec.caller)), Text(TextOf(rec.name)),
                            Text(TextOf(rec.alsoCalledBy)), JoinLines(rec.lines), rec.parsed};
  }
  return out;
}

FunctionTable::Pass FunctionTable::RunPass() {
  Pass pass;
  pass.parsedCount = nonBlankParsed_;
  pass.totalCount = nonBlank_;
  // Within a pass the set of functions with a settled record does not change
  // (linking only adds records to functions already in it), so every pending
  // record is linked now, in index order, each to the lowest settled record
  // of its function at that moment.
  std::sort(pending_.begin(), pending_.end());
  for (const int i : pending_) {
    Rec& rec = At(i);
    NameState& state = StateOf(rec.name);
    rec.alsoCalledBy = At(state.minSettled).caller;
    rec.parsed = true;
    ++nonBlankParsed_;
    state.minSettled = std::min(state.minSettled, i);
  }
  pending_.clear();
  pass.candidate = candidates_.empty() ? 0 : *candidates_.rbegin();
  return pass;
}

TextView FunctionTable::Pick(int i) {
  Rec& rec = At(i);
  rec.parsed = true;
  if (rec.name != 0) ++nonBlankParsed_;
  candidates_.erase(i);
  return TextOf(rec.name);
}

void FunctionTable::MarkFound(int i) {
  const NameId name = At(i).name;
  if (name == 0) return;  // a blank slot stays blank; blanks never link
  NameState& state = StateOf(name);
  state.minSettled = state.minSettled == 0 ? i : std::min(state.minSettled, i);
  // The other open records of this function can be linked from now on. The
  // list may hold records that have since been picked, blanked or reused.
  for (const int j : state.open) {
    if (j != i && At(j).name == name && !At(j).parsed && candidates_.erase(j) != 0) {
      pending_.push_back(j);
    }
  }
  state.open.clear();
  state.open.shrink_to_fit();
}

void FunctionTable::Blank(int i) {
  Rec& rec = At(i);
  if (rec.name != 0) {
    pairs_.erase(PairKey(rec.caller, rec.name));
    --nonBlank_;
    if (rec.parsed) --nonBlankParsed_;
  }
  rec.name = 0;
  rec.caller = 0;
  candidates_.erase(i);
  blanks_.insert(i);
}

std::vector<FunctionRecord> FunctionTable::Finish(const DiscardTable& discards) const {
  std::unordered_set<Text> discarded;
  for (std::size_t d = 1; d < discards.size(); ++d) {
    if (!discards[d].Show) discarded.insert(discards[d].Name);
  }
  std::vector<Text> stripped(pool_.size());
  for (std::size_t id = 0; id < pool_.size(); ++id) stripped[id] = StripDotM(pool_[id]);

  std::vector<FunctionRecord> out(records_.size());
  for (std::size_t i = 1; i < records_.size(); ++i) {
    const Rec& rec = records_[i];
    FunctionRecord& f = out[i];
    f.Name = stripped[static_cast<std::size_t>(rec.name)];
    f.Caller = stripped[static_cast<std::size_t>(rec.caller)];
    f.AlsoCalledBy = stripped[static_cast<std::size_t>(rec.alsoCalledBy)];
    f.Lines = JoinLines(rec.lines);
    f.Parsed = rec.parsed;
    if (discarded.count(f.Name) != 0) {
      f.Name.clear();
      f.Caller.clear();
    }
  }
  return out;
}

}  // namespace korvath
