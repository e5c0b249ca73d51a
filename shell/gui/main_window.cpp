#include "shell/gui/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeView>
#include <cstdio>

#include "about/about_box.h"
#include "about/program_icon.h"
#include "cli/tree_writers.h"
#include "shell/file_filter.h"
#include "shell/gui/call_tree_model.h"
#include "shell/gui/editor_launcher.h"
#include "shell/gui/message_box_sink.h"
#include "shell/gui/progress_window.h"
#include "shell/plain_button.h"
#include "shell/qt_text.h"
#include "shell/start_name.h"
#include "shell/startup_settings.h"
#include "shell/twips.h"

namespace korvath {
namespace {

#ifdef _WIN32
constexpr bool kSlashIsSeparator = false;
#else
constexpr bool kSlashIsSeparator = true;
#endif

}  // namespace

MainWindowServices MainWindowServices::Desktop() {
  MainWindowServices s;
  s.openFileDialog = [](QWidget* parent, const QString& filter) -> std::optional<QString> {
    const QString path = QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
  };
  s.saveFileDialog = [](QWidget* parent, QString& format) -> std::optional<QString> {
    const QString text = QStringLiteral("Text (*.txt)");
    const QString json = QStringLiteral("JSON (*.json)");
    const QString dot = QStringLiteral("Graphviz DOT (*.dot *.gv)");
    QString selected = text;
    const QString path = QFileDialog::getSaveFileName(
        parent, QStringLiteral("Export tree"), QString(), text + ";;" + json + ";;" + dot, &selected);
    if (path.isEmpty()) return std::nullopt;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("json") || (suffix != QLatin1String("txt") && selected == json)) {
      format = QStringLiteral("json");
    } else if (suffix == QLatin1String("dot") || suffix == QLatin1String("gv") ||
               (suffix != QLatin1String("txt") && selected == dot)) {
      format = QStringLiteral("dot");
    } else {
      format = QStringLiteral("text");
    }
    return path;
  };
  s.showMessage = [](QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    PresentMessageBox(parent, icon, text);
  };
  s.openInEditor = [](const QString& path, int line) { return OpenInEditor(path, line); };
  s.showAbout = [](QWidget* parent) {
    about::AboutBox box(parent);
    box.exec();
  };
  s.endProgram = [] { QCoreApplication::exit(0); };
  return s;
}

MainWindow::MainWindow(platform::FileSystem& fs, MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), fs_(fs), services_(std::move(services)) {
  setWindowTitle(QStringLiteral("Korvath"));
  setWindowIcon(about::ProgramIcon());
  model_ = new CallTreeModel(this);
  model_->SetIcon(QIcon(about::ProgramIconPixmap(16)));
  BuildControls();
  BuildMenus();
  txtFileName->setFocus();
}

MainWindow::~MainWindow() {
  if (frmOptions_) delete frmOptions_.data();
}

void MainWindow::BuildControls() {
  auto* client = new QWidget(this);
  client->setFixedSize(Twips(5145), Twips(5940));
  setCentralWidget(client);

  Frame1 = new QGroupBox(QStringLiteral("File name"), client);
  Frame1->setGeometry(TwipsRect(120, 120, 4935, 975));
  txtFileName = new QLineEdit(Frame1);
  txtFileName->setGeometry(TwipsRect(240, 360, 3855, 375));
  cmdOpenFile = PlainButton(QStringLiteral("..."), Frame1);
  cmdOpenFile->setGeometry(TwipsRect(4320, 360, 375, 375));

  trvFiles = new QTreeView(client);
  trvFiles->setGeometry(TwipsRect(120, 1320, 4935, 3735));
  trvFiles->setModel(model_);
  trvFiles->setHeaderHidden(true);
  trvFiles->setUniformRowHeights(true);
  trvFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  trvFiles->setContextMenuPolicy(Qt::CustomContextMenu);
  trvFiles->header()->setStretchLastSection(false);
  trvFiles->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

  cmdExit = PlainButton(QStringLiteral("&Exit"), client);
  cmdExit->setGeometry(TwipsRect(3720, 5280, 1335, 495));
  cmdParse = PlainButton(QStringLiteral("&Parse"), client);
  cmdParse->setGeometry(TwipsRect(2040, 5280, 1335, 495));

  setTabOrder(txtFileName, cmdOpenFile);
  setTabOrder(cmdOpenFile, trvFiles);
  setTabOrder(trvFiles, cmdExit);
  setTabOrder(cmdExit, cmdParse);

  connect(txtFileName, &QLineEdit::returnPressed, this, [this] { cmdParse_Click(); });
  connect(cmdParse, &QPushButton::clicked, this, [this] { cmdParse_Click(); });
  connect(cmdOpenFile, &QPushButton::clicked, this, [this] { cmdOpenFile_Click(); });
  connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
  connect(trvFiles, &QTreeView::activated, this, [this](const QModelIndex& i) { OpenCallSite(i); });
  connect(trvFiles, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { ShowTreeMenu(at); });

  // The window may be resized; the controls keep their places.
  adjustSize();
}

