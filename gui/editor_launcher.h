#pragma once
// Opens a source file at a line in the user's editor.

#include <QString>
#include <QStringList>

namespace korvath::gui {

// The program and arguments for $VISUAL or $EDITOR ("+LINE FILE"); empty
// when neither is set.
QStringList EditorCommand(const QString& editor, const QString& path, int line);

// Starts the editor without waiting, or the desktop's handler for the file.
bool OpenInEditor(const QString& path, int line);

}  // namespace korvath::gui
