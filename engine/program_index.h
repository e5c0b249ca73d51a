#pragma once
// Every program file of a search path and who calls whom among them, kept
// between requests. A program file is an .m file that a search for its own
// name finds; each is scanned once with the run's scanner, and G calls H when
// a name in G's file, searched for as a run searches, finds H's file.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/name_table.h"
#include "engine/text.h"
#include "platform/file_system.h"

namespace korvath::engine {

class FileFinder;

class ProgramIndex {
 public:
  // Where a name stands in the calling file: line 1-based, column and
  // length in UTF-16 units of the line. Only the MATLAB mode knows them.
  struct Site {
    std::int32_t line = 0;
    std::int32_t column = 0;
    std::int32_t length = 0;
  };
  struct Calls {
    Calls() = default;
    // The path mode's calls: lines only.
    Calls(int to, std::vector<std::int32_t> at) : program(to), lines(std::move(at)) {}
    int program = 0;                  // the other end of the calls
    std::vector<std::int32_t> lines;  // in the calling file, ascending, each once
    // MATLAB mode: each use in file order, and why it reached the callee
    // ("private function", ...). Empty in the path mode.
    std::vector<Site> sites;
    Text rule;
  };
  struct Program {
    Text name;  // the file's name without ".m", spelled as the file is
    Text path;
    std::vector<Calls> callees;  // by program number
    std::vector<Calls> callers;  // in name order (see Uncalled)
    // MATLAB mode (else 0 and empty): the function's lines in its file
    // (1-based, the "function" or "classdef" line to its end), its kind as
    // the JSON names it, "nested" for a nested function, and its name
    // without the notation's qualifiers.
    std::int32_t firstLine = 0;
    std::int32_t lastLine = 0;
    Text kind;
    Text plainName;
  };
  struct RefreshStats {
    int programs = 0;
    int scanned = 0;  // files read and scanned by this refresh
    std::uint64_t bytesRead = 0;
    std::vector<int> readPrograms;  // of those, the ones read, in program order
    bool cancelled = false;         // the index was left empty
  };
  // Lets another thread follow a refresh and stop it: `done` counts up to
  // `total` as files are read, scanned and linked.
  struct Control {
    std::atomic<int> done{0};
    std::atomic<int> total{0};
    std::atomic<bool> cancel{false};
  };

  // Brings the index up to date with the files in `dirs` (entry 0 unused,
  // as ReadSearchPath fills them): a file whose stamp changed, or that is
  // new, is scanned; one that is gone is dropped. Other directories than
  // last time start the index afresh. A cancelled refresh leaves the index
  // empty, so the next one starts afresh.
  //
  // `changed`, when given, promises that only those files may differ since
  // the last refresh, and only in their contents: the listing is trusted and
  // only they are stamped. Where the promise cannot be used (a file not
  // indexed or gone, warnings to say again, other directories) the refresh
  // is the whole one.
  RefreshStats Refresh(platform::FileSystem& fs, const std::vector<Text>& dirs,
                       Control* control = nullptr, const std::vector<Text>* changed = nullptr);

  // Takes `programs` (callees filled, callers empty) as the whole index, as
  // another resolution mode found them; `implicit` ones (by program) are
  // called by the system itself and never listed as uncalled; `warnings`
  // say what could not be listed or read. The next
  // Refresh starts afresh.
  void Assign(std::vector<Program> programs, std::vector<bool> implicit,
              std::vector<Text> warnings);
  // In an index Assign filled: program `g` now calls `callees` (ordered by
  // program) and spans `firstLine`..`lastLine`; the callers lists follow,
  // as Assign would have made them.
  void ReplaceCalls(int g, std::vector<Calls> callees, std::int32_t firstLine,
                    std::int32_t lastLine);

  // Programs ordered by their directory's place on the search path, then by
  // the bytes of their names.
  const std::vector<Program>& Programs() const { return programs_; }
  // The program whose file is at `path` (as a search returns it), or -1.
  int ProgramAt(const Text& path) const;
  // Programs no other program calls (entry points and dead code), in name
  // order: ASCII case folded first, then the bytes of the name.
  std::vector<int> Uncalled() const;
  // What the last refresh could not see, as a run says it: each folder that
  // could not be listed ("cannot list FOLDER: REASON"), then each file that
  // could not be read ("cannot read PATH: REASON").
  const std::vector<Text>& Warnings() const { return warnings_; }

