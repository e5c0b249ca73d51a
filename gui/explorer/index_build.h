#pragma once
// Brings the program index up to date on a thread of its own. A build that
// takes a while shows a progress dialog that can cancel it; the dialog is
// application modal, so nothing else uses the files meanwhile.

#include "platform/file_system.h"
#include "platform/result.h"
#include "session/search_path_index.h"

class QWidget;

namespace korvath::gui {

platform::Result BuildIndex(QWidget* parent, session::SearchPathIndex& index,
                            platform::FileSystem& fs, const Text& pathdefFile);

}  // namespace korvath::gui
