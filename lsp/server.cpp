#include "lsp/server.h"

#include <algorithm>
#include <utility>

#include "engine/matlab_syntax.h"
#include "lsp/uri.h"
#include "lsp/version.h"
#include "platform/host.h"
#include "platform/utf8.h"

namespace korvath::lsp {
namespace {

using platform::FromUtf8;
using platform::ToUtf8;
using Clock = std::chrono::steady_clock;

// JSON-RPC and protocol error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;
constexpr int kRequestCancelled = -32800;

// window/logMessage types.
constexpr int kLogError = 1;
constexpr int kLogWarning = 2;
constexpr int kLogInfo = 3;

// SymbolKind.
constexpr int kSymbolClass = 5;
constexpr int kSymbolMethod = 6;
constexpr int kSymbolProperty = 7;
constexpr int kSymbolConstructor = 9;
constexpr int kSymbolFunction = 12;
// No client shows more symbols than this for one query.
constexpr std::size_t kMostSymbols = 200;
// Folders outside the client's watch are checked by stamps this often.
constexpr auto kStampInterval = std::chrono::seconds(1);

struct RpcError {
  int code;
  std::string message;
};

Text PathOf(const Json& textDocument) {
  const auto path = PathFromUri(textDocument.at("uri").get<std::string>());
  if (!path) throw RpcError{kInvalidParams, "not a file: URI"};
  return *path;
}

// How well `name` matches `query`, ignoring case: 0 the same, 1 a prefix,
// 2 a part, 3 a subsequence; nullopt for no match.
std::optional<int> MatchRank(TextView name, TextView query) {
  Text n(name);
  Text q(query);
  for (char16_t& c : n) c = engine::LowerUnit(c);
  for (char16_t& c : q) c = engine::LowerUnit(c);
  if (n == q) return 0;
  if (engine::StartsWith(n, q)) return 1;
  if (n.find(q) != Text::npos) return 2;
  std::size_t at = 0;
  for (const char16_t c : n) {
    if (at < q.size() && c == q[at]) ++at;
  }
  if (at == q.size()) return 3;
  return std::nullopt;
}

bool SameName(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (engine::LowerUnit(a[i]) != engine::LowerUnit(b[i])) return false;
  }
  return true;
}

int SymbolKindOf(const engine::ProgramIndex::Function& function) {
  if (function.kind == u"method") return kSymbolMethod;
  if (function.kind == u"constructor") return kSymbolClass;
  return kSymbolFunction;
}

// The name a function or classdef line declares: after the outputs' "=".
Span DeclaredName(TextView line, TextView name) {
  const std::size_t equals = line.find(u'=');
  const std::size_t paren = line.find(u'(');
  if (equals != TextView::npos && (paren == TextView::npos || equals < paren)) {
    if (const auto span = FindName(line, name, equals + 1)) return *span;
  }
  return FindName(line, name).value_or(Span{0, 0});
}

// Whether line `lineNumber` (1-based) of classdef file `path` is the
// function line of its constructor, the method named `className`.
bool IsClassdefConstructorLine(platform::FileSystem& files, const Text& path, TextView className,
                               std::int32_t lineNumber) {
  std::string bytes;
  if (!files.ReadFile(path, bytes)) return false;
  const std::size_t slash = path.find_last_of(u"/\\");
  const Text base(
      engine::WithoutMExtension(TextView(path).substr(slash == Text::npos ? 0 : slash + 1)));
  const auto syntax = engine::matlab::ReadFileSyntax(bytes, ToUtf8(base));
  if (syntax.kind != engine::matlab::FileKind::Classdef) return false;
  const std::string name = ToUtf8(className);
  return std::any_of(syntax.functions.begin(), syntax.functions.end(), [&](const auto& function) {
    return function.inMethodsBlock && function.line == lineNumber && function.name == name;
  });
}

// The byte offset of a position in UTF-8 `text`, for a ranged change.
std::size_t OffsetOf(const std::string& text, const Json& position, PositionEncoding encoding) {
  const auto line = position.at("line").get<std::uint64_t>();
  const auto character = position.at("character").get<std::uint64_t>();
  std::size_t at = 0;
  for (std::uint64_t n = 0; n < line && at < text.size(); ++n) {
    const std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) return text.size();
    at = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  std::size_t end = text.find_first_of("\r\n", at);
  if (end == std::string::npos) end = text.size();
  const Text lineText = FromUtf8(std::string_view(text).substr(at, end - at));
  const std::size_t unit = UnitAt(lineText, character, encoding);
  return at + ToUtf8(TextView(lineText).substr(0, unit)).size();
}

}  // namespace

session::ResolutionMode ModeNamed(std::string_view name, std::string& note) {
  note.clear();
  if (name.empty()) return session::ResolutionMode::Path;
  if (const auto mode = session::ResolutionModeNamed(name)) return *mode;
  note = "unknown resolve \"" + std::string(name) + "\"; the path mode is used";
  return session::ResolutionMode::Path;
}

