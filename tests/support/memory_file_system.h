#pragma once
// An in-memory file system for tests: paths are plain strings with "/" as the
// separator; directory entries written with "\" are read as "/".

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/utf8.h"

namespace korvath::testing {

class MemoryFileSystem final : public platform::FileSystem {
 public:
  // Adds or replaces a file; its parent directories come into existence with
  // it, and every write gives it a new stamp.
  void AddFile(const std::string& path, std::string bytes) {
    stamps_[Normalize(path)] = {bytes.size(), ++writes_, 0};
    files_[Normalize(path)] = std::move(bytes);
    for (std::string dir = Parent(Normalize(path)); !dir.empty(); dir = Parent(dir)) {
      dirs_.insert(dir);
      if (dir == "/") break;
    }
  }
  // What StatFile reports for an existing file from now on, whatever its bytes.
  void SetStamp(const std::string& path, const platform::FileStamp& stamp) {
    stamps_[Normalize(path)] = stamp;
  }
  void AddDirectory(const std::string& path) { dirs_.insert(Normalize(path)); }
  void MakeUnreadable(const std::string& path) { unreadable_.insert(Normalize(path)); }
  void MakeReadable(const std::string& path) { unreadable_.erase(Normalize(path)); }
  void SetCwd(const std::string& path) { cwd_ = Normalize(path); }
  // Called with every path read, before the read (a test may throw from it).
  std::function<void(const std::u16string&)> beforeRead;
  int listings = 0;

  platform::Result ReadFile(const std::u16string& path, std::string& bytes) override {
    if (beforeRead) beforeRead(path);
    bytes.clear();
    const std::string p = Normalize(Absolute(platform::FileNameBytesOf(path)));
    auto it = files_.find(p);
    if (it == files_.end()) return Fail(platform::Status::NotFound, "no such file");
    if (unreadable_.count(p) != 0) return Fail(platform::Status::Unreadable, "cannot open");
    bytes = it->second;
    return {};
  }
  platform::Result ListDirectory(const std::u16string& dir,
                                 std::vector<std::string>& files) override {
    ++listings;
    files.clear();
    const std::string d = Normalize(Absolute(platform::FileNameBytesOf(dir)));
    if (dirs_.count(d) == 0) return Fail(platform::Status::NotFound, "no such directory");
    if (unreadable_.count(d) != 0) return Fail(platform::Status::Unreadable, "cannot list");
    for (const auto& [path, bytes] : files_) {
      if (Parent(path) == d) files.push_back(path.substr(d == "/" ? 1 : d.size() + 1));
    }
    return {};
  }
  platform::Result ListEntries(const std::u16string& dir, std::vector<std::string>& files,
                               std::vector<std::string>& folders) override {
    folders.clear();
    if (platform::Result listed = ListDirectory(dir, files); !listed) return listed;
    const std::string d = Normalize(Absolute(platform::FileNameBytesOf(dir)));
    for (const std::string& sub : dirs_) {
      if (sub != d && Parent(sub) == d) folders.push_back(sub.substr(d == "/" ? 1 : d.size() + 1));
    }
    return {};
  }
  platform::Result StatFile(const std::u16string& path, platform::FileStamp& stamp) override {
    const std::string p = Normalize(Absolute(platform::FileNameBytesOf(path)));
    const auto it = files_.find(p);
    if (it == files_.end()) return Fail(platform::Status::NotFound, "no such file");
    stamp = stamps_[p];
    return {};
  }
  void RemoveFile(const std::string& path) { files_.erase(Normalize(path)); }
  std::u16string CurrentDirectory() override { return platform::FileNameText(cwd_); }
  platform::Result SetCurrentDirectory(const std::u16string& dir) override {
    const std::string d = Normalize(Absolute(platform::FileNameBytesOf(dir)));
    if (dirs_.count(d) == 0) return Fail(platform::Status::NotFound, "no such directory");
    cwd_ = d;
    return {};
  }
  std::u16string JoinPath(const std::u16string& dir, const std::u16string& file) const override {
    std::u16string d = dir;
    for (auto& c : d) {
      if (c == u'\\') c = u'/';
    }
    if (d.empty()) return file;
    if (d.back() != u'/') d.push_back(u'/');
    return d + file;
  }

 private:
  static platform::Result Fail(platform::Status status, const char* why) {
    return platform::Result::Failure(status, why);
  }
  static std::string Normalize(std::string p) {
    for (auto& c : p) {
      if (c == '\\') c = '/';
    }
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
  }
  static std::string Parent(const std::string& p) {
    const auto slash = p.rfind('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return p == "/" ? std::string{} : std::string("/");
    return p.substr(0, slash);
  }
  std::string Absolute(const std::string& p) const {
    if (!p.empty() && (p[0] == '/' || p[0] == '\\')) return p;
    return cwd_ == "/" ? "/" + p : cwd_ + "/" + p;
  }

  std::map<std::string, std::string> files_;
  std::map<std::string, platform::FileStamp> stamps_;
  std::int64_t writes_ = 0;
  std::set<std::string> dirs_{"/"};
  std::set<std::string> unreadable_;
  std::string cwd_ = "/";
};

}  // namespace korvath::testing
