#include "engine/matlab_syntax.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace korvath::engine::matlab {
namespace {

// Sorted, for a binary search: every name of every file is tested.
constexpr std::array<std::string_view, 37> kKeywords = {
    "break",
    "case",
    "catch",
    "classdef",
    "continue",
    "do",
    "else",
    "elseif",
    "end",
    "end_try_catch",
    "end_unwind_protect",
    "endclassdef",
    "endenumeration",
    "endevents",
    "endfor",
    "endfunction",
    "endif",
    "endmethods",
    "endparfor",
    "endproperties",
    "endswitch",
    "endwhile",
    "for",
    "function",
    "global",
    "if",
    "otherwise",
    "parfor",
    "persistent",
    "return",
    "spmd",
    "switch",
    "try",
    "until",
    "unwind_protect",
    "unwind_protect_cleanup",
    "while",
};

// A keyword's number: its place in kKeywords + 1; 0 for any other word.
using Keyword = std::uint8_t;
constexpr Keyword KeywordIn(std::string_view word) {
  for (std::size_t k = 0; k < kKeywords.size(); ++k) {
    if (kKeywords[k] == word) return static_cast<Keyword>(k + 1);
  }
  return 0;
}
// Known when compiled, never searched for at run time.
consteval Keyword Kw(std::string_view word) { return KeywordIn(word); }

// Every name read is asked whether it is a keyword: a hash of its first and
// last letters and its length picks the one keyword it could be, so that a
// name costs a few instructions and one comparison at most. The hash has no
// collisions among the keywords (checked below).
constexpr std::size_t KeywordSlot(std::string_view w) {
  return (std::size_t{static_cast<unsigned char>(w.front())} * 4U + w.size() * 9U +
          std::size_t{static_cast<unsigned char>(w.back())}) &
         127U;
}
constexpr auto kKeywordSlots = [] {
  std::array<Keyword, 128> slots{};
  for (std::size_t k = 0; k < kKeywords.size(); ++k) {
    slots[KeywordSlot(kKeywords[k])] = static_cast<Keyword>(k + 1);
  }
  return slots;
}();
static_assert(
    [] {
      for (std::size_t k = 0; k < kKeywords.size(); ++k) {
        if (kKeywordSlots[KeywordSlot(kKeywords[k])] != k + 1) return false;
      }
      return true;
    }(),
    "two keywords share a slot");
Keyword KeywordOf(std::string_view w) {
  if (w.size() < 2 || w.size() > 22) return 0;
  const Keyword k = kKeywordSlots[KeywordSlot(w)];
  return k != 0 && kKeywords[k - 1U] == w ? k : 0;
}

constexpr auto kEndKeywords = [] {
  std::array<bool, kKeywords.size() + 1> ends{};
  for (const std::string_view w :
       {"end", "endfunction", "endif", "endwhile", "endfor", "endparfor", "endswitch",
        "end_try_catch", "end_unwind_protect", "endclassdef", "endmethods", "endproperties",
        "endevents", "endenumeration"}) {
    ends[KeywordIn(w)] = true;
  }
  return ends;
}();
bool IsEndKeyword(Keyword k) { return kEndKeywords[k]; }

constexpr bool IsIdentStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
// A table: every byte of every name is asked.
constexpr auto kIdentChars = [] {
  std::array<bool, 256> chars{};
  for (int c = 0; c < 256; ++c) {
    chars[static_cast<std::size_t>(c)] =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  }
  return chars;
}();
bool IsIdentChar(char c) { return kIdentChars[static_cast<unsigned char>(c)]; }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// What a byte may start, as the lexer's first look tells: most bytes start
// a name or are blanks, so one table lookup sends them on.
enum class Class : std::uint8_t {
  Other,
  Newline,
  Blank,
  Comment,
  Dot,
  Separator,
  Name,
  Digit,
  Quote
};
constexpr auto kClass = [] {
  std::array<Class, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    if (IsIdentStart(static_cast<char>(c))) classes[static_cast<std::size_t>(c)] = Class::Name;
    if (IsDigit(static_cast<char>(c))) classes[static_cast<std::size_t>(c)] = Class::Digit;
  }
  classes['\''] = Class::Quote;
  classes['"'] = Class::Quote;
  for (const char c : {' ', '\t', '\r', '\f', '\v'})
    classes[static_cast<unsigned char>(c)] = Class::Blank;
  classes['\n'] = Class::Newline;
  classes['%'] = Class::Comment;
  classes['#'] = Class::Comment;
  classes['.'] = Class::Dot;
  classes[';'] = Class::Separator;
  classes[','] = Class::Separator;
  return classes;
}();

enum class Tok : std::uint8_t { Ident, Number, String, Op };

// An operator's one or two bytes as one number, 0 for no operator, so that
// asking a token for an operator is one comparison.
constexpr std::uint16_t OpCode(std::string_view op) {
  const unsigned first = static_cast<unsigned char>(op[0]);
  const unsigned second = op.size() > 1 ? static_cast<unsigned char>(op[1]) : 0U;
  return static_cast<std::uint16_t>(first | (second << 8U));
}

struct Token {
  Tok kind = Tok::Op;
  Keyword keyword = 0;   // of a name
  std::uint16_t op = 0;  // OpCode of an operator
  bool spaceBefore = false;
  bool spaceAfter = false;
  std::int32_t line = 0;
  std::int32_t column = 0;
  std::string_view text;  // a string's contents without its quotes
  bool Is(std::string_view o) const { return op == OpCode(o); }
  bool IsWord(std::string_view word) const { return kind == Tok::Ident && text == word; }
};

