// korvath-bench: the measurements behind `make bench`, printed as Markdown.
//
//   korvath-bench all BUILD_DIR [SECTION]...  every measurement (what `make bench`
//                                            runs), or only the sections named:
//                                            corpus, synthetic, literal, index,
//                                            lsp, graph, floor, memory, gui;
//                                            index-floor (the floor's listing
//                                            and index rows alone)
//   korvath-bench reach DIR                  every corpus file as the start, one
//                                            line each (how the starts were chosen)
//   korvath-bench repeat DIR START N         N in-process runs of one start, for
//                                            profiling
// DIR holds korvath.ini and is the current directory of the runs.
//
// Whole runs of korvath-tree are timed as child processes (wall clock around
// fork and wait, peak resident memory from wait4); the every-file sweep and
// the literal comparison run the engine in this process.

#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/callers_tree.h"
#include "engine/file_finder.h"
#include "engine/parse_driver.h"
#include "engine/program_index.h"
#include "engine/search_path.h"
#include "platform/host_file_system.h"
#include "platform/utf8.h"

#ifdef KORVATH_BENCH_LITERAL
#include "tests/oracle/literal_engine.h"
#endif

namespace fs = std::filesystem;
namespace engine = korvath::engine;
using korvath::Text;
using korvath::TextView;
using korvath::platform::FromUtf8;
using korvath::platform::Status;
using korvath::platform::ToUtf8;

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Least-squares slope of log(y) over log(x): the growth exponent.
double FitExponent(const std::vector<double>& x, const std::vector<double>& y) {
  const std::size_t n = std::min(x.size(), y.size());
  if (n < 2) return 0;
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double lx = std::log(x[i]);
    const double ly = std::log(std::max(y[i], 1e-9));
    sx += lx;
    sy += ly;
    sxx += lx * lx;
    sxy += lx * ly;
  }
  const auto count = static_cast<double>(n);
  return (count * sxy - sx * sy) / (count * sxx - sx * sx);
}

std::string Fixed(double v, int digits = 1) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", digits, v);
  return buf;
}

std::string Mb(long kb) { return Fixed(static_cast<double>(kb) / 1024.0, 1); }

// --- child processes -----------------------------------------------------------

struct ChildResult {
  int exitCode = -1;
  double wallMs = 0;
  long maxRssKb = 0;
  double cpuMs = 0;  // user + system
  std::string err;   // standard error, when captured
};

ChildResult RunChild(const std::vector<std::string>& args, bool captureStderr = true) {
  int pipeFds[2] = {-1, -1};
  if (captureStderr && pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    if (captureStderr) {
      dup2(pipeFds[1], STDERR_FILENO);
      close(pipeFds[0]);
      close(pipeFds[1]);
    } else {
      dup2(devNull, STDERR_FILENO);
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  ChildResult r;
  if (captureStderr) {
    close(pipeFds[1]);
    char buf[65536];
    for (;;) {
      const ssize_t n = read(pipeFds[0], buf, sizeof buf);
      if (n <= 0) break;
      r.err.append(buf, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  r.wallMs = MsSince(start);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.maxRssKb = usage.ru_maxrss;
  const auto ms = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
  };
  r.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
  return r;
}

// The "key: value" lines korvath-tree --stats prints.
std::map<std::string, double> ParseStats(const std::string& err) {
  std::map<std::string, double> out;
  std::istringstream in(err);
  std::string line;
  while (std::getline(in, line)) {
    const auto colon = line.find(": ");
    if (colon == std::string::npos || line.rfind("korvath-tree", 0) == 0) continue;
    char* end = nullptr;
    const std::string value = line.substr(colon + 2);
    const double v = std::strtod(value.c_str(), &end);
    if (end != value.c_str()) out[line.substr(0, colon)] = v;
  }
  return out;
}

// --- the machine -------------------------------------------------------------

std::string CpuModel() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("model name", 0) == 0) {
      const auto colon = line.find(':');
      if (colon != std::string::npos) return line.substr(colon + 2);
    }
  }
  return "unknown CPU";
}

int UsableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
  return static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
}

// --- the real corpus ---------------------------------------------------------

struct Corpus {
  fs::path root;                // .../octave/<version>/m
  std::vector<fs::path> dirs;   // search directories, sorted
  std::vector<fs::path> files;  // every .m file of the tree
  std::uintmax_t bytes = 0;
};

bool Excluded(const fs::path& dir, const fs::path& root) {
  for (const auto& part : fs::relative(dir, root)) {
    const std::string s = part.string();
    if (s == "private" || (!s.empty() && (s[0] == '@' || s[0] == '+'))) return true;
  }
  return false;
}

std::optional<Corpus> FindCorpus() {
  const fs::path base = "/usr/share/octave";
  std::error_code ec;
  if (!fs::is_directory(base, ec)) return std::nullopt;
  // Version folders only ("7.3.0", not "site"); the highest version wins.
  std::vector<std::pair<std::vector<int>, fs::path>> candidates;
  for (const auto& entry : fs::directory_iterator(base, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name[0] < '0' || name[0] > '9') continue;
    if (!fs::is_directory(entry.path() / "m")) continue;
    std::vector<int> version;
    std::istringstream parts(name);
    std::string part;
    while (std::getline(parts, part, '.')) version.push_back(std::atoi(part.c_str()));
    candidates.emplace_back(version, entry.path() / "m");
  }
  if (candidates.empty()) return std::nullopt;
  std::sort(candidates.begin(), candidates.end());
  Corpus c;
  c.root = candidates.back().second;
  std::vector<fs::path> all{c.root};
  for (const auto& entry : fs::recursive_directory_iterator(c.root)) {
    if (entry.is_directory()) all.push_back(entry.path());
    if (entry.is_regular_file() && entry.path().extension() == ".m") {
      c.files.push_back(entry.path());
      c.bytes += entry.file_size();
    }
  }
  std::sort(all.begin(), all.end());
  std::sort(c.files.begin(), c.files.end());
  for (const auto& dir : all) {
    if (Excluded(dir, c.root)) continue;
    bool hasM = false;
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.is_regular_file() && entry.path().extension() == ".m") {
        hasM = true;
        break;
      }
    }
    if (hasM) c.dirs.push_back(dir);
  }
  return c;
}

// The pathdef.m current MATLAB writes on Linux, and a korvath.ini naming it,
// in `work`, which is also the current directory of every run.
void WriteSearchPath(const fs::path& work, const std::vector<fs::path>& dirs) {
  fs::create_directories(work / "toolbox" / "local");
  std::ofstream p(work / "toolbox" / "local" / "pathdef.m");
  p << "function p = pathdef\n%PATHDEF Search path defaults.\n\np = [...\n"
       "%%% BEGIN ENTRIES %%%\n";
  for (const auto& d : dirs) p << "     '" << d.string() << ":', ...\n";
  p << "%%% END ENTRIES %%%\n     ...\n];\n";
  std::ofstream ini(work / "korvath.ini");
  ini << "Matlab Pathdef = " << (work / "toolbox" / "local" / "pathdef.m").string() << "\n";
}

// --- one start, as korvath-tree runs it --------------------------------------

struct StartFigures {
  std::string start;
  std::map<std::string, double> stats;  // medians of the json runs
  double resolveMs = 0;                 // search path + resolution, median
  double floorMs = 0;                   // cat of the scanned files, median
  double treeMs = 0;
  double jsonWriteMs = 0;
  double textWriteMs = 0;
  double jsonWallMs = 0;
  double textWallMs = 0;
  long peakKb = 0;
  bool budget = false;  // the tree hit the node budget
};

StartFigures MeasureStart(const std::string& tree, const fs::path& work, const std::string& start,
                          int runs) {
  StartFigures f;
  f.start = start;
  const ChildResult listing =
      RunChild({tree, "-C", work.string(), "--list-files", "--format", "json", start});
  std::vector<std::string> catArgs{"cat"};
  {
    std::istringstream in(listing.err);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line[0] == '/') catArgs.push_back(line);
    }
  }
  std::map<std::string, std::vector<double>> jsonStats;
  std::vector<double> resolve, floor, jsonWall, textWall, textWrite;
  for (int r = 0; r < runs; ++r) {
    const ChildResult json =
        RunChild({tree, "-C", work.string(), "--stats", "--format", "json", start});
    const auto s = ParseStats(json.err);
    for (const auto& [k, v] : s) jsonStats[k].push_back(v);
    resolve.push_back(s.at("search path ms") + s.at("resolution ms"));
    jsonWall.push_back(json.wallMs);
    f.peakKb = std::max(f.peakKb, json.maxRssKb);

    const ChildResult text =
        RunChild({tree, "-C", work.string(), "--stats", "--format", "text", start});
    const auto t = ParseStats(text.err);
    textWrite.push_back(t.at("write ms"));
    textWall.push_back(text.wallMs);
    f.peakKb = std::max(f.peakKb, text.maxRssKb);
    // With a tree, json carries the messages in its output; text prints them.
    f.budget = f.budget || text.err.find("too large") != std::string::npos;

    floor.push_back(catArgs.size() > 1 ? RunChild(catArgs, false).wallMs : 0.0);
  }
  for (const auto& [k, v] : jsonStats) f.stats[k] = Median(v);
  f.resolveMs = Median(resolve);
  f.floorMs = Median(floor);
  f.treeMs = f.stats["tree ms"];
  f.jsonWriteMs = f.stats["write ms"];
  f.textWriteMs = Median(textWrite);
  f.jsonWallMs = Median(jsonWall);
  f.textWallMs = Median(textWall);
  return f;
}

// --- in-process runs -------------------------------------------------------------

class NullMessages final : public engine::MessageSink {
 public:
  void ShowMessage(engine::MessageIcon, const Text& text) override { shown.push_back(text); }
  std::vector<Text> shown;
};

