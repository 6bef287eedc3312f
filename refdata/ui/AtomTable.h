// "Wybór atomu": the periodic table from which an atom's element, ion,
// isotope and anomalous terms are picked. What OK hands back is built from
// the fields, so the user's own edits of the numbers count.
#pragma once

#include <QAbstractButton>
#include <QDialog>
#include <array>
#include <optional>

#include "engine/AtomSite.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace pelmora {

class CNumberEdit;
struct ElementEntry;
class ReferenceData;

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
  CNumberEdit* chargeField() const { return charge_; }
  CNumberEdit* massField() const { return mass_; }
  // A1..A4, B1..B4, C in this order.
  CNumberEdit* coefficientField(int i) const { return coef_[static_cast<size_t>(i)]; }
  CNumberEdit* sField() const { return s_; }
  CNumberEdit* fprimField() const { return fprim_; }
  CNumberEdit* fbisField() const { return fbis_; }
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
  CNumberEdit* charge_ = nullptr;
  std::array<CNumberEdit*, 9> coef_{};
  CNumberEdit* mass_ = nullptr;
  CNumberEdit* s_ = nullptr;
  QComboBox* anomal_ = nullptr;
  CNumberEdit* fprim_ = nullptr;
  CNumberEdit* fbis_ = nullptr;
  QLineEdit* name_ = nullptr;
  QPushButton* ionAdd_ = nullptr;
  QPushButton* ionRemove_ = nullptr;
  QPushButton* isotopeAdd_ = nullptr;
  QPushButton* isotopeRemove_ = nullptr;
  QPushButton* save_ = nullptr;
};

}  // namespace pelmora
