// The editor of the anomalous-dispersion tables (f' and f'' per element).
#pragma once

#include <QDialog>
#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace pelmora {

class NumberEdit;
class ReferenceData;

// "Czynniki anomalne".
class CAnomalDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAnomalDlg(ReferenceData& ref, QWidget* parent = nullptr);

  QComboBox* tables() const { return tables_; }
  QTableWidget* list() const { return list_; }
  NumberEdit* fprimField() const { return fprim_; }
  NumberEdit* fbisField() const { return fbis_; }
  QPushButton* addButton() const { return add_; }
  QPushButton* renameButton() const { return rename_; }
  QPushButton* saveButton() const { return save_; }
  QPushButton* changeButton() const { return change_; }

 private:
  void ShowTable(int index);
  void OnRow();
  void OnAdd();
  void OnRename();
  void OnChange();
  void OnSave();
  int SelectedRow() const;

  ReferenceData& ref_;
  QComboBox* tables_;
  QTableWidget* list_;
  NumberEdit* fprim_;
  NumberEdit* fbis_;
  QPushButton *add_, *rename_, *save_, *change_, *ok_;
};

}  // namespace pelmora
