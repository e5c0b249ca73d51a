#pragma once
// Between the engine's UTF-16 text and QString: both are UTF-16; and counts
// in words.

#include <QString>
#include <cstddef>

#include "engine/text.h"

namespace korvath::gui {

inline QString ToQString(TextView text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// "1 function", "3 functions": the count with the noun that fits it.
inline QString Counted(std::size_t count, const char* one, const char* many) {
  return count == 1 ? QStringLiteral("1 %1").arg(QLatin1String(one))
                    : QStringLiteral("%1 %2").arg(count).arg(QLatin1String(many));
}

inline Text ToText(const QString& text) {
  return Text(reinterpret_cast<const char16_t*>(text.utf16()),
              static_cast<std::size_t>(text.size()));
}

}  // namespace korvath::gui
