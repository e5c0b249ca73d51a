#include "engine/function_table.h"
#include "engine/run_interfaces.h"

namespace korvath::engine {

NodeLabel NodeLabel::Of(const std::vector<FunctionRecord>& records, int record) {
  const FunctionRecord& rec = records[static_cast<std::size_t>(record)];
  return NodeLabel{record, rec.name, rec.lines, rec.alsoCalledBy};
}

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

}  // namespace korvath::engine
