#include "engine/program_index.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>

#include "engine/file_finder.h"
#include "engine/file_names.h"
#include "engine/messages.h"
#include "engine/mfile_scanner.h"
#include "engine/text_lines.h"
#include "platform/host.h"
#include "platform/utf8.h"

namespace korvath::engine {
namespace {

// The packed numbers of a scan: 7 bits a byte, low bits first, the high bit
// set on every byte but the last. Most are ids under 16,384 and line steps
// under 64: one or two bytes where an int32 takes four.
void PutLongNumber(std::vector<std::uint8_t>& out, std::uint64_t n) {
  for (; n >= 0x80; n >>= 7) out.push_back(static_cast<std::uint8_t>(n | 0x80));
  out.push_back(static_cast<std::uint8_t>(n));
}

// Most are one byte: that case small enough to be inlined where files are
// packed, a call per number costing more than the byte.
inline void PutNumber(std::vector<std::uint8_t>& out, std::uint64_t n) {
  if (n < 0x80) {
    out.push_back(static_cast<std::uint8_t>(n));
  } else {
    PutLongNumber(out, n);
  }
}

std::uint64_t TakeNumber(const std::uint8_t*& at) {
  std::uint64_t n = 0;
  for (int shift = 0;; shift += 7) {
    const std::uint8_t byte = *at++;
    n |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
    if (byte < 0x80) return n;
  }
}

void SkipNumber(const std::uint8_t*& at) {
  while (*at++ >= 0x80) {
  }
}

// A line's step from the one before, which the scanner does not promise to
// be upward, folded so that small steps either way stay small.
std::uint64_t Step(std::int32_t from, std::int32_t to) {
  const std::int64_t d = static_cast<std::int64_t>(to) - from;
  return (static_cast<std::uint64_t>(d) << 1) ^ static_cast<std::uint64_t>(d >> 63);
}

std::int32_t AfterStep(std::int32_t from, std::uint64_t step) {
  const std::int64_t d =
      static_cast<std::int64_t>(step >> 1) ^ -static_cast<std::int64_t>(step & 1);
  return static_cast<std::int32_t>(from + d);
}

// Keeps the names a run would file (not empty, not a number), each once with
// its lines, and packs them when a file is done. One per scanning thread,
// across its files: a name is looked up in the shared table (under `lock`)
// only the first time the thread meets it (since it last forgot them).
class CallCollector {
 public:
  CallCollector(NameTable& shared, std::mutex& lock) : shared_(shared), lock_(lock) {}

  // What the scanner fills with the next file's names.
  FileNames& StartFile() {
    file_.NextFile();
    return file_;
  }

  // The file's calls, packed as Scan::calls holds them.
  template <typename Packed>
  void PackInto(Packed& calls) {
    packed_.clear();
    for (const std::uint32_t index : file_.Order()) {
      const FileNames::Name& name = file_.At(index);
      if (name.id == FileNames::kNoId) file_.SetId(index, Share(name));
      lines_.clear();
      for (std::int32_t node = name.linesHead; node >= 0; node = file_.Node(node).next) {
        const std::int32_t line = file_.Node(node).line;
        if (lines_.empty() || lines_.back() != line) lines_.push_back(line);
      }
      PutNumber(packed_, static_cast<std::uint32_t>(name.id));
      PutNumber(packed_, lines_.size());
      std::int32_t from = 0;
      for (const std::int32_t line : lines_) {
        PutNumber(packed_, Step(from, line));
        from = line;
      }
    }
    calls.assign(packed_.data(), packed_.size());
    // What the thread has met is a cache of the shared table: kept small,
    // as a path of many files names more than the common few again and again.
    if (file_.NameCount() > kSeenNames) file_.Forget();
  }

 private:
  // Below a power of two by what a file seldom adds: the table's slots and
  // names then stay at 2^15 and 2^14, instead of doubling for the last file.
  static constexpr std::size_t kSeenNames = (1 << 14) - 2048;

