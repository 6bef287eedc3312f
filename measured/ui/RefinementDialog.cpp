#include "measured/ui/RefinementDialog.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

#include "diffractogram/AxisTicks.h"
#include "io/NumberFormat.h"
#include "measured/ui/CorrelationTable.h"

namespace pelmora {

// The observed points, the calculated curve and their difference below,
// redrawn as the refinement goes; the background points the user sets with
// Shift+click and takes away with a right click.
class RefinementPlot : public QWidget {
 public:
  explicit RefinementPlot(QWidget* parent) : QWidget(parent) { setMinimumSize(420, 220); }
  std::function<void(double twoTheta)> addPoint, removePoint;
  void setPoints(std::vector<double> points) {
    points_ = std::move(points);
    update();
  }
  void setData(QVector<double> t, QVector<double> observed, QVector<double> calculated) {
    if (calculated.isEmpty()) tAll_ = t, observedAll_ = observed;
    t_ = std::move(t), observed_ = std::move(observed), calculated_ = std::move(calculated);
    update();
  }
  // y_calc at the fitted points, which may be fewer than the measured ones.
  void setCalculated(QVector<double> calculated, QVector<double> t) {
    t_ = std::move(t);
    if (observedAll_.size() == tAll_.size() && t_.size() == calculated.size()) {
      observed_.clear();
      for (double x : t_) {
        const auto at = std::lower_bound(tAll_.begin(), tAll_.end(), x);
        observed_.push_back(at != tAll_.end() ? observedAll_[at - tAll_.begin()] : 0.0);
      }
      calculated_ = std::move(calculated);
    }
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (t_.size() < 2) return;
    const double top = *std::max_element(observed_.begin(), observed_.end());
    double lowDiff = 0, highDiff = 0;
    for (qsizetype i = 0; i < calculated_.size(); ++i)
      lowDiff = std::min(lowDiff, observed_[i] - calculated_[i]), highDiff = std::max(highDiff, observed_[i] - calculated_[i]);
    // Below the curves a band for the 2-theta axis.
    const int band = fontMetrics().height() + 8;
    const double w = width() - 10, h = height() - 10 - band, span = top + (highDiff - lowDiff) + 1e-9;
    auto X = [&](double t) { return 5 + (t - t_.front()) / (t_.back() - t_.front()) * w; };
    auto Y = [&](double y) { return 5 + (top - y) / span * h; };
    const double zero = Y(-highDiff - 1e-9) + 0.0;  // the difference's zero line below the pattern
    paintAxis(p, X, height() - band);
    p.setPen(QColor(0, 0, 200));
    for (qsizetype i = 0; i < t_.size(); ++i) p.drawPoint(QPointF(X(t_[i]), Y(observed_[i])));
    paintOver(p, X, Y);
    if (calculated_.size() != t_.size()) return;
    QPainterPath calc, diff;
    for (qsizetype i = 0; i < t_.size(); ++i) {
      const QPointF c(X(t_[i]), Y(calculated_[i])), d(X(t_[i]), zero - (observed_[i] - calculated_[i]) / span * h);
      if (i == 0) calc.moveTo(c), diff.moveTo(d);
      else calc.lineTo(c), diff.lineTo(d);
    }
    p.setPen(QPen(QColor(200, 0, 0), 1.0));
    p.drawPath(calc);
    p.setPen(QPen(QColor(0, 130, 0), 1.0));
    p.drawPath(diff);
  }

  // The 2-theta axis along `y`: ticks at round angles, the majors labelled.
  void paintAxis(QPainter& p, const std::function<double(double)>& X, int y) const {
    p.setPen(Qt::black);
    p.drawLine(QPointF(X(t_.front()), y), QPointF(X(t_.back()), y));
    const int majors = std::max(2, (width() - 10) / 80);
    for (const AxisTick& t : LinearTicks(t_.front(), t_.back(), majors)) {
      if (t.kind == 3) continue;
      const double x = X(t.value);
      p.drawLine(QPointF(x, y), QPointF(x, y + (t.kind == 1 ? 5 : 3)));
      if (t.kind != 1) continue;
      // A label at either end is moved in whole rather than cut by the edge.
      const QString label = QString::fromStdString(cformat("%.*f", t.decimals, t.value));
      const double half = fontMetrics().horizontalAdvance(label) / 2.0 + 1.0;
      const double centre = std::clamp(x, half, std::max(half, width() - half));
      p.drawText(QRectF(centre - half, y + 5, 2 * half, fontMetrics().height()), Qt::AlignHCenter | Qt::AlignTop,
                 label);
    }
  }