struct Server::Folder {
  Text root;
  std::unique_ptr<platform::FileSystem> base;
  std::unique_ptr<session::OverlayFileSystem> files;
  std::unique_ptr<session::Workspace> ws;
  bool stale = true;    // changed since the last refresh
  bool relist = false;  // folders may have come or gone
  // Until the next timed check, the files the client said changed are all
  // that moved, unless something else (settings, a file come or gone) did.
  bool wholeCheck = true;
  std::vector<Text> changed;
  bool fromFolders = false;
  Clock::time_point checked;
};

Server::Server(Sink sink, FolderFiles files)
    : sink_(std::move(sink)), folderFiles_(std::move(files)) {}

Server::~Server() = default;

void Server::Reply(const Json& id, Json result) {
  sink_(Json{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}}.dump(
      -1, ' ', false, Json::error_handler_t::replace));
}

void Server::ReplyError(const Json& id, int code, const std::string& message) {
  sink_(
      Json{{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}}.dump(
          -1, ' ', false, Json::error_handler_t::replace));
}

void Server::Notify(const std::string& method, Json params) {
  sink_(Json{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}}.dump(
      -1, ' ', false, Json::error_handler_t::replace));
}

void Server::Log(int type, const std::string& text) {
  Notify("window/logMessage", {{"type", type}, {"message", "korvath-lsp: " + text}});
}

void Server::Cancel(const std::string& id) {
  const std::lock_guard<std::mutex> lock(cancelMutex_);
  // Ids of requests already answered pile up otherwise.
  if (cancelled_.size() > 1000) cancelled_.clear();
  cancelled_.insert(id);
  if (id == current_) control_.cancel = true;
}

void Server::CheckCancelled() {
  if (control_.cancel) throw RpcError{kRequestCancelled, "cancelled"};
}

void Server::Receive(MessageReader::Outcome outcome, const std::string& body) {
  switch (outcome) {
    case MessageReader::Outcome::Message:
      break;
    case MessageReader::Outcome::TooLarge:
      if (const auto id = FindMessageId(body)) {
        Json parsed = Json::parse(*id, nullptr, false);
        if (!parsed.is_discarded()) {
          ReplyError(parsed, kInvalidRequest, "message larger than 64 MiB, not read");
        }
      }
      Log(kLogError, "skipped a message larger than 64 MiB");
      return;
    case MessageReader::Outcome::BadHeader:
      Log(kLogError, "skipped a message without a Content-Length header");
      return;
    case MessageReader::Outcome::End:
      EndOfInput();
      return;
  }
  Json message = Json::parse(body, nullptr, false);
  if (message.is_discarded()) {
    ReplyError(nullptr, kParseError, "the message is not JSON");
    return;
  }
  Dispatch(message);
}

void Server::EndOfInput() { exited_ = true; }

void Server::Dispatch(const Json& message) {
  if (!message.is_object()) {
    ReplyError(nullptr, kInvalidRequest, "a message is a JSON object");
    return;
  }
  const auto methodAt = message.find("method");
  const auto idAt = message.find("id");
  const bool hasId = idAt != message.end() && (idAt->is_number_integer() || idAt->is_string());
  if (methodAt == message.end() || !methodAt->is_string()) {
    // A reply to one of ours (the watcher registration): nothing to do.
    if (hasId && (message.contains("result") || message.contains("error"))) return;
    ReplyError(hasId ? *idAt : Json(nullptr), kInvalidRequest, "no method");
    return;
  }
  const std::string& method = methodAt->get_ref<const std::string&>();
  const Json params = message.value("params", Json::object());

  if (!hasId) {
    if (idAt != message.end()) {
      ReplyError(nullptr, kInvalidRequest, "an id is a number or a string");
      return;
    }
    // Notifications: errors in them are logged, never answered.
    try {
      if (method == "exit") {
        exited_ = true;
      } else if (method == "$/cancelRequest") {
        Cancel(params.at("id").dump());
      } else if (!initialized_ || shutdown_) {
        return;
      } else if (method == "initialized") {
        Initialized();
      } else if (method == "textDocument/didOpen") {
        DidOpen(params);
      } else if (method == "textDocument/didChange") {
        DidChange(params);
      } else if (method == "textDocument/didSave") {
        DidSave(params);
      } else if (method == "textDocument/didClose") {
        DidClose(params);
      } else if (method == "workspace/didChangeWatchedFiles") {
        DidChangeWatchedFiles(params);
      } else if (method == "workspace/didChangeWorkspaceFolders") {
        DidChangeWorkspaceFolders(params);
      }
    } catch (const Json::exception& e) {
      Log(kLogWarning, method + ": " + e.what());
    } catch (const RpcError& e) {
      Log(kLogWarning, method + ": " + e.message);
    }
    return;
  }

  const Json& id = *idAt;
  static const std::map<std::string, Handler, std::less<>> kRequests = {
      {"initialize", &Server::Initialize},
      {"shutdown", &Server::Shutdown},
      {"textDocument/prepareCallHierarchy", &Server::PrepareCallHierarchy},
      {"callHierarchy/incomingCalls", &Server::IncomingCalls},
      {"callHierarchy/outgoingCalls", &Server::OutgoingCalls},
      {"textDocument/definition", &Server::Definition},
      {"textDocument/references", &Server::References},
      {"textDocument/hover", &Server::Hover},
      {"textDocument/documentSymbol", &Server::DocumentSymbol},
      {"workspace/symbol", &Server::WorkspaceSymbol},
  };
  if (method != "initialize" && !initialized_) {
    ReplyError(id, kServerNotInitialized, "initialize comes first");
    return;
  }
  if (shutdown_) {
    ReplyError(id, kInvalidRequest, "the server is shut down");
    return;
  }
  if (method == "initialize" && initialized_) {
    ReplyError(id, kInvalidRequest, "already initialized");
    return;
  }
  const auto handler = kRequests.find(method);
  if (handler == kRequests.end()) {
    ReplyError(id, kMethodNotFound, "no such method: " + method);
    return;
  }
  {
    const std::lock_guard<std::mutex> lock(cancelMutex_);
    current_ = id.dump();
    control_.cancel = cancelled_.erase(current_) != 0;
  }
  linesRead_.clear();
  try {
    CheckCancelled();
    Json result = (this->*(handler->second))(params);
    CheckCancelled();
    Reply(id, std::move(result));
  } catch (const RpcError& e) {
    ReplyError(id, e.code, e.message);
  } catch (const Json::exception& e) {
    ReplyError(id, kInvalidParams, e.what());
  } catch (const std::exception& e) {
    ReplyError(id, kInternalError, e.what());
  }
  linesRead_.clear();
  const std::lock_guard<std::mutex> lock(cancelMutex_);
  current_.clear();
  control_.cancel = false;
}

