// The server as a client sees it: framed messages in, every reply checked
// field by field, over a project written to a temporary folder. Columns are
// counted by hand from the files' text below.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "lsp/message_reader.h"
#include "lsp/server.h"
#include "lsp/uri.h"
#include "platform/host_file_system.h"
#include "platform/utf8.h"

namespace korvath::lsp {
namespace {

namespace fs = std::filesystem;

// main.m, line by line (0-based): helper is called on lines 1, 2, 3 (as
// the first line of a continued statement whose call is on line 4) and 5.
constexpr const char* kMain =
    "function main\n"
    "x = helper(1);  % calls helper\n"
    "y = other(x) + helper(2);\n"
    "z = long_call(1, ...\n"
    "    helper(3));\n"
    "s = '\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80'; t = helper(s);\n";

class Project {
 public:
  Project() {
    root_ = fs::temp_directory_path() / ("korvath-lsp-" + std::to_string(std::random_device{}()));
    Write("main.m", kMain);
    Write("lib/helper.m", "function r = helper(a)\nr = a;\n");
    Write("lib/other.m", "function r = other(a)\nr = Helper(a);\n");
    Write("lib/long_call.m", "function long_call(varargin)\n");
    // Not on the path: private folders are searched only by their parent's files.
    Write("lib/private/other.m", "function r = other(a)\nr = a;\n");
    root_ = fs::canonical(root_);
  }
  ~Project() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  void Write(const std::string& name, const std::string& text) {
    fs::create_directories((root_ / name).parent_path());
    std::ofstream(root_ / name, std::ios::binary) << text;
  }
  // As the server spells it: from the host's path, whatever its form.
  std::string Uri(const std::string& name = "") const {
    return UriFromPath(Text((name.empty() ? root_ : root_ / name).u16string()));
  }

 private:
  fs::path root_;
};

struct Exchange {
  std::vector<Json> messages;  // everything the server wrote, in order
  int exitCode = -1;
  // The reply to request `id`; null when there is none.
  Json ReplyTo(const Json& id) const {
    for (const Json& m : messages) {
      if (m.contains("id") && m["id"] == id && !m.contains("method")) return m;
    }
    return nullptr;
  }
};

Exchange Talk(const std::string& input) {
  Exchange exchange;
  Server server([&](const std::string& body) { exchange.messages.push_back(Json::parse(body)); },
                [](const Text& folder) -> std::unique_ptr<platform::FileSystem> {
                  return std::make_unique<platform::HostFileSystem>(folder);
                });
  StringSource in(input);
  exchange.exitCode = Serve(in, server);
  return exchange;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

// Messages as JSON with $ROOT and $MAIN standing for the project's URIs.
std::string Framed(const Project& project, const std::vector<std::string>& messages) {
  std::string input;
  for (const std::string& m : messages) {
    input += Frame(Replace(Replace(m, "$MAIN", project.Uri("main.m")), "$ROOT", project.Uri()));
  }
  return input;
}

const std::string kInit =
    R"({"jsonrpc":"2.0","id":"init","method":"initialize","params":{"rootUri":"$ROOT","capabilities":{}}})";
const std::string kInitialized = R"({"jsonrpc":"2.0","method":"initialized","params":{}})";
std::string InitWithEncoding(const std::string& encoding) {
  return R"({"jsonrpc":"2.0","id":"init","method":"initialize","params":{"rootUri":"$ROOT",)"
         R"("capabilities":{"general":{"positionEncodings":[")" +
         encoding + R"(","utf-16"]}}}})";
}
std::string At(const std::string& method, int id, int line, int character) {
  return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":")" + method +
         R"(","params":{"textDocument":{"uri":"$MAIN"},"position":{"line":)" +
         std::to_string(line) + R"(,"character":)" + std::to_string(character) + "}}}";
}
std::string Calls(const std::string& direction, int id, const std::string& file) {
  return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":"callHierarchy/)" +
         direction + R"(Calls","params":{"item":{"name":"x","kind":12,"uri":"$ROOT/)" + file +
         R"(","range":{"start":{"line":0,"character":0},"end":{"line":0,"character":0}},)"
         R"("selectionRange":{"start":{"line":0,"character":0},"end":{"line":0,"character":0}}}}})";
}
Json Range(int line, int from, int to) {
  return {{"start", {{"line", line}, {"character", from}}},
          {"end", {{"line", line}, {"character", to}}}};
}

struct Check {
  // Into the reply to the case's `id`; "POINTER#size" checks an array's size.
  std::string pointer;
  Json expected;
};
struct Case {
  const char* name;
  std::vector<std::string> messages;
  Json id;
  std::vector<Check> checks;
};