  void paintOver(QPainter& p, const std::function<double(double)>& X, const std::function<double(double)>& Y) const {
    p.setPen(QPen(QColor(230, 120, 0), 1.5));
    for (double t : points_) {
      const auto at = std::lower_bound(t_.begin(), t_.end(), t);
      if (at == t_.end()) continue;
      const double y = observed_[at - t_.begin()];
      p.drawRect(QRectF(X(t) - 4, Y(y) - 4, 8, 8));
    }
  }

  // The 2-theta under a horizontal position.
  double AngleAt(double x) const { return t_.front() + (x - 5) / (width() - 10) * (t_.back() - t_.front()); }

  void mousePressEvent(QMouseEvent* e) override {
    if (t_.size() < 2) return;
    const double t = AngleAt(e->position().x());
    if (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ShiftModifier) && addPoint) addPoint(t);
    if (e->button() == Qt::RightButton && removePoint && !points_.empty()) {
      // The nearest point, when within 8 pixels.
      const double perPixel = (t_.back() - t_.front()) / (width() - 10);
      const auto nearest = std::min_element(points_.begin(), points_.end(),
                                            [t](double a, double b) { return std::fabs(a - t) < std::fabs(b - t); });
      if (std::fabs(*nearest - t) <= 8 * perPixel) removePoint(*nearest);
    }
  }

 private:
  std::vector<double> points_;
  QVector<double> t_, observed_, calculated_;
  QVector<double> tAll_, observedAll_;  // the whole measurement
};

namespace {

// The refine word whose box ticks a kind of value.
unsigned BitOf(RefinedKind k) {
  switch (k) {
    case RefinedKind::Scale: return kFitScale;
    case RefinedKind::Zero: return kFitZero;
    case RefinedKind::Displacement: return kFitDisplacement;
    case RefinedKind::Transparency: return kFitTransparency;
    case RefinedKind::Background: return kFitBackground;
    case RefinedKind::U:
    case RefinedKind::V:
    case RefinedKind::W: return kFitWidths;
    case RefinedKind::X:
    case RefinedKind::Y: return kFitLorentz;
    case RefinedKind::SL: return kFitAsymmetry;
    case RefinedKind::Cell: return kFitCell;
    case RefinedKind::InverseSize: return kFitSize;
    case RefinedKind::Strain: return kFitStrain;
    case RefinedKind::Orientation: return kFitOrientation;
    case RefinedKind::Shift: return kFitPositions;
    case RefinedKind::Occupancy: return kFitOccupancy;
    case RefinedKind::Biso: return kFitBiso;
    case RefinedKind::Wavelength: return kFitWavelength;
  }
  return 0;
}

QString Number(double v, double esd) { return QString::fromStdString(WithEsd(v, esd)); }

// The name a value goes by under its group ("Pb x" under the phase: "x").
QString ShortName(const RefinedValue& v) {
  std::string name = v.name;
  if (const auto colon = name.rfind(": "); colon != std::string::npos) name = name.substr(colon + 2);
  if (v.kind == RefinedKind::Shift || v.kind == RefinedKind::Occupancy || v.kind == RefinedKind::Biso)
    if (const auto space = name.rfind(' '); space != std::string::npos) name = name.substr(space + 1);
  return QString::fromStdString(name);
}

}  // namespace

