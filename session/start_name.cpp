#include "session/start_name.h"

namespace korvath::session {

Text StartNameFromInput(TextView input, bool slashIsSeparator) {
  Text name = engine::WithMExtension(input);
  std::size_t cut = name.rfind(u'\\');
  if (slashIsSeparator) {
    const std::size_t slash = name.rfind(u'/');
    if (slash != Text::npos && (cut == Text::npos || slash > cut)) cut = slash;
  }
  if (cut != Text::npos) name.erase(0, cut + 1);
  return name;
}

}  // namespace korvath::session
