#pragma once
// The Save dialogs of the exports, the same for every window, offering the
// formats of the session's table. The writing is the workspace's.

#include <QString>
#include <optional>

#include "platform/result.h"
#include "session/output_format.h"

class QWidget;

namespace korvath::gui {

// A Save dialog for a tree; nullopt when cancelled. `format` receives
// text, json or dot: the file's suffix's, else the filter chosen's.
std::optional<QString> ChooseTreeExportFile(QWidget* parent, const QString& title,
                                            session::OutputFormat& format);
// A Save dialog for a plain text list.
std::optional<QString> ChooseListExportFile(QWidget* parent, const QString& title);
// A Save dialog for a picture; `format` receives svg or png.
std::optional<QString> ChoosePictureExportFile(QWidget* parent, const QString& title,
                                               session::OutputFormat& format);

// "Cannot write <path>: <reason>", the path in the platform's spelling.
QString CannotWriteMessage(const QString& path, const platform::Result& why);

}  // namespace korvath::gui