void MainWindow::BuildMenus() {
  QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
  mnuFileOpen = mnuFile->addAction(QStringLiteral("&Open..."));
  mnuFileExport = mnuFile->addAction(QStringLiteral("Export &tree..."));
  mnuFile->addSeparator();
  mnuFileExit = mnuFile->addAction(QStringLiteral("&Exit"));
  QMenu* mnuOptions = menuBar()->addMenu(QStringLiteral("&Options"));
  mnuOptionsOptions = mnuOptions->addAction(QStringLiteral("&Options..."));
  QMenu* mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
  mnuHelpAbout = mnuHelp->addAction(QStringLiteral("&About..."));

  connect(mnuFileOpen, &QAction::triggered, this, [this] { cmdOpenFile_Click(); });
  connect(mnuFileExport, &QAction::triggered, this, [this] { mnuFileExport_Click(); });
  connect(mnuFileExit, &QAction::triggered, this, [this] { mnuFileExit_Click(); });
  connect(mnuOptionsOptions, &QAction::triggered, this, [this] { mnuOptionsOptions_Click(); });
  connect(mnuHelpAbout, &QAction::triggered, this, [this] { mnuHelpAbout_Click(); });
}

void MainWindow::Form_Load(const Text& fallbackDirectory) {
  frmOptions_ = new OptionsDialog(state_, this);
  if (services_.optionsFileChooser) frmOptions_->SetFileChooser(services_.optionsFileChooser);
  const StartupSettings settings = LoadStartupSettings(fs_, fallbackDirectory);
  frmOptions_->txtMatlabDirectory->setText(ToQString(settings.PathBox));
  state_.PathdefFile = settings.PathdefFile;
  state_.Discards = settings.Discards;
}

void MainWindow::cmdParse_Click() {
  // A message box shown during a run lets events through; a second run must
  // not start inside the first.
  if (running_) return;
  running_ = true;
  const Text startName = StartNameFromInput(ToText(txtFileName->text()), kSlashIsSeparator);

  ProgressWindow progress(this);
  progress.captionObserver = services_.captionObserver;
  MessageBoxSink messages([this](QMessageBox::Icon icon, const QString& text) {
    services_.showMessage(this, icon, text);
  });
  CallTree tree;
  RunServices run{fs_, progress, messages, tree, Limits};
  const RunOutcome outcome = ParseAndBuild(state_, startName, run);
  // The window keeps showing the previous tree until the run is over.
  if (outcome != RunOutcome::PathdefFailed) {
    model_->SetTree(std::move(tree), state_.FinalRecords, state_.FilePaths);
  }
  lastMessages_ = messages.All();
  if (!messages.UnreadableFiles().empty()) {
    services_.showMessage(this, QMessageBox::Warning,
                          QStringLiteral("These files could not be read; their calls are missing:\n") +
                              QStringList(messages.UnreadableFiles().begin(),
                                          messages.UnreadableFiles().end())
                                  .join(QLatin1Char('\n')));
  }
  ++runCount_;
  running_ = false;
}

