#include "engine/function_table.h"

#include <algorithm>
#include <limits>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "engine/byte_loads.h"
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
  h ^= h >> 29;
  return h;
}

std::uint64_t Start(std::uint64_t head0, std::uint64_t head1, std::size_t n) {
  return (head0 * 0x9E3779B97F4A7C15ULL) ^ (head1 * 0xC2B2AE3D27D4EB4FULL) ^ n;
}
std::uint64_t Fold(std::uint64_t h, std::uint64_t lo, std::uint64_t hi) {
  h = ((h ^ lo) * 0xFF51AFD7ED558CCDULL) ^ (hi * 0xC4CEB9FE1A85EC53ULL);
  return h ^ (h >> 29);
}

// The first min(n, 8) bytes at `p`, zero above, reading no byte at or past
// p + n: two overlapping loads that both lie inside the name.
std::uint64_t LoadUpTo8(const char* p, std::size_t n) {
  if (n >= 8) return Load64(p);
  if (n >= 4) return Load32(p) | Load32(p + n - 4) << (8 * (n - 4));
  if (n == 0) return 0;
  const std::size_t mid = n / 2;
  return std::uint64_t{static_cast<unsigned char>(p[0])} |
         std::uint64_t{static_cast<unsigned char>(p[mid])} << (8 * mid) |
         std::uint64_t{static_cast<unsigned char>(p[n - 1])} << (8 * (n - 1));
}

// Eight bytes widened to eight 16-bit units, four in each word.
void WidenBytes(std::uint64_t bytes, std::uint64_t& lo, std::uint64_t& hi) {
#if defined(__SSE2__) || defined(_M_X64)
  const __m128i units =
      _mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<long long>(bytes)), _mm_setzero_si128());
  lo = static_cast<std::uint64_t>(_mm_cvtsi128_si64(units));
  hi = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(units, units)));
#else
  const auto spread = [](std::uint64_t four) {
    four = (four | four << 16) & 0x0000FFFF0000FFFFULL;
    return (four | four << 8) & 0x00FF00FF00FF00FFULL;
  };
  lo = spread(bytes & 0xFFFFFFFFULL);
  hi = spread(bytes >> 32);
#endif
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
// Their first eight units are known to be equal already.
template <class View>
bool SameUnits(TextView pooled, View text) {
  if (pooled.size() != text.size()) return false;
  for (std::size_t i = kHeadUnits; i < text.size(); ++i) {
    if (pooled[i] != UnitOf(text[i])) return false;
  }
  return true;
}

}  // namespace

FunctionTable::FunctionTable() { Reset(u""); }