 private:
  struct Scan {
    platform::FileStamp stamp;
    bool current = false;  // the stamp belongs to the calls: reusable
    // Each name found (numbers left out) once, with the lines it is on, packed
    // small: an index holds the calls of every file of the path. Per name, as
    // variable-length numbers: its number in names_, how many lines, then each
    // line as its difference from the one before (see program_index.cpp).
    std::vector<std::uint8_t> calls;
  };
  struct Pending {
    int program;
    platform::FileStamp stamp;
    bool current;
    std::string bytes;
  };
  struct Listed {
    Text fileName;
    Text path;
    platform::FileStamp stamp;
    bool stamped;
  };
  bool Unchanged(const std::vector<Listed>& listed) const;
  // The refresh of only the `changed` files; nothing when it cannot be used.
  std::optional<RefreshStats> RefreshChanged(platform::FileSystem& fs,
                                             const std::vector<Text>& changed, Control* control);
  // Reads and scans the files into scans_, returns the bytes read.
  std::uint64_t ScanAll(platform::FileSystem& fs, std::vector<Pending>& pending, Control* control,
                        std::vector<int>& readPrograms);
  // The reader: reads pending files from `first` on until about a megabyte
  // is read and gives the end of that batch, its bytes in each Pending for
  // the pool to scan; nothing when stopped by `control`.
  std::optional<std::size_t> ReadBatch(platform::FileSystem& fs, std::vector<Pending>& pending,
                                       std::size_t first, std::uint64_t& bytesRead,
                                       Control* control, std::vector<int>& readPrograms);
  RefreshStats Cancelled();
  // Whether a file that came or went changes the program a name already
  // searched for finds: a new file can take a name others call, a removed
  // one can let it go. `before` gives each listed file's old number (-1 when
  // new), `stays` each old program's survival.
  bool Captures(const std::vector<Listed>& listed, const std::vector<int>& before,
                const std::vector<bool>& stays, FileFinder& probe) const;
  // Old program numbers to new ones (`after`, -1 for those gone) in the
  // calls, the callers and targets_.
  void Renumber(const std::vector<int>& after);
  // Fills callees, callers and rank_ from the scans (by program); false when
  // stopped by `control`.
  bool Link(const std::vector<Scan*>& scans, FileFinder& probe, Control* control);
  // Links again only the programs read (`pending`), the others standing.
  bool Relink(const std::vector<Pending>& pending, FileFinder& probe, Control* control);
  // Decode: one file's packed calls as its callees, by program number, each
  // with its lines ascending and once (the lists InvertCalls turns around);
  // names without a program drop out. targets_ keeps each name's program
  // (-1 for none, kUnsought until searched for) across files and refreshes,
  // so each name is searched for once while the listing stands.
  static constexpr int kUnsought = -2;
  using FoundCalls = std::vector<std::pair<int, std::int32_t>>;
  void DecodeCalls(const Scan& scan, FileFinder& probe, FoundCalls& found,
                   std::vector<Calls>& callees);
  // Program `g` now calls `callees`: each callers list it leaves or joins
  // changes, in name order.
  void SetCallees(int g, std::vector<Calls> callees);
  // Invert: every program's callers from the callees of all, in program
  // order, for the ranking to sort.
  void InvertCalls();
  // Rank: rank_ from the names, then each callers list put in name order.
  void RankByName();
  void RankOnly();

  std::vector<Text> dirs_;
  NameTable names_;                       // the names of every scan, each once
  std::unordered_map<Text, Scan> scans_;  // by path
  std::vector<Program> programs_;
  std::unordered_map<Text, int> byPath_;
  std::vector<int> rank_;       // each program's place in name order
  std::vector<bool> implicit_;  // by program; empty when none is
  std::vector<Text> warnings_;
  std::vector<int> targets_;  // by name number, see DecodeCalls
  bool linked_ = false;       // the relation stands for the listing and scans kept
  int Rank(int program) const { return rank_[static_cast<std::size_t>(program)]; }
};

}  // namespace korvath::engine
