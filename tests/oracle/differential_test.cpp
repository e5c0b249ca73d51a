// The indexed engine against the literal loops of literal_engine.cpp: many
// small random projects, each run through both, must give the same result,
// final table, file paths, statistics and the same sequence of tree,
// progress and message calls.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "engine/parse_driver.h"
#include "platform/utf8.h"
#include "tests/oracle/literal_engine.h"
#include "tests/support/memory_file_system.h"

namespace korvath::engine {
namespace {

using platform::FromUtf8;
using platform::ToUtf8;

// Tree, progress window and message boxes in one log, so that the order of
// their calls is compared too. Every `refuseEvery`-th AddChild fails.
class Recorder final : public TreeSink, public ProgressSink, public MessageSink {
 public:
  explicit Recorder(int refuseEvery) : refuseEvery_(refuseEvery) {}

  void Clear() override {
    Log("clear");
    nodes_ = 0;
  }
  int AddRoot(TextView key, TextView text) override {
    Log("root " + ToUtf8(key) + " | " + ToUtf8(text));
    return ++nodes_;
  }
  Result AddChild(int parent, const NodeLabel& label, int& node) override {
    const std::string what =
        std::to_string(parent) + " #" + std::to_string(label.record) + " " + ToUtf8(label.ToText());
    if (refuseEvery_ > 0 && ++addChildCalls_ % refuseEvery_ == 0) {
      Log("refused " + what);
      return Result::Failure(Status::Invalid, "node refused");
    }
    Log("node " + what);
    node = ++nodes_;
    return {};
  }
  int Count() const override { return nodes_; }
  void Show() override { Log("show"); }
  void SetCaption(const Text& caption) override { Log("caption " + ToUtf8(caption)); }
  void Refresh() override { Log("refresh"); }
  void Close() override { Log("close"); }
  void ShowMessage(MessageIcon icon, const Text& text) override {
    Log("message " + std::to_string(static_cast<int>(icon)) + " " + ToUtf8(text));
  }
  void FileUnreadable(const Text& path, const Result& why) override {
    Log("unreadable " + ToUtf8(path) + " " + std::to_string(static_cast<int>(why.status)));
  }
  void FolderUnlistable(const Text& folder, const Result& why) override {
    Log("unlistable " + ToUtf8(folder) + " " + why.description);
  }

  std::vector<std::string> log;

