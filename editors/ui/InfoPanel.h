// The "Info" panel: a read-only summary of the active document (cell type,
// atom count, radiation), its cell atoms with their scattering factors, and
// what lies under the mouse in the diffractogram.
#pragma once

#include <QDockWidget>
#include <QPointer>

#include "editors/ui/InfoSheet.h"

namespace pelmora {

class KomorkaDocument;
class NotificationHub;

// The floating panel itself; it follows the active document through the hub
// and never edits it.
class CPropBar : public QDockWidget {
  Q_OBJECT
 public:
  CPropBar(NotificationHub& hub, QWidget* parent = nullptr);
  CProp* sheet() const { return sheet_; }
  void Bind(KomorkaDocument* doc);

 private:
  QPointer<KomorkaDocument> doc_;
  CProp* sheet_;
};

}  // namespace pelmora
