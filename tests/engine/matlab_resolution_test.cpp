// MATLAB's function precedence, one tiny project per rule: which function a
// name used in a file reaches. Folders: /cwd (current, searched first),
// then the path /p and /q.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/matlab_resolver.h"
#include "engine/matlab_run.h"
#include "platform/utf8.h"
#include "tests/support/memory_file_system.h"

namespace korvath::engine::matlab {
namespace {

struct Case {
  const char* rule;
  std::map<std::string, std::string> files;
  std::string caller;    // file whose uses are resolved
  std::string function;  // the function of it that uses the name ("" main)
  std::string name;      // the use looked at (first use of that name)
  std::string expected;  // "notation @ path", or "" for no call
};

std::string Resolved(const Case& c, int* caseOnly = nullptr) {
  testing::MemoryFileSystem fs;
  for (const auto& [path, text] : c.files) fs.AddFile(path, text);
  fs.AddDirectory("/cwd");
  Resolver resolver(fs, {u"/cwd", u"/p", u"/q"});
  const int file = resolver.FileAt(platform::FromUtf8(c.caller));
  const FileSyntax* syntax = resolver.Syntax(file);
  if (syntax == nullptr) return "unreadable caller";
  for (std::size_t f = 0; f < syntax->functions.size(); ++f) {
    const FunctionSyntax& fn = syntax->functions[f];
    if (!c.function.empty() && fn.name != c.function) continue;
    if (c.function.empty() && f != 0) continue;
    for (const NameUse& use : fn.uses) {
      if (use.name != c.name) continue;
      const auto target = resolver.Resolve({file, static_cast<int>(f)}, use);
      if (caseOnly != nullptr) *caseOnly = resolver.stats().caseOnlyNames;
      if (!target) return "";
      const FunctionId id = resolver.Canonical(target->id);
      std::string out =
          resolver.Notation(id) + " @ " + platform::ToUtf8(resolver.Context(id.file).path);
      if (target->certainty != Certainty::Exact) {
        out += " (" + std::string(CertaintyName(target->certainty)) + ")";
      }
      return out;
    }
    return "no use of " + c.name;
  }
  return "no function " + c.function;
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"a private function beats the path",
       {{"/p/a.m", "function a\nf();\n"},
        {"/p/private/f.m", "function f\n"},
        {"/q/f.m", "function f\n"}},
       "/p/a.m",
       "",
       "f",
       "private/f @ /p/private/f.m"},
      {"a private function sees its own folder",
       {{"/p/private/f.m", "function f\ng(1);\n"},
        {"/p/private/g.m", "function g(x)\n"},
        {"/q/g.m", "function g(x)\n"}},
       "/p/private/f.m",
       "",
       "g",
       "private/g @ /p/private/g.m"},
      {"an @C constructor beats an earlier function C.m",
       {{"/p/a.m", "function a\nC(1);\n"},
        {"/p/C.m", "function C(x)\n"},
        {"/q/@C/C.m", "function obj = C(x)\n"}},
       "/p/a.m",
       "",
       "C",
       "C @ /q/@C/C.m"},
      {"between a classdef N.m and an @N folder the path order decides",
       {{"/p/a.m", "function a\nN(1);\n"},
        {"/p/N.m", "classdef N\nend\n"},
        {"/q/@N/N.m", "function obj = N(x)\n"}},
       "/p/a.m",
       "",
       "N",
       "N @ /p/N.m"},
      {"a method does not see its parent folder's private functions",
       {{"/p/@C/m.m", "function m(obj)\ng();\n"},
        {"/p/private/g.m", "function g\n"},
        {"/q/g.m", "function g\n"}},
       "/p/@C/m.m",
       "",
       "g",
       "g @ /q/g.m"},
      {"a method sees its class folder's private functions",
       {{"/p/@C/m.m", "function m(obj)\ng();\n"},
        {"/p/@C/private/g.m", "function g\n"},
        {"/q/g.m", "function g\n"}},
       "/p/@C/m.m",
       "",
       "g",
       "private/g @ /p/@C/private/g.m"},
      {"a package function's plain call goes to the path, not its package",
       {{"/p/+pk/pg.m", "function pg\npf();\n"},
        {"/p/+pk/pf.m", "function pf\n"},
        {"/q/pf.m", "function pf\n"}},
       "/p/+pk/pg.m",
       "",
       "pf",
       "pf @ /q/pf.m"},
      {"a local function shadows a path file",
       {{"/p/a.m", "function a\nh(2);\nend\nfunction h(x)\nend\n"}, {"/q/h.m", "function h(x)\n"}},
       "/p/a.m",
       "",
       "h",
       "a>h @ /p/a.m"},
      {"a variable shadows a file",
       {{"/p/a.m", "function a\nx = 1;\ny = x(1);\n"}, {"/q/x.m", "function x\n"}},
       "/p/a.m",
       "",
       "x",
       ""},
      {"an input argument shadows a file",
       {{"/p/a.m", "function a(mid)\ny = mid(1);\n"}, {"/q/mid.m", "function mid\n"}},
       "/p/a.m",
       "",
       "mid",
       ""},
      {"case matters",
       {{"/p/a.m", "function a\nFoo(1);\n"}, {"/q/foo.m", "function foo(x)\n"}},
       "/p/a.m",
       "",
       "Foo",
       ""},
      {"the current folder comes before the path",
       {{"/p/a.m", "function a\nf();\n"}, {"/cwd/f.m", "function f\n"}, {"/p/f.m", "function f\n"}},
       "/p/a.m",
       "",
       "f",
       "f @ /cwd/f.m"},
      {"a P-code file in an earlier folder is a leaf that wins",
       {{"/p/a.m", "function a\nf();\n"}, {"/p/f.p", "binary"}, {"/q/f.m", "function f\n"}},
       "/p/a.m",
       "",
       "f",
       "f @ /p/f.p"},
      {"C.staticMethod in a classdef file",
       {{"/p/a.m", "function a\nC.s(1);\n"},
        {"/q/C.m", "classdef C\nmethods (Static)\nfunction s(x)\nend\nend\nend\n"}},
       "/p/a.m",
       "",
       "C.s",
       "C.s @ /q/C.m"},
      {"C.staticMethod in a class folder",
       {{"/p/a.m", "function a\nD.s(1);\n"},
        {"/q/@D/D.m", "function obj = D\n"},
        {"/q/@D/s.m", "function s(x)\n"}},
       "/p/a.m",
       "",
       "D.s",
       "D.s @ /q/@D/s.m"},
      {"an inherited static method",
       {{"/p/a.m", "function a\nSub.s(1);\n"},
        {"/q/Sub.m", "classdef Sub < Base\nend\n"},
        {"/q/Base.m", "classdef Base\nmethods (Static)\nfunction s(x)\nend\nend\nend\n"}},
       "/p/a.m",
       "",
       "Sub.s",
       "Base.s @ /q/Base.m"},
      {"a constant of a class is an edge to the class",
       {{"/p/a.m", "function a\nk = C.K;\n"},
        {"/q/C.m", "classdef C\nproperties (Constant)\nK = 3;\nend\nend\n"}},
       "/p/a.m",
       "",
       "C.K",
       "C @ /q/C.m"},
      {"import p.* reaches the package's functions",
       {{"/p/a.m", "function a\nimport pk.*\npf(1);\n"}, {"/q/+pk/pf.m", "function pf(x)\n"}},
       "/p/a.m",
       "",
       "pf",
       "pk.pf @ /q/+pk/pf.m"},
      {"an explicit import beats a local function",
       {{"/p/a.m", "function a\nimport pk.f\nf(1);\nend\nfunction f(x)\nend\n"},
        {"/q/+pk/f.m", "function f(x)\n"}},
       "/p/a.m",
       "",
       "f",
       "pk.f @ /q/+pk/f.m"},
      {"a package class by its qualified name",
       {{"/p/a.m", "function a\nobj = pk.C(1);\n"}, {"/q/+pk/@C/C.m", "function obj = C(x)\n"}},
       "/p/a.m",
       "",
       "pk.C",
       "pk.C @ /q/+pk/@C/C.m"},
      {"nested packages",
       {{"/p/a.m", "function a\npk.sub.f(1);\n"}, {"/q/+pk/+sub/f.m", "function f(x)\n"}},
       "/p/a.m",
       "",
       "pk.sub.f",
       "pk.sub.f @ /q/+pk/+sub/f.m"},
      {"a handle @N resolves like a call",
       {{"/p/a.m", "function a\nh = @helper;\n"}, {"/q/helper.m", "function helper\n"}},
       "/p/a.m",
       "",
       "helper",
       "helper @ /q/helper.m"},
      {"feval('N') cannot reach a local function",
       {{"/p/a.m", "function a\nfeval('loc', 1);\nend\nfunction loc(x)\nend\n"},
        {"/q/loc.m", "function loc(x)\n"}},
       "/p/a.m",
       "",
       "loc",
       "loc @ /q/loc.m"},
      {"str2func('N') reaches a private function",
       {{"/p/a.m", "function a\nh = str2func('g');\n"}, {"/p/private/g.m", "function g\n"}},
       "/p/a.m",
       "",
       "g",
       "private/g @ /p/private/g.m"},
      {"a method calling its own class's method is likely",
       {{"/q/C.m",
         "classdef C\nmethods\nfunction a(obj)\nb(obj);\nend\nfunction b(obj)\nend\nend\nend\n"}},
       "/q/C.m",
       "a",
       "b",
       "C.b @ /q/C.m (likely)"},
      {"a method of an old-style class calling another method of it",
       {{"/q/@C/C.m", "function obj = C\n"},
        {"/q/@C/a.m", "function a(obj)\nb(obj);\n"},
        {"/q/@C/b.m", "function b(obj)\n"},
        {"/p/b.m", "function b(x)\n"}},
       "/q/@C/a.m",
       "",
       "b",
       "C.b @ /q/@C/b.m (likely)"},
      {"a nested function is seen from its parent",
       {{"/p/a.m", "function a\nn(1);\nfunction n(x)\nend\nend\n"}, {"/q/n.m", "function n(x)\n"}},
       "/p/a.m",
       "",
       "n",
       "a>n @ /p/a.m"},
      {"a nested function is not seen from another local function",
       {{"/p/a.m", "function a\nfunction n(x)\nend\nend\nfunction l\nn(1);\nend\n"},
        {"/q/n.m", "function n(x)\n"}},
       "/p/a.m",
       "l",
       "n",
       "n @ /q/n.m"},
      {"a global variable is no call",
       {{"/p/a.m", "function a\nglobal g\nx = g(1);\n"}, {"/q/g.m", "function g(x)\n"}},
       "/p/a.m",
       "",
       "g",
       ""},
      {"a catch variable is no call",
       {{"/p/a.m", "function a\ntry\nx = 1;\ncatch err\ndisp(err(1));\nend\n"},
        {"/q/err.m", "function err(x)\n"}},
       "/p/a.m",
       "",
       "err",
       ""},
      {"a for variable is no call",
       {{"/p/a.m", "function a\nfor k = 1:3\ny = k(1);\nend\n"}, {"/q/k.m", "function k(x)\n"}},
       "/p/a.m",
       "",
       "k",
       ""},
      {"a [a, b] = target is no call",
       {{"/p/a.m", "function a\n[u, v] = deal(1, 2);\nw = v(1);\n"}, {"/q/v.m", "function v\n"}},
       "/p/a.m",
       "",
       "v",
       ""},
      {"command syntax calls the command",
       {{"/p/a.m", "function a\nhold on\n"}, {"/q/hold.m", "function hold(x)\n"}},
       "/p/a.m",
       "",
       "hold",
       "hold @ /q/hold.m"},
      {"a struct field is no call, its variable neither",
       {{"/p/a.m", "function a\ns.f = 1;\nz = s.f;\n"},
        {"/q/s.m", "function s\n"},
        {"/q/f.m", "function f\n"}},
       "/p/a.m",
       "",
       "s.f",
       ""},
      {"a function's result indexed with a field calls the function",
       {{"/p/a.m", "function a\nz = cfg.name;\n"}, {"/q/cfg.m", "function c = cfg\n"}},
       "/p/a.m",
       "",
       "cfg.name",
       "cfg @ /q/cfg.m"},
      {"a method in a class folder with a classdef",
       {{"/p/a.m", "function a\nx = C(1);\n"},
        {"/q/@C/C.m", "classdef C\nmethods\nfunction obj = C(x)\nend\nr = far(obj)\nend\nend\n"},
        {"/q/@C/far.m", "function r = far(obj)\n"}},
       "/p/a.m",
       "",
       "C",
       "C @ /q/@C/C.m"},
  };
  return cases;
}