class ProtocolTest : public ::testing::TestWithParam<Case> {};

TEST_P(ProtocolTest, RepliesFieldByField) {
  const Case& c = GetParam();
  const Project project;
  const Exchange exchange = Talk(Framed(project, c.messages));
  const Json reply = exchange.ReplyTo(c.id);
  ASSERT_FALSE(reply.is_null()) << "no reply to " << c.id.dump();
  for (const Check& check : c.checks) {
    std::string pointer = Replace(check.pointer, "$ROOT", project.Uri());
    const bool size = pointer.ends_with("#size");
    if (size) pointer.resize(pointer.size() - 5);
    const Json::json_pointer at(pointer);
    ASSERT_TRUE(reply.contains(at)) << pointer << " missing in " << reply.dump();
    Json expected = check.expected;
    if (expected.is_string()) {
      expected = Replace(expected.get<std::string>(), "$ROOT", project.Uri());
    }
    if (size) {
      EXPECT_EQ(Json(reply.at(at).size()), expected) << pointer << " in " << reply.dump();
    } else {
      EXPECT_EQ(reply.at(at), expected) << pointer << " in " << reply.dump();
    }
  }
}

// The calls of main.m, in the order of the callees' programs.
INSTANTIATE_TEST_SUITE_P(
    Questions, ProtocolTest,
    ::testing::Values(
        Case{"OutgoingCallsOfMain",
             {kInit, kInitialized, Calls("outgoing", 1, "main.m")},
             1,
             {{"/result/0/to/name", "helper"},
              {"/result/0/to/uri", "$ROOT/lib/helper.m"},
              {"/result/0/to/selectionRange", Range(0, 13, 19)},
              {"/result/0/fromRanges/0", Range(1, 4, 10)},
              {"/result/0/fromRanges/1", Range(2, 15, 21)},
              // The call stands on the statement's second line: its first line whole.
              {"/result/0/fromRanges/2", Range(3, 0, 20)},
              // After 'ü€😀': UTF-16 counts the emoji twice.
              {"/result/0/fromRanges/3", Range(5, 16, 22)},
              {"/result/1/to/name", "long_call"},
              {"/result/1/fromRanges", Json::array({Range(3, 4, 13)})},
              {"/result/2/to/name", "other"},
              {"/result/2/to/uri", "$ROOT/lib/other.m"},
              {"/result/2/fromRanges", Json::array({Range(2, 4, 9)})}}},
        Case{"Utf8Columns",
             {InitWithEncoding("utf-8"), kInitialized, Calls("outgoing", 1, "main.m")},
             1,
             {{"/result/0/fromRanges/3", Range(5, 21, 27)}}},
        Case{"Utf32Columns",
             {InitWithEncoding("utf-32"), kInitialized, Calls("outgoing", 1, "main.m")},
             1,
             {{"/result/0/fromRanges/3", Range(5, 15, 21)}}},
        Case{"NegotiatedEncodingIsAnnounced",
             {InitWithEncoding("utf-32")},
             "init",
             {{"/result/capabilities/positionEncoding", "utf-32"},
              {"/result/capabilities/callHierarchyProvider", true},
              {"/result/serverInfo/name", "korvath-lsp"}}},
        Case{"UnknownEncodingFallsBackToUtf16",
             {InitWithEncoding("utf-7")},
             "init",
             {{"/result/capabilities/positionEncoding", "utf-16"}}},
        Case{"IncomingCallsOfHelperIgnoreCase",
             {kInit, Calls("incoming", 1, "lib/helper.m")},
             1,
             {{"/result/0/from/name", "main"},
              {"/result/0/fromRanges",
               Json::array({Range(1, 4, 10), Range(2, 15, 21), Range(3, 0, 20), Range(5, 16, 22)})},
              {"/result/1/from/name", "other"},
              {"/result/1/fromRanges", Json::array({Range(1, 4, 10)})}}},
        Case{"PrepareOnACallNamesTheCallee",
             {kInit, At("textDocument/prepareCallHierarchy", 1, 2, 7)},
             1,
             {{"/result/0/name", "other"},
              {"/result/0/kind", 12},
              {"/result/0/uri", "$ROOT/lib/other.m"},
              {"/result/0/range", Json{{"start", {{"line", 0}, {"character", 0}}},
                                       {"end", {{"line", 1}, {"character", 14}}}}}}},
        Case{"PrepareOnTheFunctionLineNamesTheFile",
             {kInit, At("textDocument/prepareCallHierarchy", 1, 0, 11)},
             1,
             {{"/result/0/name", "main"}, {"/result/0/selectionRange", Range(0, 9, 13)}}},
        Case{"PrepareOnNoCallIsNull",
             {kInit, At("textDocument/prepareCallHierarchy", 1, 1, 0)},
             1,
             {{"/result", nullptr}}},
        Case{"DefinitionAtTheFunctionLine",
             {kInit, At("textDocument/definition", 1, 2, 17)},
             1,
             {{"/result/uri", "$ROOT/lib/helper.m"}, {"/result/range", Range(0, 13, 19)}}},
        Case{"DefinitionRightAfterTheName",
             {kInit, At("textDocument/definition", 1, 3, 13)},
             1,
             {{"/result/uri", "$ROOT/lib/long_call.m"}, {"/result/range", Range(0, 9, 18)}}},
        Case{"DefinitionOfANameOffThePath",
             {kInit, At("textDocument/definition", 1, 1, 0)},
             1,
             {{"/result", nullptr}}},
        Case{"ReferencesAreEveryCallSite",
             {kInit, At("textDocument/references", 1, 1, 6)},
             1,
             {{"/result/0/uri", "$ROOT/main.m"},
              {"/result/0/range", Range(1, 4, 10)},
              {"/result/3/range", Range(5, 16, 22)},
              {"/result/4/uri", "$ROOT/lib/other.m"},
              {"/result/4/range", Range(1, 4, 10)},
              {"/result#size", 5}}},
        Case{"HoverNamesTheFile",
             {kInit, At("textDocument/hover", 1, 2, 5)},
             1,
             {{"/result/range", Range(2, 4, 9)}, {"/result/contents/kind", "markdown"}}},
        Case{"WorkspaceSymbolsPrefixBeforePart",
             {kInit,
              R"({"jsonrpc":"2.0","id":1,"method":"workspace/symbol","params":{"query":"HE"}})"},
             1,
             {{"/result/0/name", "helper"},
              {"/result/0/location/uri", "$ROOT/lib/helper.m"},
              {"/result/1/name", "other"},
              {"/result#size", 2}}},
        Case{"WorkspaceSymbolsBySubsequence",
             {kInit,
              R"({"jsonrpc":"2.0","id":1,"method":"workspace/symbol","params":{"query":"lcl"}})"},
             1,
             {{"/result/0/name", "long_call"}, {"/result#size", 1}}},
        Case{"WorkspaceSymbolsRanked",
             {kInit,
              R"({"jsonrpc":"2.0","id":1,"method":"workspace/symbol","params":{"query":"ma"}})"},
             1,
             {{"/result/0/name", "main"}, {"/result/0/location/range", Range(0, 9, 13)}}},
        Case{
            "DocumentSymbols",
            {kInit,
             R"({"jsonrpc":"2.0","id":1,"method":"textDocument/documentSymbol","params":{"textDocument":{"uri":"$MAIN"}}})"},
            1,
            {{"/result/0/name", "main"}, {"/result/0/selectionRange", Range(0, 9, 13)}}}),
    [](const auto& param) { return std::string(param.param.name); });

