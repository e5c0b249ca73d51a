#pragma once
// The small window that shows how far a run has got. The engine sets its
// caption on every pass; it is drawn at most about 30 times a second.

#include <QWidget>
#include <chrono>
#include <functional>

#include "engine/run_interfaces.h"

class QLabel;

namespace korvath::gui {

class ProgressWindow final : public QWidget, public engine::ProgressSink {
  Q_OBJECT

 public:
  explicit ProgressWindow(QWidget* parent = nullptr);

  void Show() override;
  void SetCaption(const Text& caption) override;
  void Refresh() override;
  void Close() override;

  QLabel* lblProgress = nullptr;
  // Called with every caption, drawn or not (tests, diagnostics).
  std::function<void(const QString&)> captionObserver;
  int repaints() const { return repaints_; }

  using Clock = std::chrono::steady_clock;
  // The time source of the repaint limit (tests use a fake).
  std::function<Clock::time_point()> now = [] { return Clock::now(); };

 private:
  static constexpr qreal kCaptionPoints = 9.75;
  void fitCaption();

  Clock::time_point lastPaint_{};
  bool mustPaint_ = true;
  int repaints_ = 0;
};

}  // namespace korvath::gui
