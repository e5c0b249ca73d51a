#pragma once
// MATLAB's function precedence over a search path: which function a name
// used in a function of a file stands for. Folders are listed and files read
// on first need, each once.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/matlab_syntax.h"
#include "engine/text.h"
#include "platform/file_system.h"

namespace korvath::engine::matlab {

enum class FunctionKind : std::uint8_t { Path, Local, Private, Method, Constructor, Package, Leaf };
enum class Certainty : std::uint8_t { Exact, Likely, Possible };

// As JSON names them: "path", "local", ...; "" for Exact, "likely", "possible".
std::string_view KindName(FunctionKind kind);
std::string_view CertaintyName(Certainty certainty);

// One function: a file and a function of it (0: the file's main one; for a
// classdef file, the class, which stands for its constructor too).
struct FunctionId {
  int file = -1;
  int function = 0;
  bool operator==(const FunctionId&) const = default;
};

struct Target {
  FunctionId id;
  Certainty certainty = Certainty::Exact;
};

// Where a file stands, from its folders: private, class folder, package.
struct FileContext {
  Text path;
  Text dir;
  std::string base;         // the file name without its extension
  std::string classFolder;  // "C" for a file in @C or @C/private
  std::string package;      // "p.q" for a file in +p/+q
  bool isPrivate = false;
  bool leaf = false;  // no calls can be read (P-code, MEX, live script)
  Text privateDir;    // the private folder its names may reach
};

struct ResolverStats {
  int caseOnlyNames = 0;  // names that would find a file only if case were ignored
  int dynamicCalls = 0;   // feval, eval, evalin of names not given as text
  int filesRead = 0;
  std::uint64_t bytesRead = 0;
  std::vector<Text> readFiles;
};

class Resolver {
 public:
  // `roots`: the folders searched, in order (the current folder first).
  // `possibleCalls` lets obj.method(...) on a variable reach a method that
  // only one class defines.
  Resolver(platform::FileSystem& fs, std::vector<Text> roots, bool possibleCalls = false);
  ~Resolver();
  Resolver(const Resolver&) = delete;
  Resolver& operator=(const Resolver&) = delete;

  // The file at `path` (as this file system names it), registered on first
  // use; its kind of place is read from its folders.
  int FileAt(const Text& path);
  const FileContext& Context(int file) const { return files_[Index(file)].context; }
  // The file's syntax, read on first use; nullptr for a leaf or a file that
  // cannot be read (then `why` says why, once).
  const FileSyntax* Syntax(int file, platform::Result* why = nullptr) {
    const File& f = files_[Index(file)];
    return f.read ? f.syntax.get() : Read(file, why);
  }
  int FileCount() const { return static_cast<int>(files_.size()); }

  // What a start names: "N", "p.f", "C" as MATLAB would find it from the
  // command line.
  std::optional<FunctionId> FindStart(std::string_view name);

  // What the use of a name in function `from` calls, if anything.
  std::optional<Target> Resolve(FunctionId from, const NameUse& use);

  // The function a classdef's constructor method and the class stand for
  // are one: the class.
  FunctionId Canonical(FunctionId id);
  // MATLAB's notation: "f", "f>local", "C.method", "C", "p.f", "private/f".
  std::string Notation(FunctionId id);
  FunctionKind Kind(FunctionId id);
  // The plain name: the last part of the notation.
  std::string PlainName(FunctionId id);
  // The uses whose calls are the function's own: for a class, also its
  // constructor method's. `uses` is replaced.
  void UsesOf(FunctionId id, std::vector<const NameUse*>& uses);
  // Every function of the file, canonical, the main one first.
  std::vector<FunctionId> FunctionsOf(int file);

  // Every file a name could reach, in search order: path files not shadowed
  // by an earlier folder, private, class and package files.
  std::vector<int> ReachableFiles();
  // A function MATLAB calls without a call in code: operators and the other
  // methods MATLAB calls itself, property accessors.
  bool CalledImplicitly(FunctionId id);
  // The class whose methods `id` sees ("" for none), qualified.
  std::string ClassOf(FunctionId id);
  std::vector<std::string> SuperclassesOf(const std::string& className);

