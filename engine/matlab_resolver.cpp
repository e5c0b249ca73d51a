#include "engine/matlab_resolver.h"

#include <algorithm>
#include <array>

#include "platform/utf8.h"

namespace korvath::engine::matlab {
namespace {

// Compiled and live files: found like N.m, but no calls can be read. In one
// folder they come before N.m.
constexpr std::array<std::string_view, 11> kLeafExtensions = {
    ".mexa64", ".mexw64", ".mexmaci64", ".mexmaca64", ".mexglx", ".mexw32",
    ".mex",    ".oct",    ".mlx",       ".p",         ".mexmac"};

bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

std::vector<std::string_view> SplitDots(std::string_view name) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '.') {
      parts.push_back(name.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

std::string Qualify(std::string_view package, std::string_view name) {
  if (package.empty()) return std::string(name);
  std::string out(package);
  out += '.';
  out += name;
  return out;
}

// The methods MATLAB calls without a call in code.
bool IsImplicitMethodName(std::string_view name) {
  static constexpr std::array<std::string_view, 44> kNames = {"subsref",
                                                              "subsasgn",
                                                              "subsindex",
                                                              "disp",
                                                              "display",
                                                              "end",
                                                              "numel",
                                                              "size",
                                                              "loadobj",
                                                              "saveobj",
                                                              "delete",
                                                              "plus",
                                                              "minus",
                                                              "uminus",
                                                              "uplus",
                                                              "times",
                                                              "mtimes",
                                                              "rdivide",
                                                              "ldivide",
                                                              "mrdivide",
                                                              "mldivide",
                                                              "power",
                                                              "mpower",
                                                              "lt",
                                                              "gt",
                                                              "le",
                                                              "ge",
                                                              "ne",
                                                              "eq",
                                                              "and",
                                                              "or",
                                                              "not",
                                                              "colon",
                                                              "ctranspose",
                                                              "transpose",
                                                              "horzcat",
                                                              "vertcat",
                                                              "cat",
                                                              "length",
                                                              "isempty",
                                                              "numArgumentsFromSubscript",
                                                              "char",
                                                              "double",
                                                              "isequal"};
  return std::find(kNames.begin(), kNames.end(), name) != kNames.end() ||
         name.substr(0, 4) == "set." || name.substr(0, 4) == "get.";
}

}  // namespace

std::string_view KindName(FunctionKind kind) {
  switch (kind) {
    case FunctionKind::Path:
      return "path";
    case FunctionKind::Local:
      return "local";
    case FunctionKind::Private:
      return "private";
    case FunctionKind::Method:
      return "method";
    case FunctionKind::Constructor:
      return "constructor";
    case FunctionKind::Package:
      return "package";
    case FunctionKind::Leaf:
      return "leaf";
  }
  return "path";
}

std::string_view CertaintyName(Certainty certainty) {
  switch (certainty) {
    case Certainty::Exact:
      return "";
    case Certainty::Likely:
      return "likely";
    case Certainty::Possible:
      return "possible";
  }
  return "";
}

Resolver::Resolver(platform::FileSystem& fs, std::vector<Text> roots, bool possibleCalls)
    : fs_(fs), roots_(std::move(roots)), possibleCalls_(possibleCalls) {}

Resolver::~Resolver() = default;

const Resolver::Listing& Resolver::List(const Text& dir) {
  auto [it, added] = listings_.try_emplace(dir);
  if (added) {
    std::vector<std::string> files;
    std::vector<std::string> folders;
    const platform::Result listed = fs_.ListEntries(dir, files, folders);
    it->second.ok = listed.ok();
    if (!listed && listed.status != platform::Status::NotFound && unlistable) {
      unlistable(dir, listed);
    }
    for (const std::string& file : files) {
      const std::size_t dot = file.rfind('.');
      if (dot != std::string::npos &&
          std::find(kLeafExtensions.begin(), kLeafExtensions.end(),
                    std::string_view(file).substr(dot)) != kLeafExtensions.end()) {
        it->second.anyLeaf = true;
      }
    }
    it->second.files.insert(files.begin(), files.end());
    it->second.folders.insert(folders.begin(), folders.end());
  }
  return it->second;
}

void Resolver::IndexRoots() {
  if (rootsIndexed_) return;
  rootsIndexed_ = true;
  for (std::size_t r = 0; r < roots_.size(); ++r) {
    const Listing& listing = List(roots_[r]);
    const int root = static_cast<int>(r);
    for (const std::string& file : listing.files) {
      const std::size_t dot = file.rfind('.');
      if (dot == std::string::npos || dot == 0) continue;
      const std::string_view ext = std::string_view(file).substr(dot);
      if (ext == ".m") foldedNames_.insert(Lower(std::string_view(file).substr(0, dot)));
      if (ext == ".m" ||
          std::find(kLeafExtensions.begin(), kLeafExtensions.end(), ext) != kLeafExtensions.end()) {
        firstFileRoot_.try_emplace(file.substr(0, dot), root);
      }
    }
    for (const std::string& folder : listing.folders) {
      if (folder.size() > 1 && folder[0] == '@') {
        firstClassRoot_.try_emplace(folder.substr(1), root);
        classRoots_[folder.substr(1)].push_back(root);
      }
      if (folder.size() > 1 && folder[0] == '+') {
        packages_[folder.substr(1)].push_back(
            fs_.JoinPath(roots_[r], platform::FileNameText(folder)));
      }
    }
  }
}

std::optional<Resolver::FirstHit> Resolver::FileIn(const Text& dir, std::string_view name) {
  return FileIn(dir, List(dir), name);
}

std::optional<Resolver::FirstHit> Resolver::FileIn(const Text& dir, const Listing& listing,
                                                   std::string_view name) {
  if (!listing.ok) return std::nullopt;
  std::string file(name);
  for (const std::string_view ext : kLeafExtensions) {
    if (!listing.anyLeaf) break;
    file.resize(name.size());
    file += ext;
    if (listing.files.count(file) != 0) {
      return FirstHit{-1, fs_.JoinPath(dir, platform::FileNameText(file)), true};
    }
  }
  file.resize(name.size());
  file += ".m";
  if (listing.files.count(file) != 0) {
    return FirstHit{-1, fs_.JoinPath(dir, platform::FileNameText(file)), false};
  }
  return std::nullopt;
}

int Resolver::FileAt(const Text& path) {
  const auto found = fileByPath_.find(path);
  if (found != fileByPath_.end()) return found->second;
  File file;
  FileContext& c = file.context;
  c.path = path;
  std::size_t cut = path.size();
  while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
  const std::string name = platform::FileNameBytesOf(TextView(path).substr(cut));
  const std::size_t dot = name.rfind('.');
  c.base = dot == std::string::npos ? name : name.substr(0, dot);
  c.leaf = dot == std::string::npos || name.substr(dot) != ".m";
  c.dir = path.substr(0, cut > 0 ? cut - 1 : 0);
  // The folders above, innermost first, as far as they place the file:
  // private, @C, +q, +p. Only those are converted: the rest of the path
  // (most of it) says nothing.
  const auto folderAbove = [&path](std::size_t& end, std::u16string_view& folder) {
    if (end == 0) return false;
    std::size_t start = end;
    while (start > 0 && !IsSeparator(path[start - 1])) --start;
    folder = TextView(path).substr(start, end - start);
    end = start > 0 ? start - 1 : 0;
    return true;
  };
  std::size_t end = cut > 0 ? cut - 1 : 0;
  std::u16string_view folder;
  bool more = folderAbove(end, folder);
  if (more && folder == u"private") {
    c.isPrivate = true;
    more = folderAbove(end, folder);
  }
  if (more && folder.size() > 1 && folder[0] == u'@') {
    c.classFolder = platform::FileNameBytesOf(folder.substr(1));
    more = folderAbove(end, folder);
  }
  std::vector<std::string> packages;
  for (; more && folder.size() > 1 && folder[0] == u'+'; more = folderAbove(end, folder)) {
    packages.push_back(platform::FileNameBytesOf(folder.substr(1)));
  }
  // Outermost first.
  for (std::size_t p = packages.size(); p-- > 0;) {
    if (!c.package.empty()) c.package += '.';
    c.package += packages[p];
  }
  // A private file sees its own folder; a method its class folder's
  // private folder; any other file the private folder beside it.
  c.privateDir = c.isPrivate ? c.dir : fs_.JoinPath(c.dir, u"private");
  const int index = static_cast<int>(files_.size());
  files_.push_back(std::move(file));
  fileByPath_.emplace(path, index);
  return index;
}

const FileSyntax* Resolver::Read(int file, platform::Result* why) {
  File& f = files_[Index(file)];
  f.read = true;
  if (!f.context.leaf) {
    // Read into the string the syntax's names will view.
    auto source = std::make_unique<SourceText>();
    f.why = fs_.ReadFile(f.context.path, source->bytes);
    if (f.why.ok()) {
      ++stats_.filesRead;
      stats_.bytesRead += source->bytes.size();
      stats_.readFiles.push_back(f.context.path);
      f.syntax = std::make_unique<FileSyntax>(ReadFileSyntax(std::move(source), f.context.base));
      stats_.dynamicCalls += f.syntax->dynamicCalls;
    } else if (why != nullptr) {
      *why = f.why;
    }
  }
  return f.syntax.get();
}

bool Resolver::IsClassdefFile(const Text& path) {
  const FileSyntax* syntax = Syntax(FileAt(path));
  return syntax != nullptr && syntax->kind == FileKind::Classdef;
}

std::vector<Text> Resolver::PackageFolders(std::string_view package) {
  IndexRoots();
  const std::vector<std::string_view> parts = SplitDots(package);
  const auto top = packages_.find(std::string(parts[0]));
  if (top == packages_.end()) return {};
  std::vector<Text> dirs = top->second;
  for (std::size_t i = 1; i < parts.size() && !dirs.empty(); ++i) {
    std::vector<Text> next;
    std::string folder(1, '+');
    folder += parts[i];
    for (const Text& dir : dirs) {
      if (List(dir).folders.count(folder) != 0) {
        next.push_back(fs_.JoinPath(dir, platform::FileNameText(folder)));
      }
    }
    dirs = std::move(next);
  }
  return dirs;
}

// A class: the first folder (current folder, then the path; within a
// package its folders) with an @C folder holding C.m or a classdef C.m
// decides; @C folders of the same name elsewhere add their methods.
const Resolver::ClassInfo& Resolver::Class(const std::string& qualified) {
  const auto known = classes_.find(qualified);
  if (known != classes_.end()) return known->second;
  ClassInfo info;
  info.name = qualified;
  const std::size_t dot = qualified.rfind('.');
  const std::string package = dot == std::string::npos ? std::string() : qualified.substr(0, dot);
  const std::string name = dot == std::string::npos ? qualified : qualified.substr(dot + 1);
  std::vector<Text> dirs;
  if (package.empty()) {
    // Only the first N.m can be a classdef that counts: a later one is
    // hidden behind it.
    IndexRoots();
    std::vector<int> at;
    if (const auto c = classRoots_.find(name); c != classRoots_.end()) at = c->second;
    if (const auto f = firstFileRoot_.find(name); f != firstFileRoot_.end()) {
      at.insert(std::lower_bound(at.begin(), at.end(), f->second), f->second);
    }
    at.erase(std::unique(at.begin(), at.end()), at.end());
    for (const int r : at) dirs.push_back(roots_[static_cast<std::size_t>(r)]);
  } else {
    dirs = PackageFolders(package);
  }
  const std::string classFolder = "@" + name;
  const Text classFolderText = platform::FileNameText(classFolder);
  for (const Text& dir : dirs) {
    const Listing& listing = List(dir);
    if (!listing.ok) continue;
    if (!info.found) {
      if (listing.folders.count(classFolder) != 0) {
        const Text folder = fs_.JoinPath(dir, classFolderText);
        if (const auto hit = FileIn(folder, name); hit && !hit->leaf) {
          info.found = true;
          info.definingFile = FileAt(hit->path);
          info.folders.push_back(folder);
          continue;
        }
      }
      if (const auto hit = FileIn(dir, name); hit && !hit->leaf && IsClassdefFile(hit->path)) {
        info.found = true;
        info.definingFile = FileAt(hit->path);
      }
    } else if (listing.folders.count(classFolder) != 0) {
      info.folders.push_back(fs_.JoinPath(dir, classFolderText));
    }
  }
  return classes_.emplace(qualified, std::move(info)).first->second;
}

std::optional<Target> Resolver::Constructor(const ClassInfo& cls) {
  if (!cls.found) return std::nullopt;
  return Target{{cls.definingFile, 0}, Certainty::Exact};
}

std::vector<std::string> Resolver::SuperclassesOf(const std::string& className) {
  const ClassInfo& cls = Class(className);
  if (!cls.found) return {};
  const FileSyntax* syntax = Syntax(cls.definingFile);
  if (syntax == nullptr || syntax->kind != FileKind::Classdef) return {};
  return syntax->classdef.superclasses;
}

// A method of class `className` or a class it derives from, by name.
std::optional<Target> Resolver::Method(const std::string& className, std::string_view name,
                                       int depth) {
  if (depth > 32) return std::nullopt;  // a cycle of superclasses
  const ClassInfo& cls = Class(className);
  if (!cls.found) return std::nullopt;
  if (const auto member = ClassMember(cls, name, false)) return member;
  const std::vector<std::string> supers = SuperclassesOf(className);
  for (const std::string& super : supers) {
    if (auto found = Method(super, name, depth + 1)) return found;
  }
  return std::nullopt;
}

// A static method of the class or of a class it derives from.
std::optional<Target> Resolver::StaticMethod(const std::string& className, std::string_view name,
                                             int depth) {
  if (depth > 32) return std::nullopt;
  const ClassInfo& cls = Class(className);
  if (!cls.found) return std::nullopt;
  if (auto t = ClassMember(cls, name, true)) return t;
  for (const std::string& super : SuperclassesOf(className)) {
    if (auto t = StaticMethod(super, name, depth + 1)) return t;
  }
  return std::nullopt;
}

// A static method, or an instance method, defined in the classdef file or
// in one of the class folders.
std::optional<Target> Resolver::ClassMember(const ClassInfo& cls, std::string_view member,
                                            bool wantStatic) {
  const int definingFile = cls.definingFile;
  const FileSyntax* syntax = Syntax(definingFile);
  bool declared = false;
  if (syntax != nullptr && syntax->kind == FileKind::Classdef) {
    for (const MethodDeclaration& m : syntax->classdef.methods) {
      if (m.name != member || m.isStatic != wantStatic) continue;
      declared = true;
      if (!m.definedInFile) break;
      for (std::size_t f = 1; f < syntax->functions.size(); ++f) {
        const FunctionSyntax& fn = syntax->functions[f];
        if (fn.inMethodsBlock && fn.name == member) {
          return Target{Canonical({definingFile, static_cast<int>(f)}), Certainty::Exact};
        }
      }
    }
    if (wantStatic && !declared) return std::nullopt;
  }
  // A class folder's files are methods (old-style classes have no static
  // ones; C.m(...) still reaches them).
  for (const Text& folder : cls.folders) {
    if (const auto hit = FileIn(folder, member)) {
      return Target{{FileAt(hit->path), 0}, Certainty::Exact};
    }
  }
  return std::nullopt;
}

std::optional<Target> Resolver::PathFunction(std::string_view name) {
  auto hit = pathHits_.find(name);
  // Found before it is kept: the search may itself search (a class's
  // superclasses), which must not meet a half-made answer.
  if (hit == pathHits_.end()) hit = pathHits_.emplace(name, FindPathFunction(name)).first;
  if (hit->second.caseOnly) ++stats_.caseOnlyNames;
  return hit->second.target;
}

Resolver::PathHit Resolver::FindPathFunction(std::string_view name) {
  IndexRoots();
  const std::string key(name);
  const auto fileRoot = firstFileRoot_.find(key);
  const auto classRoot = firstClassRoot_.find(key);
  const int fileAt = fileRoot == firstFileRoot_.end() ? -1 : fileRoot->second;
  const int classAt = classRoot == firstClassRoot_.end() ? -1 : classRoot->second;
  if (classAt >= 0 || fileAt >= 0) {
    const ClassInfo& cls = Class(key);
    if (cls.found) {
      // A class folder comes before every function N.m; a classdef N.m
      // competes by its folder's place.
      const FileContext& c = Context(cls.definingFile);
      const bool inClassFolder = !c.classFolder.empty();
      if (inClassFolder || fileAt < 0) return {Constructor(cls)};
      const auto hit = FileIn(roots_[static_cast<std::size_t>(fileAt)], name);
      if (hit && hit->path == c.path) return {Constructor(cls)};
    }
  }
  if (fileAt >= 0) {
    if (const auto hit = FileIn(roots_[static_cast<std::size_t>(fileAt)], name)) {
      return {Target{{FileAt(hit->path), 0}, Certainty::Exact}};
    }
  }
  return {std::nullopt, foldedNames_.count(Lower(name)) != 0};
}

std::optional<Target> Resolver::InPackage(std::string_view package, std::string_view name) {
  const std::string qualified = Qualify(package, name);
  const ClassInfo& cls = Class(qualified);
  if (cls.found) return Constructor(cls);
  for (const Text& dir : PackageFolders(package)) {
    if (const auto hit = FileIn(dir, name)) {
      return Target{{FileAt(hit->path), 0}, Certainty::Exact};
    }
  }
  return std::nullopt;
}

std::optional<Target> Resolver::Private(FunctionId from, std::string_view name) {
  File& file = files_[Index(from.file)];
  const Text& dir = file.context.privateDir;
  if (dir.empty()) return std::nullopt;
  // Listings live as long as the resolver: the pointer stays good.
  if (file.privateListing == nullptr) file.privateListing = &List(dir);
  if (const auto hit = FileIn(dir, *file.privateListing, name)) {
    return Target{{FileAt(hit->path), 0}, Certainty::Exact};
  }
  return std::nullopt;
}

// Functions nested in `from` or in a function enclosing it (siblings at
// every level), then the file's own functions. A class method file's main
// function is no local function: a call to its name is dispatched.
std::optional<Target> Resolver::LocalOrNested(FunctionId from, std::string_view name) {
  const FileSyntax* syntax = Syntax(from.file);
  if (syntax == nullptr) return std::nullopt;
  const auto& fns = syntax->functions;
  for (int scope = from.function; scope >= 0; scope = fns[static_cast<std::size_t>(scope)].parent) {
    for (std::size_t f = 1; f < fns.size(); ++f) {
      if (fns[f].parent == scope && fns[f].name == name) {
        return Target{{from.file, static_cast<int>(f)}, Certainty::Exact};
      }
    }
  }
  const FileContext& c = Context(from.file);
  for (std::size_t f = 0; f < fns.size(); ++f) {
    const FunctionSyntax& fn = fns[f];
    if (fn.parent != -1 || fn.inMethodsBlock || fn.name != name) continue;
    if (f == 0 && (syntax->kind != FileKind::Function || !c.classFolder.empty())) continue;
    return Target{{from.file, static_cast<int>(f)}, Certainty::Exact};
  }
  return std::nullopt;
}

std::optional<Target> Resolver::Imported(FunctionId from, std::string_view name, bool wildcard) {
  const FileSyntax* syntax = Syntax(from.file);
  if (syntax == nullptr) return std::nullopt;
  const auto& fns = syntax->functions;
  for (int scope = from.function; scope >= 0; scope = fns[static_cast<std::size_t>(scope)].parent) {
    for (const std::string& import : fns[static_cast<std::size_t>(scope)].imports) {
      const std::size_t dot = import.rfind('.');
      if (dot == std::string::npos) continue;
      const std::string_view last = std::string_view(import).substr(dot + 1);
      const std::string_view package = std::string_view(import).substr(0, dot);
      if (wildcard && last == "*") {
        if (auto t = InPackage(package, name)) return t;
      } else if (!wildcard && last == name) {
        bool handled = false;
        std::vector<std::string_view> parts = SplitDots(import);
        if (auto t = Qualified(from, parts, handled)) return t;
      }
    }
  }
  return std::nullopt;
}

bool Resolver::IsVariable(FunctionId from, std::string_view name) {
  const FileSyntax* syntax = Syntax(from.file);
  if (syntax == nullptr) return false;
  const auto& fns = syntax->functions;
  for (int scope = from.function; scope >= 0; scope = fns[static_cast<std::size_t>(scope)].parent) {
    if (fns[static_cast<std::size_t>(scope)].variables.count(name) != 0) return true;
  }
  return false;
}

// Rules 5 to 8, and 1 to 4 before them for names in code.
std::optional<Target> Resolver::Plain(FunctionId from, std::string_view name, bool fromText) {
  if (!fromText) {
    if (IsVariable(from, name)) return std::nullopt;
    if (auto t = Imported(from, name, false)) return t;
    if (auto t = LocalOrNested(from, name)) return t;
    if (auto t = Imported(from, name, true)) return t;
  }
  if (auto t = Private(from, name)) return t;
  const std::string className = ClassOf(from);
  if (!className.empty() && name != className.substr(className.rfind('.') + 1)) {
    if (auto t = Method(className, name, 0)) {
      t->certainty = Certainty::Likely;
      return t;
    }
  }
  return PathFunction(name);
}

// p.f, p.C, p.C.staticMethod, C.staticMethod, C.Constant; `handled` when
// the first part named a package or class, so the plain reading is off.
std::optional<Target> Resolver::Qualified(FunctionId from,
                                          const std::vector<std::string_view>& parts,
                                          bool& handled) {
  static_cast<void>(from);
  std::string package;
  std::size_t i = 0;
  while (i + 1 < parts.size()) {
    const std::string next = Qualify(package, parts[i]);
    if (PackageFolders(next).empty()) break;
    package = next;
    ++i;
  }
  if (!package.empty()) {
    handled = true;
    const std::string qualified = Qualify(package, parts[i]);
    const ClassInfo& cls = Class(qualified);
    if (cls.found) {
      if (i + 1 < parts.size()) {
        if (auto t = StaticMethod(qualified, parts[i + 1], 0)) return t;
      }
      return Constructor(cls);
    }
    return InPackage(package, parts[i]);
  }
  // C.member: a class of the path.
  IndexRoots();
  const std::string head(parts[0]);
  if (firstClassRoot_.count(head) != 0 || firstFileRoot_.count(head) != 0) {
    const ClassInfo& cls = Class(head);
    if (cls.found) {
      if (const auto fn = PathFunction(head); fn && fn->id.file == cls.definingFile) {
        handled = true;
        if (auto t = StaticMethod(head, parts[1], 0)) return t;
        return Constructor(cls);
      }
    }
  }
  return std::nullopt;
}

std::optional<Target> Resolver::PossibleMethod(std::string_view method) {
  if (!methodOwnersBuilt_) {
    methodOwnersBuilt_ = true;
    for (const int file : ReachableFiles()) {
      for (const FunctionId id : FunctionsOf(file)) {
        if (Kind(id) != FunctionKind::Method) continue;
        methodOwners_[PlainName(id)].push_back({id, Certainty::Possible});
      }
    }
  }
  const auto it = methodOwners_.find(std::string(method));
  if (it == methodOwners_.end() || it->second.size() != 1) return std::nullopt;
  return it->second.front();
}

std::optional<Target> Resolver::Resolve(FunctionId from, const NameUse& use) {
  const bool fromText = use.kind == UseKind::ByName;
  if (use.name.find('.') == std::string::npos) return Plain(from, use.name, fromText);
  const std::vector<std::string_view> parts = SplitDots(use.name);
  if (!fromText && IsVariable(from, parts[0])) {
    if (possibleCalls_ && parts.size() == 2 && use.hasArguments) return PossibleMethod(parts[1]);
    return std::nullopt;
  }
  if (!fromText) {
    if (auto t = Imported(from, parts[0], false)) {
      // import p.C; C.method: the imported class's member.
      const FileContext& c = Context(t->id.file);
      const FileSyntax* syntax = Syntax(t->id.file);
      if (syntax != nullptr && syntax->kind == FileKind::Classdef) {
        const ClassInfo& cls = Class(Qualify(c.package, syntax->classdef.name));
        if (auto m = StaticMethod(cls.name, parts[1], 0)) return m;
      }
      return t;
    }
    if (auto t = LocalOrNested(from, parts[0])) return t;
  }
  bool handled = false;
  if (auto t = Qualified(from, parts, handled)) return t;
  if (handled) return std::nullopt;
  return Plain(from, parts[0], fromText);
}

std::optional<FunctionId> Resolver::FindStart(std::string_view name) {
  const std::vector<std::string_view> parts = SplitDots(name);
  if (parts.size() > 1) {
    bool handled = false;
    if (auto t = Qualified({}, parts, handled)) return t->id;
    return std::nullopt;
  }
  if (auto t = PathFunction(name)) return t->id;
  return std::nullopt;
}

FunctionId Resolver::Canonical(FunctionId id) {
  if (id.function == 0) return id;
  const FileSyntax* syntax = Syntax(id.file);
  if (syntax == nullptr || syntax->kind != FileKind::Classdef) return id;
  const FunctionSyntax& fn = syntax->functions[static_cast<std::size_t>(id.function)];
  if (fn.inMethodsBlock && fn.name == syntax->classdef.name) return {id.file, 0};
  return id;
}

// Every function of a class folder's file or of a classdef file sees the
// class's methods.
std::string Resolver::ClassOf(FunctionId id) {
  const FileContext& c = Context(id.file);
  if (!c.classFolder.empty() && !c.isPrivate) return Qualify(c.package, c.classFolder);
  const FileSyntax* syntax = Syntax(id.file);
  if (syntax == nullptr || syntax->kind != FileKind::Classdef) return {};
  return Qualify(c.package, syntax->classdef.name);
}

FunctionKind Resolver::Kind(FunctionId id) {
  const FileContext& c = Context(id.file);
  if (c.leaf) return FunctionKind::Leaf;
  const FileSyntax* syntax = Syntax(id.file);
  if (syntax != nullptr && syntax->kind == FileKind::Classdef) {
    if (id.function == 0) return FunctionKind::Constructor;
    const FunctionSyntax& fn = syntax->functions[static_cast<std::size_t>(id.function)];
    if (fn.inMethodsBlock) return FunctionKind::Method;
    return FunctionKind::Local;
  }
  if (id.function != 0) return FunctionKind::Local;
  if (!c.classFolder.empty() && !c.isPrivate) {
    return c.base == c.classFolder ? FunctionKind::Constructor : FunctionKind::Method;
  }
  if (c.isPrivate) return FunctionKind::Private;
  if (!c.package.empty()) return FunctionKind::Package;
  return FunctionKind::Path;
}

std::string Resolver::Notation(FunctionId id) {
  const FileContext& c = Context(id.file);
  const FileSyntax* syntax = Syntax(id.file);
  std::string main;
  if (syntax != nullptr && syntax->kind == FileKind::Classdef) {
    main = Qualify(c.package, syntax->classdef.name.empty() ? c.base : syntax->classdef.name);
  } else if (!c.classFolder.empty() && !c.isPrivate) {
    const std::string cls = Qualify(c.package, c.classFolder);
    main = c.base == c.classFolder ? cls : cls + "." + c.base;
  } else if (c.isPrivate) {
    main = "private/" + c.base;
  } else {
    main = Qualify(c.package, c.base);
  }
  if (id.function == 0 || syntax == nullptr) return main;
  const FunctionSyntax& fn = syntax->functions[static_cast<std::size_t>(id.function)];
  if (fn.inMethodsBlock) return main + "." + fn.name;
  return main + ">" + fn.name;
}

std::string Resolver::PlainName(FunctionId id) {
  const std::string notation = Notation(id);
  const std::size_t cut = notation.find_last_of(".>/");
  return cut == std::string::npos ? notation : notation.substr(cut + 1);
}

void Resolver::UsesOf(FunctionId id, std::vector<const NameUse*>& uses) {
  uses.clear();
  const FileSyntax* syntax = Syntax(id.file);
  if (syntax == nullptr) return;
  const auto add = [&uses](const FunctionSyntax& fn) {
    for (const NameUse& use : fn.uses) uses.push_back(&use);
  };
  add(syntax->functions[static_cast<std::size_t>(id.function)]);
  if (id.function == 0 && syntax->kind == FileKind::Classdef) {
    for (std::size_t f = 1; f < syntax->functions.size(); ++f) {
      const FunctionSyntax& fn = syntax->functions[f];
      if (fn.inMethodsBlock && fn.name == syntax->classdef.name) add(fn);
    }
  }
}

std::vector<FunctionId> Resolver::FunctionsOf(int file) {
  std::vector<FunctionId> ids{{file, 0}};
  const FileSyntax* syntax = Syntax(file);
  if (syntax == nullptr) return ids;
  for (std::size_t f = 1; f < syntax->functions.size(); ++f) {
    const FunctionId id = Canonical({file, static_cast<int>(f)});
    if (id.function != 0) ids.push_back(id);
  }
  return ids;
}

std::vector<int> Resolver::ReachableFiles() {
  IndexRoots();
  std::vector<int> files;
  std::unordered_set<Text> seenFolders;
  // A folder's .m and leaf files, its private folder, class folders and
  // packages, recursively; `top` files only where no earlier root has the
  // same name.
  const auto walk = [&](const auto& self, const Text& dir, int root) -> void {
    if (!seenFolders.insert(dir).second) return;
    const Listing& listing = List(dir);
    if (!listing.ok) return;
    std::vector<std::string> names(listing.files.begin(), listing.files.end());
    std::sort(names.begin(), names.end());
    for (const std::string& file : names) {
      const std::size_t dot = file.rfind('.');
      if (dot == std::string::npos || dot == 0) continue;
      const std::string_view ext = std::string_view(file).substr(dot);
      const bool leaf =
          std::find(kLeafExtensions.begin(), kLeafExtensions.end(), ext) != kLeafExtensions.end();
      if (ext != ".m" && !leaf) continue;
      const std::string base = file.substr(0, dot);
      if (root >= 0) {
        const auto first = firstFileRoot_.find(base);
        if (first != firstFileRoot_.end() && first->second != root) continue;
      }
      // In one folder the leaf comes first: the .m beside it is hidden.
      if (const auto hit = FileIn(dir, base);
          hit && hit->path != fs_.JoinPath(dir, platform::FileNameText(file))) {
        continue;
      }
      files.push_back(FileAt(fs_.JoinPath(dir, platform::FileNameText(file))));
    }
    std::vector<std::string> folders(listing.folders.begin(), listing.folders.end());
    std::sort(folders.begin(), folders.end());
    for (const std::string& folder : folders) {
      if (folder == "private" || (folder.size() > 1 && (folder[0] == '@' || folder[0] == '+'))) {
        self(self, fs_.JoinPath(dir, platform::FileNameText(folder)), -1);
      }
    }
  };
  for (std::size_t r = 0; r < roots_.size(); ++r) walk(walk, roots_[r], static_cast<int>(r));
  return files;
}

bool Resolver::CalledImplicitly(FunctionId id) {
  const FunctionKind kind = Kind(id);
  if (kind != FunctionKind::Method) return false;
  return IsImplicitMethodName(PlainName(id)) || [&] {
    const FileSyntax* syntax = Syntax(id.file);
    if (syntax == nullptr || id.function == 0) return false;
    const std::string& name = syntax->functions[static_cast<std::size_t>(id.function)].name;
    return name.substr(0, 4) == "set." || name.substr(0, 4) == "get.";
  }();
}

}  // namespace korvath::engine::matlab