 private:
  void Log(std::string entry) { log.push_back(std::move(entry)); }
  int refuseEvery_;
  int addChildCalls_ = 0;
  int nodes_ = 0;
};

constexpr const char* kCwd = "/work";

struct Project {
  std::string pathdefFile;  // as the settings give it, blanks and all
  std::map<std::string, std::string> files;
  std::vector<std::string> directories;  // created even when empty
  std::vector<std::string> unreadable;   // files or directories
  std::string startName;
  DiscardTable discards = EmptyDiscardTable();
  TreeLimits limits{};
  int refuseEvery = 0;
};

// One run, its output turned into lines of text to compare.
struct RunResult {
  Status status = Status::Ok;
  std::vector<std::string> table, paths, stats, log;
};

RunResult RunProject(const Project& p, Result (*run)(const RunInput&, RunServices&, RunOutput&)) {
  korvath::testing::MemoryFileSystem fs;
  for (const auto& dir : p.directories) fs.AddDirectory(dir);
  for (const auto& [path, bytes] : p.files) fs.AddFile(path, bytes);
  fs.AddDirectory(kCwd);
  fs.SetCwd(kCwd);
  for (const auto& path : p.unreadable) fs.MakeUnreadable(path);
  Recorder recorder(p.refuseEvery);
  // What the previous run left on screen: a run without a search path keeps it.
  recorder.AddRoot(u"previous", u"previous");
  RunServices services{fs, recorder, recorder, recorder, p.limits};
  RunOutput out;
  RunResult r;
  r.status =
      run({FromUtf8(p.pathdefFile), p.discards, FromUtf8(p.startName)}, services, out).status;
  for (const FunctionRecord& f : out.records) {
    r.table.push_back(ToUtf8(f.caller + u" | " + f.name + u" | " + f.alsoCalledBy + u" | " +
                             f.lines + (f.parsed ? u" | parsed" : u" | open")));
  }
  for (const auto& [name, path] : out.filePaths) r.paths.push_back(ToUtf8(name + u" " + path));
  std::sort(r.paths.begin(), r.paths.end());
  const RunStats& s = out.stats;
  for (const auto n :
       {s.records, s.passes, s.filesScanned, s.nodes, static_cast<int>(s.bytesRead)}) {
    r.stats.push_back(std::to_string(n));
  }
  for (const Text& file : s.scannedFiles) r.stats.push_back(ToUtf8(file));
  r.log = std::move(recorder.log);
  return r;
}

void ExpectSame(const char* what, const std::vector<std::string>& indexed,
                const std::vector<std::string>& literal) {
  const auto [i, l] = std::mismatch(indexed.begin(), indexed.end(), literal.begin(), literal.end());
  if (i == indexed.end() && l == literal.end()) return;
  ADD_FAILURE() << what << " differ at element " << (i - indexed.begin()) << " (of "
                << indexed.size() << " indexed, " << literal.size()
                << " literal)\n  indexed: " << (i == indexed.end() ? "(end)" : *i)
                << "\n  literal: " << (l == literal.end() ? "(end)" : *l);
}

// --- the random project generator ----------------------------------------------

using Words = std::vector<std::string>;
const Words kFunctionWords = {"alpha",   "beta",      "gamma",     "delta",   "helper", "util",
                              "compute", "plotdata",  "loadcfg",   "process", "init",   "runall",
                              "solve",   "transform", "formatout", "foo",     "bar",    "baz",
                              "qux",     "step",      "scale",     "merge",   "split",  "check",
                              "report",  "render",    "setup",     "sum2",    "norm3",  "kernel"};
const Words kVariables = {"x", "y", "k", "n", "data", "s.data", "result", "m", "idx", "val"};
// Numbers are dropped from the table; inf, nan, 1i, 0x1f and the like are names.
const Words kNumbers = {"12",  "1.",  "0.5", ".5",  "1e3", "2.5E-3", "1E-3",
                        "inf", "nan", "Inf", "NaN", "1i",  "3i",     "0x1f",
                        "1d3", ".5e", "1e",  "007", "42",  "1.5e+2"};
const Words kMissing = {"disp", "zeros", "numel", "nofile", "fprintf",
                        "size", "end",   "ones",  "error"};
const Words kStringContents = {"abc", "it''s",      "100%", "a;b",   "x(1", "%d\\n",
                               "",    "say ''hi''", "q, r", "[1 2]", "a=b", "foo(x)"};

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : rng_(seed) {}

  Project Make() {
    Project p;
    acyclic_ = Chance(35);
    MakeSearchPath(p);
    MakeFiles(p);
    p.startName = names_[0] + ".m";
    if (Chance(4)) p.startName = "nostart.m";
    if (Chance(4)) p.startName = CaseVariant(names_[0]) + ".m";
    for (int d = Int(0, 5); d > 0; --d) {
      const std::string name = Pick({Pick(names_), Pick(names_), names_[0], "For", "",
                                     CaseVariant(Pick(names_)), Pick(kMissing)});
      p.discards.push_back({FromUtf8(name), FromUtf8(Pick({"", "graphics", "mine"})), Chance(40)});
    }
    // A cyclic project can make the tree grow exponentially with its depth,
    // so it always gets a small node budget.
    if (!acyclic_ || !Chance(60)) {
      const bool deep = Chance(6);
      p.limits = deep ? TreeLimits{256, Int(1000, 20000)} : TreeLimits{Int(3, 30), Int(5, 500)};
    }
    if (Chance(5)) p.refuseEvery = Int(2, 7);
    return p;
  }