// Cuts the file into statements of tokens: comments, continuations and
// block comments gone, strings told from transposes.
class Lexer {
 public:
  // `bytes` is followed by a NUL (a std::string's data), so that a run of
  // name or blank characters stops without a bounds check.
  Lexer(std::string_view bytes, std::vector<char>& brackets) : s_(bytes), brackets_(brackets) {}

  // The next statement's tokens; false at the end of the file.
  bool Next(std::vector<Token>& out) {
    out.clear();
    brackets_.clear();
    if (pendingLineStart_) StartLine();
    const char* const d = s_.data();
    while (pos_ < s_.size()) {
      const char c = d[pos_];
      switch (kClass[static_cast<unsigned char>(c)]) {
        case Class::Newline:
          ++pos_;
          NewLine();
          // The line after a statement is looked at when the next is asked for.
          if (!InMatrix() && !out.empty()) return true;
          StartLine();
          continue;
        case Class::Blank:
          do {
            ++pos_;
          } while (IsBlank(d[pos_]));
          space_ = true;
          continue;
        case Class::Comment:
          SkipToLineEnd();
          continue;
        case Class::Dot:
          if (d[pos_ + 1] == '.' && d[pos_ + 2] == '.') {
            // The rest of the line is a comment; the statement goes on.
            SkipToLineEnd();
            if (pos_ < s_.size()) {
              ++pos_;
              NewLine();
              StartLine();
            }
            space_ = true;
            continue;
          }
          break;
        case Class::Separator:
          if (brackets_.empty()) {
            ++pos_;
            if (!out.empty()) return true;
            continue;
          }
          break;
        default:
          break;
      }
      Token& t = out.emplace_back();
      t.line = line_;
      t.column = ColumnAt(pos_);
      t.spaceBefore = space_;
      if (out.size() > 1) out[out.size() - 2].spaceAfter = space_;
      space_ = false;
      const Class cls = kClass[static_cast<unsigned char>(c)];
      if (cls == Class::Name) {
        const std::size_t start = pos_;
        do {
          ++pos_;
        } while (IsIdentChar(d[pos_]));
        t.kind = Tok::Ident;
        t.text = s_.substr(start, pos_ - start);
        t.keyword = KeywordOf(t.text);
      } else if (cls == Class::Digit || (cls == Class::Dot && IsDigit(d[pos_ + 1]))) {
        t.kind = Tok::Number;
        t.text = Number();
      } else if (cls == Class::Quote && (c == '"' || QuoteOpensString(out, t.spaceBefore))) {
        t.kind = Tok::String;
        t.text = String(c);
      } else {
        t.kind = Tok::Op;
        t.text = Operator();
        t.op = OpCode(t.text);
      }
    }
    return !out.empty();
  }

 private:
  void NewLine() {
    ++line_;
    lineStart_ = pos_;
    columnPos_ = pos_;
    column_ = 0;
    space_ = true;
    pendingLineStart_ = true;
  }
  void StartLine() {
    pendingLineStart_ = false;
    SkipBlockComments();
  }

  // Rows of "[...]" and "{...}" go on over lines; a line break inside
  // parentheses alone ends the statement (MATLAB rejects it), so that one
  // unclosed "(" cannot swallow the rest of the file.
  bool InMatrix() const {
    return std::any_of(brackets_.begin(), brackets_.end(), [](char b) { return b != '('; });
  }

  void SkipToLineEnd() {
    const void* end = std::memchr(s_.data() + pos_, '\n', s_.size() - pos_);
    pos_ = end == nullptr ? s_.size()
                          : static_cast<std::size_t>(static_cast<const char*>(end) - s_.data());
  }

  // The line from `pos_` holds only `mark` between blanks.
  bool LineIs(std::string_view mark) const {
    std::size_t i = pos_;
    while (i < s_.size() && IsBlank(s_[i])) ++i;
    if (s_.substr(i, mark.size()) != mark) return false;
    i += mark.size();
    while (i < s_.size() && IsBlank(s_[i])) ++i;
    return i >= s_.size() || s_[i] == '\n';
  }

  // %{ ... %} (and #{ ... #}) on lines of their own, nested.
  void SkipBlockComments() {
    int depth = 0;
    while (pos_ < s_.size()) {
      if (depth == 0) {
        // Most lines start with neither mark: one look decides.
        std::size_t i = pos_;
        while (i < s_.size() && IsBlank(s_[i])) ++i;
        if (i >= s_.size() || (s_[i] != '%' && s_[i] != '#')) return;
      }
      if (LineIs("%{") || LineIs("#{")) {
        ++depth;
      } else if (depth > 0 && (LineIs("%}") || LineIs("#}"))) {
        --depth;
      } else if (depth == 0) {
        return;
      }
      SkipToLineEnd();
      if (pos_ < s_.size()) {
        ++pos_;
        ++line_;
        lineStart_ = pos_;
        columnPos_ = pos_;
        column_ = 0;
      }
    }
  }

  // UTF-16 units from the line's start to `at`, counted on from the last
  // token so that a long line costs linear time.
  std::int32_t ColumnAt(std::size_t at) {
    // On a line of ASCII alone (most are) the column is the byte offset.
    if (checkedLine_ != line_) {
      checkedLine_ = line_;
      lineAscii_ = AsciiUpToLineEnd(lineStart_);
    }
    if (lineAscii_) return static_cast<std::int32_t>(at - lineStart_);
    for (; columnPos_ < at; ++columnPos_) {
      const auto b = static_cast<unsigned char>(s_[columnPos_]);
      if ((b & 0xC0U) != 0x80U) column_ += (b >= 0xF0U) ? 2 : 1;
    }
    return column_;
  }

