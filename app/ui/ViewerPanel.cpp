#include "app/ui/ViewerPanel.h"

#include <QCoreApplication>
#include <QAction>
#include <QPointer>
#include <memory>

#include "documents/ui/KomorkaDocument.h"
#include "app/ui/MainFrame.h"
#include "app/ui/PelmorApp.h"
#include "viewer3d/ui/MonitorPanel.h"

namespace pelmora {

CGLWindow* CreateViewerPanel(CMainFrame& frame, CPelmorApp& app, NotificationHub& hub, QAction* toggle) {
  auto* panel = new CGLWindow(app.settings().GLDetail, BuildImageFormats(app.plugins()), &frame);
  frame.addDockWidget(Qt::RightDockWidgetArea, panel);
  panel->setFloating(true);
  panel->resize(400, 680);
  panel->move(frame.pos() + QPoint(640, 80));
  panel->hide();
  QObject::connect(toggle, &QAction::triggered, panel, &QWidget::setVisible);
  QObject::connect(panel, &QDockWidget::visibilityChanged, toggle, [panel, toggle] { toggle->setChecked(panel->isVisible()); });

  // The document the panel shows; a closed one is let go before it is gone,
  // and what the panel kept of it with it.
  auto bound = std::make_shared<QPointer<KomorkaDocument>>();
  const auto bind = [panel, bound](KomorkaDocument* d, bool force) {
    if (d && *bound != d) {
      const CKomorka* raw = &d->doc();
      QObject::connect(d, &QObject::destroyed, panel, [panel, raw] { panel->ForgetDocument(raw); });
    }
    *bound = d;
    panel->BindDocument(d ? &d->doc() : nullptr, force);
  };
  QObject::connect(&hub, &NotificationHub::activeDocumentChanged, panel, [bind](KomorkaDocument* d) { bind(d, false); });
  QObject::connect(&hub, &NotificationHub::atomsDeleted, panel, [bind](KomorkaDocument* d) { bind(d, true); });
  QObject::connect(&hub, &NotificationHub::structureChanged, panel, [bind](KomorkaDocument* d) { bind(d, true); });
  QObject::connect(&hub, &NotificationHub::redraw3D, panel, &CGLWindow::Redraw);
  QObject::connect(panel, &CGLWindow::documentEdited, panel, [bound] {
    // An atom's label or colour is a step of the history; the cell's edges
    // are the panel's own and only mark the document.
    if (*bound && !(*bound)->RecordEdit(QCoreApplication::translate("EditSteps", "zmianę wyglądu atomów"))) (*bound)->setModified(true);
  });
  return panel;
}

}  // namespace pelmora