 private:
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(int percent) { return Int(1, 100) <= percent; }
  const std::string& Pick(const Words& v) {
    return v[static_cast<std::size_t>(Int(0, static_cast<int>(v.size()) - 1))];
  }
  // The first letter or all letters in capitals.
  std::string CaseVariant(std::string s) {
    const std::size_t n = Chance(50) ? s.size() : 1;
    for (std::size_t i = 0; i < n; ++i)
      s[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
    return s;
  }

  // Both entry styles; some directories missing or unreadable, now and then
  // one listed twice or the current one unreadable; now and then no
  // pathdef.m, or one whose path has no "toolbox".
  void MakeSearchPath(Project& p) {
    std::string text = Chance(50) ? "function p = pathdef\r\n%PATHDEF Search path.\r\n" : "";
    if (Chance(20)) text += "% an early \\toolbox\\line is ignored\n";
    text += "p = [...\n";
    std::string entries;
    for (int k = Int(1, 4); k > 0; --k) {
      const std::string leaf = "d" + std::to_string(k);
      const bool rooted = Chance(50);
      const std::string dir = rooted ? "/ml/toolbox/" + leaf : "/abs/p" + std::to_string(k);
      const std::string entry =
          rooted ? "\tmatlabroot,'\\toolbox\\" + leaf + ";',...\n" : "     '" + dir + ":', ...\n";
      entries += entry;
      if (Chance(10)) entries += entry;
      if (Chance(80)) {
        p.directories.push_back(dir);
        searchDirs_.push_back(dir);
        if (Chance(8)) p.unreadable.push_back(dir);
      }
    }
    if (Chance(10)) entries += "     '" + std::string(kCwd) + ":', ...\n";
    text += entries + "];\n";
    if (Chance(15)) text += "% see \\toolbox\\gone for more\n";
    if (Chance(3)) p.unreadable.push_back(kCwd);
    searchDirs_.push_back(kCwd);
    const int failure = Int(1, 100);
    const std::string path = failure <= 2 ? "/ml/local/pathdef.m" : "/ml/toolbox/local/pathdef.m";
    if (failure <= 2 || failure > 4) p.files[path] = (Chance(10) ? "\xEF\xBB\xBF" : "") + text;
    p.pathdefFile = (Chance(20) ? "  " : "") + path + (Chance(20) ? " " : "");
  }

  // The first name is the start function; some names have no file. Mostly
  // small projects: the literal loops cost the cube of the records.
  void MakeFiles(Project& p) {
    Words words = kFunctionWords;
    std::shuffle(words.begin(), words.end(), rng_);
    const int fileCount = Chance(75) ? Int(3, 12) : Int(13, 25);
    const int nameCount = std::min<int>(fileCount + Int(0, 4), static_cast<int>(words.size()));
    names_.assign(words.begin(), words.begin() + nameCount);
    for (std::size_t i = 0; i < names_.size(); ++i) {
      if (i == 0 ? Chance(4) : static_cast<int>(i) >= fileCount) continue;
      callees_.clear();
      for (std::size_t j = 0; j < names_.size(); ++j) {
        if (!acyclic_ || j > i) callees_.push_back(names_[j]);
      }
      const std::string& name = names_[i];
      const std::string& dir = Pick(searchDirs_);
      const std::string file = dir + "/" + (Chance(20) ? CaseVariant(name) : name) + ".m";
      p.files[file] = FileText(name);
      // Another spelling in the same directory: an exact match beats it,
      // otherwise the first in byte order wins.
      if (Chance(5)) p.files[dir + "/" + CaseVariant(name) + ".m"] = FileText(name);
      // The same function further on: the earlier directory on the path wins.
      if (Chance(10)) p.files[Pick(searchDirs_) + "/" + name + ".m"] = FileText(name);
      if (Chance(4)) p.unreadable.push_back(file);
    }
    callees_ = acyclic_ ? Words{} : names_;  // these files may be reached from anywhere
    if (!acyclic_ && Chance(4)) p.files[Pick(searchDirs_) + "/.m"] = FileText("dotm");
    if (Chance(5)) p.files[Pick(searchDirs_) + "/" + names_.back() + ".m/inner.m"] = "x\n";
    if (Chance(8)) p.files[Pick(searchDirs_) + "/for.m"] = FileText("for");  // "For" resolves
  }

  // Any line ending, a BOM, no terminator on the last line, continuations
  // and now and then a byte that is not UTF-8.
  std::string FileText(const std::string& self) {
    Words lines;
    if (Chance(50)) lines.push_back("function out = " + self + "(in)");
    if (Chance(30)) lines.push_back("% " + self + " does things; it's documented");
    for (int i = Int(0, 9); i > 0; --i) {
      Words block = Statement();
      if (block.size() == 1 && Chance(15)) block = Continued(block[0]);
      for (const auto& line : block)
        lines.push_back(Pick({"", "", "  ", "\t", " \t", "    "}) + line);
    }
    if (Chance(5)) lines.push_back("...");
    if (Chance(5)) lines.push_back("x = " + Callee() + "(1, ...");  // continued into the end
    std::string bytes = Chance(15) ? "\xEF\xBB\xBF" : "";
    const int style = Int(0, 3);  // LF, CRLF, CR, mixed
    for (std::size_t i = 0; i < lines.size(); ++i) {
      bytes += lines[i];
      if (i + 1 == lines.size() && Chance(30)) break;
      const int s = style == 3 ? Int(0, 2) : style;
      bytes += s == 0 ? "\n" : s == 1 ? "\r\n" : "\r";
    }
    if (Chance(3)) bytes += "caf\xE9 = " + self + "2;\n";  // read as Windows-1252
    return bytes;
  }

  // Splits a statement over two physical lines with "..." at the break; a
  // name on the second line may be written with capitals, which stay.
  Words Continued(const std::string& statement) {
    std::vector<std::size_t> blanks;
    for (std::size_t i = 0; i < statement.size(); ++i) {
      if (statement[i] == ' ' || statement[i] == ',') blanks.push_back(i);
    }
    if (blanks.empty()) return {statement};
    const std::size_t cut =
        blanks[static_cast<std::size_t>(Int(0, static_cast<int>(blanks.size()) - 1))];
    std::string rest = statement.substr(cut + 1);
    if (!callees_.empty() && Chance(50)) rest = CaseVariant(Pick(callees_)) + "(" + rest + ")";
    return {statement.substr(0, cut + 1) + Pick({" ...", "...", "...  ", " ... "}), "    " + rest};
  }

  Words Statement() {
    const int r = Int(1, 100);
    const std::string str = "'" + Pick(kStringContents) + "'";
    if (r <= 20) return {Expr(0) + (Chance(60) ? ";" : "")};
    if (r <= 40) return {Pick(kVariables) + Pick({" = ", "=", "  =  "}) + Expr(0) + ";"};
    if (r <= 45) return {"[a, b] = " + Expr(0) + ";"};
    if (r <= 50) return {"for k = 1:" + Expr(1), "  " + Expr(0) + ";", "end"};
    if (r <= 54)
      return {Pick({"if ", "while ", "elseif "}) + Expr(1) +
              Pick({" == ", " <= ", " >= ", " ~= ", "=="}) + Expr(1)};
    if (r <= 59) return {"% " + Expr(0)};
    if (r <= 63) return {Expr(0) + "; % note " + Expr(1) + (Chance(50) ? " it's" : "")};
    if (r <= 67) {
      return {Pick({"function y = ", "function ",
                    "Function out = ", "functional = ", "function[a,b]="}) +
              Callee() + "(x)"};
    }
    if (r <= 70) return {str + " " + Expr(1)};
    if (r <= 73) return {Expr(1) + ";" + str + " " + Expr(1)};
    if (r <= 76) return {"disp(" + str + ", " + Expr(1) + ")"};
    if (r <= 78) return {Callee() + "(" + Callee() + "(" + Expr(1)};  // unbalanced parentheses
    if (r <= 80) return {Expr(1) + ")" + Expr(1) + "("};
    if (r <= 83) return {"see " + Callee() + (acyclic_ ? "" : ".m") + " for " + Pick(kVariables)};
    if (r <= 86) return {"x = " + Pick(kVariables) + "'' + " + Callee() + "(y)'"};
    if (r <= 88) return {"format = " + Callee() + "(1);"};
    if (r <= 90) return {""};
    if (r <= 92) return {Pick(kNumbers) + " + " + Expr(1)};
    if (r <= 94) return {"'" + Pick(kVariables)};  // a quote that never closes
    return {Expr(0)};
  }

  std::string Expr(int depth) {
    const int r = depth >= 3 ? 100 : Int(1, 100);
    if (r <= 35) {
      std::string call = Callee() + "(";
      for (int a = Int(0, 3); a > 0; --a) {
        call += Expr(depth + 1) + (a > 1 ? Pick({", ", ",", " , ", " "}) : "");
      }
      return call + ")";
    }
    if (r <= 55) {
      return Expr(depth + 1) +
             Pick({" + ", "-", " * ", "/", "^", " .* ", " == ", "<=", " ~= ", "&", " | ", ":", " ",
                   " > ", "\\", " = "}) +
             Expr(depth + 1);
    }
    if (r <= 62) return "[" + Expr(depth + 1) + " " + Expr(depth + 1) + "]";
    if (r <= 66) return "{" + Expr(depth + 1) + "}";
    if (r <= 72) return "(" + Expr(depth + 1) + ")";
    if (r <= 76) return Expr(depth + 1) + "'";
    if (r <= 79) return Pick(kVariables) + "(" + Pick(kNumbers) + ")";
    return Atom();
  }

  std::string Atom() {
    const int r = Int(1, 100);
    if (r <= 40) return Callee();
    if (r <= 55) return Pick(kVariables);
    if (r <= 70) return Pick(kNumbers);
    if (r <= 78) return "'" + Pick(kStringContents) + "'";
    if (r <= 84) return Pick(kVariables) + "'";
    if (r <= 88) return "\"dq " + Pick(kVariables) + "\"";
    if (r <= 91 && !acyclic_) return Chance(50) ? ".m" : "helper.m";
    if (r <= 93) return "gr\xC3\xB6\xC3\x9F\x65";  // a name beyond ASCII
    return Callee();
  }

  std::string Callee() {
    if (callees_.empty() || Chance(15)) return Pick(kMissing);
    std::string name = Pick(callees_);
    if (!acyclic_ && Chance(8)) name += ".m";
    return Chance(8) ? CaseVariant(name) : name;  // capitals stay only on a continuation line
  }

  std::mt19937 rng_;
  bool acyclic_ = false;
  Words searchDirs_;  // where files may go: the pathdef entries that exist and the cwd
  Words names_;       // names_[0] is the start function
  Words callees_;     // what the file being written may call
};

// --- the comparison --------------------------------------------------------------

int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::atoi(v) : fallback;
}

// The paths off the common road that the random projects must reach, or
// the comparison says nothing about them.
struct Reached {
  int noSearchPath = 0;
  int refusedNode = 0;
  int nodeBudget = 0;
  int unreadableFile = 0;
  int unlistableFolder = 0;

