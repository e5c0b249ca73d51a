#include "tests/oracle/literal_engine.h"

#include <algorithm>
#include <optional>
#include <string>

#include "engine/messages.h"
#include "engine/number_text.h"
#include "engine/search_path.h"
#include "engine/text_lines.h"
#include "platform/utf8.h"

namespace korvath::literal {

using namespace korvath::engine;  // NOLINT(google-build-using-namespace)

namespace {

using Table = std::vector<FunctionRecord>;  // element 0 is never used

// Kept here rather than taken from the engine, so that a wrong table there
// shows up as a difference.
constexpr TextView kDelimiters = u"=+-*^~&/<>\\|':, ";
constexpr TextView kQuoteOpeners = u"=+-*^~&/<>\\|':, ([{";

// --- 1-based string helpers, so the code reads like the algorithms ---------

// Position of `what` in `s` searching from `from`, or 0.
std::size_t InStr(TextView s, TextView what, std::size_t from = 1) {
  if (from > s.size() + 1) return 0;
  const auto p = s.find(what, from - 1);
  return p == TextView::npos ? 0 : p + 1;
}
Text Left(TextView s, std::size_t n) { return Text(s.substr(0, std::min(n, s.size()))); }
Text Right(TextView s, std::size_t n) { return Text(s.substr(s.size() - std::min(n, s.size()))); }
Text Mid(TextView s, std::size_t start, std::size_t length) {
  return start > s.size() ? Text() : Text(s.substr(start - 1, length));
}
char16_t CharAt(TextView s, std::size_t position) { return s[position - 1]; }
Text TrimRight(TextView s) {
  std::size_t last = s.size();
  while (last > 0 && s[last - 1] == u' ') --last;
  return Text(s.substr(0, last));
}
Text Trim(TextView s) {
  std::size_t first = 0;
  while (first < s.size() && s[first] == u' ') ++first;
  return TrimRight(s.substr(first));
}
bool LastTwoAreDotM(TextView s) { return Right(s, 2) == u".m"; }
Text Decimal(std::int32_t value) {
  const std::string digits = std::to_string(value);
  return Text(digits.begin(), digits.end());
}

// --- the call table -----------------------------------------------------------

// Files one occurrence of `name` in `caller` at `line`: appends to the record
// of the pair, else fills the first blanked slot, else grows the table by one.
// A name that reads as a number is dropped only after its slot was chosen, so
// on a full table it still leaves one empty, unparsed record behind.
void AddCall(Table& table, TextView caller, TextView name, std::int32_t line) {
  if (name.empty()) return;
  for (std::size_t i = 1; i <= table.size() - 1; ++i) {
    if (table[i].name == name && table[i].caller == caller) {
      table[i].lines += u"," + Decimal(line);
      return;
    }
  }
  std::size_t slot = 0;
  for (std::size_t i = 1; i <= table.size() - 1 && slot == 0; ++i) {
    if (table[i].caller.empty() && table[i].name.empty()) slot = i;
  }
  if (slot == 0) {
    table.emplace_back();
    slot = table.size() - 1;
  }
  if (ReadsAsNumber(name)) return;
  table[slot] = FunctionRecord{Text(caller), Text(name), Text(), Decimal(line), false};
}

// Position of the ")" that closes the "(" at `start`, or 0 when the text ends
// first.
std::size_t FindClosingParen(TextView text, std::size_t start) {
  int depth = 0;
  for (std::size_t i = start; i <= text.size(); ++i) {
    if (CharAt(text, i) == u'(') ++depth;
    if (CharAt(text, i) == u')' && --depth == 0) return i;
  }
  return 0;
}

// Cuts `f` into names, recursively, and files each with AddCall.
void FindCalls(Table& table, TextView f, TextView caller, std::int32_t line) {
  if (f.empty()) return;
  std::size_t d = 0;
  for (const char16_t delimiter : kDelimiters) {
    const std::size_t at = InStr(f, TextView(&delimiter, 1));
    if (at != 0 && (d == 0 || at < d)) d = at;
  }
  std::size_t p = InStr(f, u"(");
  if (d == 0 && p == 0) return AddCall(table, caller, Trim(f), line);
  // A missing split point lies just past the end of the text.
  if (d == 0) d = f.size() + 1;
  if (p == 0) p = f.size() + 1;
  Text r;
  if (d < p) {
    FindCalls(table, Trim(Left(f, d - 1)), caller, line);
    r = Right(f, f.size() - d);
  } else {
    const std::size_t e = FindClosingParen(f, p);
    AddCall(table, caller, Trim(Left(f, p - 1)), line);
    if (e != 0) {
      FindCalls(table, Trim(Mid(f, p + 1, e - p - 1)), caller, line);
      r = Right(f, f.size() - e);
    } else {
      // Unmatched "(": the rest of the text is its argument list.
      FindCalls(table, Trim(Mid(f, p + 1, f.size() - p)), caller, line);
    }
  }
  FindCalls(table, Trim(r), caller, line);
}

// Cleans every statement of a file and hands it to FindCalls; `fileName` is
// the caller of every call found.
void ScanFile(Table& table, TextLines& lines, TextView fileName) {
  std::int32_t physicalLine = 0;
  Text text;
  Text next;
  while (!lines.AtEnd() && lines.Next(text)) {
    const std::int32_t lineNumber = ++physicalLine;
    text = Trim(text);
    for (char16_t& unit : text) unit = LowerUnit(unit);
    // Continuation lines are appended as read: not trimmed, not lower-cased.
    while (Right(TrimRight(text), 3) == u"..." && !lines.AtEnd()) {
      text = TrimRight(text);
      text = Left(text, text.size() - 3);
      if (!lines.Next(next)) break;
      ++physicalLine;
      text += next;
    }
    if (Left(text, 8) == u"function") text.clear();
    std::replace(text.begin(), text.end(), u'\t', u' ');

    if (InStr(text, u"'") != 0) {
      const Text trimmed = Trim(text);
      if (!trimmed.empty() && CharAt(trimmed, 1) == u'%') text.clear();
      for (std::size_t position = 1; position < text.size(); ++position) {
        // Position 1 has no character before it; a quote there opens a string.
        // It is looked at only once: after a removal the scan resumes at 2.
        if (CharAt(text, position) != u'\'') continue;
        if (position != 1 && InStr(kQuoteOpeners, TextView(&text[position - 2], 1)) == 0) continue;
        const std::size_t q = InStr(text, u"'", position + 1);
        if (q == 0) {
          text.clear();
        } else {
          text = Left(text, position - 1) + Right(text, text.size() - q);
          position = 1;
        }
      }
    }
    const std::size_t percent = InStr(text, u"%");
    if (percent != 0) text = Left(text, percent - 1);
    const std::size_t equals = InStr(text, u"=");
    if (equals != 0 && Mid(text, equals, 2) != u"==") {
      if (InStr(text, u"for") != 0) AddCall(table, fileName, u"For", lineNumber);
      text = Right(text, text.size() - equals);
    }
    for (const char16_t bracket : TextView(u"[]{};")) {
      std::replace(text.begin(), text.end(), bracket, u' ');
    }
    FindCalls(table, text, fileName, lineNumber);
  }
}

// --- the probe: every directory listed afresh for every lookup -------------

// The first directory holding the file ignoring case wins; in it the exact
// spelling, else the first in byte order. An unreadable directory is passed
// over, the first search to pass it telling `messages`, once for each folder.
std::optional<Text> FindFile(platform::FileSystem& fs, const std::vector<Text>& dirs,
                             TextView fileName, MessageSink& messages, std::vector<Text>& told) {
  const auto fold = [](std::string s) {
    for (char& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return s;
  };
  const std::string wanted = platform::FileNameBytesOf(fileName);
  for (std::size_t k = 1; k < dirs.size(); ++k) {
    std::vector<std::string> files;
    if (const Result listed = fs.ListDirectory(dirs[k], files);
        listed.status == Status::Unreadable) {
      if (std::find(told.begin(), told.end(), dirs[k]) == told.end()) {
        told.push_back(dirs[k]);
        messages.FolderUnlistable(dirs[k], listed);
      }
      continue;
    }
    std::optional<std::string> chosen;
    for (const std::string& name : files) {
      if (fold(name) != fold(wanted)) continue;
      if (name == wanted || !chosen || name < *chosen) chosen = name;
      if (name == wanted) break;
    }
    if (chosen) return fs.JoinPath(dirs[k], platform::FileNameText(*chosen));
  }
  return std::nullopt;
}

// --- the tree walk ------------------------------------------------------------

struct TreeWalk {
  const Table& table;
  RunServices& services;

  // False once the node budget has ended the whole walk.
  bool AddCallNodes(const Text& caller, int parentIndex, int parentLevel) {
    for (std::size_t i = 1; i <= table.size() - 1; ++i) {
      const FunctionRecord& r = table[i];
      if (r.caller != caller) continue;
      if (services.tree.Count() >= services.limits.maxNodes) {
        services.messages.ShowMessage(MessageIcon::Critical, messages::kTreeTooLarge);
        return false;
      }
      int node = 0;
      const Result added = services.tree.AddChild(
          parentIndex, NodeLabel{static_cast<int>(i), r.name, r.lines, r.alsoCalledBy}, node);
      if (!added) {
        services.messages.ShowMessage(
            MessageIcon::None, messages::TreeNodeError(0, platform::FromUtf8(added.description)));
        continue;
      }
      if (!r.alsoCalledBy.empty()) continue;
      if (parentLevel + 1 >= services.limits.maxDepth) {
        services.messages.ShowMessage(MessageIcon::Critical, messages::kOutOfStackSpace);
        return true;  // this level is abandoned; the one above goes on
      }
      if (!AddCallNodes(r.name, node, parentLevel + 1)) return false;
    }
    return true;
  }
};

}  // namespace

Result LiteralParseAndBuild(const RunInput& input, RunServices& services, RunOutput& output) {
  output = RunOutput{};
  RunStats& stats = output.stats;
  Table table(2);
  table[1].name = input.startName;
  table[1].lines = u"0";

  std::vector<Text> dirs;
  if (const Result read = ReadSearchPath(input.pathdefFile, services.fs, dirs); !read) {
    services.messages.ShowMessage(MessageIcon::Critical, messages::kPathdefNotFound);
    output.records = table;
    return Result::Failure(Status::NoSearchPath, read.description);
  }
  std::vector<Text> unlistableTold;
  ProgressSink& progress = services.progress;
  progress.Show();
  progress.Refresh();

  for (bool done = false; !done;) {
    ++stats.passes;
    done = true;
    int parsedCount = 0;
    int totalCount = 0;
    std::size_t current = 0;
    for (std::size_t i = 1; i <= table.size() - 1; ++i) {
      if (!table[i].name.empty()) ++totalCount;
      if (table[i].parsed) {
        if (!table[i].name.empty()) ++parsedCount;
        continue;
      }
      bool linked = false;
      for (std::size_t j = 1; j <= table.size() - 1 && !linked; ++j) {
        if (j != i && table[j].name == table[i].name && table[j].caller != table[i].caller &&
            table[j].parsed) {
          table[i].alsoCalledBy = table[j].caller;
          table[i].parsed = true;
          linked = true;
        }
      }
      if (!linked) {
        current = i;
        done = false;
      }
    }
    progress.SetCaption(messages::ProgressCaption(parsedCount, totalCount));
    progress.Refresh();
    if (done) break;

    Text fileName = table[current].name;
    table[current].parsed = true;
    if (!LastTwoAreDotM(fileName)) fileName += u".m";
    const std::optional<Text> filePath =
        FindFile(services.fs, dirs, fileName, services.messages, unlistableTold);
    if (!filePath) {
      table[current].name.clear();
      table[current].caller.clear();
      continue;
    }
    output.filePaths[Left(fileName, fileName.size() - 2)] = *filePath;
    std::string bytes;
    if (const Result read = services.fs.ReadFile(*filePath, bytes); !read) {
      services.messages.FileUnreadable(*filePath, read);
      continue;
    }
    ++stats.filesScanned;
    stats.bytesRead += bytes.size();
    stats.scannedFiles.push_back(*filePath);
    TextLines lines(std::move(bytes));
    ScanFile(table, lines, fileName);
  }
  stats.records = static_cast<int>(table.size()) - 1;

  // Record 1 can only have lost its name in the loop by not being found.
  const bool startNotFound = table[1].name.empty();
  Text startFunction;
  for (std::size_t i = 1; i <= table.size() - 1; ++i) {
    FunctionRecord& r = table[i];
    for (Text* field : {&r.name, &r.caller, &r.alsoCalledBy}) {
      if (LastTwoAreDotM(*field)) *field = Left(*field, field->size() - 2);
    }
    if (i == 1) startFunction = r.name;
    for (std::size_t d = 1; d < input.discards.size(); ++d) {
      if (r.name == input.discards[d].name && !input.discards[d].show) {
        r.name.clear();
        r.caller.clear();
      }
    }
  }
  progress.SetCaption(messages::kBuildingTree);
  progress.Refresh();

  TreeSink& tree = services.tree;
  tree.Clear();
  Result result;
  if (table[1].name.empty()) {
    services.messages.ShowMessage(MessageIcon::Information,
                                  startNotFound ? messages::StartFileNotFound(input.startName)
                                                : messages::StartFunctionDiscarded(startFunction));
    result = Result::Failure(Status::NoStartFile, "the start file has no record");
  } else {
    tree.AddRoot(table[1].name, table[1].name);
    TreeWalk{table, services}.AddCallNodes(table[1].name, tree.Count(), 0);
  }
  stats.nodes = tree.Count();
  output.records = std::move(table);
  progress.Close();
  return result;
}

}  // namespace korvath::literal
