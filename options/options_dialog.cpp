#include "options/options_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

#include "shell/file_filter.h"
#include "shell/plain_button.h"
#include "shell/qt_text.h"
#include "shell/twips.h"

namespace korvath {
namespace {

std::optional<QString> DefaultFileChooser(QWidget* parent, const QString& title,
                                          const QString& filter) {
  const QString path = QFileDialog::getOpenFileName(parent, title, QString(), filter);
  if (path.isEmpty()) return std::nullopt;
  return path;
}

}  // namespace

OptionsDialog::OptionsDialog(EngineState& state, QWidget* parent)
    : QDialog(parent), state_(state), chooseFile_(DefaultFileChooser) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Options"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(Twips(6105), Twips(4170));

  tbsOptions = new QTabWidget(this);
  tbsOptions->setGeometry(TwipsRect(120, 120, 5895, 3405));
  for (auto& page : picOptions) page = new QWidget;
  tbsOptions->addTab(picOptions[0], QStringLiteral("Matlab path"));
  tbsOptions->addTab(picOptions[1], QStringLiteral("File types"));
  tbsOptions->addTab(picOptions[2], QStringLiteral("Miscellaneous"));

  frmFile = new QGroupBox(QStringLiteral("Please locate the Matlab directory"), picOptions[0]);
  frmFile->setGeometry(TwipsRect(210, 255, 4575, 705 + 120));
  txtMatlabDirectory = new QLineEdit(frmFile);
  txtMatlabDirectory->setGeometry(TwipsRect(120, 300, 3855, 375));
  cmdLocate = PlainButton(QStringLiteral("..."), frmFile);
  cmdLocate->setGeometry(TwipsRect(4080, 300, 375, 375));

  fraSample2 = new QGroupBox(
      QStringLiteral("Select which basic file types to show by editing this list:"), picOptions[1]);
  fraSample2->setGeometry(TwipsRect(120, 120, 5415, 2265));
  txtTypes = new QPlainTextEdit(fraSample2);
  txtTypes->setGeometry(TwipsRect(240, 360, 4935, 1695));
  txtTypes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtTypes->setLineWrapMode(QPlainTextEdit::NoWrap);

  cmdOK = PlainButton(QStringLiteral("OK"), this);
  cmdOK->setGeometry(TwipsRect(4920, 3735, 1095, 375));
  cmdCancel = PlainButton(QStringLiteral("Cancel"), this);
  cmdCancel->setGeometry(TwipsRect(3720, 3735, 1095, 375));
  setTabOrder(cmdOK, cmdCancel);

  // The path box shows the current location, so that OK in a dialog opened
  // again does not silently empty it.
  txtMatlabDirectory->setText(ToQString(state_.PathdefFile));

  connect(tbsOptions, &QTabWidget::currentChanged, this, [this] { tbsOptions_Click(); });
  connect(cmdLocate, &QPushButton::clicked, this, [this] { cmdLocate_Click(); });
  connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
  qApp->installEventFilter(this);
  CentreOnScreen();
  tbsOptions_Click();
}

OptionsDialog::~OptionsDialog() { qApp->removeEventFilter(this); }

void OptionsDialog::CentreOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void OptionsDialog::tbsOptions_Click() {
  const int selected = tbsOptions->currentIndex();
  for (int i = 0; i < 3; ++i) picOptions[i]->setEnabled(i == selected);
  if (selected != 1) return;
  // The list always shows every group once, in order of first appearance.
  std::vector<Text> groups;
  for (std::size_t d = 1; d < state_.Discards.size(); ++d) {
    const Text& group = state_.Discards[d].FileType;
    bool known = false;
    for (const Text& g : groups) known = known || g == group;
    if (!known) groups.push_back(group);
  }
  QString list;
  for (const Text& group : groups) list += ToQString(group) + QLatin1Char('\n');
  txtTypes->setPlainText(list);
}

void OptionsDialog::SelectNextTab() {
  const int next = tbsOptions->currentIndex() + 1;
  tbsOptions->setCurrentIndex(next >= tbsOptions->count() ? 0 : next);
}

void OptionsDialog::cmdLocate_Click() {
  const std::optional<QString> picked =
      chooseFile_(this, QStringLiteral("Please locate the pathdef.m file"),
                  QtFileFilter(QStringLiteral("pathdef.m|pathdef.m|All Files (*.*)|*.*")));
  if (picked) lastPicked_ = *picked;
  txtMatlabDirectory->setText(lastPicked_);
}

void OptionsDialog::cmdOK_Click() {
  state_.PathdefFile = ToText(txtMatlabDirectory->text());
  for (std::size_t d = 1; d < state_.Discards.size(); ++d) state_.Discards[d].Show = false;
  QStringList lines = txtTypes->toPlainText().split(QLatin1Char('\n'));
  // Text after the last line end is a line too, unless it is empty.
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  for (const QString& line : lines) {
    const Text group = ToText(line);
    for (std::size_t d = 1; d < state_.Discards.size(); ++d) {
      if (state_.Discards[d].FileType == group) state_.Discards[d].Show = true;
    }
  }
  done(QDialog::Accepted);
}

void OptionsDialog::cmdCancel_Click() { done(QDialog::Rejected); }

void OptionsDialog::reject() { cmdCancel_Click(); }

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
  if (ctrlTab) SelectNextTab();
  return true;
}

}  // namespace korvath
