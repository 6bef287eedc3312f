#include "documents/ui/KomorkaDocument.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <utility>

#include "documents/CifImport.h"
#include "documents/OpenStructure.h"
#include "workspace/Session.h"

namespace pelmora {

namespace {

// Each step keeps whole parts; this many are plenty for going back a
// session's edits without holding every copy of a large structure.
constexpr int kHistoryLength = 50;

// The menu's name of a step ("Cofnij " + name), after what it changed.
QString StepName(const DocumentParts& before, const DocumentParts& after) {
  if (before.measuredPath != after.measuredPath) {
    if (before.measuredPath.empty()) return QCoreApplication::translate("EditSteps", "dołączenie pomiaru");
    if (after.measuredPath.empty()) return QCoreApplication::translate("EditSteps", "usunięcie pomiaru");
    return QCoreApplication::translate("EditSteps", "zmianę pomiaru");
  }
  if (before.crystal != after.crystal) {
    if (before.crystal->spaceGroup != after.crystal->spaceGroup) return QCoreApplication::translate("EditSteps", "zmianę grupy przestrzennej");
    if (before.crystal->latticeType != after.crystal->latticeType) return QCoreApplication::translate("EditSteps", "zmianę typu komórki");
    return QCoreApplication::translate("EditSteps", "zmianę atomów");
  }
  if (before.cell != after.cell) return QCoreApplication::translate("EditSteps", "zmianę stałych sieci");
  return QCoreApplication::translate("EditSteps", "zmianę parametrów eksperymentu");
}

}  // namespace

// One edit: the parts before and after it. Pushing it finds the edit made
// already, so its first redo does nothing.
class EditStep : public QUndoCommand {
 public:
  EditStep(KomorkaDocument* doc, DocumentParts before, DocumentParts after, const QString& text)
      : QUndoCommand(text), doc_(doc), before_(std::move(before)), after_(std::move(after)) {}
  void undo() override { doc_->Restore(before_); }
  void redo() override {
    if (!done_) doc_->Restore(after_);
    done_ = false;
  }

