#pragma once
// What the MATLAB resolution mode reads from one .m file: its functions
// (main, local, nested), each with its variables, imports and the names it
// uses, and for a classdef file the class's name, superclasses and members.
// Names keep their case. Strings, comments (%, #, block comments) and the
// text after a command-syntax name are never names.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvath::engine::matlab {

enum class UseKind : std::uint8_t {
  Call,     // a name in code, maybe dotted ("p.f", "obj.method")
  Handle,   // @name
  ByName,   // feval('name'), str2func('name'), cellfun('name', ...)
  Command,  // hold on: the first word of a statement in command syntax
};

struct NameUse {
  // As written, dotted parts joined by "."; a view into its FileSyntax's
  // source, which lives as long as any copy of the FileSyntax.
  std::string_view name;
  std::int32_t line = 0;
  std::int32_t column = 0;  // 0-based, in UTF-16 units of the line
  UseKind kind = UseKind::Call;
  bool hasArguments = false;  // followed by "(" (or command words)
};

// Names looked up by string_view without making a string. Names in code
// are short: FNV-1a hashes them in fewer steps than std::hash, and every
// use that reaches the search path is looked up once per function.
struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const noexcept {
    std::uint64_t h = 14695981039346656037ULL;
    for (const char c : name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return static_cast<std::size_t>(h);
  }
};

// A function's variables: asked for every name it uses and added to at
// every assignment, so one flat table whose slots hold each name's hash
// beside its entry, no node per name. The names are views: into the
// file's source, for the reader's tables.
class NameSet {
 public:
  std::size_t count(std::string_view name) const { return Find(name, Hash(name)) != 0 ? 1 : 0; }
  void insert(std::string_view name);
  std::size_t size() const { return names_.size(); }
  bool empty() const { return names_.empty(); }
  std::vector<std::string_view>::const_iterator begin() const { return names_.begin(); }
  std::vector<std::string_view>::const_iterator end() const { return names_.end(); }

 private:
  static std::uint32_t Hash(std::string_view name) noexcept;
  // The slot's entry (index + 1) holding `name`, or 0.
  std::uint32_t Find(std::string_view name, std::uint32_t hash) const;
  void Place(std::uint64_t slot);

  std::vector<std::string_view> names_;
  // 0, or the name's hash in the high half and its index in names_ + 1 in
  // the low half.
  std::vector<std::uint64_t> slots_;
};

struct FunctionSyntax {
  std::string name;  // "set.Prop" for a property accessor
  std::int32_t line = 0;
  std::int32_t endLine = 0;
  int parent = -1;  // the enclosing function of a nested one
  bool isStatic = false;
  bool inMethodsBlock = false;  // a method defined in a classdef file
  bool isPrivateAccess = false;
  NameSet variables;
  std::vector<std::string> imports;  // "p.f" or "p.*"
  std::vector<NameUse> uses;
};

struct MethodDeclaration {
  std::string name;
  bool isStatic = false;
  bool definedInFile = false;
};

struct ClassSyntax {
  std::string name;
  std::vector<std::string> superclasses;  // as written, maybe qualified
  std::vector<MethodDeclaration> methods;
  std::vector<std::string> properties;  // constants and enumeration members too
};

enum class FileKind : std::uint8_t { Function, Script, Classdef };

// What the names of a FileSyntax view: the file's bytes, and the few dotted
// names written with blanks or line breaks inside, joined (a deque: its
// strings never move).
struct SourceText {
  std::string bytes;
  std::deque<std::string> joined;
};

struct FileSyntax {
  FileKind kind = FileKind::Script;
  ClassSyntax classdef;  // for a Classdef file
  // Entry 0 is the file's main function: the function of a function file,
  // the body of a script or the class itself (property defaults and code
  // outside methods). Local and nested functions and methods follow in file
  // order.
  std::vector<FunctionSyntax> functions;
  int dynamicCalls = 0;                // feval, eval, evalin of names not written as text
  std::shared_ptr<SourceText> source;  // shared by copies
};

// Reads `bytes` (UTF-8) as the file `fileName` without ".m". The first form
// copies the bytes, the second keeps the string it is given.
FileSyntax ReadFileSyntax(std::string_view bytes, std::string_view fileName);
FileSyntax ReadFileSyntax(std::unique_ptr<SourceText> source, std::string_view fileName);

bool IsKeyword(std::string_view word);

}  // namespace korvath::engine::matlab
