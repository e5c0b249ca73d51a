#pragma once
// Messages of a run as message boxes. Each distinct text is shown once per
// run: a deep recursion can raise the same warning thousands of times.

#include <QMessageBox>
#include <functional>
#include <set>
#include <vector>

#include "engine/run_interfaces.h"

namespace korvath {

class MessageBoxSink final : public MessageSink {
 public:
  using Presenter = std::function<void(QMessageBox::Icon, const QString& text)>;

  explicit MessageBoxSink(Presenter presenter) : presenter_(std::move(presenter)) {}

  void ShowMessage(MessageIcon icon, const Text& text) override;
  void FileUnreadable(const Text& path, const std::string& reason) override;

  // Every message of the run, repeats included, in order.
  const std::vector<Text>& All() const { return all_; }
  const std::vector<QString>& UnreadableFiles() const { return unreadable_; }

 private:
  Presenter presenter_;
  std::set<Text> shown_;
  std::vector<Text> all_;
  std::vector<QString> unreadable_;
};

// A modal message box titled "korvath".
void PresentMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text);

}  // namespace korvath