// --- lifecycle

Json Server::Initialize(const Json& params) {
  const Json capabilities = params.value("capabilities", Json::object());
  if (capabilities.contains("general") && capabilities["general"].contains("positionEncodings")) {
    // The client's first choice that this server knows.
    for (const Json& name : capabilities["general"]["positionEncodings"]) {
      if (!name.is_string()) continue;
      if (const auto known = EncodingNamed(name.get<std::string>())) {
        encoding_ = *known;
        break;
      }
    }
  }
  if (const auto w = capabilities.find("workspace"); w != capabilities.end() && w->is_object()) {
    if (const auto d = w->find("didChangeWatchedFiles"); d != w->end() && d->is_object()) {
      watchFiles_ = d->value("dynamicRegistration", false);
    }
  }

  const Json options = params.value("initializationOptions", Json::object());
  if (options.is_object()) {
    if (options.contains("pathdef"))
      options_.pathdef = FromUtf8(options["pathdef"].get<std::string>());
    if (options.contains("discard")) {
      const Json& discard = options["discard"];
      if (discard.is_string()) {
        options_.discardFile = FromUtf8(discard.get<std::string>());
      } else {
        std::vector<Text> lines;
        for (const Json& name : discard) lines.push_back(FromUtf8(name.get<std::string>()));
        options_.discards = std::move(lines);
      }
    }
    std::string note;
    mode_ = ModeNamed(options.value("resolve", std::string("path")), note);
    if (!note.empty()) Log(kLogWarning, note);
  }

  std::vector<Text> roots;
  if (const auto f = params.find("workspaceFolders"); f != params.end() && f->is_array()) {
    for (const Json& folder : *f) {
      if (const auto path = PathFromUri(folder.at("uri").get<std::string>()))
        roots.push_back(*path);
    }
  }
  if (roots.empty()) {
    if (const auto r = params.find("rootUri"); r != params.end() && r->is_string()) {
      if (const auto path = PathFromUri(r->get<std::string>())) roots.push_back(*path);
    } else if (const auto p = params.find("rootPath"); p != params.end() && p->is_string()) {
      roots.push_back(FromUtf8(p->get<std::string>()));
    }
  }
  // Without a folder, the server's own current folder.
  if (roots.empty()) roots.push_back(folderFiles_(Text())->CurrentDirectory());
  for (const Text& root : roots) AddFolder(root);
  for (auto& folder : folders_) SettleFolder(*folder);
  initialized_ = true;

  const Json sync = {{"openClose", true}, {"change", 2}, {"save", {{"includeText", true}}}};
  return {{"capabilities",
           {{"positionEncoding", EncodingName(encoding_)},
            {"textDocumentSync", sync},
            {"callHierarchyProvider", true},
            {"definitionProvider", true},
            {"referencesProvider", true},
            {"hoverProvider", true},
            {"documentSymbolProvider", true},
            {"workspaceSymbolProvider", true},
            {"workspace",
             {{"workspaceFolders", {{"supported", true}, {"changeNotifications", true}}}}}}},
          {"serverInfo", {{"name", "korvath-lsp"}, {"version", KORVATH_VERSION}}}};
}