  std::int32_t Share(const FileNames::Name& name) {
    if (name.wide) {
      wide_.assign(file_.Wide(name));
    } else {
      const std::string_view bytes = file_.Bytes(name);
      wide_.assign(bytes.begin(), bytes.end());
    }
    const std::lock_guard<std::mutex> hold(lock_);
    return static_cast<std::int32_t>(shared_.Intern(wide_));
  }

  NameTable& shared_;
  std::mutex& lock_;
  FileNames file_;  // the names met, their ids the shared table's
  Text wide_;
  std::vector<std::int32_t> lines_;
  std::vector<std::uint8_t> packed_;
};

bool Stopped(const ProgramIndex::Control* control) {
  return control != nullptr && control->cancel.load(std::memory_order_relaxed);
}

// The pool: scanOne(worker, i) for every file i of [first, last), on
// `workers` threads, the calling one among them (worker t takes every
// workers-th file from first + t, so a worker keeps its own collector);
// returns when all have joined. A cancel stops each worker before its next
// file; each file begun counts as scanned in `control`.
template <typename ScanOne>
void ScanOnWorkers(std::size_t workers, std::size_t first, std::size_t last,
                   ProgramIndex::Control* control, const ScanOne& scanOne) {
  const auto work = [&scanOne, control, first, last, workers](std::size_t t) {
    for (std::size_t i = first + t; i < last; i += workers) {
      if (control != nullptr) {
        if (control->cancel.load(std::memory_order_relaxed)) return;
        ++control->done;
      }
      scanOne(t, i);
    }
  };
  std::vector<std::thread> helpers;
  for (std::size_t t = 1; t < workers; ++t) helpers.emplace_back(work, t);
  work(0);
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace

static_assert(sizeof(ProgramIndex::Calls) == 16, "a Calls is kept for every pair on the path");

ProgramIndex::Lines::Lines(const std::vector<std::int32_t>& lines)
    : size_(static_cast<std::uint32_t>(lines.size())) {
  CopyIn(lines.data());
}

ProgramIndex::Lines::Lines(const Lines& other) : size_(other.size_) { CopyIn(other.Data()); }

void ProgramIndex::Lines::CopyIn(const std::int32_t* lines) {
  std::int32_t* to = in_;
  if (OnHeap()) {
    to = new std::int32_t[std::bit_ceil(size_)];
    SetHeap(to);
  }
  std::copy(lines, lines + size_, to);
}

ProgramIndex::Lines::Lines(Lines&& other) noexcept : size_(other.size_) {
  std::memcpy(in_, other.in_, sizeof in_);
  other.size_ = 0;
}

ProgramIndex::Lines& ProgramIndex::Lines::operator=(const Lines& other) {
  if (this != &other) *this = Lines(other);
  return *this;
}

ProgramIndex::Lines& ProgramIndex::Lines::operator=(Lines&& other) noexcept {
  if (this != &other) {
    clear();
    size_ = other.size_;
    std::memcpy(in_, other.in_, sizeof in_);
    other.size_ = 0;
  }
  return *this;
}

ProgramIndex::Lines::~Lines() { clear(); }

std::int32_t* ProgramIndex::Lines::Heap() const {
  std::int32_t* lines = nullptr;
  std::memcpy(&lines, in_, sizeof lines);
  return lines;
}

void ProgramIndex::Lines::SetHeap(std::int32_t* lines) {
  static_assert(sizeof lines <= sizeof in_);
  std::memcpy(in_, &lines, sizeof lines);
}

void ProgramIndex::Lines::push_back(std::int32_t line) {
  if (size_ < kInPlace) {
    in_[size_++] = line;
    return;
  }
  // Full when in place, or when its block (a power of two) is.
  if (!OnHeap() || std::has_single_bit(size_)) {
    auto* block = new std::int32_t[2 * static_cast<std::size_t>(size_)];
    std::copy(begin(), end(), block);
    if (OnHeap()) delete[] Heap();
    SetHeap(block);
  }
  Heap()[size_++] = line;
}

void ProgramIndex::Lines::clear() {
  if (OnHeap()) delete[] Heap();
  size_ = 0;
}

bool ProgramIndex::Lines::operator==(const Lines& other) const {
  return std::equal(begin(), end(), other.begin(), other.end());
}

ProgramIndex::Packed::Packed(Packed&& other) noexcept : size_(other.size_) {
  std::memcpy(in_, other.in_, sizeof in_);
  other.size_ = 0;
}

ProgramIndex::Packed& ProgramIndex::Packed::operator=(Packed&& other) noexcept {
  if (this != &other) {
    assign(nullptr, 0);
    size_ = other.size_;
    std::memcpy(in_, other.in_, sizeof in_);
    other.size_ = 0;
  }
  return *this;
}

ProgramIndex::Packed::~Packed() { assign(nullptr, 0); }

const std::uint8_t* ProgramIndex::Packed::data() const {
  if (size_ <= kInPlace) return in_;
  const std::uint8_t* bytes = nullptr;
  std::memcpy(&bytes, in_, sizeof bytes);
  return bytes;
}

void ProgramIndex::Packed::assign(const std::uint8_t* bytes, std::size_t size) {
  if (size_ > kInPlace) delete[] data();
  size_ = static_cast<std::uint32_t>(size);
  if (size <= kInPlace) {
    if (size != 0) std::memcpy(in_, bytes, size);
    return;
  }
  auto* block = new std::uint8_t[size];
  std::memcpy(block, bytes, size);
  static_assert(sizeof block <= kInPlace);
  std::memcpy(in_, &block, sizeof block);
}

void ProgramIndex::Assign(std::vector<Program> programs, std::vector<Function> functions,
                          std::vector<bool> implicit, std::vector<Text> warnings) {
  *this = ProgramIndex();
  programs_ = std::move(programs);
  functions_ = std::move(functions);
  implicit_ = std::move(implicit);
  warnings_ = std::move(warnings);
  IndexPaths();
  InvertCalls();
  RankByName();
}

const ProgramIndex::Calls* ProgramIndex::CallsOf(int caller, int callee) const {
  const auto& callees = programs_[static_cast<std::size_t>(caller)].callees;
  const auto it = std::lower_bound(callees.begin(), callees.end(), callee,
                                   [](const Calls& c, int p) { return c.program < p; });
  return it != callees.end() && it->program == callee ? &*it : nullptr;
}

const ProgramIndex::Function& ProgramIndex::FunctionOf(int p) const {
  static const Function kNone;
  return static_cast<std::size_t>(p) < functions_.size() ? functions_[static_cast<std::size_t>(p)]
                                                         : kNone;
}

const ProgramIndex::CallSites& ProgramIndex::SitesOf(int caller, const Calls& calls) const {
  static const CallSites kNone;
  const auto& sites = FunctionOf(caller).calls;
  const auto k =
      static_cast<std::size_t>(&calls - programs_[static_cast<std::size_t>(caller)].callees.data());
  return k < sites.size() ? sites[k] : kNone;
}

void ProgramIndex::IndexPaths() {
  std::size_t size = 16;
  while (size < 2 * programs_.size()) size *= 2;
  byPath_.assign(size, 0);
  for (std::size_t p = 0; p < programs_.size(); ++p) {
    const TextView path = programs_[p].path;
    for (std::size_t slot = std::hash<TextView>{}(path);; ++slot) {
      int& at = byPath_[slot & (size - 1)];
      if (at == 0) {
        at = static_cast<int>(p) + 1;
        break;
      }
      if (programs_[static_cast<std::size_t>(at - 1)].path == path) break;  // the first one stays
    }
  }
}

std::vector<int> ProgramIndex::Uncalled() const {
  std::vector<int> out;
  for (std::size_t p = 0; p < programs_.size(); ++p) {
    if (p < implicit_.size() && implicit_[p]) continue;
    const auto& callers = programs_[p].callers;
    const bool called = std::any_of(callers.begin(), callers.end(),
                                    [p](int c) { return c != static_cast<int>(p); });
    if (!called) out.push_back(static_cast<int>(p));
  }
  std::sort(out.begin(), out.end(), [this](int a, int b) { return Rank(a) < Rank(b); });
  return out;
}

// The same files in the same places, none of them changed since it was
// scanned: the relation stands as it is.
bool ProgramIndex::Unchanged(const std::vector<Program>& listed,
                             const std::vector<Scan>& stamps) const {
  if (listed.size() != programs_.size() || scans_.size() != programs_.size()) return false;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    if (listed[i].path != programs_[i].path || !stamps[i].current) return false;
    if (!scans_[i].current || !(stamps[i].stamp == scans_[i].stamp)) return false;
  }
  return true;
}

int ProgramIndex::ProgramAt(TextView path) const {
  if (byPath_.empty()) return -1;
  const std::size_t mask = byPath_.size() - 1;
  for (std::size_t slot = std::hash<TextView>{}(path);; ++slot) {
    const int at = byPath_[slot & mask];
    if (at == 0) return -1;
    if (programs_[static_cast<std::size_t>(at - 1)].path == path) return at - 1;
  }
}

ProgramIndex::RefreshStats ProgramIndex::Cancelled() {
  *this = ProgramIndex();
  RefreshStats stats;
  stats.cancelled = true;
  return stats;
}

std::optional<ProgramIndex::RefreshStats> ProgramIndex::RefreshChanged(
    platform::FileSystem& fs, const std::vector<Text>& changed, Control* control) {
  // Warnings may concern files not in `changed`: only a whole refresh says
  // them again right.
  if (!linked_ || !warnings_.empty()) return std::nullopt;
  std::vector<std::pair<int, platform::FileStamp>> stamps;
  for (const Text& path : changed) {
    const int number = ProgramAt(path);
    platform::FileStamp stamp;
    if (number < 0 || !fs.StatFile(path, stamp).ok()) return std::nullopt;
    if (static_cast<std::size_t>(number) >= scans_.size()) return std::nullopt;
    const Scan& scan = scans_[static_cast<std::size_t>(number)];
    const bool same = scan.current && scan.stamp == stamp;
    const bool listed = std::any_of(stamps.begin(), stamps.end(),
                                    [number](const auto& s) { return s.first == number; });
    if (!same && !listed) stamps.emplace_back(number, stamp);
  }
  // Each one promised to be read now: its scan takes the new stamp.
  std::vector<int> pending;
  for (const auto& [number, stamp] : stamps) {
    Scan& scan = scans_[static_cast<std::size_t>(number)];
    scan.stamp = stamp;
    scan.current = true;
    pending.push_back(number);
  }
  RefreshStats stats;
  stats.programs = static_cast<int>(programs_.size());
  stats.scanned = static_cast<int>(pending.size());
  if (pending.empty()) return stats;
  // Ascending, as the readers and the whole refresh give them.
  std::sort(pending.begin(), pending.end());
  linked_ = false;
  if (control != nullptr) {
    control->total = static_cast<int>(2 * programs_.size() + pending.size());
    control->done = static_cast<int>(programs_.size() - pending.size());
  }
  stats.bytesRead = ScanAll(fs, pending, control, stats.readPrograms);
  if (Stopped(control)) return Cancelled();
  FileFinder probe(fs, dirs_, [this](const Text& dir, const platform::Result& why) {
    warnings_.push_back(messages::CannotList(dir, why.description));
  });
  if (!Relink(pending, probe, control)) return Cancelled();
  linked_ = true;
  return stats;
}

ProgramIndex::RefreshStats ProgramIndex::Refresh(platform::FileSystem& fs,
                                                 const std::vector<Text>& dirs, Control* control,
                                                 const std::vector<Text>* changed) {
  if (changed != nullptr && dirs == dirs_ && implicit_.empty()) {
    if (auto stats = RefreshChanged(fs, *changed, control)) return std::move(*stats);
  }
  const auto stopped = [control] { return Stopped(control); };
  implicit_.clear();
  functions_.clear();
  if (dirs != dirs_ || !linked_) {
    scans_.clear();
    names_.clear();
    targets_.clear();
    linked_ = false;
    dirs_ = dirs;
  }
  warnings_.clear();
  // Its listing goes once the link no longer searches.
  std::optional<FileFinder> finder;
  finder.emplace(fs, dirs, [this](const Text& dir, const platform::Result& why) {
    warnings_.push_back(messages::CannotList(dir, why.description));
  });
  FileFinder& probe = *finder;
  std::vector<std::pair<std::size_t, std::string>> found;
  probe.ForEachFile(
      [&found](std::size_t dir, std::string_view name) { found.emplace_back(dir, name); });
  std::sort(found.begin(), found.end());
  // The listing as the programs and scans it makes when all is read afresh.
  // Each file stamped once, before it may be read: a file changed in
  // between is read again next time.
  std::vector<Program> listed(found.size());
  std::vector<Scan> stamps(found.size());
  for (std::size_t i = 0; i < found.size(); ++i) {
    const Text fileName = platform::FileNameText(found[i].second);
    Program& file = listed[i];
    file.name = fileName.substr(0, fileName.size() - 2);
    file.path = fs.JoinPath(dirs[found[i].first], fileName);
    file.path.shrink_to_fit();  // it is kept
    stamps[i].current = fs.StatFile(file.path, stamps[i].stamp).ok();
  }
  std::vector<std::pair<std::size_t, std::string>>().swap(found);
  if (Unchanged(listed, stamps)) {
    RefreshStats unchanged;
    unchanged.programs = static_cast<int>(programs_.size());
    return unchanged;
  }

  // In place when the relation stands: the files kept keep their calls and
  // only those read are linked again, unless a file that came or went
  // changes where a name already searched for leads.
  std::vector<int> before;  // by new program: its old number, -1 when new
  std::vector<bool> stays;  // by old program
  bool incremental = linked_;
  bool samePrograms = false;
  if (incremental) {
    before.resize(listed.size());
    stays.assign(programs_.size(), false);
    samePrograms = listed.size() == programs_.size();
    for (std::size_t i = 0; i < listed.size(); ++i) {
      before[i] = ProgramAt(listed[i].path);
      if (before[i] >= 0) stays[static_cast<std::size_t>(before[i])] = true;
      samePrograms = samePrograms && before[i] == static_cast<int>(i);
    }
    if (!samePrograms) incremental = !Captures(listed, before, stays, probe);
  }

  std::vector<int> pending;  // the programs to read
  RefreshStats stats;
  if (control != nullptr) control->total = 2 * static_cast<int>(listed.size());
  // Each file's old scan (its old number `was`, else -1) is kept when its
  // stamp still holds; else the file is to be read, for the stamp listed.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    if (stopped()) return Cancelled();
    const int was = before.empty() ? -1 : before[i];
    Scan& scan = stamps[i];
    if (scan.current && was >= 0) {
      Scan& old = scans_[static_cast<std::size_t>(was)];
      if (old.current && old.stamp == scan.stamp) {
        if (control != nullptr) ++control->done;  // as if read; the others count when read
        scan = std::move(old);
        ++kept;
        continue;
      }
    }
    pending.push_back(static_cast<int>(i));
  }
  scans_ = std::move(stamps);
  if (!samePrograms) {
    // A program kept takes its calls to its new number.
    std::vector<Program> old = std::move(programs_);
    programs_ = std::move(listed);
    if (incremental) {
      std::vector<int> after(old.size(), -1);
      for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] < 0) continue;
        after[static_cast<std::size_t>(before[i])] = static_cast<int>(i);
        programs_[i] = std::move(old[static_cast<std::size_t>(before[i])]);
      }
      Renumber(after);
    }
    IndexPaths();
  }
  std::vector<Program>().swap(listed);
  stats.programs = static_cast<int>(programs_.size());
  stats.scanned = static_cast<int>(pending.size());
  // The names of files gone or changed stay in the table until nothing is
  // kept: a fresh table then holds only the names in use.
  if (kept == 0) {
    names_.clear();
    targets_.clear();
    if (incremental) {
      for (Program& program : programs_) {
        program.callees.clear();
        program.callers.clear();
      }
      incremental = false;
    }
  }
  linked_ = false;
  // Read, scanned, then linked: each program counts once in each step.
  if (control != nullptr) control->total = static_cast<int>(2 * programs_.size() + pending.size());
  stats.bytesRead = ScanAll(fs, pending, control, stats.readPrograms);
  if (stopped()) return Cancelled();

  if (incremental) {
    if (!samePrograms) RankOnly();
    if (!Relink(pending, probe, control)) return Cancelled();
  } else {
    std::vector<int>().swap(pending);  // read and scanned: only Relink needs them
    if (!Link(probe, control)) return Cancelled();
    finder.reset();
    InvertCalls();
    RankByName();
  }
  linked_ = true;
  return stats;
}

