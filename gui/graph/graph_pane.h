#pragma once
// The call graph of the explorer's call tree, or of its callers tree, as a
// picture laid out by Graphviz off the user-interface thread. Large graphs
// show only the neighbourhood of the selected function (the session plans it). Built without
// Graphviz, the pane says what to install instead.

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "engine/call_graph.h"
#include "platform/result.h"
#include "session/output_format.h"

class QComboBox;
class QLabel;

namespace korvath::gui {

class GraphView;

class GraphPane final : public QWidget {
  Q_OBJECT

 public:
  // Whether this build draws graphs at all.
  static bool available();
  explicit GraphPane(QWidget* parent = nullptr);
  ~GraphPane() override;

  // The tree of `kind` changed; the caller keeps it until the next call.
  void setTree(engine::TreeKind kind, const engine::NodeTree& tree);
  // Called on each new graph of either tree before it is laid out: the
  // explorer adds the calls (callers) the node budget left out.
  void setCompletion(std::function<void(engine::CallGraph&, const engine::NodeTree&)> complete) {
    complete_ = std::move(complete);
  }
  // Node `node` of the tree of `kind` is selected.
  void selectNode(engine::TreeKind kind, int node);
  engine::TreeKind shownKind() const;
  void showKind(engine::TreeKind kind);
  // The graph drawn (the neighbourhood, when only that is), once laid out.
  const engine::CallGraph& shownGraph() const;
  bool layingOut() const;
  // `format` Svg or Png; the reason when nothing is drawn or it cannot be
  // written.
  platform::Result exportPicture(const QString& path, session::OutputFormat format) const;
  // The whole picture in view, no larger than life.
  void fitPicture();

  QComboBox* cboGraph = nullptr;
  QLabel* lblGraph = nullptr;
  GraphView* view = nullptr;  // null without Graphviz

 signals:
  // A function of the picture was clicked: the first node that stands for
  // it in the tree of `kind`.
  void nodeClicked(engine::TreeKind kind, int node);
  // A layout finished, shown or failed.
  void pictureChanged();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct Layout;
  void relayout();
  void startLayout();
  void onLayoutDone();
  void showNoPicture(const QString& text, bool partial);
  int centre() const;
  int shownFunctionOf(int node) const;

  std::array<const engine::NodeTree*, 2> trees_{};
  std::array<int, 2> selected_{1, 1};
  std::unique_ptr<Layout> layout_;
  std::function<void(engine::CallGraph&, const engine::NodeTree&)> complete_;
};

}  // namespace korvath::gui