void Server::Initialized() {
  if (watchFiles_) {
    const Json watcher = {{"globPattern", "**/*.m"}};
    sink_(Json{{"jsonrpc", "2.0"},
               {"id", "korvath-watch"},
               {"method", "client/registerCapability"},
               {"params",
                {{"registrations",
                  {{{"id", "korvath-m-files"},
                    {"method", "workspace/didChangeWatchedFiles"},
                    {"registerOptions", {{"watchers", {watcher}}}}}}}}}}
              .dump());
  }
  // The first index now, so the first question finds it built.
  for (auto& folder : folders_) Refresh(*folder);
}

Json Server::Shutdown(const Json& /*params*/) {
  shutdown_ = true;
  return nullptr;
}

// --- folders

void Server::AddFolder(const Text& root) {
  auto folder = std::make_unique<Folder>();
  folder->base = folderFiles_(root);
  folder->root = folder->base->CurrentDirectory();
  folder->files = std::make_unique<session::OverlayFileSystem>(*folder->base);
  folder->ws = std::make_unique<session::Workspace>(*folder->files);
  folder->ws->setMode(mode_);
  for (const auto& [path, text] : texts_) folder->files->Set(path, text);
  folders_.push_back(std::move(folder));
}

void Server::SettleFolder(Folder& folder) {
  std::vector<Text> roots;
  for (const auto& f : folders_) roots.push_back(f->root);
  const SettledPath settled =
      SettleSettings(*folder.ws, *folder.files, folder.root, roots, options_);
  folder.fromFolders = settled.fromFolders;
  folder.stale = true;
  folder.wholeCheck = true;
  Log(kLogInfo, settled.description);
}

Server::Folder& Server::FolderOf(const Text& path) {
  // The deepest folder holding the file; the first when none does.
  Folder* best = folders_.front().get();
  std::size_t bestLength = 0;
  for (const auto& folder : folders_) {
    const Text& root = folder->root;
    if (root.size() > bestLength && path.size() > root.size() && engine::StartsWith(path, root) &&
        (path[root.size()] == u'/' || path[root.size()] == u'\\')) {
      best = folder.get();
      bestLength = root.size();
    }
  }
  return *best;
}

void Server::Refresh(Folder& folder) {
  const auto now = Clock::now();
  const bool due = now - folder.checked >= kStampInterval;
  if (!folder.stale && folder.ws->indexed() && !due) return;
  if (folder.relist && folder.fromFolders) {
    folder.relist = false;
    SettleFolder(folder);
  }
  const bool known = !due && !folder.wholeCheck && folder.ws->indexed();
  const platform::Result refreshed =
      folder.ws->RefreshIndex(&control_, known ? &folder.changed : nullptr);
  if (!known) folder.checked = Clock::now();
  if (refreshed.status == platform::Status::Cancelled)
    throw RpcError{kRequestCancelled, "cancelled"};
  folder.stale = false;
  folder.wholeCheck = false;
  folder.changed.clear();
  if (!refreshed) Log(kLogError, ToUtf8(folder.root) + ": " + refreshed.description);
}

void Server::SetText(const Text& path, const std::string& text) {
  texts_[path] = text;
  for (auto& folder : folders_) {
    folder->files->Set(path, text);
    folder->stale = true;
    folder->changed.push_back(path);
  }
}

void Server::ForgetText(const Text& path) {
  texts_.erase(path);
  for (auto& folder : folders_) {
    folder->files->Remove(path);
    folder->stale = true;
    folder->changed.push_back(path);
  }
}

void Server::DidOpen(const Json& params) {
  const Json& doc = params.at("textDocument");
  SetText(PathOf(doc), doc.at("text").get<std::string>());
}

void Server::DidChange(const Json& params) {
  const Text path = PathOf(params.at("textDocument"));
  auto it = texts_.find(path);
  if (it == texts_.end()) throw RpcError{kInvalidParams, "change of a document not open"};
  std::string text = it->second;
  for (const Json& change : params.at("contentChanges")) {
    const auto range = change.find("range");
    if (range == change.end()) {
      text = change.at("text").get<std::string>();
      continue;
    }
    const std::size_t begin = OffsetOf(text, range->at("start"), encoding_);
    const std::size_t end = std::max(begin, OffsetOf(text, range->at("end"), encoding_));
    text.replace(begin, end - begin, change.at("text").get<std::string>());
  }
  SetText(path, text);
}

void Server::DidSave(const Json& params) {
  const Text path = PathOf(params.at("textDocument"));
  if (const auto text = params.find("text"); text != params.end()) {
    SetText(path, text->get<std::string>());
  }
}

void Server::DidClose(const Json& params) { ForgetText(PathOf(params.at("textDocument"))); }