  // The bytes from `from` to the line's end are all ASCII; eight at a time.
  bool AsciiUpToLineEnd(std::size_t from) const {
    const void* found = std::memchr(s_.data() + from, '\n', s_.size() - from);
    const std::size_t end =
        found == nullptr ? s_.size()
                         : static_cast<std::size_t>(static_cast<const char*>(found) - s_.data());
    std::size_t i = from;
    for (; i + 8 <= end; i += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, s_.data() + i, sizeof word);
      if ((word & 0x8080808080808080ULL) != 0) return false;
    }
    for (; i < end; ++i) {
      if ((static_cast<unsigned char>(s_[i]) & 0x80U) != 0) return false;
    }
    return true;
  }

  // After a value (name, number, closing bracket, transpose) with no blank
  // between, a quote transposes; elsewhere it opens a string, except after
  // a blank inside parentheses.
  bool QuoteOpensString(const std::vector<Token>& out, bool spaceBefore) const {
    // The quote's own token is the last one.
    if (out.size() < 2) return true;
    const Token& prev = out[out.size() - 2];
    const bool value = prev.kind == Tok::Ident || prev.kind == Tok::Number ||
                       prev.kind == Tok::String || prev.Is(")") || prev.Is("]") || prev.Is("}") ||
                       prev.Is("'") || prev.Is(".'");
    if (!value) return true;
    if (prev.keyword != 0 && prev.keyword != Kw("end")) return true;
    if (!spaceBefore) return false;
    return brackets_.empty() || brackets_.back() != '(';
  }

  std::string_view Number() {
    const std::size_t start = pos_;
    if (s_.substr(pos_, 2) == "0x" || s_.substr(pos_, 2) == "0X") {
      pos_ += 2;
      while (IsIdentChar(s_.data()[pos_])) ++pos_;
      return s_.substr(start, pos_ - start);
    }
    while (IsDigit(s_.data()[pos_])) ++pos_;
    // "1.5" and "1." but not "1.*" or "1.'"
    if (pos_ < s_.size() && s_[pos_] == '.' &&
        !(pos_ + 1 < s_.size() &&
          (s_[pos_ + 1] == '*' || s_[pos_ + 1] == '/' || s_[pos_ + 1] == '\\' ||
           s_[pos_ + 1] == '^' || s_[pos_ + 1] == '\'' || s_[pos_ + 1] == '.'))) {
      ++pos_;
      while (IsDigit(s_.data()[pos_])) ++pos_;
    }
    if (pos_ < s_.size() &&
        (s_[pos_] == 'e' || s_[pos_] == 'E' || s_[pos_] == 'd' || s_[pos_] == 'D')) {
      std::size_t i = pos_ + 1;
      if (i < s_.size() && (s_[i] == '+' || s_[i] == '-')) ++i;
      if (i < s_.size() && IsDigit(s_[i])) {
        pos_ = i;
        while (IsDigit(s_.data()[pos_])) ++pos_;
      }
    }
    if (pos_ < s_.size() &&
        (s_[pos_] == 'i' || s_[pos_] == 'j' || s_[pos_] == 'I' || s_[pos_] == 'J')) {
      if (pos_ + 1 >= s_.size() || !IsIdentChar(s_[pos_ + 1])) ++pos_;
    }
    return s_.substr(start, pos_ - start);
  }

  // A string to its closing quote (doubled quotes inside; in "..." also
  // backslash escapes, as Octave reads them); an unclosed one ends with the
  // line.
  std::string_view String(char quote) {
    ++pos_;
    const std::size_t start = pos_;
    while (pos_ < s_.size() && s_[pos_] != '\n') {
      const char c = s_[pos_];
      if (quote == '"' && c == '\\' && pos_ + 1 < s_.size() && s_[pos_ + 1] != '\n') {
        pos_ += 2;
        continue;
      }
      if (c == quote) {
        if (pos_ + 1 < s_.size() && s_[pos_ + 1] == quote) {
          pos_ += 2;
          continue;
        }
        const std::string_view text = s_.substr(start, pos_ - start);
        ++pos_;
        return text;
      }
      ++pos_;
    }
    return s_.substr(start, pos_ - start);
  }

  // One or two characters; two where they make one operator (".*", "==",
  // "&&", Octave's "+=" and "++"), told by the pair without a table search.
  std::string_view Operator() {
    const char c = s_[pos_];
    const char n = pos_ + 1 < s_.size() ? s_[pos_ + 1] : '\0';
    bool two = false;
    switch (c) {
      case '.':
        two = n == '*' || n == '/' || n == '\\' || n == '^' || n == '\'';
        break;
      case '=':
      case '~':
      case '!':
      case '<':
      case '>':
      case '*':
      case '/':
      case '^':
        two = n == '=';
        break;
      case '&':
        two = n == '&';
        break;
      case '|':
        two = n == '|';
        break;
      case ':':
        two = n == ':';
        break;
      case '+':
      case '-':
        if (n == '=') {
          two = true;
        } else if (n == c) {
          // "++"/"--" only where Octave would read them: before a blank or
          // the statement's end.
          const char after = pos_ + 2 < s_.size() ? s_[pos_ + 2] : '\n';
          two = IsBlank(after) || after == ';' || after == '\n' || after == ',';
        }
        break;
      default:
        break;
    }
    if (two) {
      pos_ += 2;
      return s_.substr(pos_ - 2, 2);
    }
    if (c == '(' || c == '[' || c == '{') {
      brackets_.push_back(c);
    } else if (c == ')' || c == ']' || c == '}') {
      if (!brackets_.empty()) brackets_.pop_back();
    }
    const std::string_view op = s_.substr(pos_, 1);
    ++pos_;
    return op;
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  std::int32_t line_ = 1;
  std::size_t lineStart_ = 0;
  std::size_t columnPos_ = 0;
  std::int32_t column_ = 0;
  std::int32_t checkedLine_ = 0;  // the line lineAscii_ speaks of
  bool lineAscii_ = false;
  bool space_ = true;
  bool pendingLineStart_ = true;
  std::vector<char>& brackets_;  // the statement's open brackets
};

