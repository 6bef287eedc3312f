// "Tablica refleksów": the reflections of the active document's last
// calculation inside its angular range, as a table, and their text export.
// The table reads the document whenever a row is drawn; it keeps only the
// positions of the rows it shows.
#pragma once

#include <QDialog>
#include <QPointer>

#include "documents/ui/KomorkaDocument.h"
#include "engine/ReflectionExport.h"

class QCheckBox;
class QPushButton;
class QTableView;

namespace pelmora {

class KomorkaDocument;
class NotificationHub;

class CTabPage4 : public QDialog {
  Q_OBJECT
 public:
  explicit CTabPage4(NotificationHub& hub, QWidget* parent = nullptr);

  // Follows the active document (none: everything disabled and empty).
  void Bind(KomorkaDocument* doc);
  // Rows again from the document's reflections and the three check boxes.
  void Refill();
  // Writes the rows the check boxes select to `path`; false with *error set
  // when the file cannot be written.
  bool ExportTo(const QString& path, QString* error);

  QTableView* list() const { return list_; }
  QCheckBox* ka1Box() const { return ka1_; }
  QCheckBox* ka2Box() const { return ka2_; }
  QCheckBox* extinctBox() const { return extinct_; }
  QPushButton* exportButton() const { return export_; }
  KomorkaDocument* document() const { return doc_; }

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  int WidthForColumns() const;
  ReflectionFilter Filter() const;
  // "Zapisz do Pliku": asks for the file, then writes it.
  void Export();
  void FitColumns();

  class Model;
  QPointer<KomorkaDocument> doc_;
  Model* model_;
  QTableView* list_;
  QCheckBox* ka1_;
  QCheckBox* ka2_;
  QCheckBox* extinct_;
  QPushButton* export_;
};

}  // namespace pelmora
