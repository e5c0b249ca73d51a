#include "engine/matlab_run.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <unordered_map>

#include "engine/messages.h"
#include "engine/search_path.h"
#include "platform/utf8.h"

namespace korvath::engine::matlab {
namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct IdHash {
  std::size_t operator()(const FunctionId& id) const noexcept {
    return std::hash<std::int64_t>{}((static_cast<std::int64_t>(id.file) << 32) ^ id.function);
  }
};

// Each function's name for the tree and the lists: its notation, made
// unique with its file's path where two functions share one (two private
// folders' f).
class Names {
 public:
  struct Named {
    Text name;
    bool pathFiled = false;  // the run's file paths have it
  };
  explicit Names(Resolver& resolver) : resolver_(resolver) {}
  const Text& Of(FunctionId id) { return Entry(id).name; }
  Named& Entry(FunctionId id) {
    const auto known = byId_.find(id);
    if (known != byId_.end()) return known->second;
    Text name = platform::FromUtf8(resolver_.Notation(id));
    if (taken_.count(name) != 0) name += u" (" + resolver_.Context(id.file).path + u")";
    taken_.insert(name);
    return byId_.emplace(id, Named{std::move(name)}).first->second;
  }

 private:
  Resolver& resolver_;
  std::unordered_map<FunctionId, Named, IdHash> byId_;
  std::unordered_set<Text> taken_;
};

// "12,40", written in place: a run writes one per record.
void JoinLines(const std::vector<std::int32_t>& lines, Text& out) {
  out.clear();
  std::array<char, 16> digits{};
  for (const std::int32_t line : lines) {
    if (!out.empty()) out += u',';
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), line).ptr;
    for (const char* d = digits.data(); d != end; ++d) out += static_cast<char16_t>(*d);
  }
}

Text ViaText(const Callee& callee) {
  if (callee.handle) return u"handle";
  if (callee.byName) return u"name";
  return {};
}

// The UTF-16 length of a name as written (UTF-8).
std::int32_t Utf16Length(std::string_view name) {
  std::int32_t units = 0;
  for (const char c : name) {
    const auto b = static_cast<unsigned char>(c);
    if ((b & 0xC0U) != 0x80U) units += b >= 0xF0U ? 2 : 1;
  }
  return units;
}

// The records' kind and certainty texts, each widened once per run.
class RecordTexts {
 public:
  RecordTexts() {
    for (std::size_t k = 0; k < kinds_.size(); ++k) {
      kinds_[k] = platform::FromUtf8(KindName(static_cast<FunctionKind>(k)));
    }
    for (std::size_t c = 0; c < certainties_.size(); ++c) {
      certainties_[c] = platform::FromUtf8(CertaintyName(static_cast<Certainty>(c)));
    }
  }
  const Text& Kind(FunctionKind kind) const { return kinds_[static_cast<std::size_t>(kind)]; }
  const Text& Of(Certainty certainty) const {
    return certainties_[static_cast<std::size_t>(certainty)];
  }

 private:
  std::array<Text, static_cast<std::size_t>(FunctionKind::Leaf) + 1> kinds_;
  std::array<Text, static_cast<std::size_t>(Certainty::Possible) + 1> certainties_;
};

bool Nested(Resolver& resolver, FunctionId id) {
  const FileSyntax* syntax = resolver.Syntax(id.file);
  return syntax != nullptr && id.function > 0 &&
         syntax->functions[static_cast<std::size_t>(id.function)].parent >= 0;
}

bool Discarded(const DiscardedNames& discards, Resolver& resolver, FunctionId id,
               const Text& name) {
  if (discards.empty()) return false;
  return discards.Contains(name) || discards.Contains(platform::FromUtf8(resolver.PlainName(id)));
}

}  // namespace

std::vector<Text> RootsOf(const std::vector<Text>& dirs) {
  std::vector<Text> roots;
  if (dirs.size() < 2) return roots;
  roots.push_back(dirs.back());
  for (std::size_t i = 1; i + 1 < dirs.size(); ++i) {
    if (dirs[i] != dirs.back()) roots.push_back(dirs[i]);
  }
  return roots;
}

