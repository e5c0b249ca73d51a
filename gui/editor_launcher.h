#pragma once
// Opens a source file at a line in the user's editor.

#include <QString>
#include <QStringList>

#include "platform/result.h"

namespace korvath::gui {

// The program and arguments for $VISUAL or $EDITOR ("+LINE FILE"); empty
// when neither is set.
QStringList EditorCommand(const QString& editor, const QString& path, int line);

// Starts the editor without waiting, or the desktop's handler for the file.
// A failure's description is a sentence naming the program and the system's
// reason.
platform::Result OpenInEditor(const QString& path, int line);

}  // namespace korvath::gui