  ResolverStats& stats() { return stats_; }
  // Told once of each folder that exists but cannot be listed; the search
  // goes on without it.
  std::function<void(const Text& folder, const platform::Result& why)> unlistable;
  const std::vector<Text>& roots() const { return roots_; }

 private:
  struct Listing {
    bool ok = false;
    bool anyLeaf = false;  // most folders hold only .m files
    std::unordered_set<std::string> files;
    std::unordered_set<std::string> folders;
  };
  struct File {
    FileContext context;
    bool read = false;
    platform::Result why;
    std::unique_ptr<FileSyntax> syntax;
    // Its private folder's listing once asked for (most files have none).
    const Listing* privateListing = nullptr;
  };
  struct ClassInfo {
    bool found = false;
    std::string name;           // qualified
    int definingFile = -1;      // classdef file, or the @C/C.m constructor
    std::vector<Text> folders;  // the @C folders, in search order
  };
  // What the first folder that has a name holds.
  struct FirstHit {
    int root = -1;
    Text path;  // the file that stands for the name there
    bool leaf = false;
  };

  static std::size_t Index(int file) { return static_cast<std::size_t>(file); }
  const FileSyntax* Read(int file, platform::Result* why);
  const Listing& List(const Text& dir);
  void IndexRoots();
  // In one folder: N.m, or a leaf file that comes before it.
  std::optional<FirstHit> FileIn(const Text& dir, std::string_view name);
  std::optional<FirstHit> FileIn(const Text& dir, const Listing& listing, std::string_view name);
  bool IsClassdefFile(const Text& path);
  const ClassInfo& Class(const std::string& qualified);
  std::vector<Text> PackageFolders(std::string_view package);
  std::optional<Target> Plain(FunctionId from, std::string_view name, bool fromText);
  std::optional<Target> Qualified(FunctionId from, const std::vector<std::string_view>& parts,
                                  bool& handled);
  std::optional<Target> PathFunction(std::string_view name);
  // The search itself; PathFunction keeps each name's answer, since the
  // folders stand still while a resolver lives.
  struct PathHit {
    std::optional<Target> target;
    bool caseOnly = false;  // a file differing in case only would match
  };
  PathHit FindPathFunction(std::string_view name);
  std::optional<Target> InPackage(std::string_view package, std::string_view name);
  std::optional<Target> ClassMember(const ClassInfo& cls, std::string_view member, bool wantStatic);
  std::optional<Target> Method(const std::string& className, std::string_view name, int depth);
  std::optional<Target> StaticMethod(const std::string& className, std::string_view name,
                                     int depth);
  std::optional<Target> Constructor(const ClassInfo& cls);
  std::optional<Target> Private(FunctionId from, std::string_view name);
  std::optional<Target> LocalOrNested(FunctionId from, std::string_view name);
  std::optional<Target> Imported(FunctionId from, std::string_view name, bool wildcard);
  std::optional<Target> PossibleMethod(std::string_view method);
  bool IsVariable(FunctionId from, std::string_view name);

  platform::FileSystem& fs_;
  std::vector<Text> roots_;
  bool possibleCalls_;
  std::vector<File> files_;
  std::unordered_map<Text, int> fileByPath_;
  std::unordered_map<Text, Listing> listings_;
  bool rootsIndexed_ = false;
  // By exact name: the first root with N.m (or a leaf), the first with @N.
  template <typename Value>
  using ByName = std::unordered_map<std::string, Value, NameHash, std::equal_to<>>;
  ByName<int> firstFileRoot_;
  ByName<PathHit> pathHits_;
  ByName<int> firstClassRoot_;
  std::unordered_map<std::string, std::vector<int>> classRoots_;
  std::unordered_set<std::string> foldedNames_;  // .m names, ASCII lower-cased
  std::unordered_map<std::string, ClassInfo> classes_;
  std::unordered_map<std::string, std::vector<Text>> packages_;
  // For possible calls: method name to the classes that define it.
  std::unordered_map<std::string, std::vector<Target>> methodOwners_;
  bool methodOwnersBuilt_ = false;
  ResolverStats stats_;
};

}  // namespace korvath::engine::matlab
