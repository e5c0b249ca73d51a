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

// "1 function", "3 functions": the count with the noun that fits it.
Text Counted(std::size_t count, std::u16string_view one, std::u16string_view many);

// "Cannot write PATH: REASON", PATH as given.
Text CannotWrite(TextView path, const platform::Result& why);

// The files a run could not read, one "path: reason" a line, under
// kUnreadableFiles.
Text UnreadableFiles(const std::vector<Text>& lines);

}  // namespace korvath::session::messages
