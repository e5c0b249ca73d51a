#pragma once
// Exports: the Save dialogs and the writing of a tree or a file list, the
// same for every window. Nothing else Korvath does writes to disk.

#include <QString>
#include <optional>
#include <vector>

#include "engine/tree_writers.h"

class QWidget;

namespace korvath::gui {

// A Save dialog for a tree; nullopt when cancelled. `format` receives
// "text", "json" or "dot", from the file's suffix or else the filter chosen.
std::optional<QString> ChooseTreeExportFile(QWidget* parent, const QString& title,
                                            QString& format);
// A Save dialog for a plain text list.
std::optional<QString> ChooseListExportFile(QWidget* parent, const QString& title);

// A Save dialog for a picture; `format` receives "svg" or "png".
std::optional<QString> ChoosePictureExportFile(QWidget* parent, const QString& title,
                                               QString& format);

// False, after `path` may have been partly written, when it cannot be.
bool WriteTreeFile(const QString& path, const QString& format, const engine::NodeTree& tree,
                   const std::vector<Text>& messages);
bool WritePathsFile(const QString& path, const std::vector<Text>& paths);

// "Cannot write <path>", in the platform's spelling.
QString CannotWriteMessage(const QString& path);

}  // namespace korvath::gui
