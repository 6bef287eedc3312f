#include "refdata/ui/PeriodicTableDialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <string>

#include "widgets/NumberEdit.h"
#include "io/NumberFormat.h"
#include "refdata/ReferenceData.h"

namespace pelmora {

namespace {

// Tiles at a pitch of 41 pixels across and 43 down; the lanthanides and
// actinides get two rows of their own under the third column.
constexpr int kTileW = 42, kTileH = 44, kPitchX = 41, kPitchY = 43, kLeft = 12, kTop = 10;
constexpr int kFRowGap = 14;

QColor FromBgr(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QString U(const std::string& s) { return QString::fromStdString(s); }

// Row (0-based, 7 and 8 for the lanthanide and actinide rows) and column
// (0..17) of element nr in the 18-column arrangement.
QPoint CellOf(int nr) {
  if (nr == 1) return {0, 0};
  if (nr == 2) return {17, 0};
  if (nr <= 10) return {nr <= 4 ? nr - 3 : nr + 7, 1};
  if (nr <= 18) return {nr <= 12 ? nr - 11 : nr - 1, 2};
  if (nr <= 36) return {nr - 19, 3};
  if (nr <= 54) return {nr - 37, 4};
  if (nr >= 57 && nr <= 71) return {2 + nr - 57, 7};
  if (nr >= 89 && nr <= 103) return {2 + nr - 89, 8};
  if (nr <= 56) return {nr - 55, 5};
  if (nr <= 86) return {nr - 72 + 3, 5};
  if (nr <= 88) return {nr - 87, 6};
  if (nr <= 118) return {nr - 104 + 3, 6};
  return {17, 8};  // "X"
}

QPoint TilePos(int nr) {
  const QPoint c = CellOf(nr);
  const int y = kTop + c.y() * kPitchY + (c.y() >= 7 ? kFRowGap : 0);
  return {kLeft + c.x() * kPitchX, y};
}

QString ChargeText(int charge) { return charge >= 1 ? QStringLiteral("+%1").arg(charge) : QString::number(charge); }

struct LegendRow {
  const char* label;
  QColor colour;
};
const LegendRow kLegend[] = {
    {QT_TRANSLATE_NOOP("pelmora::CAtomTable", "- regularna P"), QColor(0, 255, 128)},     {QT_TRANSLATE_NOOP("pelmora::CAtomTable", "- regularna I"), QColor(255, 20, 20)},
    {QT_TRANSLATE_NOOP("pelmora::CAtomTable", "- regularna F"), QColor(100, 197, 255)},   {QT_TRANSLATE_NOOP("pelmora::CAtomTable", "- tetragonalna"), QColor(255, 255, 155)},
    {QT_TRANSLATE_NOOP("pelmora::CAtomTable", "- rombowa"), QColor(0, 255, 0)},           {QT_TRANSLATE_NOOP("pelmora::CAtomTable", "- jednoskośna"), QColor(255, 255, 0)},
    {QT_TRANSLATE_NOOP("pelmora::CAtomTable", "- trójskośna"), QColor(20, 20, 225)},      {QT_TRANSLATE_NOOP("pelmora::CAtomTable", "- romboedryczna"), QColor(255, 176, 232)},
    {QT_TRANSLATE_NOOP("pelmora::CAtomTable", "- heksagonalna"), QColor(255, 172, 0)},    {QT_TRANSLATE_NOOP("pelmora::CAtomTable", "- diamentu"), QColor(150, 150, 150)},
    {QT_TRANSLATE_NOOP("pelmora::CAtomTable", "- nieznana"), QColor(255, 255, 255)},
};

// Integer fields (charge, mass number): the framework's own refusal text.
// An empty field stands for 0 where an atom is built; a record to be stored
// in the tables needs its key typed.
bool TakeInteger(NumberEdit* f, std::int32_t* out, bool emptyIsZero = true) {
  if (emptyIsZero && f->text().trimmed().isEmpty()) {
    *out = 0;
    return true;
  }
  const std::optional<double> v = f->value();
  if (!v || *v != std::floor(*v) || std::fabs(*v) > 1e9) {
    QMessageBox::warning(f->window(), QStringLiteral("Pelmora"), QCoreApplication::translate("PeriodicTableDialog", "Enter an integer."));
    f->setFocus();
    f->selectAll();
    return false;
  }
  *out = static_cast<std::int32_t>(*v);
  return true;
}

// An empty field stands for 0 (nothing tabulated there); text that is no
// number is refused.
bool TakeDecimal(NumberEdit* f, double* out) {
  if (f->text().trimmed().isEmpty()) {
    *out = 0.0;
    return true;
  }
  return f->TakeNumber(out);
}

// Far above any nucleus known; keeps "(%d)" in the proposed names short.
constexpr int kMaxMassNumber = 999;

bool Ask(QWidget* parent, const char* question) {
  return QMessageBox::question(parent, QCoreApplication::translate("PeriodicTableDialog", "Pytanie"), QCoreApplication::translate("PeriodicTableDialog", question),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

// An element holds kMaxTabulated records of each kind; the slot behind them
// is its user record's.
bool RefuseFull(QWidget* parent, int count) {
  if (count < ElementTable::kMaxTabulated) return false;
  QMessageBox::information(parent, QCoreApplication::translate("PeriodicTableDialog", "Info"),
                           QCoreApplication::translate("PeriodicTableDialog", "Tablica jest pełna: mieści %1 pozycji.").arg(ElementTable::kMaxTabulated));
  return true;
}

NumberEdit* FixedEdit(QWidget* parent, int width) {
  auto* e = new NumberEdit(parent);
  e->setFixedWidth(width);
  return e;
}

QPushButton* EditButton(const QString& text, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  // Enter in a number field must not store anything in the tables.
  b->setAutoDefault(false);
  return b;
}

}  // namespace

// --- tiles -----------------------------------------------------------------------

CAtomTabEntry::CAtomTabEntry(const ElementEntry& e, int nr, QWidget* parent) : QAbstractButton(parent), e_(e), nr_(nr) {
  setFixedSize(kTileW, kTileH);
  setCheckable(true);
  setAutoExclusive(true);
  setFocusPolicy(Qt::NoFocus);
  setToolTip(e.name.empty() ? U(e.symbol) : QStringLiteral("%1 %2").arg(U(e.symbol), U(e.name)));
}

void CAtomTabEntry::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect().adjusted(0, 0, -1, -1);
  p.fillRect(r, FromBgr(e_.structureColor));
  p.setPen(isChecked() ? QPen(Qt::black, 2) : QPen(QColor(90, 90, 90), 1));
  p.drawRect(isChecked() ? r.adjusted(1, 1, 0, 0) : r);
  // Dark tiles get light letters.
  const QColor bg = FromBgr(e_.structureColor);
  p.setPen(bg.lightness() < 110 ? Qt::white : Qt::black);
  QFont f = font();
  f.setPixelSize(9);
  p.setFont(f);
  if (nr_ != 119) p.drawText(QRect(3, 1, width() - 5, 11), Qt::AlignLeft | Qt::AlignTop, QString::number(nr_));
  f.setPixelSize(15);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRect(0, 10, width(), 19), Qt::AlignCenter, U(e_.symbol));
  f.setBold(false);
  // Long names ("rutherford", "prazeodym") get a smaller size, not an ellipsis.
  const QString name = U(e_.name);
  for (int px = 8; px >= 6; --px) {
    f.setPixelSize(px);
    if (QFontMetrics(f).horizontalAdvance(name) <= width() - 3) break;
  }
  p.setFont(f);
  p.drawText(QRect(0, 30, width(), 12), Qt::AlignCenter, name);
}

// --- the large cell ------------------------------------------------------------------

CAtomMain::CAtomMain(QWidget* parent) : QWidget(parent) {
  setFixedSize(3 * kPitchX + kTileW, 3 * kPitchY - 2);
  const Qt::ArrowType arrows[4] = {Qt::LeftArrow, Qt::RightArrow, Qt::LeftArrow, Qt::RightArrow};
  const char* tips[4] = {QT_TRANSLATE_NOOP("pelmora::CAtomMain", "Poprzedni jon"), QT_TRANSLATE_NOOP("pelmora::CAtomMain", "Następny jon"), QT_TRANSLATE_NOOP("pelmora::CAtomMain", "Poprzedni izotop"), QT_TRANSLATE_NOOP("pelmora::CAtomMain", "Następny izotop")};
  for (int i = 0; i < 4; ++i) {
    auto* b = new QToolButton(this);
    b->setArrowType(arrows[i]);
    b->setAutoRaise(true);
    b->setFixedSize(18, 18);
    b->setToolTip(tr(tips[i]));
    b->setFocusPolicy(Qt::NoFocus);
    buttons_[static_cast<size_t>(i)] = b;
  }
  ion_ = new QLabel(this);
  isotope_ = new QLabel(this);
  for (QLabel* l : {ion_, isotope_}) {
    l->setAlignment(Qt::AlignCenter);
    QFont f = l->font();
    f.setPixelSize(12);
    f.setBold(true);
    l->setFont(f);
  }
  const int w = width(), rowIon = height() - 44, rowIso = height() - 23;
  auto place = [&](QToolButton* prev, QLabel* label, QToolButton* next, int y, const QString& caption) {
    auto* cap = new QLabel(caption, this);
    QFont f = cap->font();
    f.setPixelSize(10);
    cap->setFont(f);
    cap->setGeometry(6, y, 42, 18);
    prev->move(48, y);
    label->setGeometry(66, y, w - 66 - 24, 18);
    next->move(w - 24, y);
  };
  place(buttons_[0], ion_, buttons_[1], rowIon, tr("Jon:"));
  place(buttons_[2], isotope_, buttons_[3], rowIso, tr("Izotop:"));
}

void CAtomMain::Show(const ElementEntry& e, int nr, const QString& ionLabel, const QString& isotopeLabel) {
  e_ = &e;
  nr_ = nr;
  ion_->setText(ionLabel);
  isotope_->setText(isotopeLabel);
  update();
}

QString CAtomMain::ionLabel() const { return ion_->text(); }
QString CAtomMain::isotopeLabel() const { return isotope_->text(); }

void CAtomMain::paintEvent(QPaintEvent*) {
  if (!e_) return;
  QPainter p(this);
  const QRect r = rect().adjusted(0, 0, -1, -1);
  p.fillRect(r, FromBgr(e_->structureColor));
  p.setPen(QPen(Qt::black, 1));
  p.drawRect(r);
  // A light band behind the step rows keeps their labels legible on every colour.
  p.fillRect(QRect(2, height() - 47, width() - 4, 45), QColor(255, 255, 255, 170));
  p.setPen(Qt::black);
  QFont f = font();
  f.setPixelSize(12);
  p.setFont(f);
  if (nr_ != 119) p.drawText(QRect(6, 3, 60, 16), Qt::AlignLeft | Qt::AlignVCenter, QString::number(nr_));
  f.setPixelSize(30);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRect(0, 6, width(), 38), Qt::AlignCenter, U(e_->symbol));
  f.setBold(false);
  f.setPixelSize(12);
  p.setFont(f);
  p.drawText(QRect(0, 44, width(), 18), Qt::AlignCenter, U(e_->name));
}

// --- the dialog ------------------------------------------------------------------------

CAtomTable::CAtomTable(ReferenceData& ref, const AtomSite* atom, bool documentOpen, QWidget* parent)
    : QDialog(parent), ref_(ref), withAtom_(atom != nullptr) {
  setWindowTitle(tr("Wybór atomu"));
  if (atom) opened_ = *atom;

  auto* top = new QHBoxLayout;
  top->addWidget(BuildTable());
  top->addWidget(BuildLegend(), 0, Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(BuildFields());

  anomal_->addItem(tr("* użytkownika"));
  for (const AnomalTable& t : ref_.anomalTables) anomal_->addItem(U(t.name));
  anomal_->setCurrentIndex(documentOpen ? 0 : -1);
  connect(anomal_, &QComboBox::currentIndexChanged, this, [this](int i) {
    // Nothing selected falls back to the user's values.
    if (i < 0) {
      anomal_->setCurrentIndex(0);
      return;
    }
    ShowAnomal();
  });

  if (atom) {
    const int nr = (atom->nr >= 1 && atom->nr <= ElementTable::kElementCount) ? atom->nr : ElementTable::kPlaceholder;
    ElementEntry* e = ref_.elements.Find(nr);
    e->userIon = IonRecord{atom->ionCharge, atom->a1, atom->b1, atom->a2, atom->b2,
                           atom->a3,        atom->b3, atom->a4, atom->b4, atom->c};
    e->userIsotope = IsotopeRecord{atom->isotopeMass, atom->s};
    element_ = nr;
    ion_ = e->ionCount();
    isotope_ = e->isotopeCount();
    ShowElement();
  } else {
    SelectElement(1);
  }
}

QWidget* CAtomTable::BuildTable() {
  auto* area = new QWidget(this);
  const QPoint last = TilePos(119);
  area->setFixedSize(kLeft + 17 * kPitchX + kTileW + 4, last.y() + kTileH + 4);
  for (int nr = 1; nr <= ElementTable::kElementCount; ++nr) {
    auto* t = new CAtomTabEntry(ref_.elements.Entry(nr), nr, area);
    t->move(TilePos(nr));
    connect(t, &QAbstractButton::clicked, this, [this, nr] { SelectElement(nr); });
    tiles_[static_cast<size_t>(nr - 1)] = t;
  }
  // Where the lanthanides and actinides stand in the main rows.
  for (auto [row, text] : {std::pair{5, "57-71"}, std::pair{6, "89-103"}}) {
    auto* l = new QLabel(QString::fromLatin1(text), area);
    l->setAlignment(Qt::AlignCenter);
    l->setGeometry(kLeft + 2 * kPitchX, kTop + row * kPitchY, kTileW, kTileH);
  }
  main_ = new CAtomMain(area);
  main_->move(kLeft + 2 * kPitchX + 6, kTop);
  connect(main_->ionPrev(), &QToolButton::clicked, this, [this] { StepIon(-1); });
  connect(main_->ionNext(), &QToolButton::clicked, this, [this] { StepIon(1); });
  connect(main_->isotopePrev(), &QToolButton::clicked, this, [this] { StepIsotope(-1); });
  connect(main_->isotopeNext(), &QToolButton::clicked, this, [this] { StepIsotope(1); });
  return area;
}

QWidget* CAtomTable::BuildLegend() {
  auto* box = new QWidget(this);
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(4, 10, 4, 4);
  grid->setVerticalSpacing(4);
  grid->addWidget(new QLabel(tr("Typy sieci:"), box), 0, 0, 1, 2);
  int row = 1;
  for (const LegendRow& r : kLegend) {
    auto* swatch = new QLabel(box);
    swatch->setFixedSize(22, 14);
    swatch->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #505050;").arg(r.colour.name()));
    grid->addWidget(swatch, row, 0);
    grid->addWidget(new QLabel(tr(r.label), box), row, 1);
    ++row;
  }
  return box;
}

QWidget* CAtomTable::BuildFields() {
  auto* panel = new QWidget(this);
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(BuildXrayGroup(panel));
  auto* right = new QVBoxLayout;
  right->addWidget(BuildNeutronGroup(panel));
  right->addWidget(BuildAnomalGroup(panel));
  right->addLayout(BuildNameRow(panel));
  row->addLayout(right);
  return panel;
}

// The fields are children of `panel`, as the group boxes are.
QGroupBox* CAtomTable::BuildXrayGroup(QWidget* panel) {
  auto edit = [panel](int width) { return FixedEdit(panel, width); };
  auto* xray = new QGroupBox(tr("Czynniki rozpraszania promieniowania X"), panel);
  auto* xg = new QGridLayout(xray);
  charge_ = edit(50);
  auto* chargeCell = new QHBoxLayout;
  chargeCell->addWidget(new QLabel(tr("Ładunek:"), xray));
  chargeCell->addWidget(charge_);
  chargeCell->addStretch();
  xg->addLayout(chargeCell, 0, 0, 1, 2);
  const char* labels[9] = {"A1", "A2", "A3", "A4", "B1", "B2", "B3", "B4", "C"};
  for (int i = 0; i < 9; ++i) {
    coef_[static_cast<size_t>(i)] = edit(82);
    // A1..A4 over B1..B4, C in the charge's row.
    const int r = i == 8 ? 0 : (i < 4 ? 1 : 2), c = i == 8 ? 3 : (i % 4);
    auto* cell = new QHBoxLayout;
    auto* label = new QLabel(QString::fromLatin1(labels[i]), xray);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(18);
    cell->addWidget(label);
    cell->addWidget(coef_[static_cast<size_t>(i)]);
    xg->addLayout(cell, r, c);
  }
  ionAdd_ = EditButton(tr("Dodaj/Zmień"), xray);
  ionRemove_ = EditButton(tr("Usuń"), xray);
  auto* ionButtons = new QHBoxLayout;
  ionButtons->addStretch();
  ionButtons->addWidget(ionAdd_);
  ionButtons->addWidget(ionRemove_);
  xg->addLayout(ionButtons, 3, 0, 1, 4);
  connect(ionAdd_, &QPushButton::clicked, this, &CAtomTable::AddOrChangeIon);
  connect(ionRemove_, &QPushButton::clicked, this, &CAtomTable::RemoveIon);
  return xray;
}

QGroupBox* CAtomTable::BuildNeutronGroup(QWidget* panel) {
  auto edit = [panel](int width) { return FixedEdit(panel, width); };
  auto* neutron = new QGroupBox(tr("Czynnik rozpraszania neutronow"), panel);
  auto* ng = new QGridLayout(neutron);
  mass_ = edit(60);
  s_ = edit(90);
  ng->addWidget(new QLabel(tr("Izotop:"), neutron), 0, 0);
  ng->addWidget(mass_, 0, 1);
  ng->addWidget(new QLabel(QStringLiteral("s"), neutron), 0, 2);
  ng->addWidget(s_, 0, 3);
  isotopeAdd_ = EditButton(tr("Dodaj/Zmień"), neutron);
  isotopeRemove_ = EditButton(tr("Usuń"), neutron);
  ng->addWidget(isotopeAdd_, 0, 4);
  ng->addWidget(isotopeRemove_, 0, 5);
  connect(isotopeAdd_, &QPushButton::clicked, this, &CAtomTable::AddOrChangeIsotope);
  connect(isotopeRemove_, &QPushButton::clicked, this, &CAtomTable::RemoveIsotope);
  return neutron;
}

QGroupBox* CAtomTable::BuildAnomalGroup(QWidget* panel) {
  auto edit = [panel](int width) { return FixedEdit(panel, width); };
  auto* anomal = new QGroupBox(tr("Czynniki anomalne"), panel);
  auto* ag = new QGridLayout(anomal);
  anomal_ = new QComboBox(anomal);
  fprim_ = edit(90);
  fbis_ = edit(90);
  ag->addWidget(new QLabel(tr("Zestaw:"), anomal), 0, 0);
  ag->addWidget(anomal_, 0, 1, 1, 3);
  ag->addWidget(new QLabel(QStringLiteral("f ':"), anomal), 1, 0);
  ag->addWidget(fprim_, 1, 1);
  ag->addWidget(new QLabel(QStringLiteral("f '':"), anomal), 1, 2);
  ag->addWidget(fbis_, 1, 3);
  return anomal;
}

QLayout* CAtomTable::BuildNameRow(QWidget* panel) {
  auto* nameRow = new QHBoxLayout;
  name_ = new QLineEdit(panel);
  nameRow->addWidget(new QLabel(tr("Nazwa atomu:"), panel));
  nameRow->addWidget(name_);
  save_ = EditButton(tr("Zapisz zmiany"), panel);
  connect(save_, &QPushButton::clicked, this, &CAtomTable::SaveTables);
  nameRow->addWidget(save_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, panel);
  buttons->button(QDialogButtonBox::Cancel)->setText(tr("Anuluj"));
  connect(buttons, &QDialogButtonBox::accepted, this, &CAtomTable::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CAtomTable::reject);
  nameRow->addWidget(buttons);
  return nameRow;
}

void CAtomTable::SelectElement(int nr) {
  const ElementEntry* e = ref_.elements.Find(nr);
  if (!e) return;
  element_ = nr;
  ion_ = e->ionCount() > 0 ? e->defaultIon : -1;
  isotope_ = e->isotopeCount() > 0 ? e->defaultIsotope : -1;
  ShowElement();
}

void CAtomTable::ShowElement() {
  tiles_[static_cast<size_t>(element_ - 1)]->setChecked(true);
  ShowIon();
  ShowIsotope();
  ShowAnomal();
  ShowName();
  RefreshMain();
}

namespace {
// The next index in a cycle of n records (n + 1 with the user record),
// wrapping round; -1 when the cycle is empty.
int Step(int current, int step, int n) {
  if (n <= 0) return -1;
  if (current < 0) return step > 0 ? 0 : n - 1;
  return ((current + step) % n + n) % n;
}
}  // namespace

void CAtomTable::StepIon(int step) {
  const ElementEntry& e = ref_.elements.Entry(element_);
  ion_ = Step(ion_, step, e.ionCount() + (withAtom_ ? 1 : 0));
  ShowIon();
  ShowName();
  RefreshMain();
}

void CAtomTable::StepIsotope(int step) {
  const ElementEntry& e = ref_.elements.Entry(element_);
  isotope_ = Step(isotope_, step, e.isotopeCount() + (withAtom_ ? 1 : 0));
  ShowIsotope();
  ShowName();
  RefreshMain();
}

void CAtomTable::ShowIon() {
  const IonRecord* ion = ref_.elements.Entry(element_).IonSlot(ion_);
  if (!ion) {
    charge_->clear();
    for (NumberEdit* f : coef_) f->clear();
    return;
  }
  charge_->setText(ChargeText(ion->charge));
  const double v[9] = {ion->a1, ion->a2, ion->a3, ion->a4, ion->b1, ion->b2, ion->b3, ion->b4, ion->c};
  for (int i = 0; i < 9; ++i) coef_[static_cast<size_t>(i)]->setNumber(v[i], "%f");
}

void CAtomTable::ShowIsotope() {
  const IsotopeRecord* iso = ref_.elements.Entry(element_).IsotopeSlot(isotope_);
  if (!iso) {
    mass_->clear();
    s_->clear();
    return;
  }
  mass_->setText(QString::number(iso->mass));
  s_->setNumber(iso->s, "%f");
}

void CAtomTable::ShowAnomal() {
  const int i = anomal_->currentIndex();
  const bool user = i <= 0;
  fprim_->setReadOnly(!user);
  fbis_->setReadOnly(!user);
  if (user) {
    // The values the dialog was opened with, whatever was shown meanwhile.
    fprim_->setNumber(opened_.fprim, "%f");
    fbis_->setNumber(opened_.fbis, "%f");
    return;
  }
  const AnomalTable* t = ref_.AnomalAt(i - 1);
  const bool covered = t && element_ >= 1 && element_ <= AnomalTable::kMaxElement;
  fprim_->setNumber(covered ? t->fprim[static_cast<size_t>(element_)] : 0.0, "%f");
  fbis_->setNumber(covered ? t->fbis[static_cast<size_t>(element_)] : 0.0, "%f");
}

void CAtomTable::ShowName() {
  const ElementEntry& e = ref_.elements.Entry(element_);
  if (withAtom_ && ion_ == e.ionCount() && isotope_ == e.isotopeCount())
    name_->setText(U(opened_.name));
  else
    name_->setText(U(ref_.elements.AtomNameFor(element_, ion_, isotope_)));
}

void CAtomTable::RefreshMain() {
  const ElementEntry& e = ref_.elements.Entry(element_);
  QString ion = tr("b/d"), iso = tr("b/d");
  if (const IonRecord* r = e.IonSlot(ion_)) ion = ion_ == e.ionCount() ? QStringLiteral("*") : ChargeText(r->charge);
  if (const IsotopeRecord* r = e.IsotopeSlot(isotope_)) {
    if (isotope_ == e.isotopeCount())
      iso = QStringLiteral("*");
    else
      iso = r->mass == 0 ? tr("def") : QString::number(r->mass);
  }
  main_->Show(e, element_, ion, iso);
  EnableEditing();
}

void CAtomTable::EnableEditing() {
  const ElementEntry& e = ref_.elements.Entry(element_);
  // "X" stands for no element: the files hold no records for it.
  const bool real = element_ >= 1 && element_ < ElementTable::kPlaceholder;
  ionAdd_->setEnabled(real);
  isotopeAdd_->setEnabled(real);
  ionRemove_->setEnabled(ion_ >= 0 && ion_ < e.ionCount());
  isotopeRemove_->setEnabled(isotope_ >= 0 && isotope_ < e.isotopeCount());
  save_->setEnabled(ref_.referenceModified);
}

void CAtomTable::ShowRecords() {
  ShowIon();
  ShowIsotope();
  ShowName();
  RefreshMain();
}

void CAtomTable::AddOrChangeIon() {
  std::int32_t charge = 0;
  if (!TakeInteger(charge_, &charge, false)) return;
  IonRecord r{charge};
  double* v[9] = {&r.a1, &r.a2, &r.a3, &r.a4, &r.b1, &r.b2, &r.b3, &r.b4, &r.c};
  for (int i = 0; i < 9; ++i)
    if (!TakeDecimal(coef_[static_cast<size_t>(i)], v[i])) return;
  ElementEntry& e = *ref_.elements.Find(element_);
  const int found = ref_.elements.FindIon(element_, charge);
  if (found >= 0) {
    if (Ask(this, QT_TRANSLATE_NOOP("PeriodicTableDialog", "Czy napewno zmienić wartości czynników atomowych?"))) {
      e.ions[static_cast<size_t>(found)] = r;
      ref_.referenceModified = true;
    }
  } else {
    if (RefuseFull(this, e.ionCount()) || !ref_.elements.AppendIon(element_, r)) return;
    ref_.elements.SortIons(element_);
    ref_.referenceModified = true;
  }
  ion_ = ref_.elements.FindIon(element_, charge);
  ShowRecords();
}

void CAtomTable::RemoveIon() {
  const ElementEntry& e = ref_.elements.Entry(element_);
  if (ion_ < 0 || ion_ >= e.ionCount() || !Ask(this, QT_TRANSLATE_NOOP("PeriodicTableDialog", "Czy napewno usunąć jon z tablicy?"))) return;
  ref_.elements.RemoveIon(element_, ion_);
  ref_.referenceModified = true;
  ref_.elements.SortIons(element_);
  ion_ = std::min(ion_, e.ionCount() - 1);
  ShowRecords();
}

void CAtomTable::AddOrChangeIsotope() {
  std::int32_t mass = 0;
  double s = 0.0;
  if (!TakeInteger(mass_, &mass, false)) return;
  // An atom read without an isotope shows -1 here: no mass number to tabulate.
  if (mass < 0 || mass > kMaxMassNumber) {
    QMessageBox::warning(this, QStringLiteral("Pelmora"),
                         tr("Enter an integer between 0 and %1.").arg(kMaxMassNumber));
    mass_->setFocus();
    mass_->selectAll();
    return;
  }
  if (!TakeDecimal(s_, &s)) return;
  ElementEntry& e = *ref_.elements.Find(element_);
  const int found = ref_.elements.FindIsotope(element_, mass);
  if (found >= 0) {
    if (Ask(this, QT_TRANSLATE_NOOP("PeriodicTableDialog", "Czy napewno zmienić wartość neutronowego czynnika rozpraszania?"))) {
      e.isotopes[static_cast<size_t>(found)].s = s;
      ref_.referenceModified = true;
    }
  } else {
    if (RefuseFull(this, e.isotopeCount()) || !ref_.elements.AppendIsotope(element_, {mass, s})) return;
    ref_.elements.SortIsotopes(element_);
    ref_.referenceModified = true;
  }
  isotope_ = ref_.elements.FindIsotope(element_, mass);
  ShowRecords();
}

void CAtomTable::RemoveIsotope() {
  const ElementEntry& e = ref_.elements.Entry(element_);
  if (isotope_ < 0 || isotope_ >= e.isotopeCount() || !Ask(this, QT_TRANSLATE_NOOP("PeriodicTableDialog", "Czy napewno usunąć izotop z tablicy?"))) return;
  ref_.elements.RemoveIsotope(element_, isotope_);
  ref_.referenceModified = true;
  ref_.elements.SortIsotopes(element_);
  isotope_ = std::min(isotope_, e.isotopeCount() - 1);
  ShowRecords();
}

void CAtomTable::SaveTables() {
  if (!ref_.referenceModified || !Ask(this, QT_TRANSLATE_NOOP("PeriodicTableDialog", "Czy zapisać zmiany na dysku?"))) return;
  std::string error;
  // A failed write keeps the changes marked, so that the button stays.
  if (!ref_.SaveIonsAndIsotopes(&error))
    QMessageBox::critical(this, tr("Błąd"), QString::fromStdString(error));
  EnableEditing();
}

void CAtomTable::accept() {
  AtomSite at;
  at.name = name_->text().toStdString();
  at.nr = element_;
  if (!TakeInteger(charge_, &at.ionCharge) || !TakeInteger(mass_, &at.isotopeMass)) return;
  double* coef[9] = {&at.a1, &at.a2, &at.a3, &at.a4, &at.b1, &at.b2, &at.b3, &at.b4, &at.c};
  for (int i = 0; i < 9; ++i)
    if (!TakeDecimal(coef_[static_cast<size_t>(i)], coef[i])) return;
  if (!TakeDecimal(s_, &at.s) || !TakeDecimal(fprim_, &at.fprim) || !TakeDecimal(fbis_, &at.fbis)) return;
  at.color = 0x00FF00;  // pure green
  at.radius = 20;
  chosen_ = at;
  QDialog::accept();
}

}  // namespace pelmora
