// The editor of the instrument parameter sets (aparat.xml).
#pragma once

#include "refdata/ui/RecordListDialog.h"

namespace pelmora {

// "Czynniki aparaturowe": the instrument parameter sets.
class CAparatDlg : public RecordListDialog {
  Q_OBJECT
 public:
  explicit CAparatDlg(ReferenceData& ref, QWidget* parent = nullptr, int current = 0);

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
};

}  // namespace pelmora
