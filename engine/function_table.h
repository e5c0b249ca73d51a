#pragma once
// The table of call records a parse run fills, with the indexes that let the
// resolution loop run in near-linear time while giving exactly the results of
// the plain linear scans (record order, reuse of blanked slots, linking).

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/text.h"

namespace korvath {

struct FunctionRecord {
  Text Caller;
  Text Name;
  Text AlsoCalledBy;
  Text Lines;
  bool Parsed = false;

  bool operator==(const FunctionRecord&) const = default;
};

struct DiscardEntry {
  Text Name;
  Text FileType;
  bool Show = false;

  bool operator==(const DiscardEntry&) const = default;
};

// Entry 0 exists and is never used.
using DiscardTable = std::vector<DiscardEntry>;
inline DiscardTable EmptyDiscardTable() { return DiscardTable(1); }

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
  void AddCall(TextView caller, TextView name, std::int32_t line) {
    AddCall(Intern(caller), name, line);
  }

  // Records are 1..HighestIndex().
  int HighestIndex() const { return static_cast<int>(records_.size()) - 1; }
  TextView Name(int i) const { return TextOf(At(i).name); }
  // The design's view of the table: element 0 empty, Lines as text.
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
  // Name is on the discard list with Show false, and returns the table.
  std::vector<FunctionRecord> Finish(const DiscardTable& discards) const;

  std::size_t NameCount() const { return pool_.size(); }

 private:
  struct Rec {
    NameId caller = 0;
    NameId name = 0;
    NameId alsoCalledBy = 0;
    bool parsed = false;
    std::vector<std::int32_t> lines;
  };
  struct NameState {
    int minSettled = 0;          // lowest settled record of this name, 0 if none
    std::vector<int> open;       // open records not yet linkable
  };
  struct PairHash {
    std::size_t operator()(std::uint64_t key) const noexcept {
      return static_cast<std::size_t>(key * 0x9E3779B97F4A7C15ULL >> 17);
    }
  };
  struct ViewHash {
    using is_transparent = void;
    std::size_t operator()(TextView v) const noexcept {
      return std::hash<TextView>{}(v);
    }
  };

  const Rec& At(int i) const { return records_[static_cast<std::size_t>(i)]; }
  Rec& At(int i) { return records_[static_cast<std::size_t>(i)]; }
  static std::uint64_t PairKey(NameId caller, NameId name) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(caller)) << 32) |
           static_cast<std::uint32_t>(name);
  }
  NameId Find(TextView text) const;
  NameState& StateOf(NameId id);
  void OpenRecord(int i);
  void RemoveFromOpen(int i);

  std::vector<Rec> records_;
  std::deque<Text> pool_;  // stable addresses: ids_ keys view into it
  std::unordered_map<TextView, NameId, ViewHash, std::equal_to<>> ids_;
  std::unordered_map<std::uint64_t, int, PairHash> pairs_;
  std::vector<NameState> names_;
  std::set<int> blanks_;      // blanked slots, lowest first
  std::set<int> candidates_;  // open records that cannot be linked yet
  std::vector<int> pending_;  // open records whose function is settled
  int nonBlank_ = 0;
  int nonBlankParsed_ = 0;
};

}  // namespace korvath
