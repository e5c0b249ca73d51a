#include "gui/about/about_box.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "engine/messages.h"
#include "gui/about/program_icon.h"
#include "gui/about/version_text.h"
#include "gui/widgets/message_box.h"
#include "gui/widgets/qt_text.h"
#include "gui/widgets/twips.h"
#include "platform/host.h"
#include "platform/host_program_launcher.h"
#include "session/system_info.h"

namespace korvath::gui {
namespace {

void ShowPlainMessageBox(QWidget* parent, const QString& text) {
  ShowMessageBox(parent, QMessageBox::NoIcon, text);
}

const char kDescription[] =
    "Korvath shows the call tree of a MATLAB program. Name one .m file and "
    "Korvath follows every function it calls, and every function those call, "
    "through the directories of MATLAB's search path as pathdef.m lists "
    "them. Each node of the tree carries the line numbers of its calls.\n\n"
    "A function called from several places is expanded once and marked "
    "\"Also called by\" everywhere else. Names without a file on the search "
    "path drop out by themselves, and a discard list hides the functions you "
    "do not want to see.";

}  // namespace

struct AboutBox::HostServices {
  std::unique_ptr<platform::Registry> registry = platform::MakeHostRegistry();
  platform::HostProgramLauncher launcher;
};

AboutBox::AboutBox(QWidget* parent) : AboutBox(std::make_unique<HostServices>(), parent) {}

AboutBox::AboutBox(std::unique_ptr<HostServices> host, QWidget* parent)
    : AboutBox(*host->registry, host->launcher, parent) {
  host_ = std::move(host);
}

AboutBox::AboutBox(platform::Registry& registry, platform::ProgramLauncher& launcher,
                   QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      registry_(&registry),
      launcher_(&launcher),
      showMessage_(ShowPlainMessageBox) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("About ") + ToQString(engine::messages::kApplicationTitle));
  buildLayout();
}

AboutBox::~AboutBox() = default;

void AboutBox::setMessageShower(MessageShower shower) { showMessage_ = std::move(shower); }

void AboutBox::buildLayout() {
  const double dpi = logicalDpiY();
  const QRect client = TwipsRect(0, 0, 6555, 6135, dpi);
  setFixedSize(client.size());

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("picIcon"));
  icon->setGeometry(TwipsRect(240, 240, 540, 540, dpi));
  icon->setAlignment(Qt::AlignCenter);
  // 32 x 32 inside its 36-pixel box at 96 dpi, larger on denser screens.
  icon->setPixmap(ProgramIconPixmap(TwipsToPixels(480, dpi)));

  auto* title = new QLabel(QStringLiteral("Korvath"), this);
  title->setObjectName(QStringLiteral("lblTitle"));
  QFont title_font;
  title_font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"),
                          QStringLiteral("Bitstream Vera Sans")});
  title_font.setStyleHint(QFont::SansSerif);
  title_font.setPointSizeF(14.25);
  title_font.setBold(true);
  title->setFont(title_font);
  title->setGeometry(TwipsRect(1050, 240, 2205, 480, dpi));
  title->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  auto* version = new QLabel(VersionText(), this);
  version->setObjectName(QStringLiteral("lblVersion"));
  QRect version_box = TwipsRect(1050, 780, 3885, 225, dpi);
  // The box was laid out for a small dialog font; never cut the text off.
  version_box.setHeight(std::max(version_box.height(), version->sizeHint().height()));
  version->setGeometry(version_box);
  version->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  for (const int y : {1320, 5160}) {
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    const QRect span = TwipsRect(240, y, 6480 - 240, 0, dpi);
    line->setGeometry(span.left(), span.top(), span.width(), 2);
  }

  auto* description = new QLabel(QString::fromUtf8(kDescription), this);
  description->setObjectName(QStringLiteral("lblDescription"));
  description->setGeometry(TwipsRect(1080, 1605, 5325, 3330, dpi));
  description->setWordWrap(true);
  description->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("cmdOK"));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  auto* sys_info = new QPushButton(QStringLiteral("&System Info..."), this);
  sys_info->setObjectName(QStringLiteral("cmdSysInfo"));
  connect(sys_info, &QPushButton::clicked, this, &AboutBox::startSystemInfo);

  // The buttons share a right edge; with a wide system font they grow to
  // the left, both alike, rather than cut "System Info..." short.
  QRect ok_box = TwipsRect(4965, 5265, 1260, 345, dpi);
  QRect sys_info_box = TwipsRect(4980, 5715, 1245, 345, dpi);
  const int text_width = std::max(ok_->sizeHint().width(), sys_info->sizeHint().width());
  if (text_width > sys_info_box.width()) {
    const int grow = text_width - sys_info_box.width();
    ok_box.setLeft(ok_box.left() - grow);
    sys_info_box.setLeft(sys_info_box.left() - grow);
  }
  ok_->setGeometry(ok_box);
  sys_info->setGeometry(sys_info_box);

  ok_->setFocus();
}

void AboutBox::keyPressEvent(QKeyEvent* event) {
  // OK is the cancel button as well: Esc presses it rather than rejecting.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    ok_->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

void AboutBox::startSystemInfo() {
  session::StartSysInfo(*registry_, *launcher_, [this](const std::u16string& text) {
    if (showMessage_) showMessage_(this, QString::fromStdU16String(text));
  });
}

}  // namespace korvath::gui