void Server::DidChangeWatchedFiles(const Json& params) {
  bool cameOrWent = false;
  std::vector<Text> paths;
  for (const Json& change : params.at("changes")) {
    const auto path = PathFromUri(change.at("uri").get<std::string>());
    cameOrWent |= !path || change.value("type", 2) != 2;
    if (path) paths.push_back(*path);
  }
  for (auto& folder : folders_) {
    folder->stale = true;
    folder->relist |= cameOrWent;
    folder->wholeCheck |= cameOrWent;
    folder->changed.insert(folder->changed.end(), paths.begin(), paths.end());
  }
}

void Server::DidChangeWorkspaceFolders(const Json& params) {
  const Json& event = params.at("event");
  for (const Json& removed : event.value("removed", Json::array())) {
    const auto path = PathFromUri(removed.at("uri").get<std::string>());
    if (!path || folders_.size() <= 1) continue;
    const Text root = folderFiles_(*path)->CurrentDirectory();
    std::erase_if(folders_, [&](const auto& f) { return f->root == root; });
  }
  for (const Json& added : event.value("added", Json::array())) {
    if (const auto path = PathFromUri(added.at("uri").get<std::string>())) {
      AddFolder(*path);
      SettleFolder(*folders_.back());
    }
  }
}

// --- pieces of answers

const std::vector<Text>& Server::LinesOf(Folder& folder, const Text& path) {
  auto it = linesRead_.find(path);
  if (it != linesRead_.end()) return it->second;
  std::string bytes;
  // A file that cannot be read has no lines; its ranges fall back to line 0.
  if (!folder.files->ReadFile(path, bytes)) bytes.clear();
  return linesRead_.emplace(path, FileLines(std::move(bytes))).first->second;
}

Server::Place Server::PlaceOf(const Json& params) {
  Place place;
  place.path = PathOf(params.at("textDocument"));
  place.folder = &FolderOf(place.path);
  Refresh(*place.folder);
  place.lines = LinesOf(*place.folder, place.path);
  const Json& position = params.at("position");
  place.line = position.at("line").get<std::size_t>();
  const auto character = position.at("character").get<std::uint64_t>();
  if (place.line < place.lines.size())
    place.unit = UnitAt(place.lines[place.line], character, encoding_);
  return place;
}

const engine::ProgramIndex::Program& Server::ProgramOf(const Folder& folder, int program) const {
  return folder.ws->index().Programs()[static_cast<std::size_t>(program)];
}

int Server::ProgramNamedAt(const Place& place, bool declaring, Span* nameSpan, Text* rule) {
  if (place.line >= place.lines.size()) return -1;
  const TextView line = place.lines[place.line];
  session::Workspace& ws = *place.folder->ws;
  if (ws.mode() == session::ResolutionMode::Matlab) {
    const auto lineNumber = static_cast<std::int32_t>(place.line + 1);
    if (const auto call =
            ws.CallAt(place.path, lineNumber, static_cast<std::int32_t>(place.unit))) {
      const auto begin = static_cast<std::size_t>(call->site.column);
      if (nameSpan != nullptr) {
        *nameSpan = Span{begin, begin + static_cast<std::size_t>(call->site.length)};
      }
      if (rule != nullptr) *rule = call->sites->rule;
      return call->callee;
    }
    if (!declaring) return -1;
    const int declared = ws.FunctionAt(place.path, lineNumber);
    if (declared < 0) return -1;
    const auto& function = ws.index().FunctionOf(declared);
    if (function.firstLine == lineNumber) {
      if (nameSpan != nullptr) *nameSpan = DeclaredName(line, function.plainName);
      return declared;
    }
    // A classdef's constructor is the class itself (its callers' target),
    // so its own function line lies inside the class's lines.
    if (function.kind == u"constructor" &&
        IsClassdefConstructorLine(*place.folder->files, place.path, function.plainName,
                                  lineNumber)) {
      if (nameSpan != nullptr) *nameSpan = DeclaredName(line, function.plainName);
      return declared;
    }
    return -1;
  }
  const int self = ws.ProgramAt(place.path);
  const auto span = NameAround(line, place.unit);
  if (span && nameSpan != nullptr) *nameSpan = *span;
  const TextView name = span ? line.substr(span->begin, span->end - span->begin) : TextView();
  // The file's own function, anywhere on its line.
  const auto declared = DeclaredFunctions(place.lines);
  if (declaring && !declared.empty() && declared.front().line == place.line) return self;
  if (!span) return -1;
  // A name this file calls is answered from the index; another is searched for.
  if (self >= 0) {
    for (const auto& calls : ProgramOf(*place.folder, self).callees) {
      if (SameName(ProgramOf(*place.folder, calls.program).name, name)) return calls.program;
    }
  }
  if (name.empty() || !(name[0] < 0x80 && std::isalpha(static_cast<unsigned char>(name[0])))) {
    return -1;
  }
  return ws.FindProgram(name);
}

Json Server::Position(TextView line, std::size_t lineNumber, std::size_t unit) {
  return {{"line", lineNumber}, {"character", ColumnOf(line, unit, encoding_)}};
}

