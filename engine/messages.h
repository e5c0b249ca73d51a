#pragma once
// The texts the engine shows to the user.

#include <cstdint>
#include <string_view>

#include "engine/text.h"

namespace korvath::engine::messages {

inline constexpr char16_t kApplicationTitle[] = u"korvath";
inline constexpr char16_t kPathdefNotFound[] = u"pathdef file not found, cannot continue";
inline constexpr char16_t kOutOfStackSpace[] =
    u"Out of stack space. Some functions may not be displayed";
inline constexpr char16_t kTreeTooLarge[] =
    u"The call tree is too large. Some functions may not be displayed";
inline constexpr char16_t kBuildingTree[] = u"Building the function tree";

// "Parsed N files out of M."
Text ProgressCaption(int parsed, int total);
// Shown instead of a tree when the start file is not on the search path.
Text StartFileNotFound(TextView startFileName);
// Shown instead of a tree when the start function is on the discard list.
Text StartFunctionDiscarded(TextView startFunction);
// An error raised by the tree model while a node was added.
Text TreeNodeError(int number, TextView what);
// The last child of a node whose calls the node budget left out: "… N
// calls not shown: the tree reached its limit of 1,000,000 nodes".
Text CallsNotShown(int calls, int limit);
// The same in a callers tree: "… N callers not shown: ...".
Text CallersNotShown(int callers, int limit);
// 1234567 as "1,234,567".
Text GroupedNumber(std::int64_t value);
// A warning for a file that could not be read: "cannot read PATH: REASON".
Text CannotRead(TextView path, std::string_view reason);
// A warning for a search folder that could not be listed: "cannot list
// FOLDER: REASON".
Text CannotList(TextView folder, std::string_view reason);
// Said in JSON, which must be UTF-8, of a file whose name is not: "file name
// is not UTF-8, each invalid byte is U+FFFD in this JSON: PATH", the path's
// invalid bytes written as "\xNN".
Text FileNameNotUtf8(TextView path);

}  // namespace korvath::engine::messages
