// The server in the MATLAB resolution mode, as a client sees it: a small
// project with a private folder, a class folder, a classdef with a static
// method, a package, local and nested functions and a MEX leaf. Replies are
// checked field by field; columns are counted from the files' text below.

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

// Lines (0-based): helper on 1 (private/helper.m beats the path's
// helper.m), Shape on 2 (the @Shape constructor), Counter.make and the
// local twice on 3, the package's geom.dist and the MEX fastsum on 4;
// twice calls the nested inner on 8.
constexpr const char* kMain =
    "function main\n"
    "x = helper(1);\n"
    "s = Shape(2);\n"
    "c = Counter.make(3); n = twice(x);\n"
    "v = geom.dist(1, 2); f = fastsum(v);\n"
    "end\n"
    "\n"
    "function r = twice(a)\n"
    "r = inner(a);\n"
    "  function q = inner(b)\n"
    "    q = 2 * b;\n"
    "  end\n"
    "end\n";

constexpr const char* kCounter =
    "classdef Counter < handle\n"
    "  properties\n"
    "    Count = 0\n"
    "  end\n"
    "  methods\n"
    "    function obj = Counter(n)\n"
    "      obj.Count = n;\n"
    "    end\n"
    "    function bump(obj)\n"
    "      obj.Count = obj.Count + 1;\n"
    "    end\n"
    "  end\n"
    "  methods (Static)\n"
    "    function c = make(n)\n"
    "      c = Counter(n);\n"
    "    end\n"
    "  end\n"
    "end\n";

class Project {
 public:
  Project() {
    root_ = fs::temp_directory_path() / ("korvath-lsp-m-" + std::to_string(std::random_device{}()));
    Write("main.m", kMain);
    Write("Counter.m", kCounter);
    Write("helper.m", "function r = helper(a)\nr = a + 1;\nend\n");
    Write("private/helper.m", "function r = helper(a)\nr = a;\nend\n");
    Write("@Shape/Shape.m",
          "function s = Shape(side)\ns = class(struct('side', side), 'Shape');\n");
    Write("@Shape/area.m", "function a = area(s)\na = sidelen(s)^2;\n");
    Write("@Shape/sidelen.m", "function n = sidelen(s)\nn = s.side;\n");
    Write("+geom/dist.m", "function d = dist(a, b)\nd = abs(a - b);\n");
    Write("fastsum.mexa64", "");
    // Off the root's private folder: its helper is the path's.
    Write("tools/caller2.m", "function caller2\nhelper(2);\n");
    root_ = fs::canonical(root_);
  }
  ~Project() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  Project(const Project&) = delete;
  Project& operator=(const Project&) = delete;
  void Write(const std::string& name, const std::string& text) {
    fs::create_directories((root_ / name).parent_path());
    std::ofstream(root_ / name, std::ios::binary) << text;
  }
  // As the server spells it: from the host's path, whatever its form.
  std::string Uri(const std::string& name = "") const {
    return UriFromPath(Text((name.empty() ? root_ : root_ / name).u16string()));
  }
  // The host's path of a file, as the server shows it.
  std::string Path(const std::string& name) const {
    return platform::ToUtf8(Text((root_ / fs::path(name).make_preferred()).u16string()));
  }