class CaptionLog final : public engine::ProgressSink {
 public:
  void Show() override {}
  void SetCaption(const Text& caption) override { captions.push_back(caption); }
  void Refresh() override {}
  void Close() override {}
  std::vector<Text> captions;
};

struct InProcessRun {
  Status status = Status::Ok;
  engine::RunStats stats;
  double wallMs = 0;
  bool budget = false;
};

InProcessRun RunEngine(const Text& pathdef, const std::string& start) {
  korvath::platform::HostFileSystem hostFs;
  engine::NullProgress progress;
  NullMessages messages;
  engine::CallTree tree;
  engine::RunServices services{hostFs, progress, messages, tree};
  const engine::RunInput input{pathdef, engine::EmptyDiscardTable(),
                               engine::WithMExtension(FromUtf8(start))};
  engine::RunOutput output;
  InProcessRun r;
  const auto t0 = Clock::now();
  r.status = engine::ParseAndBuild(input, services, output).status;
  r.wallMs = MsSince(t0);
  r.stats = std::move(output.stats);
  for (const Text& m : messages.shown) {
    if (m.find(u"too large") != Text::npos) r.budget = true;
  }
  return r;
}

struct SweepFigures {
  int starts = 0;
  int found = 0;
  int underBudget = 0;
  double resolveMs = 0;  // search path + resolution, all starts
  double wallMs = 0;     // whole runs, tree included
  int maxFiles = 0;
  double minFiles = 0;
  double medianFiles = 0;
  std::vector<std::pair<std::string, int>> smallWholeRuns;  // under budget, by files scanned
};

SweepFigures Sweep(const Corpus& corpus, const fs::path& work) {
  SweepFigures s;
  const Text pathdef = FromUtf8((work / "toolbox" / "local" / "pathdef.m").string());
  std::vector<double> files;
  for (const auto& file : corpus.files) {
    const InProcessRun r = RunEngine(pathdef, file.filename().string());
    ++s.starts;
    s.resolveMs += r.stats.searchPathMs + r.stats.resolutionMs;
    s.wallMs += r.wallMs;
    if (r.status != Status::Ok) continue;
    ++s.found;
    files.push_back(r.stats.filesScanned);
    s.maxFiles = std::max(s.maxFiles, r.stats.filesScanned);
    if (!r.budget) {
      ++s.underBudget;
      s.smallWholeRuns.emplace_back(file.stem().string(), r.stats.filesScanned);
    }
  }
  s.medianFiles = Median(files);
  s.minFiles = files.empty() ? 0 : *std::min_element(files.begin(), files.end());
  return s;
}

// --- synthetic projects ------------------------------------------------------------

struct GrowthRow {
  int files = 0;
  std::map<std::string, double> stats;
  double resolveMs = 0;
  double wallMs = 0;
  long peakKb = 0;
  std::uintmax_t projectBytes = 0;
};

std::uintmax_t TreeBytes(const fs::path& dir) {
  std::uintmax_t total = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.is_regular_file()) total += e.file_size();
  }
  return total;
}

GrowthRow MeasureSynthetic(const std::string& tree, const std::string& gen, const fs::path& dir,
                           int files, int runs) {
  GrowthRow row;
  row.files = files;
  const ChildResult made = RunChild({gen, dir.string(), std::to_string(files), "1"});
  if (made.exitCode != 0) throw std::runtime_error("korvath-genproject failed: " + made.err);
  row.projectBytes = TreeBytes(dir);
  std::map<std::string, std::vector<double>> stats;
  std::vector<double> resolve, wall;
  for (int r = 0; r < runs; ++r) {
    const ChildResult run =
        RunChild({tree, "-C", dir.string(), "--stats", "--format", "text", "f000000"});
    const auto s = ParseStats(run.err);
    for (const auto& [k, v] : s) stats[k].push_back(v);
    resolve.push_back(s.at("search path ms") + s.at("resolution ms"));
    wall.push_back(run.wallMs);
    row.peakKb = std::max(row.peakKb, run.maxRssKb);
  }
  for (const auto& [k, v] : stats) row.stats[k] = Median(v);
  row.resolveMs = Median(resolve);
  row.wallMs = Median(wall);
  return row;
}

// --- the program index -----------------------------------------------------------

struct IndexRow {
  std::string project;
  int programs = 0;
  std::uintmax_t bytes = 0;  // of the program files
  double freshMs = 0;        // a new index, median
  double floorMs = 0;        // cat of the program files, median
  double againMs = 0;        // a refresh with nothing changed, median
  std::string busiest;       // the function with the most callers
  int callersNodes = 0;      // in its callers tree
  double callersMs = 0;      // to build that tree, median
  long extraKb = 0;          // peak of --uncalled minus peak of --help
};

// Peak resident memory of a command, through /usr/bin/time: wait4 here would
// count this process's own size, copied into the child before its exec.
long PeakKb(std::vector<std::string> args) {
  args.insert(args.begin(), {"/usr/bin/time", "-f", "%M"});
  const ChildResult r = RunChild(args);
  const std::size_t last = r.err.find_last_not_of('\n');
  const std::size_t begin = r.err.find_last_of('\n', last);
  return std::atol(r.err.c_str() + (begin == std::string::npos ? 0 : begin + 1));
}

// `dir` holds korvath.ini and toolbox/local/pathdef.m and becomes current.
IndexRow MeasureIndex(const std::string& project, const std::string& tree, const fs::path& dir,
                      int runs) {
  fs::current_path(dir);
  korvath::platform::HostFileSystem host;
  std::vector<Text> dirs;
  const Text pathdef = FromUtf8((dir / "toolbox" / "local" / "pathdef.m").string());
  if (!engine::ReadSearchPath(pathdef, host, dirs)) throw std::runtime_error("no pathdef.m");
  engine::ProgramIndex kept;
  kept.Refresh(host, dirs);
  IndexRow row;
  row.project = project;
  row.programs = static_cast<int>(kept.Programs().size());
  std::vector<std::string> catArgs{"cat"};
  for (const auto& program : kept.Programs()) {
    catArgs.push_back(ToUtf8(program.path));
    row.bytes += fs::file_size(catArgs.back());
  }
  std::vector<double> fresh, floor, again;
  for (int r = 0; r < runs; ++r) {
    auto start = Clock::now();
    engine::ProgramIndex index;
    index.Refresh(host, dirs);
    fresh.push_back(MsSince(start));
    floor.push_back(RunChild(catArgs, false).wallMs);
    start = Clock::now();
    kept.Refresh(host, dirs);
    again.push_back(MsSince(start));
  }
  // The callers tree of the function most called, from the index kept.
  const auto& programs = kept.Programs();
  const auto busiest = std::max_element(
      programs.begin(), programs.end(),
      [](const auto& a, const auto& b) { return a.callers.size() < b.callers.size(); });
  std::vector<double> callers;
  for (int r = 0; r < runs && busiest != programs.end(); ++r) {
    struct Quiet final : engine::MessageSink {
      void ShowMessage(engine::MessageIcon, const Text&) override {}
      void FileUnreadable(const Text&, const korvath::platform::Result&) override {}
    } quiet;
    const auto start = Clock::now();
    engine::CallersTree callersTree;
    callersTree.Build(kept, static_cast<int>(busiest - programs.begin()),
                      engine::EmptyDiscardTable(), quiet);
    callers.push_back(MsSince(start));
    row.callersNodes = callersTree.Count();
  }
  if (busiest != programs.end()) row.busiest = ToUtf8(busiest->name);
  row.callersMs = callers.empty() ? 0 : Median(callers);
  row.freshMs = Median(fresh);
  row.floorMs = Median(floor);
  row.againMs = Median(again);
  row.extraKb = PeakKb({tree, "-C", dir.string(), "--uncalled"}) - PeakKb({tree, "--help"});
  return row;
}

// --- the call graph picture ------------------------------------------------------

struct GraphRow {
  std::string project;
  std::string start;
  int functions = 0;
  int calls = 0;
  double graphMs = 0;  // korvath-tree --format graph: the run and the DOT text, median
  double svgMs = 0;    // --format svg: the same laid out and drawn by Graphviz, median
  long svgPeakKb = 0;
};

// The graph's size, read from its DOT text: one line per node, one per call.
void CountGraph(const std::string& tree, const fs::path& dir, const std::string& start,
                GraphRow& row) {
  const std::string command =
      "'" + tree + "' -C '" + dir.string() + "' --format graph " + start + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("popen failed");
  char line[4096];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    const std::string text = line;
    if (text.find(" -> ") != std::string::npos) {
      ++row.calls;
    } else if (text.rfind("  f", 0) == 0) {
      ++row.functions;
    }
  }
  pclose(pipe);
}

GraphRow MeasureGraph(const std::string& project, const std::string& tree, const fs::path& dir,
                      const std::string& start, int runs) {
  GraphRow row;
  row.project = project;
  row.start = start;
  CountGraph(tree, dir, start, row);
  std::vector<double> graph, svg;
  // Pictures past korvath-tree's limits (400 functions, 2,000 calls) are
  // timed too: --max-graph lifts them.
  const std::vector<std::string> drawSvg = {tree,  "-C",          dir.string(), "--format",
                                            "svg", "--max-graph", "1000000",    start};
  for (int r = 0; r < runs; ++r) {
    graph.push_back(RunChild({tree, "-C", dir.string(), "--format", "graph", start}, false).wallMs);
    const ChildResult drawn = RunChild(drawSvg, false);
    if (drawn.exitCode != 0) throw std::runtime_error("--format svg failed for " + start);
    svg.push_back(drawn.wallMs);
  }
  row.svgPeakKb = PeakKb(drawSvg);
  row.graphMs = Median(graph);
  row.svgMs = Median(svg);
  return row;
}

#ifdef KORVATH_BENCH_LITERAL
struct LiteralRow {
  int files = 0;
  int records = 0;
  int nodes = 0;
  double literalMs = 0;
  double indexedMs = 0;
  bool identical = false;
};

