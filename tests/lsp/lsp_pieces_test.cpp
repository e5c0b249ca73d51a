// The server's pieces that are not protocol: framing, URIs, columns in each
// encoding, names at identifier boundaries, function lines.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lsp/message_reader.h"
#include "lsp/text_positions.h"
#include "lsp/uri.h"
#include "platform/utf8.h"

namespace korvath::lsp {
namespace {

using platform::FromUtf8;

struct Read {
  std::string input;
  std::vector<MessageReader::Outcome> outcomes;
  std::vector<std::string> bodies;  // of the Message outcomes
};

class ReaderTest : public ::testing::TestWithParam<Read> {};

TEST_P(ReaderTest, Outcomes) {
  StringSource in(GetParam().input);
  MessageReader reader(in);
  std::vector<MessageReader::Outcome> outcomes;
  std::vector<std::string> bodies;
  std::string body;
  while (true) {
    const auto outcome = reader.Next(body);
    outcomes.push_back(outcome);
    if (outcome == MessageReader::Outcome::Message) bodies.push_back(body);
    if (outcome == MessageReader::Outcome::End || outcomes.size() > 10) break;
  }
  EXPECT_EQ(outcomes, GetParam().outcomes);
  EXPECT_EQ(bodies, GetParam().bodies);
}

using O = MessageReader::Outcome;
INSTANTIATE_TEST_SUITE_P(
    Framing, ReaderTest,
    ::testing::Values(
        Read{"Content-Length: 2\r\n\r\n{}Content-Length: 3\r\n\r\n[1]",
             {O::Message, O::Message, O::End},
             {"{}", "[1]"}},
        // A lone LF ends a header line too; the body may hold CR LF.
        Read{"Content-Length: 4\n\n\r\n{}", {O::Message, O::End}, {"\r\n{}"}},
        Read{"X: 1\r\n\r\nContent-Length: 1\r\n\r\n1", {O::BadHeader, O::Message, O::End}, {"1"}},
        Read{"Content-Length: -1\r\n\r\n", {O::BadHeader, O::End}, {}},
        Read{"Content-Length: 99999999999999999999\r\n\r\n", {O::BadHeader, O::End}, {}},
        Read{"Content-Length: 67108865\r\n\r\n{\"id\":1}", {O::End}, {}},
        Read{"Content-Length: 5\r\n\r\n{}", {O::End}, {}}, Read{"", {O::End}, {}}),
    [](const auto& param) { return std::to_string(param.index); });

struct IdCase {
  std::string prefix;
  std::optional<std::string> id;
};
class IdTest : public ::testing::TestWithParam<IdCase> {};
TEST_P(IdTest, FindsTheTopLevelId) { EXPECT_EQ(FindMessageId(GetParam().prefix), GetParam().id); }
INSTANTIATE_TEST_SUITE_P(
    Framing, IdTest,
    ::testing::Values(IdCase{R"({"jsonrpc":"2.0","id":12,"method":"x")", "12"},
                      IdCase{R"( { "id" : "a\"b" , )", R"("a\"b")"},
                      IdCase{R"({"params":{"id":3},"id":4,)", "4"},
                      IdCase{R"({"params":["id",{"x":"}"}],"id":-5,)", "-5"},
                      IdCase{R"({"method":"x","params":{"id":3)", std::nullopt},
                      IdCase{R"({"id":12)", std::nullopt},  // the number may go on
                      IdCase{"[1]", std::nullopt}, IdCase{"", std::nullopt}),
    [](const auto& param) { return std::to_string(param.index); });

struct UriCase {
  std::string uri;
  std::optional<std::string> path;
};
class UriTest : public ::testing::TestWithParam<UriCase> {};
TEST_P(UriTest, PathOfUri) {
  const auto path = PathFromUri(GetParam().uri);
  ASSERT_EQ(path.has_value(), GetParam().path.has_value());
  if (path) {
    EXPECT_EQ(platform::FileNameBytesOf(*path), *GetParam().path);
    // And back, to the same path.
    EXPECT_EQ(PathFromUri(UriFromPath(*path)), path);
  }
}
#ifndef _WIN32
INSTANTIATE_TEST_SUITE_P(Uris, UriTest,
                         ::testing::Values(UriCase{"file:///home/a/b.m", "/home/a/b.m"},
                                           UriCase{"file:///home/a%20b/c%2Bd.m", "/home/a b/c+d.m"},
                                           UriCase{"FILE://localhost/x/%C3%BC.m", "/x/\xC3\xBC.m"},
                                           // A file name that is not UTF-8 keeps its bytes.
                                           UriCase{"file:///x/%FF%E9.m", "/x/\xFF\xE9.m"},
                                           UriCase{"file:///x/y.m#frag", "/x/y.m"},
                                           UriCase{"file://server/x.m", std::nullopt},
                                           UriCase{"untitled:Untitled-1", std::nullopt},
                                           UriCase{"file://", std::nullopt}),
                         [](const auto& param) { return std::to_string(param.index); });
#else
INSTANTIATE_TEST_SUITE_P(Uris, UriTest,
                         ::testing::Values(UriCase{"file:///c%3A/a/b.m", "C:\\a\\b.m"},
                                           UriCase{"file:///D:/a%20b/c.m", "D:\\a b\\c.m"},
                                           UriCase{"file://server/share/x.m",
                                                   "\\\\server\\share\\x.m"},
                                           UriCase{"untitled:Untitled-1", std::nullopt}),
                         [](const auto& param) { return std::to_string(param.index); });
#endif

TEST(Columns, EachEncodingCountsItsUnits) {
  // "a", "ü" (2 bytes), "😀" (4 bytes, 2 units, 1 code point), "b".
  const Text line = FromUtf8(
      "a\xC3\xBC\xF0\x9F\x98\x80"
      "b");
  const struct {
    std::size_t unit;
    std::uint32_t utf8, utf16, utf32;
  } table[] = {{0, 0, 0, 0}, {1, 1, 1, 1}, {2, 3, 2, 2}, {4, 7, 4, 3}, {5, 8, 5, 4}, {9, 8, 5, 4}};
  for (const auto& row : table) {
    EXPECT_EQ(ColumnOf(line, row.unit, PositionEncoding::Utf8), row.utf8) << row.unit;
    EXPECT_EQ(ColumnOf(line, row.unit, PositionEncoding::Utf16), row.utf16) << row.unit;
    EXPECT_EQ(ColumnOf(line, row.unit, PositionEncoding::Utf32), row.utf32) << row.unit;
    const std::size_t unit = std::min<std::size_t>(row.unit, line.size());
    EXPECT_EQ(UnitAt(line, row.utf8, PositionEncoding::Utf8), unit);
    EXPECT_EQ(UnitAt(line, row.utf32, PositionEncoding::Utf32), unit);
  }
}

TEST(Names, FoundAtBoundariesIgnoringCase) {
  const struct {
    const char* line;
    const char* name;
    std::optional<std::size_t> at;
  } table[] = {
      {"x = helper(1);", "helper", 4},     {"x = helpers(1) + HELPER;", "helper", 17},
      {"x = my_helper(1);", "helper", {}}, {"helper", "helper", 0},
      {"a.helper2 helper", "helper", 10},  {"", "helper", {}},
  };
  for (const auto& row : table) {
    const auto span = FindName(FromUtf8(row.line), FromUtf8(row.name));
    ASSERT_EQ(span.has_value(), row.at.has_value()) << row.line;
    if (span) {
      EXPECT_EQ(span->begin, *row.at) << row.line;
      EXPECT_EQ(span->end - span->begin, std::string(row.name).size());
    }
  }
}

TEST(Names, AroundTheCursor) {
  const Text line = u"y = other(x);";
  const struct {
    std::size_t unit;
    std::optional<std::size_t> begin, end;
  } table[] = {{4, 4, 9},    {6, 4, 9},    {9, 4, 9},   {3, {}, {}},
               {10, 10, 11}, {13, {}, {}}, {99, {}, {}}};
  for (const auto& row : table) {
    const auto span = NameAround(line, row.unit);
    ASSERT_EQ(span.has_value(), row.begin.has_value()) << row.unit;
    if (span) {
      EXPECT_EQ(span->begin, *row.begin);
      EXPECT_EQ(span->end, *row.end);
    }
  }
}

TEST(Functions, DeclaredLinesAndNames) {
  const std::vector<Text> lines = {u"% help",
                                   u"function [a, b] = first(x)",
                                   u"functions = 3;",
                                   u"  function second",
                                   u"function r=third (y)",
                                   u"function"};
  const auto found = DeclaredFunctions(lines);
  ASSERT_EQ(found.size(), 4U);
  const struct {
    std::size_t line, begin, end;
  } expected[] = {{1, 18, 23}, {3, 11, 17}, {4, 11, 16}, {5, 0, 8}};
  for (std::size_t i = 0; i < found.size(); ++i) {
    EXPECT_EQ(found[i].line, expected[i].line);
    EXPECT_EQ(found[i].name.begin, expected[i].begin) << i;
    EXPECT_EQ(found[i].name.end, expected[i].end) << i;
  }
  EXPECT_EQ(FunctionLine({u"x = 1;"}), std::nullopt);
}

}  // namespace
}  // namespace korvath::lsp