 private:
  fs::path root_;
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

// "$PATH{a/b.m}" in `text` as the host's path of the project's a/b.m.
std::string WithPaths(const Project& project, std::string text) {
  constexpr std::string_view kToken = "$PATH{";
  for (std::size_t at = text.find(kToken); at != std::string::npos; at = text.find(kToken, at)) {
    const std::size_t end = text.find('}', at);
    const std::string path =
        project.Path(text.substr(at + kToken.size(), end - at - kToken.size()));
    text.replace(at, end + 1 - at, path);
    at += path.size();
  }
  return text;
}

std::vector<Json> Talk(const Project& project, const std::vector<std::string>& messages) {
  std::string input;
  for (const std::string& m : messages) {
    input += Frame(Replace(m, "$ROOT", project.Uri()));
  }
  std::vector<Json> out;
  Server server([&](const std::string& body) { out.push_back(Json::parse(body)); },
                [](const Text& folder) -> std::unique_ptr<platform::FileSystem> {
                  return std::make_unique<platform::HostFileSystem>(folder);
                });
  StringSource in(input);
  static_cast<void>(Serve(in, server));  // the exit code is the lifecycle tests' concern
  return out;
}

const std::string kInit =
    R"({"jsonrpc":"2.0","id":"init","method":"initialize","params":{"rootUri":"$ROOT",)"
    R"("capabilities":{},"initializationOptions":{"resolve":"matlab"}}})";

std::string At(const std::string& method, const std::string& file, int line, int character) {
  return R"({"jsonrpc":"2.0","id":1,"method":")" + method +
         R"(","params":{"textDocument":{"uri":"$ROOT/)" + file + R"("},"position":{"line":)" +
         std::to_string(line) + R"(,"character":)" + std::to_string(character) +
         R"(},"context":{"includeDeclaration":false}}})";
}
// A call hierarchy item as a client sends it back: the name tells the
// file's functions apart.
std::string Calls(const std::string& direction, const std::string& file, const std::string& name) {
  return R"({"jsonrpc":"2.0","id":1,"method":"callHierarchy/)" + direction +
         R"(Calls","params":{"item":{"name":")" + name + R"(","kind":12,"uri":"$ROOT/)" + file +
         R"(","range":{"start":{"line":0,"character":0},"end":{"line":0,"character":0}},)"
         R"("selectionRange":{"start":{"line":0,"character":0},"end":{"line":0,"character":0}}}}})";
}
std::string Symbols(const std::string& file) {
  return R"({"jsonrpc":"2.0","id":1,"method":"textDocument/documentSymbol","params":{"textDocument":{"uri":"$ROOT/)" +
         file + R"("}}})";
}
Json Range(int line, int from, int to) {
  return {{"start", {{"line", line}, {"character", from}}},
          {"end", {{"line", line}, {"character", to}}}};
}
Json Lines(int first, int last, int lastLength) {
  return {{"start", {{"line", first}, {"character", 0}}},
          {"end", {{"line", last}, {"character", lastLength}}}};
}

// A path into the reply: "/" separated; "[FIELD=VALUE]" picks the array
// element whose FIELD (a pointer, "to/name") is the string VALUE; a last
// "#size" takes an array's size and "#has" checks a string holds the text.
struct Check {
  std::string path;
  Json expected;
};
struct Case {
  const char* name;
  std::vector<std::string> messages;  // after initialize
  std::vector<Check> checks;          // into the reply to id 1
};

std::optional<Json> Walk(const Json& from, const std::string& path, std::string& why) {
  const Json* at = &from;
  std::size_t i = 1;
  while (i <= path.size()) {
    std::size_t end = path.find('/', i);
    if (path[i] == '[') end = path.find(']', i) + 1;
    if (end == std::string::npos) end = path.size();
    const std::string step = path.substr(i, end - i);
    i = end + 1;
    if (step.front() == '[') {
      const std::size_t eq = step.find('=');
      const Json::json_pointer field("/" + step.substr(1, eq - 1));
      const std::string value = step.substr(eq + 1, step.size() - eq - 2);
      const Json* found = nullptr;
      for (const Json& e : *at) {
        if (e.contains(field) && e.at(field) == value) found = &e;
      }
      if (found == nullptr) {
        why = "no element " + step;
        return std::nullopt;
      }
      at = found;
    } else {
      const Json::json_pointer pointer("/" + step);
      if (!at->contains(pointer)) {
        why = "no " + step;
        return std::nullopt;
      }
      at = &at->at(pointer);
    }
  }
  return *at;
}

class MatlabModeTest : public ::testing::TestWithParam<Case> {};

