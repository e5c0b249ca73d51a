#pragma once
// Turns pathdef.m into the list of search directories.

#include <optional>
#include <vector>

#include "engine/text.h"
#include "platform/file_system.h"
#include "platform/result.h"

namespace korvath::engine {

using platform::Result;
using platform::Status;

// The directory that "matlabroot" stands for: everything before the last
// "toolbox" of the path, less the separator in front of it.
std::optional<Text> SearchPathRoot(TextView pathdefFile);

// The directory named by one line after the marker, or nullopt when the line
// is no entry (or would be longer than 4,096 characters once the root is put
// in). `slashIsSeparator` is true on POSIX hosts.
std::optional<Text> PathdefEntry(TextView line, TextView root, bool slashIsSeparator);

// Fills `dirs` with an empty entry 0, the entries of pathdef.m (named by
// `pathdefFile`, blanks trimmed) in file order, a relative one joined to
// the current directory, and the current directory last. Fails only when the file cannot be read or
// its path has no usable "toolbox".
Result ReadSearchPath(TextView pathdefFile, platform::FileSystem& fs, std::vector<Text>& dirs);

}  // namespace korvath::engine
