// "Definiuj Strukturę": the lattice type, the cell constants and angles, and
// the two pages of atoms and anomalous factors. The dialog keeps no copy of
// the structure: every accepted change goes straight into the active
// document, which rebuilds its cell atoms and tells the rest of the program.
#pragma once

#include <QDialog>
#include <QPointer>
#include <array>

#include "documents/ui/KomorkaDocument.h"
#include "editors/ui/AnomalPage.h"
#include "editors/ui/AtomsPage.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace pelmora {

class CKomorka;
class NumberEdit;
class KomorkaDocument;
class ReferenceData;

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
  QComboBox* spaceGroupList() const { return spaceGroup_; }
  QPushButton* findSymmetryButton() const { return findSymmetry_; }
  NumberEdit* toleranceField() const { return tolerance_; }
  // a, b, c, alfa, beta, gamma in this order.
  NumberEdit* cellField(int i) const { return cell_[static_cast<size_t>(i)]; }
  QPushButton* okButton() const { return ok_; }
  QTabWidget* sheet() const { return sheet_; }
  CMyPropertyPage1* atomsPage() const { return page1_; }
  CMyPropertyPage2* anomalPage() const { return page2_; }

  // The user picked list entry `index`.
  void ChooseLattice(int index);
  // The user typed or picked a space group ("brak" or empty: none).
  void ChooseSpaceGroup(const QString& text);
  // "Znajdź symetrię": the group of the cell's atoms within the tolerance,
  // offered with its sites.
  void FindCellSymmetry();
  // A cell field was left: the ties of the lattice are copied and all six
  // fields read into the document. False when a field holds no number.
  bool CommitCell(int field);

  void accept() override;

 protected:
  // Enter in the space-group field applies the group and keeps the dialog open.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The typed group, when it is not the one shown: on Enter, Tab and leaving
  // the field, as every other field's value applies (Enter through the
  // filter, so that it does not close the dialog).
  void ApplyTypedSpaceGroup();
  void ShowCell();
  // Writes the fixed and tied values of the document's crystal system and
  // enables the fields the user may type; true when a value changed.
  bool ApplyRules();
  // The fields the document's crystal system leaves free are enabled.
  void EnableCellFields();
  void SelectDocumentLattice();
  void FillSpaceGroups();
  void ShowSpaceGroup();
  // After the group or its sites changed: the page anew, then the windows told.
  void ShowGroupChange();

  QPointer<KomorkaDocument> doc_;
  QComboBox* lattice_;
  QComboBox* spaceGroup_;
  QString shownGroup_;  // the field's text as the document's group was last shown
  QPushButton* findSymmetry_;
  NumberEdit* tolerance_;
  std::array<NumberEdit*, 6> cell_{};
  QPushButton* ok_;
  QTabWidget* sheet_;
  CMyPropertyPage1* page1_;
  CMyPropertyPage2* page2_;
  int shownIndex_ = 0;
  bool committing_ = false;
};

}  // namespace pelmora