void FunctionTable::Reset(TextView startName) {
  records_.assign(2, Rec{});
  lineNodes_.reset();
  lineCapacity_ = 0;
  lineCount_ = 0;
  lineRoom_ = 0;
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

// A text's key is that of its UTF-16 units zero-padded to whole groups of
// four (one word each): the first two words are the heads, the rest is
// folded in eight units at a time.
void FunctionTable::Seal(std::uint64_t h, std::size_t n, NameKey& key) {
  key.hash = Mix(h);
  key.tag = static_cast<std::uint32_t>(key.hash >> 40) << 8 |
            static_cast<std::uint32_t>(std::min<std::size_t>(n, 255));
}

void FunctionTable::KeyOf(TextView text, NameKey& key) {
  const std::size_t n = text.size();
  const auto word = [&](std::size_t from) {
    std::uint64_t w = 0;
    for (std::size_t i = from; i < std::min(n, from + 4); ++i) {
      w |= UnitOf(text[i]) << (16 * (i - from));
    }
    return w;
  };
  key.head0 = word(0);
  key.head1 = word(4);
  std::uint64_t h = Start(key.head0, key.head1, n);
  for (std::size_t i = kHeadUnits; i < n; i += 8) h = Fold(h, word(i), word(i + 4));
  Seal(h, n, key);
}

inline void FunctionTable::KeyOf(std::string_view text, NameKey& key) {
  const std::size_t n = text.size();
  const char* p = text.data();
  WidenBytes(LoadUpTo8(p, n), key.head0, key.head1);
  std::uint64_t h = Start(key.head0, key.head1, n);
  if (n > kHeadUnits) {
    std::uint64_t lo = 0;
    std::uint64_t hi = 0;
    std::size_t i = kHeadUnits;
    for (; i + 8 <= n; i += 8) {
      WidenBytes(Load64(p + i), lo, hi);
      h = Fold(h, lo, hi);
    }
    if (i < n) {
      // The last eight bytes of the name, shifted down past the ones folded.
      WidenBytes(Load64(p + n - 8) >> (8 * (i + 8 - n)), lo, hi);
      h = Fold(h, lo, hi);
    }
  }
  Seal(h, n, key);
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

// Only for a record that has a list: a name met before in this file.
inline void FunctionTable::AppendLine(Rec& rec, std::int32_t line) {
  LineNode& tail = lineNodes_[static_cast<std::size_t>(rec.linesTail)];
  if (tail.line == line && tail.repeats < std::numeric_limits<std::int32_t>::max()) {
    ++tail.repeats;
    return;
  }
  const std::int32_t node = NewLineNode(line);
  lineNodes_[static_cast<std::size_t>(rec.linesTail)].next = node;
  rec.linesTail = node;
  ++rec.lineNodes;
}

void FunctionTable::SetOnlyLine(Rec& rec, std::int32_t line) {
  liveLines_ -= static_cast<std::size_t>(rec.lineNodes);
  const std::int32_t node = NewLineNode(line);
  rec.linesHead = node;
  rec.linesTail = node;
  rec.lineNodes = 1;
}

inline std::int32_t FunctionTable::NewLineNode(std::int32_t line) {
  if (lineCount_ >= lineRoom_) MakeRoomForLine();
  const auto node = static_cast<std::int32_t>(lineCount_);
  lineNodes_[lineCount_++] = LineNode{line, 0, -1};
  ++liveLines_;
  return node;
}

// Taking a node is one store while there is room; the pool is compacted
// when due, else doubled (left uninitialised: only taken nodes are read).
void FunctionTable::MakeRoomForLine() {
  if (lineCount_ >= compactAt_) CompactLines();
  if (lineCount_ >= lineCapacity_) {
    const std::size_t capacity = std::max<std::size_t>(1024, 2 * lineCount_);
    auto grown = std::unique_ptr<LineNode[]>(new LineNode[capacity]);
    std::copy_n(lineNodes_.get(), lineCount_, grown.get());
    lineNodes_ = std::move(grown);
    lineCapacity_ = capacity;
  }
  lineRoom_ = std::min(compactAt_, lineCapacity_);
}

// Copies every record's list, in order, into a fresh pool. Runs when the
// pool has grown to twice its live nodes (and at least a million), so its
// cost is paid for by the appends since the last time.
void FunctionTable::CompactLines() {
  const std::size_t capacity = 2 * liveLines_ + 1024;
  auto fresh = std::unique_ptr<LineNode[]>(new LineNode[capacity]);
  std::size_t used = 0;
  for (Rec& rec : records_) {
    if (rec.linesHead < 0) continue;
    const auto head = static_cast<std::int32_t>(used);
    for (std::int32_t n = rec.linesHead; n >= 0; n = lineNodes_[static_cast<std::size_t>(n)].next) {
      const LineNode& was = lineNodes_[static_cast<std::size_t>(n)];
      fresh[used] = LineNode{was.line, was.repeats, static_cast<std::int32_t>(used) + 1};
      ++used;
    }
    fresh[used - 1].next = -1;
    rec.linesHead = head;
    rec.linesTail = static_cast<std::int32_t>(used) - 1;
  }
  lineNodes_ = std::move(fresh);
  lineCount_ = used;
  lineCapacity_ = capacity;
  compactAt_ = std::max(kFirstCompaction, 2 * lineCount_);
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
  if (caller != scanCaller_) BeginCaller(caller);
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
  if (count == 0) return;
  // Filing does not blank records, so the caller's pairs stay valid for the
  // whole statement.
  if (caller != scanCaller_) BeginCaller(caller);
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

// Most names were used before in the same file: their slot holds the
// record, and the line goes on its list.
template <class View>
void FunctionTable::AddCallKeyed(NameId caller, View name, const NameKey& key, std::int32_t line) {
  NameId id = -1;
  if (const std::ptrdiff_t found = FindSlot(name, key); found >= 0) {
    const NameSlot& slot = nameIndex_[static_cast<std::size_t>(found)];
    if (slot.scanStamp == scanStamp_) {
      AppendLine(At(slot.scanRecord), line);
      return;
    }
    id = slot.idPlus1 - 1;
  }
  AddPair(caller, name, key, id, line);
}

// A name new to this caller (`id` < 0: new to the table) takes the lowest
// blank slot or a new one, unless it reads as a number.
template <class View>
void FunctionTable::AddPair(NameId caller, View name, const NameKey& key, NameId id,
                            std::int32_t line) {
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