RefinementDialog::RefinementDialog(std::vector<Phase> phases, std::shared_ptr<const MeasuredPattern> measured,
                                   QWidget* parent)
    : QDialog(parent), phases_(std::move(phases)), measured_(std::move(measured)) {
  setWindowTitle(tr("Dopasuj do pomiaru"));
  CreateControls();
  // The measurement at once; the calculated curve joins it as the refinement runs.
  plot_->setData(QVector<double>(measured_->twoTheta.begin(), measured_->twoTheta.end()),
                 QVector<double>(measured_->counts.begin(), measured_->counts.end()), {});
  Rebuild();
  setRefined(kFitScale | kFitZero | kFitBackground);
}

RefinementDialog::~RefinementDialog() {
  cancelFlag_ = true;
  if (worker_.joinable()) worker_.join();
}

void RefinementDialog::CreateControls() {
  auto* phaseBox = new QGroupBox(tr("Fazy (dokumenty otwarte w programie)"), this);
  auto* phaseLayout = new QVBoxLayout(phaseBox);
  for (size_t k = 0; k < phases_.size(); ++k) {
    auto* box = new QCheckBox(phases_[k].title, phaseBox);
    box->setChecked(k == 0);
    box->setEnabled(k != 0);
    phaseLayout->addWidget(box);
    phaseBoxes_.push_back(box);
    connect(box, &QCheckBox::toggled, this, [this] { Rebuild(); });
  }
  auto* options = new QHBoxLayout;
  terms_ = new QSpinBox(this);
  terms_->setRange(0, kMaxBackgroundTerms);
  terms_->setValue(6);
  axis_ = new QLineEdit(this);
  axis_->setPlaceholderText(QStringLiteral("h,k,l"));
  axis_->setMaximumWidth(90);
  staged_ = new QCheckBox(tr("Etapami"), this);
  staged_->setChecked(true);
  staged_->setToolTip(tr("Skala i tło, potem komórka i zero, potem profil, na końcu wszystko"));
  options->addWidget(new QLabel(tr("Wyrazy tła:"), this));
  options->addWidget(terms_);
  options->addWidget(new QLabel(tr("Oś tekstury [hkl]:"), this));
  options->addWidget(axis_);
  options->addWidget(staged_);
  options->addStretch();
  connect(terms_, &QSpinBox::valueChanged, this, [this] { Rebuild(); });
  connect(axis_, &QLineEdit::editingFinished, this, [this] { Rebuild(); });

  tree_ = new QTreeWidget(this);
  tree_->setColumnCount(3);
  tree_->setHeaderLabels({tr("Wartość"), tr("Wynik"), tr("Od")});
  tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  tree_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  tree_->setMinimumWidth(400);
  plot_ = new RefinementPlot(this);
  plot_->setToolTip(tr("Shift+klik: punkt tła; prawy klik: usuń punkt. Z punktami tło to ich "
                                   "interpolacja liniowa zamiast wyrazów Czebyszewa."));
  plot_->addPoint = [this](double t) {
    if (running()) return;
    std::vector<double> points = backgroundPoints_;
    points.push_back(t);
    setBackgroundPoints(points);
  };
  plot_->removePoint = [this](double t) {
    if (running()) return;
    std::vector<double> points = backgroundPoints_;
    std::erase(points, t);
    setBackgroundPoints(points);
  };
  auto* split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(tree_);
  split->addWidget(plot_);
  split->setSizes({460, 520});
  status_ = new QLabel(tr("Pomiar: %1 (%2 punktów)").arg(QString::fromStdString(measured_->path)).arg(measured_->size()), this);
  status_->setWordWrap(true);
  report_ = new QPlainTextEdit(this);
  report_->setReadOnly(true);
  report_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  report_->setMaximumHeight(130);

  QHBoxLayout* buttons = CreateButtons();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(phaseBox);
  layout->addLayout(options);
  layout->addWidget(split, 1);
  layout->addWidget(status_);
  layout->addWidget(report_);
  layout->addLayout(buttons);
  resize(980, 700);
}

