#include "session/messages.h"

#include "platform/utf8.h"

namespace korvath::session::messages {

Text Counted(std::size_t count, std::u16string_view one, std::u16string_view many) {
  return engine::DecimalText(static_cast<std::int64_t>(count)) + u' ' +
         Text(count == 1 ? one : many);
}

Text CannotWrite(TextView path, const platform::Result& why) {
  Text text = u"Cannot write " + Text(path);
  if (!why.description.empty()) text += u": " + platform::FromUtf8(why.description);
  return text;
}

Text UnreadableFiles(const std::vector<Text>& lines) {
  Text text = kUnreadableFiles;
  for (const Text& line : lines) text += u'\n' + line;
  return text;
}

Text RunWarnings(const std::vector<Text>& unlistable, const std::vector<Text>& unreadable) {
  Text text;
  if (!unlistable.empty()) {
    text = kUnlistableFolders;
    for (const Text& line : unlistable) text += u'\n' + line;
  }
  if (!unreadable.empty()) {
    if (!text.empty()) text += u"\n\n";
    text += UnreadableFiles(unreadable);
  }
  return text;
}

Text IndexWarnings(const std::vector<Text>& warnings) {
  if (warnings.empty()) return {};
  Text text = warnings.front();
  if (warnings.size() > 1) {
    text += u" (and " + Counted(warnings.size() - 1, u"more warning", u"more warnings") + u")";
  }
  return text;
}

}  // namespace korvath::session::messages
