#pragma once
// Paths as the command line's lists show them.

#include <string>

namespace korvath::platform {

// `path` made absolute against the current directory and normalised as text
// ("." and ".." folded, the host's separators); links are not resolved.
std::u16string AbsoluteNormalPath(const std::u16string& path);

}  // namespace korvath::platform
