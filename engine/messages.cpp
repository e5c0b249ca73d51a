#include "engine/messages.h"

#include "engine/run_interfaces.h"
#include "platform/utf8.h"

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

Text GroupedNumber(std::int64_t value) {
  const Text digits = DecimalText(value < 0 ? -value : value);
  Text out = value < 0 ? Text(u"-") : Text();
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) out += u',';
    out += digits[i];
  }
  return out;
}

namespace {
Text NotShown(int count, TextView one, TextView many, int limit) {
  return u"\u2026 " + GroupedNumber(count) + u" " + Text(count == 1 ? one : many) +
         u" not shown: the tree reached its limit of " + GroupedNumber(limit) + u" nodes";
}
}  // namespace

Text CallsNotShown(int calls, int limit) { return NotShown(calls, u"call", u"calls", limit); }

Text CallersNotShown(int callers, int limit) {
  return NotShown(callers, u"caller", u"callers", limit);
}

Text CannotRead(TextView path, std::string_view reason) {
  return u"cannot read " + Text(path) + u": " + platform::FromUtf8(reason);
}

Text CannotList(TextView folder, std::string_view reason) {
  return u"cannot list " + Text(folder) + u": " + platform::FromUtf8(reason);
}

Text FileNameNotUtf8(TextView path) {
  Text text = u"file name is not UTF-8, each invalid byte is U+FFFD in this JSON: ";
  constexpr char16_t kHex[] = u"0123456789abcdef";
  for (const char16_t unit : path) {
    if (platform::IsEscapedByte(unit)) {
      text += u"\\x";
      text.push_back(kHex[(unit >> 4) & 0xF]);
      text.push_back(kHex[unit & 0xF]);
    } else {
      text.push_back(unit);
    }
  }
  return text;
}

}  // namespace korvath::engine::messages

namespace korvath::engine {

void ProgressSink::SetCounts(int parsed, int total) {
  SetCaption(messages::ProgressCaption(parsed, total));
}

}  // namespace korvath::engine