void MainWindow::cmdOpenFile_Click() {
  if (running_) return;
  const std::optional<QString> chosen = services_.openFileDialog(
      this, QtFileFilter(QStringLiteral("m-Files (*.m)|*.m|All Files (*.*)|*.*")));
  if (chosen) {
    lastChosenFile_ = *chosen;
    // As the Windows dialog does: the chosen file's folder becomes current,
    // which is what makes the file findable by its bare name.
    fs_.SetCurrentDirectory(ToText(QFileInfo(*chosen).absolutePath()));
  }
  txtFileName->setText(lastChosenFile_);
  if (!txtFileName->text().isEmpty()) cmdParse_Click();
}

void MainWindow::cmdExit_Click() { services_.endProgram(); }

void MainWindow::mnuFileExit_Click() { services_.endProgram(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  services_.endProgram();
}

void MainWindow::mnuOptionsOptions_Click() {
  if (!frmOptions_) {
    frmOptions_ = new OptionsDialog(state_, this);
    if (services_.optionsFileChooser) frmOptions_->SetFileChooser(services_.optionsFileChooser);
  }
  frmOptions_->show();
  frmOptions_->raise();
  frmOptions_->activateWindow();
}

void MainWindow::mnuHelpAbout_Click() { services_.showAbout(this); }

void MainWindow::mnuFileExport_Click() {
  QString format;
  const std::optional<QString> path = services_.saveFileDialog(this, format);
  if (!path) return;
  std::FILE* file = std::fopen(QFile::encodeName(*path).constData(), "wb");
  if (file == nullptr) {
    services_.showMessage(this, QMessageBox::Critical,
                          QStringLiteral("Cannot write %1").arg(QDir::toNativeSeparators(*path)));
    return;
  }
  const CallTree& tree = model_->Tree();
  if (format == QLatin1String("json")) {
    cli::WriteJson(file, tree, model_->Records(), lastMessages_);
  } else if (format == QLatin1String("dot")) {
    cli::WriteDot(file, tree, model_->Records());
  } else {
    cli::WriteTextTree(file, tree, model_->Records());
  }
  const bool failed = std::ferror(file) != 0;
  if (std::fclose(file) != 0 || failed) {
    services_.showMessage(this, QMessageBox::Critical,
                          QStringLiteral("Cannot write %1").arg(QDir::toNativeSeparators(*path)));
  }
}

void MainWindow::OpenCallSite(const QModelIndex& index) {
  QString path;
  int line = 1;
  if (model_->CallSite(model_->NodeOf(index), path, line)) services_.openInEditor(path, line);
}

QString MainWindow::SubtreeText(int node) const {
  const CallTree& tree = model_->Tree();
  const std::vector<int> depth = tree.Depths();
  const int base = depth[static_cast<std::size_t>(node)];
  QString text;
  // A node's subtree is the run of nodes after it that lie deeper.
  for (int n = node; n <= tree.Count(); ++n) {
    const int d = depth[static_cast<std::size_t>(n)];
    if (n != node && d <= base) break;
    text += QString(2 * static_cast<qsizetype>(d - base), QLatin1Char(' ')) +
            ToQString(tree.NodeText(n, model_->Records())) + QLatin1Char('\n');
  }
  return text;
}

void MainWindow::ShowTreeMenu(const QPoint& at) {
  const QModelIndex index = trvFiles->indexAt(at);
  QMenu menu(this);
  QAction* expand = menu.addAction(QStringLiteral("&Expand all"));
  QAction* collapse = menu.addAction(QStringLiteral("&Collapse all"));
  QAction* copy = menu.addAction(QStringLiteral("C&opy"));
  copy->setEnabled(index.isValid());
  QAction* chosen = menu.exec(trvFiles->viewport()->mapToGlobal(at));
  if (chosen == expand) {
    trvFiles->expandAll();
  } else if (chosen == collapse) {
    trvFiles->collapseAll();
  } else if (chosen == copy && index.isValid()) {
    QGuiApplication::clipboard()->setText(SubtreeText(model_->NodeOf(index)));
  }
}

}  // namespace korvath