bool ProgramIndex::Captures(const std::vector<Program>& listed, const std::vector<int>& before,
                            const std::vector<bool>& stays, FileFinder& probe) const {
  // Names find files by their case key: only names with the key of a file
  // that came or went can lead elsewhere now.
  std::unordered_set<std::string> keys;
  std::size_t longest = 0;
  std::string key;
  const auto add = [&](const Text& fileName) {
    platform::FileNameCaseKey(platform::FileNameBytesOf(fileName), key);
    longest = std::max(longest, key.size());
    keys.insert(key);
  };
  for (std::size_t i = 0; i < listed.size(); ++i) {
    // Its file name: the path ends in it, ".m" spelled as listed.
    const Text& path = listed[i].path;
    if (before[i] < 0) add(listed[i].name + path.substr(path.size() - 2));
  }
  for (std::size_t p = 0; p < programs_.size(); ++p) {
    if (!stays[p]) add(WithMExtension(programs_[p].name));
  }
  for (std::size_t id = 0; id < targets_.size(); ++id) {
    const int was = targets_[id];
    if (was == kUnsought) continue;
    const TextView name = names_.Name(static_cast<std::uint32_t>(id));
    // A name's UTF-8 is at least as long as its UTF-16.
    if (name.size() + 2 > longest) continue;
    const Text fileName = WithMExtension(name);
    platform::FileNameCaseKey(platform::FileNameBytesOf(fileName), key);
    if (keys.count(key) == 0) continue;
    const std::optional<Text> path = probe.Find(fileName);
    if (!path) {
      if (was >= 0) return true;
    } else if (was < 0 || programs_[static_cast<std::size_t>(was)].path != *path) {
      return true;
    }
  }
  return false;
}