// "Dopasuj", "Anuluj", "Zapisz do aparatu…", "Zastosuj", "Zamknij".
QHBoxLayout* RefinementDialog::CreateButtons() {
  fit_ = new QPushButton(tr("Dopasuj"), this);
  cancel_ = new QPushButton(tr("Anuluj"), this);
  apply_ = new QPushButton(tr("Zastosuj"), this);
  close_ = new QPushButton(tr("Zamknij"), this);
  saveSet_ = new QPushButton(tr("Zapisz do aparatu…"), this);
  saveSet_->setToolTip(tr("Dopasowane U V W X Y jako zestaw tablicy aparatów, do trzymania stałym przy "
                                      "następnych próbkach"));
  correlations_ = new QPushButton(tr("Korelacje…"), this);
  correlations_->setToolTip(tr("Macierz korelacji wartości dopasowanych"));
  cancel_->setEnabled(false);
  apply_->setEnabled(false);
  saveSet_->setEnabled(false);
  correlations_->setEnabled(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(fit_);
  buttons->addWidget(cancel_);
  buttons->addWidget(correlations_);
  buttons->addStretch();
  buttons->addWidget(saveSet_);
  buttons->addWidget(apply_);
  buttons->addWidget(close_);
  connect(fit_, &QPushButton::clicked, this, &RefinementDialog::startFit);
  connect(cancel_, &QPushButton::clicked, this, [this] { cancelFlag_ = true; });
  connect(apply_, &QPushButton::clicked, this, &QDialog::accept);
  connect(correlations_, &QPushButton::clicked, this, [this] {
    CorrelationDialog table(outcome_, this);
    table.exec();
  });
  connect(close_, &QPushButton::clicked, this, &RefinementDialog::reject);
  connect(saveSet_, &QPushButton::clicked, this, [this] {
    bool ok = false;
    const QString name = QInputDialog::getText(this, tr("Zapisz do aparatu"), tr("Nazwa zestawu:"),
                                               QLineEdit::Normal, tr("Dopasowany"), &ok);
    if (ok && !name.trimmed().isEmpty()) SaveInstrument(name.trimmed());
  });

  return buttons;
}

// A new model for the phases, background terms and axis chosen; the boxes
// ticked keep their names' ticks.
void RefinementDialog::Rebuild() {
  std::map<std::string, bool> ticked;
  if (ref_) {
    ReadTree();
    for (const RefinedValue& v : ref_->values()) ticked[v.name] = v.refine;
  }
  const CKomorka& first = *phases_.front().doc;
  RefinementSetup setup;
  RefinementPattern pattern;
  pattern.name = measured_->path;
  pattern.data = *measured_;
  pattern.experiment = first.experiment;
  pattern.backgroundTerms = terms_->value();
  pattern.backgroundPoints = backgroundPoints_;
  terms_->setEnabled(backgroundPoints_.empty());
  setup.patterns.push_back(std::move(pattern));
  fitted_.clear();
  std::optional<std::array<int, 3>> axis;
  std::array<int, 3> hkl{};
  char c1 = 0, c2 = 0;
  if (std::sscanf(axis_->text().toUtf8().constData(), "%d%c%d%c%d", &hkl[0], &c1, &hkl[1], &c2, &hkl[2]) == 5) axis = hkl;
  for (size_t k = 0; k < phases_.size(); ++k) {
    if (!phaseBoxes_[k]->isChecked()) continue;
    fitted_.push_back(k);
    setup.phases.push_back({phases_[k].title.toStdString(), phases_[k].doc, false, k == 0 ? axis : std::nullopt});
  }
  setup.cancel = &cancelFlag_;
  setup.progress = [this](int iteration, double rwp, const std::vector<double>& calculated) {
    QVector<double> curve(calculated.begin(), calculated.end());
    QMetaObject::invokeMethod(
        this,
        [this, iteration, rwp, curve] {
          status_->setText(tr("Krok %1, Rwp = %2 %").arg(iteration).arg(rwp, 0, 'f', 3));
          if (!ref_) return;
          const std::vector<double>& t = ref_->FittedAngles(0);
          plot_->setCalculated(curve, QVector<double>(t.begin(), t.end()));
        },
        Qt::QueuedConnection);
  };
  std::string error;
  ref_ = Refinement::Create(setup, &error);
  apply_->setEnabled(false);
  fit_->setEnabled(ref_ != nullptr);
  if (!ref_) {
    status_->setText(QString::fromStdString(error));
    tree_->clear();
    items_.clear();
    return;
  }
  for (RefinedValue& v : ref_->values())
    if (const auto it = ticked.find(v.name); it != ticked.end()) v.refine = it->second;
  FillTree();
}

void RefinementDialog::setBackgroundPoints(std::vector<double> points) {
  std::sort(points.begin(), points.end());
  backgroundPoints_ = std::move(points);
  plot_->setPoints(backgroundPoints_);
  Rebuild();
}

void RefinementDialog::FillTree() {
  tree_->clear();
  items_.clear();
  std::map<std::pair<int, int>, QTreeWidgetItem*> groups;  // (phase, site or -1) -> item
  auto group = [&](int phase, int site, const QString& title) {
    QTreeWidgetItem*& g = groups[{phase, site}];
    if (!g) {
      QTreeWidgetItem* parent = site == -1 ? nullptr : groups[{phase, -1}];
      g = parent ? new QTreeWidgetItem(parent, {title}) : new QTreeWidgetItem(tree_, {title});
      g->setFlags(g->flags() | Qt::ItemIsAutoTristate | Qt::ItemIsUserCheckable);
      g->setCheckState(0, Qt::Unchecked);
      g->setExpanded(site == -1);
    }
    return g;
  };
  group(-1, -1, tr("Pomiar"));
  for (size_t k = 0; k < fitted_.size(); ++k) group(static_cast<int>(k), -1, phases_[fitted_[k]].title);
  for (const RefinedValue& v : ref_->values()) {
    // The first pattern's wavelength fixes the length scale: never refined.
    if (v.kind == RefinedKind::Wavelength && v.pattern == 0) {
      items_.push_back(nullptr);
      continue;
    }
    QTreeWidgetItem* parent = group(v.phase, -1, QString());
    if (v.kind == RefinedKind::Background)
      parent = group(-1, -2, backgroundPoints_.empty() ? tr("Tło (Czebyszew)") : tr("Tło (punkty)"));
    if (v.kind == RefinedKind::Shift || v.kind == RefinedKind::Occupancy || v.kind == RefinedKind::Biso) {
      std::string label = v.name.substr(v.name.rfind(": ") == std::string::npos ? 0 : v.name.rfind(": ") + 2);
      label = label.substr(0, label.rfind(' '));
      parent = group(v.phase, v.index, QString::fromStdString(label));
    }
    auto* item = new QTreeWidgetItem(parent, {ShortName(v), Number(v.value, v.esd)});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, v.refine ? Qt::Checked : Qt::Unchecked);
    items_.push_back(item);
  }
}

