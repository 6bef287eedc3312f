#include "documents/ui/KomorkaDocument.h"

#include <QDir>
#include <QFileInfo>

#include "documents/CifImport.h"

namespace pelmora {

KomorkaDocument::KomorkaDocument(const ExperimentDefaults& defaults, QObject* parent)
    : QObject(parent), doc_(std::make_unique<CKomorka>(defaults)), defaults_(defaults) {}

QString KomorkaDocument::title() const {
  if (!path_.isEmpty()) return QFileInfo(path_).fileName();
  if (!importedFrom_.isEmpty()) return QFileInfo(importedFrom_).fileName();
  return QStringLiteral("bez nazwy %1").arg(untitled_);
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
  importedFrom_.clear();
  setModified(false);
  emit titleChanged();
}

bool KomorkaDocument::Open(const QString& path, std::vector<DocMessage>& messages) {
  // Read into a fresh model so that a failed read leaves nothing half-done.
  auto fresh = std::make_unique<CKomorka>(defaults_);
  if (!OpenStructureDocument(*fresh, QFile::encodeName(path).toStdString(), messages)) return false;
  doc_ = std::move(fresh);
  path_ = QFileInfo(path).absoluteFilePath();
  importedFrom_.clear();
  setModified(false);
  emit titleChanged();
  return true;
}

bool KomorkaDocument::Open(const QString& path, const ElementTable& elements, std::vector<DocMessage>& messages) {
  auto fresh = std::make_unique<CKomorka>(defaults_);
  bool imported = false;
  if (!OpenAnyStructure(*fresh, QFile::encodeName(path).toStdString(), elements, messages, &imported)) return false;
  doc_ = std::move(fresh);
  path_.clear();
  importedFrom_.clear();
  (imported ? importedFrom_ : path_) = QFileInfo(path).absoluteFilePath();
  setModified(false);
  emit titleChanged();
  return true;
}

QString KomorkaDocument::SuggestedSaveName() const {
  if (importedFrom_.isEmpty()) return title().trimmed();
  const QFileInfo from(importedFrom_);
  return from.dir().filePath(from.completeBaseName() + QStringLiteral(".xml"));
}

bool KomorkaDocument::Save(const QString& path, QString* error) {
  std::string err;
  if (!SaveStructureFile(*doc_, QFile::encodeName(path).toStdString(), &err)) {
    if (error) *error = QString::fromStdString(err);
    return false;
  }
  path_ = QFileInfo(path).absoluteFilePath();
  importedFrom_.clear();
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