std::string_view RuleName(FunctionKind kind, bool nested, Certainty certainty) {
  switch (kind) {
    case FunctionKind::Local:
      return nested ? "nested function" : "local function";
    case FunctionKind::Private:
      return "private function";
    case FunctionKind::Constructor:
      return "class constructor";
    case FunctionKind::Method:
      if (certainty == Certainty::Likely) {
        return "method (likely: chosen when the first argument is an object of the class)";
      }
      if (certainty == Certainty::Possible) {
        return "method (possible: the only class in the index that defines it)";
      }
      return "static method";
    case FunctionKind::Package:
      return "package function";
    case FunctionKind::Leaf:
      return "leaf: P-code/MEX";
    case FunctionKind::Path:
      break;
  }
  return "function on the path";
}

namespace {

// What the uses of one function resolved to, by name and by what else the
// answer depends on: a name used again (a built-in, a helper called in a
// loop) is resolved once. The resolver's count of names found only by case
// is added again for each use, as resolving it again would.
class ResolvedNames {
 public:
  static constexpr std::uint32_t kNoCallee = 0xFFFFFFFFU;
  struct Known {
    std::string_view name;
    std::uint8_t variant;
    std::optional<Target> target;
    int caseOnlyNames;
    std::uint32_t callee;  // its index in the callees once placed, else kNoCallee
  };

  // Emptied for a function of `uses` uses; the storage stays.
  void Reset(std::size_t uses) {
    slots_.assign(TableSize(uses), 0);
    known_.clear();
    known_.reserve(uses);
  }

  static std::size_t TableSize(std::size_t entries) {
    std::size_t size = 16;
    while (size < entries * 2) size *= 2;
    return size;
  }

  Known& Resolve(Resolver& resolver, FunctionId from, const NameUse& use) {
    const std::uint8_t variant =
        (use.kind == UseKind::ByName ? 1U : 0U) | (use.hasArguments ? 2U : 0U);
    std::uint32_t hash = 2166136261U ^ variant;
    for (const char c : use.name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619U;
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = hash & mask;
    for (; slots_[slot] != 0; slot = (slot + 1) & mask) {
      Known& known = known_[slots_[slot] - 1];
      if (known.variant == variant && known.name == use.name) {
        resolver.stats().caseOnlyNames += known.caseOnlyNames;
        return known;
      }
    }
    const int before = resolver.stats().caseOnlyNames;
    Known& known =
        known_.emplace_back(Known{use.name, variant, resolver.Resolve(from, use), 0, kNoCallee});
    known.caseOnlyNames = resolver.stats().caseOnlyNames - before;
    slots_[slot] = static_cast<std::uint32_t>(known_.size());
    return known;
  }

 private:
  std::vector<std::uint32_t> slots_;  // 0 or an index into known_ + 1
  std::vector<Known> known_;          // reserved: at most one per use, never moved
};

// Callees by function, for names that differ but reach one function.
class CalleeTable {
 public:
  // Emptied for a function of `uses` uses; the storage stays.
  void Reset(std::size_t uses) {
    slots_.assign(ResolvedNames::TableSize(uses), 0);
    ids_.clear();
  }
  // The index of `to` among the callees, added at the end if new.
  std::uint32_t Place(FunctionId to) {
    const std::size_t mask = slots_.size() - 1;
    const auto hash = static_cast<std::uint32_t>(
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(to.file)) * 0x9E3779B97F4A7C15ULL +
         static_cast<std::uint32_t>(to.function)) >>
        32);
    std::size_t slot = hash & mask;
    for (; slots_[slot] != 0; slot = (slot + 1) & mask) {
      if (ids_[slots_[slot] - 1] == to) return slots_[slot] - 1;
    }
    ids_.push_back(to);
    slots_[slot] = static_cast<std::uint32_t>(ids_.size());
    return slots_[slot] - 1;
  }
  const std::vector<FunctionId>& ids() const { return ids_; }

 private:
  std::vector<std::uint32_t> slots_;  // 0 or an index into ids_ + 1
  std::vector<FunctionId> ids_;       // in the order first placed
};

// What a callee's uses say about it, gathered before its lists are made.
struct CalleeSummary {
  Certainty certainty;
  bool handle;
  bool byName;
  std::uint32_t uses;
};

