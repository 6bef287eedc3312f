// The viewer panel's hold-to-repeat button: it reports its press and
// release as two commands.
#pragma once

#include <QToolButton>

namespace pelmora {

class CTimerButton : public QToolButton {
  Q_OBJECT
 public:
  // `startCommand` goes out when the left button goes down, the next number
  // when it comes up.
  CTimerButton(int startCommand, QWidget* parent = nullptr);
  int startCommand() const { return start_; }

 signals:
  void command(int id);

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  int start_;
  bool down_ = false;
};

}  // namespace pelmora