class MatlabResolution : public ::testing::TestWithParam<Case> {};

TEST_P(MatlabResolution, ReachesWhatMatlabWould) {
  const Case& c = GetParam();
  EXPECT_EQ(Resolved(c), c.expected) << c.rule;
}

INSTANTIATE_TEST_SUITE_P(Rules, MatlabResolution, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& param) {
                           return "Rule" + std::to_string(param.index);
                         });

TEST(MatlabResolutionStats, ANameMatchingOnlyWithoutCaseIsCounted) {
  int caseOnly = 0;
  const Case c{"case",   {{"/p/a.m", "function a\nFoo(1);\n"}, {"/q/foo.m", "function foo(x)\n"}},
               "/p/a.m", "",
               "Foo",    ""};
  EXPECT_EQ(Resolved(c, &caseOnly), "");
  EXPECT_EQ(caseOnly, 1);
}

// A name used again in one function is resolved once: each use still
// counts, and a name given as text does not take the answer of the same
// name in code.
TEST(MatlabCallees, NamesUsedAgainKeepTheirOwnRuleAndCount) {
  testing::MemoryFileSystem fs;
  fs.AddFile("/p/a.m",
             "function a\nFoo(1);\nFoo(2);\ng(1);\nfeval('g');\ng(2);\nfeval('g', 3);\nend\n"
             "function g(x)\nend\n");
  fs.AddFile("/q/foo.m", "function foo(x)\n");
  fs.AddFile("/q/g.m", "function g(x)\n");
  fs.AddDirectory("/cwd");
  Resolver resolver(fs, {u"/cwd", u"/p", u"/q"});
  const int file = resolver.FileAt(u"/p/a.m");
  const std::vector<Callee> callees = CalleesOf(resolver, {file, 0});
  EXPECT_EQ(resolver.stats().caseOnlyNames, 2);
  ASSERT_EQ(callees.size(), 2U);
  EXPECT_EQ(resolver.Notation(callees[0].id), "a>g");
  EXPECT_EQ(callees[0].lines, (std::vector<std::int32_t>{4, 6}));
  EXPECT_FALSE(callees[0].byName);
  EXPECT_EQ(resolver.Notation(callees[1].id), "g");
  EXPECT_EQ(callees[1].lines, (std::vector<std::int32_t>{5, 7}));
  EXPECT_TRUE(callees[1].byName);
}