// An edit counts before it is saved; closing the buffer brings the file back.
INSTANTIATE_TEST_SUITE_P(
    Edits, ProtocolTest,
    ::testing::Values(
        Case{
            "OpenedTextReplacesTheFile",
            {kInit, kInitialized, Calls("outgoing", 1, "main.m"),
             R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"$MAIN","languageId":"matlab","version":1,"text":"function main\nother(1);\n"}}})",
             Calls("outgoing", 2, "main.m")},
            2,
            {{"/result#size", 1},
             {"/result/0/fromRanges", Json::array({Range(1, 0, 5)})},
             {"/result/0/to/name", "other"}}},
        Case{
            "RangedChangeRemovesACall",
            {kInit,
             R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"$MAIN","languageId":"matlab","version":1,"text":"function main\nx = helper(1);\ny = other(2);\n"}}})",
             Calls("outgoing", 1, "main.m"),
             // "helper(1)" becomes "1".
             R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":"$MAIN","version":2},"contentChanges":[{"range":{"start":{"line":1,"character":4},"end":{"line":1,"character":13}},"text":"1"}]}})",
             Calls("outgoing", 2, "main.m")},
            2,
            {{"/result/0/to/name", "other"}, {"/result/0/fromRanges/0", Range(2, 4, 9)}}},
        Case{
            "CallerSeesTheChange",
            {kInit, Calls("incoming", 1, "lib/other.m"),
             R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"$ROOT/lib/helper.m","languageId":"matlab","version":1,"text":"function r = helper(a)\nr = other(a);\n"}}})",
             Calls("incoming", 2, "lib/other.m")},
            2,
            {{"/result/0/from/name", "helper"}, {"/result/1/from/name", "main"}}},
        Case{
            "ClosingBringsTheFileBack",
            {kInit,
             R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"$MAIN","languageId":"matlab","version":1,"text":"function main\n"}}})",
             Calls("outgoing", 1, "main.m"),
             R"({"jsonrpc":"2.0","method":"textDocument/didClose","params":{"textDocument":{"uri":"$MAIN"}}})",
             Calls("outgoing", 2, "main.m")},
            2,
            {{"/result/0/to/name", "helper"}, {"/result/2/to/name", "other"}}}),
    [](const auto& param) { return std::string(param.param.name); });

