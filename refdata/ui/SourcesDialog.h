// The editor of the radiation sources (source.xml).
#pragma once

#include "refdata/ui/RecordListDialog.h"

class QRadioButton;

namespace pelmora {

// "Źródła promieniowania": the radiation sources.
class CLambdaDlg : public RecordListDialog {
  Q_OBJECT
 public:
  // `current`: the entry in use, whose values the fields start with.
  explicit CLambdaDlg(ReferenceData& ref, QWidget* parent = nullptr, int current = 0);
  QRadioButton* neutronButton() const { return neutron_; }

 protected:
  int Count() const override;
  int Capacity() const override;
  QString NameAt(int i) const override;
  QStringList NumbersAt(int i) const override;
  void ShowEntry(int i) override;
  bool StoreFields(int i) override;
  void Remove(int i) override;
  bool Write(std::string* error) override;
  bool& Modified() override;
  bool CheckRanges() override;

 private:
  QRadioButton* xray_ = nullptr;
  QRadioButton* neutron_ = nullptr;
};

}  // namespace pelmora
