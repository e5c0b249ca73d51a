#include "tests/oracle/literal_engine.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string>

#include "engine/messages.h"
#include "engine/number_text.h"
#include "engine/search_path.h"
#include "platform/utf8.h"

namespace korvath::literal {
namespace {

// Kept here rather than taken from the engine, so that a wrong table there
// shows up as a difference.
constexpr TextView Delimiters = u"=+-*^~&/<>\\|':, ";
constexpr TextView kQuoteOpeners = u"=+-*^~&/<>\\|':, ([{";

// --- 1-based string helpers, so the code reads like the algorithms --------

// Position of `what` in `s` searching from `from`, or 0.
std::size_t InStr(TextView s, TextView what, std::size_t from = 1) {
  if (from > s.size() + 1) return 0;
  const auto p = s.find(what, from - 1);
  return p == TextView::npos ? 0 : p + 1;
}

Text Left(TextView s, std::size_t n) { return Text(s.substr(0, std::min(n, s.size()))); }

Text Right(TextView s, std::size_t n) {
  n = std::min(n, s.size());
  return Text(s.substr(s.size() - n));
}

Text Mid(TextView s, std::size_t start, std::size_t length) {
  if (start > s.size()) return Text();
  return Text(s.substr(start - 1, length));
}

char16_t CharAt(TextView s, std::size_t position) { return s[position - 1]; }

Text Trim(TextView s) {
  std::size_t first = 0;
  while (first < s.size() && s[first] == u' ') ++first;
  std::size_t last = s.size();
  while (last > first && s[last - 1] == u' ') --last;
  return Text(s.substr(first, last - first));
}

Text TrimRight(TextView s) {
  std::size_t last = s.size();
  while (last > 0 && s[last - 1] == u' ') --last;
  return Text(s.substr(0, last));
}

bool LastTwoAreDotM(TextView s) { return s.size() >= 2 && s.substr(s.size() - 2) == u".m"; }

Text Decimal(std::int32_t value) {
  const std::string digits = std::to_string(value);
  return Text(digits.begin(), digits.end());
}

bool EqualsIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// --- the probe: every directory listed afresh for every lookup ------------

std::optional<Text> FindFile(platform::FileSystem& fs, const std::vector<Text>& dirs,
                             TextView fileName) {
  const std::string wanted = platform::ToUtf8(fileName);
  for (std::size_t k = 1; k < dirs.size(); ++k) {
    const platform::DirectoryListing listing = fs.ListDirectory(dirs[k]);
    if (listing.status == platform::DirectoryListing::Status::Missing) continue;
    if (listing.status == platform::DirectoryListing::Status::Unreadable) return std::nullopt;
    std::optional<std::string> chosen;
    for (const std::string& name : listing.files) {
      if (!EqualsIgnoringAsciiCase(name, wanted)) continue;
      if (name == wanted) {
        chosen = name;
        break;
      }
      if (!chosen || name < *chosen) chosen = name;
    }
    if (chosen) return fs.JoinPath(dirs[k], platform::FromUtf8(*chosen));
  }
  return std::nullopt;
}

// --- the tree walk ---------------------------------------------------------

class TreeWalk {
 public:
  TreeWalk(const Table& table, TreeModel& tree, MessageSink& messages, TreeLimits limits)
      : table_(table), tree_(tree), messages_(messages), limits_(limits) {}

  // False once the node budget has ended the whole walk.
  bool AddCallNodes(const Text& caller, int parentIndex, int parentLevel) {
    const std::size_t last = table_.size() - 1;
    for (std::size_t i = 1; i <= last; ++i) {
      const FunctionRecord& r = table_[i];
      if (r.Caller != caller) continue;
      if (tree_.Count() >= limits_.maxNodes) {
        messages_.ShowMessage(MessageIcon::Critical, messages::kTreeTooLarge);
        return false;
      }
      try {
        tree_.AddChild(parentIndex,
                       NodeLabel{static_cast<int>(i), r.Name, r.Lines, r.AlsoCalledBy});
      } catch (const std::exception& e) {
        messages_.ShowMessage(MessageIcon::None,
                              messages::TreeNodeError(0, platform::FromUtf8(e.what())));
        continue;
      }
      const int node = tree_.Count();
      const int level = parentLevel + 1;
      if (r.AlsoCalledBy.empty()) {
        if (level >= limits_.maxDepth) {
          messages_.ShowMessage(MessageIcon::Critical, messages::kOutOfStackSpace);
          return true;  // this level is abandoned; the one above goes on
        }
        if (!AddCallNodes(r.Name, node, level)) return false;
      }
    }
    return true;
  }

