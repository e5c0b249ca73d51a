#include "engine/function_table.h"

#include <algorithm>
#include <limits>

#include "engine/number_text.h"
#include "platform/prefetch.h"

namespace korvath::engine {
namespace {

constexpr std::size_t kInitialSlots = 1024;
constexpr std::size_t kBlockUnits = 16384;
constexpr std::size_t kHeadUnits = 8;
constexpr std::size_t kFirstCompaction = std::size_t{1} << 20;

std::uint64_t Mix(std::uint64_t h) {
  h ^= h >> 32;
  h *= 0xD6E8FEB86659FD93ULL;
  h ^= h >> 32;
  h *= 0xD6E8FEB86659FD93ULL;
  h ^= h >> 32;
  return h;
}

// Writes the decimal text of `value` at `at` (room for 11 units) and returns
// the end.
char16_t* WriteDecimal(char16_t* at, std::int32_t value) {
  char16_t digits[12];
  std::size_t n = 0;
  std::uint32_t v =
      value < 0 ? 0U - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  do {
    digits[n++] = static_cast<char16_t>(u'0' + v % 10);
    v /= 10;
  } while (v != 0);
  if (value < 0) *at++ = u'-';
  while (n > 0) *at++ = digits[--n];
  return at;
}

// A unit of either kind of text as UTF-16: bytes are ASCII, read unsigned.
constexpr std::uint64_t UnitOf(char16_t c) { return c; }
constexpr std::uint64_t UnitOf(char c) { return static_cast<unsigned char>(c); }

// Whether a pooled text and a name of either kind hold the same units.
template <class View>
bool SameUnits(TextView pooled, View text) {
  if (pooled.size() != text.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (pooled[i] != UnitOf(text[i])) return false;
  }
  return true;
}
bool SameUnits(TextView pooled, TextView text) { return pooled == text; }

}  // namespace

FunctionTable::FunctionTable() { Reset(u""); }

void FunctionTable::Reset(TextView startName) {
  records_.assign(2, Rec{});
  lineNodes_.clear();
  liveLines_ = 0;
  compactAt_ = kFirstCompaction;
  pool_.clear();
  blocks_.clear();
  block_ = nullptr;
  blockUsed_ = 0;
  nameIndex_.assign(kInitialSlots, NameSlot{});
  slotOf_.clear();
  scanCaller_ = -1;
  scanStamp_ = 0;
  names_.clear();
  openNodes_.clear();
  freeOpen_ = -1;
  blanks_.Clear();
  candidates_.Clear();
  pending_.clear();
  nonBlank_ = 0;
  nonBlankParsed_ = 0;
  Intern(u"");                     // id 0
  StateOf(0).usedAsCaller = true;  // record 1 has no caller

  Rec& start = At(1);
  start.name = Intern(startName);
  SetOnlyLine(At(1), 0);
  if (start.name != 0) {
    ++nonBlank_;
  } else {
    blanks_.Insert(1);
  }
  OpenRecord(1);
}

// --- interned names ----------------------------------------------------------

template <class View>
void FunctionTable::KeyOf(View text, NameKey& key) {
  const std::size_t n = text.size();
  // Built in registers: a short copy into memory read back as whole words
  // stalls on store forwarding, once per name of every statement.
  std::uint64_t w0 = 0;
  std::uint64_t w1 = 0;
  for (std::size_t i = 0; i < std::min<std::size_t>(n, 4); ++i) {
    w0 |= UnitOf(text[i]) << (16 * i);
  }
  for (std::size_t i = 4; i < std::min(n, kHeadUnits); ++i) {
    w1 |= UnitOf(text[i]) << (16 * (i - 4));
  }
  key.head0 = w0;
  key.head1 = w1;
  std::uint64_t h = (w0 * 0x9E3779B97F4A7C15ULL) ^ (w1 * 0xC2B2AE3D27D4EB4FULL) ^ n;
  for (std::size_t i = kHeadUnits; i < n; i += 4) {
    std::uint64_t w = 0;
    for (std::size_t k = i; k < std::min(n, i + 4); ++k) {
      w |= UnitOf(text[k]) << (16 * (k - i));
    }
    h = (h ^ w) * 0xFF51AFD7ED558CCDULL;
    h ^= h >> 29;
  }
  key.hash = Mix(h);
  key.tag = static_cast<std::uint32_t>(key.hash >> 40) << 8 |
            static_cast<std::uint32_t>(std::min<std::size_t>(n, 255));
}

template <class View>
std::ptrdiff_t FunctionTable::FindSlot(View text, const NameKey& key) const {
  const std::size_t mask = nameIndex_.size() - 1;
  for (std::size_t i = static_cast<std::size_t>(key.hash) & mask;; i = (i + 1) & mask) {
    const NameSlot& slot = nameIndex_[i];
    if (slot.idPlus1 == 0) return -1;
    if (slot.tag == key.tag && slot.head0 == key.head0 && slot.head1 == key.head1) {
      // Equal length up to 255 and equal first eight units: a short name is
      // found, a longer one is compared in full.
      if (text.size() <= kHeadUnits ||
          SameUnits(pool_[static_cast<std::size_t>(slot.idPlus1 - 1)], text)) {
        return static_cast<std::ptrdiff_t>(i);
      }
    }
  }
}

FunctionTable::NameId FunctionTable::Intern(TextView text) {
  NameKey key;
  KeyOf(text, key);
  const std::ptrdiff_t slot = FindSlot(text, key);
  if (slot >= 0) return nameIndex_[static_cast<std::size_t>(slot)].idPlus1 - 1;
  return InternKeyed(text, key);
}

template <class View>
FunctionTable::NameId FunctionTable::InternKeyed(View text, const NameKey& key) {
  if (2 * (pool_.size() + 1) > nameIndex_.size()) GrowNameIndex();
  const char16_t* data = nullptr;
  if (!text.empty()) {
    char16_t* at = nullptr;
    if (text.size() > kBlockUnits / 4) {
      // A long text gets a block of its own; the current block stays current.
      blocks_.push_back(std::make_unique<char16_t[]>(text.size()));
      at = blocks_.back().get();
    } else {
      if (block_ == nullptr || blockUsed_ + text.size() > kBlockUnits) {
        blocks_.push_back(std::make_unique<char16_t[]>(kBlockUnits));
        block_ = blocks_.back().get();
        blockUsed_ = 0;
      }
      at = block_ + blockUsed_;
      blockUsed_ += text.size();
    }
    for (std::size_t i = 0; i < text.size(); ++i) at[i] = static_cast<char16_t>(UnitOf(text[i]));
    data = at;
  }
  const auto id = static_cast<NameId>(pool_.size());
  pool_.emplace_back(data, text.size());
  names_.emplace_back();
  const std::size_t mask = nameIndex_.size() - 1;
  std::size_t i = static_cast<std::size_t>(key.hash) & mask;
  while (nameIndex_[i].idPlus1 != 0) i = (i + 1) & mask;
  NameSlot& slot = nameIndex_[i];
  slot.tag = key.tag;
  slot.idPlus1 = id + 1;
  slot.scanStamp = 0;
  slot.scanRecord = 0;
  slot.head0 = key.head0;
  slot.head1 = key.head1;
  slotOf_.push_back(static_cast<std::int32_t>(i));
  return id;
}

void FunctionTable::GrowNameIndex() {
  std::vector<NameSlot> old(nameIndex_.size() * 2);
  old.swap(nameIndex_);
  const std::size_t mask = nameIndex_.size() - 1;
  for (const NameSlot& slot : old) {
    if (slot.idPlus1 == 0) continue;
    const NameId id = slot.idPlus1 - 1;
    NameKey key;
    KeyOf(pool_[static_cast<std::size_t>(id)], key);
    std::size_t i = static_cast<std::size_t>(key.hash) & mask;
    while (nameIndex_[i].idPlus1 != 0) i = (i + 1) & mask;
    nameIndex_[i] = slot;
    slotOf_[static_cast<std::size_t>(id)] = static_cast<std::int32_t>(i);
  }
}

// --- (caller, name) pairs --------------------------------------------------

// Makes `caller` the caller whose pairs the names point to. A caller seen
// before (a file scanned a second time, or calls filed in between blanks)
// gets its surviving pairs back from the records.
void FunctionTable::BeginCaller(NameId caller) {
  scanCaller_ = caller;
  if (++scanStamp_ == 0) {
    for (NameSlot& slot : nameIndex_) slot.scanStamp = 0;
    scanStamp_ = 1;
  }
  NameState& callerState = StateOf(caller);
  if (!callerState.usedAsCaller) {
    callerState.usedAsCaller = true;
    return;
  }
  for (std::size_t i = 1; i < records_.size(); ++i) {
    const Rec& rec = records_[i];
    if (rec.caller == caller && rec.name != 0) {
      NameSlot& slot = SlotOf(rec.name);
      slot.scanStamp = scanStamp_;
      slot.scanRecord = static_cast<std::int32_t>(i);
    }
  }
}

// --- line numbers ----------------------------------------------------------

void FunctionTable::AppendLine(Rec& rec, std::int32_t line) {
  if (rec.linesTail >= 0) {
    LineNode& tail = lineNodes_[static_cast<std::size_t>(rec.linesTail)];
    if (tail.line == line && tail.repeats < std::numeric_limits<std::int32_t>::max()) {
      ++tail.repeats;
      return;
    }
  }
  if (lineNodes_.size() >= compactAt_) CompactLines();
  const auto node = static_cast<std::int32_t>(lineNodes_.size());
  lineNodes_.push_back(LineNode{line, 0, -1});
  if (rec.linesTail < 0) {
    rec.linesHead = node;
  } else {
    lineNodes_[static_cast<std::size_t>(rec.linesTail)].next = node;
  }
  rec.linesTail = node;
  ++rec.lineNodes;
  ++liveLines_;
}

void FunctionTable::SetOnlyLine(Rec& rec, std::int32_t line) {
  liveLines_ -= static_cast<std::size_t>(rec.lineNodes);
  rec.linesHead = -1;
  rec.linesTail = -1;
  rec.lineNodes = 0;
  AppendLine(rec, line);
}

// Copies every record's list, in order, into a fresh pool. Runs when the
// pool has grown to twice its live nodes (and at least a million), so its
// cost is paid for by the appends since the last time.
void FunctionTable::CompactLines() {
  std::vector<LineNode> fresh;
  fresh.reserve(2 * liveLines_ + 1024);
  for (Rec& rec : records_) {
    if (rec.linesHead < 0) continue;
    const auto head = static_cast<std::int32_t>(fresh.size());
    for (std::int32_t n = rec.linesHead; n >= 0; n = lineNodes_[static_cast<std::size_t>(n)].next) {
      const LineNode& was = lineNodes_[static_cast<std::size_t>(n)];
      fresh.push_back(LineNode{was.line, was.repeats, static_cast<std::int32_t>(fresh.size()) + 1});
    }
    fresh.back().next = -1;
    rec.linesHead = head;
    rec.linesTail = static_cast<std::int32_t>(fresh.size()) - 1;
  }
  lineNodes_.swap(fresh);
  compactAt_ = std::max(kFirstCompaction, 2 * lineNodes_.size());
}

template <class Visit>
void FunctionTable::ForEachLine(const Rec& rec, Visit visit) const {
  for (std::int32_t n = rec.linesHead; n >= 0; n = lineNodes_[static_cast<std::size_t>(n)].next) {
    const LineNode& node = lineNodes_[static_cast<std::size_t>(n)];
    for (std::int32_t k = 0; k <= node.repeats; ++k) visit(node.line);
  }
}

Text FunctionTable::JoinLines(const Rec& rec) const {
  // Built in a reused buffer and copied once, at its final size.
  thread_local std::vector<char16_t> buffer(64);
  std::size_t used = 0;
  ForEachLine(rec, [&](std::int32_t line) {
    if (buffer.size() < used + 12) buffer.resize(2 * buffer.size() + 12);
    char16_t* at = buffer.data() + used;
    if (used != 0) *at++ = u',';
    used = static_cast<std::size_t>(WriteDecimal(at, line) - buffer.data());
  });
  return Text(buffer.data(), used);
}

// --- records -----------------------------------------------------------------

// A record has just become open: it waits either for the next pass to link
// it (its function already has a settled record) or for its turn to be
// looked up.
void FunctionTable::OpenRecord(int i) {
  const NameId name = At(i).name;
  if (name != 0 && StateOf(name).minSettled != 0) {
    pending_.push_back(i);
    return;
  }
  candidates_.Insert(static_cast<std::size_t>(i));
  if (name == 0) return;
  NameState& state = StateOf(name);
  std::int32_t node = freeOpen_;
  if (node >= 0) {
    freeOpen_ = openNodes_[static_cast<std::size_t>(node)].next;
    openNodes_[static_cast<std::size_t>(node)] = OpenNode{i, state.openHead};
  } else {
    node = static_cast<std::int32_t>(openNodes_.size());
    openNodes_.push_back(OpenNode{i, state.openHead});
  }
  state.openHead = node;
}

void FunctionTable::AddCall(NameId caller, TextView name, std::int32_t line) {
  if (name.empty()) return;
  NameKey key;
  KeyOf(name, key);
  AddCallKeyed(caller, name, key, line);
}

void FunctionTable::AddCalls(NameId caller, const TextView* names, std::size_t count,
                             std::int32_t line) {
  AddCallsOf(caller, names, count, line);
}

void FunctionTable::AddAsciiCalls(NameId caller, const std::string_view* names, std::size_t count,
                                  std::int32_t line) {
  AddCallsOf(caller, names, count, line);
}

// The index slots of a statement's names are scattered: asking for all of
// them first lets the loads overlap instead of waiting one after the other.
template <class View>
void FunctionTable::AddCallsOf(NameId caller, const View* names, std::size_t count,
                               std::int32_t line) {
  constexpr std::size_t kAhead = 16;
  NameKey keys[kAhead];
  for (std::size_t done = 0; done < count; done += kAhead) {
    const std::size_t n = std::min(kAhead, count - done);
    const std::size_t mask = nameIndex_.size() - 1;
    for (std::size_t k = 0; k < n; ++k) {
      KeyOf(names[done + k], keys[k]);
      platform::PrefetchForRead(&nameIndex_[static_cast<std::size_t>(keys[k].hash) & mask]);
    }
    for (std::size_t k = 0; k < n; ++k) {
      if (!names[done + k].empty()) AddCallKeyed(caller, names[done + k], keys[k], line);
    }
  }
}

template <class View>
void FunctionTable::AddCallKeyed(NameId caller, View name, const NameKey& key, std::int32_t line) {
  if (caller != scanCaller_) BeginCaller(caller);
  NameId id = -1;
  if (const std::ptrdiff_t found = FindSlot(name, key); found >= 0) {
    const NameSlot& slot = nameIndex_[static_cast<std::size_t>(found)];
    if (slot.scanStamp == scanStamp_) {
      AppendLine(At(slot.scanRecord), line);
      return;
    }
    id = slot.idPlus1 - 1;
  }
  int slot = 0;
  const bool grown = blanks_.Empty();
  if (grown) {
    records_.emplace_back();
    slot = HighestIndex();
  } else {
    slot = static_cast<int>(blanks_.Min());
  }
  if (ReadsAsNumber(name)) {
    // The slot stays empty; a grown one is a blank, still open, record.
    if (grown) {
      blanks_.Insert(static_cast<std::size_t>(slot));
      OpenRecord(slot);
    }
    return;
  }
  if (!grown) {
    blanks_.Erase(static_cast<std::size_t>(slot));
    if (!At(slot).parsed) candidates_.Erase(static_cast<std::size_t>(slot));
  }
  if (id < 0) id = InternKeyed(name, key);
  Rec& rec = At(slot);
  rec.name = id;
  rec.caller = caller;
  SetOnlyLine(rec, line);
  rec.parsed = false;
  NameSlot& named = SlotOf(id);
  named.scanStamp = scanStamp_;
  named.scanRecord = slot;
  ++nonBlank_;
  OpenRecord(slot);
}

std::vector<FunctionRecord> FunctionTable::Records() const {
  std::vector<FunctionRecord> out(records_.size());
  for (std::size_t i = 1; i < records_.size(); ++i) {
    const Rec& rec = records_[i];
    out[i] = FunctionRecord{Text(TextOf(rec.caller)), Text(TextOf(rec.name)),
                            Text(TextOf(rec.alsoCalledBy)), JoinLines(rec), rec.parsed};
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
  if (!pending_.empty()) {
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
  }
  pass.candidate = candidates_.Empty() ? 0 : static_cast<int>(candidates_.Max());
  return pass;
}

TextView FunctionTable::Pick(int i) {
  Rec& rec = At(i);
  rec.parsed = true;
  if (rec.name != 0) ++nonBlankParsed_;
  candidates_.Erase(static_cast<std::size_t>(i));
  return TextOf(rec.name);
}

void FunctionTable::MarkFound(int i) {
  const NameId name = At(i).name;
  if (name == 0) return;  // a blank slot stays blank; blanks never link
  NameState& state = StateOf(name);
  state.minSettled = state.minSettled == 0 ? i : std::min(state.minSettled, i);
  // The other open records of this function can be linked from now on. The
  // list may hold records that have since been picked, blanked or reused.
  std::int32_t node = state.openHead;
  while (node >= 0) {
    OpenNode& open = openNodes_[static_cast<std::size_t>(node)];
    const int j = open.record;
    if (j != i && At(j).name == name && !At(j).parsed &&
        candidates_.Erase(static_cast<std::size_t>(j))) {
      pending_.push_back(j);
    }
    const std::int32_t next = open.next;
    open.next = freeOpen_;
    freeOpen_ = node;
    node = next;
  }
  state.openHead = -1;
}

void FunctionTable::Blank(int i) {
  Rec& rec = At(i);
  // The stamped pairs may now point at this record: the next call finds
  // its pairs afresh.
  scanCaller_ = -1;
  if (rec.name != 0) {
    --nonBlank_;
    if (rec.parsed) --nonBlankParsed_;
  }
  rec.name = 0;
  rec.caller = 0;
  candidates_.Erase(static_cast<std::size_t>(i));
  blanks_.Insert(static_cast<std::size_t>(i));
}

std::vector<FunctionRecord> FunctionTable::Finish(const DiscardTable& discards,
                                                  bool startOnly) const {
  const DiscardedNames discarded(discards);
  const std::size_t count = startOnly ? std::min<std::size_t>(records_.size(), 2) : records_.size();
  // Most interned names (variables, built-ins) end up in no record: strip
  // only the ones that are asked for, each once.
  std::vector<Text> stripped(startOnly ? 0 : pool_.size());
  std::vector<char> done(stripped.size(), 0);
  Text one;
  auto strip = [&](NameId id) -> const Text& {
    const auto k = static_cast<std::size_t>(id);
    if (startOnly) return one = Text(WithoutMExtension(pool_[k]));
    if (done[k] == 0) {
      stripped[k] = Text(WithoutMExtension(pool_[k]));
      done[k] = 1;
    }
    return stripped[k];
  };

  std::vector<FunctionRecord> out(count);
  for (std::size_t i = 1; i < count; ++i) {
    const Rec& rec = records_[i];
    FunctionRecord& f = out[i];
    f.name = strip(rec.name);
    f.caller = strip(rec.caller);
    f.alsoCalledBy = strip(rec.alsoCalledBy);
    f.lines = JoinLines(rec);
    f.parsed = rec.parsed;
    if (!discarded.empty() && discarded.Contains(f.name)) {
      f.name.clear();
      f.caller.clear();
    }
  }
  return out;
}

}  // namespace korvath::engine
