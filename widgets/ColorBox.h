// A box that shows a colour and opens the colour chooser for another. It
// either holds a value of a dialog (a double click opens the chooser, the
// dialog reads color() when accepted) or is bound to a field of the document
// (a click opens the chooser and the chosen colour is written at once).
#pragma once

#include <QColor>
#include <QFrame>
#include <cstdint>

namespace pelmora {

class CColorBox : public QFrame {
  Q_OBJECT
 public:
  explicit CColorBox(QWidget* parent = nullptr);

  QColor color() const { return color_; }
  void setColor(const QColor& c);

  // Binds the box to a field held as 0x00BBGGRR; null clears and disables it.
  void Bind(std::uint32_t* field);
  std::uint32_t* bound() const { return field_; }

 signals:
  // A colour was chosen (and, when bound, written into the field).
  void colorChosen();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  void Choose();
  QColor color_;
  std::uint32_t* field_ = nullptr;
  bool bindable_ = false;  // Bind was called: a click chooses
};

}  // namespace pelmora
