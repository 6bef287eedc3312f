#include "editors/ui/InfoPanel.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

#include "documents/ui/KomorkaDocument.h"
#include "documents/ui/NotificationHub.h"
#include "editors/ui/AtomListModel.h"
#include "io/NumberFormat.h"
#include "engine/SpaceGroup.h"
#include "refdata/AnomalSets.h"
#include "refdata/Composition.h"

namespace pelmora {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The system names as this panel shows them: with Polish letters, unlike
// the names written to files.
const char* const kShownSystemNames[8] = {"",          QT_TRANSLATE_NOOP("pelmora::CPropPage1", "regularna"),   QT_TRANSLATE_NOOP("pelmora::CPropPage1", "tetragonalna"), QT_TRANSLATE_NOOP("pelmora::CPropPage1", "rombowa"), QT_TRANSLATE_NOOP("pelmora::CPropPage1", "romboedryczna"),
                                          QT_TRANSLATE_NOOP("pelmora::CPropPage1", "heksagonalna"), QT_TRANSLATE_NOOP("pelmora::CPropPage1", "jednoskośna"), QT_TRANSLATE_NOOP("pelmora::CPropPage1", "trójskośna")};

QString CellTypeText(LatticeType t) {
  const LatticeType code = t & kSystemMask;
  const char* name = (code >= 1 && code <= 7) ? kShownSystemNames[code] : "";
  const char* suffix = " (P)";
  switch (t & kCentringMask) {
    case kBodyCentred: suffix = " (I)"; break;
    case kFaceCentred: suffix = " (F)"; break;
    case kBaseCentred: suffix = " (C)"; break;
    default: break;
  }
  return CPropPage1::tr(name) + QLatin1String(suffix);
}

QFont PanelFont(const QFont& base) {
  QFont f(base);
  f.setFamily(QStringLiteral("Arial"));
  f.setStyleHint(QFont::SansSerif);
  return f;
}

QLineEdit* ReadOnlyField(QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setReadOnly(true);
  return e;
}

}  // namespace

// --- "Informacje" -------------------------------------------------------------------

namespace {

// A value label of the page: right-aligned and selectable.
QLabel* ValueLabel(QWidget* parent) {
  auto* value = new QLabel(parent);
  value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  value->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return value;
}

// The value with its unit beside it.
QHBoxLayout* WithUnit(QWidget* parent, QLabel* value, const QString& unit) {
  auto* row = new QHBoxLayout;
  row->addWidget(value, 1);
  row->addWidget(new QLabel(unit, parent));
  return row;
}

}  // namespace

CPropPage1::CPropPage1(QWidget* parent) : QWidget(parent) {
  static const char* const kLabels[6] = {QT_TRANSLATE_NOOP("pelmora::CPropPage1", "Typ komórki:"), QT_TRANSLATE_NOOP("pelmora::CPropPage1", "Liczba atomów w komórce:"), QT_TRANSLATE_NOOP("pelmora::CPropPage1", "Promieniowanie:"),
                                         QT_TRANSLATE_NOOP("pelmora::CPropPage1", "Źródło:"),      QT_TRANSLATE_NOOP("pelmora::CPropPage1", "Długość fali λ1:"),         QT_TRANSLATE_NOOP("pelmora::CPropPage1", "Długość fali λ2:")};
  static const char* const kSummaryLabels[kSummaryCount] = {QT_TRANSLATE_NOOP("pelmora::CPropPage1", "Grupa przestrzenna:"), QT_TRANSLATE_NOOP("pelmora::CPropPage1", "Z:"), QT_TRANSLATE_NOOP("pelmora::CPropPage1", "Wzór:"), QT_TRANSLATE_NOOP("pelmora::CPropPage1", "Gęstość:"),
                                                            QT_TRANSLATE_NOOP("pelmora::CPropPage1", "Objętość komórki:")};
  static const char* const kSummaryUnits[kSummaryCount] = {nullptr, nullptr, nullptr, "g/cm³", "Å³"};
  auto* form = new QFormLayout(this);
  form->setLabelAlignment(Qt::AlignLeft);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  for (int i = 0; i < 6; ++i) {
    QLabel* value = ValueLabel(this);
    values_[static_cast<std::size_t>(i)] = value;
    if (i < 4) form->addRow(tr(kLabels[i]), value);
    else form->addRow(tr(kLabels[i]), WithUnit(this, value, QStringLiteral("Å")));
    if (i != 1) continue;
    // The crystal's summary below the cell, above the radiation.
    for (int k = 0; k < kSummaryCount; ++k) {
      QLabel* v = ValueLabel(this);
      summary_[static_cast<std::size_t>(k)] = v;
      const QString label = tr(kSummaryLabels[k]);
      if (kSummaryUnits[k]) form->addRow(label, WithUnit(this, v, QString::fromUtf8(kSummaryUnits[k])));
      else form->addRow(label, v);
    }
  }
  anomalNote_ = new QLabel(this);
  anomalNote_->setWordWrap(true);
  anomalNote_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form->addRow(anomalNote_);
  Refresh(nullptr);
}