void ProgramIndex::Renumber(const std::vector<int>& after) {
  const auto to = [&after](int program) { return after[static_cast<std::size_t>(program)]; };
  for (Program& program : programs_) {
    // No name leads to a program gone (Captures), so callees all stay.
    for (Calls& callee : program.callees) callee.program = to(callee.program);
    std::erase_if(program.callers, [&to](int c) { return to(c) < 0; });
    for (int& caller : program.callers) caller = to(caller);
  }
  for (int& target : targets_) {
    if (target >= 0) target = to(target);
  }
}

// The files are read a batch at a time, each batch then scanned on every
// core (the files are independent): the bytes of the whole path are never
// held at once.
std::uint64_t ProgramIndex::ScanAll(platform::FileSystem& fs, const std::vector<int>& pending,
                                    Control* control, std::vector<int>& readPrograms) {
  const std::size_t workers = std::clamp<std::size_t>(
      std::min<std::size_t>(std::thread::hardware_concurrency(), pending.size()), 1, 8);
  std::mutex namesLock;
  std::vector<std::unique_ptr<CallCollector>> collectors;
  for (std::size_t t = 0; t < workers; ++t) {
    collectors.push_back(std::make_unique<CallCollector>(names_, namesLock));
  }
  std::uint64_t bytesRead = 0;
  std::vector<std::string> batch;
  for (std::size_t first = 0; first < pending.size();) {
    const std::optional<std::size_t> last =
        ReadBatch(fs, pending, first, batch, bytesRead, control, readPrograms);
    if (!last) return bytesRead;
    ScanOnWorkers(workers, first, *last, control, [&](std::size_t worker, std::size_t i) {
      TextLines lines(std::move(batch[i - first]));
      ScanFile(lines, collectors[worker]->StartFile());
      // Each worker packs into a scan of its own: no two share one.
      collectors[worker]->PackInto(scans_[static_cast<std::size_t>(pending[i])].calls);
    });
    first = *last;
  }
  return bytesRead;
}

