#include "widgets/NumberEdit.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>

#include "io/NumberFormat.h"

namespace pelmora {

NumberEdit::NumberEdit(QWidget* parent) : QLineEdit(parent) {}

std::optional<double> NumberEdit::value() const { return ParseUserNumber(text().toStdString()); }

void NumberEdit::setNumber(double v, const char* format) { setText(QString::fromStdString(cformat(format, v))); }

bool NumberEdit::TakeNumber(double* out) {
  const std::optional<double> v = value();
  if (!v) {
    RefuseNonNumber(this);
    return false;
  }
  *out = *v;
  return true;
}

bool NumberEdit::event(QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(e);
    const bool undo = key->matches(QKeySequence::Undo), redo = key->matches(QKeySequence::Redo);
    if ((undo && !isUndoAvailable()) || (redo && !isRedoAvailable())) {
      e->ignore();
      return false;
    }
  }
  return QLineEdit::event(e);
}

void RefuseNonNumber(QLineEdit* field) {
  QMessageBox::warning(field->window(), QStringLiteral("Pelmora"), QCoreApplication::translate("NumberEdit", "Enter a number."));
  field->setFocus();
  field->selectAll();
}

}  // namespace pelmora