// What a confused or hostile client gets.
INSTANTIATE_TEST_SUITE_P(
    Edges, ProtocolTest,
    ::testing::Values(
        Case{"RequestBeforeInitialize",
             {At("textDocument/definition", 1, 1, 5)},
             1,
             {{"/error/code", -32002}}},
        Case{"UnknownRequest",
             {kInit, R"({"jsonrpc":"2.0","id":1,"method":"textDocument/frobnicate","params":{}})"},
             1,
             {{"/error/code", -32601}}},
        Case{"UnknownNotificationIsIgnored",
             {kInit, R"({"jsonrpc":"2.0","method":"$/setTrace","params":{"value":"off"}})",
              R"({"jsonrpc":"2.0","method":"custom/thing"})",
              R"({"jsonrpc":"2.0","id":1,"method":"shutdown"})"},
             1,
             {{"/result", nullptr}}},
        Case{"MalformedJsonThenGoesOn",
             {kInit, R"({"jsonrpc":"2.0","id":1,"method":)",
              R"({"jsonrpc":"2.0","id":2,"method":"shutdown"})"},
             2,
             {{"/result", nullptr}}},
        Case{"MalformedJsonIsAParseError",
             {kInit, "{\"jsonrpc\":\"2.0\",\"id\":1,\xff}"},
             nullptr,
             {{"/error/code", -32700}}},
        Case{"NotAnObject", {kInit, "[1,2]"}, nullptr, {{"/error/code", -32600}}},
        Case{"CancelledRequest",
             {kInit, R"({"jsonrpc":"2.0","method":"$/cancelRequest","params":{"id":7}})",
              Calls("incoming", 7, "lib/helper.m")},
             7,
             {{"/error/code", -32800}}},
        Case{"CancelOfAnotherRequestLeavesThisOne",
             {kInit, R"({"jsonrpc":"2.0","method":"$/cancelRequest","params":{"id":"7"}})",
              Calls("incoming", 7, "lib/helper.m")},
             7,
             {{"/result/0/from/name", "main"}}},
        Case{"RequestAfterShutdown",
             {kInit, R"({"jsonrpc":"2.0","id":1,"method":"shutdown"})",
              At("textDocument/definition", 2, 1, 5)},
             2,
             {{"/error/code", -32600}}},
        Case{
            "WrongParamsAreInvalid",
            {kInit,
             R"({"jsonrpc":"2.0","id":1,"method":"textDocument/definition","params":{"textDocument":{"uri":5}}})"},
            1,
            {{"/error/code", -32602}}},
        Case{"SecondInitialize",
             {kInit,
              R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{}}})"},
             1,
             {{"/error/code", -32600}}}),
    [](const auto& param) { return std::string(param.param.name); });

// How the server ends: 0 after shutdown, 1 otherwise, end of input included.
struct Ending {
  const char* name;
  std::vector<std::string> messages;
  std::string tail;  // raw bytes after the messages
  int exitCode;
};
class EndingTest : public ::testing::TestWithParam<Ending> {};

