#pragma once
// Between the engine's UTF-16 text and QString: both are UTF-16.

#include <QString>
#include <cstddef>

#include "engine/text.h"

namespace korvath::gui {

inline QString ToQString(TextView text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline Text ToText(const QString& text) {
  return Text(reinterpret_cast<const char16_t*>(text.utf16()),
              static_cast<std::size_t>(text.size()));
}

}  // namespace korvath::gui
