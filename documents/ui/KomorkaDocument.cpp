#include "documents/ui/KomorkaDocument.h"

#include <QFileInfo>

#include "documents/CifImport.h"
#include "documents/OpenStructure.h"
#include "workspace/Session.h"

namespace pelmora {

KomorkaDocument::KomorkaDocument(const ExperimentValues& defaults, QObject* parent)
    : QObject(parent), doc_(std::make_unique<CKomorka>(defaults)), defaults_(defaults) {}

QString KomorkaDocument::title() const {
  if (!path_.isEmpty()) return QFileInfo(path_).fileName();
  if (!sourcePath_.isEmpty()) return QFileInfo(sourcePath_).fileName();
  return QStringLiteral("bez nazwy %1").arg(untitled_);
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
  setModified(false);
  emit titleChanged();
  return true;
}

void KomorkaDocument::NotifyCalculated() { emit calculated(); }

void KomorkaDocument::NotifyParametersChanged() {
  setModified(true);
  emit parametersChanged();
}

void KomorkaDocument::NotifyStructureChanged() {
  setModified(true);
  emit structureChanged();
}

void KomorkaDocument::NotifyAtomsDeleted() {
  setModified(true);
  emit atomsDeleted();
}

}  // namespace pelmora