void RefinementDialog::ReadTree() {
  if (!ref_) return;
  std::vector<RefinedValue>& values = ref_->values();
  for (size_t i = 0; i < values.size() && i < items_.size(); ++i)
    if (items_[i]) values[i].refine = items_[i]->checkState(0) == Qt::Checked;
}

void RefinementDialog::ShowValues() {
  const std::vector<RefinedValue>& values = ref_->values();
  for (size_t i = 0; i < values.size() && i < items_.size(); ++i) {
    if (!items_[i]) continue;
    items_[i]->setText(1, Number(values[i].value, values[i].esd));
    items_[i]->setText(2, std::isfinite(values[i].esd) ? QString::number(values[i].esd, 'g', 2) : QString());
  }
}

void RefinementDialog::setRefined(unsigned what) {
  if (!ref_) return;
  for (size_t i = 0; i < ref_->values().size() && i < items_.size(); ++i)
    if (items_[i]) items_[i]->setCheckState(0, (BitOf(ref_->values()[i].kind) & what) ? Qt::Checked : Qt::Unchecked);
}

bool RefinementDialog::instrumentRefined() const {
  for (const RefinedValue& v : ref_->values())
    if (v.refine && (BitOf(v.kind) & (kFitWidths | kFitLorentz))) return true;
  return false;
}

