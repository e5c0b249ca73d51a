#pragma once
// The table of call records a parse run fills, with the indexes that let the
// resolution loop run in near-linear time while giving exactly the results of
// the plain linear scans (record order, reuse of blanked slots, linking).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/discard_table.h"
#include "engine/index_set.h"
#include "engine/text.h"

namespace korvath::engine {

struct FunctionRecord {
  Text caller;
  Text name;
  Text alsoCalledBy;
  Text lines;  // "12,40": the line numbers of the calls, ascending
  bool parsed = false;
  // Only in the MATLAB resolution mode: what the function is ("local",
  // "method", ...), how sure the call is ("likely", "possible"; "" when
  // exact), and how it was named ("handle", "name"; "" for a call).
  Text kind = {};
  Text certainty = {};
  Text via = {};

  bool operator==(const FunctionRecord&) const = default;
};

class FunctionTable {
 public:
  using NameId = std::int32_t;  // interned text; 0 is the empty text

  FunctionTable();

  // Records 0 and 1 only; record 1 names the start file with Lines "0".
  void Reset(TextView startName);

  NameId Intern(TextView text);
  TextView TextOf(NameId id) const { return pool_[static_cast<std::size_t>(id)]; }

  // Records one occurrence of `name` in the file `caller` at `line`.
  void AddCall(NameId caller, TextView name, std::int32_t line);
  // The same for several names in a row, fetching ahead what each needs.
  void AddCalls(NameId caller, const TextView* names, std::size_t count, std::int32_t line);
  // The same for names of ASCII bytes: filed as their widened units are, but
  // found and hashed without widening (only a new name is widened, once).
  void AddAsciiCalls(NameId caller, const std::string_view* names, std::size_t count,
                     std::int32_t line);

  // Records are 1..HighestIndex().
  int HighestIndex() const { return static_cast<int>(records_.size()) - 1; }
  TextView Name(int i) const { return TextOf(At(i).name); }
  NameId NameIdAt(int i) const { return At(i).name; }
  // The table as plain records: element 0 empty, lines as text.
  std::vector<FunctionRecord> Records() const;

  // --- the resolution loop -------------------------------------------------
  struct Pass {
    int parsedCount = 0;
    int totalCount = 0;
    int candidate = 0;  // record to scan next; 0 when the loop is done
  };
  // One pass: the counts as of the start of the pass, every open record of
  // a function that already has a settled record linked to the lowest such
  // record, and the highest open record that could not be linked.
  Pass RunPass();
  // Marks record `i` as picked for scanning and returns its Name.
  TextView Pick(int i);
  // The picked record's file was found: its function is settled from now on.
  void MarkFound(int i);
  // The picked record's file was not found: empties Name and Caller.
  void Blank(int i);

  // Strips one ".m" from Name, Caller and AlsoCalledBy, blanks records whose
  // Name is on the discard list with Show false, and returns the table; with
  // `startOnly` records 0 and 1 alone (a run that builds no tree needs only
  // to know whether its start is there).
  std::vector<FunctionRecord> Finish(const DiscardTable& discards, bool startOnly = false) const;

  std::size_t NameCount() const { return pool_.size(); }

 private:
  // Line numbers live in one shared list pool; a record holds the first and
  // last node of its own list, so filing a line never allocates per record.
  // New nodes always go at the end (no free list to chase); the lists of
  // reused slots are dropped and the pool is compacted when mostly garbage.
  // A line listed again straight after itself (a name used many times in
  // one statement) counts on its node instead of taking another.
  struct LineNode {
    std::int32_t line;
    std::int32_t repeats;  // times the line is listed after the first
    std::int32_t next;     // -1 at the end
  };
  struct Rec {
    NameId caller = 0;
    NameId name = 0;
    NameId alsoCalledBy = 0;
    std::int32_t linesHead = -1;
    std::int32_t linesTail = -1;
    std::int32_t lineNodes = 0;  // in its list
    bool parsed = false;
  };
  // Open records of one function, as a list in a shared pool.
  struct OpenNode {
    std::int32_t record;
    std::int32_t next;
  };
  struct NameState {
    int minSettled = 0;          // lowest settled record of this name, 0 if none
    std::int32_t openHead = -1;  // open records not yet linkable
    bool usedAsCaller = false;
  };
  // The first eight units of a text, zero-padded, with its hash and length:
  // enough to find a short name without touching the text pool.
  // Left uninitialised on purpose: filled by KeyOf, often sixteen at a time.
  struct NameKey {
    std::uint64_t hash;
    std::uint64_t head0;
    std::uint64_t head1;
    std::uint32_t tag;  // hash bits and the length (capped at 255)
  };
  // One slot of the name index (open addressing, linear probing). It also
  // holds the record of (scanCaller_, this name), valid when scanStamp
  // equals the table's current stamp, so that a repeated call costs one
  // slot read.
  struct NameSlot {
    std::uint32_t tag = 0;
    std::int32_t idPlus1 = 0;  // 0: empty
    std::uint32_t scanStamp = 0;
    std::int32_t scanRecord = 0;
    std::uint64_t head0 = 0;
    std::uint64_t head1 = 0;
  };

