// The info panel's second page.
#pragma once

#include <QPointer>
#include <QWidget>
#include <array>

class QLineEdit;
class QTableView;

namespace pelmora {

class AtomListModel;
class KomorkaDocument;

// "Atomy": the cell atoms, and the factors of the one selected.
class CPropPage2 : public QWidget {
  Q_OBJECT
 public:
  explicit CPropPage2(QWidget* parent = nullptr);
  void Refresh(const KomorkaDocument* doc);
  QTableView* list() const { return list_; }
  // The thirteen fields: name, s, a1..a4, b1..b4, c, f', f''.
  QLineEdit* field(int i) const { return fields_[static_cast<std::size_t>(i)]; }

 private:
  void ShowAtom(int row);
  QPointer<const KomorkaDocument> doc_;
  AtomListModel* model_;
  QTableView* list_;
  std::array<QLineEdit*, 13> fields_{};
};

}  // namespace pelmora