struct Observed {
  Status status = Status::Ok;
  std::vector<engine::FunctionRecord> records;
  std::unordered_map<Text, Text> filePaths;
  std::vector<std::pair<int, Text>> nodes;  // parent and text of every node
  std::vector<Text> captions;
  std::vector<Text> messages;
  double ms = 0;
};

Observed Observe(const fs::path& dir, bool literal) {
  korvath::platform::HostFileSystem hostFs;
  if (const auto moved = hostFs.SetCurrentDirectory(FromUtf8(dir.string())); !moved) {
    throw std::runtime_error(dir.string() + ": " + moved.description);
  }
  CaptionLog progress;
  NullMessages messages;
  engine::CallTree tree;
  engine::RunServices services{hostFs, progress, messages, tree};
  const engine::RunInput input{FromUtf8((dir / "toolbox" / "local" / "pathdef.m").string()),
                               engine::EmptyDiscardTable(), u"f000000.m"};
  engine::RunOutput output;
  Observed o;
  const auto t0 = Clock::now();
  o.status = (literal ? korvath::literal::LiteralParseAndBuild(input, services, output)
                      : engine::ParseAndBuild(input, services, output))
                 .status;
  o.ms = MsSince(t0);
  o.records = std::move(output.records);
  o.filePaths = std::move(output.filePaths);
  for (int n = 1; n <= tree.Count(); ++n) {
    o.nodes.emplace_back(tree.Parent(n), tree.NodeText(n, o.records));
  }
  o.captions = std::move(progress.captions);
  o.messages = std::move(messages.shown);
  return o;
}

LiteralRow CompareLiteral(const std::string& gen, const fs::path& dir, int files) {
  LiteralRow row;
  row.files = files;
  const ChildResult made = RunChild({gen, dir.string(), std::to_string(files), "1"});
  if (made.exitCode != 0) throw std::runtime_error("korvath-genproject failed: " + made.err);
  const fs::path cwd = fs::current_path();
  const Observed literal = Observe(dir, true);
  std::vector<double> indexedMs;
  Observed indexed;
  for (int r = 0; r < 9; ++r) {
    indexed = Observe(dir, false);
    indexedMs.push_back(indexed.ms);
  }
  fs::current_path(cwd);
  row.records = static_cast<int>(literal.records.size()) - 1;
  row.nodes = static_cast<int>(literal.nodes.size());
  row.literalMs = literal.ms;
  row.indexedMs = Median(indexedMs);
  row.identical = literal.status == indexed.status && literal.records == indexed.records &&
                  literal.filePaths == indexed.filePaths && literal.nodes == indexed.nodes &&
                  literal.captions == indexed.captions && literal.messages == indexed.messages;
  return row;
}
#endif

// --- the report ------------------------------------------------------------------

// Starts of the real corpus, chosen by the reach the sweep measures (files
// scanned, records, passes): every start found on the path reaches the same
// component of 574 to 589 files, because the licence header of every file
// names `license` and `version`. From the smallest reach (inputname, 575
// files, 34,236 records) to the largest in files (polyint, 589), records
// (tetramesh, 42,037) and passes (__unimplemented__, 130,949).
const std::vector<std::string> kStarts = {
    "inputname", "copyobj", "gui_mainfcn", "open",    "print_usage",
    "publish",   "curl",    "tetramesh",   "polyint", "__unimplemented__",
};

struct Target {
  std::string what;
  std::string measured;
  bool met = false;
};

std::string MachineLine() {
  struct utsname uts {};
  uname(&uts);
  return CpuModel() + ", " + std::to_string(UsableCores()) + " cores usable (" + uts.sysname + " " +
         uts.release + ")";
}

// What every section needs: the programs it runs, a scratch folder removed
// at the end, and the targets it met or missed, printed last.
struct Bench {
  std::string tree;  // korvath-tree
  std::string gen;   // korvath-genproject
  std::string lsp;   // korvath-lsp
  fs::path tmp;
  std::vector<Target> targets;
};

// The ten starts of the corpus, each run as a process; from the corpus folder
// `work`, the current directory.
void CorpusStarts(Bench& bench, const fs::path& work) {
  const std::string& tree = bench.tree;
  std::fprintf(stderr, "korvath-bench: %zu starts of the corpus\n", kStarts.size());
  std::vector<StartFigures> figures;
  figures.reserve(kStarts.size());
  for (const auto& s : kStarts) figures.push_back(MeasureStart(tree, work, s, 5));

  std::printf("#### Real corpus, one start each (`korvath-tree` as a process, medians of 5)\n\n");
  std::printf(
      "| start | records | passes | files | MB read | resolve ms | floor ms"
      " | resolve/floor | nodes | tree ms | json write ms | text write ms"
      " | json run ms | text run ms | peak MB |\n");
  std::printf("|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|\n");
  double worstRatio = 0, worstResolve = 0, worstTree = 0, worstJson = 0, worstText = 0;
  long worstPeak = 0;
  for (const auto& f : figures) {
    const double ratio = f.floorMs > 0 ? f.resolveMs / f.floorMs : 0;
    std::printf(
        "| %s%s | %.0f | %.0f | %.0f | %s | %s | %s | %s | %.0f | %s | %s | %s | %s | %s"
        " | %s |\n",
        f.start.c_str(), f.budget ? " *" : "", f.stats.at("records"), f.stats.at("passes"),
        f.stats.at("files scanned"), Fixed(f.stats.at("bytes read") / 1e6, 2).c_str(),
        Fixed(f.resolveMs).c_str(), Fixed(f.floorMs).c_str(), Fixed(ratio, 2).c_str(),
        f.stats.at("tree nodes"), Fixed(f.treeMs).c_str(), Fixed(f.jsonWriteMs).c_str(),
        Fixed(f.textWriteMs).c_str(), Fixed(f.jsonWallMs).c_str(), Fixed(f.textWallMs).c_str(),
        Mb(f.peakKb).c_str());
    worstRatio = std::max(worstRatio, ratio);
    worstResolve = std::max(worstResolve, f.resolveMs);
    worstTree = std::max(worstTree, f.treeMs);
    worstJson = std::max(worstJson, f.jsonWriteMs);
    worstText = std::max(worstText, f.textWriteMs);
    worstPeak = std::max(worstPeak, f.peakKb);
  }
  std::printf(
      "\n\\* the tree reached the 1,000,000-node budget. \"resolve\": search-path and "
      "resolution phases (`--stats`); \"floor\": `cat` of exactly the files the run "
      "scanned, to /dev/null, timed as a process in the same loop; \"run\": the whole "
      "process, output to /dev/null.\n\n");
  std::fflush(stdout);

  std::vector<Target>& targets = bench.targets;
  targets.push_back({"resolve within 3x the read floor, every start", Fixed(worstRatio, 2) + "x",
                     worstRatio <= 3});
  targets.push_back(
      {"resolve under 100 ms, every start", Fixed(worstResolve) + " ms", worstResolve < 100});
  targets.push_back(
      {"1,000,000-node tree built under 300 ms", Fixed(worstTree) + " ms", worstTree < 300});
  targets.push_back({"json and text written under 700 ms",
                     Fixed(worstJson) + " / " + Fixed(worstText) + " ms",
                     worstJson < 700 && worstText < 700});
  targets.push_back(
      {"peak memory of a whole run under 400 MB", Mb(worstPeak) + " MB", worstPeak < 400L * 1024});
}

// Every file of the corpus as the start, in this process.
void CorpusSweep(Bench& bench, const Corpus& corpus, const fs::path& work) {
  std::fprintf(stderr, "korvath-bench: every file of the corpus as the start\n");
  const SweepFigures sweep = Sweep(corpus, work);
  std::printf("#### Every-file sweep (in one process, one core)\n\n");
  std::printf(
      "| starts | found on the path | under the budget | median files scanned "
      "| resolve s, all starts | starts/s, resolve | whole runs s | starts/s, whole |\n");
  std::printf("|--:|--:|--:|--:|--:|--:|--:|--:|\n");
  const double perSecond = sweep.starts / (sweep.resolveMs / 1000);
  std::printf("| %d | %d | %d | %.0f | %s | %s | %s | %s |\n\n", sweep.starts, sweep.found,
              sweep.underBudget, sweep.medianFiles, Fixed(sweep.resolveMs / 1000, 2).c_str(),
              Fixed(perSecond, 0).c_str(), Fixed(sweep.wallMs / 1000, 2).c_str(),
              Fixed(sweep.starts / (sweep.wallMs / 1000), 0).c_str());
  if (sweep.underBudget == 0) {
    std::printf(
        "No start found on the path stays under the budget (the smallest reach is "
        "%.0f files), so there are no whole-run figures without it.\n\n",
        sweep.minFiles);
  }
  std::fflush(stdout);

  bench.targets.push_back(
      {"sweep above 2,000 starts/s (resolve)", Fixed(perSecond, 0) + " /s", perSecond > 2000});
}

// False when there is no corpus: the bench cannot go on without it.
bool CorpusSection(Bench& bench) {
  const fs::path& tmp = bench.tmp;
  const auto corpus = FindCorpus();
  if (!corpus) {
    std::fprintf(stderr, "korvath-bench: no /usr/share/octave/<version>/m (octave-common)\n");
    return false;
  }
  const fs::path work = tmp / "corpus";
  WriteSearchPath(work, corpus->dirs);
  fs::current_path(work);
  std::printf("Corpus: `%s`, %zu `.m` files, %s MB; `pathdef.m` lists %zu directories.\n\n",
              corpus->root.string().c_str(), corpus->files.size(),
              Fixed(static_cast<double>(corpus->bytes) / 1e6, 1).c_str(), corpus->dirs.size());
  CorpusStarts(bench, work);
  CorpusSweep(bench, *corpus, work);
  return true;
}

