#pragma once
// The MATLAB resolution mode's answers: the call tree of a start, and every
// function of the path with its calls for the callers tree and the lists.
// Nodes are functions (a file and a function in it), named in MATLAB's
// notation; each is expanded at its first place in breadth-first order.

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/matlab_resolver.h"
#include "engine/parse_driver.h"
#include "engine/program_index.h"

namespace korvath::engine::matlab {

struct Options {
  // obj.method(...) on a variable reaches a method only one class defines,
  // marked "possible".
  bool possibleCalls = false;
};

// The folders searched, in MATLAB's order: the current folder first, then
// pathdef's. `dirs` as ReadSearchPath fills them (entry 0 unused, the
// current folder last).
std::vector<Text> RootsOf(const std::vector<Text>& dirs);

struct Callee {
  FunctionId id;
  std::vector<std::int32_t> lines;        // ascending, each once
  std::vector<ProgramIndex::Site> sites;  // each use, in file order
  Certainty certainty = Certainty::Exact;
  bool handle = false;  // every use was @name
  bool byName = false;  // every use gave the name as text
};
// What `id` calls, in the order of the first call of each; with `Lines`
// the sites are left empty (a run shows lines only).
enum class CalleeDetail : std::uint8_t { Lines, LinesAndSites };
std::vector<Callee> CalleesOf(Resolver& resolver, FunctionId id,
                              CalleeDetail detail = CalleeDetail::LinesAndSites);
// The same into `callees`, whose elements' lists keep their storage: a
// run asks once per function it reaches.
void CalleesOf(Resolver& resolver, FunctionId id, CalleeDetail detail,
               std::vector<Callee>& callees);

// Why a call reached a function of `kind`, as a person would say it:
// "private function", "class constructor", ...
std::string_view RuleName(FunctionKind kind, bool nested, Certainty certainty);

// As engine::ParseAndBuild, with MATLAB's rules; the records' names are
// notations and they carry kind and certainty.
Result ParseAndBuild(const RunInput& input, RunServices& services, RunOutput& output,
                     const Options& options);

// Every function of the files a name can reach, with their calls.
struct IndexedFunctions {
  std::vector<ProgramIndex::Program> programs;    // callers left empty, lines filled
  std::vector<ProgramIndex::Function> functions;  // beside them: lines, kind, sites
  std::vector<bool> implicit;                     // called by MATLAB itself
  std::vector<Text> warnings;                     // files that could not be read
  int filesRead = 0;
  std::uint64_t bytesRead = 0;
};
IndexedFunctions IndexFunctions(platform::FileSystem& fs, const std::vector<Text>& dirs,
                                const Options& options);

// One function of a file read again: its program and what it now calls.
struct RefreshedFunction {
  int program;
  std::vector<ProgramIndex::Calls> callees;    // ordered by program
  std::vector<ProgramIndex::CallSites> sites;  // one for each callee
  std::int32_t firstLine;
  std::int32_t lastLine;
};
// The functions of the file at `path`, whose contents alone changed, as
// IndexFunctions would find them now, numbered as in `index` (one
// IndexFunctions filled; `ofFile` the file's programs there, main first).
// Nothing when the change can reach beyond the file's own calls: a class,
// a function come or gone or renamed, a method call (which can make a
// constructor count as called), a callee not among `programs`.
std::optional<std::vector<RefreshedFunction>> RefreshFile(platform::FileSystem& fs,
                                                          const std::vector<Text>& dirs,
                                                          const Options& options, const Text& path,
                                                          const ProgramIndex& index,
                                                          const std::vector<int>& ofFile);

}  // namespace korvath::engine::matlab