Json Server::RangeOf(TextView line, std::size_t lineNumber, Span span) {
  return {{"start", Position(line, lineNumber, span.begin)},
          {"end", Position(line, lineNumber, span.end)}};
}

Json Server::CallRange(Folder& folder, const Text& path, std::int32_t lineNumber, TextView name) {
  const auto& lines = LinesOf(folder, path);
  const auto n = static_cast<std::size_t>(std::max(lineNumber, 1) - 1);
  if (n >= lines.size()) return RangeOf(TextView(), n, Span{});
  const TextView line = lines[n];
  // The name where it stands on the statement's first line, else the line.
  return RangeOf(line, n, FindName(line, name).value_or(Span{0, line.size()}));
}

Json Server::DeclarationRange(Folder& folder, const Text& path, TextView name, Json* whole) {
  const auto& lines = LinesOf(folder, path);
  const auto declared = DeclaredFunctions(lines);
  if (declared.empty()) {
    const TextView first = lines.empty() ? TextView() : TextView(lines.front());
    if (whole != nullptr) *whole = RangeOf(first, 0, Span{0, first.size()});
    return RangeOf(first, 0, FindName(first, name).value_or(Span{0, 0}));
  }
  const std::size_t n = declared.front().line;
  const TextView line = lines[n];
  if (whole != nullptr) {
    // The function's text: up to the next function or the end of the file.
    const std::size_t last = declared.size() > 1 ? declared[1].line - 1 : lines.size() - 1;
    (*whole)["start"] = Position(line, n, 0);
    (*whole)["end"] = Position(lines[last], last, lines[last].size());
  }
  return RangeOf(line, n, declared.front().name);
}

Json Server::ProgramRange(Folder& folder, int program, Json* whole) {
  const auto& p = ProgramOf(folder, program);
  const auto& function = folder.ws->index().FunctionOf(program);
  if (function.firstLine <= 0) return DeclarationRange(folder, p.path, p.name, whole);
  const auto& lines = LinesOf(folder, p.path);
  const auto first = static_cast<std::size_t>(function.firstLine - 1);
  if (first >= lines.size()) {
    if (whole != nullptr) *whole = RangeOf(TextView(), 0, Span{});
    return RangeOf(TextView(), 0, Span{});
  }
  const TextView line = lines[first];
  if (whole != nullptr) {
    const std::size_t last = std::clamp(
        static_cast<std::size_t>(std::max(function.lastLine, 1) - 1), first, lines.size() - 1);
    (*whole)["start"] = Position(line, first, 0);
    (*whole)["end"] = Position(lines[last], last, lines[last].size());
  }
  return RangeOf(line, first, DeclaredName(line, function.plainName));
}

Json Server::CallRanges(Folder& folder, int caller, const engine::ProgramIndex::Calls& calls,
                        TextView calleeName) {
  const Text& callerPath = ProgramOf(folder, caller).path;
  const auto& sites = folder.ws->index().SitesOf(caller, calls).sites;
  Json ranges = Json::array();
  if (sites.empty()) {
    for (const std::int32_t line : calls.lines) {
      ranges.push_back(CallRange(folder, callerPath, line, calleeName));
    }
    return ranges;
  }
  const auto& lines = LinesOf(folder, callerPath);
  for (const auto& site : sites) {
    const auto n = static_cast<std::size_t>(std::max(site.line, 1) - 1);
    const TextView line = n < lines.size() ? TextView(lines[n]) : TextView();
    const std::size_t begin = std::min(static_cast<std::size_t>(site.column), line.size());
    const std::size_t end =
        std::min(static_cast<std::size_t>(site.column + site.length), line.size());
    ranges.push_back(RangeOf(line, n, Span{begin, end}));
  }
  return ranges;
}

Json Server::ItemOf(Folder& folder, int program) {
  const auto& p = ProgramOf(folder, program);
  Json whole;
  Json selection = ProgramRange(folder, program, &whole);
  return {
      {"name", ToUtf8(p.name)},    {"kind", SymbolKindOf(folder.ws->index().FunctionOf(program))},
      {"detail", ToUtf8(p.path)},  {"uri", UriFromPath(p.path)},
      {"range", std::move(whole)}, {"selectionRange", std::move(selection)}};
}

int Server::ProgramOfItem(const Json& item, Folder*& folder) {
  const Text path = PathOf(item);
  folder = &FolderOf(path);
  Refresh(*folder);
  // A file's functions are told apart by the item's name (their notation).
  return folder->ws->ProgramIn(path, FromUtf8(item.value("name", std::string())));
}

// --- questions

Json Server::PrepareCallHierarchy(const Json& params) {
  const Place place = PlaceOf(params);
  const int program = ProgramNamedAt(place, true);
  if (program < 0) return nullptr;
  return Json::array({ItemOf(*place.folder, program)});
}