enum class BlockKind : std::uint8_t {
  Function,
  Classdef,
  Properties,
  Methods,
  Events,
  Enumeration,
  Arguments,
  Other,
  Do,
};

struct Block {
  BlockKind kind;
  int function = -1;
  bool isStatic = false;
  bool isPrivate = false;
};

// A statement that may be command syntax: which reading holds is known only
// once the function's variables are all known.
struct PendingCommand {
  int function;
  std::size_t firstUse;  // its uses in that function, from here...
  std::size_t endUse;    // ...to here; the first is the command's name
};

// The reader's working lists, kept from file to file (one set per thread)
// so that reading a file allocates little more than what it keeps: a
// statement's tokens, the open brackets and blocks, and each function's
// uses until their number is known (then copied out at their size).
struct ReaderBuffers {
  std::vector<Token> tokens;
  std::vector<char> brackets;
  std::vector<Block> blocks;
  std::vector<PendingCommand> pending;
  std::vector<std::vector<NameUse>> uses;  // by function
};

ReaderBuffers& Buffers() {
  thread_local ReaderBuffers buffers;
  return buffers;
}

class Parser {
 public:
  Parser(SourceText& source, std::string_view fileName, bool functionsEnd, ReaderBuffers& buffers)
      : source_(&source),
        bytes_(source.bytes),
        fileName_(fileName),
        functionsEnd_(functionsEnd),
        buffers_(buffers),
        blocks_(buffers.blocks),
        pending_(buffers.pending) {
    blocks_.clear();
    pending_.clear();
    for (std::vector<NameUse>& uses : buffers_.uses) uses.clear();
  }

  // False when functions turned out not to be closed by "end".
  bool Parse(FileSyntax& out) {
    out_ = &out;
    Lexer lexer(bytes_, buffers_.brackets);
    std::vector<Token>& tokens = buffers_.tokens;
    bool first = true;
    while (lexer.Next(tokens)) {
      if (first) {
        first = false;
        Begin(tokens);
      }
      lastLine_ = tokens.back().line;
      Statement(tokens, 0, tokens.size());
    }
    if (first) Begin(tokens);
    bool openFunction = false;
    for (const Block& b : blocks_) openFunction = openFunction || b.kind == BlockKind::Function;
    // Functions left open read as nested ones: unless none was, reading
    // again with "function" ending the one before would change nothing.
    bool nested = false;
    for (const FunctionSyntax& fn : out.functions) nested = nested || fn.parent >= 0;
    if (functionsEnd_ && openFunction && nested && out.kind != FileKind::Classdef) return false;
    while (!blocks_.empty()) Pop();
    for (FunctionSyntax& fn : out.functions) {
      if (fn.endLine == 0) fn.endLine = lastLine_;
    }
    SettleCommands();
    for (std::size_t f = 0; f < out.functions.size() && f < buffers_.uses.size(); ++f) {
      out.functions[f].uses.assign(buffers_.uses[f].begin(), buffers_.uses[f].end());
    }
    return true;
  }

 private:
  FunctionSyntax& Fn(int f) { return out_->functions[static_cast<std::size_t>(f)]; }
  std::vector<NameUse>& Uses(int f) {
    const auto index = static_cast<std::size_t>(f);
    if (index >= buffers_.uses.size()) buffers_.uses.resize(index + 1);
    return buffers_.uses[index];
  }

  void Begin(const std::vector<Token>& tokens) {
    FileSyntax& out = *out_;
    out.functions.emplace_back();
    if (!tokens.empty() && tokens[0].keyword == Kw("function")) {
      out.kind = FileKind::Function;
      mainPending_ = true;
    } else if (!tokens.empty() && tokens[0].keyword == Kw("classdef")) {
      out.kind = FileKind::Classdef;
    } else {
      out.kind = FileKind::Script;
      out.functions[0].name = std::string(fileName_);
      out.functions[0].line = 1;
    }
  }

  int CurrentFunction() const {
    for (std::size_t b = blocks_.size(); b-- > 0;) {
      if (blocks_[b].kind == BlockKind::Function) return blocks_[b].function;
    }
    return 0;
  }
  const Block* Top() const { return blocks_.empty() ? nullptr : &blocks_.back(); }

  void Pop() {
    const Block b = blocks_.back();
    blocks_.pop_back();
    if (b.kind == BlockKind::Function || b.kind == BlockKind::Classdef) {
      Fn(b.function).endLine = lastLine_;
    }
  }

