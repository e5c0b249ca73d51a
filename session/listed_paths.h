#pragma once
// Paths as the file lists show them: absolute and normalised, optionally
// without the files under matlabroot, which ship with MATLAB itself.

#include <unordered_map>
#include <vector>

#include "engine/text.h"

namespace korvath::session {

class ListedPaths {
 public:
  // With `userOnly`, paths under matlabroot (the folder above "toolbox" in
  // pathdef.m's own path) are left out.
  ListedPaths(const Text& pathdefFile, bool userOnly);
  // False for a path left out.
  bool Take(const Text& path, Text& listed) const;

 private:
  Text root_;  // empty: nothing is left out
};

// Every file a run found (its file paths by function name), each once, in
// byte order.
std::vector<Text> FoundFiles(const std::unordered_map<Text, Text>& filePaths,
                             const ListedPaths& paths);

}  // namespace korvath::session
