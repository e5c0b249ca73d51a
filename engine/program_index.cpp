#include "engine/program_index.h"

#include <algorithm>
#include <map>
#include <thread>

#include "engine/mfile_scanner.h"
#include "engine/number_text.h"
#include "engine/probe_cache.h"
#include "engine/text_lines.h"
#include "platform/utf8.h"

namespace korvath::engine {
namespace {

// Keeps the names a run would file (not empty, not a number), each once with
// its lines, and lays them out flat when the file is done.
class CallCollector final : public CallRecorder {
 public:
  void AddCall(TextView name, std::int32_t line) override {
    if (name.empty()) return;
    const auto [at, fresh] = slots_.try_emplace(Text(name), lines_.size());
    if (fresh) {
      if (ReadsAsNumber(name)) {
        at->second = kNumber;
        return;
      }
      order_.push_back(&at->first);
      lines_.emplace_back();
    }
    if (at->second == kNumber) return;
    std::vector<std::int32_t>& lines = lines_[at->second];
    if (lines.empty() || lines.back() != line) lines.push_back(line);
  }
  template <typename Scan>
  void MoveInto(Scan& scan) const {
    for (std::size_t i = 0; i < order_.size(); ++i) {
      scan.names += *order_[i];
      scan.nameEnd.push_back(static_cast<std::uint32_t>(scan.names.size()));
      scan.lines.insert(scan.lines.end(), lines_[i].begin(), lines_[i].end());
      scan.linesEnd.push_back(static_cast<std::uint32_t>(scan.lines.size()));
    }
  }

 private:
  static constexpr std::size_t kNumber = static_cast<std::size_t>(-1);
  std::unordered_map<Text, std::size_t> slots_;  // a name's place in `lines_`
  std::vector<const Text*> order_;                // the names in the order found
  std::vector<std::vector<std::int32_t>> lines_;
};

}  // namespace

std::vector<int> ProgramIndex::Uncalled() const {
  std::vector<int> out;
  for (std::size_t p = 0; p < programs_.size(); ++p) {
    const auto& callers = programs_[p].callers;
    const bool called = std::any_of(callers.begin(), callers.end(), [p](const Calls& c) {
      return c.program != static_cast<int>(p);
    });
    if (!called) out.push_back(static_cast<int>(p));
  }
  std::sort(out.begin(), out.end(), [this](int a, int b) { return Rank(a) < Rank(b); });
  return out;
}

// The same files in the same places, none of them changed since it was
// scanned: the relation stands as it is.
bool ProgramIndex::Unchanged(const std::vector<Listed>& listed) const {
  if (listed.size() != programs_.size()) return false;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    if (listed[i].path != programs_[i].path || !listed[i].stamped) return false;
    const auto scan = scans_.find(listed[i].path);
    if (scan == scans_.end() || !scan->second.current) return false;
    if (!(listed[i].stamp == scan->second.stamp)) return false;
  }
  return true;
}

int ProgramIndex::ProgramAt(const Text& path) const {
  const auto it = byPath_.find(path);
  return it == byPath_.end() ? -1 : it->second;
}

ProgramIndex::RefreshStats ProgramIndex::Cancelled() {
  *this = ProgramIndex();
  RefreshStats stats;
  stats.cancelled = true;
  return stats;
}

ProgramIndex::RefreshStats ProgramIndex::Refresh(platform::FileSystem& fs,
                                                 const std::vector<Text>& dirs,
                                                 Control* control) {
  const auto stopped = [control] {
    return control != nullptr && control->cancel.load(std::memory_order_relaxed);
  };
  if (dirs != dirs_) {
    scans_.clear();
    dirs_ = dirs;
  }
  ProbeCache probe(fs, dirs);
  std::vector<std::pair<std::size_t, std::string>> found;
  probe.ForEachFile([&found](std::size_t dir, const std::string& name) {
    found.emplace_back(dir, name);
  });
  std::sort(found.begin(), found.end());
  // Each file stamped once, before it may be read: a file changed in
  // between is read again next time.
  std::vector<Listed> listed;
  listed.reserve(found.size());
  for (const auto& [dir, name] : found) {
    Listed file{platform::FromUtf8(name), {}, {}, false};
    file.path = fs.JoinPath(dirs[dir], file.fileName);
    file.stamped = fs.StatFile(file.path, file.stamp).ok();
    listed.push_back(std::move(file));
  }
  if (Unchanged(listed)) return {static_cast<int>(programs_.size()), 0, 0};

  programs_.clear();
  byPath_.clear();
  std::unordered_map<Text, Scan> kept;
  std::vector<Pending> pending;
  RefreshStats stats;
  if (control != nullptr) control->total = 2 * static_cast<int>(listed.size());
  for (Listed& file : listed) {
    if (stopped()) return Cancelled();
    Program program;
    program.name = file.fileName.substr(0, file.fileName.size() - 2);
    program.path = std::move(file.path);
    const int number = static_cast<int>(programs_.size());
    byPath_.emplace(program.path, number);
    const auto old = scans_.find(program.path);
    if (file.stamped && old != scans_.end() && old->second.current &&
        old->second.stamp == file.stamp) {
      kept.emplace(program.path, std::move(old->second));
    } else {
      // An unreadable file has no calls, as in a run, and is tried again
      // next time.
      Pending p{number, file.stamp, file.stamped, {}};
      if (!fs.ReadFile(program.path, p.bytes).ok()) p.current = false;
      stats.bytesRead += p.bytes.size();
      pending.push_back(std::move(p));
    }
    programs_.push_back(std::move(program));
    if (control != nullptr) ++control->done;
  }
  stats.programs = static_cast<int>(programs_.size());
  stats.scanned = static_cast<int>(pending.size());
  scans_ = std::move(kept);
  if (control != nullptr) control->total = static_cast<int>(listed.size() + pending.size());
  ScanAll(pending, control);
  if (stopped()) return Cancelled();

  std::vector<Scan*> scans;
  for (const Program& program : programs_) scans.push_back(&scans_[program.path]);
  Link(scans, probe);
  return stats;
}