// A run reads each function's callees into one list, kept from function to
// function, and the working lists stay from call to call: what a function
// calls must not depend on what was asked before it.
TEST(MatlabCallees, AListHeldFromAnotherFunctionGivesTheSameCallees) {
  const auto project = [](testing::MemoryFileSystem& fs) {
    fs.AddFile("/p/a.m",
               "function a\nb(1); c(2); h = @d;\nfeval('c');\nb(3);\n  c(4);\nd(5); x = 1;\nend\n");
    fs.AddFile("/p/b.m", "function b(x)\nc(x);\nend\n");
    fs.AddFile("/p/c.m", "function c(x)\n");
    fs.AddFile("/p/d.m", "function d(x)\n");
    fs.AddDirectory("/cwd");
  };
  // Notation, lines, sites and marks of each callee.
  const auto describe = [](Resolver& resolver, const std::vector<Callee>& callees) {
    std::string out;
    for (const Callee& callee : callees) {
      out += resolver.Notation(callee.id) + " lines";
      for (const std::int32_t line : callee.lines) out += " " + std::to_string(line);
      out += " sites";
      for (const ProgramIndex::Site& site : callee.sites) {
        out += " " + std::to_string(site.line) + ":" + std::to_string(site.column) + "+" +
               std::to_string(site.length);
      }
      out += callee.handle ? " handle" : "";
      out += callee.byName ? " name" : "";
      out += "; ";
    }
    return out;
  };
  // Each function's callees as a resolver on a thread of its own finds them
  // first.
  const auto fresh = [&](const Text& path, CalleeDetail detail) {
    std::string out;
    std::thread([&] {
      testing::MemoryFileSystem fs;
      project(fs);
      Resolver resolver(fs, {u"/cwd", u"/p"});
      out = describe(resolver, CalleesOf(resolver, {resolver.FileAt(path), 0}, detail));
    }).join();
    return out;
  };
  testing::MemoryFileSystem fs;
  project(fs);
  Resolver resolver(fs, {u"/cwd", u"/p"});
  std::vector<Callee> held;
  for (const CalleeDetail detail : {CalleeDetail::LinesAndSites, CalleeDetail::Lines}) {
    for (const Text path : {u"/p/a.m", u"/p/b.m", u"/p/c.m", u"/p/a.m", u"/p/b.m"}) {
      SCOPED_TRACE(platform::ToUtf8(path));
      CalleesOf(resolver, {resolver.FileAt(path), 0}, detail, held);
      EXPECT_EQ(describe(resolver, held), fresh(path, detail));
    }
  }
  EXPECT_EQ(fresh(u"/p/a.m", CalleeDetail::LinesAndSites),
            "b lines 2 4 sites 2:0+1 4:0+1; c lines 2 3 5 sites 2:6+1 3:7+1 5:2+1; "
            "d lines 2 6 sites 2:17+1 6:0+1; ");
}

}  // namespace
}  // namespace korvath::engine::matlab
