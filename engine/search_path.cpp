#include "engine/search_path.h"

#include "engine/text_lines.h"
#include "platform/host.h"

namespace korvath::engine {
namespace {

constexpr TextView kMarker = u"p = [...";
constexpr TextView kRootWord = u"matlabroot,'";
constexpr std::size_t kMaxEntryLength = 4096;

void DropSuffix(Text& text, TextView tail) {
  if (EndsWith(text, tail)) text.resize(text.size() - tail.size());
}

void DropBlanksAtEnd(Text& text) { text.resize(TrimBlanksRight(text).size()); }

}  // namespace

std::optional<Text> SearchPathRoot(TextView pathdefFile) {
  const std::size_t at = pathdefFile.rfind(u"toolbox");
  // The root ends one character (the separator) before "toolbox".
  if (at == TextView::npos || at < 1) return std::nullopt;
  return Text(pathdefFile.substr(0, at - 1));
}

std::optional<Text> PathdefEntry(TextView line, TextView root, bool slashIsSeparator) {
  const bool hasSeparator =
      line.find(u'\\') != TextView::npos || (slashIsSeparator && line.find(u'/') != TextView::npos);
  if (!hasSeparator) return std::nullopt;
  std::size_t begin = 0;
  std::size_t end = line.size();
  while (begin < end && (line[begin] == u' ' || line[begin] == u'\t')) ++begin;
  while (end > begin && (line[end - 1] == u' ' || line[end - 1] == u'\t')) --end;
  Text entry(line.substr(begin, end - begin));

  if (entry.find(kRootWord) != Text::npos) {
    // Counted first: a line repeating the root word would otherwise make an
    // entry of gigabytes. No directory path is that long.
    std::size_t length = entry.size();
    for (std::size_t at = entry.find(kRootWord); at != Text::npos;
         at = entry.find(kRootWord, at + kRootWord.size())) {
      length = length - kRootWord.size() + root.size();
      if (length > kMaxEntryLength) return std::nullopt;
    }
    Text replaced;
    replaced.reserve(length);
    std::size_t from = 0;
    for (std::size_t at = entry.find(kRootWord); at != Text::npos;
         at = entry.find(kRootWord, from)) {
      replaced.append(entry, from, at - from);
      replaced += root;
      from = at + kRootWord.size();
    }
    replaced.append(entry, from, Text::npos);
    entry = std::move(replaced);
  } else if (!entry.empty() && entry.front() == u'\'') {
    entry.erase(0, 1);
  }
  DropSuffix(entry, u"...");
  DropBlanksAtEnd(entry);
  DropSuffix(entry, u",");
  DropBlanksAtEnd(entry);
  DropSuffix(entry, u"'");
  if (!entry.empty() && (entry.back() == u';' || entry.back() == u':')) entry.pop_back();
  if (entry.empty()) return std::nullopt;
  return entry;
}

Result ReadSearchPath(TextView pathdefFile, platform::FileSystem& fs, std::vector<Text>& dirs) {
  const Text path(TrimBlanks(pathdefFile));
  dirs.assign(1, Text());
  std::string bytes;
  if (Result read = fs.ReadFile(path, bytes); !read) return read;
  const auto root = SearchPathRoot(path);
  if (!root) return Result::Failure(Status::Invalid, "the path of pathdef.m has no toolbox folder");

  const bool slashIsSeparator = platform::SlashIsSeparator();
  TextLines lines(std::move(bytes));
  Text line;
  bool afterMarker = false;
  while (lines.Next(line)) {
    if (!afterMarker) {
      afterMarker = StartsWith(line, kMarker);
      continue;
    }
    // pathdef.m separates with "\" on every system; elsewhere "\" is a
    // character a folder's name may hold, so only the entries are converted,
    // not the root or the current folder put into them.
    auto entry = PathdefEntry(platform::ToHostSeparators(std::move(line)), *root, slashIsSeparator);
    if (!entry) continue;
    // A relative folder is the file system's current one's, fixed now so
    // that every path found is absolute whatever the process's folder is.
    if (!platform::IsAbsolutePath(*entry)) {
      *entry = fs.JoinPath(fs.CurrentDirectory(), *entry);
    }
    dirs.push_back(std::move(*entry));
  }
  dirs.push_back(fs.CurrentDirectory());
  return {};
}

}  // namespace korvath::engine
