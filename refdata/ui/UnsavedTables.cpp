#include "refdata/ui/UnsavedTables.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <string>

#include "refdata/ReferenceData.h"

namespace pelmora {

bool ConfirmReferenceTablesAtExit(QWidget* parent, ReferenceData& ref) {
  if (!ref.HasUnsavedTables()) return true;
  QMessageBox box(QMessageBox::Question, QStringLiteral("Pytanie"), QStringLiteral("Zapisać zmiany w tablicach?"),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("Tak"));
  box.button(QMessageBox::No)->setText(QStringLiteral("Nie"));
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("Anuluj"));
  box.setDefaultButton(QMessageBox::Yes);
  const int answer = box.exec();
  if (answer == QMessageBox::No) return true;
  if (answer != QMessageBox::Yes) return false;
  std::string error;
  if (ref.SaveUnsavedTables(&error)) return true;
  QMessageBox::critical(parent, QStringLiteral("Błąd"), QString::fromStdString(error));
  return false;
}

}  // namespace pelmora