  void Statement(const std::vector<Token>& t, std::size_t b, std::size_t e) {
    if (b >= e) return;
    const Token& head = t[b];
    const Block* top = Top();
    if (head.kind == Tok::Ident) {
      const std::string_view w = head.text;
      const Keyword k = head.keyword;
      if (k == Kw("function")) return Function(t, b, e);
      if (k == Kw("classdef") && blocks_.empty() && out_->kind == FileKind::Classdef) {
        return Classdef(t, b, e);
      }
      if (top != nullptr && top->kind == BlockKind::Classdef) {
        if (IsEndKeyword(k)) return Pop();
        if (w == "properties" || w == "methods" || w == "events" || w == "enumeration") {
          return Member(t, b, e, w);
        }
        return;
      }
      if (top != nullptr && (top->kind == BlockKind::Properties || top->kind == BlockKind::Events ||
                             top->kind == BlockKind::Enumeration)) {
        if (IsEndKeyword(k)) return Pop();
        out_->classdef.properties.emplace_back(w);
        // A default value's names are the class's.
        if (top->kind == BlockKind::Properties) {
          const std::size_t eq = TopLevelAssign(t, b, e);
          if (eq < e) Expression(t, eq + 1, e, 0);
        }
        return;
      }
      if (top != nullptr && top->kind == BlockKind::Methods) {
        if (IsEndKeyword(k)) return Pop();
        // A signature of a method whose file is in the class folder.
        const std::size_t eq = TopLevelAssign(t, b, e);
        const std::size_t at = eq < e ? eq + 1 : b;
        if (at < e && t[at].kind == Tok::Ident) {
          std::string name(t[at].text);
          if (at + 2 < e && t[at + 1].Is(".") && t[at + 2].kind == Tok::Ident) {
            name += ".";
            name += t[at + 2].text;
          }
          out_->classdef.methods.push_back({name, top->isStatic, false});
        }
        return;
      }
      if (top != nullptr && top->kind == BlockKind::Arguments) {
        if (IsEndKeyword(k)) return Pop();
        Fn(CurrentFunction()).variables.insert(w);
        return;
      }
      if (IsEndKeyword(k)) {
        if (!blocks_.empty()) Pop();
        return;
      }
      const int f = CurrentFunction();
      if (k == 0) {
        if (w == "arguments" && top != nullptr && top->kind == BlockKind::Function &&
            (e - b == 1 || t[b + 1].Is("("))) {
          blocks_.push_back({BlockKind::Arguments, f});
          return;
        }
        if (w == "import") return Import(t, b + 1, e, f);
        return Ordinary(t, b, e, f);
      }
      switch (k) {
        case Kw("if"):
        case Kw("while"):
        case Kw("switch"):
          blocks_.push_back({BlockKind::Other, f});
          return Expression(t, b + 1, e, f);
        case Kw("elseif"):
        case Kw("case"):
          return Expression(t, b + 1, e, f);
        case Kw("for"):
        case Kw("parfor"): {
          blocks_.push_back({BlockKind::Other, f});
          std::size_t v = b + 1;
          if (v < e && t[v].Is("(")) ++v;
          if (v < e && t[v].kind == Tok::Ident) Fn(f).variables.insert(t[v].text);
          const std::size_t eq = TopLevelAssign(t, v, e);
          return Expression(t, eq < e ? eq + 1 : v + 1, e, f);
        }
        case Kw("try"):
        case Kw("unwind_protect"):
        case Kw("spmd"):
          blocks_.push_back({BlockKind::Other, f});
          return Statement(t, b + 1, e);
        case Kw("do"):
          blocks_.push_back({BlockKind::Do, f});
          return Statement(t, b + 1, e);
        case Kw("until"):
          if (top != nullptr && top->kind == BlockKind::Do) Pop();
          return Expression(t, b + 1, e, f);
        case Kw("catch"):
          // "catch err": the name on catch's own line, unless it is called.
          if (b + 1 < e && t[b + 1].kind == Tok::Ident && t[b + 1].line == head.line &&
              !(b + 2 < e && (t[b + 2].Is("(") || t[b + 2].Is("=")))) {
            Fn(f).variables.insert(t[b + 1].text);
            return Statement(t, b + 2, e);
          }
          return Statement(t, b + 1, e);
        case Kw("else"):
        case Kw("otherwise"):
        case Kw("unwind_protect_cleanup"):
          return Statement(t, b + 1, e);
        case Kw("global"):
        case Kw("persistent"):
          for (std::size_t i = b + 1; i < e; ++i) {
            if (t[i].kind == Tok::Ident) Fn(f).variables.insert(t[i].text);
            if (t[i].Is("=")) break;  // Octave's initialised persistent
          }
          return;
        case Kw("return"):
        case Kw("break"):
        case Kw("continue"):
          return;
        default:
          break;
      }
      return Ordinary(t, b, e, f);
    }
    Ordinary(t, b, e, CurrentFunction());
  }

