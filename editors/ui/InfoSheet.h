// The info panel's three pages on tabs.
#pragma once

#include <QTabWidget>

#include "editors/ui/CursorPage.h"
#include "editors/ui/InfoAtomsPage.h"
#include "editors/ui/InfoPage.h"

namespace pelmora {

// "Informacje", "Atomy", "Kursor".
class CProp : public QTabWidget {
  Q_OBJECT
 public:
  explicit CProp(QWidget* parent = nullptr);
  CPropPage1* info() const { return info_; }
  CPropPage2* atoms() const { return atoms_; }
  CPropPage3* cursor() const { return cursor_; }

 private:
  CPropPage1* info_;
  CPropPage2* atoms_;
  CPropPage3* cursor_;
};

}  // namespace pelmora