TEST_P(EndingTest, ExitCode) {
  const Project project;
  const Exchange exchange = Talk(Framed(project, GetParam().messages) + GetParam().tail);
  EXPECT_EQ(exchange.exitCode, GetParam().exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Lifecycle, EndingTest,
    ::testing::Values(
        Ending{"ExitAfterShutdown",
               {kInit, R"({"jsonrpc":"2.0","id":1,"method":"shutdown"})",
                R"({"jsonrpc":"2.0","method":"exit"})"},
               "",
               0},
        Ending{"ExitWithoutShutdown", {kInit, R"({"jsonrpc":"2.0","method":"exit"})"}, "", 1},
        Ending{"ExitBeforeInitialize", {R"({"jsonrpc":"2.0","method":"exit"})"}, "", 1},
        Ending{"EndOfInput", {kInit}, "", 1},
        Ending{"EndInsideAMessage", {kInit}, "Content-Length: 100\r\n\r\n{\"jsonrpc\"", 1},
        Ending{"EndOfInputAfterShutdown",
               {kInit, R"({"jsonrpc":"2.0","id":1,"method":"shutdown"})"},
               "",
               0}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Framing, NothingButMessagesAndTheLogGoOut) {
  const Project project;
  const Exchange exchange = Talk(Framed(project, {kInit, kInitialized}));
  ASSERT_FALSE(exchange.messages.empty());
  bool logged = false;
  for (const Json& m : exchange.messages) {
    EXPECT_EQ(m.at("jsonrpc"), "2.0");
    if (m.value("method", "") == "window/logMessage") {
      logged |=
          m["params"]["message"].get<std::string>().find("workspace folders") != std::string::npos;
    }
  }
  EXPECT_TRUE(logged) << "the log says which search path was used";
}

TEST(Framing, AMessageOverTheLimitIsAnsweredByIdAndSkipped) {
  const Project project;
  std::string huge = R"({"jsonrpc":"2.0","id":9,"method":"workspace/symbol","params":{"query":")";
  huge.append(kMaxMessageBytes, 'a');
  huge += "\"}}";
  const std::string input = Framed(project, {kInit}) + Frame(huge) +
                            Framed(project, {R"({"jsonrpc":"2.0","id":10,"method":"shutdown"})"});
  const Exchange exchange = Talk(input);
  EXPECT_EQ(exchange.ReplyTo(9).at("/error/code"_json_pointer), -32600);
  EXPECT_TRUE(exchange.ReplyTo(10).contains("result"));
}

TEST(Framing, HeadersOtherThanLengthAreReadAndBadBlocksSkipped) {
  const Project project;
  const std::string shutdown = R"({"jsonrpc":"2.0","id":3,"method":"shutdown"})";
  const std::string input = Framed(project, {kInit}) + "Content-Type: x\r\n\r\n" +
                            "content-length: " + std::to_string(shutdown.size()) +
                            "\r\nContent-Type: application/vscode-jsonrpc; charset=utf-8\r\n\r\n" +
                            shutdown;
  const Exchange exchange = Talk(input);
  EXPECT_TRUE(exchange.ReplyTo(3).contains("result"));
}

// Files changed on disk, as a watcher reports them: a change is read again
// (only that file), a file that came is found, one that went is gone.
TEST(Watching, EachReportedChangeIsInTheNextAnswer) {
  Project project;
  std::vector<Json> out;
  Server server([&out](const std::string& body) { out.push_back(Json::parse(body)); },
                [](const Text& folder) -> std::unique_ptr<platform::FileSystem> {
                  return std::make_unique<platform::HostFileSystem>(folder);
                });
  const auto send = [&](const std::string& message) {
    server.Receive(
        MessageReader::Outcome::Message,
        Replace(Replace(message, "$MAIN", project.Uri("main.m")), "$ROOT", project.Uri()));
  };
  const auto callees = [&](int id) {
    send(Calls("outgoing", id, "main.m"));
    std::vector<std::string> names;
    for (const Json& m : out) {
      if (m.value("id", Json()) != Json(id)) continue;
      for (const Json& call : m.at("result")) names.push_back(call.at("/to/name"_json_pointer));
    }
    return names;
  };
  const auto changed = [&](const std::string& file, int type) {
    send(
        R"({"jsonrpc":"2.0","method":"workspace/didChangeWatchedFiles","params":{"changes":[{"uri":")" +
        project.Uri(file) + R"(","type":)" + std::to_string(type) + "}]}}");
  };
  send(kInit);
  send(kInitialized);
  EXPECT_EQ(callees(1), (std::vector<std::string>{"helper", "long_call", "other"}));
  project.Write("main.m", "function main\nother(1);\n");
  changed("main.m", 2);
  EXPECT_EQ(callees(2), (std::vector<std::string>{"other"}));
  project.Write("lib/extra.m", "function extra\n");
  project.Write("main.m", "function main\nother(1);\nextra;\n");
  changed("lib/extra.m", 1);
  changed("main.m", 2);
  EXPECT_EQ(callees(3), (std::vector<std::string>{"extra", "other"}));
  fs::remove(fs::path(platform::ToUtf8(*PathFromUri(project.Uri("lib/extra.m")))));
  changed("lib/extra.m", 3);
  EXPECT_EQ(callees(4), (std::vector<std::string>{"other"}));
}

}  // namespace
}  // namespace korvath::lsp
