#include "measured/ui/CorrelationTable.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "measured/Refinement.h"

namespace pelmora {

namespace {

// White at r = 0 to full red (positive) or blue (negative) at |r| = 1.
QColor ColourOf(double r) {
  const int fade = static_cast<int>(std::lround(255.0 * (1.0 - std::min(1.0, std::fabs(r)))));
  return r >= 0.0 ? QColor(255, fade, fade) : QColor(fade, fade, 255);
}

}  // namespace

CorrelationDialog::CorrelationDialog(const RefinementOutcome& outcome, QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Macierz korelacji"));
  std::vector<std::string> names;
  std::map<std::string, int> index;
  for (const RefinedValue& v : outcome.values)
    if (v.refine) {
      index[v.name] = static_cast<int>(names.size());
      names.push_back(v.name);
    }
  const int n = static_cast<int>(names.size());
  auto* table = new QTableWidget(n, n, this);
  QStringList labels;
  for (const std::string& name : names) labels << QString::fromStdString(name);
  table->setHorizontalHeaderLabels(labels);
  table->setVerticalHeaderLabels(labels);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  auto put = [table](int row, int column, double r) {
    auto* item = new QTableWidgetItem(QString::number(r, 'f', 2));
    item->setTextAlignment(Qt::AlignCenter);
    item->setBackground(ColourOf(r));
    item->setToolTip(QStringLiteral("%1 ~ %2: r = %3")
                         .arg(table->verticalHeaderItem(row)->text(), table->horizontalHeaderItem(column)->text())
                         .arg(r, 0, 'f', 4));
    table->setItem(row, column, item);
  };
  for (int i = 0; i < n; ++i) put(i, i, 1.0);
  int strong = 0;
  for (const Correlation& c : outcome.correlations) {
    const auto a = index.find(c.a), b = index.find(c.b);
    if (a == index.end() || b == index.end()) continue;
    put(a->second, b->second, c.r);
    put(b->second, a->second, c.r);
    if (std::fabs(c.r) >= 0.9) ++strong;
  }
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft);
  table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  auto* note = new QLabel(strong > 0 ? tr("Par silnie skorelowanych (|r| ≥ 0.9): %1.").arg(strong)
                                     : tr("Żadna para nie ma |r| ≥ 0.9."),
                          this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table, 1);
  layout->addWidget(note);
  layout->addWidget(buttons);
  resize(900, 600);
}

}  // namespace pelmora
