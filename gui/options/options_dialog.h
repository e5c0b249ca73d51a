#pragma once
// The options dialog: where pathdef.m lies, which groups of the discard
// list are shown, and how names are resolved. It changes only the values in
// memory.

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

#include "session/startup_settings.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace korvath::gui {

class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  // Shows an Open dialog; nullopt when the user cancels.
  using FileChooser = std::function<std::optional<QString>(QWidget* parent, const QString& title,
                                                           const QString& filter)>;

  // `settings` must outlive the dialog. The dialog deletes itself when closed.
  explicit OptionsDialog(session::Settings& settings, QWidget* parent = nullptr);
  ~OptionsDialog() override;

  void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

  void onTabChanged();
  void locatePathdef();
  void acceptChanges();
  void cancel();
  void selectNextTab();

  QTabWidget* tbsOptions = nullptr;
  QWidget* picOptions[3] = {nullptr, nullptr, nullptr};
  QGroupBox* frmFile = nullptr;
  QLineEdit* txtMatlabDirectory = nullptr;
  QPushButton* cmdLocate = nullptr;
  QGroupBox* fraSample2 = nullptr;
  QPlainTextEdit* txtTypes = nullptr;
  QCheckBox* chkMatlabResolution = nullptr;
  QCheckBox* chkPossibleCalls = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override;

 private:
  void centreOnScreen();

  session::Settings& settings_;
  FileChooser chooseFile_;
  QString lastPicked_;  // the file dialog's name: empty until a file is picked
};

}  // namespace korvath::gui
