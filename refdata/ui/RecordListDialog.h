// What the editors of the radiation sources and of the instrument parameter
// sets share: a list of the table's entries, fields for one entry, and
// buttons that add, change and remove entries in the application's table at
// once and write it to its file.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace pelmora {

class NumberEdit;
class ReferenceData;

// What the two editors share; each names its columns and fields.
class RecordListDialog : public QDialog {
  Q_OBJECT
 public:
  QTableWidget* list() const { return list_; }
  QLineEdit* nameField() const { return name_; }
  NumberEdit* numberField(int i) const { return numbers_[i]; }
  QPushButton* addButton() const { return add_; }
  QPushButton* changeButton() const { return change_; }
  QPushButton* removeButton() const { return remove_; }
  QPushButton* saveButton() const { return save_; }
  QPushButton* okButton() const { return ok_; }

 protected:
  RecordListDialog(ReferenceData& ref, QWidget* parent);
  // Builds the window; called by the derived constructor once its own
  // members exist. `extra` sits under the number fields (may be null).
  void Build(const QString& title, const QStringList& headers, const QList<int>& widths, const QStringList& labels,
             QWidget* extra, bool removeBeforeChange);

  virtual int Count() const = 0;
  virtual int Capacity() const = 0;
  virtual QString NameAt(int i) const = 0;
  virtual QStringList NumbersAt(int i) const = 0;  // the columns after the name
  virtual void ShowEntry(int i) = 0;                // into the fields
  // Reads the fields into entry i, or appends an entry for i == Count().
  // False when a field refused its text (the user has been told).
  virtual bool StoreFields(int i) = 0;
  virtual void Remove(int i) = 0;
  virtual bool Write(std::string* error) = 0;
  virtual bool& Modified() = 0;
  // The checks of "OK" beyond every field holding a number.
  virtual bool CheckRanges() { return true; }
  void accept() override;

  // Fills the fields with entry i (entry 0 when i names none), the one in
  // use, so that the editor opens with numbers in every field.
  void ShowCurrent(int i);

  // The name field's text, refused when it would carry a list marker.
  bool TakeName(std::string* out);

  ReferenceData& ref_;
  std::vector<NumberEdit*> numbers_;
  // The unit beside each number field (empty: none); set before Build.
  QStringList units_;

 private:
  void Refill();
  void SetRow(int i);
  void OnSelection();
  int Selected() const;
  void OnAdd();
  void OnChange();
  void OnRemove();
  void OnSave();

  QTableWidget* list_ = nullptr;
  QLineEdit* name_ = nullptr;
  QPushButton *add_ = nullptr, *change_ = nullptr, *remove_ = nullptr, *save_ = nullptr, *ok_ = nullptr;
};

// The refusal of a number outside [lo, hi] in a field, in the framework's
// words; the focus goes back to the field.
void RefuseOutOfRange(QLineEdit* field, double lo, double hi);

}  // namespace pelmora
