#include "gui/options/options_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

#include "gui/widgets/file_filter.h"
#include "gui/widgets/message_box.h"
#include "gui/widgets/plain_button.h"
#include "gui/widgets/qt_text.h"
#include "gui/widgets/twips.h"
#include "session/discard_list.h"

namespace korvath::gui {
namespace {

// One group a line, each line ended.
QString GroupList(const std::vector<Text>& groups) {
  QString list;
  for (const Text& group : groups) list += ToQString(group) + QLatin1Char('\n');
  return list;
}

}  // namespace

OptionsDialog::OptionsDialog(session::Settings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), chooseFile_(ChooseFileToOpen) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Options"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(Twips(6105), Twips(4170));

  setObjectName(QStringLiteral("frmOptions"));
  tbsOptions = Placed(new QTabWidget(this), "tbsOptions", 120, 120, 5895, 3405);
  for (auto& page : picOptions) page = new QWidget;
  tbsOptions->addTab(picOptions[0], QStringLiteral("Matlab path"));
  tbsOptions->addTab(picOptions[1], QStringLiteral("File types"));
  tbsOptions->addTab(picOptions[2], QStringLiteral("Miscellaneous"));

  frmFile = new QGroupBox(QStringLiteral("Please locate the Matlab directory"), picOptions[0]);
  frmFile->setGeometry(TwipsRect(210, 255, 4575, 705 + 120));
  txtMatlabDirectory = Placed(new QLineEdit(frmFile), "txtMatlabDirectory", 120, 300, 3855, 375);
  cmdLocate =
      Placed(new PlainButton(QStringLiteral("..."), frmFile), "cmdLocate", 4080, 300, 375, 375);

  fraSample2 = new QGroupBox(
      QStringLiteral("Select which basic file types to show by editing this list:"), picOptions[1]);
  fraSample2->setGeometry(TwipsRect(120, 120, 5415, 2265));
  txtTypes = Placed(new QPlainTextEdit(fraSample2), "txtTypes", 240, 360, 4935, 1695);
  txtTypes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtTypes->setLineWrapMode(QPlainTextEdit::NoWrap);

  chkMatlabResolution =
      Placed(new QCheckBox(QStringLiteral("Resolve names as MATLAB does"), picOptions[2]),
             "chkMatlabResolution", 240, 240, 5415, 375);
  chkPossibleCalls =
      Placed(new QCheckBox(QStringLiteral("Follow obj.method(...) to the only class with it"),
                           picOptions[2]),
             "chkPossibleCalls", 480, 660, 5175, 375);
  chkMatlabResolution->setChecked(settings_.resolution == session::ResolutionMode::Matlab);
  chkPossibleCalls->setChecked(settings_.possibleCalls);
  chkPossibleCalls->setEnabled(chkMatlabResolution->isChecked());
  connect(chkMatlabResolution, &QCheckBox::toggled, chkPossibleCalls, &QWidget::setEnabled);

  cmdOK = Placed(new PlainButton(QStringLiteral("OK"), this), "cmdOK", 4920, 3735, 1095, 375);
  cmdCancel =
      Placed(new PlainButton(QStringLiteral("Cancel"), this), "cmdCancel", 3720, 3735, 1095, 375);
  setTabOrder(cmdOK, cmdCancel);

  // The path box shows the current location, so that OK in a dialog opened
  // again does not silently empty it.
  txtMatlabDirectory->setText(ToQString(settings_.pathdefFile));
  // The list starts with the groups shown now, so that OK in a dialog opened
  // again keeps them; choosing the tab lists every group.
  txtTypes->setPlainText(GroupList(session::ShownGroups(settings_.discards)));

  connect(tbsOptions, &QTabWidget::currentChanged, this, &OptionsDialog::onTabChanged);
  connect(cmdLocate, &QPushButton::clicked, this, &OptionsDialog::locatePathdef);
  connect(cmdOK, &QPushButton::clicked, this, &OptionsDialog::acceptChanges);
  connect(cmdCancel, &QPushButton::clicked, this, &OptionsDialog::cancel);
  qApp->installEventFilter(this);
  centreOnScreen();
  onTabChanged();
}

OptionsDialog::~OptionsDialog() { qApp->removeEventFilter(this); }

void OptionsDialog::centreOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void OptionsDialog::onTabChanged() {
  const int selected = tbsOptions->currentIndex();
  for (int i = 0; i < 3; ++i) picOptions[i]->setEnabled(i == selected);
  if (selected != 1) return;
  // The list always shows every group once, in order of first appearance.
  txtTypes->setPlainText(GroupList(session::DiscardGroups(settings_.discards)));
}

void OptionsDialog::selectNextTab() {
  const int next = tbsOptions->currentIndex() + 1;
  tbsOptions->setCurrentIndex(next >= tbsOptions->count() ? 0 : next);
}

void OptionsDialog::locatePathdef() {
  const std::optional<QString> picked =
      chooseFile_(this, QStringLiteral("Please locate the pathdef.m file"),
                  QtFileFilter(QStringLiteral("pathdef.m|pathdef.m|All Files (*.*)|*.*")));
  if (picked) lastPicked_ = *picked;
  txtMatlabDirectory->setText(lastPicked_);
}

void OptionsDialog::acceptChanges() {
  settings_.pathdefFile = ToText(txtMatlabDirectory->text());
  QStringList lines = txtTypes->toPlainText().split(QLatin1Char('\n'));
  // Text after the last line end is a line too, unless it is empty.
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  std::vector<Text> groups;
  for (const QString& line : lines) groups.push_back(ToText(line));
  session::ShowOnlyGroups(settings_.discards, groups);
  settings_.resolution = chkMatlabResolution->isChecked() ? session::ResolutionMode::Matlab
                                                          : session::ResolutionMode::Path;
  settings_.possibleCalls = chkPossibleCalls->isChecked();
  done(QDialog::Accepted);
}

void OptionsDialog::cancel() { done(QDialog::Rejected); }

void OptionsDialog::reject() { cancel(); }

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
    return QDialog::eventFilter(watched, event);
  }
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != this) return QDialog::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
  const bool ctrlTab = key->key() == Qt::Key_Tab && mods == Qt::ControlModifier;
  const bool ctrlShiftTab =
      key->key() == Qt::Key_Backtab && mods == (Qt::ControlModifier | Qt::ShiftModifier);
  if (!ctrlTab && !ctrlShiftTab) return QDialog::eventFilter(watched, event);
  if (event->type() == QEvent::ShortcutOverride) {
    event->accept();  // keep the tab widget's own Ctrl+Tab handling out
    return true;
  }
  if (ctrlTab) selectNextTab();
  return true;
}

}  // namespace korvath::gui