Json Server::IncomingCalls(const Json& params) {
  Folder* folder = nullptr;
  const int program = ProgramOfItem(params.at("item"), folder);
  Json calls = Json::array();
  if (program < 0) return calls;
  const auto& index = folder->ws->index();
  const auto& callee = ProgramOf(*folder, program);
  for (const int caller : callee.callers) {
    CheckCancelled();
    calls.push_back({{"from", ItemOf(*folder, caller)},
                     {"fromRanges",
                      CallRanges(*folder, caller, *index.CallsOf(caller, program), callee.name)}});
  }
  return calls;
}

Json Server::OutgoingCalls(const Json& params) {
  Folder* folder = nullptr;
  const int program = ProgramOfItem(params.at("item"), folder);
  Json calls = Json::array();
  if (program < 0) return calls;
  const auto& caller = ProgramOf(*folder, program);
  for (const auto& callee : caller.callees) {
    CheckCancelled();
    const auto& to = ProgramOf(*folder, callee.program);
    calls.push_back({{"to", ItemOf(*folder, callee.program)},
                     {"fromRanges", CallRanges(*folder, program, callee, to.name)}});
  }
  return calls;
}

Json Server::Definition(const Json& params) {
  const Place place = PlaceOf(params);
  // In the MATLAB mode a function's own line is its definition.
  const int program =
      ProgramNamedAt(place, place.folder->ws->mode() == session::ResolutionMode::Matlab);
  if (program < 0) return nullptr;
  const auto& p = ProgramOf(*place.folder, program);
  return {{"uri", UriFromPath(p.path)}, {"range", ProgramRange(*place.folder, program)}};
}

Json Server::References(const Json& params) {
  const Place place = PlaceOf(params);
  const int program = ProgramNamedAt(place, true);
  Json locations = Json::array();
  if (program < 0) return locations;
  const auto& callee = ProgramOf(*place.folder, program);
  if (params.contains("context") && params["context"].value("includeDeclaration", false)) {
    locations.push_back(
        {{"uri", UriFromPath(callee.path)}, {"range", ProgramRange(*place.folder, program)}});
  }
  const auto& index = place.folder->ws->index();
  for (const int caller : callee.callers) {
    CheckCancelled();
    const auto& from = ProgramOf(*place.folder, caller);
    const auto& calls = *index.CallsOf(caller, program);
    for (Json& range : CallRanges(*place.folder, caller, calls, callee.name)) {
      locations.push_back({{"uri", UriFromPath(from.path)}, {"range", std::move(range)}});
    }
  }
  return locations;
}

Json Server::Hover(const Json& params) {
  const Place place = PlaceOf(params);
  Span span;
  Text rule;
  const int program = ProgramNamedAt(place, false, &span, &rule);
  if (program < 0) return nullptr;
  const auto& p = ProgramOf(*place.folder, program);
  std::string value = "**" + ToUtf8(p.name) + "** \xE2\x86\x92 `" + ToUtf8(p.path) + "`";
  if (!rule.empty()) value += "\n\n" + ToUtf8(rule);
  return {{"contents", {{"kind", "markdown"}, {"value", std::move(value)}}},
          {"range", RangeOf(place.lines[place.line], place.line, span)}};
}

Json Server::DocumentSymbol(const Json& params) {
  const Text path = PathOf(params.at("textDocument"));
  Folder& folder = FolderOf(path);
  if (folder.ws->mode() == session::ResolutionMode::Matlab) return MatlabSymbols(folder, path);
  const auto& lines = LinesOf(folder, path);
  const auto declared = DeclaredFunctions(lines);
  Json symbols = Json::array();
  for (std::size_t i = 0; i < declared.size(); ++i) {
    const auto& d = declared[i];
    const TextView line = lines[d.line];
    const std::size_t last = i + 1 < declared.size() ? declared[i + 1].line - 1 : lines.size() - 1;
    symbols.push_back({{"name", ToUtf8(line.substr(d.name.begin, d.name.end - d.name.begin))},
                       {"kind", kSymbolFunction},
                       {"range",
                        {{"start", Position(line, d.line, 0)},
                         {"end", Position(lines[last], last, lines[last].size())}}},
                       {"selectionRange", RangeOf(line, d.line, d.name)}});
  }
  return symbols;
}

