#pragma once
// The Save dialogs of the exports, the same for every window, offering the
// formats of the session's table. The writing is the workspace's.

#include <QString>
#include <optional>
#include <span>

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
// A Save dialog for a picture offering the file name `suggested`; `format`
// receives svg or png, and a name without the suffix of either gets the
// chosen filter's.
std::optional<QString> ChoosePictureExportFile(QWidget* parent, const QString& title,
                                               const QString& suggested,
                                               session::OutputFormat& format);

// The file a Save dialog's answer names: `path` as typed when its suffix
// names one of the `offered` formats, which `format` then receives; else
// `path` with the suffix of `selected`, the format whose filter was chosen.
QString SavedFile(const QString& path, session::OutputFormat selected,
                  std::span<const session::OutputFormat> offered, session::OutputFormat& format);

// "Cannot write <path>: <reason>", the path in the platform's spelling.
QString CannotWriteMessage(const QString& path, const platform::Result& why);

}  // namespace korvath::gui
