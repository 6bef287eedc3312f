#include "refdata/ui/NamePrompt.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelmora {

CPrompt::CPrompt(const QString& title, const QString& initial, QWidget* parent) : QDialog(parent) {
  setWindowTitle(title);
  field_ = new QLineEdit(initial, this);
  // The name's buffer holds 255 characters with its terminator.
  field_->setMaxLength(254);
  field_->selectAll();
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(tr("Anuluj"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &CPrompt::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CPrompt::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("Podaj nazwę:"), this));
  layout->addWidget(field_);
  layout->addWidget(buttons);
  setMinimumWidth(300);
}

QString CPrompt::name() const { return field_->text(); }

void CPrompt::accept() {
  if (field_->text().isEmpty()) {
    QMessageBox::warning(this, QStringLiteral("Pelmora"), tr("Nazwa jest za krótka"));
    field_->setFocus();
    return;
  }
  QDialog::accept();
}

}  // namespace pelmora
