// A file's distinct names: what the table keeps of a file's uses, checked
// by cases and against a plain model.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_names.h"
#include "engine/number_text.h"
#include "tests/support/test_doubles.h"

namespace korvath {
namespace {

using namespace korvath::engine;  // NOLINT(google-build-using-namespace)
// A use of a name: its text and line.
struct Use {
  std::string name;
  std::int32_t line;
};

// Uses from "line:name name ...;line:name ...".
std::vector<Use> Parse(std::string_view text) {
  std::vector<Use> uses;
  std::int32_t line = 0;
  std::string word;
  auto flush = [&] {
    if (!word.empty()) uses.push_back({word, line});
    word.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ';') {
      flush();
      line = 0;
    } else if (c == ':' && word.find_first_not_of("0123456789") == std::string::npos && line == 0 &&
               !word.empty()) {
      line = std::stoi(word);
      word.clear();
    } else if (c == ' ') {
      flush();
    } else {
      word.push_back(c);
    }
  }
  flush();
  return uses;
}

// The table as text: "name:lines" in order.
std::string Render(const FileNames& file) {
  std::string out;
  for (const std::uint32_t index : file.Order()) {
    const FileNames::Name& name = file.At(index);
    if (!out.empty()) out += ' ';
    const std::string text = name.wide ? "<wide>" : std::string(file.Bytes(name));
    out += text + ":";
    bool first = true;
    for (std::int32_t n = name.linesHead; n >= 0; n = file.Node(n).next) {
      for (std::int32_t k = 0; k <= file.Node(n).repeats; ++k) {
        out += (first ? "" : ",") + std::to_string(file.Node(n).line);
        first = false;
      }
    }
  }
  return out;
}

// How the uses are handed over: as bytes one by one, as one batch per line,
// or as UTF-16 (as a statement with a character past ASCII hands them).
enum class Form { Bytes, Batch, Units };

void Feed(FileNames& file, const std::vector<Use>& uses, Form form) {
  for (std::size_t i = 0; i < uses.size();) {
    std::size_t end = i + 1;
    if (form == Form::Batch) {
      while (end < uses.size() && uses[end].line == uses[i].line) ++end;
    }
    std::vector<std::string_view> bytes;
    std::vector<Text> units;
    for (std::size_t k = i; k < end; ++k) {
      bytes.emplace_back(uses[k].name);
      units.push_back(Widen(uses[k].name));
    }
    if (form == Form::Units) {
      std::vector<TextView> views(units.begin(), units.end());
      file.AddCalls(views.data(), views.size(), uses[i].line);
    } else {
      file.AddAsciiCalls(bytes.data(), bytes.size(), uses[i].line);
    }
    i = end;
  }
}

struct Case {
  const char* what;
  const char* uses;
  const char* kept;
};

const std::string kHead = "abcdefgh";
const std::string kTail = "stuvwxyz";

class FileNamesCases : public ::testing::TestWithParam<Case> {};

TEST_P(FileNamesCases, KeepsEachNameOnceWithItsLinesInTheOrderOfFirstUse) {
  const Case& c = GetParam();
  for (const Form form : {Form::Bytes, Form::Batch, Form::Units}) {
    FileNames file;
    Feed(file, Parse(c.uses), form);
    EXPECT_EQ(Render(file), c.kept) << c.what << ", form " << static_cast<int>(form);
  }
}

const std::string kLongA = kHead + "_middle_one_" + kTail;
const std::string kLongB = kHead + "_middle_two_" + kTail;
const std::string kLongCases = "1:" + kLongA + " " + kLongB + " " + kLongA + ";2:" + kLongB;
const std::string kLongKept = kLongA + ":1,1 " + kLongB + ":1,2";
const std::string kEdgeCases = "1:" + kHead + " " + kHead + "x " + kHead + kTail + " x" + kHead +
                               kTail + " " + kHead + "x" + kTail + ";2:" + kHead + "x";
const std::string kEdgeKept = kHead + ":1 " + kHead + "x:1,2 " + kHead + kTail + ":1 x" + kHead +
                              kTail + ":1 " + kHead + "x" + kTail + ":1";

INSTANTIATE_TEST_SUITE_P(
    Uses, FileNamesCases,
    ::testing::Values(
        Case{"one name on many lines", "1:x;2:x;2:x;5:x;9:x x x", "x:1,2,2,5,9,9,9"},
        Case{"first use decides the order", "3:b a b c a;4:c d", "b:3,3 a:3,3 c:3,4 d:4"},
        Case{"numbers are left out", "1:a 1 2 b 3 a 4 c 5", "a:1,1 b:1 c:1"},
        Case{"numbers before the first name", "1:1 2.5;2:a", "a:2"},
        Case{"numbers between uses of a name", "1:a 1 a 2 b", "a:1,1 b:1"},
        Case{"the same number again", "1:1 a 1 b 1;2:1", "a:1 b:1"},
        Case{"number-like names are names", "1:1e5x inf 0x1f 1i .5e3", "1e5x:1 inf:1 0x1f:1 1i:1"},
        Case{"short names differing in one byte", "1:ab ba aab aba abb baa a b abc abd",
             "ab:1 ba:1 aab:1 aba:1 abb:1 baa:1 a:1 b:1 abc:1 abd:1"},
        Case{"names of four to seven bytes",
             "1:abcd abce abcde abdde abcdef abcxef abcdefg abcdefh",
             "abcd:1 abce:1 abcde:1 abdde:1 abcdef:1 abcxef:1 abcdefg:1 abcdefh:1"},
        Case{"case matters", "1:Foo foo FOO foo", "Foo:1 foo:1,1 FOO:1"},
        Case{"long names alike at both ends", kLongCases.c_str(), kLongKept.c_str()},
        Case{"names at the sixteen-byte edge", kEdgeCases.c_str(), kEdgeKept.c_str()}));

// Enough names to grow the table twice over, each used on two lines; then a
// second file, whose names are its own though the table keeps them, and a
// third after the table forgot them all.
TEST(FileNames, GrowsAndStartsAfreshForTheNextFile) {
  FileNames file;
  std::vector<Use> uses;
  std::string kept;
  for (int i = 0; i < 3000; ++i) {
    const std::string name = (i % 3 == 0   ? "n"
                              : i % 3 == 1 ? "a_rather_long_name_"
                                           : "v") +
                             std::to_string(i * 7919 % 3001);
    uses.push_back({name, 1});
    kept += (kept.empty() ? "" : " ") + name + ":1," + std::to_string(2 + i % 5);
  }
  for (int i = 0; i < 3000; ++i)
    uses.push_back({uses[static_cast<std::size_t>(i)].name, 2 + i % 5});
  // Lines must go up: the second use of each is filed in the order of its line.
  std::stable_sort(uses.begin() + 3000, uses.end(),
                   [](const Use& a, const Use& b) { return a.line < b.line; });
  Feed(file, uses, Form::Batch);
  EXPECT_EQ(file.NameCount(), 3000U);
  EXPECT_EQ(Render(file), kept);
  file.NextFile();
  EXPECT_EQ(Render(file), "");
  Feed(file, Parse("4:n0 zz 7 n0"), Form::Bytes);
  EXPECT_EQ(Render(file), "n0:4,4 zz:4");
  EXPECT_EQ(file.NameCount(), 3002U);
  file.Forget();
  Feed(file, Parse("5:zz n0"), Form::Bytes);
  EXPECT_EQ(Render(file), "zz:5 n0:5");
  EXPECT_EQ(file.NameCount(), 2U);
}

// A name with a character past ASCII is its own name, in any form of it;
// its ASCII neighbours handed over as UTF-16 meet their byte forms.
TEST(FileNames, WideNamesAreKeptApartFromNamesOfBytes) {
  FileNames file;
  const Text wide = u"caf\u00e9";
  const Text wideLong = u"\u00e9" + Text(20, u'a');
  const Text wideLong2 = u"\u00e8" + Text(20, u'a');
  const TextView first[] = {wide, u"cafe", wideLong};
  file.AddCalls(first, 3, 1);
  const std::string_view bytes[] = {"cafe", "caf"};
  file.AddAsciiCalls(bytes, 2, 2);
  const TextView second[] = {wideLong2, wide, u"1"};
  file.AddCalls(second, 3, 3);
  file.AddCall(u"For", 3);
  const std::string_view forBytes[] = {"For"};
  file.AddAsciiCalls(forBytes, 1, 4);
  EXPECT_EQ(Render(file), "<wide>:1,3 cafe:1,2 <wide>:1 caf:2 <wide>:3 For:3,4");
  ASSERT_EQ(file.Order().size(), 6U);
  EXPECT_EQ(file.Wide(file.At(file.Order()[0])), wide);
  EXPECT_EQ(file.Wide(file.At(file.Order()[2])), wideLong);
  EXPECT_EQ(file.Wide(file.At(file.Order()[4])), wideLong2);
}

// A plain model: every use in turn, a name's lines in a list of its own.
std::string Model(const std::vector<Use>& uses) {
  std::vector<std::string> order;
  std::vector<std::vector<std::int32_t>> lines;
  for (const Use& use : uses) {
    if (ReadsAsNumber(use.name)) continue;
    const auto at = std::find(order.begin(), order.end(), use.name);
    if (at == order.end()) {
      order.push_back(use.name);
      lines.push_back({use.line});
    } else {
      lines[static_cast<std::size_t>(at - order.begin())].push_back(use.line);
    }
  }
  std::string out;
  for (std::size_t i = 0; i < order.size(); ++i) {
    out += (i == 0 ? "" : " ") + order[i] + ":";
    for (std::size_t k = 0; k < lines[i].size(); ++k) {
      out += (k == 0 ? "" : ",") + std::to_string(lines[i][k]);
    }
  }
  return out;
}

// Random files of names, numbers, long names alike at both ends, and names
// enough to crowd the table; one table for all of them, as a scanning thread
// keeps it, forgetting its names now and then.
TEST(FileNames, RandomFilesMatchThePlainModel) {
  std::vector<std::string> vocabulary = {
      "a",   "b",     "ab",  "ba",    "x1",          "1",    "2.5", "1e3",
      "-.5", "inf",   "For", "foo",   kLongA,        kLongB, kHead, kHead + "x",
      "zz",  "abcde", "0",   "abdde", kHead + kTail, "y",    "v_1", "v_2"};
  // Long names alike in their first and last eight bytes and their length:
  // only their middles tell them apart, wherever they meet in the table.
  for (int i = 0; i < 600; ++i) {
    vocabulary.push_back("w" + std::to_string(i));
    vocabulary.push_back(kHead + std::to_string(1000 + i) + kTail);
  }
  FileNames file;
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    std::mt19937 random(seed);
    auto below = [&random](std::size_t n) {
      return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    if (below(20) == 0) file.Forget();
    std::vector<Use> uses;
    std::int32_t line = 1;
    const std::size_t count = below(400);
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t pick = below(3) == 0 ? below(vocabulary.size()) : below(24);
      uses.push_back({vocabulary[pick], line});
      if (below(3) == 0) line += static_cast<std::int32_t>(below(3)) + 1;
    }
    file.NextFile();
    Feed(file, uses, below(4) == 0 ? Form::Units : Form::Batch);
    ASSERT_EQ(Render(file), Model(uses)) << "seed " << seed;
  }
}

}  // namespace
}  // namespace korvath