  void Function(const std::vector<Token>& t, std::size_t b, std::size_t e) {
    if (!functionsEnd_ && out_->kind != FileKind::Classdef) {
      // The function before ends on the line above.
      lastLine_ = t[b].line - 1;
      while (!blocks_.empty()) Pop();
      lastLine_ = t[b].line;
    }
    FunctionSyntax fn;
    fn.line = t[b].line;
    std::size_t i = b + 1;
    const std::size_t eq = TopLevelAssign(t, i, e);
    if (eq < e) {
      for (; i < eq; ++i) {
        if (t[i].kind == Tok::Ident) fn.variables.insert(t[i].text);
      }
      i = eq + 1;
    }
    if (i < e && t[i].kind == Tok::Ident) {
      fn.name = std::string(t[i].text);
      ++i;
      while (i + 1 < e && t[i].Is(".") && t[i + 1].kind == Tok::Ident) {
        fn.name += ".";
        fn.name += t[i + 1].text;
        i += 2;
      }
    }
    if (i < e && t[i].Is("(")) {
      for (++i; i < e && !t[i].Is(")"); ++i) {
        if (t[i].kind == Tok::Ident) fn.variables.insert(t[i].text);
      }
    }
    int parent = -1;
    const Block* top = Top();
    if (top != nullptr && top->kind == BlockKind::Methods) {
      fn.inMethodsBlock = true;
      fn.isStatic = top->isStatic;
      fn.isPrivateAccess = top->isPrivate;
      out_->classdef.methods.push_back({fn.name, top->isStatic, true});
    } else if (functionsEnd_) {
      for (std::size_t k = blocks_.size(); k-- > 0;) {
        if (blocks_[k].kind == BlockKind::Function) {
          parent = blocks_[k].function;
          break;
        }
      }
    }
    fn.parent = parent;
    int index;
    if (mainPending_) {
      mainPending_ = false;
      index = 0;
      out_->functions[0] = std::move(fn);
    } else {
      index = static_cast<int>(out_->functions.size());
      out_->functions.push_back(std::move(fn));
    }
    blocks_.push_back({BlockKind::Function, index});
  }

  void Classdef(const std::vector<Token>& t, std::size_t b, std::size_t e) {
    std::size_t i = b + 1;
    if (i < e && t[i].Is("(")) i = Matching(t, i, e) + 1;
    ClassSyntax& c = out_->classdef;
    if (i < e && t[i].kind == Tok::Ident) c.name = std::string(t[i++].text);
    if (i < e && t[i].Is("<")) {
      std::string super;
      for (++i; i <= e; ++i) {
        if (i == e || t[i].Is("&")) {
          if (!super.empty()) c.superclasses.push_back(super);
          super.clear();
          continue;
        }
        if (t[i].kind == Tok::Ident || t[i].Is(".")) super += t[i].text;
      }
    }
    Fn(0).name = c.name.empty() ? std::string(fileName_) : c.name;
    Fn(0).line = t[b].line;
    blocks_.push_back({BlockKind::Classdef, 0});
  }

  // properties/methods/events/enumeration with attributes in parentheses.
  void Member(const std::vector<Token>& t, std::size_t b, std::size_t e, std::string_view w) {
    Block block{BlockKind::Other, 0};
    block.kind = w == "properties" ? BlockKind::Properties
                 : w == "methods"  ? BlockKind::Methods
                 : w == "events"   ? BlockKind::Events
                                   : BlockKind::Enumeration;
    if (b + 1 < e && t[b + 1].Is("(")) {
      const std::size_t close = Matching(t, b + 1, e);
      for (std::size_t i = b + 2; i < close; ++i) {
        if (t[i].kind != Tok::Ident) continue;
        const bool negated = i > b + 2 && t[i - 1].Is("~");
        bool value = !negated;
        std::size_t next = i + 1;
        if (next < close && t[next].Is("=") && next + 1 < close) {
          const Token& v = t[next + 1];
          value = !(v.IsWord("false") || v.Is("0"));
          if (t[i].text == "Access" || t[i].text == "GetAccess") {
            block.isPrivate = v.kind == Tok::String ? v.text == "private" : v.IsWord("private");
          }
          next += 2;
        }
        if (t[i].text == "Static") block.isStatic = value;
        if (t[i].text == "Constant" && block.kind == BlockKind::Properties) block.isStatic = value;
        i = next - 1;
      }
    }
    blocks_.push_back(block);
  }

  void Import(const std::vector<Token>& t, std::size_t b, std::size_t e, int f) {
    std::string name;
    for (std::size_t i = b; i <= e; ++i) {
      const bool split = i == e || t[i].spaceBefore || t[i].Is(",");
      if (split && !name.empty()) {
        Fn(f).imports.push_back(name);
        name.clear();
      }
      if (i == e) break;
      if (t[i].kind == Tok::Ident || t[i].Is(".") || t[i].Is("*") || t[i].Is(".*")) {
        name += t[i].text;
      }
    }
  }

  // +1 for an opening bracket, -1 for a closing one, 0 for anything else.
  static int DepthStep(std::uint16_t op) {
    switch (op) {
      case OpCode("("):
      case OpCode("["):
      case OpCode("{"):
        return 1;
      case OpCode(")"):
      case OpCode("]"):
      case OpCode("}"):
        return -1;
      default:
        return 0;
    }
  }

  // The index of the "(" "[" "{"'s partner, or `e`.
  static std::size_t Matching(const std::vector<Token>& t, std::size_t open, std::size_t e) {
    int depth = 0;
    for (std::size_t i = open; i < e; ++i) {
      const int step = DepthStep(t[i].op);
      depth += step;
      if (step < 0 && depth == 0) return i;
    }
    return e;
  }

