// The one place where windows tell each other about changes. Each signal
// stands for one of the program's notification numbers:
//
//   32779  activeDocumentChanged(doc)   a chart view became active
//   33100  activeDocumentChanged(null)  no chart view stays active
//   33002  KomorkaDocument::calculated  -> its chart view synthesises, redraws
//   33001  reflectionsChanged(doc)      the reflection table refills
//          calculationStarting(doc)     readers of the reflections let go
//                                       until the next reflectionsChanged
//   57421  parametersChanged(doc)       the view compares with its pattern
//   27422  atomsDeleted(doc)            the viewer panel reloads its atoms
//   57422  redraw3D()                   the 3D view redraws
//   0x81CF structureChanged(doc)        info panel, structure dialog, viewer
//   56001  showStructurePage()          56002 showExperimentPage()
//   56003  showReflectionTable()
//   32780-32785  ticksChanged(flags)    chart bar buttons -> active view
//
// The calculation's own end (33500) stays inside the progress dialog.
#pragma once

#include <QObject>
#include <QString>

namespace pelmora {

class KomorkaDocument;

class NotificationHub : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

 signals:
  void activeDocumentChanged(pelmora::KomorkaDocument* doc);
  void reflectionsChanged(pelmora::KomorkaDocument* doc);
  // A worker is about to replace the document's reflection lists.
  void calculationStarting(pelmora::KomorkaDocument* doc);
  void parametersChanged(pelmora::KomorkaDocument* doc);
  void atomsDeleted(pelmora::KomorkaDocument* doc);
  void structureChanged(pelmora::KomorkaDocument* doc);
  void redraw3D();
  void showStructurePage();
  void showExperimentPage();
  void showReflectionTable();
  // The cursor read-out for the info panel's "Kursor" page; all four empty
  // when the cursor is off the plot.
  void cursorRead(const QString& angle, const QString& intensity, const QString& ka1, const QString& ka2);
};

}  // namespace pelmora