 private:
  const Table& table_;
  TreeModel& tree_;
  MessageSink& messages_;
  TreeLimits limits_;
};

}  // namespace

void AddCall(Table& table, TextView caller, TextView name, std::int32_t line) {
  if (name.empty()) return;
  const std::size_t last = table.size() - 1;
  for (std::size_t i = 1; i <= last; ++i) {
    if (table[i].Name == name && table[i].Caller == caller) {
      table[i].Lines += u",";
      table[i].Lines += Decimal(line);
      return;
    }
  }
  std::size_t slot = 0;
  for (std::size_t i = 1; i <= last; ++i) {
    if (table[i].Caller.empty() && table[i].Name.empty()) {
      slot = i;
      break;
    }
  }
  if (slot == 0) {
    table.emplace_back();
    slot = table.size() - 1;
  }
  if (ReadsAsNumber(name)) return;
  table[slot].Name = Text(name);
  table[slot].Caller = Text(caller);
  table[slot].Lines = Decimal(line);
  table[slot].Parsed = false;
}

std::size_t FindClosingParen(TextView text, std::size_t start) {
  int depth = 0;
  for (std::size_t i = start; i <= text.size(); ++i) {
    if (CharAt(text, i) == u')') {
      --depth;
      if (depth == 0) return i;
    } else if (CharAt(text, i) == u'(') {
      ++depth;
    }
  }
  return 0;
}

void FindCalls(Table& table, TextView f, TextView caller, std::int32_t line) {
  if (f.empty()) return;
  std::size_t d = 0;
  for (const char16_t delimiter : Delimiters) {
    const std::size_t at = InStr(f, TextView(&delimiter, 1));
    if (at != 0 && (d == 0 || at < d)) d = at;
  }
  std::size_t p = InStr(f, u"(");
  if (d == 0 && p == 0) {
    AddCall(table, caller, Trim(f), line);
    return;
  }
  // A missing split point lies just past the end of the text.
  if (d == 0) d = f.size() + 1;
  if (p == 0) p = f.size() + 1;
  Text r;
  if (d < p) {
    FindCalls(table, Trim(Left(f, d - 1)), caller, line);
    r = Right(f, f.size() - d);
  } else {
    const std::size_t e = FindClosingParen(f, p);
    const Text n = Trim(Left(f, p - 1));
    if (!n.empty()) AddCall(table, caller, n, line);
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

void ScanFile(Table& table, TextLines& lines, TextView fileName) {
  std::int32_t physicalLine = 0;
  Text text;
  Text next;
  while (!lines.AtEnd()) {
    if (!lines.Next(text)) break;
    ++physicalLine;
    const std::int32_t lineNumber = physicalLine;

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

    for (char16_t& unit : text) {
      if (unit == u'\t') unit = u' ';
    }

    if (InStr(text, u"'") != 0) {
      const Text trimmed = Trim(text);
      if (!trimmed.empty() && CharAt(trimmed, 1) == u'%') text.clear();
      std::size_t position = 1;
      while (position < text.size()) {
        // Position 1 has no character before it; a quote there opens a string.
        // It is looked at only once: after a removal the scan resumes at 2.
        if (CharAt(text, position) == u'\'' &&
            (position == 1 || InStr(kQuoteOpeners, TextView(&text[position - 2], 1)) != 0)) {
          const std::size_t q = InStr(text, u"'", position + 1);
          if (q != 0) {
            text = Left(text, position - 1) + Right(text, text.size() - q);
            position = 1;
          } else {
            text.clear();
          }
        }
        ++position;
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
      for (char16_t& unit : text) {
        if (unit == bracket) unit = u' ';
      }
    }

    FindCalls(table, text, fileName, lineNumber);
  }
}

RunOutcome LiteralParseAndBuild(EngineState& state, TextView startName, RunServices& services) {
  Table table(2);
  table[1].Name = Text(startName);
  table[1].Lines = u"0";
  table[1].Parsed = false;

  std::vector<Text> dirs;
  if (!ReadSearchPath(state.PathdefFile, services.fs, dirs)) {
    services.messages.ShowMessage(MessageIcon::Critical, messages::kPathdefNotFound);
    state.FinalRecords = table;
    return RunOutcome::PathdefFailed;
  }

  ProgressSink& progress = services.progress;
  progress.Show();
  progress.Refresh();

  bool done = false;
  while (!done) {
    done = true;
    int parsedCount = 0;
    int totalCount = 0;
    std::size_t current = 0;
    for (std::size_t i = 1; i <= table.size() - 1; ++i) {
      if (!table[i].Name.empty()) ++totalCount;
      if (table[i].Parsed) {
        if (!table[i].Name.empty()) ++parsedCount;
      } else {
        bool linked = false;
        for (std::size_t j = 1; j <= table.size() - 1; ++j) {
          if (j != i && table[j].Name == table[i].Name && table[j].Caller != table[i].Caller &&
              table[j].Parsed) {
            table[i].AlsoCalledBy = table[j].Caller;
            table[i].Parsed = true;
            linked = true;
            break;
          }
        }
        if (!linked) {
          current = i;
          done = false;
        }
      }
    }
    progress.SetCaption(messages::ProgressCaption(parsedCount, totalCount));
    progress.Refresh();

    if (!done) {
      Text fileName = table[current].Name;
      table[current].Parsed = true;
      if (!LastTwoAreDotM(fileName)) fileName += u".m";
      const std::optional<Text> filePath = FindFile(services.fs, dirs, fileName);
      if (filePath) {
        std::string error;
        std::optional<std::string> bytes = services.fs.ReadFile(*filePath, &error);
        if (bytes) {
          TextLines lines(std::move(*bytes));
          ScanFile(table, lines, fileName);
        } else {
          services.messages.FileUnreadable(*filePath, error);
        }
      } else {
        table[current].Name.clear();
        table[current].Caller.clear();
      }
    }
  }

  // Record 1 can only have lost its name in the loop by not being found.
  const bool startNotFound = table[1].Name.empty();

  Text startFunction;
  for (std::size_t i = 1; i <= table.size() - 1; ++i) {
    FunctionRecord& r = table[i];
    for (Text* field : {&r.Name, &r.Caller, &r.AlsoCalledBy}) {
      if (LastTwoAreDotM(*field)) *field = Left(*field, field->size() - 2);
    }
    if (i == 1) startFunction = r.Name;
    for (std::size_t d = 1; d < state.Discards.size(); ++d) {
      if (r.Name == state.Discards[d].Name && !state.Discards[d].Show) {
        r.Name.clear();
        r.Caller.clear();
      }
    }
  }

  progress.SetCaption(messages::kBuildingTree);
  progress.Refresh();

  TreeModel& tree = services.tree;
  tree.Clear();
  RunOutcome outcome = RunOutcome::TreeBuilt;
  if (table[1].Name.empty()) {
    services.messages.ShowMessage(MessageIcon::Information,
                                  startNotFound ? messages::StartFileNotFound(startName)
                                                : messages::StartFunctionDiscarded(startFunction));
    outcome = RunOutcome::StartNotFound;
  } else {
    const Text root = table[1].Name;
    tree.AddRoot(root, root);
    TreeWalk walk(table, tree, services.messages, services.limits);
    walk.AddCallNodes(root, tree.Count(), 0);
  }

  state.FinalRecords = table;
  progress.Close();
  return outcome;
}

}  // namespace korvath::literal