std::optional<std::size_t> ProgramIndex::ReadBatch(platform::FileSystem& fs,
                                                   const std::vector<int>& pending,
                                                   std::size_t first,
                                                   std::vector<std::string>& batch,
                                                   std::uint64_t& bytesRead, Control* control,
                                                   std::vector<int>& readPrograms) {
  // Small: a batch of many small files is as many strings held at once.
  constexpr std::uint64_t kBatchBytes = 1 << 18;
  batch.clear();
  std::size_t last = first;
  for (std::uint64_t size = 0; last < pending.size() && size < kBatchBytes; ++last) {
    if (Stopped(control)) return std::nullopt;
    // An unreadable file has no calls, as in a run, and is tried again
    // next time.
    const int program = pending[last];
    std::string& bytes = batch.emplace_back();
    const Text& path = programs_[static_cast<std::size_t>(program)].path;
    if (const platform::Result read = fs.ReadFile(path, bytes); !read) {
      scans_[static_cast<std::size_t>(program)].current = false;
      warnings_.push_back(messages::CannotRead(path, read.description));
    } else {
      readPrograms.push_back(program);
    }
    size += bytes.size();
    bytesRead += bytes.size();
    if (control != nullptr) ++control->done;
  }
  return last;
}

bool ProgramIndex::Link(FileFinder& probe, Control* control) {
  targets_.assign(names_.size(), kUnsought);
  Decoding work;
  for (std::size_t g = 0; g < programs_.size(); ++g) {
    if (control != nullptr) {
      if (control->cancel.load(std::memory_order_relaxed)) return false;
      ++control->done;
    }
    programs_[g].callers.clear();
    DecodeCalls(scans_[g], probe, work, programs_[g].callees);
  }
  return true;
}