TEST_P(MatlabModeTest, RepliesFieldByField) {
  const Case& c = GetParam();
  const Project project;
  std::vector<std::string> messages{kInit};
  messages.insert(messages.end(), c.messages.begin(), c.messages.end());
  Json reply;
  for (const Json& m : Talk(project, messages)) {
    if (m.contains("id") && m["id"] == 1 && !m.contains("method")) reply = m;
  }
  ASSERT_FALSE(reply.is_null()) << "no reply";
  ASSERT_FALSE(reply.contains("error")) << reply.dump();
  for (const Check& check : c.checks) {
    std::string path = check.path;
    std::string mode;
    if (const std::size_t hash = path.rfind('#'); hash != std::string::npos) {
      mode = path.substr(hash + 1);
      path.resize(hash);
    }
    std::string why;
    const std::optional<Json> got = Walk(reply, path, why);
    ASSERT_TRUE(got.has_value()) << check.path << ": " << why << " in " << reply.dump(1);
    Json expected = check.expected;
    if (expected.is_string()) {
      const std::string text = expected.get<std::string>();
      // A file's URI as the server spells it ("@" and "+" escaped).
      expected =
          text.starts_with("$ROOT/") ? project.Uri(text.substr(6)) : WithPaths(project, text);
    }
    if (mode == "size") {
      EXPECT_EQ(Json(got->size()), expected) << check.path << " in " << reply.dump(1);
    } else if (mode == "has") {
      ASSERT_TRUE(got->is_string()) << check.path;
      EXPECT_NE(got->get<std::string>().find(expected.get<std::string>()), std::string::npos)
          << check.path << ": " << got->dump() << " lacks " << expected;
    } else {
      EXPECT_EQ(*got, expected) << check.path << " in " << reply.dump(1);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    CallHierarchy, MatlabModeTest,
    ::testing::Values(
        Case{"OutgoingCallsOfMainAreFunctionsWithExactSites",
             {Calls("outgoing", "main.m", "main")},
             {{"/result#size", 6},
              {"/result/[to/name=private/helper]/to/uri", "$ROOT/private/helper.m"},
              {"/result/[to/name=private/helper]/fromRanges", Json::array({Range(1, 4, 10)})},
              {"/result/[to/name=Shape]/to/uri", "$ROOT/@Shape/Shape.m"},
              {"/result/[to/name=Shape]/to/kind", 5},
              {"/result/[to/name=Shape]/fromRanges", Json::array({Range(2, 4, 9)})},
              {"/result/[to/name=Counter.make]/to/uri", "$ROOT/Counter.m"},
              {"/result/[to/name=Counter.make]/to/kind", 6},
              {"/result/[to/name=Counter.make]/to/range", Lines(13, 15, 7)},
              {"/result/[to/name=Counter.make]/to/selectionRange", Range(13, 17, 21)},
              {"/result/[to/name=Counter.make]/fromRanges", Json::array({Range(3, 4, 16)})},
              {"/result/[to/name=main>twice]/to/uri", "$ROOT/main.m"},
              {"/result/[to/name=main>twice]/to/range", Lines(7, 12, 3)},
              {"/result/[to/name=main>twice]/to/selectionRange", Range(7, 13, 18)},
              {"/result/[to/name=main>twice]/fromRanges", Json::array({Range(3, 25, 30)})},
              {"/result/[to/name=geom.dist]/to/uri", "$ROOT/+geom/dist.m"},
              {"/result/[to/name=geom.dist]/fromRanges", Json::array({Range(4, 4, 13)})},
              {"/result/[to/name=fastsum]/fromRanges", Json::array({Range(4, 25, 32)})}}},
        Case{"OutgoingCallsOfALocalFunctionReachItsNestedOne",
             {Calls("outgoing", "main.m", "main>twice")},
             {{"/result#size", 1},
              {"/result/0/to/name", "main>inner"},
              {"/result/0/to/range", Lines(9, 11, 5)},
              {"/result/0/fromRanges", Json::array({Range(8, 4, 9)})}}},
        Case{"IncomingCallsOfTheNestedFunction",
             {Calls("incoming", "main.m", "main>inner")},
             {{"/result#size", 1},
              {"/result/0/from/name", "main>twice"},
              {"/result/0/fromRanges", Json::array({Range(8, 4, 9)})}}},
        Case{"IncomingCallsOfThePrivateFunctionOnlyFromBesideIt",
             {Calls("incoming", "private/helper.m", "private/helper")},
             {{"/result#size", 1},
              {"/result/0/from/name", "main"},
              {"/result/0/from/range", Lines(0, 5, 3)},
              {"/result/0/fromRanges", Json::array({Range(1, 4, 10)})}}},
        Case{"IncomingCallsOfThePathFunction",
             {Calls("incoming", "helper.m", "helper")},
             {{"/result#size", 1},
              {"/result/0/from/name", "caller2"},
              {"/result/0/fromRanges", Json::array({Range(1, 0, 6)})}}},
        Case{"IncomingCallsOfTheClassFromItsStaticMethod",
             {Calls("incoming", "Counter.m", "Counter")},
             {{"/result#size", 1},
              {"/result/0/from/name", "Counter.make"},
              {"/result/0/fromRanges", Json::array({Range(14, 10, 17)})}}},
        Case{"PrepareOnALocalCall",
             {At("textDocument/prepareCallHierarchy", "main.m", 3, 27)},
             {{"/result/0/name", "main>twice"}, {"/result/0/range", Lines(7, 12, 3)}}},
        Case{"PrepareOnANestedFunctionsOwnLine",
             {At("textDocument/prepareCallHierarchy", "main.m", 9, 3)},
             {{"/result/0/name", "main>inner"}, {"/result/0/selectionRange", Range(9, 15, 20)}}},
        // The constructor's own line gives the item its callers target.
        Case{"PrepareOnAClassdefConstructorsOwnLine",
             {At("textDocument/prepareCallHierarchy", "Counter.m", 5, 21)},
             {{"/result#size", 1},
              {"/result/0/name", "Counter"},
              {"/result/0/uri", "$ROOT/Counter.m"},
              {"/result/0/range", Lines(0, 17, 3)},
              {"/result/0/selectionRange", Range(0, 9, 16)}}},
        Case{"PrepareOnAVariableIsNull",
             {At("textDocument/prepareCallHierarchy", "main.m", 3, 31)},
             {{"/result", nullptr}}}),
    [](const auto& param) { return std::string(param.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Navigation, MatlabModeTest,
    ::testing::Values(
        Case{"DefinitionOfAPrivateFunction",
             {At("textDocument/definition", "main.m", 1, 5)},
             {{"/result/uri", "$ROOT/private/helper.m"}, {"/result/range", Range(0, 13, 19)}}},
        Case{"DefinitionOfTheSameNameFromAnotherFolderIsThePathOne",
             {At("textDocument/definition", "tools/caller2.m", 1, 0)},
             {{"/result/uri", "$ROOT/helper.m"}, {"/result/range", Range(0, 13, 19)}}},
        Case{"DefinitionOfAClassFolderConstructor",
             {At("textDocument/definition", "main.m", 2, 9)},
             {{"/result/uri", "$ROOT/@Shape/Shape.m"}, {"/result/range", Range(0, 13, 18)}}},
        Case{"DefinitionOfAStaticMethod",
             {At("textDocument/definition", "main.m", 3, 14)},
             {{"/result/uri", "$ROOT/Counter.m"}, {"/result/range", Range(13, 17, 21)}}},
        Case{"DefinitionOfALocalFunction",
             {At("textDocument/definition", "main.m", 3, 25)},
             {{"/result/uri", "$ROOT/main.m"}, {"/result/range", Range(7, 13, 18)}}},
        Case{"DefinitionOfAClassdefConstructorCall",
             {At("textDocument/definition", "Counter.m", 14, 12)},
             {{"/result/uri", "$ROOT/Counter.m"}, {"/result/range", Range(0, 9, 16)}}},
        Case{"DefinitionOnADeclarationIsItself",
             {At("textDocument/definition", "main.m", 7, 15)},
             {{"/result/uri", "$ROOT/main.m"}, {"/result/range", Range(7, 13, 18)}}},
        Case{"DefinitionOfAVariableIsNull",
             {At("textDocument/definition", "main.m", 3, 31)},
             {{"/result", nullptr}}},
        Case{"ReferencesOfThePrivateFunction",
             {At("textDocument/references", "main.m", 1, 4)},
             {{"/result#size", 1},
              {"/result/0/uri", "$ROOT/main.m"},
              {"/result/0/range", Range(1, 4, 10)}}},
        Case{"ReferencesFromTheDeclaration",
             {At("textDocument/references", "helper.m", 0, 14)},
             {{"/result#size", 1},
              {"/result/0/uri", "$ROOT/tools/caller2.m"},
              {"/result/0/range", Range(1, 0, 6)}}},
        Case{"ReferencesOfAMethodFromInsideItsClass",
             {At("textDocument/references", "@Shape/area.m", 1, 6)},
             {{"/result#size", 1},
              {"/result/0/uri", "$ROOT/@Shape/area.m"},
              {"/result/0/range", Range(1, 4, 11)}}}),
    [](const auto& param) { return std::string(param.param.name); });

// The rule that chose each call's function, one per kind.
INSTANTIATE_TEST_SUITE_P(
    Hover, MatlabModeTest,
    ::testing::Values(
        Case{"PrivateFunction",
             {At("textDocument/hover", "main.m", 1, 6)},
             {{"/result/contents/value",
               "**private/helper** \xE2\x86\x92 `$PATH{private/helper.m}`\n\nprivate function"},
              {"/result/range", Range(1, 4, 10)}}},
        Case{"ClassConstructor",
             {At("textDocument/hover", "main.m", 2, 4)},
             {{"/result/contents/value#has", "\n\nclass constructor"}}},
        Case{"StaticMethod",
             {At("textDocument/hover", "main.m", 3, 12)},
             {{"/result/contents/value#has", "\n\nstatic method"},
              {"/result/range", Range(3, 4, 16)}}},
        Case{"LocalFunction",
             {At("textDocument/hover", "main.m", 3, 26)},
             {{"/result/contents/value#has", "**main>twice**"},
              {"/result/contents/value#has", "\n\nlocal function"}}},
        Case{"NestedFunction",
             {At("textDocument/hover", "main.m", 8, 5)},
             {{"/result/contents/value#has", "\n\nnested function"}}},
        Case{"PackageFunction",
             {At("textDocument/hover", "main.m", 4, 9)},
             {{"/result/contents/value#has", "\n\npackage function"}}},
        Case{"Leaf",
             {At("textDocument/hover", "main.m", 4, 26)},
             {{"/result/contents/value#has", "fastsum.mexa64`\n\nleaf: P-code/MEX"}}},
        Case{"PathFunction",
             {At("textDocument/hover", "tools/caller2.m", 1, 1)},
             {{"/result/contents/value#has", "\n\nfunction on the path"}}},
        Case{"OwnClassMethodIsLikely",
             {At("textDocument/hover", "@Shape/area.m", 1, 6)},
             {{"/result/contents/value#has", "**Shape.sidelen**"},
              {"/result/contents/value#has",
               "method (likely: chosen when the first argument is an object of the class)"}}},
        Case{
            "OffACallNothing", {At("textDocument/hover", "main.m", 1, 0)}, {{"/result", nullptr}}}),
    [](const auto& param) { return std::string(param.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Symbols, MatlabModeTest,
    ::testing::Values(
        Case{"ClassdefOutline",
             {Symbols("Counter.m")},
             {{"/result#size", 1},
              {"/result/0/name", "Counter"},
              {"/result/0/kind", 5},
              {"/result/0/range", Lines(0, 17, 3)},
              {"/result/0/selectionRange", Range(0, 9, 16)},
              {"/result/0/children#size", 4},
              {"/result/0/children/0/name", "Count"},
              {"/result/0/children/0/kind", 7},
              {"/result/0/children/0/range", Range(2, 4, 9)},
              {"/result/0/children/1/name", "Counter"},
              {"/result/0/children/1/kind", 9},
              {"/result/0/children/1/selectionRange", Range(5, 19, 26)},
              {"/result/0/children/2/name", "bump"},
              {"/result/0/children/2/kind", 6},
              {"/result/0/children/2/range", Lines(8, 10, 7)},
              {"/result/0/children/2/selectionRange", Range(8, 13, 17)},
              {"/result/0/children/3/name", "make"}}},
        Case{"FunctionFileOutlineNestsNestedFunctions",
             {Symbols("main.m")},
             {{"/result#size", 2},
              {"/result/0/name", "main"},
              {"/result/0/range", Lines(0, 5, 3)},
              {"/result/1/name", "twice"},
              {"/result/1/selectionRange", Range(7, 13, 18)},
              {"/result/1/children/0/name", "inner"},
              {"/result/1/children/0/range", Lines(9, 11, 5)}}},
        Case{"WorkspaceSymbolsInNotation",
             {R"({"jsonrpc":"2.0","id":1,"method":"workspace/symbol","params":{"query":"make"}})"},
             {{"/result/0/name", "Counter.make"},
              {"/result/0/kind", 6},
              {"/result/0/location/uri", "$ROOT/Counter.m"},
              {"/result/0/location/range", Range(13, 17, 21)}}},
        Case{"WorkspaceSymbolsFindLocalFunctions",
             {R"({"jsonrpc":"2.0","id":1,"method":"workspace/symbol","params":{"query":"inner"}})"},
             {{"/result#size", 1},
              {"/result/0/name", "main>inner"},
              {"/result/0/location/range", Range(9, 15, 20)}}}),
    [](const auto& param) { return std::string(param.param.name); });

// The open buffer's text counts: a call taken out of it is gone from the
// answers, a call put in is found at its new place.
INSTANTIATE_TEST_SUITE_P(
    Edits, MatlabModeTest,
    ::testing::Values(Case{
        "EditedBufferMovesTheSites",
        {R"({"jsonrpc":"2.0","method":"initialized","params":{}})",
         R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"$ROOT/main.m","languageId":"matlab","version":1,"text":"function main\n  y = 1; x = twice(y);\nend\nfunction r = twice(a)\nr = a;\nend\n"}}})",
         Calls("outgoing", "main.m", "main")},
        {{"/result#size", 1},
         {"/result/0/to/name", "main>twice"},
         {"/result/0/to/range", Lines(3, 5, 3)},
         {"/result/0/fromRanges", Json::array({Range(1, 13, 18)})}}}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace korvath::lsp