  void Count(const RunResult& run) {
    noSearchPath += run.status == Status::NoSearchPath ? 1 : 0;
    const auto any = [&run](const std::string& prefix) {
      return std::any_of(run.log.begin(), run.log.end(), [&prefix](const std::string& entry) {
        return entry.compare(0, prefix.size(), prefix) == 0;
      });
    };
    refusedNode += any("refused ") ? 1 : 0;
    nodeBudget += any("message " + std::to_string(static_cast<int>(MessageIcon::Critical)) + " " +
                      ToUtf8(messages::kTreeTooLarge))
                      ? 1
                      : 0;
    unreadableFile += any("unreadable ") ? 1 : 0;
    unlistableFolder += any("unlistable ") ? 1 : 0;
  }
};

TEST(Differential, IndexedEngineMatchesLiteralLoopsOnRandomProjects) {
  // KORVATH_DIFF_SEED and KORVATH_DIFF_COUNT rerun one failing project.
  constexpr int kDefaultCount = 500;
  constexpr std::uint32_t kDefaultSeed = 7001;
  const auto firstSeed = static_cast<std::uint32_t>(EnvInt("KORVATH_DIFF_SEED", kDefaultSeed));
  const int count = EnvInt("KORVATH_DIFF_COUNT", kDefaultCount);
  const auto* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
  int failedProjects = 0;
  Reached reached;
  for (int i = 0; i < count && failedProjects < 5; ++i) {
    const std::uint32_t seed = firstSeed + static_cast<std::uint32_t>(i);
    const Project project = Generator(seed).Make();
    SCOPED_TRACE("rerun with KORVATH_DIFF_SEED=" + std::to_string(seed) + " KORVATH_DIFF_COUNT=1");
    const int failuresBefore = result->total_part_count();
    const RunResult indexed = RunProject(project, &ParseAndBuild);
    const RunResult literal = RunProject(project, &literal::LiteralParseAndBuild);
    EXPECT_EQ(static_cast<int>(indexed.status), static_cast<int>(literal.status)) << "result";
    ExpectSame("final records", indexed.table, literal.table);
    ExpectSame("file paths", indexed.paths, literal.paths);
    ExpectSame("statistics", indexed.stats, literal.stats);
    ExpectSame("tree, progress and message calls", indexed.log, literal.log);
    failedProjects += result->total_part_count() != failuresBefore ? 1 : 0;
    reached.Count(indexed);
  }
  std::printf(
      "of %d projects: %d without a search path, %d with a refused node, %d over the "
      "node budget, %d with an unreadable file, %d with a folder that cannot be listed\n",
      count, reached.noSearchPath, reached.refusedNode, reached.nodeBudget, reached.unreadableFile,
      reached.unlistableFolder);
  // A rerun of a few seeds need not reach them all; the default run must.
  if (firstSeed == kDefaultSeed && count >= kDefaultCount) {
    EXPECT_GE(reached.noSearchPath, 1);
    EXPECT_GE(reached.refusedNode, 1);
    EXPECT_GE(reached.nodeBudget, 1);
    EXPECT_GE(reached.unreadableFile, 1);
    EXPECT_GE(reached.unlistableFolder, 1);
  }
}

}  // namespace
}  // namespace korvath::engine