QString CPropPage1::value(int i) const { return values_[static_cast<std::size_t>(i)]->text(); }
QString CPropPage1::summary(Summary which) const { return summary_[static_cast<std::size_t>(which)]->text(); }
QString CPropPage1::anomalNote() const { return anomalNote_->text(); }

void CPropPage1::ShowSummary(const CKomorka& d) {
  if (d.crystal.spaceGroup.empty()) {
    summary_[kSpaceGroup]->setText(tr("brak"));
  } else {
    const std::optional<SpaceGroupSetting> g = FindSpaceGroup(d.crystal.spaceGroup);
    summary_[kSpaceGroup]->setText(g ? Q(cformat("%s (%d)", d.crystal.spaceGroup.c_str(), g->number))
                                     : Q(d.crystal.spaceGroup));
  }
  const CellComposition c = CompositionOf(d);
  summary_[kZ]->setText(c.z > 0 ? Q(cformat("%d", c.z)) : QString());
  summary_[kFormula]->setText(Q(c.formula));
  summary_[kDensity]->setText(c.density > 0.0 ? Q(cformat("%.3f", c.density)) : QString());
  const double volume = d.cell.WithFreshMetric().CellVolume();
  summary_[kVolume]->setText(std::isfinite(volume) ? Q(cformat("%.3f", volume)) : QString());
}

void CPropPage1::Refresh(const KomorkaDocument* doc) {
  if (!doc) {
    const char* const none[6] = {QT_TRANSLATE_NOOP("pelmora::CPropPage1", "nieznany"), QT_TRANSLATE_NOOP("pelmora::CPropPage1", "nieznany"), QT_TRANSLATE_NOOP("pelmora::CPropPage1", "nieznany"), QT_TRANSLATE_NOOP("pelmora::CPropPage1", "nieznane"), "", ""};
    for (int i = 0; i < 6; ++i) values_[static_cast<std::size_t>(i)]->setText(tr(none[i]));
    for (QLabel* v : summary_) v->clear();
    anomalNote_->clear();
    anomalNote_->hide();
    return;
  }
  const CKomorka& d = doc->doc();
  values_[0]->setText(CellTypeText(d.crystal.latticeType));
  values_[1]->setText(Q(cformat("%d", static_cast<int>(d.crystal.cellAtoms.size()))));
  values_[2]->setText(d.experiment.radiation == 1   ? tr("neutrony")
                      : d.experiment.radiation == 0 ? QStringLiteral("X")
                                                    : QString());
  values_[3]->setText(Q(d.experiment.sourceName));
  values_[4]->setText(Q(cformat("%.5f", d.experiment.lambda1)));
  values_[5]->setText(Q(cformat("%.5f", d.experiment.lambda2)));
  ShowSummary(d);
  anomalNote_->setText(Q(StaleAnomalNote(d)));
  anomalNote_->setVisible(!anomalNote_->text().isEmpty());
}

// --- "Atomy" ------------------------------------------------------------------------

CPropPage2::CPropPage2(QWidget* parent) : QWidget(parent) {
  model_ = new AtomListModel({tr("Nazwa"), QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")},
                             Qt::AlignRight | Qt::AlignVCenter, this);
  list_ = new QTableView(this);
  list_->setModel(model_);
  list_->verticalHeader()->hide();
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
  list_->horizontalHeader()->setStretchLastSection(true);
  connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { ShowAtom(current.row()); });

  static const char* const kLabels[13] = {QT_TRANSLATE_NOOP("pelmora::CPropPage2", "Nazwa:"), "S:", "A1:", "A2:", "A3:", "A4:", "B1:",
                                          "B2:",    "B3:", "B4:", "C:", "f ':", " f'':"};
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(3);
  // Name and S on the first row, then A and B side by side, then C, f', f''.
  const int place[13][2] = {{0, 0}, {0, 1}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {1, 1},
                            {2, 1}, {3, 1}, {4, 1}, {5, 0}, {5, 1}, {6, 0}};
  for (int i = 0; i < 13; ++i) {
    fields_[static_cast<std::size_t>(i)] = ReadOnlyField(this);
    grid->addWidget(new QLabel(tr(kLabels[i]), this), place[i][0], place[i][1] * 2);
    grid->addWidget(fields_[static_cast<std::size_t>(i)], place[i][0], place[i][1] * 2 + 1);
  }
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(grid);
  Refresh(nullptr);
}

