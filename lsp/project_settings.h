#pragma once
// Which search path a workspace folder is served with: what the client's
// initializationOptions give, else the folder's korvath.ini, else
// toolbox/local/pathdef.m under it (the folder being matlabroot), else the
// workspace folders and their subfolders that hold .m files.

#include <optional>
#include <string>
#include <vector>

#include "engine/text.h"
#include "session/overlay_file_system.h"
#include "session/workspace.h"

namespace korvath::lsp {

struct ProjectOptions {
  std::optional<Text> pathdef;                // relative to the folder
  std::optional<Text> discardFile;            // a discardables.txt, relative to the folder
  std::optional<std::vector<Text>> discards;  // its lines, given directly
};

struct SettledPath {
  std::string description;   // for the log: which settings and why
  bool fromFolders = false;  // the path lists folders, so new ones change it
};

// Settles `ws`'s settings for `folder`; `files` is the workspace's file
// system, which holds the listing of folders when one is made up.
SettledPath SettleSettings(session::Workspace& ws, session::OverlayFileSystem& files,
                           const Text& folder, const std::vector<Text>& allFolders,
                           const ProjectOptions& options);

// The folders under `root` (itself included) that hold .m files, private,
// class ("@") and package ("+") folders and hidden ones left out, in a
// stable order (each parent before its children, siblings by name).
std::vector<Text> FoldersWithMFiles(const Text& root);

// A pathdef.m listing `folders`, as ReadSearchPath reads it.
std::string PathdefListing(const std::vector<Text>& folders);

}  // namespace korvath::lsp
