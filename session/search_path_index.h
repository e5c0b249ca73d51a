#pragma once
// The program index of a run's search path, kept between requests: the
// folders are read from pathdef.m each time, as a run reads them.

#include <unordered_map>
#include <vector>

#include "engine/matlab_run.h"
#include "engine/program_index.h"
#include "platform/file_system.h"
#include "platform/result.h"

namespace korvath::session {

class SearchPathIndex {
 public:
  // NoSearchPath when pathdef.m gives no folders (the index is kept as it
  // was), Cancelled when `control` stopped it (the index is then empty).
  // With `matlab`, the programs are functions found by MATLAB's rules.
  // `changed` as ProgramIndex::Refresh takes it (the MATLAB mode reads all).
  platform::Result Refresh(platform::FileSystem& fs, const Text& pathdefFile,
                           engine::ProgramIndex::Control* control = nullptr,
                           const engine::matlab::Options* matlab = nullptr,
                           const std::vector<Text>* changed = nullptr);
  // The programs a start name (typed as the user typed it) finds: one, or
  // none; in the MATLAB mode a bare name that several functions have (a
  // method of two classes, two local functions) finds them all.
  std::vector<int> Find(platform::FileSystem& fs, TextView typed) const;
  const engine::ProgramIndex& index() const { return index_; }
  // The programs of the file at `path`: in the MATLAB mode each of its
  // functions (main first), in the path mode its one program; none when
  // the file is not indexed.
  std::vector<int> ProgramsIn(const Text& path) const;
  // What the last refresh did.
  const engine::ProgramIndex::RefreshStats& stats() const { return stats_; }

 private:
  // The MATLAB mode told which files changed: each read again alone, where
  // its change stays within its own calls; false when the index must be
  // made again.
  bool RefreshFiles(platform::FileSystem& fs, const engine::matlab::Options& matlab,
                    const std::vector<Text>& changed);

  std::vector<Text> dirs_;
  engine::ProgramIndex index_;
  bool matlab_ = false;
  bool possibleCalls_ = false;  // the MATLAB mode's option the index was made with
  std::unordered_map<Text, std::vector<int>> byFile_;  // in the MATLAB mode
  engine::ProgramIndex::RefreshStats stats_;
};

}  // namespace korvath::session