void CPropPage2::Refresh(const KomorkaDocument* doc) {
  doc_ = doc;
  // The list starts again from its top, with nothing chosen.
  model_->Refill(nullptr, 0, {});
  for (QLineEdit* f : fields_) f->clear();
  if (!doc) return;
  model_->Refill(nullptr, static_cast<int>(doc->doc().crystal.cellAtoms.size()),
                 [this](int row, int column) -> QString {
                   if (!doc_ || row >= static_cast<int>(doc_->doc().crystal.cellAtoms.size())) return {};
                   const AtomSite& a = doc_->doc().crystal.cellAtoms[static_cast<std::size_t>(row)];
                   switch (column) {
                     case 0:
                       return Q(cformat("%d", row + 1));
                     case 1:
                       return Q(cformat("%.4f", a.x));
                     case 2:
                       return Q(cformat("%.4f", a.y));
                     case 3:
                       return Q(cformat("%.4f", a.z));
                     default:
                       return {};
                   }
                 });
}

void CPropPage2::ShowAtom(int row) {
  for (QLineEdit* f : fields_) f->clear();
  if (!doc_ || row < 0 || row >= static_cast<int>(doc_->doc().crystal.cellAtoms.size())) return;
  const AtomSite& a = doc_->doc().crystal.cellAtoms[static_cast<std::size_t>(row)];
  const double values[12] = {a.s, a.a1, a.a2, a.a3, a.a4, a.b1, a.b2, a.b3, a.b4, a.c, a.fprim, a.fbis};
  fields_[0]->setText(Q(a.name));
  for (int i = 0; i < 12; ++i) fields_[static_cast<std::size_t>(i + 1)]->setText(Q(cformat("%.6f", values[i])));
}

// --- "Kursor" -----------------------------------------------------------------------

CPropPage3::CPropPage3(QWidget* parent) : QWidget(parent) {
  for (QLineEdit*& f : fields_) f = ReadOnlyField(this);
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(tr("Kąt:"), this), 0, 0);
  grid->addWidget(fields_[0], 0, 1, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("°"), this), 0, 3);
  grid->addWidget(new QLabel(tr("Natężenie:"), this), 1, 0);
  grid->addWidget(fields_[1], 1, 1, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("%"), this), 1, 3);
  grid->addWidget(new QLabel(tr("Refleksy (h,k,l):"), this), 2, 0, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("Kα1"), this), 3, 0, Qt::AlignRight);
  grid->addWidget(fields_[2], 3, 1, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Kα2"), this), 4, 0, Qt::AlignRight);
  grid->addWidget(fields_[3], 4, 1, 1, 2);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(5, 1);
}

void CPropPage3::Show(const QString& angle, const QString& intensity, const QString& ka1, const QString& ka2) {
  const QString texts[4] = {angle, intensity, ka1, ka2};
  for (std::size_t i = 0; i < 4; ++i) {
    fields_[i]->setText(texts[i]);
    fields_[i]->setCursorPosition(0);
  }
}

// --- the sheet and the panel ----------------------------------------------------------

CProp::CProp(QWidget* parent) : QTabWidget(parent) {
  info_ = new CPropPage1(this);
  atoms_ = new CPropPage2(this);
  cursor_ = new CPropPage3(this);
  addTab(info_, tr("Informacje"));
  addTab(atoms_, tr("Atomy"));
  addTab(cursor_, tr("Kursor"));
}

CPropBar::CPropBar(NotificationHub& hub, QWidget* parent) : QDockWidget(tr("Info"), parent) {
  setObjectName(QStringLiteral("InfoPanel"));
  // A floating panel that never docks.
  setAllowedAreas(Qt::NoDockWidgetArea);
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
  sheet_ = new CProp(this);
  sheet_->setFont(PanelFont(sheet_->font()));
  setWidget(sheet_);

  connect(&hub, &NotificationHub::activeDocumentChanged, this, &CPropBar::Bind);
  connect(&hub, &NotificationHub::structureChanged, this, [this](KomorkaDocument* d) {
    if (d != doc_) return;
    sheet_->info()->Refresh(doc_);
    sheet_->atoms()->Refresh(doc_);
  });
  // The radiation and source shown change with the experiment page.
  connect(&hub, &NotificationHub::parametersChanged, this, [this](KomorkaDocument* d) {
    if (d == doc_) sheet_->info()->Refresh(doc_);
  });
  connect(&hub, &NotificationHub::cursorRead, sheet_->cursor(), &CPropPage3::Show);
  Bind(nullptr);
}

void CPropBar::Bind(KomorkaDocument* doc) {
  doc_ = doc;
  sheet_->info()->Refresh(doc);
  sheet_->atoms()->Refresh(doc);
  sheet_->cursor()->Show({}, {}, {}, {});
  sheet_->setEnabled(doc != nullptr);
}

}  // namespace pelmora
