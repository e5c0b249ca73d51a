#pragma once
// The program index of a run's search path, kept between requests: the
// folders are read from pathdef.m each time, as a run reads them.

#include <vector>

#include "engine/program_index.h"
#include "platform/file_system.h"
#include "platform/result.h"

namespace korvath::session {

class SearchPathIndex {
 public:
  // NoSearchPath when pathdef.m gives no folders (the index is kept as it
  // was), Cancelled when `control` stopped it (the index is then empty).
  platform::Result Refresh(platform::FileSystem& fs, const Text& pathdefFile,
                           engine::ProgramIndex::Control* control = nullptr);
  // The program a start name (typed as the user typed it) finds, or -1.
  int Find(platform::FileSystem& fs, TextView typed) const;
  const engine::ProgramIndex& index() const { return index_; }
  // What the last refresh did.
  const engine::ProgramIndex::RefreshStats& stats() const { return stats_; }

 private:
  std::vector<Text> dirs_;
  engine::ProgramIndex index_;
  engine::ProgramIndex::RefreshStats stats_;
};

}  // namespace korvath::session
