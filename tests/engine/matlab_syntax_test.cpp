// What the MATLAB mode reads from a file: the names each function uses,
// with everything MATLAB and Octave treat as text left out.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/matlab_syntax.h"

namespace korvath::engine::matlab {
namespace {

// "fn: a b(...)" per function, joined by " | "; a command is "name!", a
// handle "@name", a name given as text "'name'", a call with arguments
// "name()".
std::string Uses(const std::string& source, const std::string& fileName = "f") {
  const FileSyntax syntax = ReadFileSyntax(source, fileName);
  std::string out;
  for (const FunctionSyntax& fn : syntax.functions) {
    if (!out.empty()) out += " | ";
    out += fn.name + ":";
    for (const NameUse& use : fn.uses) {
      out += ' ';
      if (use.kind == UseKind::Handle) out += '@';
      if (use.kind == UseKind::ByName) out += '\'';
      out += use.name;
      if (use.kind == UseKind::ByName) out += '\'';
      if (use.kind == UseKind::Command) out += '!';
      if (use.hasArguments && use.kind == UseKind::Call) out += "()";
    }
  }
  return out;
}

struct Case {
  const char* what;
  const char* source;
  const char* uses;
};

class MatlabSyntax : public ::testing::TestWithParam<Case> {};

TEST_P(MatlabSyntax, FindsTheNamesInCode) {
  EXPECT_EQ(Uses(GetParam().source), GetParam().uses) << GetParam().what;
}

const Case kCases[] = {
    {"comments of both kinds", "function f\na(); % b()\nc(); # d()\n", "f: a() c()"},
    {"block comments, nested", "function f\n%{\nb()\n  %{\nc()\n  %}\nd()\n%}\na();\n", "f: a()"},
    {"Octave block comments", "function f\n#{\nb()\n#}\na();\n", "f: a()"},
    {"single-quoted strings with doubled quotes", "function f\nx = 'it''s b()';\na(x);\n",
     "f: a() x"},
    {"double-quoted strings with escapes", "function f\nx = \"say \\\"b()\\\" \"; a(x);\n",
     "f: a() x"},
    {"a transpose is no string", "function f\ny = x' + b(x)';\n", "f: x b() x"},
    {"continuation lines and their comments", "function f\ny = a(1, ... b()\n  c(2));\n",
     "f: a() c()"},
    {"command syntax keeps only the command", "function f\nhold on\nformat long g\n",
     "f: hold! format!"},
    {"a variable followed by words is an expression", "function f\nx = 1;\nx -1\n", "f: x"},
    {"binary operators with blanks are no command", "function f(a)\ny = a + b;\na - b\n",
     "f: a b a b"},
    {"an arguments block declares, it calls nothing",
     "function f(x)\narguments\n  x (1,1) double {mustBePositive}\nend\ny = g(x);\nend\n",
     "f: g() x"},
    {"a quote after a keyword opens a string",
     "function f(s)\nswitch s\ncase 'x(1)'\n  b();\nend\n", "f: s b()"},
    {"text that is no name is no name", "function f\nfeval('9x'); feval('');\n",
     "f: feval() feval()"},
    {"numbers of every form name nothing", "function f\ny = 1e-3 + 2.5E+2 + 0x1F + 3d4 + 7.;\n",
     "f:"},
    {"a number's dot before an operator", "function f(x)\ny = 1.*x + 2./x + 3.^x;\n", "f: x x x"},
    {"keywords are never names", "function f\nif a\nb();\nelseif c\nwhile d\nend\nend\n",
     "f: a b() c d"},
    {"end inside an index", "function f(x)\ny = x(end) + x(end-1);\n", "f: x() x()"},
    {"fields are part of the name", "function f\ny = s.a.b(1) + t.(k);\n", "f: s.a.b() t k"},
    {"handles and anonymous functions", "function f\nh = @g; k = @(t) t + m(t);\n", "f: @g m()"},
    {"names given as text", "function f\nfeval('g', 1); str2func('h'); cellfun('isempty', c);\n",
     "f: feval() 'g' str2func() 'h' cellfun() 'isempty' c"},
    {"local functions get their own uses", "function f\na();\nfunction g\nb();\n",
     "f: a() | g: b()"},
    {"nested functions end with end", "function f\na();\n function g\n b();\n end\nc();\nend\n",
     "f: a() c() | g: b()"},
    {"Octave endfunction", "function f\na();\nendfunction\nfunction g\nb();\nendfunction\n",
     "f: a() | g: b()"},
    {"a script with a local function", "x = a(1);\nfunction y = g(x)\ny = b(x);\nend\n",
     "f: a() | g: b() x"},
    {"a matrix spanning lines", "function f\nm = [a(1)\n b(2)];\nc();\n", "f: a() b() c()"},
    {"an unclosed parenthesis ends at its line", "function f\nx = a(1;\nb();\n", "f: a() b()"},
};

INSTANTIATE_TEST_SUITE_P(Cases, MatlabSyntax, ::testing::ValuesIn(kCases));

// Where a reader that looks ahead in the bytes goes wrong: the end of the
// file in the middle of something, a name cut by blanks or a continuation,
// a quote's two readings, block comments' marks, command syntax, nesting.
const Case kEdges[] = {
    {"continuation at the end of the file", "function f\ny = a(1, ...", "f: a()"},
    {"continuation then the end of the file", "function f\ny = a(1, ...\n", "f: a()"},
    {"two dots are no continuation", "function f\ny = s..b(1);\n", "f: s"},
    {"a continuation inside a matrix", "function f\nm = [a(1), ...\n b(2)];\nc;\n", "f: a() b() c"},
    {"a continuation between a name's parts", "function f\ny = s. ...\n  b(1);\n", "f: s.b()"},
    {"a blank after a dot joins the parts", "function f\ny = s. b(1) + s.b(2);\n",
     "f: s.b() s.b()"},
    {"transpose after a name, bracket and transpose", "function f\ny = x'' + (a)' + b.' + c'.';\n",
     "f: x a b c"},
    {"a quote after a blank in a matrix opens a string", "function f\ny = [x 'a(1)' b];\n",
     "f: x b"},
    {"a quote after a blank in parentheses transposes", "function f\ny = g(x ', b);\n",
     "f: g() x b"},
    {"a quote at the end of the file", "function f\ny = a'", "f: a"},
    {"an unclosed string ends with its line", "function f\ny = 'a(1);\nb(2);\n", "f: b()"},
    {"a block comment needs its marks alone on their lines",
     "function f\n%{ not alone\na(1);\n%}\nb(1);\n", "f: a() b()"},
    {"an unclosed block comment runs to the end", "function f\na(1);\n%{\nb(1);\n", "f: a()"},
    {"a block comment at the start of the file", "%{\nfunction g\n%}\nx = a(1);\n", "f: a()"},
    {"command syntax with a semicolon", "function f\nhold on;\ngrid minor, axis tight\n",
     "f: hold! grid! axis!"},
    {"a command's words are not names", "function f\ndisp hello(1) world\n", "f: disp!"},
    {"command syntax on a variable is an expression", "function f\nhold = 1;\nhold on\n",
     "f: hold on"},
    {"command syntax at the end of the file", "function f\nformat long", "f: format!"},
    {"an operator without blanks is an expression, one after a blank a command",
     "function f\ng-b\nc -d\n", "f: g b c!"},
    {"nested functions closed by endfunction",
     "function f\n function g\n  b();\n endfunction\n c();\nendfunction\n", "f: c() | g: b()"},
    {"nested functions and end in indices",
     "function f\nx = a(end);\n function g\n  y = b(end);\n end\nc();\nend\n",
     "f: a() c() | g: b()"},
    {"end words of Octave close blocks",
     "function f\nif a\n b();\nendif\nwhile c\nendwhile\nd();\nendfunction\n", "f: a b() c d()"},
    {"a name at the very end of the file", "function f\ny = abc", "f: abc"},
    {"a number at the very end of the file", "function f\ny = 1.", "f:"},
    {"an empty file", "", "f:"},
    {"comment lines only", "% a()\n# b()\n", "f:"},
    {"blanks and carriage returns", "function f\r\n\ty = a(1);\r\n  b (2)\r\n", "f: a() b()"},
    {"a name given as text in doubled quotes", "function f\nfeval(\"g\", 1); feval('h''', 2);\n",
     "f: feval() 'g' feval()"},
    {"handles to dotted names", "function f\nh = @p.q.r; k = @ g;\n", "f: @p.q.r @g"},
    {"names that keywords begin, end or differ from by case",
     "function f\nforx(1); if_(2); End(3); endfunctions(4);\nunwind_protect_cleanu(5)\n",
     "f: forx() if_() End() endfunctions() unwind_protect_cleanu()"},
    {"a keyword statement's head and one on the same line",
     "function f\ntry, a(); catch e, b(e); end\ndo c(); until d\n", "f: a() b() e c() d"},
    {"until closes a do block, so that end closes the function",
     "function f\n function g\n  do a(); until b\n end\nc();\nend\n", "f: c() | g: a() b"},
};

INSTANTIATE_TEST_SUITE_P(Edges, MatlabSyntax, ::testing::ValuesIn(kEdges));

// The names are views: they must outlive the bytes they were read from and
// stay valid in a copy of the syntax once the original is gone.
TEST(MatlabSyntaxNames, OutliveTheBytesAndTheOriginal) {
  std::string bytes = "function f\ny = s. ...\n  b(1) + first.second(2);\nfeval('g');\n";
  auto read = std::make_unique<FileSyntax>(ReadFileSyntax(bytes, "f"));
  bytes.assign(bytes.size(), 'x');
  const FileSyntax copy = *read;
  read.reset();
  std::vector<std::string> names;
  for (const NameUse& use : copy.functions[0].uses) names.emplace_back(use.name);
  EXPECT_EQ(names, (std::vector<std::string>{"s.b", "first.second", "feval", "g"}));
}

TEST(MatlabSyntaxVariables, EveryKindOfTargetIsAVariable) {
  const FileSyntax s = ReadFileSyntax(
      "function [o1, o2] = f(i1, varargin)\n"
      "a = 1; b(2) = 3; c.d = 4; [e, ~, g{1}] = h();\n"
      "for k = 1:3\nend\nglobal gl\npersistent pe\n"
      "try\ncatch err\nend\nn += 1;\n",
      "f");
  for (const char* name :
       {"o1", "o2", "i1", "varargin", "a", "b", "c", "e", "g", "k", "gl", "pe", "err", "n"}) {
    EXPECT_EQ(s.functions[0].variables.count(name), 1U) << name;
  }
  EXPECT_EQ(s.functions[0].variables.count("h"), 0U);
}

// Enough names to make the table grow several times, some assigned again.
TEST(MatlabSyntaxVariables, ManyVariablesAreEachKeptOnce) {
  std::string code = "function f\n";
  for (int i = 0; i < 300; ++i)
    code += "v" + std::to_string(i) + " = g(v" + std::to_string(i / 2) + ");\n";
  const FileSyntax s = ReadFileSyntax(code, "f");
  const NameSet& variables = s.functions[0].variables;
  EXPECT_EQ(variables.size(), 300U);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(variables.count("v" + std::to_string(i)), 1U) << i;
  for (const char* absent : {"v300", "v", "g", "f", "V1", "v01", ""}) {
    EXPECT_EQ(variables.count(absent), 0U) << absent;
  }
  EXPECT_EQ(std::count_if(s.functions[0].uses.begin(), s.functions[0].uses.end(),
                          [](const NameUse& use) { return use.name == "g"; }),
            300);
}

TEST(MatlabSyntaxClassdef, ReadsTheClassAndItsMembers) {
  const FileSyntax s = ReadFileSyntax(
      "classdef (Sealed) Shape < handle & pk.Base\n"
      "  properties (Constant)\n    Sides = count(4);\n  end\n"
      "  properties\n    Name\n  end\n"
      "  methods\n    function obj = Shape(n)\n      obj.Name = n;\n    end\n"
      "    r = area(obj)\n  end\n"
      "  methods (Static, Access = private)\n    function u = unit()\n      u = 1;\n    end\n"
      "  end\nend\n"
      "function helper\nend\n",
      "Shape");
  EXPECT_EQ(s.kind, FileKind::Classdef);
  EXPECT_EQ(s.classdef.name, "Shape");
  EXPECT_EQ(s.classdef.superclasses, (std::vector<std::string>{"handle", "pk.Base"}));
  EXPECT_EQ(s.classdef.properties, (std::vector<std::string>{"Sides", "Name"}));
  ASSERT_EQ(s.classdef.methods.size(), 3U);
  EXPECT_EQ(s.classdef.methods[1].name, "area");
  EXPECT_FALSE(s.classdef.methods[1].definedInFile);
  EXPECT_TRUE(s.classdef.methods[2].isStatic);
  ASSERT_EQ(s.functions.size(), 4U);
  EXPECT_EQ(s.functions[0].uses.size(), 1U);  // count(4), a default value
  EXPECT_TRUE(s.functions[2].inMethodsBlock);
  EXPECT_EQ(s.functions[3].name, "helper");
  EXPECT_FALSE(s.functions[3].inMethodsBlock);
}

TEST(MatlabSyntaxPositions, LinesAndUtf16ColumnsOfEachUse) {
  const FileSyntax s = ReadFileSyntax("function f\n  % é\n  x = 'é'; g(1);\n", "f");
  ASSERT_EQ(s.functions[0].uses.size(), 1U);
  EXPECT_EQ(s.functions[0].uses[0].line, 3);
  EXPECT_EQ(s.functions[0].uses[0].column, 11);  // é is one UTF-16 unit, two bytes
}

// Columns count UTF-16 units from the line's start, whatever came before on
// other lines and whatever follows on the same one.
TEST(MatlabSyntaxPositions, ColumnsOnLinesWithAndWithoutOtherThanAscii) {
  const struct {
    const char* code;  // the use of g in it is looked at
    int line;
    int column;
  } cases[] = {
      {"x = 'é';\ny = g(1);\n", 2, 4},  // after a line with é
      {"y = g(1); % é\n", 1, 4},        // é after it on its line
      {"x = 'é€'; g(1);\n", 1, 10},     // two and three bytes, one unit each
      {"x = '😀'; g(1);\n", 1, 10},      // four bytes, two units
      {"x = 'abcdefghijklmnopqrstuvwxyzé'; g(1);\n", 1, 35},
      {"x = [1, ...\n  é, g(1)];\n", 2, 5},  // after a continuation
      {"%{\né\n%}\n  g(1);\n", 4, 2},        // after a block comment
      {"c = {'é'\n      g(1)};\n", 2, 6},    // a row of a cell on a new line
  };
  for (const auto& c : cases) {
    const FileSyntax s = ReadFileSyntax(c.code, "script");
    const auto& uses = s.functions[0].uses;
    const auto g =
        std::find_if(uses.begin(), uses.end(), [](const NameUse& use) { return use.name == "g"; });
    ASSERT_NE(g, uses.end()) << c.code;
    EXPECT_EQ(g->line, c.line) << c.code;
    EXPECT_EQ(g->column, c.column) << c.code;
  }
}

// Every name is asked whether it is a keyword, so the test must be exact:
// each keyword is one, and no near miss is.
TEST(MatlabSyntaxKeywords, KeywordsAndNearMisses) {
  for (const char* word : {"break",
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
                           "while"}) {
    EXPECT_TRUE(IsKeyword(word)) << word;
  }
  for (const char* word : {"", "e", "en", "End", "END", "ends", "endd", "iff", "fo", "dO",
                           "functions", "unwind_protect_cleanu", "unwind_protect_cleanupp",
                           "properties", "methods", "arguments", "import", "elsif", "whilee"}) {
    EXPECT_FALSE(IsKeyword(word)) << word;
  }
}

// Calls whose callee only a run could tell: eval and its kin always, feval
// unless it is given a name as text or a handle; a dotted name is a field or
// a package function, never one of these.
TEST(MatlabSyntaxDynamicCalls, CountsCallsOfNamesNotWritten) {
  const struct {
    const char* code;
    int dynamic;
  } cases[] = {
      {"eval(s);", 1},
      {"evalin('base', s); evalc(s);", 2},
      {"eval s", 1},
      {"feval(s, 1);", 1},
      {"feval('g', 1); feval(@g, 1); str2func(s);", 0},
      {"p.eval(s); q.r.evalc(s); feval2(s); evaluate(s);", 0},
      {"x = s.feval; eval = 1;", 0},
      {"% eval(s)\nt = 'eval(s)';", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadFileSyntax(c.code, "script").dynamicCalls, c.dynamic) << c.code;
  }
}

TEST(MatlabSyntaxFunctions, FunctionsWithoutEndFollowEachOther) {
  const FileSyntax s = ReadFileSyntax("function f\nif a\nend\nfunction g\nb();\n", "f");
  ASSERT_EQ(s.functions.size(), 2U);
  EXPECT_EQ(s.functions[1].parent, -1);
  EXPECT_EQ(s.functions[0].endLine, 3);
}

// The reader keeps its working lists from file to file: a file reads the
// same after any other as it does first on a thread of its own.
TEST(MatlabSyntaxReuse, AFileReadsTheSameAfterAnyOther) {
  const std::vector<std::string> files = {
      // Several functions, a command and a nested function.
      "function a\nx = 1; b(x); hold on\nfunction c\n  d(1)\n  function e\n    f g\n  end\n"
      "end\nend\n",
      // Functions without "end", one nested-looking: read twice.
      "function a\nb(1)\nfunction c\nfunction d\nq = r(2);\n",
      // A script.
      "p(1); q = 2; format long\n",
      // A class.
      "classdef K < handle\nproperties\nP = pi\nend\nmethods\nfunction o = K(x)\no = helper(x);\n"
      "end\nend\nend\n",
      "",
  };
  std::vector<std::string> first(files.size());
  for (std::size_t f = 0; f < files.size(); ++f) {
    std::thread([&] { first[f] = Uses(files[f]); }).join();
  }
  for (std::size_t before = 0; before < files.size(); ++before) {
    for (std::size_t f = 0; f < files.size(); ++f) {
      SCOPED_TRACE(std::to_string(before) + " then " + std::to_string(f));
      static_cast<void>(Uses(files[before]));
      EXPECT_EQ(Uses(files[f]), first[f]);
    }
  }
  EXPECT_EQ(first[1], "a: b() | c: | d: r()");
}

}  // namespace
}  // namespace korvath::engine::matlab
