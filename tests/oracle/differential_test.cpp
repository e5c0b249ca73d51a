// The indexed engine against the literal loops in tests/literal: many small
// random projects, each run through both, must give the same outcome, final
// table, tree, progress calls and messages. A few hand-worked projects pin
// both to known answers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/messages.h"
#include "engine/parse_driver.h"
#include "platform/utf8.h"
#include "tests/oracle/literal_engine.h"
#include "tests/support/memory_file_system.h"

namespace korvath {
namespace {

using platform::FromUtf8;
using platform::ToUtf8;

std::string U8(TextView text) { return ToUtf8(text); }

const char* IconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::None: return "none";
    case MessageIcon::Critical: return "critical";
    case MessageIcon::Information: return "information";
  }
  return "?";
}

// --- recording sinks --------------------------------------------------------

struct RecordedNode {
  int parent = 0;  // 0 for a root
  int record = 0;  // 0 for a root
  std::string key;
  std::string text;

  bool operator==(const RecordedNode&) const = default;
};

class RecordingTree final : public TreeModel {
 public:
  // Every `throwEvery`-th AddChild call fails, to exercise the error path.
  explicit RecordingTree(int throwEvery = 0) : throwEvery_(throwEvery) {}

  void Clear() override {
    ++clears;
    nodes.clear();
  }
  int AddRoot(TextView key, TextView text) override {
    nodes.push_back({0, 0, U8(key), U8(text)});
    return Count();
  }
  int AddChild(int parent, const NodeLabel& label) override {
    ++addChildCalls_;
    if (throwEvery_ > 0 && addChildCalls_ % throwEvery_ == 0) {
      throw std::runtime_error("node refused");
    }
    nodes.push_back({parent, label.record, std::string(), U8(label.ToText())});
    return Count();
  }
  int Count() const override { return static_cast<int>(nodes.size()); }

  std::vector<RecordedNode> nodes;  // node n is nodes[n - 1]
  int clears = 0;

 private:
  int throwEvery_ = 0;
  int addChildCalls_ = 0;
};

class RecordingProgress final : public ProgressSink {
 public:
  void Show() override { events.push_back("show"); }
  void SetCaption(const Text& caption) override { events.push_back("caption: " + U8(caption)); }
  void Refresh() override { events.push_back("refresh"); }
  void Close() override { events.push_back("close"); }

  std::vector<std::string> events;
};

class RecordingMessages final : public MessageSink {
 public:
  void ShowMessage(MessageIcon icon, const Text& text) override {
    shown.push_back(std::string(IconName(icon)) + ": " + U8(text));
  }
  void FileUnreadable(const Text& path, const std::string& reason) override {
    unreadable.push_back(U8(path) + " (" + reason + ")");
  }

  std::vector<std::string> shown;
  std::vector<std::string> unreadable;
};

// --- a project and what one run of it gives ---------------------------------

struct Project {
  std::string pathdefFile;  // as the settings give it, blanks and all
  std::string cwd = "/work";
  std::map<std::string, std::string> files;
  std::vector<std::string> directories;  // created even when empty
  std::vector<std::string> unreadable;   // files or directories
  std::string startName;                 // ends in ".m"
  DiscardTable discards = EmptyDiscardTable();
  TreeLimits limits{};
  int throwEvery = 0;
  std::string note;

  void Install(testing::MemoryFileSystem& fs) const {
    for (const auto& dir : directories) fs.AddDirectory(dir);
    for (const auto& [path, bytes] : files) fs.AddFile(path, bytes);
    fs.AddDirectory(cwd);
    fs.SetCwd(cwd);
    for (const auto& path : unreadable) fs.MakeUnreadable(path);
  }
};

