#pragma once
// What a parse run needs from its front end: somewhere to put the tree, a
// progress window and message boxes.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/text.h"
#include "platform/result.h"

namespace korvath::engine {

using platform::Result;
using platform::Status;

struct FunctionRecord;

// One child node of the call tree, as the record it stands for.
struct NodeLabel {
  int record = 0;
  TextView name;
  TextView lines;
  TextView alsoCalledBy;

  // The label of record `record` of `records`.
  static NodeLabel Of(const std::vector<FunctionRecord>& records, int record);
  // "name (lines)", with " - Also called by X" for a linked record.
  void AppendTextTo(Text& out) const;
  Text ToText() const;
};

class TreeSink {
 public:
  TreeSink() = default;
  TreeSink(const TreeSink&) = delete;
  TreeSink& operator=(const TreeSink&) = delete;
  virtual ~TreeSink() = default;

  virtual void Clear() = 0;
  // Nodes are numbered from 1 in the order they are added.
  virtual int AddRoot(TextView key, TextView text) = 0;
  // Stores the new node's number in `node`. A failure is reported and the
  // walk goes on with the next node.
  virtual platform::Result AddChild(int parent, const NodeLabel& label, int& node) = 0;
  virtual int Count() const = 0;
  // A hint: about this many nodes may follow.
  virtual void Reserve(int nodes) { (void)nodes; }
  // The node budget `limit` ran out before `calls` direct calls of node
  // `node` were added. Called once per such node, in node order.
  virtual void CutShort(int node, int calls, int limit) {
    (void)node;
    (void)calls;
    (void)limit;
  }

 protected:
  TreeSink(TreeSink&&) = default;
  TreeSink& operator=(TreeSink&&) = default;
};

class ProgressSink {
 public:
  ProgressSink() = default;
  ProgressSink(const ProgressSink&) = delete;
  ProgressSink& operator=(const ProgressSink&) = delete;
  virtual ~ProgressSink() = default;

  virtual void Show() = 0;
  virtual void SetCaption(const Text& caption) = 0;
  // A pass's counts. By default the caption "Parsed N files out of M."; a
  // sink that shows nothing may skip building that text once per pass.
  virtual void SetCounts(int parsed, int total);
  virtual void Refresh() = 0;
  virtual void Close() = 0;
};

enum class MessageIcon { None, Critical, Information };

class MessageSink {
 public:
  MessageSink() = default;
  MessageSink(const MessageSink&) = delete;
  MessageSink& operator=(const MessageSink&) = delete;
  virtual ~MessageSink() = default;

  // A message box titled with the application's name.
  virtual void ShowMessage(MessageIcon icon, const Text& text) = 0;
  // A found file that could not be read; the run goes on without its calls.
  virtual void FileUnreadable(const Text& path, const platform::Result& why) {
    (void)path;
    (void)why;
  }
  // A search folder that could not be listed, told once a run; searches go
  // on with the next folder.
  virtual void FolderUnlistable(const Text& folder, const platform::Result& why) {
    (void)folder;
    (void)why;
  }
};

// Sinks that drop everything, for callers that want only the result.
class NullProgress final : public ProgressSink {
 public:
  void Show() override {}
  void SetCaption(const Text&) override {}
  void SetCounts(int, int) override {}
  void Refresh() override {}
  void Close() override {}
};

}  // namespace korvath::engine