// Generated projects of growing size, each start f000000 as a process.
void SyntheticSection(Bench& bench) {
  const std::string& tree = bench.tree;
  const std::string& gen = bench.gen;
  const fs::path& tmp = bench.tmp;
  std::vector<Target>& targets = bench.targets;
  std::fprintf(stderr, "korvath-bench: synthetic growth series\n");
  std::vector<GrowthRow> growth;
  for (const int n : {1000, 4000, 16000, 64000}) {
    const fs::path dir = tmp / ("synthetic-" + std::to_string(n));
    growth.push_back(MeasureSynthetic(tree, gen, dir, n, n >= 64000 ? 3 : 5));
    fs::remove_all(dir);
  }
  std::printf(
      "#### Synthetic growth (`korvath-genproject`, start f000000, `--format text`, "
      "medians of 5, 3 at 64,000)\n\n");
  std::printf(
      "| files | MB | records | passes | files scanned | resolve ms | tree ms "
      "| nodes | write ms | run ms | peak MB |\n");
  std::printf("|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|\n");
  std::vector<double> xs, wallYs, resolveYs;
  for (const auto& g : growth) {
    std::printf("| %d | %s | %.0f | %.0f | %.0f | %s | %s | %.0f | %s | %s | %s |\n", g.files,
                Fixed(static_cast<double>(g.projectBytes) / 1e6, 1).c_str(), g.stats.at("records"),
                g.stats.at("passes"), g.stats.at("files scanned"), Fixed(g.resolveMs).c_str(),
                Fixed(g.stats.at("tree ms")).c_str(), g.stats.at("tree nodes"),
                Fixed(g.stats.at("write ms")).c_str(), Fixed(g.wallMs).c_str(),
                Mb(g.peakKb).c_str());
    xs.push_back(g.files);
    wallYs.push_back(g.wallMs);
    resolveYs.push_back(g.resolveMs);
  }
  const double wallExponent = FitExponent(xs, wallYs);
  std::printf("\nGrowth exponent fitted over the series: whole run %s, resolve %s.\n\n",
              Fixed(wallExponent, 2).c_str(), Fixed(FitExponent(xs, resolveYs), 2).c_str());
  std::fflush(stdout);
  const GrowthRow& largest = growth.back();
  targets.push_back({"growth exponent at most 1.15", Fixed(wallExponent, 2), wallExponent <= 1.15});
  targets.push_back({"64,000 files under 3 s and 300 MB",
                     Fixed(largest.wallMs / 1000, 2) + " s, " + Mb(largest.peakKb) + " MB",
                     largest.wallMs < 3000 && largest.peakKb < 300L * 1024});
}

// The literal implementation against the engine, in this process.
void LiteralSection([[maybe_unused]] Bench& bench) {
#ifdef KORVATH_BENCH_LITERAL
  const std::string& gen = bench.gen;
  const fs::path& tmp = bench.tmp;
  std::vector<Target>& targets = bench.targets;
  std::fprintf(stderr, "korvath-bench: literal against indexed\n");
  std::vector<LiteralRow> lit;
  for (const int n : {100, 200, 400}) {
    const fs::path dir = tmp / ("literal-" + std::to_string(n));
    lit.push_back(CompareLiteral(gen, dir, n));
    fs::remove_all(dir);
  }
  std::printf(
      "#### Literal loops against the indexed engine (in process, start f000000; "
      "indexed: median of 9)\n\n");
  std::printf(
      "| files | records | nodes | literal ms | indexed ms | ratio | same tree, table, "
      "captions, messages |\n");
  std::printf("|--:|--:|--:|--:|--:|--:|---|\n");
  std::vector<double> lx, litY, idxY;
  for (const auto& r : lit) {
    std::printf("| %d | %d | %d | %s | %s | %s | %s |\n", r.files, r.records, r.nodes,
                Fixed(r.literalMs).c_str(), Fixed(r.indexedMs, 2).c_str(),
                Fixed(r.literalMs / r.indexedMs, 0).c_str(), r.identical ? "yes" : "NO");
    lx.push_back(r.files);
    litY.push_back(r.literalMs);
    idxY.push_back(r.indexedMs);
  }
  std::printf("\nExponents fitted over the three sizes: literal %s, indexed %s.\n\n",
              Fixed(FitExponent(lx, litY), 2).c_str(), Fixed(FitExponent(lx, idxY), 2).c_str());
  const LiteralRow& at400 = lit.back();
  const double ratio = at400.literalMs / at400.indexedMs;
  targets.push_back({"indexed 1,000x faster than literal at 400 files, same results",
                     Fixed(ratio, 0) + "x, " + (at400.identical ? "same" : "DIFFERENT"),
                     ratio >= 1000 && at400.identical});
#else
  std::printf(
      "#### Literal loops against the indexed engine\n\nNot built: the literal "
      "implementation comes with the tests (KORVATH_BUILD_TESTS=ON).\n\n");
#endif
}

// The program index of the corpus and of a generated project, in this process.
void IndexSection(Bench& bench) {
  const std::string& tree = bench.tree;
  const std::string& gen = bench.gen;
  const fs::path& tmp = bench.tmp;
  std::vector<Target>& targets = bench.targets;
  std::fprintf(stderr, "korvath-bench: program index\n");
  std::vector<IndexRow> rows;
  if (const auto corpus = FindCorpus()) {
    const fs::path work = tmp / "index-corpus";
    WriteSearchPath(work, corpus->dirs);
    rows.push_back(MeasureIndex("Octave corpus", tree, work, 7));
  }
  const fs::path synthetic = tmp / "index-synthetic";
  const ChildResult made = RunChild({gen, synthetic.string(), "3400", "1"});
  if (made.exitCode != 0) throw std::runtime_error("korvath-genproject failed: " + made.err);
  rows.push_back(MeasureIndex("generated, 3,400 files", tree, synthetic, 7));
  std::printf("#### Program index (in process, medians of 7; `cat` floor in the same loop)\n\n");
  std::printf(
      "| project | program files | MB | new index ms | floor ms | index/floor"
      " | refresh, nothing changed, ms | callers tree | its nodes | its ms"
      " | `--uncalled` peak - `--help` peak, MB | that / source size |\n");
  std::printf("|---|--:|--:|--:|--:|--:|--:|---|--:|--:|--:|--:|\n");
  for (const auto& r : rows) {
    const double mb = static_cast<double>(r.bytes) / 1e6;
    const double memoryRatio =
        static_cast<double>(r.extraKb) * 1024.0 / static_cast<double>(r.bytes);
    std::printf("| %s | %d | %s | %s | %s | %s | %s | %s | %d | %s | %s | %s |\n",
                r.project.c_str(), r.programs, Fixed(mb, 1).c_str(), Fixed(r.freshMs).c_str(),
                Fixed(r.floorMs).c_str(), Fixed(r.freshMs / r.floorMs, 2).c_str(),
                Fixed(r.againMs).c_str(), r.busiest.c_str(), r.callersNodes,
                Fixed(r.callersMs, 2).c_str(), Mb(r.extraKb).c_str(),
                Fixed(memoryRatio, 2).c_str());
    targets.push_back(
        {"index of the " + r.project + " under 300 ms", Fixed(r.freshMs) + " ms", r.freshMs < 300});
    targets.push_back({"callers tree of the " + r.project + "'s busiest function under 20 ms",
                       Fixed(r.callersMs, 2) + " ms", r.callersMs < 20});
    targets.push_back({"index memory of the " + r.project + " at most 3x its sources",
                       Fixed(memoryRatio, 2) + "x", memoryRatio <= 3});
  }
  std::printf("\n");
  fs::remove_all(synthetic);
}

// --- the language server -----------------------------------------------------

// korvath-lsp as a child over two pipes, spoken to in framed JSON; its
// standard error goes to /dev/null.
class LspChild {
 public:
  LspChild(const std::string& program, const fs::path& folder) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      dup2(in[0], STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      const int devNull = open("/dev/null", O_WRONLY);
      dup2(devNull, STDERR_FILENO);
      close(in[0]);
      close(in[1]);
      close(out[0]);
      close(out[1]);
      if (chdir(folder.c_str()) != 0) _exit(127);
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_ = in[1];
    from_ = out[0];
  }
  LspChild(const LspChild&) = delete;
  LspChild& operator=(const LspChild&) = delete;
  ~LspChild() {
    close(to_);
    close(from_);
    int status = 0;
    waitpid(pid_, &status, 0);
  }

  void Send(const std::string& body) {
    const std::string message =
        "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    for (std::size_t at = 0; at < message.size();) {
      const ssize_t n = write(to_, message.data() + at, message.size() - at);
      if (n <= 0) throw std::runtime_error("korvath-lsp stopped reading");
      at += static_cast<std::size_t>(n);
    }
  }
  // The reply to request `id`: notifications and the server's own requests
  // before it are passed over. Replies are written with their keys in order,
  // "id" first.
  std::string Await(int id) {
    const std::string head = "{\"id\":" + std::to_string(id) + ",";
    for (;;) {
      std::string body = Next();
      if (body.rfind(head, 0) == 0) return body;
    }
  }

 private:
  std::string Next() {
    std::size_t end;
    while ((end = buffer_.find("\r\n\r\n")) == std::string::npos) Fill();
    const std::size_t length = std::strtoul(
        buffer_.c_str() + buffer_.find("Content-Length:") + std::strlen("Content-Length:"), nullptr,
        10);
    while (buffer_.size() < end + 4 + length) Fill();
    std::string body = buffer_.substr(end + 4, length);
    buffer_.erase(0, end + 4 + length);
    return body;
  }
  void Fill() {
    char chunk[65536];
    const ssize_t n = read(from_, chunk, sizeof chunk);
    if (n <= 0) throw std::runtime_error("korvath-lsp ended early");
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }

  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
  std::string buffer_;
};