  const Rec& At(int i) const { return records_[static_cast<std::size_t>(i)]; }
  Rec& At(int i) { return records_[static_cast<std::size_t>(i)]; }
  // A name of ASCII bytes gets the key of its widened units; its bytes are
  // read with loads that stay inside the name.
  static void KeyOf(TextView text, NameKey& key);
  static void KeyOf(std::string_view text, NameKey& key);
  static void Seal(std::uint64_t h, std::size_t n, NameKey& key);
  template <class View>
  void AddCallsOf(NameId caller, const View* names, std::size_t count, std::int32_t line);
  template <class View>
  void AddCallKeyed(NameId caller, View name, const NameKey& key, std::int32_t line);
  template <class View>
  void AddPair(NameId caller, View name, const NameKey& key, NameId id, std::int32_t line);
  // Index of the slot holding `text`, or -1.
  template <class View>
  std::ptrdiff_t FindSlot(View text, const NameKey& key) const;
  template <class View>
  NameId InternKeyed(View text, const NameKey& key);
  void GrowNameIndex();
  NameSlot& SlotOf(NameId id) {
    return nameIndex_[static_cast<std::size_t>(slotOf_[static_cast<std::size_t>(id)])];
  }
  void BeginCaller(NameId caller);
  void AppendLine(Rec& rec, std::int32_t line);
  void SetOnlyLine(Rec& rec, std::int32_t line);
  std::int32_t NewLineNode(std::int32_t line);
  void MakeRoomForLine();
  void CompactLines();
  template <class Visit>
  void ForEachLine(const Rec& rec, Visit visit) const;
  Text JoinLines(const Rec& rec) const;
  NameState& StateOf(NameId id) { return names_[static_cast<std::size_t>(id)]; }
  void OpenRecord(int i);

  std::vector<Rec> records_;
  std::unique_ptr<LineNode[]> lineNodes_;  // the first lineCount_ are taken
  std::size_t lineCapacity_ = 0;
  std::size_t lineCount_ = 0;
  std::size_t lineRoom_ = 0;   // nodes that can be taken before MakeRoomForLine
  std::size_t liveLines_ = 0;  // nodes still in some record's list
  std::size_t compactAt_ = 0;
  // Interned texts: views into fixed-size blocks that never move.
  std::vector<TextView> pool_;
  std::vector<std::unique_ptr<char16_t[]>> blocks_;
  char16_t* block_ = nullptr;  // the block short texts go to
  std::size_t blockUsed_ = 0;
  std::vector<NameSlot> nameIndex_;
  std::vector<std::int32_t> slotOf_;  // by name id
  // Calls come file by file: the (caller, name) pairs of the file being
  // scanned are found through the names, stamped per caller.
  NameId scanCaller_ = -1;
  std::uint32_t scanStamp_ = 0;
  std::vector<NameState> names_;
  std::vector<OpenNode> openNodes_;
  std::int32_t freeOpen_ = -1;
  IndexSet blanks_;           // blanked slots
  IndexSet candidates_;       // open records that cannot be linked yet
  std::vector<int> pending_;  // open records whose function is settled
  int nonBlank_ = 0;
  int nonBlankParsed_ = 0;
};

}  // namespace korvath::engine