bool ProgramIndex::Relink(const std::vector<int>& pending, FileFinder& probe, Control* control) {
  targets_.resize(names_.size(), kUnsought);
  if (control != nullptr) control->done += static_cast<int>(programs_.size() - pending.size());
  Decoding work;
  std::vector<Calls> callees;
  for (const int program : pending) {
    if (control != nullptr) {
      if (control->cancel.load(std::memory_order_relaxed)) return false;
      ++control->done;
    }
    DecodeCalls(scans_[static_cast<std::size_t>(program)], probe, work, callees);
    SetCallees(program, std::move(callees));
  }
  return true;
}

void ProgramIndex::DecodeCalls(const Scan& scan, FileFinder& probe, Decoding& work,
                               std::vector<Calls>& callees) {
  auto& found = work.found;
  found.clear();
  const std::uint8_t* at = scan.calls.data();
  const std::uint8_t* const end = at + scan.calls.size();
  while (at != end) {
    const auto id = static_cast<std::uint32_t>(TakeNumber(at));
    const std::uint64_t count = TakeNumber(at);
    int& to = targets_[id];
    if (to == kUnsought) {
      // As WithMExtension, in a buffer kept: most names searched for have
      // no file, and their search then allocates nothing.
      Text& fileName = work.fileName;
      fileName.assign(names_.Name(id));
      if (!EndsWith(fileName, u".m")) fileName += u".m";
      const std::optional<Text> path = probe.Find(fileName);
      to = path ? ProgramAt(*path) : -1;
    }
    if (to < 0) {
      for (std::uint64_t k = 0; k < count; ++k) SkipNumber(at);
      continue;
    }
    std::int32_t line = 0;
    for (std::uint64_t k = 0; k < count; ++k) {
      line = AfterStep(line, TakeNumber(at));
      found.emplace_back(to, line);
    }
  }
  std::sort(found.begin(), found.end());
  callees.clear();
  // At its final size: the lists are kept.
  std::size_t count = 0;
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (i == 0 || found[i].first != found[i - 1].first) ++count;
  }
  callees.reserve(count);
  for (std::size_t i = 0; i < found.size();) {
    Calls& calls = callees.emplace_back();
    calls.program = found[i].first;
    for (; i < found.size() && found[i].first == calls.program; ++i) {
      if (calls.lines.empty() || calls.lines.back() != found[i].second) {
        calls.lines.push_back(found[i].second);
      }
    }
  }
}

