#include "app/ui/AboutBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelmora {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("O programie..."));
  auto* top = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setPixmap(QIcon(QStringLiteral(":/icons/pelmora.svg")).pixmap(64, 64));
  icon->setAlignment(Qt::AlignTop);
  row->addWidget(icon);
  auto* text = new QLabel(this);
  text->setTextFormat(Qt::RichText);
  text->setText(tr("<b>Pelmor ver. 2.0.0.1</b><br><br>"
                               "Symulacja dyfraktogramów proszkowych:<br>"
                               "refleksy, natężenia i profile pików."));
  row->addWidget(text, 1);
  top->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  top->addWidget(buttons);
}

}  // namespace pelmora