// CalleesOf's working lists. A run asks for the callees of every function
// it reaches, each a few dozen uses: kept from one call to the next (one
// set per thread), they are allocated once, not a dozen times a function.
struct CalleeWork {
  std::vector<const NameUse*> uses;
  ResolvedNames resolved;
  CalleeTable table;
  std::vector<std::uint32_t> calleeOfUse;
  std::vector<CalleeSummary> summaries;
};

CalleeWork& Work() {
  thread_local CalleeWork work;
  return work;
}

}  // namespace

void CalleesOf(Resolver& resolver, FunctionId id, CalleeDetail detail,
               std::vector<Callee>& callees) {
  CalleeWork& work = Work();
  std::vector<const NameUse*>& uses = work.uses;
  resolver.UsesOf(id, uses);
  work.resolved.Reset(uses.size());
  work.table.Reset(uses.size());
  // First each use's callee, so that the callees and each one's lists are
  // made once at their size.
  work.calleeOfUse.assign(uses.size(), ResolvedNames::kNoCallee);
  std::vector<CalleeSummary>& summaries = work.summaries;
  summaries.clear();
  for (std::size_t u = 0; u < uses.size(); ++u) {
    const NameUse& use = *uses[u];
    ResolvedNames::Known& known = work.resolved.Resolve(resolver, id, use);
    if (!known.target) continue;
    if (known.callee == ResolvedNames::kNoCallee) {
      known.callee = work.table.Place(resolver.Canonical(known.target->id));
      if (known.callee == summaries.size()) {
        summaries.push_back(
            {known.target->certainty, use.kind == UseKind::Handle, use.kind == UseKind::ByName, 0});
      }
    }
    CalleeSummary& summary = summaries[known.callee];
    work.calleeOfUse[u] = known.callee;
    ++summary.uses;
    summary.certainty = std::min(summary.certainty, known.target->certainty);
    summary.handle = summary.handle && use.kind == UseKind::Handle;
    summary.byName = summary.byName && use.kind == UseKind::ByName;
  }
  const bool sites = detail == CalleeDetail::LinesAndSites;
  // Elements kept from the caller's last call keep their lists' storage.
  callees.resize(summaries.size());
  for (std::size_t c = 0; c < callees.size(); ++c) {
    Callee& callee = callees[c];
    const CalleeSummary& summary = summaries[c];
    callee.id = work.table.ids()[c];
    callee.certainty = summary.certainty;
    callee.handle = summary.handle;
    callee.byName = summary.byName;
    callee.lines.clear();
    callee.sites.clear();
    callee.lines.reserve(summary.uses);
    if (sites) callee.sites.reserve(summary.uses);
  }
  for (std::size_t u = 0; u < uses.size(); ++u) {
    if (work.calleeOfUse[u] == ResolvedNames::kNoCallee) continue;
    const NameUse& use = *uses[u];
    Callee& callee = callees[work.calleeOfUse[u]];
    callee.lines.push_back(use.line);
    if (sites) callee.sites.push_back({use.line, use.column, Utf16Length(use.name)});
  }
  for (Callee& callee : callees) {
    // Uses come in file order, so their lines mostly ascend already.
    if (!std::is_sorted(callee.lines.begin(), callee.lines.end())) {
      std::sort(callee.lines.begin(), callee.lines.end());
    }
    callee.lines.erase(std::unique(callee.lines.begin(), callee.lines.end()), callee.lines.end());
    std::sort(callee.sites.begin(), callee.sites.end(),
              [](const ProgramIndex::Site& a, const ProgramIndex::Site& b) {
                return a.line != b.line ? a.line < b.line : a.column < b.column;
              });
  }
}

std::vector<Callee> CalleesOf(Resolver& resolver, FunctionId id, CalleeDetail detail) {
  std::vector<Callee> callees;
  CalleesOf(resolver, id, detail, callees);
  return callees;
}

