#include "viewer3d/ui/TimerButton.h"

#include <QMouseEvent>

namespace pelmora {

CTimerButton::CTimerButton(int startCommand, QWidget* parent) : QToolButton(parent), start_(startCommand) {}

void CTimerButton::mousePressEvent(QMouseEvent* e) {
  QToolButton::mousePressEvent(e);
  if (e->button() == Qt::LeftButton && !down_) {
    down_ = true;
    emit command(start_);
  }
}

void CTimerButton::mouseReleaseEvent(QMouseEvent* e) {
  QToolButton::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton && down_) {
    down_ = false;
    emit command(start_ + 1);
  }
}

}  // namespace pelmora
