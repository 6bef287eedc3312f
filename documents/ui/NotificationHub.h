// The one place where windows tell each other about changes:
//
//   activeDocumentChanged(doc)    a chart view became active (null: none is)
//   KomorkaDocument::calculated   its chart view synthesises and redraws
//   reflectionsChanged(doc)       the reflection table refills
//   calculationStarting(doc)      readers of the reflections let go until the
//                                 next reflectionsChanged
//   parametersChanged(doc)        the view compares with its pattern
//   atomsDeleted(doc)             the viewer panel reloads its atoms
//   redraw3D()                    the 3D view redraws
//   structureChanged(doc)         info panel, structure dialog, viewer
//   showStructurePage(), showExperimentPage(), showReflectionTable()
//
// The calculation's own end stays inside the progress dialog.
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