struct LspRow {
  double firstMs = 0;    // initialize to the first answer, the index built between
  double answerMs = 0;   // a later answer
  double refreshMs = 0;  // a one-file change (didChange) to the answer after it
  double watchedMs = 0;  // a file written, the watcher's report, the answer after it
};

std::string FileUri(const fs::path& path) { return "file://" + path.string(); }

// Each round a new server: initialize, then the incoming calls of `file`
// asked `answers` times, then the file changed in the editor (a line added
// at its end, the overlay giving it a new stamp) and asked again each time.
LspRow MeasureLsp(const std::string& lsp, const fs::path& folder, const fs::path& file, int rounds,
                  int answers) {
  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string escaped;
  for (const char c : text) {
    if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\r' || c == '\t') {
      escaped += ' ';
    } else if (c == '"' || c == '\\') {
      escaped += std::string("\\") + c;
    } else {
      escaped += c;
    }
  }
  const std::string uri = FileUri(file);
  const std::string incoming =
      R"(,"method":"callHierarchy/incomingCalls","params":{"item":{"uri":")" + uri +
      R"(","name":")" + file.stem().string() + R"("}}})";
  std::vector<double> first, answer, refresh, watched;
  LspRow row;
  int id = 0;
  for (int r = 0; r < rounds; ++r) {
    LspChild server(lsp, folder);
    auto start = Clock::now();
    server.Send(R"({"jsonrpc":"2.0","id":)" + std::to_string(++id) +
                R"(,"method":"initialize","params":{"processId":null,"rootUri":")" +
                FileUri(folder) + R"(","capabilities":{}}})");
    server.Await(id);
    server.Send(R"({"jsonrpc":"2.0","method":"initialized","params":{}})");
    server.Send(R"({"jsonrpc":"2.0","id":)" + std::to_string(++id) + incoming);
    server.Await(id);
    first.push_back(MsSince(start));
    server.Send(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":)"
                R"({"uri":")" +
                uri + R"(","languageId":"matlab","version":1,"text":")" + escaped + R"("}}})");
    for (int a = 0; a < answers; ++a) {
      start = Clock::now();
      server.Send(R"({"jsonrpc":"2.0","id":)" + std::to_string(++id) + incoming);
      server.Await(id);
      answer.push_back(MsSince(start));
    }
    // Another file of the project written on disk, its change reported as
    // a watcher reports it.
    const fs::path other = file.parent_path() / "f001701.m";
    std::string otherText;
    {
      std::ifstream otherIn(other, std::ios::binary);
      otherText.assign(std::istreambuf_iterator<char>(otherIn), std::istreambuf_iterator<char>());
    }
    for (int a = 0; a < answers; ++a) {
      start = Clock::now();
      std::ofstream(other, std::ios::binary) << otherText << "x" << a << " = f001700(1);\n";
      server.Send(R"({"jsonrpc":"2.0","method":"workspace/didChangeWatchedFiles","params":)"
                  R"({"changes":[{"uri":")" +
                  FileUri(other) + R"(","type":2}]}})");
      server.Send(R"({"jsonrpc":"2.0","id":)" + std::to_string(++id) + incoming);
      server.Await(id);
      watched.push_back(MsSince(start));
    }
    std::ofstream(other, std::ios::binary) << otherText;
    for (int a = 0; a < answers; ++a) {
      start = Clock::now();
      server.Send(R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":)"
                  R"({"textDocument":{"uri":")" +
                  uri + R"(","version":)" + std::to_string(a + 2) +
                  R"(},"contentChanges":[{"text":")" + escaped + "x" + std::to_string(a) +
                  R"( = f003399(1);\n"}]}})");
      server.Send(R"({"jsonrpc":"2.0","id":)" + std::to_string(++id) + incoming);
      server.Await(id);
      refresh.push_back(MsSince(start));
    }
    server.Send(R"({"jsonrpc":"2.0","id":)" + std::to_string(++id) +
                R"(,"method":"shutdown","params":null})");
    server.Await(id);
    server.Send(R"({"jsonrpc":"2.0","method":"exit","params":null})");
  }
  row.firstMs = Median(first);
  row.answerMs = Median(answer);
  row.refreshMs = Median(refresh);
  row.watchedMs = Median(watched);
  return row;
}

// The three figures of the language server on a generated 3,400-file project.
void LspSection(Bench& bench) {
  if (!fs::exists(bench.lsp)) {
    std::printf("#### Language server\n\nNot built: %s is missing.\n\n", bench.lsp.c_str());
    return;
  }
  std::fprintf(stderr, "korvath-bench: language server\n");
  const fs::path project = bench.tmp / "lsp-synthetic";
  const ChildResult made = RunChild({bench.gen, project.string(), "3400", "1"});
  if (made.exitCode != 0) throw std::runtime_error("korvath-genproject failed: " + made.err);
  // A function in the middle: called by some, calling some.
  const LspRow row = MeasureLsp(bench.lsp, project, project / "src" / "d0017" / "f001700.m", 5, 20);
  std::printf(
      "#### Language server (`korvath-lsp` as a process over pipes, generated 3,400 files; "
      "medians of 5 servers, 20 answers each)\n\n");
  std::printf(
      "| first answer after `initialize` ms | later answer ms | one-file edit and answer ms | "
      "one file written, reported by the watcher, and answer ms |\n"
      "|--:|--:|--:|--:|\n| %s | %s | %s | %s |\n\n",
      Fixed(row.firstMs).c_str(), Fixed(row.answerMs, 2).c_str(), Fixed(row.refreshMs, 2).c_str(),
      Fixed(row.watchedMs, 2).c_str());
  bench.targets.push_back(
      {"language server: first answer after initialize on 3,400 files under "
       "300 ms",
       Fixed(row.firstMs) + " ms", row.firstMs < 300});
  bench.targets.push_back({"language server: a later answer under 20 ms",
                           Fixed(row.answerMs, 2) + " ms", row.answerMs < 20});
  bench.targets.push_back(
      {"language server: a one-file change and the answer after it at most "
       "20 ms",
       Fixed(row.refreshMs, 2) + " ms", row.refreshMs <= 20});
  bench.targets.push_back(
      {"language server: a one-file change a watcher reports and the answer after it at most "
       "20 ms",
       Fixed(row.watchedMs, 2) + " ms", row.watchedMs <= 20});
  fs::remove_all(project);
}

// Call graph pictures of generated projects and the corpus, as processes.
void GraphSection(Bench& bench) {
  const std::string& tree = bench.tree;
  const std::string& gen = bench.gen;
  const fs::path& tmp = bench.tmp;
  std::vector<Target>& targets = bench.targets;
  std::fprintf(stderr, "korvath-bench: call graph pictures\n");
  std::vector<GraphRow> rows;
  // Sparse: each file calls 1 to 4 others, like the 300-function programs
  // the picture is for; dense: the 5 to 15 of the other measurements.
  const fs::path sparse = tmp / "graph-sparse", dense = tmp / "graph-dense";
  for (const auto& [dir, calls] : {std::pair{sparse, "4"}, std::pair{dense, "15"}}) {
    const ChildResult made = RunChild({gen, dir.string(), "3400", "1", calls});
    if (made.exitCode != 0) throw std::runtime_error("korvath-genproject failed: " + made.err);
  }
  for (const char* start : {"f001200", "f001450"}) {
    rows.push_back(MeasureGraph("generated, 1-4 calls a file", tree, sparse, start, 5));
  }
  rows.push_back(MeasureGraph("generated, 5-15 calls a file", tree, dense, "f003000", 5));
  if (const auto corpus = FindCorpus()) {
    const fs::path work = tmp / "graph-corpus";
    WriteSearchPath(work, corpus->dirs);
    for (const char* start : {"inputname", "strjoin"}) {
      rows.push_back(MeasureGraph("Octave corpus", tree, work, start, 5));
    }
  }
  std::printf("#### Call graph pictures (`korvath-tree` as a process, medians of 5)\n\n");
  std::printf(
      "| project | start | functions | calls | `--format graph` ms | `--format svg` ms"
      " | layout and drawing ms | svg peak MB |\n|---|---|--:|--:|--:|--:|--:|--:|\n");
  for (const auto& r : rows) {
    std::printf("| %s | %s | %d | %d | %s | %s | %s | %s |\n", r.project.c_str(), r.start.c_str(),
                r.functions, r.calls, Fixed(r.graphMs).c_str(), Fixed(r.svgMs).c_str(),
                Fixed(r.svgMs - r.graphMs).c_str(), Mb(r.svgPeakKb).c_str());
    if (r.functions >= 250 && r.functions <= 400 && r.calls <= 1000) {
      targets.push_back({"graph of " + std::to_string(r.functions) + " functions and " +
                             std::to_string(r.calls) + " calls laid out under 1 s",
                         Fixed(r.svgMs - r.graphMs) + " ms", r.svgMs - r.graphMs < 1000});
    }
  }
  std::printf("\n");
  fs::remove_all(sparse);
  fs::remove_all(dense);
}

