// The info panel's first page.
#pragma once

#include <QWidget>
#include <array>

class QLabel;

namespace pelmora {

class CKomorka;
class KomorkaDocument;

// "Informacje": cell type, cell atom count, the space group, Z, formula,
// density and cell volume, radiation, source and wavelengths.
class CPropPage1 : public QWidget {
  Q_OBJECT
 public:
  explicit CPropPage1(QWidget* parent = nullptr);
  void Refresh(const KomorkaDocument* doc);
  // The six values of the cell type, atoms and radiation, in their order.
  QString value(int i) const;
  // The crystal's summary: space group, Z, formula, density, cell volume.
  enum Summary { kSpaceGroup, kZ, kFormula, kDensity, kVolume, kSummaryCount };
  QString summary(Summary which) const;
  // The note that the atoms' f' and f'' are another wavelength's; empty
  // when they are not.
  QString anomalNote() const;

 private:
  void ShowSummary(const CKomorka& d);
  std::array<QLabel*, 6> values_{};
  std::array<QLabel*, kSummaryCount> summary_{};
  QLabel* anomalNote_ = nullptr;
};

}  // namespace pelmora
