#pragma once
// The language server's dispatcher: JSON-RPC messages in, replies and
// notifications out, each workspace folder a session::Workspace. Protocol
// only; the questions are the Workspace's and its program index's.

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/program_index.h"
#include "lsp/message_reader.h"
#include "lsp/project_settings.h"
#include "lsp/text_positions.h"
#include "platform/file_system.h"
#include "session/overlay_file_system.h"
#include "session/workspace.h"

namespace korvath::lsp {

using Json = nlohmann::json;

// The resolution mode initializationOptions.resolve names ("path",
// "matlab"); `note` says so when another had to be used.
session::ResolutionMode ModeNamed(std::string_view name, std::string& note);

class Server {
 public:
  // Takes each outgoing message's body (unframed), in order.
  using Sink = std::function<void(const std::string& body)>;
  // The file system of a workspace folder, current directory that folder.
  using FolderFiles = std::function<std::unique_ptr<platform::FileSystem>(const Text& folder)>;

  Server(Sink sink, FolderFiles files);
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;
  ~Server();

  // One outcome of the message reader.
  void Receive(MessageReader::Outcome outcome, const std::string& body);
  // The input ended without "exit".
  void EndOfInput();
  // Marks request `id` (its JSON text) cancelled; safe from another thread
  // while a request runs, which then stops at its next check.
  void Cancel(const std::string& id);

  bool exited() const { return exited_; }
  int exitCode() const { return shutdown_ ? 0 : 1; }

 private:
  struct Folder;
  struct Document;
  using Handler = Json (Server::*)(const Json& params);

  void Dispatch(const Json& message);
  void Reply(const Json& id, Json result);
  void ReplyError(const Json& id, int code, const std::string& message);
  void Notify(const std::string& method, Json params);
  void Log(int type, const std::string& text);
  void CheckCancelled();

  // Requests.
  Json Initialize(const Json& params);
  Json Shutdown(const Json& params);
  Json PrepareCallHierarchy(const Json& params);
  Json IncomingCalls(const Json& params);
  Json OutgoingCalls(const Json& params);
  Json Definition(const Json& params);
  Json References(const Json& params);
  Json Hover(const Json& params);
  Json DocumentSymbol(const Json& params);
  Json WorkspaceSymbol(const Json& params);
  // Notifications.
  void Initialized();
  void DidOpen(const Json& params);
  void DidChange(const Json& params);
  void DidSave(const Json& params);
  void DidClose(const Json& params);
  void DidChangeWatchedFiles(const Json& params);
  void DidChangeWorkspaceFolders(const Json& params);

  // Folders.
  void AddFolder(const Text& root);
  void SettleFolder(Folder& folder);
  Folder& FolderOf(const Text& path);
  // Brings the folder's index up to date: after a change, else by stamps at
  // most once a second.
  void Refresh(Folder& folder);
  void SetText(const Text& path, const std::string& text);
  void ForgetText(const Text& path);

  // Answers' pieces.
  struct Place {
    Folder* folder = nullptr;
    Text path;
    std::vector<Text> lines;
    std::size_t line = 0;
    std::size_t unit = 0;
  };
  Place PlaceOf(const Json& params);
  const std::vector<Text>& LinesOf(Folder& folder, const Text& path);
  // The program named at the place, -1 when none; `declaring` also takes
  // the file's own program when the place is on its function line.
  // In the MATLAB mode the place must be on a call's name (then `rule`
  // says why it reached its function) or, when `declaring`, on a function's
  // own line.
  int ProgramNamedAt(const Place& place, bool declaring, Span* name = nullptr,
                     Text* rule = nullptr);
  const engine::ProgramIndex::Program& ProgramOf(const Folder& folder, int program) const;
  Json Position(TextView line, std::size_t lineNumber, std::size_t unit);
  Json RangeOf(TextView line, std::size_t lineNumber, Span span);
  // The range of the call at `lineNumber` (1-based) naming `name`.
  Json CallRange(Folder& folder, const Text& path, std::int32_t lineNumber, TextView name);
  // The function line's name, or the first line of a script.
  Json DeclarationRange(Folder& folder, const Text& path, TextView name, Json* whole = nullptr);
  // Where a program is declared, its name's range (selection) and, when
  // `whole` is given, its text's: in the MATLAB mode from the index's lines
  // (local functions and methods too), else from the file's function line.
  Json ProgramRange(Folder& folder, int program, Json* whole = nullptr);
  // The ranges of program `caller`'s `calls` in its file: the sites the
  // MATLAB mode recorded, else the lines' calls of `calleeName`.
  Json CallRanges(Folder& folder, int caller, const engine::ProgramIndex::Calls& calls,
                  TextView calleeName);
  // The MATLAB mode's outline of a file: class, properties, methods, local
  // and nested functions.
  Json MatlabSymbols(Folder& folder, const Text& path);
  Json ItemOf(Folder& folder, int program);
  int ProgramOfItem(const Json& item, Folder*& folder);

  Sink sink_;
  FolderFiles folderFiles_;
  bool initialized_ = false;
  bool shutdown_ = false;
  bool exited_ = false;
  bool watchFiles_ = false;
  PositionEncoding encoding_ = PositionEncoding::Utf16;
  session::ResolutionMode mode_ = session::ResolutionMode::Path;
  ProjectOptions options_;
  std::vector<std::unique_ptr<Folder>> folders_;
  std::map<Text, std::string> texts_;  // open documents by path
  // The lines read for the request being answered, by path.
  std::map<Text, std::vector<Text>> linesRead_;

  // Cancellation, from the reader's thread.
  std::mutex cancelMutex_;
  std::set<std::string> cancelled_;
  std::string current_;  // the JSON text of the request being answered
  engine::ProgramIndex::Control control_;
};

// Reads and answers `in` on this thread until "exit" or the end of the
// input; the exit code.
int Serve(ByteSource& in, Server& server);

}  // namespace korvath::lsp
