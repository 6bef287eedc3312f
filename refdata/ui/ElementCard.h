// The periodic table dialog's card of the selected element.
#pragma once

#include <QWidget>
#include <array>

class QLabel;
class QToolButton;

namespace pelmora {

struct ElementEntry;

// The large cell of the selected element with the step buttons of its ion
// and isotope.
class CAtomMain : public QWidget {
  Q_OBJECT
 public:
  explicit CAtomMain(QWidget* parent = nullptr);
  void Show(const ElementEntry& e, int nr, const QString& ionLabel, const QString& isotopeLabel);
  QToolButton* ionPrev() const { return buttons_[0]; }
  QToolButton* ionNext() const { return buttons_[1]; }
  QToolButton* isotopePrev() const { return buttons_[2]; }
  QToolButton* isotopeNext() const { return buttons_[3]; }
  QString ionLabel() const;
  QString isotopeLabel() const;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  const ElementEntry* e_ = nullptr;
  int nr_ = 1;
  QLabel* ion_;
  QLabel* isotope_;
  std::array<QToolButton*, 4> buttons_{};
};

}  // namespace pelmora
