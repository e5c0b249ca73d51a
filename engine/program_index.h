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
  // The lines of one program's calls to another, ascending, each once. Most
  // are one or two lines, kept in place; more go on the heap. Aligned as an
  // int and 12 bytes, so that a Calls takes 16: an index holds one for every
  // pair of caller and callee on the path.
  class Lines {
   public:
    Lines() = default;
    explicit Lines(const std::vector<std::int32_t>& lines);
    Lines(const Lines& other);
    Lines(Lines&& other) noexcept;
    Lines& operator=(const Lines& other);
    Lines& operator=(Lines&& other) noexcept;
    ~Lines();

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const std::int32_t* begin() const { return Data(); }
    const std::int32_t* end() const { return Data() + size_; }
    std::int32_t operator[](std::size_t i) const { return Data()[i]; }
    std::int32_t back() const { return Data()[size_ - 1]; }
    void push_back(std::int32_t line);
    void clear();
    bool operator==(const Lines& other) const;

   private:
    static constexpr std::uint32_t kInPlace = 2;
    bool OnHeap() const { return size_ > kInPlace; }
    std::int32_t* Heap() const;
    void SetHeap(std::int32_t* lines);
    // Fills a new list of size_ lines from `lines`, in place or on the heap.
    void CopyIn(const std::int32_t* lines);
    const std::int32_t* Data() const { return OnHeap() ? Heap() : in_; }

    std::uint32_t size_ = 0;
    // The lines while they fit, else the address of a heap block of
    // std::bit_ceil(size_) of them, its bytes copied in (an int's alignment
    // is all a Calls may ask for).
    std::int32_t in_[kInPlace] = {};
  };
  struct Calls {
    Calls() = default;
    Calls(int to, Lines at) : program(to), lines(std::move(at)) {}
    int program = 0;  // the other end of the calls
    Lines lines;      // in the calling file
  };
  // The MATLAB mode's facts beside a program and its calls; the path mode
  // keeps none (see Function and CallSites below).
  struct CallSites {
    std::vector<Site> sites;  // each use, in file order
    Text rule;                // why it reached the callee ("private function", ...)
  };
  struct Function {
    // The function's lines in its file (1-based, the "function" or
    // "classdef" line to its end), its kind as the JSON names it, "nested"
    // for a nested function, and its name without the notation's
    // qualifiers.
    std::int32_t firstLine = 0;
    std::int32_t lastLine = 0;
    Text kind;
    Text plainName;
    std::vector<CallSites> calls;  // one for each of the program's callees, in their order
  };
  struct Program {
    Text name;  // the file's name without ".m", spelled as the file is
    Text path;
    std::vector<Calls> callees;  // by program number
    // The programs that call it, in name order (see Uncalled); the lines are
    // in their callees (CallsOf).
    std::vector<int> callers;
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
  // another resolution mode found them, with `functions` beside them (one
  // each); `implicit` ones (by program) are called by the system itself and
  // never listed as uncalled; `warnings` say what could not be listed or
  // read. The next Refresh starts afresh.
  void Assign(std::vector<Program> programs, std::vector<Function> functions,
              std::vector<bool> implicit, std::vector<Text> warnings);
  // In an index Assign filled: program `g` now calls `callees` (ordered by
  // program; `sites` one for each) and spans `firstLine`..`lastLine`; the
  // callers lists follow, as Assign would have made them.
  void ReplaceCalls(int g, std::vector<Calls> callees, std::vector<CallSites> sites,
                    std::int32_t firstLine, std::int32_t lastLine);

  // Programs ordered by their directory's place on the search path, then by
  // the bytes of their names.
  const std::vector<Program>& Programs() const { return programs_; }
  // The program whose file is at `path` (as a search returns it), or -1.
  int ProgramAt(TextView path) const;
  // The calls of program `caller` to `callee`, or null when it makes none.
  const Calls* CallsOf(int caller, int callee) const;
  // What the MATLAB mode knows of program `p` (all empty in the path mode),
  // and of its calls as CallsOf gives them.
  const Function& FunctionOf(int p) const;
  const CallSites& SitesOf(int caller, const Calls& calls) const;
  // Programs no other program calls (entry points and dead code), in name
  // order: ASCII case folded first, then the bytes of the name.
  std::vector<int> Uncalled() const;
  // What the last refresh could not see, as a run says it: each folder that
  // could not be listed ("cannot list FOLDER: REASON"), then each file that
  // could not be read ("cannot read PATH: REASON").
  const std::vector<Text>& Warnings() const { return warnings_; }

 private:
  // A scan's packed calls: a few bytes (a file of few calls) in place,
  // more on the heap. Aligned as an int, as Lines.
  class Packed {
   public:
    Packed() = default;
    Packed(const Packed&) = delete;
    Packed& operator=(const Packed&) = delete;
    Packed(Packed&& other) noexcept;
    Packed& operator=(Packed&& other) noexcept;
    ~Packed();
    void assign(const std::uint8_t* bytes, std::size_t size);
    const std::uint8_t* data() const;
    std::size_t size() const { return size_; }

   private:
    static constexpr std::size_t kInPlace = 12;
    std::uint32_t size_ = 0;
    std::uint8_t in_[kInPlace] = {};  // the bytes, or the address of their heap block
  };
  struct Scan {
    platform::FileStamp stamp;
    bool current = false;  // the stamp belongs to the calls: reusable
    // Each name found (numbers left out) once, with the lines it is on, packed
    // small: an index holds the calls of every file of the path. Per name, as
    // variable-length numbers: its number in names_, how many lines, then each
    // line as its difference from the one before (see program_index.cpp).
    Packed calls;
  };
  // Whether the programs `listed`, with `stamps` (current when stamped),
  // are those indexed, none of them changed.
  bool Unchanged(const std::vector<Program>& listed, const std::vector<Scan>& stamps) const;
  // The refresh of only the `changed` files; nothing when it cannot be used.
  std::optional<RefreshStats> RefreshChanged(platform::FileSystem& fs,
                                             const std::vector<Text>& changed, Control* control);
  // Reads and scans the `pending` programs' files into scans_ (whose stamps
  // they were read for), returns the bytes read.
  std::uint64_t ScanAll(platform::FileSystem& fs, const std::vector<int>& pending, Control* control,
                        std::vector<int>& readPrograms);
  // The reader: reads pending files from `first` on until about 256 KB
  // is read and gives the end of that batch, its files' bytes in `batch`
  // for the pool to scan; nothing when stopped by `control`.
  std::optional<std::size_t> ReadBatch(platform::FileSystem& fs, const std::vector<int>& pending,
                                       std::size_t first, std::vector<std::string>& batch,
                                       std::uint64_t& bytesRead, Control* control,
                                       std::vector<int>& readPrograms);
  RefreshStats Cancelled();
  // Whether a file that came or went changes the program a name already
  // searched for finds: a new file can take a name others call, a removed
  // one can let it go. `before` gives each listed file's old number (-1 when
  // new), `stays` each old program's survival.
  bool Captures(const std::vector<Program>& listed, const std::vector<int>& before,
                const std::vector<bool>& stays, FileFinder& probe) const;
  // Old program numbers to new ones (`after`, -1 for those gone) in the
  // calls, the callers and targets_.
  void Renumber(const std::vector<int>& after);
  // Fills every program's callees from its scan; false when stopped by
  // `control`. The callers and rank_ follow (InvertCalls, RankByName).
  bool Link(FileFinder& probe, Control* control);
  // Links again only the programs read (`pending`), the others standing.
  bool Relink(const std::vector<int>& pending, FileFinder& probe, Control* control);
  // Decode: one file's packed calls as its callees, by program number, each
  // with its lines ascending and once (the lists InvertCalls turns around);
  // names without a program drop out. targets_ keeps each name's program
  // (-1 for none, kUnsought until searched for) across files and refreshes,
  // so each name is searched for once while the listing stands.
  static constexpr int kUnsought = -2;
  struct Decoding {  // what a decode reuses from file to file
    std::vector<std::pair<int, std::int32_t>> found;
    Text fileName;
  };
  void DecodeCalls(const Scan& scan, FileFinder& probe, Decoding& work,
                   std::vector<Calls>& callees);
  // Program `g` now calls `callees`: each callers list it leaves or joins
  // changes, in name order.
  void SetCallees(int g, std::vector<Calls> callees);
  // byPath_ made again for programs_.
  void IndexPaths();
  // Invert: every program's callers from the callees of all, in program
  // order, for the ranking to sort.
  void InvertCalls();
  // Rank: rank_ from the names, then each callers list put in name order.
  void RankByName();
  void RankOnly();

  std::vector<Text> dirs_;
  NameTable names_;          // the names of every scan, each once
  std::vector<Scan> scans_;  // by program; empty when Assign filled the index
  std::vector<Program> programs_;
  std::vector<Function> functions_;  // by program; empty but in the MATLAB mode
  // The programs by path: an open-addressing table of program numbers + 1
  // (0 free), probed from the path's hash, its size a power of two.
  std::vector<int> byPath_;
  std::vector<int> rank_;       // each program's place in name order
  std::vector<bool> implicit_;  // by program; empty when none is
  std::vector<Text> warnings_;
  std::vector<int> targets_;  // by name number, see DecodeCalls
  bool linked_ = false;       // the relation stands for the listing and scans kept
  int Rank(int program) const { return rank_[static_cast<std::size_t>(program)]; }
};

}  // namespace korvath::engine