Json Server::MatlabSymbols(Folder& folder, const Text& path) {
  Json symbols = Json::array();
  std::string bytes;
  if (!folder.files->ReadFile(path, bytes)) return symbols;
  const std::size_t slash = path.find_last_of(u"/\\");
  const Text base(
      engine::WithoutMExtension(TextView(path).substr(slash == Text::npos ? 0 : slash + 1)));
  const auto syntax = engine::matlab::ReadFileSyntax(bytes, ToUtf8(base));
  const auto& lines = LinesOf(folder, path);
  if (lines.empty()) return symbols;
  const auto lineAt = [&](std::int32_t number) {
    return std::min(static_cast<std::size_t>(std::max(number, 1) - 1), lines.size() - 1);
  };
  const auto symbol = [&](const std::string& name, int kind, std::int32_t first,
                          std::int32_t last) {
    const std::size_t from = lineAt(first);
    const std::size_t to = std::max(from, lineAt(last));
    const TextView line = lines[from];
    return Json{
        {"name", name},
        {"kind", kind},
        {"range",
         {{"start", Position(line, from, 0)}, {"end", Position(lines[to], to, lines[to].size())}}},
        {"selectionRange", RangeOf(line, from, DeclaredName(line, FromUtf8(name)))},
        {"children", Json::array()}};
  };
  const bool classdef = syntax.kind == engine::matlab::FileKind::Classdef;
  const auto& functions = syntax.functions;
  std::vector<Json> made;
  made.reserve(functions.size());
  for (const auto& fn : functions) {
    int kind = kSymbolFunction;
    if (fn.inMethodsBlock) {
      kind = fn.name == syntax.classdef.name ? kSymbolConstructor : kSymbolMethod;
    }
    made.push_back(symbol(fn.name, kind, fn.line, fn.endLine));
  }
  // Nested functions under their parents, in file order.
  for (std::size_t f = functions.size(); f-- > 1;) {
    const int parent = functions[f].parent;
    if (parent < 0) continue;
    auto& children = made[static_cast<std::size_t>(parent)]["children"];
    children.insert(children.begin(), std::move(made[f]));
  }
  if (classdef) {
    const auto& top = functions.front();
    const std::string& className = syntax.classdef.name;
    Json cls =
        symbol(className.empty() ? ToUtf8(base) : className, kSymbolClass, top.line, top.endLine);
    // A property's line: the next one in the class that starts with its name.
    std::size_t at = lineAt(top.line);
    const std::size_t end = lineAt(top.endLine);
    for (const std::string& property : syntax.classdef.properties) {
      const Text name = FromUtf8(property);
      for (std::size_t n = at; n <= end; ++n) {
        const TextView line = lines[n];
        const std::size_t indent = std::min(line.find_first_not_of(u" \t"), line.size());
        const auto span = FindName(line, name, indent);
        if (!span || span->begin != indent) continue;
        cls["children"].push_back({{"name", property},
                                   {"kind", kSymbolProperty},
                                   {"range", RangeOf(line, n, *span)},
                                   {"selectionRange", RangeOf(line, n, *span)}});
        at = n + 1;
        break;
      }
    }
    symbols.push_back(std::move(cls));
  }
  // A script's body and a class's own code are no functions.
  const std::size_t first = syntax.kind == engine::matlab::FileKind::Function ? 0 : 1;
  for (std::size_t f = first; f < functions.size(); ++f) {
    if (functions[f].parent >= 0) continue;
    if (functions[f].inMethodsBlock) {
      symbols.front()["children"].push_back(std::move(made[f]));
    } else {
      symbols.push_back(std::move(made[f]));
    }
  }
  return symbols;
}

Json Server::WorkspaceSymbol(const Json& params) {
  const Text query = FromUtf8(params.at("query").get<std::string>());
  struct Hit {
    int rank;
    Folder* folder;
    int program;
  };
  std::vector<Hit> hits;
  for (auto& folder : folders_) {
    Refresh(*folder);
    const auto& programs = folder->ws->index().Programs();
    for (std::size_t p = 0; p < programs.size(); ++p) {
      if ((p & 1023) == 0) CheckCancelled();
      // In the MATLAB mode "method" finds "C.method" as well as "method".
      auto rank = MatchRank(programs[p].name, query);
      const Text& plainName = folder->ws->index().FunctionOf(static_cast<int>(p)).plainName;
      if (!plainName.empty()) {
        if (const auto plain = MatchRank(plainName, query)) {
          rank = std::min(rank.value_or(*plain), *plain);
        }
      }
      if (rank) hits.push_back({*rank, folder.get(), static_cast<int>(p)});
    }
  }
  auto nameOf = [&](const Hit& h) -> const Text& { return ProgramOf(*h.folder, h.program).name; };
  std::stable_sort(hits.begin(), hits.end(), [&](const Hit& a, const Hit& b) {
    if (a.rank != b.rank) return a.rank < b.rank;
    if (nameOf(a).size() != nameOf(b).size()) return nameOf(a).size() < nameOf(b).size();
    return nameOf(a) < nameOf(b);
  });
  if (hits.size() > kMostSymbols) hits.resize(kMostSymbols);
  Json symbols = Json::array();
  for (const Hit& h : hits) {
    const auto& p = ProgramOf(*h.folder, h.program);
    symbols.push_back(
        {{"name", ToUtf8(p.name)},
         {"kind", SymbolKindOf(h.folder->ws->index().FunctionOf(h.program))},
         {"location",
          {{"uri", UriFromPath(p.path)}, {"range", ProgramRange(*h.folder, h.program)}}}});
  }
  return symbols;
}

int Serve(ByteSource& in, Server& server) {
  MessageReader reader(in);
  std::string body;
  while (!server.exited()) server.Receive(reader.Next(body), body);
  return server.exitCode();
}

}  // namespace korvath::lsp
