// The structure document as the windows see it: the plain CKomorka plus its
// file name and modified flag, announcing its changes as Qt signals.
#pragma once

#include <QObject>
#include <QUndoStack>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "documents/StructureFile.h"
#include "engine/Komorka.h"
#include "workspace/Workspace.h"

namespace pelmora {

class ElementTable;

// What an edit may change and undoing it puts back: the parts of the
// document that are the user's, each shared between the steps that keep it.
struct DocumentParts {
  std::shared_ptr<const Crystal> crystal;
  std::shared_ptr<const UnitCell> cell;
  std::shared_ptr<const ExperimentParams> experiment;
  std::string measuredPath;
};

class KomorkaDocument : public QObject {
  Q_OBJECT
 public:
  explicit KomorkaDocument(const ExperimentValues& defaults, QObject* parent = nullptr);

  CKomorka& doc() { return *doc_; }
  const CKomorka& doc() const { return *doc_; }

  // Full path of the file that saving writes, empty for a document never
  // saved and for one read from a format that is only read.
  const QString& path() const { return path_; }
  // Full path of the file the document was read from (empty for a new one).
  const QString& sourcePath() const { return sourcePath_; }
  // The name shown in titles: the file's name, or "bez nazwy " and a number.
  QString title() const;
  // The name "Zapisz jako" proposes: the file, NAME.xml beside an imported
  // file, or the title.
  QString proposedSaveName() const;
  void setUntitledNumber(int n) { untitled_ = n; }
  bool isModified() const { return modified_; }
  void setModified(bool m);

  // The document's edits, one step each, for "Cofnij" and "Ponów". Its clean
  // state is the file as last saved or read: undoing or redoing back to it
  // clears the modified mark.
  QUndoStack* history() const { return history_; }
  // Takes what changed in the crystal, the cell, the experiment or the
  // measurement since the last step into the history as one step, named
  // `what` in the menu ("Cofnij " + what; empty: after the parts changed).
  // The windows are not told. False when nothing changed.
  bool RecordEdit(const QString& what = QString());

  // A fresh document with the defaults of the constructor.
  void InitNew();
  // Reads a structure file, an older input file or a CIF file, whose atoms
  // take the factors of the workspace's element table (an import: saved
  // under a new name), as OpenWithDefaults opens it: the file's own source
  // and instrument set join the workspace's tables and are applied, and the
  // settings name those the file does not. Messages gather what the user
  // must be told, whatever the outcome; *gaveWay counts the tabulated
  // entries that gave way to the file's own.
  // A CIF is read from the data block named (empty: its first with atoms).
  bool Open(const QString& path, Workspace& workspace, std::vector<DocMessage>& messages, int* gaveWay = nullptr,
            const QString& cifBlock = {});
  // Writes the structure file; false with *error filled when it fails.
  bool Save(const QString& path, QString* error);

  // Called after a calculation that ran to its end: the view synthesises and
  // redraws, the reflection table refills.
  void NotifyCalculated();
  // Editors call this after changing structure or experiment values.
  void NotifyParametersChanged();
  void NotifyStructureChanged();
  void NotifyAtomsDeleted();
  // The measured pattern's path changed (attached, removed).
  void NotifyMeasuredChanged();

 signals:
  void calculated();          // its view synthesises; the main frame refills the reflection table
  void parametersChanged();   // an editor changed experiment or cell values
  void structureChanged();    // atoms or lattice changed
  void atomsDeleted();        // atoms were removed
  void measuredChanged();     // the measured pattern's path changed: its view attaches or drops it
  void titleChanged();
  void modifiedChanged(bool modified);

 private:
  friend class EditStep;
  // The parts as they stand, sharing the recorded ones that are unchanged.
  DocumentParts CurrentParts() const;
  // Puts the parts back (an undo or redo) and tells the windows what changed.
  void Restore(const DocumentParts& parts);
  // A document read or begun anew: no history, and the parts as they stand.
  void ResetHistory();

  std::unique_ptr<CKomorka> doc_;
  QUndoStack* history_;
  DocumentParts recorded_;
  bool restoring_ = false;
  ExperimentValues defaults_;
  QString path_;
  QString sourcePath_;
  int untitled_ = 1;
  bool modified_ = false;
};

}  // namespace pelmora