 private:
  KomorkaDocument* doc_;
  DocumentParts before_, after_;
  bool done_ = true;
};

KomorkaDocument::KomorkaDocument(const ExperimentValues& defaults, QObject* parent)
    : QObject(parent), doc_(std::make_unique<CKomorka>(defaults)), defaults_(defaults) {
  history_ = new QUndoStack(this);
  history_->setUndoLimit(kHistoryLength);
  // Every step taken, undone or redone sets the modified mark anew: the
  // document is modified unless the history stands where the file was
  // saved or read.
  connect(history_, &QUndoStack::indexChanged, this, [this] { setModified(!history_->isClean()); });
  ResetHistory();
}

QString KomorkaDocument::title() const {
  if (!path_.isEmpty()) return QFileInfo(path_).fileName();
  if (!sourcePath_.isEmpty()) return QFileInfo(sourcePath_).fileName();
  return tr("bez nazwy %1").arg(untitled_);
}

QString KomorkaDocument::proposedSaveName() const {
  if (!path_.isEmpty()) return path_;
  if (!sourcePath_.isEmpty())
    return QFile::decodeName(ImportedSaveName(QFile::encodeName(sourcePath_).toStdString()).c_str());
  return title().trimmed();
}

void KomorkaDocument::setModified(bool m) {
  if (m == modified_) return;
  modified_ = m;
  emit modifiedChanged(m);
}

void KomorkaDocument::InitNew() {
  doc_ = std::make_unique<CKomorka>(defaults_);
  doc_->OnNewDocument();
  path_.clear();
  sourcePath_.clear();
  ResetHistory();
  setModified(false);
  emit titleChanged();
}

bool KomorkaDocument::Open(const QString& path, Workspace& workspace, std::vector<DocMessage>& messages,
                           int* gaveWay, const QString& cifBlock) {
  // Read into a fresh model so that a failed read leaves nothing half-done;
  // opened as the command line and scripts open a file.
  OpenNotes notes;
  notes.cif.wanted = cifBlock.toStdString();
  std::unique_ptr<CKomorka> fresh =
      OpenWithDefaults(workspace, workspace.reference, QFile::encodeName(path).toStdString(), notes);
  messages.insert(messages.end(), notes.messages.begin(), notes.messages.end());
  if (!fresh) return false;
  if (gaveWay) *gaveWay = notes.gaveWay;
  doc_ = std::move(fresh);
  sourcePath_ = QFileInfo(path).absoluteFilePath();
  // A file of a format that is only read is never written back: the
  // document is saved like an untitled one.
  path_ = IsWritableFormat(notes.format) ? sourcePath_ : QString();
  ResetHistory();
  setModified(false);
  emit titleChanged();
  return true;
}

bool KomorkaDocument::Save(const QString& path, QString* error) {
  std::string err;
  if (!SaveStructureFile(*doc_, QFile::encodeName(path).toStdString(), &err)) {
    if (error) *error = QString::fromStdString(err);
    return false;
  }
  path_ = QFileInfo(path).absoluteFilePath();
  sourcePath_ = path_;
  history_->setClean();
  setModified(false);
  emit titleChanged();
  return true;
}

void KomorkaDocument::NotifyCalculated() { emit calculated(); }

void KomorkaDocument::NotifyParametersChanged() {
  RecordEdit();
  emit parametersChanged();
}

void KomorkaDocument::NotifyStructureChanged() {
  RecordEdit();
  emit structureChanged();
}

void KomorkaDocument::NotifyAtomsDeleted() {
  RecordEdit();
  emit atomsDeleted();
}

void KomorkaDocument::NotifyMeasuredChanged() {
  RecordEdit();
  emit measuredChanged();
}

// --- history -------------------------------------------------------------------------

DocumentParts KomorkaDocument::CurrentParts() const {
  DocumentParts now = recorded_;
  if (!now.crystal || !(*now.crystal == doc_->crystal)) now.crystal = std::make_shared<const Crystal>(doc_->crystal);
  if (!now.cell || !(*now.cell == doc_->cell)) now.cell = std::make_shared<const UnitCell>(doc_->cell);
  if (!now.experiment || !(*now.experiment == doc_->experiment))
    now.experiment = std::make_shared<const ExperimentParams>(doc_->experiment);
  now.measuredPath = doc_->measuredPath;
  return now;
}

bool KomorkaDocument::RecordEdit(const QString& what) {
  // What the windows do while a step is put back belongs to that step.
  if (restoring_) return false;
  DocumentParts now = CurrentParts();
  if (now.crystal == recorded_.crystal && now.cell == recorded_.cell && now.experiment == recorded_.experiment &&
      now.measuredPath == recorded_.measuredPath)
    return false;
  const QString name = what.isEmpty() ? StepName(recorded_, now) : what;
  DocumentParts before = std::exchange(recorded_, now);
  history_->push(new EditStep(this, std::move(before), std::move(now), name));
  return true;
}

void KomorkaDocument::Restore(const DocumentParts& parts) {
  CKomorka& d = *doc_;
  const bool crystal = !(d.crystal == *parts.crystal), cell = !(d.cell == *parts.cell);
  const bool experiment = !(d.experiment == *parts.experiment), measured = d.measuredPath != parts.measuredPath;
  const bool fewerAtoms = parts.crystal->structureAtoms.size() < d.crystal.structureAtoms.size();
  d.crystal = *parts.crystal;
  d.cell = *parts.cell;
  d.experiment = *parts.experiment;
  d.measuredPath = parts.measuredPath;
  recorded_ = parts;
  restoring_ = true;
  if (cell || experiment) emit parametersChanged();
  if (crystal && fewerAtoms) emit atomsDeleted();
  if (crystal || cell) emit structureChanged();
  if (measured) emit measuredChanged();
  restoring_ = false;
}

void KomorkaDocument::ResetHistory() {
  history_->clear();
  recorded_ = DocumentParts{};
  recorded_ = CurrentParts();
}

}  // namespace pelmora
