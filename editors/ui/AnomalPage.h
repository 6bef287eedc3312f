// "Czynniki anomalne", the structure dialog's second page: f' and f'' of the
// structure atoms, typed or taken from one of the anomalous tables.
#pragma once

#include <QPointer>
#include <QWidget>

class QComboBox;
class QPushButton;
class QTableView;

namespace pelmora {

class AtomListModel;
class KomorkaDocument;
class NumberEdit;
class ReferenceData;

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
  NumberEdit* fprimField() const { return fprim_; }
  NumberEdit* fbisField() const { return fbis_; }
  QPushButton* changeButton() const { return change_; }
  // "Dla tego źródła": f' and f'' for the document's X-ray source.
  QPushButton* sourceButton() const { return forSource_; }
  QTableView* list() const { return list_; }

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
  NumberEdit* fprim_;
  NumberEdit* fbis_;
  QPushButton* change_;
  QPushButton* forSource_ = nullptr;
  AtomListModel* model_;
  QTableView* list_;
};

}  // namespace pelmora