void ProgramIndex::SetCallees(int g, std::vector<Calls> callees) {
  const auto byRank = [this](int c, int rank) { return Rank(c) < rank; };
  Program& caller = programs_[static_cast<std::size_t>(g)];
  for (const Calls& callee : caller.callees) {
    auto& callers = programs_[static_cast<std::size_t>(callee.program)].callers;
    const auto it = std::lower_bound(callers.begin(), callers.end(), Rank(g), byRank);
    if (it != callers.end() && *it == g) callers.erase(it);
  }
  caller.callees = std::move(callees);
  for (const Calls& callee : caller.callees) {
    auto& callers = programs_[static_cast<std::size_t>(callee.program)].callers;
    callers.insert(std::lower_bound(callers.begin(), callers.end(), Rank(g), byRank), g);
  }
}

void ProgramIndex::ReplaceCalls(int g, std::vector<Calls> callees, std::vector<CallSites> sites,
                                std::int32_t firstLine, std::int32_t lastLine) {
  SetCallees(g, std::move(callees));
  Function& function = functions_[static_cast<std::size_t>(g)];
  function.calls = std::move(sites);
  function.firstLine = firstLine;
  function.lastLine = lastLine;
}

void ProgramIndex::InvertCalls() {
  // Every list at its final size from the start: they are kept.
  std::vector<std::size_t> callerCount(programs_.size(), 0);
  for (const Program& program : programs_) {
    for (const Calls& callee : program.callees) {
      ++callerCount[static_cast<std::size_t>(callee.program)];
    }
  }
  for (std::size_t h = 0; h < programs_.size(); ++h) programs_[h].callers.reserve(callerCount[h]);
  for (std::size_t g = 0; g < programs_.size(); ++g) {
    for (const Calls& callee : programs_[g].callees) {
      programs_[static_cast<std::size_t>(callee.program)].callers.push_back(static_cast<int>(g));
    }
  }
}

