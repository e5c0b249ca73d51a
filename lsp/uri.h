#pragma once
// "file:" URIs and the host's paths.

#include <optional>
#include <string>
#include <string_view>

#include "engine/text.h"

namespace korvath::lsp {

// The host path of a "file:" URI, percent escapes decoded; nullopt for any
// other scheme, or a host name this system cannot reach by path.
std::optional<Text> PathFromUri(std::string_view uri);
// The "file:" URI of an absolute host path.
std::string UriFromPath(const Text& path);

}  // namespace korvath::lsp
