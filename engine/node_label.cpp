#include "engine/run_interfaces.h"

namespace korvath {

void NodeLabel::AppendTextTo(Text& out) const {
  out += name;
  out += u" (";
  out += lines;
  out += u")";
  if (!alsoCalledBy.empty()) {
    out += u" - Also called by ";
    out += alsoCalledBy;
  }
}

Text NodeLabel::ToText() const {
  Text out;
  AppendTextTo(out);
  return out;
}

}  // namespace korvath
