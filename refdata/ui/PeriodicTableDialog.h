// "Wybór atomu": the periodic table from which an atom's element, ion,
// isotope and anomalous terms are picked. What OK hands back is built from
// the fields, so the user's own edits of the numbers count.
#pragma once

#include <QDialog>
#include <array>
#include <optional>

#include "engine/AtomSite.h"
#include "refdata/ui/ElementCard.h"
#include "refdata/ui/ElementTile.h"

class QComboBox;
class QGroupBox;
class QLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace pelmora {

class NumberEdit;
struct ElementEntry;
class ReferenceData;

class CAtomTable : public QDialog {
  Q_OBJECT
 public:
  // With an atom (from the atom page) the element's user records take the
  // atom's own values and stand selected; without one (from the menu) the
  // dialog opens on hydrogen. documentOpen: "* użytkownika" starts selected.
  CAtomTable(ReferenceData& ref, const AtomSite* atom, bool documentOpen, QWidget* parent = nullptr);

  // The atom built from the fields at OK; empty before, and after Cancel.
  const std::optional<AtomSite>& chosenAtom() const { return chosen_; }

  int element() const { return element_; }
  int ionIndex() const { return ion_; }
  int isotopeIndex() const { return isotope_; }
  void SelectElement(int nr);
  void StepIon(int step);
  void StepIsotope(int step);
  CAtomTabEntry* tile(int nr) const { return tiles_[static_cast<size_t>(nr - 1)]; }
  CAtomMain* mainCell() const { return main_; }
  QComboBox* anomalList() const { return anomal_; }
  QLineEdit* nameField() const { return name_; }
  NumberEdit* chargeField() const { return charge_; }
  NumberEdit* massField() const { return mass_; }
  // A1..A4, B1..B4, C in this order.
  NumberEdit* coefficientField(int i) const { return coef_[static_cast<size_t>(i)]; }
  NumberEdit* sField() const { return s_; }
  NumberEdit* fprimField() const { return fprim_; }
  NumberEdit* fbisField() const { return fbis_; }
  // Editing the element's tables: ions in the X-ray group, isotopes in the
  // neutron group, and writing both files.
  QPushButton* ionAddButton() const { return ionAdd_; }
  QPushButton* ionRemoveButton() const { return ionRemove_; }
  QPushButton* isotopeAddButton() const { return isotopeAdd_; }
  QPushButton* isotopeRemoveButton() const { return isotopeRemove_; }
  QPushButton* saveButton() const { return save_; }

  void accept() override;

 private:
  QWidget* BuildTable();
  QWidget* BuildLegend();
  QWidget* BuildFields();
  QGroupBox* BuildXrayGroup(QWidget* panel);
  QGroupBox* BuildNeutronGroup(QWidget* panel);
  QGroupBox* BuildAnomalGroup(QWidget* panel);
  QLayout* BuildNameRow(QWidget* panel);
  void ShowIon();
  void ShowIsotope();
  void ShowAnomal();
  void ShowName();
  void RefreshMain();
  void AddOrChangeIon();
  void RemoveIon();
  void AddOrChangeIsotope();
  void RemoveIsotope();
  void SaveTables();
  // After an edit of the tables: the selected records' fields, name and cell.
  void ShowRecords();
  void EnableEditing();
  // The chosen element's tile, its ion, isotope and anomalous values, its name.
  void ShowElement();

  ReferenceData& ref_;
  bool withAtom_;
  AtomSite opened_;
  int element_ = 1;
  int ion_ = -1;
  int isotope_ = -1;
  std::optional<AtomSite> chosen_;

  std::array<CAtomTabEntry*, 119> tiles_{};
  CAtomMain* main_ = nullptr;
  NumberEdit* charge_ = nullptr;
  std::array<NumberEdit*, 9> coef_{};
  NumberEdit* mass_ = nullptr;
  NumberEdit* s_ = nullptr;
  QComboBox* anomal_ = nullptr;
  NumberEdit* fprim_ = nullptr;
  NumberEdit* fbis_ = nullptr;
  QLineEdit* name_ = nullptr;
  QPushButton* ionAdd_ = nullptr;
  QPushButton* ionRemove_ = nullptr;
  QPushButton* isotopeAdd_ = nullptr;
  QPushButton* isotopeRemove_ = nullptr;
  QPushButton* save_ = nullptr;
};

}  // namespace pelmora