// The desktop program's Expand all and Collapse all on the corpus's largest
// tree, in korvath-bench-gui (built with Qt only) as a process.
void GuiSection(Bench& bench, const fs::path& buildDir) {
  const fs::path program = buildDir / "bench" / "korvath-bench-gui";
  const auto corpus = FindCorpus();
  if (!fs::exists(program) || !corpus) {
    std::fprintf(stderr, "korvath-bench: no desktop program or no corpus, no gui section\n");
    return;
  }
  std::fprintf(stderr, "korvath-bench: desktop program\n");
  const fs::path work = bench.tmp / "gui-corpus";
  WriteSearchPath(work, corpus->dirs);
  const std::string start = "inputname";
  const fs::path out = bench.tmp / "gui-bench.txt";
  const std::string command =
      "'" + program.string() + "' '" + work.string() + "' " + start + " 5 > '" + out.string() + "'";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("korvath-bench-gui failed");
  std::ifstream in(out);
  std::string word;
  int nodes = 0;
  std::vector<double> expand, collapse;
  while (in >> word) {
    double value = 0;
    in >> value;
    if (word == "nodes") nodes = static_cast<int>(value);
    if (word == "expand") expand.push_back(value);
    if (word == "collapse") collapse.push_back(value);
  }
  const double expandMs = Median(expand), collapseMs = Median(collapse);
  std::printf("#### Desktop program, main window (offscreen, medians of %zu)\n\n", expand.size());
  std::printf("| start | nodes | Expand all ms | Collapse all ms |\n|---|--:|--:|--:|\n");
  std::printf("| %s | %d | %s | %s |\n\n", start.c_str(), nodes, Fixed(expandMs).c_str(),
              Fixed(collapseMs).c_str());
  const std::string tree = "tree of " + std::to_string(nodes) + " nodes";
  bench.targets.push_back(
      {"Expand all on a " + tree + " under 1 s", Fixed(expandMs) + " ms", expandMs < 1000});
  bench.targets.push_back(
      {"Collapse all on a " + tree + " under 1 s", Fixed(collapseMs) + " ms", collapseMs < 1000});
}

void PrintTargets(const std::vector<Target>& targets) {
  if (targets.empty()) return;
  std::printf("#### Targets\n\n| target | measured | met |\n|---|---|---|\n");
  for (const auto& t : targets) {
    std::printf("| %s | %s | %s |\n", t.what.c_str(), t.measured.c_str(), t.met ? "yes" : "no");
  }
  std::printf("\n");
}

// The explorer opened on the corpus's tree cut at 190,000 nodes, in
// korvath-bench-explorer (built with Qt only), a new process per sample, as
// only a first opening prepares the trees.
void ExplorerSection(Bench& bench, const fs::path& buildDir) {
  const fs::path program = buildDir / "bench" / "korvath-bench-explorer";
  const auto corpus = FindCorpus();
  if (!fs::exists(program) || !corpus) {
    std::fprintf(stderr, "korvath-bench: no desktop program or no corpus, no explorer figures\n");
    return;
  }
  std::fprintf(stderr, "korvath-bench: the explorer opened\n");
  const fs::path work = bench.tmp / "explorer-corpus";
  WriteSearchPath(work, corpus->dirs);
  const std::string start = "inputname";
  const int budget = 190000;
  const fs::path out = bench.tmp / "explorer-bench.txt";
  constexpr int kSamples = 5;
  int nodes = 0;
  std::vector<double> painted, ready, paintedCpu;
  for (int i = 0; i < kSamples; ++i) {
    const std::string command = "'" + program.string() + "' '" + work.string() + "' " + start +
                                " " + std::to_string(budget) + " > '" + out.string() + "'";
    if (std::system(command.c_str()) != 0)
      throw std::runtime_error("korvath-bench-explorer failed");
    std::ifstream in(out);
    std::string word;
    double value = 0;
    while (in >> word >> value) {
      if (word == "nodes") nodes = static_cast<int>(value);
      if (word == "painted") painted.push_back(value);
      if (word == "ready") ready.push_back(value);
      if (word == "painted-cpu") paintedCpu.push_back(value);
    }
  }
  const double paintedMs = Median(painted);
  std::printf("#### Desktop program, the explorer opened (offscreen, medians of %d)\n\n", kSamples);
  std::printf(
      "| start | nodes | painted ms | UI thread CPU until painted ms | trees prepared ms |\n"
      "|---|--:|--:|--:|--:|\n");
  std::printf("| %s | %d | %s | %s | %s |\n\n", start.c_str(), nodes, Fixed(paintedMs).c_str(),
              Fixed(Median(paintedCpu)).c_str(), Fixed(Median(ready)).c_str());
  bench.targets.push_back(
      {"The explorer painted within 200 ms on a tree of " + std::to_string(nodes) + " nodes",
       Fixed(paintedMs) + " ms", paintedMs < 200});
}

// --- the floor: paired CPU time against cat and ls ---------------------------------

// Standard output of a child, its standard error to /dev/null.
std::string CaptureStdout(const std::vector<std::string>& args) {
  int pipeFds[2] = {-1, -1};
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(pipeFds[1], STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  std::string out;
  char buf[65536];
  for (;;) {
    const ssize_t n = read(pipeFds[0], buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return out;
}

// Medians of the CPU time (user + system) of two commands run in turn, and
// of the ratio within each pair: the order alternates, so neither gains from
// the other warming the cache, and a disturbance moves one ratio, not the
// median.
struct Paired {
  double runMs = 0;
  double floorMs = 0;
  double ratio = 0;
  double runWallMs = 0;  // wall time beside it: the run may use both cores
  double floorWallMs = 0;
};

Paired PairedCpu(const std::vector<std::string>& run, const std::vector<std::string>& floor,
                 int pairs) {
  RunChild(run, false);  // warm the page cache for both
  RunChild(floor, false);
  std::vector<double> runMs, floorMs, ratios, runWall, floorWall;
  for (int i = 0; i < pairs; ++i) {
    ChildResult a, b;
    if (i % 2 == 0) {
      a = RunChild(run, false);
      b = RunChild(floor, false);
    } else {
      b = RunChild(floor, false);
      a = RunChild(run, false);
    }
    runMs.push_back(a.cpuMs);
    floorMs.push_back(b.cpuMs);
    ratios.push_back(a.cpuMs / std::max(b.cpuMs, 1e-3));
    runWall.push_back(a.wallMs);
    floorWall.push_back(b.wallMs);
  }
  return {Median(runMs), Median(floorMs), Median(ratios), Median(runWall), Median(floorWall)};
}

int PairsFromEnvironment(const char* name, int fallback) {
  const char* value = std::getenv(name);
  const int n = value != nullptr ? std::atoi(value) : 0;
  return n > 0 ? n : fallback;
}

// Below `root`, the folders a search path of it would list: those holding .m
// files, except private, class and package folders, sorted.
std::vector<fs::path> SearchFolders(const fs::path& root) {
  std::vector<fs::path> all{root}, dirs;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_directory()) all.push_back(entry.path());
  }
  std::sort(all.begin(), all.end());
  for (const auto& dir : all) {
    if (Excluded(dir, root)) continue;
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.is_regular_file() && entry.path().extension() == ".m") {
        dirs.push_back(dir);
        break;
      }
    }
  }
  return dirs;
}

struct FloorCorpus {
  std::string name;
  fs::path work;  // korvath.ini and toolbox/local/pathdef.m
  std::vector<std::string> starts;
};

struct FloorRow {
  std::string corpus, start, mode;
  int files = 0;
  Paired resolve;  // --format files against cat of that list
  Paired whole;    // --format text against the same cat
  bool budget = false;
};

FloorRow MeasureFloor(const std::string& tree, const FloorCorpus& corpus, const std::string& start,
                      bool matlab, int pairs) {
  FloorRow row;
  row.corpus = corpus.name;
  row.start = start;
  row.mode = matlab ? "matlab" : "path";
  std::vector<std::string> base{tree, "-C", corpus.work.string()};
  if (matlab) base.insert(base.end(), {"--resolve", "matlab"});
  std::vector<std::string> files = base, text = base;
  files.insert(files.end(), {"--format", "files", start});
  text.insert(text.end(), {"--format", "text", start});
  std::vector<std::string> cat{"cat"};
  std::istringstream listed(CaptureStdout(files));
  for (std::string line; std::getline(listed, line);) {
    if (!line.empty()) cat.push_back(line);
  }
  row.files = static_cast<int>(cat.size()) - 1;
  if (row.files == 0) return row;
  row.budget = RunChild(text).err.find("too large") != std::string::npos;
  row.resolve = PairedCpu(files, cat, pairs);
  row.whole = PairedCpu(text, cat, pairs);
  return row;
}

// The corpora of the floor table: a generated project, Octave's library, and
// the Octave Forge packages and matlab2tikz Debian installs (bench extras),
// each package on a path with Octave's library after it, as its users have it.
std::vector<FloorCorpus> FloorCorpora(const Bench& bench) {
  std::vector<FloorCorpus> corpora;
  const fs::path generated = bench.tmp / "floor-generated";
  const ChildResult made = RunChild({bench.gen, generated.string(), "3400", "1"});
  if (made.exitCode != 0) throw std::runtime_error("korvath-genproject failed: " + made.err);
  corpora.push_back({"generated 3,400", generated, {"f000000", "f001700", "f003000"}});
  const auto octave = FindCorpus();
  if (!octave) return corpora;
  const fs::path octaveWork = bench.tmp / "floor-octave";
  WriteSearchPath(octaveWork, octave->dirs);
  corpora.push_back({"Octave " + octave->root.parent_path().filename().string(),
                     octaveWork,
                     {"inputname", "strjoin", "publish", "tetramesh", "polyint"}});
  const struct {
    const char* name;
    std::vector<std::string> prefixes;  // folders below the roots
    std::vector<std::string> starts;
  } packages[] = {
      {"octave-signal", {"signal-"}, {"butter", "filtfilt", "pwelch"}},
      {"octave-control", {"control-"}, {"lqr", "bode", "step"}},
      {"octave-statistics", {"statistics-"}, {"kmeans", "regress", "anova1"}},
      {"octave-geometry", {"geometry-", "matgeom-"}, {"clipPolygon", "drawPolygon", "polygonArea"}},
      {"matlab2tikz", {"matlab2tikz"}, {"matlab2tikz", "cleanfigure"}},
  };
  for (const auto& package : packages) {
    std::vector<fs::path> dirs;
    for (const fs::path& root : {fs::path("/usr/share/octave/packages"), fs::path("/usr/share")}) {
      std::error_code ec;
      for (const auto& entry : fs::directory_iterator(root, ec)) {
        const std::string name = entry.path().filename().string();
        for (const std::string& prefix : package.prefixes) {
          if (name.rfind(prefix, 0) == 0 && entry.is_directory()) {
            const auto found = SearchFolders(entry.path());
            dirs.insert(dirs.end(), found.begin(), found.end());
          }
        }
      }
    }
    if (dirs.empty()) {
      std::fprintf(stderr, "korvath-bench: %s not installed (KORVATH_DEPS=bench)\n", package.name);
      continue;
    }
    dirs.insert(dirs.end(), octave->dirs.begin(), octave->dirs.end());
    const fs::path work = bench.tmp / (std::string("floor-") + package.name);
    WriteSearchPath(work, dirs);
    corpora.push_back({package.name, work, package.starts});
  }
  return corpora;
}