  // The assignment's "=" outside all brackets, or `e`.
  static std::size_t TopLevelAssign(const std::vector<Token>& t, std::size_t b, std::size_t e) {
    int depth = 0;
    for (std::size_t i = b; i < e; ++i) {
      depth += DepthStep(t[i].op);
      switch (t[i].op) {
        case OpCode("="):
        case OpCode("+="):
        case OpCode("-="):
        case OpCode("*="):
        case OpCode("/="):
        case OpCode("^="):
          if (depth == 0) return i;
          break;
        default:
          break;
      }
    }
    return e;
  }

  static bool IsBinaryOperator(const Token& t) {
    switch (t.op) {
      case OpCode("+"):
      case OpCode("-"):
      case OpCode("*"):
      case OpCode("/"):
      case OpCode("\\"):
      case OpCode("^"):
      case OpCode(".*"):
      case OpCode("./"):
      case OpCode(".\\"):
      case OpCode(".^"):
      case OpCode("=="):
      case OpCode("~="):
      case OpCode("!="):
      case OpCode("<"):
      case OpCode(">"):
      case OpCode("<="):
      case OpCode(">="):
      case OpCode("&"):
      case OpCode("|"):
      case OpCode("&&"):
      case OpCode("||"):
      case OpCode(":"):
        return true;
      default:
        return false;
    }
  }

  void Ordinary(const std::vector<Token>& t, std::size_t b, std::size_t e, int f) {
    const Token& head = t[b];
    const std::size_t eq = TopLevelAssign(t, b, e);
    // "name word ...": command syntax unless the name is a variable.
    if (head.kind == Tok::Ident && head.keyword == 0 && b + 1 < e && t[b + 1].spaceBefore &&
        t[b + 1].line == head.line && !t[b + 1].Is("=") && !t[b + 1].Is("(") &&
        !(IsBinaryOperator(t[b + 1]) && t[b + 1].spaceAfter) && !t[b + 1].Is("@") && eq == e) {
      std::vector<NameUse>& uses = Uses(f);
      const std::size_t first = uses.size();
      NameUse command;
      command.name = head.text;
      command.line = head.line;
      command.column = head.column;
      command.kind = UseKind::Command;
      command.hasArguments = true;
      uses.push_back(command);
      Expression(t, b, e, f);
      pending_.push_back({f, first, Uses(f).size()});
      return;
    }
    if (eq == e) return Expression(t, b, e, f);
    // The targets: every name standing directly in "[...]", or the first.
    if (head.Is("[") || head.Is("{")) {
      int depth = 0;
      for (std::size_t i = b; i < eq; ++i) {
        const Token& x = t[i];
        if (x.Is("(") || x.Is("[") || x.Is("{")) ++depth;
        if (x.Is(")") || x.Is("]") || x.Is("}")) --depth;
        if (depth == 1 && x.kind == Tok::Ident && !(i > b && t[i - 1].Is("."))) {
          Fn(f).variables.insert(x.text);
        } else if (depth > 1 && x.kind == Tok::Ident && !(i > b && t[i - 1].Is("."))) {
          Expression(t, i, i + 1, f);  // an index of a target
        }
      }
    } else if (head.kind == Tok::Ident) {
      Fn(f).variables.insert(head.text);
      Expression(t, b + 1, eq, f);
    }
    Expression(t, eq + 1, e, f);
  }

  static bool IsName(std::string_view s) {
    if (s.empty() || !IsIdentStart(s[0])) return false;
    bool afterDot = false;
    for (const char c : s) {
      if (c == '.') {
        if (afterDot) return false;
        afterDot = true;
        continue;
      }
      if (!IsIdentChar(c)) return false;
      afterDot = false;
    }
    return !afterDot;
  }

  void Expression(const std::vector<Token>& t, std::size_t b, std::size_t e, int f) {
    std::vector<std::string_view> anonymous;
    for (std::size_t i = b; i < e; ++i) {
      const Token& x = t[i];
      if (x.Is("@") && i + 1 < e && t[i + 1].Is("(")) {
        const std::size_t close = Matching(t, i + 1, e);
        for (std::size_t k = i + 2; k < close; ++k) {
          if (t[k].kind == Tok::Ident) anonymous.push_back(t[k].text);
        }
        i = close;
        continue;
      }
      if (x.kind != Tok::Ident) continue;
      if (i > b && (t[i - 1].Is(".") || t[i - 1].Is("?"))) continue;
      if (x.keyword != 0) continue;
      std::size_t j = i;
      while (j + 2 < e && t[j + 1].Is(".") && t[j + 2].kind == Tok::Ident &&
             !t[j + 1].spaceBefore) {
        j += 2;
      }
      const bool handle = i > b && t[i - 1].Is("@");
      const bool args = j + 1 < e && t[j + 1].Is("(");
      if (!anonymous.empty() &&
          std::find(anonymous.begin(), anonymous.end(), x.text) != anonymous.end()) {
        i = j;
        continue;
      }
      std::vector<NameUse>& uses = Uses(f);
      NameUse& use = uses.emplace_back();
      use.name = j == i ? x.text : Dotted(t, i, j);
      use.line = x.line;
      use.column = x.column;
      use.kind = handle ? UseKind::Handle : UseKind::Call;
      use.hasArguments = args;
      const std::string_view word = x.text;
      if (j == i && args && (word == "feval" || word == "str2func" || word == "cellfun")) {
        const Token* arg = j + 2 < e ? &t[j + 2] : nullptr;
        if (arg != nullptr && arg->kind == Tok::String && IsName(arg->text)) {
          NameUse& byName = uses.emplace_back();
          byName.name = arg->text;
          byName.line = arg->line;
          byName.column = arg->column + 1;
          byName.kind = UseKind::ByName;
          byName.hasArguments = true;
        } else if (word == "feval" && !(arg != nullptr && arg->Is("@"))) {
          ++out_->dynamicCalls;
        }
      } else if (j == i && (word == "eval" || word == "evalin" || word == "evalc")) {
        ++out_->dynamicCalls;
      }
      i = j;
    }
  }