std::string Escape(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (u < 0x20 || u >= 0x80) {
      static const char* hex = "0123456789abcdef";
      out += "\\x";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string Describe(const Project& p) {
  std::ostringstream s;
  s << "pathdef file: [" << p.pathdefFile << "]  cwd: " << p.cwd << "  start: " << p.startName
    << "\nlimits: maxDepth " << p.limits.maxDepth << ", maxNodes " << p.limits.maxNodes
    << "  throwEvery " << p.throwEvery << "  " << p.note << "\ndiscards:";
  for (std::size_t d = 1; d < p.discards.size(); ++d) {
    s << " [" << U8(p.discards[d].Name) << "|" << U8(p.discards[d].FileType) << "|"
      << (p.discards[d].Show ? "show" : "hide") << "]";
  }
  s << "\ndirectories:";
  for (const auto& d : p.directories) s << " " << d;
  s << "\nunreadable:";
  for (const auto& u : p.unreadable) s << " " << u;
  s << "\n";
  for (const auto& [path, bytes] : p.files) {
    s << "---- " << path << " ----\n" << Escape(bytes) << "\n";
  }
  return s.str();
}

struct RunResult {
  RunOutcome outcome = RunOutcome::TreeBuilt;
  std::vector<FunctionRecord> records;
  std::string pathdefAfter;
  std::vector<RecordedNode> nodes;
  int clears = 0;
  std::vector<std::string> progress;
  std::vector<std::string> messages;
  std::vector<std::string> unreadable;
};

enum class Engine { Indexed, Literal };

RunResult RunProject(const Project& project, Engine engine) {
  testing::MemoryFileSystem fs;
  project.Install(fs);
  RecordingTree tree(project.throwEvery);
  // What the previous run left on screen; a failed run must leave it there.
  tree.AddRoot(u"previous", u"previous");
  RecordingProgress progress;
  RecordingMessages messages;
  RunServices services{fs, progress, messages, tree, project.limits};

  EngineState state;
  state.PathdefFile = FromUtf8(project.pathdefFile);
  state.Discards = project.discards;
  const Text start = FromUtf8(project.startName);

  RunResult r;
  r.outcome = engine == Engine::Indexed ? ParseAndBuild(state, start, services)
                                        : literal::LiteralParseAndBuild(state, start, services);
  r.records = state.FinalRecords;
  r.pathdefAfter = U8(state.PathdefFile);
  r.nodes = tree.nodes;
  r.clears = tree.clears;
  r.progress = progress.events;
  r.messages = messages.shown;
  r.unreadable = messages.unreadable;
  return r;
}

const char* OutcomeName(RunOutcome o) {
  switch (o) {
    case RunOutcome::TreeBuilt: return "TreeBuilt";
    case RunOutcome::PathdefFailed: return "PathdefFailed";
    case RunOutcome::StartNotFound: return "StartNotFound";
  }
  return "?";
}

std::string Show(const FunctionRecord& r) {
  std::string s = "{Caller \"" + U8(r.Caller) + "\", Name \"" + U8(r.Name) +
                  "\", AlsoCalledBy \"" + U8(r.AlsoCalledBy) + "\", Lines \"" + U8(r.Lines) +
                  "\", Parsed " + (r.Parsed ? "true" : "false") + "}";
  return s;
}

std::string Show(const RecordedNode& n) {
  return "{parent " + std::to_string(n.parent) + ", record " + std::to_string(n.record) +
         ", key \"" + n.key + "\", text \"" + n.text + "\"}";
}

std::string Show(const std::string& s) { return "\"" + s + "\""; }

// Reports the first difference of two sequences, with a little context.
template <class T>
void ExpectSameSequence(const char* what, const std::vector<T>& indexed,
                        const std::vector<T>& literal) {
  const std::size_t common = std::min(indexed.size(), literal.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (!(indexed[i] == literal[i])) {
      ADD_FAILURE() << what << " differ at element " << i << " (of " << indexed.size()
                    << " indexed, " << literal.size() << " literal)\n  indexed: "
                    << Show(indexed[i]) << "\n  literal: " << Show(literal[i]);
      return;
    }
  }
  if (indexed.size() != literal.size()) {
    const auto& longer = indexed.size() > literal.size() ? indexed : literal;
    ADD_FAILURE() << what << ": indexed has " << indexed.size() << ", literal has "
                  << literal.size() << "; first extra element: " << Show(longer[common]);
  }
}

void ExpectSameRun(const RunResult& indexed, const RunResult& literal) {
  EXPECT_EQ(OutcomeName(indexed.outcome), std::string(OutcomeName(literal.outcome)));
  ExpectSameSequence("final records", indexed.records, literal.records);
  ExpectSameSequence("tree nodes", indexed.nodes, literal.nodes);
  EXPECT_EQ(indexed.clears, literal.clears) << "tree clears";
  ExpectSameSequence("progress calls", indexed.progress, literal.progress);
  ExpectSameSequence("messages", indexed.messages, literal.messages);
  ExpectSameSequence("unreadable-file reports", indexed.unreadable, literal.unreadable);
  EXPECT_EQ(indexed.pathdefAfter, literal.pathdefAfter);
}

// Properties any run must have, whichever engine made it.
void ExpectWellFormed(const RunResult& r, const Project& p) {
  if (r.outcome == RunOutcome::PathdefFailed) {
    EXPECT_TRUE(r.progress.empty());
    ASSERT_EQ(r.nodes.size(), 1u);
    EXPECT_EQ(r.nodes[0].text, "previous");
    return;
  }
  ASSERT_FALSE(r.progress.empty());
  EXPECT_EQ(r.progress.front(), "show");
  EXPECT_EQ(r.progress.back(), "close");
  EXPECT_EQ(r.clears, 1);
  if (r.outcome == RunOutcome::StartNotFound) {
    EXPECT_TRUE(r.nodes.empty());
    return;
  }
  ASSERT_FALSE(r.nodes.empty());
  EXPECT_LE(static_cast<int>(r.nodes.size()), p.limits.maxNodes);
  std::vector<int> depth(r.nodes.size() + 1, 0);
  for (std::size_t n = 2; n <= r.nodes.size(); ++n) {
    const int parent = r.nodes[n - 1].parent;
    ASSERT_GE(parent, 1);
    ASSERT_LT(parent, static_cast<int>(n));
    depth[n] = depth[static_cast<std::size_t>(parent)] + 1;
    EXPECT_LE(depth[n], p.limits.maxDepth);
    const int rec = r.nodes[n - 1].record;
    ASSERT_GE(rec, 1);
    ASSERT_LT(rec, static_cast<int>(r.records.size()));
  }
}

// --- the random project generator -------------------------------------------

const std::vector<std::string> kFunctionWords = {
    "alpha", "beta",   "gamma",   "delta",  "helper",    "util",    "compute", "plotdata",
    "loadcfg", "process", "init", "runall", "solve",     "transform", "formatout", "foo",
    "bar",   "baz",    "qux",     "step",   "scale",     "merge",   "split",   "check",
    "report", "render", "setup",  "sum2",   "norm3",     "kernel"};
const std::vector<std::string> kVariables = {"x", "y", "k", "n", "data", "s.data", "result",
                                             "m", "idx", "val"};
const std::vector<std::string> kNumbers = {"12",  "1.",  "0.5", ".5",  "1e3", "2.5E-3", "1E-3",
                                           "inf", "nan", "Inf", "NaN", "1i",  "3i",     "0x1f",
                                           "1d3", ".5e", "1e",  "007", "42",  "1.5e+2"};
const std::vector<std::string> kMissing = {"disp", "zeros", "numel", "nofile", "fprintf",
                                           "size", "end",   "ones",  "error"};
const std::vector<std::string> kStringContents = {"abc",    "it''s",   "100%",  "a;b",
                                                  "x(1",    "%d\\n",   "",      "say ''hi''",
                                                  "q, r",   "[1 2]",   "a=b",   "foo(x)"};

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : rng_(seed) {}

  Project Make();

 private:
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(int percent) { return Int(1, 100) <= percent; }
  template <class T>
  const T& Pick(const std::vector<T>& v) {
    return v[static_cast<std::size_t>(Int(0, static_cast<int>(v.size()) - 1))];
  }

  std::string CaseVariant(const std::string& name) {
    std::string out = name;
    if (Chance(50)) {
      out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
    } else {
      for (auto& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
  }

  std::string Callee();
  std::string Atom();
  std::string StringLiteral() { return "'" + Pick(kStringContents) + "'"; }
  std::string Expr(int depth);
  std::vector<std::string> Statement();
  std::string FileText(const std::string& self);

  std::mt19937 rng_;
  bool acyclic_ = false;
  std::vector<std::string> names_;     // names_[0] is the start function
  std::vector<std::string> callees_;   // what the file being written may call
};

std::string Generator::Callee() {
  if (callees_.empty() || Chance(15)) return Pick(kMissing);
  std::string name = Pick(callees_);
  if (!acyclic_ && Chance(8)) name += ".m";
  if (Chance(8)) name = CaseVariant(name);  // only keeps its case on a continuation line
  return name;
}

std::string Generator::Atom() {
  const int r = Int(1, 100);
  if (r <= 40) return Callee();
  if (r <= 55) return Pick(kVariables);
  if (r <= 70) return Pick(kNumbers);
  if (r <= 78) return StringLiteral();
  if (r <= 84) return Pick(kVariables) + "'";
  if (r <= 88) return "\"dq " + Pick(kVariables) + "\"";
  if (r <= 91 && !acyclic_) return Chance(50) ? ".m" : "helper.m";
  if (r <= 93) return "gr\xC3\xB6\xC3\x9F" "e";  // a non-ASCII name
  return Callee();
}

std::string Generator::Expr(int depth) {
  const int r = depth >= 3 ? 100 : Int(1, 100);
  if (r <= 35) {
    std::string call = Callee() + "(";
    const int args = Int(0, 3);
    for (int a = 0; a < args; ++a) {
      if (a > 0) call += Pick(std::vector<std::string>{", ", ",", " , ", " "});
      call += Expr(depth + 1);
    }
    return call + ")";
  }
  if (r <= 55) {
    static const std::vector<std::string> ops = {" + ", "-",   " * ", "/",   "^",   " .* ",
                                                 " == ", "<=", " ~= ", "&",   " | ", ":",
                                                 " ",   " > ", "\\",  " = "};
    return Expr(depth + 1) + Pick(ops) + Expr(depth + 1);
  }
  if (r <= 62) return "[" + Expr(depth + 1) + " " + Expr(depth + 1) + "]";
  if (r <= 66) return "{" + Expr(depth + 1) + "}";
  if (r <= 72) return "(" + Expr(depth + 1) + ")";
  if (r <= 76) return Expr(depth + 1) + "'";
  if (r <= 79) return Pick(kVariables) + "(" + Pick(kNumbers) + ")";
  return Atom();
}

std::vector<std::string> Generator::Statement() {
  const int r = Int(1, 100);
  std::string s;
  if (r <= 20) {
    s = Expr(0) + (Chance(60) ? ";" : "");
  } else if (r <= 40) {
    s = Pick(kVariables) + Pick(std::vector<std::string>{" = ", "=", "  =  "}) + Expr(0) + ";";
  } else if (r <= 45) {
    s = "[a, b] = " + Expr(0) + ";";
  } else if (r <= 50) {
    return {"for k = 1:" + Expr(1), "  " + Expr(0) + ";", "end"};
  } else if (r <= 54) {
    s = Pick(std::vector<std::string>{"if ", "while ", "elseif "}) + Expr(1) +
        Pick(std::vector<std::string>{" == ", " <= ", " >= ", " ~= ", "=="}) + Expr(1);
  } else if (r <= 59) {
    s = "% " + Expr(0);
  } else if (r <= 63) {
    s = Expr(0) + "; % note " + Expr(1) + (Chance(50) ? " it's" : "");
  } else if (r <= 67) {
    static const std::vector<std::string> declarations = {
        "function y = ", "function ", "Function out = ", "functional = ", "function[a,b]="};
    s = Pick(declarations) + Callee() + "(x)";
  } else if (r <= 70) {
    s = "'" + Pick(kStringContents) + "' " + Expr(1);
  } else if (r <= 73) {
    s = Expr(1) + ";" + StringLiteral() + " " + Expr(1);
  } else if (r <= 76) {
    s = "disp(" + StringLiteral() + ", " + Expr(1) + ")";
  } else if (r <= 80) {
    // Unbalanced parentheses, either way.
    s = Chance(50) ? Callee() + "(" + Callee() + "(" + Expr(1) : Expr(1) + ")" + Expr(1) + "(";
  } else if (r <= 83) {
    s = (acyclic_ ? "see " + Callee() : "see " + Callee() + ".m") + " for " + Pick(kVariables);
  } else if (r <= 86) {
    s = "x = " + Pick(kVariables) + "'' + " + Callee() + "(y)'";
  } else if (r <= 88) {
    s = "format = " + Callee() + "(1);";
  } else if (r <= 90) {
    s = "";
  } else if (r <= 92) {
    s = Pick(kNumbers) + " + " + Expr(1);
  } else if (r <= 94) {
    s = "'" + Pick(kVariables);  // an opening quote that never closes
  } else {
    s = Expr(0);
  }
  return {s};
}

// Splits a statement over two physical lines with "..." at the break; a name
// on the second line may be written with capitals, which the scanner keeps.
std::vector<std::string> Continue(std::mt19937& rng, const std::string& statement,
                                  const std::vector<std::string>& capitalised) {
  std::vector<std::size_t> blanks;
  for (std::size_t i = 0; i < statement.size(); ++i) {
    if (statement[i] == ' ' || statement[i] == ',') blanks.push_back(i);
  }
  if (blanks.empty()) return {statement};
  std::uniform_int_distribution<std::size_t> pick(0, blanks.size() - 1);
  const std::size_t cut = blanks[pick(rng)];
  static const std::vector<std::string> marks = {" ...", "...", "...  ", " ... "};
  std::uniform_int_distribution<std::size_t> mark(0, marks.size() - 1);
  std::string first = statement.substr(0, cut + 1) + marks[mark(rng)];
  std::string rest = statement.substr(cut + 1);
  if (!capitalised.empty() && std::uniform_int_distribution<int>(0, 1)(rng) == 0) {
    std::uniform_int_distribution<std::size_t> c(0, capitalised.size() - 1);
    rest = "    " + capitalised[c(rng)] + "(" + rest + ")";
  } else {
    rest = "    " + rest;
  }
  return {first, rest};
}

std::string Generator::FileText(const std::string& self) {
  std::vector<std::string> lines;
  if (Chance(50)) lines.push_back("function out = " + self + "(in)");
  if (Chance(30)) lines.push_back("% " + self + " does things; it's documented");
  std::vector<std::string> capitalised;
  for (const auto& c : callees_) capitalised.push_back(CaseVariant(c));
  const int statements = Int(0, 9);
  for (int i = 0; i < statements; ++i) {
    std::vector<std::string> block = Statement();
    if (Chance(15) && block.size() == 1) block = Continue(rng_, block[0], capitalised);
    for (auto& line : block) {
      static const std::vector<std::string> indents = {"", "", "  ", "\t", " \t", "    "};
      lines.push_back(Pick(indents) + line);
    }
  }
  if (Chance(5)) lines.push_back("...");
  if (Chance(5)) lines.push_back("x = " + Callee() + "(1, ...");  // continued into the end

  std::string bytes = Chance(15) ? "\xEF\xBB\xBF" : "";
  const int style = Int(0, 3);  // LF, CRLF, CR, mixed
  for (std::size_t i = 0; i < lines.size(); ++i) {
    bytes += lines[i];
    const bool last = i + 1 == lines.size();
    if (last && Chance(30)) break;  // no terminator on the last line
    const int s = style == 3 ? Int(0, 2) : style;
    bytes += s == 0 ? "\n" : s == 1 ? "\r\n" : "\r";
  }
  if (Chance(3)) bytes += "caf\xE9 = " + self + "2;\n";  // not UTF-8: read as Windows-1252
  return bytes;
}

Project Generator::Make() {
  Project p;
  acyclic_ = Chance(35);
  p.note = acyclic_ ? "acyclic" : "cyclic";

  // Search path.
  const std::string root = "/ml";
  std::string pathdefPath = root + "/toolbox/local/pathdef.m";
  std::string pathdef;
  if (Chance(50)) pathdef += "function p = pathdef\r\n%PATHDEF Search path defaults.\r\n";
  if (Chance(20)) pathdef += "% an early \\toolbox\\line is ignored\n";
  pathdef += "p = [...\n";
  std::vector<std::string> searchDirs;
  const int dirCount = Int(1, 4);
  for (int k = 1; k <= dirCount; ++k) {
    std::string dir;
    if (Chance(50)) {
      const std::string leaf = "d" + std::to_string(k);
      dir = root + "/toolbox/" + leaf;
      pathdef += "\tmatlabroot,'\\toolbox\\" + leaf + ";',...\n";
    } else {
      dir = "/abs/p" + std::to_string(k);
      pathdef += "     '" + dir + ":', ...\n";
    }
    if (Chance(80)) {
      p.directories.push_back(dir);
      searchDirs.push_back(dir);
      if (Chance(5)) p.unreadable.push_back(dir);
    }
  }
  pathdef += "];\n";
  if (Chance(15)) pathdef += "% see \\toolbox\\gone for more\n";
  searchDirs.push_back(p.cwd);

  const int failure = Int(1, 100);
  if (failure <= 2) {
    pathdefPath = "/ml/local/pathdef.m";  // no "toolbox" in the path
    p.files[pathdefPath] = pathdef;
  } else if (failure <= 4) {
    // pathdef.m is not there at all
  } else {
    p.files[pathdefPath] = (Chance(10) ? "\xEF\xBB\xBF" : "") + pathdef;
  }
  p.pathdefFile = (Chance(20) ? "  " : "") + pathdefPath + (Chance(20) ? " " : "");

  // Functions: the first is the start function; some names have no file.
  std::vector<std::string> words = kFunctionWords;
  std::shuffle(words.begin(), words.end(), rng_);
  // Mostly small projects: the literal loops cost the cube of the records.
  const int fileCount = Chance(75) ? Int(3, 12) : Int(13, 25);
  const int nameCount = std::min<int>(fileCount + Int(0, 4), static_cast<int>(words.size()));
  names_.assign(words.begin(), words.begin() + nameCount);
  std::vector<bool> hasFile(names_.size(), false);
  for (int i = 0; i < std::min(fileCount, nameCount); ++i) hasFile[static_cast<std::size_t>(i)] = true;
  std::shuffle(hasFile.begin() + 1, hasFile.end(), rng_);
  hasFile[0] = !Chance(4);

  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (!hasFile[i]) continue;
    callees_.clear();
    for (std::size_t j = 0; j < names_.size(); ++j) {
      if (!acyclic_ || j > i) callees_.push_back(names_[j]);
    }
    const std::string& dir = Pick(searchDirs);
    std::string fileName = names_[i] + ".m";
    if (Chance(20)) fileName = CaseVariant(names_[i]) + ".m";
    p.files[dir + "/" + fileName] = FileText(names_[i]);
    if (Chance(5)) {
      // A second spelling in the same directory: an exact match beats it,
      // otherwise the first in byte order wins.
      p.files[dir + "/" + CaseVariant(names_[i]) + ".m"] = FileText(names_[i]);
    }
    if (Chance(10)) {
      // The same function in another directory: the earlier one on the path wins.
      p.files[Pick(searchDirs) + "/" + names_[i] + ".m"] = FileText(names_[i]);
    }
    if (Chance(4)) p.unreadable.push_back(dir + "/" + fileName);
  }
  if (!acyclic_ && Chance(4)) {
    callees_ = names_;
    p.files[Pick(searchDirs) + "/.m"] = FileText("dotm");
  }
  if (Chance(5)) p.files[Pick(searchDirs) + "/" + names_.back() + ".m/inner.m"] = "x\n";
  if (Chance(8)) {
    // Makes the scanner's "For" entries resolvable, so they reach the tree.
    // Any file may hold a "For" entry, so its calls would close cycles.
    callees_.clear();
    if (!acyclic_) callees_ = names_;
    p.files[Pick(searchDirs) + "/for.m"] = FileText("for");
  }

  // Start name.
  p.startName = names_[0] + ".m";
  if (Chance(4)) p.startName = "nostart.m";
  if (Chance(4)) p.startName = CaseVariant(names_[0]) + ".m";

  // Discard list.
  const int discardCount = Int(0, 5);
  for (int d = 0; d < discardCount; ++d) {
    DiscardEntry e;
    const int r = Int(1, 100);
    std::string name;
    if (r <= 50) {
      name = Pick(names_);
    } else if (r <= 55) {
      name = names_[0];
    } else if (r <= 68) {
      name = "For";
    } else if (r <= 74) {
      name = "";
    } else if (r <= 82) {
      name = CaseVariant(Pick(names_));
    } else {
      name = Pick(kMissing);
    }
    e.Name = FromUtf8(name);
    e.FileType = FromUtf8(Pick(std::vector<std::string>{"", "graphics", "mine"}));
    e.Show = Chance(40);
    p.discards.push_back(e);
  }

  // Tree limits. A cyclic project can make the tree grow exponentially with
  // its depth, so it always gets a small node budget.
  if (acyclic_ && Chance(60)) {
    p.limits = TreeLimits{};
  } else if (Chance(6)) {
    p.limits.maxDepth = 256;
    p.limits.maxNodes = Int(1000, 20000);
  } else {
    p.limits.maxDepth = Int(3, 30);
    p.limits.maxNodes = Int(5, 500);
  }
  if (Chance(5)) p.throwEvery = Int(2, 7);
  return p;
}

// --- the random comparison --------------------------------------------------

int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::atoi(v) : fallback;
}

int FailureCount() {
  return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

bool StartsWith(const std::string& s, const std::string& head) { return s.rfind(head, 0) == 0; }

// How often the random projects reach the cases worth comparing; each must
// come up, or the generator has stopped exercising it.
struct Coverage {
  std::map<std::string, int> counts;

  void Note(const RunResult& r, const Project& p) {
    auto add = [this](const char* what, bool yes) { counts[what] += yes ? 1 : 0; };
    auto message = [&r](const Text& text) {
      for (const auto& m : r.messages) {
        if (m.find(U8(text)) != std::string::npos) return true;
      }
      return false;
    };
    add("tree built", r.outcome == RunOutcome::TreeBuilt);
    add("pathdef failed", r.outcome == RunOutcome::PathdefFailed);
    const Text start = FromUtf8(p.startName);
    add("start file not found", message(messages::StartFileNotFound(start)));
    add("start function discarded",
        message(messages::StartFunctionDiscarded(start.substr(0, start.size() - 2))));
    add("file unreadable", !r.unreadable.empty());
    add("out of stack space", message(messages::kOutOfStackSpace));
    add("tree too large", message(messages::kTreeTooLarge));
    add("tree node error", std::any_of(r.messages.begin(), r.messages.end(), [](const auto& m) {
          return StartsWith(m, "none: ");
        }));
    bool linked = false, blankedWithLines = false, emptyOpenRecord = false, repeatedLines = false,
         capitalName = false, forEntry = false, emptyCaller = false;
    for (std::size_t i = 1; i < r.records.size(); ++i) {
      const FunctionRecord& rec = r.records[i];
      linked |= !rec.AlsoCalledBy.empty();
      blankedWithLines |= rec.Name.empty() && rec.Caller.empty() && !rec.Lines.empty();
      emptyOpenRecord |= rec.Name.empty() && rec.Lines.empty();
      repeatedLines |= rec.Lines.find(u',') != Text::npos;
      forEntry |= rec.Name == u"For";
      emptyCaller |= i > 1 && rec.Caller.empty() && !rec.Name.empty();
      for (const char16_t c : rec.Name) capitalName |= c >= u'A' && c <= u'Z' && rec.Name != u"For";
    }
    add("linked record", linked);
    bool linkedThroughLinked = false;
    for (std::size_t i = 1; i < r.records.size(); ++i) {
      const FunctionRecord& rec = r.records[i];
      if (rec.AlsoCalledBy.empty()) continue;
      for (std::size_t k = 1; k < r.records.size(); ++k) {
        linkedThroughLinked |= r.records[k].Caller == rec.AlsoCalledBy &&
                               r.records[k].Name == rec.Name && !r.records[k].AlsoCalledBy.empty();
      }
    }
    add("linked to a linked record", linkedThroughLinked);
    add("blanked record", blankedWithLines);
    add("number left an empty record", emptyOpenRecord);
    add("several line numbers", repeatedLines);
    add("name with capitals", capitalName);
    add("For entry", forEntry);
    add("record scanned from .m", emptyCaller);
  }
};

TEST(differential, IndexedEngineMatchesLiteralLoopsOnRandomProjects) {
  // KORVATH_DIFF_SEED and KORVATH_DIFF_COUNT rerun one failing project.
  constexpr int kDefaultCount = 500;
  const std::uint32_t firstSeed = static_cast<std::uint32_t>(EnvInt("KORVATH_DIFF_SEED", 7001));
  const int count = EnvInt("KORVATH_DIFF_COUNT", kDefaultCount);
  int failedProjects = 0;
  Coverage coverage;
  double indexedSeconds = 0;
  double literalSeconds = 0;
  for (int i = 0; i < count && failedProjects < 5; ++i) {
    const std::uint32_t seed = firstSeed + static_cast<std::uint32_t>(i);
    Generator generator(seed);
    const Project project = generator.Make();
    const int failuresBefore = FailureCount();
    const auto t0 = std::chrono::steady_clock::now();
    const RunResult indexed = RunProject(project, Engine::Indexed);
    const auto t1 = std::chrono::steady_clock::now();
    const RunResult literal = RunProject(project, Engine::Literal);
    const auto t2 = std::chrono::steady_clock::now();
    indexedSeconds += std::chrono::duration<double>(t1 - t0).count();
    literalSeconds += std::chrono::duration<double>(t2 - t1).count();
    {
      SCOPED_TRACE("seed " + std::to_string(seed));
      ExpectSameRun(indexed, literal);
      ExpectWellFormed(indexed, project);
    }
    coverage.Note(indexed, project);
    if (FailureCount() != failuresBefore) {
      ++failedProjects;
      ADD_FAILURE() << "project of seed " << seed
                    << " (rerun with KORVATH_DIFF_SEED=" << seed << " KORVATH_DIFF_COUNT=1):\n"
                    << Describe(project);
    }
  }
  std::printf("%d random projects: indexed %.1f s, literal %.1f s\n", count, indexedSeconds,
              literalSeconds);
  for (const auto& [what, n] : coverage.counts) std::printf("  %-30s %d\n", what.c_str(), n);
  if (count == kDefaultCount && firstSeed == 7001) {
    for (const auto& [what, n] : coverage.counts) {
      EXPECT_GT(n, 0) << "no random project reached: " << what;
    }
    EXPECT_GT(coverage.counts["tree built"], count / 2);
  }
}

}  // namespace
}  // namespace korvath
