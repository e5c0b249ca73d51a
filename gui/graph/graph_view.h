#pragma once
// A laid-out call graph as a zoomable picture: the wheel zooms about the
// pointer, dragging pans, and a click on a function reports it. From the
// keyboard: + and - zoom about the middle, the arrow keys pan, Ctrl+0 fits.

#include <QByteArray>
#include <QGraphicsView>
#include <QRectF>
#include <vector>

class QGraphicsRectItem;
class QGraphicsSvgItem;
class QSvgRenderer;

namespace korvath::gui {

class GraphView final : public QGraphicsView {
  Q_OBJECT

 public:
  explicit GraphView(QWidget* parent = nullptr);
  ~GraphView() override;

  // The picture of `functions` functions whose SVG groups have the ids
  // "f0", "f1", ...; false when the SVG cannot be read.
  bool showPicture(const QByteArray& svg, int functions);
  void clearPicture();
  // Outlines function `function` and brings it into view; -1 for none.
  void markFunction(int function);
  int markedFunction() const { return marked_; }
  // Where function `function` stands, in scene coordinates; empty if not shown.
  QRectF functionBounds(int function) const;
  int functionAt(const QPointF& scenePoint) const;
  void fitPicture();
  // Zooms by `factor` about the middle of the view, within the limits.
  void zoomBy(double factor);
  const QByteArray& svg() const { return svg_; }

 signals:
  void functionClicked(int function);

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QSvgRenderer* renderer_ = nullptr;
  QGraphicsSvgItem* picture_ = nullptr;
  QGraphicsRectItem* mark_ = nullptr;
  std::vector<QRectF> bounds_;  // by function
  QByteArray svg_;
  int marked_ = -1;
  QPoint pressedAt_;
};

}  // namespace korvath::gui