Result ParseAndBuild(const RunInput& input, RunServices& services, RunOutput& output,
                     const Options& options) {
  output = RunOutput{};
  RunStats& stats = output.stats;
  const TextView startFile = input.startName;
  output.records.resize(2);
  auto clock = Clock::now();
  std::vector<Text> dirs;
  if (const Result read = ReadSearchPath(input.pathdefFile, services.fs, dirs); !read) {
    stats.searchPathMs = MillisecondsSince(clock);
    output.records[1].name = Text(WithoutMExtension(startFile));
    services.messages.ShowMessage(MessageIcon::Critical, messages::kPathdefNotFound);
    return Result::Failure(Status::NoSearchPath, read.description);
  }
  stats.searchPathMs = MillisecondsSince(clock);
  services.progress.Show();
  services.progress.Refresh();
  clock = Clock::now();

  Resolver resolver(services.fs, RootsOf(dirs), options.possibleCalls);
  resolver.unlistable = [&services](const Text& folder, const Result& why) {
    services.messages.FolderUnlistable(folder, why);
  };
  Names names(resolver);
  const RecordTexts texts;
  const DiscardedNames discards(input.discards);
  const std::optional<FunctionId> start =
      resolver.FindStart(platform::ToUtf8(WithoutMExtension(startFile)));
  bool startDiscarded = false;
  std::vector<FunctionRecord>& records = output.records;
  std::vector<FunctionId> ids(2);
  if (start) {
    const Text& name = names.Of(*start);
    startDiscarded = Discarded(discards, resolver, *start, name);
    if (!startDiscarded) {
      records[1].name = name;
      // Built, then moved in: GCC 12 warns falsely (-Wrestrict) on
      // assigning a literal here in sanitizer builds.
      records[1].lines = Text(1, u'0');
      records[1].kind = platform::FromUtf8(KindName(resolver.Kind(*start)));
      ids[1] = *start;
      output.filePaths[name] = resolver.Context(start->file).path;
    }
  }
  // Breadth first: a function's calls are shown at its first record.
  std::unordered_map<FunctionId, std::size_t, IdHash> expandedAt;
  std::vector<Callee> callees;  // each function's, in storage kept from the last
  for (std::size_t r = 1; r < records.size() && !records[1].name.empty(); ++r) {
    const FunctionId id = ids[r];
    const auto [it, added] = expandedAt.try_emplace(id, r);
    if (!added) {
      const FunctionRecord& shown = records[it->second];
      records[r].alsoCalledBy = shown.caller.empty() ? shown.name : shown.caller;
      continue;
    }
    records[r].parsed = true;
    platform::Result why;
    static_cast<void>(resolver.Syntax(id.file, &why));  // read here to say why it cannot be
    if (!why) services.messages.FileUnreadable(resolver.Context(id.file).path, why);
    const Text caller = records[r].name;
    CalleesOf(resolver, id, CalleeDetail::Lines, callees);
    for (const Callee& callee : callees) {
      Names::Named& named = names.Entry(callee.id);
      const Text& name = named.name;
      if (Discarded(discards, resolver, callee.id, name)) continue;
      FunctionRecord& rec = records.emplace_back();
      rec.caller = caller;
      rec.name = name;
      JoinLines(callee.lines, rec.lines);
      rec.kind = texts.Kind(resolver.Kind(callee.id));
      rec.certainty = texts.Of(callee.certainty);
      rec.via = ViaText(callee);
      if (!named.pathFiled) {
        named.pathFiled = true;
        output.filePaths.try_emplace(name, resolver.Context(callee.id.file).path);
      }
      ids.push_back(callee.id);
    }
    if ((r & 63U) == 0) {
      services.progress.SetCounts(static_cast<int>(expandedAt.size()),
                                  static_cast<int>(records.size()) - 1);
      services.progress.Refresh();
    }
  }
  const ResolverStats& read = resolver.stats();
  stats.records = static_cast<int>(records.size()) - 1;
  stats.passes = 1;
  stats.filesScanned = read.filesRead;
  stats.bytesRead = read.bytesRead;
  stats.scannedFiles = read.readFiles;
  stats.caseOnlyNames = read.caseOnlyNames;
  stats.dynamicCalls = read.dynamicCalls;
  stats.resolutionMs = MillisecondsSince(clock);

  clock = Clock::now();
  Result built;
  if (input.goal == RunGoal::Files) {
    services.tree.Clear();
    built = CheckStartRecord(records);
  } else {
    services.progress.SetCaption(messages::kBuildingTree);
    services.progress.Refresh();
    built = BuildCallTree(records, services.tree, services.messages, services.limits);
  }
  if (!built) {
    services.messages.ShowMessage(
        MessageIcon::Information,
        startDiscarded ? messages::StartFunctionDiscarded(WithoutMExtension(startFile))
                       : messages::StartFileNotFound(startFile));
  }
  stats.nodes = services.tree.Count();
  stats.treeMs = MillisecondsSince(clock);
  services.progress.Close();
  return built;
}

