#pragma once
// Messages of a run as message boxes. Each distinct text is shown once per
// run: a deep recursion can raise the same warning thousands of times.

#include <QMessageBox>
#include <functional>
#include <vector>

#include "engine/run_interfaces.h"
#include "session/message_tally.h"

namespace korvath::gui {

class MessageBoxSink final : public engine::MessageSink {
 public:
  using Presenter = std::function<void(QMessageBox::Icon, const QString& text)>;

  explicit MessageBoxSink(Presenter presenter) : presenter_(std::move(presenter)) {}

  void ShowMessage(engine::MessageIcon icon, const Text& text) override;
  void FileUnreadable(const Text& path, const platform::Result& why) override;

  // Every message of the run, repeats included, in order.
  const std::vector<Text>& all() const { return tally_.All(); }
  const std::vector<QString>& unreadableFiles() const { return unreadable_; }

 private:
  Presenter presenter_;
  session::MessageTally tally_;
  std::vector<QString> unreadable_;
};

}  // namespace korvath::gui
