#pragma once
// The texts a session shows, worded once for every front end. The run's own
// messages (pathdef not found, tree too large, ...) are the engine's.

#include <cstddef>
#include <string_view>
#include <vector>

#include "engine/text.h"
#include "platform/result.h"

namespace korvath::session::messages {

inline constexpr char16_t kRunOutOfMemory[] = u"Not enough memory to finish the run.";
inline constexpr char16_t kIndexOutOfMemory[] = u"Not enough memory to index the search path.";
inline constexpr char16_t kUnreadableFiles[] =
    u"These files could not be read; their calls are missing:";
inline constexpr char16_t kUnlistableFolders[] =
    u"These folders of the search path could not be listed; their functions are missing:";

// "1 function", "3 functions": the count with the noun that fits it.
Text Counted(std::size_t count, std::u16string_view one, std::u16string_view many);

// "Cannot write PATH: REASON", PATH as given.
Text CannotWrite(TextView path, const platform::Result& why);

// The files a run could not read, one "path: reason" a line, under
// kUnreadableFiles.
Text UnreadableFiles(const std::vector<Text>& lines);

// What a run could not see: the folders (under kUnlistableFolders), then the
// files (as UnreadableFiles), each "path: reason"; empty when it saw all.
Text RunWarnings(const std::vector<Text>& unlistable, const std::vector<Text>& unreadable);

// A status line for the index's warnings (engine::ProgramIndex::Warnings):
// the first, and how many more; empty when there are none.
Text IndexWarnings(const std::vector<Text>& warnings);

}  // namespace korvath::session::messages
