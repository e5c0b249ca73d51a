// For the Octave oracle: every (calling file, name) pair of a search path
// whose answer does not depend on argument types, with the file the MATLAB
// mode sends the name to when it is given as text (as str2func does: no
// variables, imports or local functions), one "file<TAB>name<TAB>answer"
// line each. Arguments: the folders searched, the current folder first.

#include <cstdio>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/matlab_resolver.h"
#include "platform/host_file_system.h"
#include "platform/utf8.h"

using korvath::Text;
using korvath::engine::matlab::FunctionId;
using korvath::engine::matlab::FunctionKind;
using korvath::engine::matlab::NameUse;
using korvath::engine::matlab::Resolver;
using korvath::engine::matlab::UseKind;
using korvath::platform::FromUtf8;
using korvath::platform::ToUtf8;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: korvath_resolve_pairs CURRENT_FOLDER [PATH_FOLDER...]\n");
    return 2;
  }
  std::vector<Text> roots;
  for (int i = 1; i < argc; ++i) roots.push_back(FromUtf8(argv[i]));
  korvath::platform::HostFileSystem fs;
  Resolver resolver(fs, roots);
  const std::vector<int> files = resolver.ReachableFiles();
  // A name some class has a method of is sent by the type of an argument.
  std::unordered_set<std::string> methodNames;
  for (const int file : files) {
    for (const FunctionId id : resolver.FunctionsOf(file)) {
      if (resolver.Kind(id) == FunctionKind::Method) methodNames.insert(resolver.PlainName(id));
    }
  }
  for (const int file : files) {
    const auto& context = resolver.Context(file);
    if (context.leaf || !context.classFolder.empty()) continue;
    const auto* syntax = resolver.Syntax(file);
    if (syntax == nullptr) continue;
    std::set<std::string> names;
    for (const auto& fn : syntax->functions) {
      for (const NameUse& use : fn.uses) {
        if (use.name.find('.') == std::string::npos &&
            methodNames.count(std::string(use.name)) == 0) {
          names.emplace(use.name);
        }
      }
    }
    for (const std::string& name : names) {
      NameUse use;
      use.name = name;
      use.kind = UseKind::ByName;
      const auto target = resolver.Resolve({file, 0}, use);
      const std::string answer =
          target ? ToUtf8(resolver.Context(resolver.Canonical(target->id).file).path) : "";
      std::printf("%s\t%s\t%s\n", ToUtf8(context.path).c_str(), name.c_str(), answer.c_str());
    }
  }
  return 0;
}
