#include "gui/graph/graph_view.h"

#include <QGraphicsRectItem>
#include <QGraphicsSvgItem>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPen>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QWheelEvent>
#include <cmath>

namespace korvath::gui {
namespace {

constexpr double kZoomStep = 1.0015;  // per eighth of a degree of wheel
constexpr double kSmallest = 0.02;
constexpr double kLargest = 8.0;
constexpr double kReadable = 0.6;
constexpr double kKeyZoom = 1.25;  // per + or -
constexpr int kKeyPanParts = 8;    // an arrow key pans by this part of the view

}  // namespace

GraphView::GraphView(QWidget* parent) : QGraphicsView(parent) {
  setObjectName(QStringLiteral("grvGraph"));
  setScene(new QGraphicsScene(this));
  setDragMode(QGraphicsView::ScrollHandDrag);
  setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
  setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                 QPainter::SmoothPixmapTransform);
  setBackgroundBrush(Qt::white);
  setFocusPolicy(Qt::StrongFocus);
}

GraphView::~GraphView() = default;

void GraphView::clearPicture() {
  scene()->clear();  // the picture and the mark with it
  scene()->setSceneRect(QRectF());
  resetTransform();
  picture_ = nullptr;
  mark_ = nullptr;
  delete renderer_;
  renderer_ = nullptr;
  bounds_.clear();
  svg_.clear();
  marked_ = -1;
}

bool GraphView::showPicture(const QByteArray& svg, int functions) {
  clearPicture();
  auto* renderer = new QSvgRenderer(svg, this);
  if (!renderer->isValid()) {
    delete renderer;
    return false;
  }
  renderer_ = renderer;
  svg_ = svg;
  picture_ = new QGraphicsSvgItem;
  picture_->setSharedRenderer(renderer_);
  scene()->addItem(picture_);
  scene()->setSceneRect(picture_->boundingRect());
  // A node's box as drawn: its group's bounds under the transforms of the
  // groups around it.
  bounds_.reserve(static_cast<std::size_t>(functions));
  for (int f = 0; f < functions; ++f) {
    const QString id = QStringLiteral("f%1").arg(f);
    bounds_.push_back(renderer_->elementExists(id) ? renderer_->transformForElement(id).mapRect(
                                                         renderer_->boundsOnElement(id))
                                                   : QRectF());
  }
  mark_ = scene()->addRect(QRectF(), QPen(QColor(0x1f, 0x6f, 0xeb), 3));
  mark_->setZValue(1);
  mark_->hide();
  // Fitted, unless that makes the names too small to read: then the marked
  // function is what the view shows first, and Ctrl+0 shows everything.
  fitPicture();
  if (transform().m11() < kReadable) setTransform(QTransform::fromScale(kReadable, kReadable));
  return true;
}

QRectF GraphView::functionBounds(int function) const {
  return function >= 0 && static_cast<std::size_t>(function) < bounds_.size()
             ? bounds_[static_cast<std::size_t>(function)]
             : QRectF();
}

int GraphView::functionAt(const QPointF& scenePoint) const {
  for (std::size_t f = 0; f < bounds_.size(); ++f) {
    if (bounds_[f].contains(scenePoint)) return static_cast<int>(f);
  }
  return -1;
}

void GraphView::markFunction(int function) {
  marked_ = function;
  const QRectF box = functionBounds(function);
  if (mark_ == nullptr) return;
  if (box.isEmpty()) {
    mark_->hide();
    return;
  }
  mark_->setRect(box.adjusted(-3, -3, 3, 3));
  mark_->show();
  if (!viewport()->rect().contains(mapFromScene(box).boundingRect())) centerOn(box.center());
}

void GraphView::fitPicture() {
  if (picture_ == nullptr) return;
  fitInView(scene()->sceneRect(), Qt::KeepAspectRatio);
  // Never larger than life: a small graph stays readable at its own size.
  if (transform().m11() > 1.0) resetTransform();
}

void GraphView::wheelEvent(QWheelEvent* event) {
  const double factor = std::pow(kZoomStep, event->angleDelta().y());
  const double scaled = transform().m11() * factor;
  if (picture_ == nullptr || scaled < kSmallest || scaled > kLargest) return;
  scale(factor, factor);
  event->accept();
}

void GraphView::zoomBy(double factor) {
  const double scaled = transform().m11() * factor;
  if (picture_ == nullptr || scaled < kSmallest || scaled > kLargest) return;
  const ViewportAnchor anchor = transformationAnchor();
  setTransformationAnchor(QGraphicsView::AnchorViewCenter);
  scale(factor, factor);
  setTransformationAnchor(anchor);
}

void GraphView::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  const int key = event->key();
  const bool plain = modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier;
  const int across = viewport()->width() / kKeyPanParts;
  const int down = viewport()->height() / kKeyPanParts;
  if (modifiers == Qt::ControlModifier && key == Qt::Key_0) {
    fitPicture();
  } else if (plain && (key == Qt::Key_Plus || key == Qt::Key_Equal)) {
    zoomBy(kKeyZoom);
  } else if (plain && key == Qt::Key_Minus) {
    zoomBy(1 / kKeyZoom);
  } else if (plain && (key == Qt::Key_Left || key == Qt::Key_Right)) {
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(bar->value() + (key == Qt::Key_Left ? -across : across));
  } else if (plain && (key == Qt::Key_Up || key == Qt::Key_Down)) {
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() + (key == Qt::Key_Up ? -down : down));
  } else {
    QGraphicsView::keyPressEvent(event);
    return;
  }
  event->accept();
}

void GraphView::mousePressEvent(QMouseEvent* event) {
  pressedAt_ = event->position().toPoint();
  QGraphicsView::mousePressEvent(event);
}

// A click is a press and release in one place; anything more pans.
void GraphView::mouseReleaseEvent(QMouseEvent* event) {
  QGraphicsView::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton ||
      (event->position().toPoint() - pressedAt_).manhattanLength() > 4) {
    return;
  }
  const int function = functionAt(mapToScene(event->position().toPoint()));
  if (function >= 0) emit functionClicked(function);
}

}  // namespace korvath::gui
