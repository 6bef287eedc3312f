// A tile of the periodic table dialog.
#pragma once

#include <QAbstractButton>

namespace pelmora {

struct ElementEntry;

// One element tile: symbol, number and name on the structure-type colour.
class CAtomTabEntry : public QAbstractButton {
  Q_OBJECT
 public:
  CAtomTabEntry(const ElementEntry& e, int nr, QWidget* parent = nullptr);
  int number() const { return nr_; }
  QSize sizeHint() const override { return {42, 44}; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  const ElementEntry& e_;
  int nr_;
};

}  // namespace pelmora
