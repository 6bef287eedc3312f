// "Definiuj Strukturę": the lattice type, the cell constants and angles, and
// the two pages of atoms and anomalous factors. The dialog keeps no copy of
// the structure: every accepted change goes straight into the active
// document, which rebuilds its cell atoms and tells the rest of the program.
#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>
#include <array>

#include "engine/AtomSite.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace pelmora {

class CKomorka;
class CNumberEdit;
class KomorkaDocument;
class ReferenceData;

// The atom rows selected in a list, in ascending order.
QList<int> SelectedRows(const QTableWidget* list);

// "Atomy": the current atom (from the list or the periodic table) with its
// coordinates, and the list of structure atoms.
class CMyPropertyPage1 : public QWidget {
  Q_OBJECT
 public:
  CMyPropertyPage1(ReferenceData& ref, QWidget* parent = nullptr);
  void Bind(KomorkaDocument* doc);
  // Refills the list from the document, keeping the selected rows.
  void Reload();

  QLineEdit* nameField() const { return name_; }
  QPushButton* chooseButton() const { return choose_; }
  CNumberEdit* coordField(int i) const { return xyz_[static_cast<size_t>(i)]; }
  QPushButton* addButton() const { return add_; }
  QPushButton* removeButton() const { return remove_; }
  QPushButton* changeButton() const { return change_; }
  QTableWidget* list() const { return list_; }

  void ChooseAtom();
  void AddAtom();
  void ChangeAtom();
  void RemoveAtoms();

 private:
  void OnSelectionChanged();
  bool ReadCoordinates(double out[3]);
  void Edited(bool deleted);

  ReferenceData& ref_;
  QPointer<KomorkaDocument> doc_;
  AtomSite current_;
  QLineEdit* name_;
  QPushButton* choose_;
  std::array<CNumberEdit*, 3> xyz_{};
  QPushButton* add_;
  QPushButton* remove_;
  QPushButton* change_;
  QTableWidget* list_;
};

// "Czynniki anomalne": f' and f'' of the structure atoms, typed or taken
// from one of the anomalous tables by element.
class CMyPropertyPage2 : public QWidget {
  Q_OBJECT
 public:
  CMyPropertyPage2(ReferenceData& ref, QWidget* parent = nullptr);
  void Bind(KomorkaDocument* doc);
  void Reload();
  // The anomalous tables were added to or renamed: the list follows, its
  // choice kept where it still exists.
  void ReloadTables();

  QComboBox* tableList() const { return tables_; }
  CNumberEdit* fprimField() const { return fprim_; }
  CNumberEdit* fbisField() const { return fbis_; }
  QPushButton* changeButton() const { return change_; }
  // "Dla tego źródła": f' and f'' for the document's X-ray source.
  QPushButton* sourceButton() const { return forSource_; }
  QTableWidget* list() const { return list_; }

  // Entry `index` of the table list chosen by the user (0: the edits).
  void ChooseTable(int index);
  void ChangeFactors();
  // The selected atoms, or every atom when none is selected, take the terms
  // for the document's source (after a question).
  void TakeForSource();

 private:
  void Assign(int tableIndex);
  void RefreshSourceButton();

  ReferenceData& ref_;
  QPointer<KomorkaDocument> doc_;
  QComboBox* tables_;
  CNumberEdit* fprim_;
  CNumberEdit* fbis_;
  QPushButton* change_;
  QPushButton* forSource_ = nullptr;
  QTableWidget* list_;
};

class CTabPage1 : public QDialog {
  Q_OBJECT
 public:
  CTabPage1(ReferenceData& ref, QWidget* parent = nullptr);

  // The active document changed (null: none is open).
  void Bind(KomorkaDocument* doc);
  // The structure changed somewhere: the pages and the cell fields refresh.
  void OnStructureChanged(KomorkaDocument* doc);
  KomorkaDocument* document() const { return doc_; }

  QComboBox* latticeList() const { return lattice_; }
  // a, b, c, alfa, beta, gamma in this order.
  CNumberEdit* cellField(int i) const { return cell_[static_cast<size_t>(i)]; }
  QPushButton* okButton() const { return ok_; }
  QTabWidget* sheet() const { return sheet_; }
  CMyPropertyPage1* atomsPage() const { return page1_; }
  CMyPropertyPage2* anomalPage() const { return page2_; }

  // The user picked list entry `index`.
  void ChooseLattice(int index);
  // A cell field was left: the ties of the lattice are copied and all six
  // fields read into the document. False when a field holds no number.
  bool CommitCell(int field);

  void accept() override;

 private:
  void ShowCell();
  // Writes the fixed and tied values of the document's crystal system and
  // enables the fields the user may type; true when a value changed.
  bool ApplyRules();
  void SelectDocumentLattice();

  QPointer<KomorkaDocument> doc_;
  QComboBox* lattice_;
  std::array<CNumberEdit*, 6> cell_{};
  QPushButton* ok_;
  QTabWidget* sheet_;
  CMyPropertyPage1* page1_;
  CMyPropertyPage2* page2_;
  int shownIndex_ = 0;
  bool committing_ = false;
};

}  // namespace pelmora