  // "a.b.c" from the tokens a . b . c: the bytes themselves unless blanks
  // or a continuation stand between, else joined once into the source.
  std::string_view Dotted(const std::vector<Token>& t, std::size_t first, std::size_t last) {
    std::size_t length = 0;
    for (std::size_t k = first; k <= last; ++k) length += t[k].text.size();
    const char* begin = t[first].text.data();
    if (static_cast<std::size_t>(t[last].text.data() + t[last].text.size() - begin) == length) {
      return {begin, length};
    }
    std::string& joined = source_->joined.emplace_back();
    joined.reserve(length);
    for (std::size_t k = first; k <= last; ++k) joined += t[k].text;
    return joined;
  }

  bool IsVariableOf(int f, std::string_view name) {
    for (int k = f; k >= 0; k = Fn(k).parent) {
      if (Fn(k).variables.count(name) != 0) return true;
    }
    return false;
  }

  // Each command-syntax statement keeps its command name or its expression,
  // now that the variables are known.
  void SettleCommands() {
    if (pending_.empty()) return;
    std::vector<std::vector<bool>> drop(out_->functions.size());
    for (const PendingCommand& p : pending_) {
      const std::vector<NameUse>& uses = Uses(p.function);
      auto& d = drop[static_cast<std::size_t>(p.function)];
      d.resize(uses.size(), false);
      if (IsVariableOf(p.function, uses[p.firstUse].name)) {
        d[p.firstUse] = true;  // an expression after all
      } else {
        for (std::size_t u = p.firstUse + 1; u < p.endUse; ++u) d[u] = true;
      }
    }
    for (std::size_t f = 0; f < drop.size(); ++f) {
      if (drop[f].empty()) continue;
      auto& uses = Uses(static_cast<int>(f));
      std::size_t kept = 0;
      for (std::size_t u = 0; u < uses.size(); ++u) {
        if (u < drop[f].size() && drop[f][u]) continue;
        if (kept != u) uses[kept] = uses[u];  // views: copied, nothing to move
        ++kept;
      }
      uses.resize(kept);
    }
  }

  SourceText* source_;
  std::string_view bytes_;
  std::string_view fileName_;
  bool functionsEnd_;
  ReaderBuffers& buffers_;
  FileSyntax* out_ = nullptr;
  std::vector<Block>& blocks_;
  std::vector<PendingCommand>& pending_;
  bool mainPending_ = false;
  std::int32_t lastLine_ = 1;
};

}  // namespace

std::uint32_t NameSet::Hash(std::string_view name) noexcept {
  std::uint32_t h = 2166136261U;  // FNV-1a: names are short
  for (const char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619U;
  return h;
}

std::uint32_t NameSet::Find(std::string_view name, std::uint32_t hash) const {
  if (slots_.empty()) return 0;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const std::uint64_t slot = slots_[i];
    if (slot == 0) return 0;
    const auto entry = static_cast<std::uint32_t>(slot);
    if (static_cast<std::uint32_t>(slot >> 32U) == hash && names_[entry - 1] == name) return entry;
  }
}

void NameSet::Place(std::uint64_t slot) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = static_cast<std::uint32_t>(slot >> 32U) & mask;
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = slot;
}

void NameSet::insert(std::string_view name) {
  const std::uint32_t hash = Hash(name);
  if (Find(name, hash) != 0) return;
  // Most functions have a few variables: room for 8 at once rather than
  // growing from 1.
  if (names_.empty()) names_.reserve(8);
  names_.emplace_back(name);
  const auto entry = static_cast<std::uint32_t>(names_.size());
  const std::uint64_t slot = (std::uint64_t{hash} << 32U) | entry;
  // At most half full, so that a probe for a name not there ends soon.
  if (names_.size() * 2 > slots_.size()) {
    std::vector<std::uint64_t> old(std::max<std::size_t>(16, slots_.size() * 2), 0);
    old.swap(slots_);
    for (const std::uint64_t kept : old) {
      if (kept != 0) Place(kept);
    }
  }
  Place(slot);
}

bool IsKeyword(std::string_view word) { return KeywordOf(word) != 0; }

FileSyntax ReadFileSyntax(std::string_view bytes, std::string_view fileName) {
  auto source = std::make_unique<SourceText>();
  source->bytes.assign(bytes);
  return ReadFileSyntax(std::move(source), fileName);
}

FileSyntax ReadFileSyntax(std::unique_ptr<SourceText> source, std::string_view fileName) {
  FileSyntax syntax;
  syntax.source = std::move(source);
  SourceText& text = *syntax.source;
  ReaderBuffers& buffers = Buffers();
  if (Parser(text, fileName, true, buffers).Parse(syntax)) return syntax;
  // Functions not closed by "end": each "function" starts the next one.
  std::shared_ptr<SourceText> kept = std::move(syntax.source);
  kept->joined.clear();
  syntax = FileSyntax{};
  syntax.source = std::move(kept);
  static_cast<void>(Parser(text, fileName, false, buffers).Parse(syntax));  // always succeeds
  return syntax;
}

}  // namespace korvath::engine::matlab