namespace {

// A callee as the program index keeps it: calls to program `to`, and
// where and why.
struct IndexedCall {
  ProgramIndex::Calls calls;
  ProgramIndex::CallSites sites;
};

IndexedCall IndexCalls(Resolver& resolver, int to, Callee callee) {
  IndexedCall call;
  call.calls.program = to;
  call.calls.lines = ProgramIndex::Lines(callee.lines);
  call.sites.sites = std::move(callee.sites);
  call.sites.rule = platform::FromUtf8(
      RuleName(resolver.Kind(callee.id), Nested(resolver, callee.id), callee.certainty));
  return call;
}

// The calls ordered by program, as the index's two lists beside each other.
void SortByProgram(std::vector<IndexedCall>& calls, std::vector<ProgramIndex::Calls>& callees,
                   std::vector<ProgramIndex::CallSites>& sites) {
  std::sort(calls.begin(), calls.end(), [](const IndexedCall& a, const IndexedCall& b) {
    return a.calls.program < b.calls.program;
  });
  callees.clear();
  sites.clear();
  for (IndexedCall& call : calls) {
    callees.push_back(std::move(call.calls));
    sites.push_back(std::move(call.sites));
  }
}

}  // namespace

IndexedFunctions IndexFunctions(platform::FileSystem& fs, const std::vector<Text>& dirs,
                                const Options& options) {
  IndexedFunctions out;
  Resolver resolver(fs, RootsOf(dirs), options.possibleCalls);
  resolver.unlistable = [&out](const Text& folder, const Result& why) {
    out.warnings.push_back(messages::CannotList(folder, why.description));
  };
  Names names(resolver);
  std::unordered_map<FunctionId, int, IdHash> programOf;
  std::vector<FunctionId> ids;
  const auto add = [&](FunctionId id) {
    const auto [it, added] = programOf.try_emplace(id, static_cast<int>(ids.size()));
    if (added) {
      ids.push_back(id);
      ProgramIndex::Program program;
      program.name = names.Of(id);
      program.path = resolver.Context(id.file).path;
      ProgramIndex::Function function;
      const bool nested = Nested(resolver, id);
      function.kind = nested ? Text(u"nested") : platform::FromUtf8(KindName(resolver.Kind(id)));
      function.plainName = platform::FromUtf8(resolver.PlainName(id));
      if (const FileSyntax* syntax = resolver.Syntax(id.file)) {
        const FunctionSyntax& fn = syntax->functions[static_cast<std::size_t>(id.function)];
        function.firstLine = fn.line;
        function.lastLine = std::max(fn.line, fn.endLine);
      }
      out.programs.push_back(std::move(program));
      out.functions.push_back(std::move(function));
      out.implicit.push_back(resolver.CalledImplicitly(id));
    }
    return it->second;
  };
  for (const int file : resolver.ReachableFiles()) {
    platform::Result why;
    static_cast<void>(resolver.Syntax(file, &why));  // read here to say why it cannot be
    if (!why) {
      out.warnings.push_back(messages::CannotRead(resolver.Context(file).path, why.description));
    }
    for (const FunctionId id : resolver.FunctionsOf(file)) add(id);
  }
  // Classes named anywhere: their constructors are called by MATLAB itself
  // when a subclass is made or a member is reached through the class.
  std::unordered_set<std::string> referencedClasses;
  for (std::size_t p = 0; p < ids.size(); ++p) {
    std::vector<IndexedCall> calls;
    for (Callee& callee : CalleesOf(resolver, ids[p])) {
      const int to = add(callee.id);
      if (resolver.Kind(callee.id) == FunctionKind::Method) {
        referencedClasses.insert(resolver.ClassOf(callee.id));
      }
      calls.push_back(IndexCalls(resolver, to, std::move(callee)));
    }
    SortByProgram(calls, out.programs[p].callees, out.functions[p].calls);
    if (resolver.Kind(ids[p]) == FunctionKind::Constructor && ids[p].function == 0) {
      const std::string cls = resolver.ClassOf(ids[p]);
      for (const std::string& super : resolver.SuperclassesOf(cls)) referencedClasses.insert(super);
    }
  }
  for (std::size_t p = 0; p < ids.size(); ++p) {
    if (resolver.Kind(ids[p]) == FunctionKind::Constructor &&
        referencedClasses.count(resolver.ClassOf(ids[p])) != 0) {
      out.implicit[p] = true;
    }
  }
  out.filesRead = resolver.stats().filesRead;
  out.bytesRead = resolver.stats().bytesRead;
  return out;
}

