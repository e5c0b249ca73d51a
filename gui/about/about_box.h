#pragma once
// The About box: name, icon, version and description of the program, and a
// button that starts the system's information tool.

#include <QDialog>
#include <functional>
#include <memory>

#include "platform/program_launcher.h"
#include "platform/registry.h"

class QPushButton;

namespace korvath::gui {

class AboutBox : public QDialog {
  Q_OBJECT

 public:
  // Shows how the System Info button reports that the tool is unavailable.
  using MessageShower = std::function<void(QWidget* parent, const QString& text)>;

  // Finds the tool in this machine's registry (outside Windows there is
  // none, so the button reports it unavailable) and starts it here.
  explicit AboutBox(QWidget* parent = nullptr);
  // Uses `registry` and `launcher`, which must outlive the dialog.
  AboutBox(platform::Registry& registry, platform::ProgramLauncher& launcher,
           QWidget* parent = nullptr);
  ~AboutBox() override;

  // Replaces the message box, which is modal, e.g. to record the message.
  void setMessageShower(MessageShower shower);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct HostServices;

  AboutBox(std::unique_ptr<HostServices> host, QWidget* parent);
  void buildLayout();
  void startSystemInfo();

  std::unique_ptr<HostServices> host_;
  platform::Registry* registry_;
  platform::ProgramLauncher* launcher_;
  MessageShower showMessage_;
  QPushButton* ok_ = nullptr;
};

}  // namespace korvath::gui
