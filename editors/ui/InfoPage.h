// The info panel's first page.
#pragma once

#include <QWidget>
#include <array>

class QLabel;

namespace pelmora {

class KomorkaDocument;

// "Informacje": cell type, cell atom count, radiation, source and wavelengths.
class CPropPage1 : public QWidget {
  Q_OBJECT
 public:
  explicit CPropPage1(QWidget* parent = nullptr);
  void Refresh(const KomorkaDocument* doc);
  // The six values, in their order on the page.
  QString value(int i) const;
  // The note that the atoms' f' and f'' are another wavelength's; empty
  // when they are not.
  QString anomalNote() const;

 private:
  std::array<QLabel*, 6> values_{};
  QLabel* anomalNote_ = nullptr;
};

}  // namespace pelmora
