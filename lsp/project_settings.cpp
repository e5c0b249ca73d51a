#include "lsp/project_settings.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/text_lines.h"
#include "platform/host.h"
#include "platform/utf8.h"
#include "session/discard_list.h"

namespace korvath::lsp {
namespace {

// A tree larger than this is not a MATLAB project's; the walk stops there.
constexpr int kMostFoldersVisited = 100000;

bool LeftOut(const std::string& name) {
  return name.empty() || name[0] == '.' || name[0] == '@' || name[0] == '+' || name == "private";
}

bool IsMFile(const std::filesystem::path& file) {
  const std::string ext = file.extension().string();
  return ext == ".m" || ext == ".M";
}

Text Absolute(session::Workspace& ws, const Text& path) { return ws.AbsolutePath(path); }

}  // namespace

std::vector<Text> FoldersWithMFiles(const Text& root) {
  namespace fs = std::filesystem;
  std::vector<Text> found;
  std::vector<fs::path> pending{platform::NativePath(root)};
  int visited = 0;
  while (!pending.empty() && visited < kMostFoldersVisited) {
    const fs::path dir = std::move(pending.back());
    pending.pop_back();
    ++visited;
    std::error_code ec;
    bool hasM = false;
    std::vector<fs::path> children;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code typeError;
      // Links to folders are not followed: a loop would never end.
      if (it->is_directory(typeError) && !it->is_symlink(typeError)) {
        if (!LeftOut(platform::FileNameBytes(it->path().filename())))
          children.push_back(it->path());
      } else if (!hasM && IsMFile(it->path())) {
        hasM = it->is_regular_file(typeError);
      }
    }
    if (hasM) found.push_back(platform::FromNativePath(dir));
    // Reversed, so the stack takes them by name.
    std::sort(children.rbegin(), children.rend());
    for (fs::path& child : children) pending.push_back(std::move(child));
  }
  return found;
}

std::string PathdefListing(const std::vector<Text>& folders) {
  std::string listing = "function p = pathdef\np = [...\n";
  for (const Text& folder : folders) listing += "     '" + platform::ToUtf8(folder) + "', ...\n";
  listing += "];\n";
  return listing;
}

SettledPath SettleSettings(session::Workspace& ws, session::OverlayFileSystem& files,
                           const Text& folder, const std::vector<Text>& allFolders,
                           const ProjectOptions& options) {
  SettledPath settled;
  // korvath.ini and discardables.txt of the folder; no other folder is tried.
  const platform::Result loaded = ws.LoadSettings(folder);
  session::Settings& settings = ws.settings();
  if (options.discardFile) {
    std::string list;
    if (files.ReadFile(Absolute(ws, *options.discardFile), list)) {
      settings.discards = session::ParseDiscardList(engine::SplitLines(std::move(list)));
    }
  }
  if (options.discards) settings.discards = session::ParseDiscardList(*options.discards);

  const std::string where = platform::ToUtf8(folder);
  if (options.pathdef) {
    settings.pathdefFile = settings.configuredPathdef = Absolute(ws, *options.pathdef);
    settled.description = where + ": search path from initializationOptions.pathdef (" +
                          platform::ToUtf8(settings.pathdefFile) + ")";
    return settled;
  }
  if (loaded.ok() && !settings.pathdefFile.empty()) {
    settled.description =
        where + ": search path from korvath.ini (" + platform::ToUtf8(settings.pathdefFile) + ")";
    return settled;
  }
  const Text matlabPathdef = files.JoinPath(folder, u"toolbox/local/pathdef.m");
  platform::FileStamp stamp;
  if (files.StatFile(platform::ToHostSeparators(matlabPathdef), stamp)) {
    settings.pathdefFile = settings.configuredPathdef = platform::ToHostSeparators(matlabPathdef);
    settled.description = where + ": search path from " + platform::ToUtf8(settings.pathdefFile) +
                          " (the folder as matlabroot)";
    return settled;
  }
  // No pathdef.m: the workspace folders as the path, this one first. The
  // listing is held in memory under a folder of its own "toolbox", which
  // ReadSearchPath needs and which no entry uses.
  std::vector<Text> folders = FoldersWithMFiles(folder);
  for (const Text& other : allFolders) {
    if (other == folder) continue;
    for (Text& f : FoldersWithMFiles(other)) folders.push_back(std::move(f));
  }
  const Text listing =
      platform::ToHostSeparators(files.JoinPath(folder, u".korvath-lsp/toolbox/local/pathdef.m"));
  files.Set(listing, PathdefListing(folders));
  settings.pathdefFile = settings.configuredPathdef = listing;
  settled.fromFolders = true;
  settled.description = where + ": no korvath.ini or toolbox/local/pathdef.m; search path: " +
                        std::to_string(folders.size()) + " workspace folders holding .m files";
  return settled;
}

}  // namespace korvath::lsp
