#include "gui/graph/graph_pane.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFutureWatcher>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include "graph/graph_layout.h"
#include "gui/graph/graph_view.h"
#include "gui/widgets/qt_text.h"
#include "session/graph_plan.h"

namespace korvath::gui {
namespace {

using engine::TreeKind;

struct Rendered {
  QByteArray svg;
  QString error;  // empty when laid out
};

Rendered Render(const std::string& dot) {
  Rendered rendered;
  std::string svg;
  const platform::Result result = graph::RenderGraph(dot, "svg", svg);
  if (result.ok()) {
    rendered.svg = QByteArray(svg.data(), static_cast<qsizetype>(svg.size()));
  } else {
    rendered.error = QString::fromStdString(result.description);
  }
  return rendered;
}

std::size_t KindIndex(TreeKind kind) { return kind == TreeKind::Calls ? 0 : 1; }

constexpr int kLargestImageSide = 8192;

}  // namespace

struct GraphPane::Layout {
  engine::CallGraph whole;  // of the tree shown
  bool wholeStale = true;
  engine::CallGraph requested;  // being laid out
  std::vector<int> requestedOfWhole;
  QString requestedText;
  engine::CallGraph shown;  // drawn
  // The drawn function of each function of the whole graph, or -1; empty
  // when the whole graph is drawn.
  std::vector<int> shownOfWhole;
  bool shownCurrent = false;  // drawn from the trees as they are
  bool partial = false;       // the drawn graph is a neighbourhood
  int requestedCentre = -1;   // its centre in the whole graph, when it is one
  bool busy = false;
  bool again = false;     // asked for while busy
  bool deferred = false;  // asked for while hidden
  QFutureWatcher<Rendered> watcher;
  QElapsedTimer clock;  // from the request to the picture shown
};

bool GraphPane::available() { return true; }

GraphPane::GraphPane(QWidget* parent) : QWidget(parent), layout_(std::make_unique<Layout>()) {
  setObjectName(QStringLiteral("fraGraph"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  cboGraph = new QComboBox(this);
  cboGraph->setObjectName(QStringLiteral("cboGraph"));
  cboGraph->addItem(QStringLiteral("Call graph"));
  cboGraph->addItem(QStringLiteral("Callers graph"));
  lblGraph = new QLabel(this);
  lblGraph->setObjectName(QStringLiteral("lblGraph"));
  lblGraph->setWordWrap(true);
  view = new GraphView(this);
  layout->addWidget(cboGraph);
  layout->addWidget(lblGraph);
  layout->addWidget(view, 1);
  connect(cboGraph, &QComboBox::currentIndexChanged, this, [this] {
    layout_->wholeStale = true;
    layout_->shownCurrent = false;
    relayout();
  });
  connect(&layout_->watcher, &QFutureWatcher<Rendered>::finished, this, &GraphPane::onLayoutDone);
  connect(view, &GraphView::functionClicked, this, [this](int function) {
    const Layout& l = *layout_;
    if (!l.shownCurrent || static_cast<std::size_t>(function) >= l.shown.functions.size()) return;
    emit nodeClicked(shownKind(), l.shown.functions[static_cast<std::size_t>(function)].treeNode);
  });
}

GraphPane::~GraphPane() = default;

TreeKind GraphPane::shownKind() const {
  return cboGraph->currentIndex() == 1 ? TreeKind::Callers : TreeKind::Calls;
}

void GraphPane::showKind(TreeKind kind) {
  cboGraph->setCurrentIndex(kind == TreeKind::Calls ? 0 : 1);
}

const engine::CallGraph& GraphPane::shownGraph() const { return layout_->shown; }

bool GraphPane::layingOut() const { return layout_->busy || layout_->deferred; }

void GraphPane::setTree(TreeKind kind, const engine::NodeTree& tree) {
  trees_[KindIndex(kind)] = &tree;
  selected_[KindIndex(kind)] = 1;
  if (kind != shownKind()) return;
  layout_->wholeStale = true;
  layout_->shownCurrent = false;
  relayout();
}

void GraphPane::selectNode(TreeKind kind, int node) {
  selected_[KindIndex(kind)] = node;
  const Layout& l = *layout_;
  if (kind != shownKind() || !l.shownCurrent || l.busy) return;  // marked once laid out
  const int function = shownFunctionOf(node);
  if (function < 0 && l.partial) {
    relayout();  // centred on it
  } else {
    view->markFunction(function);
  }
}

int GraphPane::shownFunctionOf(int node) const {
  const Layout& l = *layout_;
  const auto& of = l.whole.functionOfNode;
  if (l.shown.functions.empty() || node <= 0 || static_cast<std::size_t>(node) >= of.size()) {
    return -1;
  }
  const int function = of[static_cast<std::size_t>(node)];
  if (function < 0 || l.shownOfWhole.empty()) return function;
  return l.shownOfWhole[static_cast<std::size_t>(function)];
}

int GraphPane::centre() const {
  const auto& of = layout_->whole.functionOfNode;
  const auto node = static_cast<std::size_t>(selected_[KindIndex(shownKind())]);
  return node < of.size() && of[node] >= 0 ? of[node] : 0;
}

void GraphPane::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (layout_->deferred) relayout();
}

void GraphPane::relayout() {
  Layout& l = *layout_;
  l.deferred = !isVisible();
  if (l.deferred) return;
  if (l.busy) {
    l.again = true;
    return;
  }
  startLayout();
}

void GraphPane::startLayout() {
  Layout& l = *layout_;
  const engine::NodeTree* tree = trees_[KindIndex(shownKind())];
  if (tree == nullptr || tree->Count() == 0) {
    showNoPicture(shownKind() == TreeKind::Calls
                      ? QStringLiteral("No call tree yet: parse a file.")
                      : QStringLiteral("Select a function: the graph of its callers shows here."),
                  false);
    return;
  }
  if (l.wholeStale) {
    l.whole = engine::GraphOfTree(*tree, shownKind());
    if (complete_) complete_(l.whole, *tree);
    l.wholeStale = false;
  }
  const int centre = this->centre();
  session::GraphPlan plan = session::PlanGraph(l.whole, centre, shownKind());
  if (plan.partial) l.requestedCentre = centre;
  if (!plan.drawable) {
    showNoPicture(ToQString(plan.caption), true);
    return;
  }
  const bool partial = plan.partial;
  l.requested = std::move(plan.graph);
  l.requestedOfWhole = std::move(plan.ofWhole);
  l.requestedText = ToQString(plan.caption);
  if (std::any_of(l.requested.functions.begin(), l.requested.functions.end(),
                  [](const engine::CallGraph::Function& f) { return f.cut; })) {
    l.requestedText += shownKind() == TreeKind::Callers
                           ? QStringLiteral(
                                 " Dashed boxes: functions whose callers the tree's node limit "
                                 "cut off, with their callers from the program index.")
                           : QStringLiteral(
                                 " Dashed boxes: functions whose calls the tree's node limit cut "
                                 "off, with their calls from the program index.");
  }
  l.partial = partial;
  l.busy = true;
  l.clock.start();
  lblGraph->setText(
      QStringLiteral("Laying out %1...").arg(ToQString(session::GraphSize(l.requested))));
  l.watcher.setFuture(QtConcurrent::run(Render, engine::GraphDot(l.requested)));
}

void GraphPane::showNoPicture(const QString& text, bool partial) {
  Layout& l = *layout_;
  view->clearPicture();
  l.shown = {};
  l.shownOfWhole.clear();
  l.shownCurrent = true;
  l.partial = partial;  // a neighbourhood wanted: another selection tries again
  lblGraph->setText(text);
  emit pictureChanged();
}

void GraphPane::onLayoutDone() {
  Layout& l = *layout_;
  l.busy = false;
  if (l.again) {  // the trees or the selection moved on meanwhile
    l.again = false;
    relayout();
    return;
  }
  const Rendered rendered = l.watcher.result();
  l.shown = std::move(l.requested);
  l.shownOfWhole = std::move(l.requestedOfWhole);
  l.shownCurrent = true;
  if (!rendered.error.isEmpty() ||
      !view->showPicture(rendered.svg, static_cast<int>(l.shown.functions.size()))) {
    view->clearPicture();
    lblGraph->setText(rendered.error.isEmpty()
                          ? QStringLiteral("Graphviz drew no readable picture.")
                          : rendered.error + QLatin1Char('.'));
  } else {
    lblGraph->setText(l.requestedText +
                      QStringLiteral(" Laid out in %1 s.")
                          .arg(static_cast<double>(l.clock.elapsed()) / 1000.0, 0, 'f', 2));
    view->markFunction(shownFunctionOf(selected_[KindIndex(shownKind())]));
  }
  emit pictureChanged();
  // The selection moved while this neighbourhood was laid out.
  if (l.partial && l.requestedCentre != centre()) relayout();
}

void GraphPane::fitPicture() { view->fitPicture(); }

platform::Result GraphPane::exportPicture(const QString& path, session::OutputFormat format) const {
  using platform::Result;
  const QByteArray& svg = view->svg();
  if (svg.isEmpty()) return Result::Failure(platform::Status::Invalid, "no picture is drawn");
  QFile file(path);
  if (format == session::OutputFormat::Png) {
    QSvgRenderer renderer(svg);
    QSizeF size = renderer.defaultSize();
    const double side = std::max(size.width(), size.height());
    if (side > kLargestImageSide) size *= kLargestImageSide / side;
    QImage image(size.toSize().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.flush()) {
      return Result::Failure(platform::Status::Unwritable, file.errorString().toStdString());
    }
    return {};
  }
  if (!file.open(QIODevice::WriteOnly) || file.write(svg) != svg.size() || !file.flush()) {
    return Result::Failure(platform::Status::Unwritable, file.errorString().toStdString());
  }
  return {};
}

}  // namespace korvath::gui
