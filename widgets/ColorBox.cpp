#include "widgets/ColorBox.h"

#include <QColorDialog>
#include <QMouseEvent>
#include <QPainter>

namespace pelmora {

namespace {

QColor FromBgr(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
std::uint32_t ToBgr(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
         static_cast<std::uint32_t>(c.blue()) << 16;
}

}  // namespace

CColorBox::CColorBox(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setFixedSize(64, 22);
  setToolTip(tr("Kliknij dwukrotnie, aby zmienić kolor"));
}

void CColorBox::setColor(const QColor& c) {
  color_ = c;
  update();
}

void CColorBox::Bind(std::uint32_t* field) {
  bindable_ = true;
  field_ = field;
  color_ = field_ ? FromBgr(*field_) : QColor();
  setEnabled(field_ != nullptr);
  update();
}

void CColorBox::paintEvent(QPaintEvent* e) {
  QFrame::paintEvent(e);
  if (field_) color_ = FromBgr(*field_);  // the document may have changed it
  if (!color_.isValid()) return;
  QPainter p(this);
  p.fillRect(contentsRect().adjusted(2, 2, -2, -2), color_);
}

void CColorBox::mouseReleaseEvent(QMouseEvent* e) {
  QFrame::mouseReleaseEvent(e);
  if (bindable_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) Choose();
}

void CColorBox::mouseDoubleClickEvent(QMouseEvent*) {
  if (!bindable_) Choose();
}

void CColorBox::Choose() {
  if (bindable_ && !field_) return;
  const QColor c = bindable_ ? QColorDialog::getColor(color_, this, tr("Kolor"))
                             : QColorDialog::getColor(color_, this);
  if (!c.isValid()) return;
  if (field_) *field_ = ToBgr(c);
  setColor(c);
  emit colorChosen();
}

}  // namespace pelmora
