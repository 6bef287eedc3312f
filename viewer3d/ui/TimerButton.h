// Small controls of the viewer panel: a hold-to-repeat button that reports
// its press and release as two commands, and a box that shows and picks a
// colour kept in a document field.
#pragma once

#include <QToolButton>
#include <cstdint>

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

class CViewColorBox : public QToolButton {
  Q_OBJECT
 public:
  explicit CViewColorBox(QWidget* parent = nullptr);
  // The field the box shows and writes (0x00BBGGRR); null clears the box.
  void Bind(std::uint32_t* color);
  std::uint32_t* bound() const { return color_; }

 signals:
  // A colour was chosen and written (the view redraws).
  void colorChosen();

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  void Choose();
  std::uint32_t* color_ = nullptr;
};

}  // namespace pelmora
