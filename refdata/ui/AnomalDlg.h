// The editor of the anomalous-dispersion tables (f' and f'' per element), and
// the small prompt that asks for a table's name.
#pragma once

#include <QDialog>
#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace pelmora {

class CNumberEdit;
class ReferenceData;

// "Podaj nazwę:" under the operation's title; refuses an empty name.
class CPrompt : public QDialog {
  Q_OBJECT
 public:
  CPrompt(const QString& title, const QString& initial, QWidget* parent = nullptr);
  QString name() const;
  QLineEdit* field() const { return field_; }
  void accept() override;

 private:
  QLineEdit* field_;
};

// "Czynniki anomalne".
class CAnomalDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAnomalDlg(ReferenceData& ref, QWidget* parent = nullptr);

  QComboBox* tables() const { return tables_; }
  QTableWidget* list() const { return list_; }
  CNumberEdit* fprimField() const { return fprim_; }
  CNumberEdit* fbisField() const { return fbis_; }
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
  CNumberEdit* fprim_;
  CNumberEdit* fbis_;
  QPushButton *add_, *rename_, *save_, *change_, *ok_;
};

}  // namespace pelmora
