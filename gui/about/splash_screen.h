#pragma once
// The start-up splash: name, icon and version, closing itself a few seconds
// after it receives the focus, or at once on a key press or a click.
// Shown modeless with show(), it asks for the focus itself; give it
// Qt::WA_DeleteOnClose when it is created with new.

#include <QWidget>
#include <memory>

#include "platform/clock.h"

class QFrame;

namespace korvath::gui {

class SplashScreen : public QWidget {
  Q_OBJECT

 public:
  // Waits on the machine's clock.
  explicit SplashScreen(QWidget* parent = nullptr);
  // Waits on `clock`, which must outlive the window.
  explicit SplashScreen(platform::Clock& clock, QWidget* parent = nullptr);
  ~SplashScreen() override;

  // The timed close waits in steps of this length.
  static constexpr int kPollMilliseconds = 50;

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  SplashScreen(std::unique_ptr<platform::Clock> clock, QWidget* parent);
  void buildLayout();
  void closeAfterWait();

  std::unique_ptr<platform::Clock> ownClock_;
  platform::Clock* clock_;
  QFrame* frame_ = nullptr;
  bool waited_ = false;
  bool positioned_ = false;
};

}  // namespace korvath::gui
