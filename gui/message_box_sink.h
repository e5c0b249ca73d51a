#pragma once
// Messages of a run as message boxes. Each distinct text is shown once per
// run: a deep recursion can raise the same warning thousands of times.

#include <QMessageBox>
#include <functional>

#include "engine/run_interfaces.h"
#include "session/message_tally.h"

namespace korvath::gui {

class MessageBoxSink final : public engine::MessageSink {
 public:
  using Presenter = std::function<void(QMessageBox::Icon, const QString& text)>;

  explicit MessageBoxSink(Presenter presenter) : presenter_(std::move(presenter)) {}

  void ShowMessage(engine::MessageIcon icon, const Text& text) override;

 private:
  Presenter presenter_;
  session::MessageTally tally_;
};

}  // namespace korvath::gui
