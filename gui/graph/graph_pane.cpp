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

QString Size(const engine::CallGraph& graph) {
  return Counted(graph.functions.size(), "function", "functions") + QStringLiteral(", ") +
         Counted(graph.calls.size(), "call", "calls");
}

constexpr int kLevels = 2;

bool TooLarge(const engine::CallGraph& graph) {
  return graph.functions.size() > GraphPane::kMostFunctions ||
         graph.calls.size() > GraphPane::kMostCalls;
}
constexpr int kLargestImageSide = 8192;

}  // namespace

struct GraphPane::Layout {
  engine::CallGraph whole;  // of the tree shown
  bool wholeStale = true;
  engine::CallGraph requested;  // being laid out
  std::vector<int> requestedOfWhole;
  QString requestedText;
  engine::CallGraph shown;        // drawn
  // The drawn function of each function of the whole graph, or -1; empty
  // when the whole graph is drawn.
  std::vector<int> shownOfWhole;
  bool shownCurrent = false;      // drawn from the trees as they are
  bool partial = false;           // the drawn graph is a neighbourhood
  int requestedCentre = -1;       // its centre in the whole graph, when it is one
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

void GraphPane::showKind(TreeKind kind) { cboGraph->setCurrentIndex(kind == TreeKind::Calls ? 0 : 1); }

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
    l.wholeStale = false;
  }
  const bool partial = TooLarge(l.whole);
  l.requestedOfWhole.clear();
  if (partial) {
    const int centre = this->centre();
    l.requestedCentre = centre;
    const QString name = ToQString(l.whole.functions[static_cast<std::size_t>(centre)].name);
    // A function with hundreds of callers or callees is too much even two
    // calls out: then one call out, else no picture at all.
    int levels = kLevels;
    l.requested = engine::Neighbourhood(l.whole, centre, levels);
    while (TooLarge(l.requested) && levels > 1) {
      l.requested = engine::Neighbourhood(l.whole, centre, --levels);
    }
    if (TooLarge(l.requested)) {
      showNoPicture(QStringLiteral("%1 calls or is called by too many functions to draw: %2 "
                                   "within one call. Select another function.")
                        .arg(name, Size(l.requested)),
                    true);
      return;
    }
    l.requestedOfWhole.assign(l.whole.functions.size(), -1);
    for (std::size_t f = 0; f < l.requested.functions.size(); ++f) {
      const auto first = static_cast<std::size_t>(l.requested.functions[f].treeNode);
      l.requestedOfWhole[static_cast<std::size_t>(l.whole.functionOfNode[first])] =
          static_cast<int>(f);
    }
    l.requestedText =
        QStringLiteral("Only the functions within %1 of %2 (%3): the whole graph, %4, "
                       "is too large to read.")
            .arg(levels == 1 ? QStringLiteral("one call") : QStringLiteral("two calls"), name,
                 Size(l.requested), Size(l.whole));
  } else {
    // Not the node map: that stays with the whole graph.
    l.requested = engine::CallGraph{l.whole.functions, l.whole.calls, {}};
    l.requestedText = Size(l.whole) + QLatin1Char('.');
  }
  l.requestedText += shownKind() == TreeKind::Calls
                         ? QStringLiteral(" The start is filled; dashed calls lie in a cycle.")
                         : QStringLiteral(" The function whose callers these are is filled; "
                                          "dashed calls lie in a cycle.");
  l.partial = partial;
  l.busy = true;
  l.clock.start();
  lblGraph->setText(QStringLiteral("Laying out %1...").arg(Size(l.requested)));
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
    lblGraph->setText(rendered.error.isEmpty() ? QStringLiteral("Graphviz drew no readable picture.")
                                               : rendered.error + QLatin1Char('.'));
  } else {
    lblGraph->setText(l.requestedText +
                      QStringLiteral(" Laid out in %1 s.").arg(static_cast<double>(l.clock.elapsed()) / 1000.0, 0, 'f', 2));
    view->markFunction(shownFunctionOf(selected_[KindIndex(shownKind())]));
  }
  emit pictureChanged();
  // The selection moved while this neighbourhood was laid out.
  if (l.partial && l.requestedCentre != centre()) relayout();
}

void GraphPane::fitPicture() { view->fitPicture(); }

bool GraphPane::exportPicture(const QString& path, const QString& format) const {
  const QByteArray& svg = view->svg();
  if (svg.isEmpty()) return false;
  if (format == QLatin1String("png")) {
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
    return image.save(path, "PNG");
  }
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(svg) == svg.size() && file.flush();
}

}  // namespace korvath::gui
