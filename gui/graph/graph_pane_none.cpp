// The pane in a build without Graphviz or Qt SVG: it says what to install.
#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>

#include "gui/graph/graph_pane.h"

namespace korvath::gui {

struct GraphPane::Layout {
  engine::CallGraph none;
};

bool GraphPane::available() { return false; }

GraphPane::GraphPane(QWidget* parent) : QWidget(parent), layout_(std::make_unique<Layout>()) {
  setObjectName(QStringLiteral("fraGraph"));
  auto* layout = new QVBoxLayout(this);
  cboGraph = new QComboBox(this);
  cboGraph->setObjectName(QStringLiteral("cboGraph"));
  cboGraph->addItem(QStringLiteral("Call graph"));
  cboGraph->addItem(QStringLiteral("Callers graph"));
  cboGraph->setEnabled(false);
  lblGraph = new QLabel(
      QStringLiteral("The call graph picture needs Graphviz and Qt SVG: install "
                     "libgraphviz-dev and qt6-svg-dev (Debian) and build Korvath again."),
      this);
  lblGraph->setObjectName(QStringLiteral("lblGraph"));
  lblGraph->setWordWrap(true);
  layout->addWidget(cboGraph);
  layout->addWidget(lblGraph);
  layout->addStretch(1);
}

GraphPane::~GraphPane() = default;

void GraphPane::setTree(engine::TreeKind /*kind*/, const engine::NodeTree& /*tree*/) {}
void GraphPane::selectNode(engine::TreeKind /*kind*/, int /*node*/) {}
engine::TreeKind GraphPane::shownKind() const { return engine::TreeKind::Calls; }
void GraphPane::showKind(engine::TreeKind /*kind*/) {}
const engine::CallGraph& GraphPane::shownGraph() const { return layout_->none; }
bool GraphPane::layingOut() const { return false; }
platform::Result GraphPane::exportPicture(const QString& /*path*/,
                                          session::OutputFormat /*format*/) const {
  return platform::Result::Failure(platform::Status::Invalid, "this build draws no pictures");
}
void GraphPane::fitPicture() {}
void GraphPane::showEvent(QShowEvent* event) { QWidget::showEvent(event); }

}  // namespace korvath::gui
