#include "session/listed_paths.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "engine/search_path.h"
#include "engine/text.h"
#include "platform/absolute_path.h"
#include "platform/utf8.h"

namespace korvath::session {
namespace {
constexpr auto kSeparator = static_cast<char16_t>(std::filesystem::path::preferred_separator);
}  // namespace

ListedPaths::ListedPaths(const Text& pathdefFile, bool userOnly) {
  const std::optional<Text> root = engine::SearchPathRoot(engine::TrimBlanks(pathdefFile));
  if (userOnly && root && !root->empty()) {
    root_ = platform::AbsoluteNormalPath(*root);
    if (root_.back() != kSeparator) root_.push_back(kSeparator);
  }
}

bool ListedPaths::Take(const Text& path, Text& listed) const {
  listed = platform::AbsoluteNormalPath(path);
  return root_.empty() || !listed.starts_with(root_);
}

std::vector<Text> FoundFiles(const std::unordered_map<Text, Text>& filePaths,
                             const ListedPaths& paths) {
  // In the order of their bytes, each path turned into them once.
  std::vector<std::pair<std::string, Text>> keyed;
  keyed.reserve(filePaths.size());
  Text listed;
  for (const auto& [name, path] : filePaths) {
    if (paths.Take(path, listed)) keyed.emplace_back(platform::FileNameBytesOf(listed), listed);
  }
  std::sort(keyed.begin(), keyed.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<Text> files;
  files.reserve(keyed.size());
  for (auto& [key, path] : keyed) {
    if (files.empty() || files.back() != path) files.push_back(std::move(path));
  }
  return files;
}

}  // namespace korvath::session