struct ListingRow {
  int files = 0;
  int folders = 0;
  Paired start;  // a start reaching 10 files against ls -f of the path's folders
};

// A start that reaches ten files (the generated functions call only higher
// numbers) on the generated path `dir` of `files` files, against one ls -f
// of its folders.
ListingRow MeasureListing(const Bench& bench, const fs::path& dir, int files, int pairs) {
  ListingRow row;
  row.files = files;
  std::vector<std::string> ls{"ls", "-f"};
  for (const auto& entry : fs::directory_iterator(dir / "src")) ls.push_back(entry.path().string());
  std::sort(ls.begin() + 2, ls.end());
  row.folders = static_cast<int>(ls.size()) - 2;
  char start[16];
  std::snprintf(start, sizeof start, "f%06d", files - 10);
  row.start = PairedCpu({bench.tree, "-C", dir.string(), "--format", "files", start}, ls, pairs);
  return row;
}

struct IndexFloorRow {
  std::string corpus;
  int programs = 0;
  Paired index;  // --uncalled against cat of the program files
};

// The program index as a process (`--uncalled` builds it and lists from it)
// against cat of exactly its program files: the files a search for their own
// name finds, listed by the engine's file finder. Through xargs, as a path of
// many files is more than one command line holds; wait4 counts the cat
// processes xargs waited for.
IndexFloorRow MeasureIndexFloor(const Bench& bench, const std::string& name, const fs::path& dir,
                                int pairs) {
  korvath::platform::HostFileSystem host;
  std::vector<Text> dirs;
  const Text pathdef = FromUtf8((dir / "toolbox" / "local" / "pathdef.m").string());
  if (!engine::ReadSearchPath(pathdef, host, dirs)) throw std::runtime_error("no pathdef.m");
  IndexFloorRow row;
  row.corpus = name;
  const fs::path list = dir / "program-files.txt";
  {
    std::ofstream out(list);
    engine::FileFinder finder(host, dirs);
    finder.ForEachFile([&](std::size_t d, std::string_view file) {
      out << ToUtf8(host.JoinPath(dirs[d], korvath::platform::FileNameText(file))) << '\n';
      ++row.programs;
    });
  }
  row.index = PairedCpu({bench.tree, "-C", dir.string(), "--uncalled"},
                        {"xargs", "-a", list.string(), "-d", "\n", "cat"}, pairs);
  return row;
}

// Start-up, and each start's resolve phase and whole run against cat of its
// files.
void FloorStarts(Bench& bench, const std::vector<FloorCorpus>& corpora, int pairs) {
  // Start-up: a start that is not there, in a folder with no settings.
  const fs::path empty = bench.tmp / "floor-empty", config = bench.tmp / "floor-config";
  fs::create_directories(empty);
  fs::create_directories(config);
  { const std::ofstream emptyFile(empty / "empty"); }
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  const int startupPairs = PairsFromEnvironment("KORVATH_BENCH_STARTUP_PAIRS", 201);
  const Paired startup = PairedCpu({bench.tree, "-C", empty.string(), "nosuch"},
                                   {"cat", (empty / "empty").string()}, startupPairs);
  std::printf(
      "Start-up (a missing start in an empty folder, against `cat` of an empty file, %d pairs): "
      "%s ms against %s ms, paired ratio **%s**.\n\n",
      startupPairs, Fixed(startup.runMs, 2).c_str(), Fixed(startup.floorMs, 2).c_str(),
      Fixed(startup.ratio, 2).c_str());
  bench.targets.push_back({"start-up within 1.3x cat of an empty file",
                           Fixed(startup.ratio, 2) + "x", startup.ratio <= 1.3});
  std::fflush(stdout);

  // Each start: its resolve phase (--format files) and its whole run (text)
  // against cat of the files it reads.
  std::vector<FloorRow> rows;
  for (const FloorCorpus& corpus : corpora) {
    for (const std::string& start : corpus.starts) {
      for (const bool matlab : {false, true}) {
        std::fprintf(stderr, "korvath-bench: floor of %s %s%s\n", corpus.name.c_str(),
                     start.c_str(), matlab ? " (matlab)" : "");
        rows.push_back(MeasureFloor(bench.tree, corpus, start, matlab, pairs));
      }
    }
  }
  std::printf(
      "| corpus | start | mode | files | cat ms | `--format files` ms | files/cat |"
      " `--format text` ms | text/cat |\n|---|---|---|--:|--:|--:|--:|--:|--:|\n");
  double worst = 0;
  for (const FloorRow& r : rows) {
    if (r.files == 0) {
      std::printf("| %s | %s | %s | 0 | | | | | |\n", r.corpus.c_str(), r.start.c_str(),
                  r.mode.c_str());
      continue;
    }
    std::printf("| %s | %s | %s | %d | %s | %s | %s | %s | %s%s |\n", r.corpus.c_str(),
                r.start.c_str(), r.mode.c_str(), r.files, Fixed(r.resolve.floorMs, 2).c_str(),
                Fixed(r.resolve.runMs, 2).c_str(), Fixed(r.resolve.ratio, 2).c_str(),
                Fixed(r.whole.runMs, 2).c_str(), Fixed(r.whole.ratio, 2).c_str(),
                r.budget ? " *" : "");
    worst = std::max(worst, r.budget ? r.resolve.ratio : r.whole.ratio);
  }
  std::printf(
      "\nMedians of %d alternating pairs (KORVATH_BENCH_PAIRS); each ratio is the median of "
      "the per-pair ratios. \\* the tree reached the node budget: the goal takes "
      "`--format files` for it.\n\n",
      pairs);
  bench.targets.push_back(
      {"every start within 2x cat of its files (CPU)", Fixed(worst, 2) + "x", worst <= 2});
  std::fflush(stdout);
}

// `starts` false (the `index-floor` section) leaves out start-up and the
// starts: the listing and the index only.
void FloorSection(Bench& bench, bool starts) {
  std::fprintf(stderr, "korvath-bench: the floor (paired CPU time)\n");
  const int pairs = PairsFromEnvironment("KORVATH_BENCH_PAIRS", 15);
  std::printf(
      "#### The floor: paired CPU time (user + system of each child) against `cat` and `ls`\n\n");
  const std::vector<FloorCorpus> corpora = FloorCorpora(bench);
  if (starts) FloorStarts(bench, corpora, pairs);

  // The program index against cat of its program files, on the corpora
  // above that have one (a generated project, Octave's library), then on the
  // growing generated paths below.
  std::vector<IndexFloorRow> indexRows;
  for (const FloorCorpus& corpus : corpora) {
    if (corpus.name.rfind("generated", 0) != 0 && corpus.name.rfind("Octave", 0) != 0) continue;
    std::fprintf(stderr, "korvath-bench: index floor of %s\n", corpus.name.c_str());
    indexRows.push_back(MeasureIndexFloor(bench, corpus.name, corpus.work, pairs));
  }

  // Listing: a start reaching ten files on a growing path against ls -f;
  // and the index of the same path. A large index takes seconds a run: fewer
  // pairs past 10,000 files.
  const int largest = PairsFromEnvironment("KORVATH_BENCH_LISTING_FILES", 200000);
  std::vector<ListingRow> listing;
  std::vector<double> indexFiles, indexCpu;
  for (const int files : {10000, 50000, 200000}) {
    if (files > largest) break;
    const fs::path dir = bench.tmp / ("floor-listing-" + std::to_string(files));
    const ChildResult made = RunChild({bench.gen, dir.string(), std::to_string(files), "1"});
    if (made.exitCode != 0) throw std::runtime_error("korvath-genproject failed: " + made.err);
    std::fprintf(stderr, "korvath-bench: listing, %d files\n", files);
    listing.push_back(MeasureListing(bench, dir, files, pairs));
    std::fprintf(stderr, "korvath-bench: index floor, %d files\n", files);
    const int indexPairs = files > 10000 ? std::max(3, pairs / 3) : pairs;
    char label[32];
    std::snprintf(label, sizeof label, "generated %d", files);
    indexRows.push_back(MeasureIndexFloor(bench, label, dir, indexPairs));
    indexFiles.push_back(files);
    indexCpu.push_back(indexRows.back().index.runMs);
    fs::remove_all(dir);
  }
  std::printf(
      "| path files | folders | `ls -f` ms | start ms | start/ls |\n|--:|--:|--:|--:|--:|\n");
  std::vector<double> xs, ys;
  for (const ListingRow& r : listing) {
    std::printf("| %d | %d | %s | %s | %s |\n", r.files, r.folders,
                Fixed(r.start.floorMs, 2).c_str(), Fixed(r.start.runMs, 2).c_str(),
                Fixed(r.start.ratio, 2).c_str());
    xs.push_back(r.files);
    ys.push_back(r.start.runMs);
  }
  const double exponent = FitExponent(xs, ys);
  std::printf(
      "\nA start reaching 10 files (`--format files`), against one `ls -f` of the path's "
      "folders; growth exponent of the start's CPU time %s.\n\n",
      Fixed(exponent, 2).c_str());
  if (!listing.empty()) {
    const ListingRow& last = listing.back();
    bench.targets.push_back(
        {"start on a " + std::to_string(last.files) + "-file path within 2x one ls -f (CPU)",
         Fixed(last.start.ratio, 2) + "x", last.start.ratio <= 2});
  }

  std::printf(
      "| index of | program files | cat CPU ms | cat wall ms | `--uncalled` CPU ms |"
      " `--uncalled` wall ms | CPU ratio |\n|---|--:|--:|--:|--:|--:|--:|\n");
  double worstIndex = 0;
  for (const IndexFloorRow& r : indexRows) {
    std::printf("| %s | %d | %s | %s | %s | %s | %s |\n", r.corpus.c_str(), r.programs,
                Fixed(r.index.floorMs, 2).c_str(), Fixed(r.index.floorWallMs, 2).c_str(),
                Fixed(r.index.runMs, 2).c_str(), Fixed(r.index.runWallMs, 2).c_str(),
                Fixed(r.index.ratio, 2).c_str());
    worstIndex = std::max(worstIndex, r.index.ratio);
  }
  const double indexExponent = FitExponent(indexFiles, indexCpu);
  std::printf(
      "\nThe program index as a process (`korvath-tree --uncalled`) against `cat` (through "
      "`xargs`) of exactly its program files; paired CPU time, wall time beside it. Growth "
      "exponent of the index's CPU time over the generated paths: %s.\n\n",
      Fixed(indexExponent, 2).c_str());
  if (!indexRows.empty()) {
    bench.targets.push_back({"program index within 2x cat of its program files (CPU)",
                             Fixed(worstIndex, 2) + "x", worstIndex <= 2});
  }
  if (indexFiles.size() >= 2) {
    bench.targets.push_back({"program index growth exponent at most 1.05", Fixed(indexExponent, 2),
                             indexExponent <= 1.05});
  }
  std::fflush(stdout);
}

