#include "documents/ui/CifBlocksDialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

#include "documents/OpenStructure.h"
#include "io/NumberFormat.h"

namespace pelmora {
namespace {

// The cell as "a b c / alfa beta gamma", each as the file gives it; a dash
// for a value it lacks.
QString CellText(const CifBlockInfo& b) {
  std::string text;
  for (size_t i = 0; i < 6; ++i) {
    if (i == 3) text += "  /  ";
    else if (i > 0) text += "  ";
    text += std::isfinite(b.cell[i]) ? cformat(i < 3 ? "%.4f" : "%.2f", b.cell[i]) : std::string("–");
  }
  return QString::fromStdString(text);
}

// The block an import takes when none is named: the first with atoms.
int DefaultRow(const std::vector<CifBlockInfo>& blocks) {
  for (size_t i = 0; i < blocks.size(); ++i)
    if (blocks[i].hasSites) return static_cast<int>(i);
  return 0;
}

}  // namespace

CifBlocksDialog::CifBlocksDialog(const QString& fileName, std::vector<CifBlockInfo> blocks, QWidget* parent)
    : QDialog(parent), blocks_(std::move(blocks)) {
  setWindowTitle(tr("Bloki danych pliku CIF"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(
      tr("Bloków danych z komórką w pliku %1: %2. Wybierz blok do wczytania:").arg(fileName).arg(blocks_.size()),
      this));
  list_ = new QTableWidget(static_cast<int>(blocks_.size()), 4, this);
  list_->setHorizontalHeaderLabels({tr("Blok"), tr("Wzór"),
                                    tr("Komórka (a b c / α β γ)"), tr("Grupa")});
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->verticalHeader()->hide();
  for (int r = 0; r < list_->rowCount(); ++r) {
    const CifBlockInfo& b = blocks_[static_cast<size_t>(r)];
    const QString name = QString::fromStdString(b.name) + (b.hasSites ? QString() : tr(" (bez atomów)"));
    const QString texts[4] = {name, QString::fromStdString(b.formula), CellText(b), QString::fromStdString(b.group)};
    for (int c = 0; c < 4; ++c) list_->setItem(r, c, new QTableWidgetItem(texts[c]));
  }
  list_->resizeColumnsToContents();
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->selectRow(DefaultRow(blocks_));
  layout->addWidget(list_);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  buttons->addButton(tr("Anuluj"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
  layout->addWidget(buttons);
  resize(720, 300);
}

QString CifBlocksDialog::chosenBlock() const {
  const int row = list_->currentRow();
  if (row < 0 || row >= static_cast<int>(blocks_.size())) return {};
  return QString::fromStdString(blocks_[static_cast<size_t>(row)].name);
}

bool AskCifBlock(QWidget* parent, const QString& path, QString* block) {
  block->clear();
  std::vector<CifBlockInfo> blocks = CifBlocksOfFile(QFile::encodeName(path).toStdString());
  if (blocks.size() < 2) return true;
  CifBlocksDialog dlg(QFileInfo(path).fileName(), std::move(blocks), parent);
  if (dlg.exec() != QDialog::Accepted) return false;
  *block = dlg.chosenBlock();
  return true;
}

}  // namespace pelmora
