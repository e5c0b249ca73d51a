#include "shell/start_name.h"

namespace korvath {

Text StartNameFromInput(TextView input, bool slashIsSeparator) {
  Text name(input);
  if (!EndsWith(name, u".m")) name += u".m";
  std::size_t cut = name.rfind(u'\\');
  if (slashIsSeparator) {
    const std::size_t slash = name.rfind(u'/');
    if (slash != Text::npos && (cut == Text::npos || slash > cut)) cut = slash;
  }
  if (cut != Text::npos) name.erase(0, cut + 1);
  return name;
}

}  // namespace korvath
