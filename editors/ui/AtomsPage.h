// "Atomy", the structure dialog's first page: the current atom (from the
// list or the periodic table) with its coordinates, and the list of
// structure atoms. It writes accepted changes straight into the document.
#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>
#include <array>
#include <optional>

#include "editors/ui/AtomListModel.h"
#include "engine/AtomSite.h"
#include "engine/StructureEdits.h"

class QLineEdit;
class QPushButton;
class QTableView;

namespace pelmora {

class KomorkaDocument;
class NumberEdit;
class ReferenceData;

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
  NumberEdit* coordField(int i) const { return xyz_[static_cast<size_t>(i)]; }
  QPushButton* addButton() const { return add_; }
  QPushButton* removeButton() const { return remove_; }
  QPushButton* changeButton() const { return change_; }
  NumberEdit* occupancyField() const { return occ_; }
  // Empty: the site takes the experiment's B.
  QLineEdit* bField() const { return biso_; }
  QTableView* list() const { return list_; }

  void ChooseAtom();
  void AddAtom();
  void ChangeAtom();
  void RemoveAtoms();

 private:
  void OnSelectionChanged();
  bool ReadCoordinates(double out[3]);
  // Occupancy and B of the fields; false (the user told) when they hold none.
  bool ReadSiteValues(double& occupancy, std::optional<double>& biso);
  // Tells the user why an edit of the sites was refused; true when it was.
  bool RefusedSite(const EditResult& r);
  // With a group: a position typed near a special one is offered its exact
  // fractions; false when the user cancels.
  bool OfferSpecialPosition(double v[3]);
  void Edited(bool deleted);

  ReferenceData& ref_;
  QPointer<KomorkaDocument> doc_;
  AtomSite current_;
  QLineEdit* name_;
  QPushButton* choose_;
  std::array<NumberEdit*, 3> xyz_{};
  NumberEdit* occ_;
  QLineEdit* biso_;
  QPushButton* add_;
  QPushButton* remove_;
  QPushButton* change_;
  AtomListModel* model_;
  QTableView* list_;
};

}  // namespace pelmora
