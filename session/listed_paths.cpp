#include "session/listed_paths.h"

#include <algorithm>
#include <filesystem>

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
  std::vector<Text> files;
  Text listed;
  for (const auto& [name, path] : filePaths) {
    if (paths.Take(path, listed)) files.push_back(listed);
  }
  std::sort(files.begin(), files.end(),
            [](const Text& a, const Text& b) { return platform::ToUtf8(a) < platform::ToUtf8(b); });
  files.erase(std::unique(files.begin(), files.end()), files.end());
  return files;
}

}  // namespace korvath::session
