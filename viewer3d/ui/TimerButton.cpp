#include "viewer3d/ui/TimerButton.h"

#include <QColorDialog>
#include <QMouseEvent>
#include <QPainter>

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

namespace {

QColor FromBgr(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
std::uint32_t ToBgr(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
         static_cast<std::uint32_t>(c.blue()) << 16;
}

}  // namespace

CViewColorBox::CViewColorBox(QWidget* parent) : QToolButton(parent) {
  setToolTip(QStringLiteral("Kolor krawędzi komórki"));
  setMinimumSize(40, 22);
  connect(this, &QToolButton::clicked, this, &CViewColorBox::Choose);
}

void CViewColorBox::Bind(std::uint32_t* color) {
  color_ = color;
  setEnabled(color_ != nullptr);
  update();
}

void CViewColorBox::Choose() {
  if (!color_) return;
  const QColor c = QColorDialog::getColor(FromBgr(*color_), this, QStringLiteral("Kolor"));
  if (!c.isValid()) return;
  *color_ = ToBgr(c);
  update();
  emit colorChosen();
}

void CViewColorBox::paintEvent(QPaintEvent* e) {
  QToolButton::paintEvent(e);
  if (!color_) return;
  QPainter p(this);
  p.setPen(Qt::black);
  p.setBrush(FromBgr(*color_));
  p.drawRect(rect().adjusted(4, 4, -5, -5));
}

}  // namespace pelmora
