#include "refdata/ui/UnsavedTables.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <string>

#include "refdata/ReferenceData.h"

namespace pelmora {

bool ConfirmReferenceTablesAtExit(QWidget* parent, ReferenceData& ref) {
  if (!ref.HasUnsavedTables()) return true;
  QMessageBox box(QMessageBox::Question, QCoreApplication::translate("UnsavedTables", "Pytanie"), QCoreApplication::translate("UnsavedTables", "Zapisać zmiany w tablicach?"),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
  box.button(QMessageBox::Yes)->setText(QCoreApplication::translate("UnsavedTables", "Tak"));
  box.button(QMessageBox::No)->setText(QCoreApplication::translate("UnsavedTables", "Nie"));
  box.button(QMessageBox::Cancel)->setText(QCoreApplication::translate("UnsavedTables", "Anuluj"));
  box.setDefaultButton(QMessageBox::Yes);
  const int answer = box.exec();
  if (answer == QMessageBox::No) return true;
  if (answer != QMessageBox::Yes) return false;
  std::string error;
  if (ref.SaveUnsavedTables(&error)) return true;
  QMessageBox::critical(parent, QCoreApplication::translate("UnsavedTables", "Błąd"), QString::fromStdString(error));
  return false;
}

}  // namespace pelmora
