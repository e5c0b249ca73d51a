#pragma once
// Brings the workspace's program index up to date on a thread of its own. A
// build that takes a while shows a progress dialog that can cancel it; the
// dialog is application modal, so nothing else uses the files meanwhile.

#include "platform/result.h"
#include "session/workspace.h"

class QWidget;

namespace korvath::gui {

platform::Result BuildIndex(QWidget* parent, session::Workspace& workspace);

}  // namespace korvath::gui