// The files are independent: they are scanned on every core.
void ProgramIndex::ScanAll(std::vector<Pending>& pending, Control* control) {
  std::vector<Scan> done(pending.size());
  const auto work = [&pending, &done, control](std::size_t first, std::size_t step) {
    for (std::size_t i = first; i < pending.size(); i += step) {
      if (control != nullptr) {
        if (control->cancel.load(std::memory_order_relaxed)) return;
        ++control->done;
      }
      TextLines lines(std::move(pending[i].bytes));
      CallCollector collector;
      ScanFile(lines, collector);
      collector.MoveInto(done[i]);
    }
  };
  const std::size_t workers = std::clamp<std::size_t>(
      std::min<std::size_t>(std::thread::hardware_concurrency(), pending.size()), 1, 8);
  std::vector<std::thread> helpers;
  for (std::size_t t = 1; t < workers; ++t) helpers.emplace_back(work, t, workers);
  work(0, workers);
  for (std::thread& helper : helpers) helper.join();
  for (std::size_t i = 0; i < pending.size(); ++i) {
    done[i].stamp = pending[i].stamp;
    done[i].current = pending[i].current;
    scans_[programs_[static_cast<std::size_t>(pending[i].program)].path] = std::move(done[i]);
  }
}

void ProgramIndex::Link(const std::vector<Scan*>& scans, ProbeCache& probe) {
  std::unordered_map<Text, int> target;  // a name's program, or -1
  for (std::size_t g = 0; g < programs_.size(); ++g) {
    std::map<int, std::vector<std::int32_t>> calls;
    const Scan& scan = *scans[g];
    for (std::size_t k = 0; k < scan.nameEnd.size(); ++k) {
      const std::uint32_t nameBegin = k == 0 ? 0 : scan.nameEnd[k - 1];
      const Text name = scan.names.substr(nameBegin, scan.nameEnd[k] - nameBegin);
      const auto [it, fresh] = target.try_emplace(name, -1);
      if (fresh) {
        const std::optional<Text> path = probe.Find(WithMExtension(name));
        if (path) it->second = ProgramAt(*path);
      }
      if (it->second >= 0) {
        auto& to = calls[it->second];
        to.insert(to.end(), scan.lines.begin() + (k == 0 ? 0 : scan.linesEnd[k - 1]),
                  scan.lines.begin() + scan.linesEnd[k]);
      }
    }
    for (auto& [h, lines] : calls) {
      std::sort(lines.begin(), lines.end());
      lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
      programs_[g].callees.push_back({h, lines});
      programs_[static_cast<std::size_t>(h)].callers.push_back({static_cast<int>(g), lines});
    }
  }
  // Each name's place in the order of names, worked out once: ASCII case
  // folded first, then the bytes.
  std::vector<std::pair<std::string, std::string>> keys;
  keys.reserve(programs_.size());
  for (const Program& program : programs_) {
    std::string bytes = platform::ToUtf8(program.name);
    std::string folded = bytes;
    for (char& c : folded) c = AsciiLower(c);
    keys.emplace_back(std::move(folded), std::move(bytes));
  }
  std::vector<int> byName(programs_.size());
  for (std::size_t p = 0; p < byName.size(); ++p) byName[p] = static_cast<int>(p);
  std::sort(byName.begin(), byName.end(), [&keys](int a, int b) {
    return keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)];
  });
  rank_.assign(programs_.size(), 0);
  for (std::size_t r = 0; r < byName.size(); ++r) {
    rank_[static_cast<std::size_t>(byName[r])] = static_cast<int>(r);
  }
  for (Program& program : programs_) {
    std::sort(program.callers.begin(), program.callers.end(),
              [this](const Calls& a, const Calls& b) { return Rank(a.program) < Rank(b.program); });
  }
}

}  // namespace korvath::engine
