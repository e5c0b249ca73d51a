#include "engine/messages.h"

#include "engine/run_interfaces.h"

namespace korvath::engine::messages {

Text ProgressCaption(int parsed, int total) {
  return u"Parsed " + DecimalText(parsed) + u" files out of " + DecimalText(total) + u".";
}

Text StartFileNotFound(TextView startFileName) {
  return Text(startFileName) + u" was not found on the search path";
}

Text StartFunctionDiscarded(TextView startFunction) {
  return Text(startFunction) + u" is on the discard list";
}

Text TreeNodeError(int number, TextView what) {
  return u"Error " + DecimalText(number) + u": " + Text(what);
}

}  // namespace korvath::engine::messages

namespace korvath::engine {

void ProgressSink::SetCounts(int parsed, int total) {
  SetCaption(messages::ProgressCaption(parsed, total));
}

}  // namespace korvath::engine
