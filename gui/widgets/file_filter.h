#pragma once
// File dialog filters are written as "description|pattern|description|pattern";
// Qt wants "description (pattern);;...".

#include <QString>
#include <QStringList>

namespace korvath::gui {

inline QString QtFileFilter(const QString& pairs) {
  const QStringList parts = pairs.split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    const QString& pattern = parts[i + 1];
    const QString bracketed = QLatin1Char('(') + pattern + QLatin1Char(')');
    filters << (description.contains(bracketed) ? description
                                                : description + QLatin1Char(' ') + bracketed);
  }
  return filters.join(QStringLiteral(";;"));
}

}  // namespace korvath::gui