std::optional<std::vector<RefreshedFunction>> RefreshFile(platform::FileSystem& fs,
                                                          const std::vector<Text>& dirs,
                                                          const Options& options, const Text& path,
                                                          const ProgramIndex& index,
                                                          const std::vector<int>& ofFile) {
  const std::vector<ProgramIndex::Program>& programs = index.Programs();
  Resolver resolver(fs, RootsOf(dirs), options.possibleCalls);
  bool unlistable = false;
  resolver.unlistable = [&unlistable](const Text&, const Result&) { unlistable = true; };
  const int file = resolver.FileAt(path);
  const FileSyntax* syntax = resolver.Syntax(file);
  if (syntax == nullptr || syntax->kind == FileKind::Classdef ||
      !resolver.Context(file).classFolder.empty()) {
    return std::nullopt;
  }
  // Programs by file and notation; a name IndexFunctions had to tell apart
  // by its path (" (PATH)") is found by its plain notation too.
  std::unordered_map<Text, std::unordered_map<Text, int>> byFile;
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const auto& program = programs[p];
    Text name = program.name;
    const Text suffix = u" (" + program.path + u")";
    if (name.size() > suffix.size() && name.ends_with(suffix))
      name.resize(name.size() - suffix.size());
    const auto [it, added] = byFile[program.path].try_emplace(std::move(name), static_cast<int>(p));
    if (!added) it->second = -1;  // two of one name: not to be told apart here
  }
  const auto programOf = [&](FunctionId id) {
    const auto inFile = byFile.find(resolver.Context(id.file).path);
    if (inFile == byFile.end()) return -1;
    const auto found = inFile->second.find(platform::FromUtf8(resolver.Notation(id)));
    return found == inFile->second.end() ? -1 : found->second;
  };
  const auto kindOf = [&resolver](FunctionId id) {
    return Nested(resolver, id) ? Text(u"nested") : platform::FromUtf8(KindName(resolver.Kind(id)));
  };
  const std::vector<FunctionId> ids = resolver.FunctionsOf(file);
  if (ids.size() != ofFile.size()) return std::nullopt;
  std::vector<RefreshedFunction> out;
  for (std::size_t f = 0; f < ids.size(); ++f) {
    const int program = ofFile[f];
    const auto& old = programs[static_cast<std::size_t>(program)];
    if (programOf(ids[f]) != program || kindOf(ids[f]) != index.FunctionOf(program).kind) {
      return std::nullopt;
    }
    for (const auto& callee : old.callees) {
      if (index.FunctionOf(callee.program).kind == u"method") return std::nullopt;
    }
    RefreshedFunction refreshed{program, {}, {}, 0, 0};
    const FunctionSyntax& fn = syntax->functions[static_cast<std::size_t>(ids[f].function)];
    refreshed.firstLine = fn.line;
    refreshed.lastLine = std::max(fn.line, fn.endLine);
    std::vector<IndexedCall> calls;
    for (Callee& callee : CalleesOf(resolver, ids[f])) {
      const int to = programOf(callee.id);
      if (to < 0 || resolver.Kind(callee.id) == FunctionKind::Method) return std::nullopt;
      calls.push_back(IndexCalls(resolver, to, std::move(callee)));
    }
    SortByProgram(calls, refreshed.callees, refreshed.sites);
    out.push_back(std::move(refreshed));
  }
  if (unlistable) return std::nullopt;
  return out;
}

}  // namespace korvath::engine::matlab
