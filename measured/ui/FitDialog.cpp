#include "measured/ui/FitDialog.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "io/NumberFormat.h"

namespace pelmora {

namespace {
constexpr int kSteps = 100;
}

FitDialog::FitDialog(std::vector<Phase> phases, std::shared_ptr<const MeasuredPattern> measured,
                     const SynthesisSetup& setup, QWidget* parent)
    : QDialog(parent), phases_(std::move(phases)), measured_(std::move(measured)), setup_(setup) {
  setWindowTitle(QStringLiteral("Dopasuj do pomiaru"));
  QGroupBox* phaseBox = CreatePhaseBox();
  QGroupBox* box = CreateValueBox();
  auto* source = new QLabel(this);
  source->setText(QStringLiteral("Pomiar: %1 (%2 punktów)")
                      .arg(QString::fromStdString(measured_->path))
                      .arg(measured_->size()));
  source->setWordWrap(true);
  CreateResultViews();
  QHBoxLayout* buttons = CreateButtons();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(phaseBox);
  layout->addWidget(box);
  layout->addWidget(source);
  layout->addWidget(bar_);
  layout->addWidget(status_);
  layout->addWidget(table_);
  layout->addWidget(report_);
  layout->addLayout(buttons);

  connect(fit_, &QPushButton::clicked, this, &FitDialog::startFit);
  connect(cancel_, &QPushButton::clicked, this, [this] { cancel_flag_ = true; });
  connect(apply_, &QPushButton::clicked, this, &QDialog::accept);
  connect(close_, &QPushButton::clicked, this, &FitDialog::reject);
}

// The phases: the active document always, the other open ones on request.
QGroupBox* FitDialog::CreatePhaseBox() {
  auto* phaseBox = new QGroupBox(QStringLiteral("Fazy (dokumenty otwarte w programie)"), this);
  auto* phaseLayout = new QVBoxLayout(phaseBox);
  for (size_t k = 0; k < phases_.size(); ++k) {
    auto* c = new QCheckBox(QStringLiteral("Faza: %1").arg(phases_[k].title), phaseBox);
    if (k == 0) {
      c->setText(QStringLiteral("Faza: %1 (aktywny dokument, jego eksperyment)").arg(phases_[k].title));
      c->setChecked(true);
      c->setEnabled(false);
    }
    phaseLayout->addWidget(c);
    phaseBoxes_.push_back(c);
  }
  return phaseBox;
}

QGroupBox* FitDialog::CreateValueBox() {
  auto* box = new QGroupBox(QStringLiteral("Dopasowywane wartości"), this);
  auto* grid = new QGridLayout(box);
  scale_ = new QCheckBox(QStringLiteral("Skala"), box);
  zero_ = new QCheckBox(QStringLiteral("Przesunięcie zera"), box);
  background_ = new QCheckBox(QStringLiteral("Tło (wielomiany Czebyszewa), wyrazów:"), box);
  terms_ = new QSpinBox(box);
  terms_->setRange(1, 30);
  terms_->setValue(6);
  widths_ = new QCheckBox(QStringLiteral("Szerokości aparaturowe U, V, W"), box);
  cell_ = new QCheckBox(QStringLiteral("Stałe sieci (wolne w układzie krystalograficznym)"), box);
  size_ = new QCheckBox(QStringLiteral("Rozmiar ziaren"), box);
  for (QCheckBox* c : {scale_, zero_, background_}) c->setChecked(true);
  grid->addWidget(scale_, 0, 0, 1, 2);
  grid->addWidget(zero_, 1, 0, 1, 2);
  grid->addWidget(background_, 2, 0);
  grid->addWidget(terms_, 2, 1);
  grid->addWidget(widths_, 3, 0, 1, 2);
  grid->addWidget(cell_, 4, 0, 1, 2);
  grid->addWidget(size_, 5, 0, 1, 2);
  connect(background_, &QCheckBox::toggled, terms_, &QWidget::setEnabled);
  return box;
}

// The progress, the table of the phases' values and the report.
void FitDialog::CreateResultViews() {
  bar_ = new QProgressBar(this);
  bar_->setRange(0, kSteps);
  bar_->setValue(0);
  status_ = new QLabel(QStringLiteral(" "), this);
  table_ = new QTableWidget(0, 10, this);
  table_->setHorizontalHeaderLabels({QStringLiteral("Faza"), QStringLiteral("Skala"), QStringLiteral("Udział wagowy"),
                                     QStringLiteral("Ziarno [Å]"), QStringLiteral("a [Å]"), QStringLiteral("b [Å]"),
                                     QStringLiteral("c [Å]"), QStringLiteral("α [°]"), QStringLiteral("β [°]"),
                                     QStringLiteral("γ [°]")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->setMinimumSize(700, 110);
  report_ = new QPlainTextEdit(this);
  report_->setReadOnly(true);
  report_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  report_->setMinimumSize(460, 120);
}

QHBoxLayout* FitDialog::CreateButtons() {
  fit_ = new QPushButton(QStringLiteral("Dopasuj"), this);
  cancel_ = new QPushButton(QStringLiteral("Anuluj"), this);
  apply_ = new QPushButton(QStringLiteral("Zastosuj"), this);
  close_ = new QPushButton(QStringLiteral("Zamknij"), this);
  fit_->setDefault(true);
  cancel_->setEnabled(false);
  apply_->setEnabled(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(fit_);
  buttons->addWidget(cancel_);
  buttons->addStretch();
  buttons->addWidget(apply_);
  buttons->addWidget(close_);
  return buttons;
}

FitDialog::~FitDialog() {
  cancel_flag_ = true;
  if (worker_.joinable()) worker_.join();
}

QCheckBox* FitDialog::option(unsigned what) const {
  switch (what) {
    case kFitScale: return scale_;
    case kFitZero: return zero_;
    case kFitBackground: return background_;
    case kFitWidths: return widths_;
    case kFitCell: return cell_;
    case kFitSize: return size_;
    default: return nullptr;
  }
}

void FitDialog::startFit() {
  if (worker_.joinable()) return;
  FitOptions o;
  o.refine = 0;
  for (unsigned what : {kFitScale, kFitZero, kFitBackground, kFitWidths, kFitCell, kFitSize})
    if (option(what)->isChecked()) o.refine |= what;
  o.backgroundTerms = terms_->value();
  o.setup = setup_;
  o.maxIterations = kSteps;
  o.cancel = &cancel_flag_;
  o.progress = [this](int step, double rwp) {
    QMetaObject::invokeMethod(
        this,
        [this, step, rwp] {
          bar_->setValue(step);
          status_->setText(QString::fromStdString(cformat("Krok %d: Rwp = %.3f %%", step, rwp)));
        },
        Qt::QueuedConnection);
  };
  cancel_flag_ = false;
  apply_->setEnabled(false);
  fit_->setEnabled(false);
  cancel_->setEnabled(true);
  bar_->setValue(0);
  status_->setText(QStringLiteral("Dopasowywanie..."));
  const unsigned refine = o.refine;
  running_.clear();
  std::vector<const CKomorka*> docs;
  for (size_t k = 0; k < phases_.size(); ++k)
    if (phaseBoxes_[k]->isChecked()) {
      running_.push_back(k);
      docs.push_back(phases_[k].doc);
    }
  for (size_t k = 1; k < phaseBoxes_.size(); ++k) phaseBoxes_[k]->setEnabled(false);
  worker_ = std::thread([this, o, refine, docs] {
    FitResult r = FitPattern(docs, *measured_, o);
    QMetaObject::invokeMethod(
        this,
        [this, r = std::move(r), refine]() mutable {
          refined_ = refine;
          fitted_ = running_;
          finished(std::move(r));
        },
        Qt::QueuedConnection);
  });
}

void FitDialog::finished(FitResult r) {
  if (worker_.joinable()) worker_.join();
  result_ = std::move(r);
  fit_->setEnabled(true);
  cancel_->setEnabled(false);
  for (size_t k = 1; k < phaseBoxes_.size(); ++k) phaseBoxes_[k]->setEnabled(true);
  if (!result_.error.empty()) {
    status_->setText(QString::fromStdString(result_.error));
    table_->setRowCount(0);
    report_->clear();
  } else {
    bar_->setValue(kSteps);
    status_->setText(QString::fromStdString(cformat("Zakończono po %d krokach.", result_.iterations)));
    showResult();
    apply_->setEnabled(true);
  }
  emit fitFinished();
}

void FitDialog::showResult() {
  const FitResult& r = result_;
  table_->setRowCount(static_cast<int>(r.phases.size()));
  for (size_t k = 0; k < r.phases.size(); ++k) {
    const FitPhase& p = r.phases[k];
    const auto row = static_cast<int>(k);
    const QString name = k < fitted_.size() ? phases_[fitted_[k]].title : QString::number(k + 1);
    QStringList cells{name, QString::fromStdString(cformat("%.6g (%.2g)", p.scale, p.scaleEsd)),
                      std::isfinite(p.weightFraction)
                          ? QString::fromStdString(cformat("%.2f %%", 100.0 * p.weightFraction))
                          : QStringLiteral("nieznany"),
                      QString::fromStdString(cformat("%.1f", p.grainSize))};
    for (int c = 0; c < 3; ++c) cells << QString::fromStdString(cformat("%.5f", p.cell[static_cast<size_t>(c)]));
    for (int c = 3; c < 6; ++c) cells << QString::fromStdString(cformat("%.3f", p.cell[static_cast<size_t>(c)]));
    for (int c = 0; c < cells.size(); ++c) table_->setItem(row, c, new QTableWidgetItem(cells[c]));
  }
  std::string t;
  t += cformat("Rp = %.3f %%   Rwp = %.3f %%   Rexp = %.3f %%   χ² = %.4f\n", r.rp, r.rwp, r.rexp, r.chi2);
  t += cformat("Punkty: %d   dopasowane wartości: %d\n\n", r.points, r.parameters);
  t += cformat("Przesunięcie zera:  %.5f (%.5f)°\n", r.zero, r.zeroEsd);
  t += cformat("U, V, W:            %.6g  %.6g  %.6g\n", r.u, r.v, r.w);
  t += "Tło:               ";
  for (double b : r.background) t += cformat(" %.4g", b);
  report_->setPlainText(QString::fromStdString(t));
}

void FitDialog::reject() {
  if (worker_.joinable()) {
    cancel_flag_ = true;
    worker_.join();
  }
  QDialog::reject();
}

}  // namespace pelmora