void ProgramIndex::RankByName() {
  RankOnly();
  for (Program& program : programs_) {
    std::sort(program.callers.begin(), program.callers.end(),
              [this](int a, int b) { return Rank(a) < Rank(b); });
  }
}

void ProgramIndex::RankOnly() {
  // Each name's place in the order of names, worked out once: ASCII case
  // folded first, then the bytes. The names' bytes lie end to end.
  std::string bytes;
  std::vector<std::size_t> ends;
  ends.reserve(programs_.size());
  for (const Program& program : programs_) {
    bytes += platform::FileNameBytesOf(program.name);
    ends.push_back(bytes.size());
  }
  const auto key = [&bytes, &ends](int p) {
    const auto n = static_cast<std::size_t>(p);
    const std::size_t begin = n == 0 ? 0 : ends[n - 1];
    return std::string_view(bytes).substr(begin, ends[n] - begin);
  };
  std::vector<int> byName(programs_.size());
  for (std::size_t p = 0; p < byName.size(); ++p) byName[p] = static_cast<int>(p);
  std::sort(byName.begin(), byName.end(), [&key](int a, int b) {
    const std::string_view x = key(a);
    const std::string_view y = key(b);
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
      const auto fx = static_cast<unsigned char>(AsciiLower(x[i]));
      const auto fy = static_cast<unsigned char>(AsciiLower(y[i]));
      if (fx != fy) return fx < fy;
    }
    if (x.size() != y.size()) return x.size() < y.size();
    return x < y;
  });
  rank_.assign(programs_.size(), 0);
  for (std::size_t r = 0; r < byName.size(); ++r) {
    rank_[static_cast<std::size_t>(byName[r])] = static_cast<int>(r);
  }
}

}  // namespace korvath::engine