// --- memory ------------------------------------------------------------------

// Peak resident memory beyond what the program takes to print its help, on
// a project of one kind of size only: one huge line (the reader and the
// scanner), and many small files (the program index).
void MemorySection(Bench& bench) {
  std::fprintf(stderr, "korvath-bench: memory\n");
  const auto project = [&bench](const char* name) {
    const fs::path dir = bench.tmp / name;
    WriteSearchPath(dir, {});
    return dir;
  };
  // 64 MB on one line, two short names over and over; nothing else.
  const fs::path line = project("memory-line");
  constexpr std::uintmax_t kLineBytes = 64'000'000;
  {
    const std::string unit = "foo bar ";
    std::string chunk;
    for (int i = 0; i < 1 << 17; ++i) chunk += unit;
    std::ofstream out(line / "main.m", std::ios::binary);
    for (std::uintmax_t written = 0; written < kLineBytes; written += chunk.size()) {
      out.write(chunk.data(), static_cast<std::streamsize>(
                                  std::min<std::uintmax_t>(chunk.size(), kLineBytes - written)));
    }
  }
  // 100,000 files of 64 bytes, each defining its function and calling another.
  const fs::path files = project("memory-files");
  constexpr int kFiles = 100'000;
  constexpr std::uintmax_t kFileBytes = 64;
  for (int i = 0; i < kFiles; ++i) {
    char name[16], text[kFileBytes + 1];
    std::snprintf(name, sizeof name, "f%06d", i);
    const int used = std::snprintf(text, sizeof text, "function %s\nf%06d;\n", name,
                                   static_cast<int>((static_cast<long>(i) * 7) % kFiles));
    std::string body(text, static_cast<std::size_t>(used));
    body.resize(kFileBytes - 1, ' ');
    body += "\n";
    std::ofstream(files / (std::string(name) + ".m"), std::ios::binary) << body;
  }
  struct Row {
    std::string what;
    std::string command;
    double sourceMb;
    long extraKb;
    double allowedMb;  // the target
  };
  std::vector<Row> rows;
  const auto measure = [&bench](const fs::path& dir, const std::vector<std::string>& args) {
    fs::current_path(dir);
    std::vector<std::string> help{bench.tree, "--help"};
    std::vector<std::string> run{bench.tree};
    run.insert(run.end(), args.begin(), args.end());
    long helpKb = PeakKb(help), runKb = PeakKb(run);
    for (int k = 0; k < 2; ++k) {  // the smallest of three, as a busy machine only adds
      helpKb = std::min(helpKb, PeakKb(help));
      runKb = std::min(runKb, PeakKb(run));
    }
    return runKb - helpKb;
  };
  const double lineMb = static_cast<double>(kLineBytes) / 1e6;
  rows.push_back(
      {"a run, one line of 64 MB", "`main`", lineMb, measure(line, {"main"}), 4 * lineMb});
  const double filesMb = static_cast<double>(kFiles * kFileBytes) / 1e6;
  rows.push_back({"the index, 100,000 files of 64 bytes", "`--uncalled`", filesMb,
                  measure(files, {"--uncalled"}), 3 * filesMb + kFiles * 300 / 1e6});
  std::printf(
      "#### Memory (`korvath-tree` as a process: peak resident memory minus that of `--help`, "
      "smallest of 3)\n\n");
  std::printf(
      "| project | command | source MB | peak - `--help` peak, MB | that / source size |"
      " allowed MB |\n|---|---|--:|--:|--:|--:|\n");
  for (const Row& r : rows) {
    const double extraMb = static_cast<double>(r.extraKb) * 1024.0 / 1e6;
    std::printf("| %s | %s | %s | %s | %s | %s |\n", r.what.c_str(), r.command.c_str(),
                Fixed(r.sourceMb).c_str(), Fixed(extraMb).c_str(),
                Fixed(extraMb / r.sourceMb, 2).c_str(), Fixed(r.allowedMb).c_str());
    bench.targets.push_back({"memory of " + r.what + " at most " + Fixed(r.allowedMb) + " MB",
                             Fixed(extraMb) + " MB", extraMb <= r.allowedMb});
  }
  std::printf("\n");
  fs::current_path("/");
  fs::remove_all(line);
  fs::remove_all(files);
}

// Each section prints its table and adds its targets; the corpus section
// also makes its folder the current directory for the rest.
int RunAll(const fs::path& buildDir, const std::vector<std::string>& sections) {
  auto wanted = [&](const char* section) {
    return sections.empty() ||
           std::find(sections.begin(), sections.end(), section) != sections.end();
  };
  char tmpl[] = "/tmp/korvath-bench.XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  Bench bench{(buildDir / "cli" / "korvath-tree").string(),
              (buildDir / "bench" / "korvath-genproject").string(),
              (buildDir / "lsp" / "korvath-lsp").string(),
              tmpl,
              {}};

  std::printf("Machine: %s.\n\n", MachineLine().c_str());
  std::fflush(stdout);

  if (wanted("corpus") && !CorpusSection(bench)) return 1;
  if (wanted("synthetic")) SyntheticSection(bench);
  if (wanted("literal")) LiteralSection(bench);
  if (wanted("index")) IndexSection(bench);
  if (wanted("lsp")) LspSection(bench);
  if (wanted("graph")) GraphSection(bench);
  if (wanted("floor")) FloorSection(bench, true);
  // Named only: `floor` covers it.
  if (std::find(sections.begin(), sections.end(), "index-floor") != sections.end()) {
    FloorSection(bench, false);
  }
  if (wanted("memory")) MemorySection(bench);
  if (wanted("gui")) {
    GuiSection(bench, buildDir);
    ExplorerSection(bench, buildDir);
  }
  PrintTargets(bench.targets);
  fs::current_path("/");
  fs::remove_all(bench.tmp);
  return 0;
}

// Every file of the corpus as the start: its reach, one line each.
int Reach(const fs::path& dir) {
  const auto corpus = FindCorpus();
  if (!corpus) return 1;
  fs::current_path(dir);
  const Text pathdef = FromUtf8((dir / "toolbox" / "local" / "pathdef.m").string());
  for (const auto& file : corpus->files) {
    const InProcessRun r = RunEngine(pathdef, file.filename().string());
    std::printf("%s %d %d %d %d %s %.1f\n", file.stem().string().c_str(), r.stats.filesScanned,
                r.stats.records, r.stats.passes, r.stats.nodes, r.budget ? "budget" : "whole",
                r.stats.searchPathMs + r.stats.resolutionMs);
  }
  return 0;
}

int Repeat(const fs::path& dir, const std::string& start, int n) {
  fs::current_path(dir);
  const Text pathdef = FromUtf8((dir / "toolbox" / "local" / "pathdef.m").string());
  std::vector<double> resolve, tree;
  InProcessRun last;
  for (int i = 0; i < n; ++i) {
    last = RunEngine(pathdef, start);
    resolve.push_back(last.stats.searchPathMs + last.stats.resolutionMs);
    tree.push_back(last.stats.treeMs);
  }
  std::printf(
      "%s: records %d, passes %d, files %d, nodes %d; resolve ms median %.2f min %.2f;"
      " tree ms median %.2f min %.2f\n",
      start.c_str(), last.stats.records, last.stats.passes, last.stats.filesScanned,
      last.stats.nodes, Median(resolve), *std::min_element(resolve.begin(), resolve.end()),
      Median(tree), *std::min_element(tree.begin(), tree.end()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.size() >= 2 && args[0] == "all") {
      return RunAll(fs::absolute(args[1]), std::vector<std::string>(args.begin() + 2, args.end()));
    }
    if (args.size() == 2 && args[0] == "reach") return Reach(fs::absolute(args[1]));
    if (args.size() == 4 && args[0] == "repeat") {
      return Repeat(fs::absolute(args[1]), args[2], std::atoi(args[3].c_str()));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvath-bench: %s\n", e.what());
    return 1;
  }
  std::fprintf(stderr,
               "usage: korvath-bench all BUILD_DIR "
               "[corpus|synthetic|literal|index|lsp|graph|floor|index-floor|memory|gui]...\n"
               "       korvath-bench reach DIR\n"
               "       korvath-bench repeat DIR START N\n");
  return 2;
}