void RefinementDialog::startFit() {
  if (!ref_ || worker_.joinable()) return;
  ReadTree();
  cancelFlag_ = false;
  fit_->setEnabled(false);
  apply_->setEnabled(false);
  correlations_->setEnabled(false);
  cancel_->setEnabled(true);
  tree_->setEnabled(false);
  for (QCheckBox* b : phaseBoxes_) b->setEnabled(false);
  terms_->setEnabled(false);
  axis_->setEnabled(false);
  status_->setText(tr("Dopasowanie…"));
  ref_->SetStaged(staged_->isChecked());
  worker_ = std::thread([this] {
    RefinementOutcome r = ref_->Run();
    QMetaObject::invokeMethod(
        this,
        [this, r = std::move(r)]() mutable {
          outcome_ = std::move(r);
          Finished();
        },
        Qt::QueuedConnection);
  });
}

void RefinementDialog::Finished() {
  if (worker_.joinable()) worker_.join();
  cancel_->setEnabled(false);
  fit_->setEnabled(true);
  tree_->setEnabled(true);
  for (size_t k = 1; k < phaseBoxes_.size(); ++k) phaseBoxes_[k]->setEnabled(true);
  terms_->setEnabled(true);
  axis_->setEnabled(true);
  correlations_->setEnabled(outcome_.error.empty() && !outcome_.correlations.empty());
  if (!outcome_.error.empty()) {
    status_->setText(outcome_.cancelled ? tr("Dopasowanie przerwane.") : QString::fromStdString(outcome_.error));
    emit fitFinished();
    return;
  }
  ShowValues();
  const RefinedPatternFigures& p = outcome_.patterns.front();
  plot_->setData(QVector<double>(p.twoTheta.begin(), p.twoTheta.end()), QVector<double>(p.observed.begin(), p.observed.end()),
                 QVector<double>(p.calculated.begin(), p.calculated.end()));
  status_->setText(tr("Rp = %1 %   Rwp = %2 %   Rexp = %3 %   χ² = %4   kroki: %5   %6")
                       .arg(outcome_.rp, 0, 'f', 3)
                       .arg(outcome_.rwp, 0, 'f', 3)
                       .arg(outcome_.rexp, 0, 'f', 3)
                       .arg(outcome_.chi2, 0, 'f', 4)
                       .arg(outcome_.iterations)
                       .arg(outcome_.converged ? tr("zbieżne") : tr("NIEZBIEŻNE")));
  QString text;
  for (size_t k = 0; k < outcome_.phases.size(); ++k) {
    const RefinedPhaseFigures& ph = outcome_.phases[k];
    text += tr("%1: udział wagowy %2\n")
                .arg(phases_[fitted_[k]].title,
                     std::isfinite(ph.weightFraction) ? Number(ph.weightFraction, ph.weightFractionEsd)
                                                      : tr("nieznany"));
  }
  for (const std::string& w : outcome_.warnings) text += tr("Uwaga: %1\n").arg(QString::fromStdString(w));
  report_->setPlainText(text);
  apply_->setEnabled(true);
  saveSet_->setEnabled(instrumentRefined() && saveInstrument != nullptr);
  emit fitFinished();
}

void RefinementDialog::SaveInstrument(const QString& name) {
  if (!ref_ || !saveInstrument) return;
  ApparatusSet set;
  set.name = name.toStdString();
  for (const RefinedValue& v : ref_->values()) {
    if (v.pattern != 0) continue;
    if (v.kind == RefinedKind::U) set.u = v.value;
    if (v.kind == RefinedKind::V) set.v = v.value;
    if (v.kind == RefinedKind::W) set.w = v.value;
    if (v.kind == RefinedKind::X) set.x = v.value;
    if (v.kind == RefinedKind::Y) set.y = v.value;
  }
  saveInstrument(set);
  status_->setText(tr("Zapisano zestaw „%1” w tablicy aparatów.").arg(name));
}

void RefinementDialog::reject() {
  cancelFlag_ = true;
  if (worker_.joinable()) worker_.join();
  QDialog::reject();
}

}  // namespace pelmora
