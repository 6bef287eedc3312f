#include "editors/ui/StructureDialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QStandardItemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <numeric>

#include "documents/ui/KomorkaDocument.h"
#include "widgets/NumberEdit.h"
#include "engine/Komorka.h"
#include "engine/SpaceGroup.h"
#include "engine/StructureEdits.h"
#include "io/NumberFormat.h"
#include "refdata/ReferenceData.h"
#include "refdata/ui/PeriodicTableDialog.h"
#include "editors/ui/AnomalForSource.h"
#include "editors/ui/AtomListModel.h"

namespace pelmora {

namespace {

constexpr const char* kLatticeNames[kBravaisCount] = {
    QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Regularna (P)"), QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Regularna (I)"), QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Regularna (F)"),   QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Tetragonalna (P)"), QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Tetragonalna (I)"),
    QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Rombowa (P)"),   QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Rombowa (I)"),   QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Rombowa (C)"),     QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Rombowa (F)"),      QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Jednoskosna (P)"),
    QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Jednoskosna (C)"), QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Trojskosna"),  QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Romboedryczna"),   QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Heksagonalna (P)"),
};

QString U(const char* s) { return QString::fromUtf8(s); }
// Messages given to Warn and Ask are marked for translation and translated there.
QString T(const char* s) { return QCoreApplication::translate("StructureDialog", s); }
std::string Tr(const char* s) { return T(s).toStdString(); }

void Warn(QWidget* parent, const char* caption, const char* text) {
  QMessageBox box(QMessageBox::Warning, T(caption), T(text), QMessageBox::Ok, parent);
  box.exec();
}

bool Ask(QWidget* parent, const char* text) {
  return QMessageBox::question(parent, QCoreApplication::translate("StructureDialog", "Pytanie"), T(text), QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

QString Fixed(const char* fmt, double v) { return QString::fromStdString(cformat(fmt, v)); }

}  // namespace

// --- "Atomy" ----------------------------------------------------------------------------

CMyPropertyPage1::CMyPropertyPage1(ReferenceData& ref, QWidget* parent) : QWidget(parent), ref_(ref) {
  auto* layout = new QVBoxLayout(this);
  auto* top = new QGridLayout;
  name_ = new QLineEdit(this);
  name_->setReadOnly(true);
  choose_ = new QPushButton(QStringLiteral("..."), this);
  choose_->setFixedWidth(32);
  choose_->setToolTip(tr("Wybierz atom z układu okresowego"));
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(name_);
  nameRow->addWidget(choose_);
  top->addLayout(nameRow, 0, 0, 1, 6);
  const char* axes[3] = {"x", "y", "z"};
  for (int i = 0; i < 3; ++i) {
    auto* e = new NumberEdit(this);
    xyz_[static_cast<size_t>(i)] = e;
    top->addWidget(new QLabel(QString::fromLatin1(axes[i]), this), 1, 2 * i, Qt::AlignRight);
    top->addWidget(e, 1, 2 * i + 1);
    // Leaving a coordinate only checks it; the buttons use it.
    connect(e, &QLineEdit::editingFinished, this, [e] {
      double v;
      if (!e->text().isEmpty()) e->TakeNumber(&v);
    });
  }
  occ_ = new NumberEdit(this);
  occ_->setNumber(1.0);
  occ_->setToolTip(tr("Część pozycji zajęta przez atom: więcej niż 0, najwyżej 1"));
  biso_ = new QLineEdit(this);
  biso_->setPlaceholderText(tr("wspólny"));
  biso_->setToolTip(tr("Izotropowy czynnik przesunięć atomu B = 8π²·Uiso w Å²; puste pole: wspólny czynnik "
                                   "B strony eksperymentu"));
  top->addWidget(new QLabel(tr("Obsadzenie"), this), 2, 0, 1, 2, Qt::AlignRight);
  top->addWidget(occ_, 2, 2, 1, 1);
  top->addWidget(new QLabel(QStringLiteral("B [Å²]"), this), 2, 3, 1, 1, Qt::AlignRight);
  top->addWidget(biso_, 2, 4, 1, 2);
  layout->addLayout(top);
  auto* buttons = new QHBoxLayout;
  add_ = new QPushButton(tr("Dodaj"), this);
  remove_ = new QPushButton(tr("Usuń"), this);
  change_ = new QPushButton(tr("Zmień"), this);
  for (QPushButton* b : {add_, remove_, change_}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  choose_->setAutoDefault(false);
  remove_->setEnabled(false);
  change_->setEnabled(false);
  layout->addLayout(buttons);
  model_ = new AtomListModel({tr("Nazwa atomu"), QStringLiteral("x"), QStringLiteral("y"),
                              QStringLiteral("z"), tr("Wyckoff"), tr("Obs."),
                              QStringLiteral("B [Å²]"), tr("Uiso [Å²]")},
                             Qt::AlignCenter, this);
  list_ = MakeAtomView(this, model_, {96, 62, 62, 62, 58, 48, 56, 60});
  layout->addWidget(list_);

  connect(choose_, &QPushButton::clicked, this, &CMyPropertyPage1::ChooseAtom);
  connect(add_, &QPushButton::clicked, this, &CMyPropertyPage1::AddAtom);
  connect(change_, &QPushButton::clicked, this, &CMyPropertyPage1::ChangeAtom);
  connect(remove_, &QPushButton::clicked, this, &CMyPropertyPage1::RemoveAtoms);
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &CMyPropertyPage1::OnSelectionChanged);
}

void CMyPropertyPage1::Bind(KomorkaDocument* doc) {
  // Another document's atom must not stay in the fields, ready to be added
  // to this one.
  if (doc != doc_) {
    current_ = AtomSite{};
    name_->clear();
    for (NumberEdit* e : xyz_) e->clear();
    occ_->setNumber(1.0);
    biso_->clear();
  }
  doc_ = doc;
  Reload();
}

void CMyPropertyPage1::Reload() {
  const int rows = doc_ ? static_cast<int>(doc_->doc().crystal.EditableAtoms().size()) : 0;
  // With a group: each site's multiplicity and Wyckoff letter.
  auto wyckoff = std::make_shared<std::vector<QString>>();
  if (doc_ && !doc_->doc().crystal.spaceGroup.empty())
    if (const std::optional<SpaceGroupSetting> g = FindSpaceGroup(doc_->doc().crystal.spaceGroup)) {
      const CKomorka& d = doc_->doc();
      const std::vector<char> letters = WyckoffLetters(*g, d.cell, d.crystal.cellAtoms, rows);
      wyckoff->resize(static_cast<size_t>(rows));
      for (int r = 0; r < rows; ++r) {
        const AtomSite& at = d.crystal.asymmetricUnit[static_cast<size_t>(r)];
        (*wyckoff)[static_cast<size_t>(r)] =
            QString::number(SiteMultiplicity(*g, {at.x, at.y, at.z})) + QChar(letters[static_cast<size_t>(r)]);
      }
    }
  model_->Refill(list_, rows, [this, wyckoff](int r, int column) -> QString {
    // Drawn later than filled: the document may have lost the row since.
    if (!doc_ || r >= static_cast<int>(doc_->doc().crystal.EditableAtoms().size())) return {};
    const AtomSite& at = doc_->doc().crystal.EditableAtoms()[static_cast<size_t>(r)];
    switch (column) {
      case 0: return QString::fromStdString(at.name);
      case 1: return Fixed("%0.4f", at.x);
      case 2: return Fixed("%0.4f", at.y);
      case 3: return Fixed("%0.4f", at.z);
      case 4: return r < static_cast<int>(wyckoff->size()) ? (*wyckoff)[static_cast<size_t>(r)] : QString();
      case 5: return Fixed("%g", at.occupancy);
      case 6: return at.biso ? Fixed("%0.3f", *at.biso) : tr("wsp.");
      case 7: return at.biso ? Fixed("%0.5f", *at.biso / kBPerU) : QString();
      default: return {};
    }
  });
  const bool any = !SelectedRows(list_).isEmpty();
  remove_->setEnabled(any);
  change_->setEnabled(any);
  // The selected site changed under the fields (the symmetry found, an
  // undo): they show it again, or "Zmień" would write the old values back.
  // Typing over a site that did not change is kept.
  const int r = list_->currentIndex().row();
  if (doc_ && any && r >= 0 && r < rows) {
    const AtomSite& at = doc_->doc().crystal.EditableAtoms()[static_cast<size_t>(r)];
    if (at.name != current_.name || at.x != current_.x || at.y != current_.y || at.z != current_.z ||
        at.occupancy != current_.occupancy || at.biso != current_.biso)
      OnSelectionChanged();
  }
}

void CMyPropertyPage1::OnSelectionChanged() {
  const QList<int> rows = SelectedRows(list_);
  remove_->setEnabled(!rows.isEmpty());
  change_->setEnabled(!rows.isEmpty());
  const int r = list_->currentIndex().row();
  if (!doc_ || r < 0 || !rows.contains(r) || r >= static_cast<int>(doc_->doc().crystal.EditableAtoms().size())) return;
  current_ = doc_->doc().crystal.EditableAtoms()[static_cast<size_t>(r)];
  name_->setText(QString::fromStdString(current_.name));
  const double v[3] = {current_.x, current_.y, current_.z};
  for (int i = 0; i < 3; ++i) xyz_[static_cast<size_t>(i)]->setNumber(v[i]);
  occ_->setNumber(current_.occupancy);
  if (current_.biso) biso_->setText(Fixed("%.15g", *current_.biso));
  else biso_->clear();
}

bool CMyPropertyPage1::ReadSiteValues(double& occupancy, std::optional<double>& biso) {
  if (!occ_->TakeNumber(&occupancy)) return false;
  if (!(occupancy > 0.0 && occupancy <= 1.0)) {
    Warn(this, "Pelmora", QT_TRANSLATE_NOOP("StructureDialog", "Obsadzenie pozycji musi być większe od 0 i nie większe od 1."));
    occ_->setFocus();
    return false;
  }
  biso.reset();
  if (!biso_->text().trimmed().isEmpty()) {
    const std::optional<double> b = ParseUserNumber(biso_->text().toStdString());
    if (!b || !(*b >= 0.0)) {
      Warn(this, "Pelmora", QT_TRANSLATE_NOOP("StructureDialog", "Czynnik B atomu musi być liczbą nieujemną (puste pole: wspólny czynnik B)."));
      biso_->setFocus();
      return false;
    }
    biso = *b;
  }
  return true;
}

bool CMyPropertyPage1::OfferSpecialPosition(double v[3]) {
  const CKomorka& d = doc_->doc();
  if (d.crystal.spaceGroup.empty()) return true;
  const std::optional<SpaceGroupSetting> g = FindSpaceGroup(d.crystal.spaceGroup);
  if (!g) return true;
  const auto exact = NearSpecialPosition(*g, {v[0], v[1], v[2]});
  if (!exact) return true;
  const auto fraction = [](double x) {
    const long k = std::lround(x * 24);
    if (k == 0) return QStringLiteral("0");
    const long gcd = std::gcd(std::labs(k), 24L);
    return gcd == 24 ? QString::number(k / 24) : QStringLiteral("%1/%2").arg(k / gcd).arg(24 / gcd);
  };
  const QString text = tr("Pozycja (%1; %2; %3) leży blisko pozycji szczególnej (%4; %5; %6) grupy %7.\n"
                                      "Przyjąć dokładne ułamki? (Nie: współrzędne zostaną takie, jak wpisano.)")
                           .arg(v[0]).arg(v[1]).arg(v[2])
                           .arg(fraction((*exact)[0]), fraction((*exact)[1]), fraction((*exact)[2]),
                                QString::fromStdString(g->Name()));
  const auto answer = QMessageBox::question(this, tr("Pytanie"), text,
                                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Cancel) return false;
  if (answer == QMessageBox::Yes)
    for (int i = 0; i < 3; ++i) {
      v[i] = (*exact)[static_cast<size_t>(i)];
      xyz_[static_cast<size_t>(i)]->setNumber(v[i]);
    }
  return true;
}

bool CMyPropertyPage1::ReadCoordinates(double out[3]) {
  for (int i = 0; i < 3; ++i)
    if (!xyz_[static_cast<size_t>(i)]->TakeNumber(&out[i])) return false;
  return true;
}

void CMyPropertyPage1::Edited(bool deleted) {
  CKomorka& d = doc_->doc();
  d.crystal.ExpandCellAtoms();
  Reload();
  if (deleted) doc_->NotifyAtomsDeleted();
  doc_->NotifyStructureChanged();
}

void CMyPropertyPage1::ChooseAtom() {
  if (!doc_) return;
  CAtomTable table(ref_, current_.name.empty() ? nullptr : &current_, true, window());
  if (table.exec() != QDialog::Accepted || !table.chosenAtom()) return;
  current_ = *table.chosenAtom();
  const QList<int> rows = SelectedRows(list_);
  if (!rows.isEmpty() && doc_ &&
      Ask(this, QT_TRANSLATE_NOOP("StructureDialog", "Atomy zaznaczone na liście zostaną zastąpione.\nCzy kontynuować?"))) {
    auto& atoms = doc_->doc().crystal.EditableAtoms();
    for (int r : rows) {
      if (r >= static_cast<int>(atoms.size())) continue;
      AtomSite& at = atoms[static_cast<size_t>(r)];
      AtomSite next = current_;
      next.occupancy = at.occupancy;
      next.biso = at.biso;
      next.x = at.x;
      next.y = at.y;
      next.z = at.z;
      next.color = at.color;
      next.visible = at.visible;
      next.radius = at.radius;
      next.siteIndex = r;
      at = next;
    }
    Edited(false);
  }
  name_->setText(QString::fromStdString(current_.name));
}

void CMyPropertyPage1::AddAtom() {
  if (!doc_) return;
  if (current_.name.empty()) {
    Warn(this, "Pelmora", QT_TRANSLATE_NOOP("StructureDialog", "Wybierz atom"));
    return;
  }
  double v[3];
  if (!ReadCoordinates(v)) return;
  double occupancy;
  std::optional<double> biso;
  if (!ReadSiteValues(occupancy, biso) || !OfferSpecialPosition(v)) return;
  AtomSite at = current_;
  at.x = v[0];
  at.y = v[1];
  at.z = v[2];
  at.occupancy = occupancy;
  at.biso = biso;
  if (RefusedSite(AddSite(doc_->doc().crystal, std::move(at)))) return;
  Edited(false);
}

// (0.6947, 0.6947, 0) and (-0.3053, -0.3053, 0) are one site, and so are the
// images of a site under the centring: a second atom there would count twice
// in every structure factor. The cell list has a fixed capacity: an atom
// whose copies would not fit is refused rather than silently left out.
bool CMyPropertyPage1::RefusedSite(const EditResult& r) {
  if (r.status == EditStatus::kSiteOccupied) {
    Warn(this, "Pelmora", QT_TRANSLATE_NOOP("StructureDialog", "Wybrana pozycja została już obsadzona.\n Wybierz inną pozycje atomu"));
  } else if (r.status == EditStatus::kOverCapacity) {
    const std::string text =
        doc_->doc().crystal.spaceGroup.empty()
            ? cformat(Tr(QT_TRANSLATE_NOOP("StructureDialog", "Komórka może zawierać najwyżej %d atomów po rozmnożeniu przez centrowanie.")).c_str(), Crystal::kMaxAtoms)
            : cformat(Tr(QT_TRANSLATE_NOOP("StructureDialog", "Komórka może zawierać najwyżej %d atomów.")).c_str(), Crystal::kMaxAtoms);
    Warn(this, "Pelmora", text.c_str());
  } else if (!r.ok()) {
    Warn(this, "Pelmora", QT_TRANSLATE_NOOP("StructureDialog", "Nieprawidłowe wartości atomu."));
  }
  return !r.ok();
}

void CMyPropertyPage1::ChangeAtom() {
  if (!doc_) return;
  double v[3];
  if (!ReadCoordinates(v)) return;
  double occupancy;
  std::optional<double> biso;
  if (!ReadSiteValues(occupancy, biso)) return;
  const QList<int> rows = SelectedRows(list_);
  if (rows.isEmpty()) {
    Warn(this, QT_TRANSLATE_NOOP("StructureDialog", "Info"), QT_TRANSLATE_NOOP("StructureDialog", "Wybierz atom z listy"));
    return;
  }
  if (rows.size() > 1) {
    Warn(this, QT_TRANSLATE_NOOP("StructureDialog", "Info"), QT_TRANSLATE_NOOP("StructureDialog", "Należy wybrać tylko jeden atom z listy"));
    return;
  }
  if (!OfferSpecialPosition(v)) return;
  const auto& atoms = doc_->doc().crystal.EditableAtoms();
  const int r = rows.first();
  if (r >= static_cast<int>(atoms.size())) return;
  AtomSite at = atoms[static_cast<size_t>(r)];
  at.x = v[0];
  at.y = v[1];
  at.z = v[2];
  at.occupancy = occupancy;
  at.biso = biso;
  if (RefusedSite(ReplaceSite(doc_->doc().crystal, static_cast<size_t>(r), std::move(at)))) return;
  Edited(false);
}

void CMyPropertyPage1::RemoveAtoms() {
  if (!doc_) return;
  const QList<int> rows = SelectedRows(list_);
  if (rows.isEmpty()) {
    Warn(this, QT_TRANSLATE_NOOP("StructureDialog", "Info"), QT_TRANSLATE_NOOP("StructureDialog", "Nie zaznaczono żadnego atomu!\n"));
    return;
  }
  auto& atoms = doc_->doc().crystal.EditableAtoms();
  // One pass keeping the rows not selected: erasing them one by one would
  // move the rest of a long list once per row.
  std::vector<char> gone(atoms.size(), 0);
  for (int r : rows)
    if (r < static_cast<int>(atoms.size())) gone[static_cast<size_t>(r)] = 1;
  size_t kept = 0;
  for (size_t i = 0; i < atoms.size(); ++i)
    if (!gone[i]) {
      if (kept != i) atoms[kept] = std::move(atoms[i]);
      ++kept;
    }
  atoms.resize(kept);
  // Site numbers follow the rows, so that a later atom cannot share one
  // with an earlier atom (the 3D view edits atoms by their site).
  for (size_t i = 0; i < atoms.size(); ++i) atoms[i].siteIndex = static_cast<int>(i);
  list_->clearSelection();
  Edited(true);
}

// --- "Czynniki anomalne" ------------------------------------------------------------------

CMyPropertyPage2::CMyPropertyPage2(ReferenceData& ref, QWidget* parent) : QWidget(parent), ref_(ref) {
  auto* layout = new QVBoxLayout(this);
  auto* top = new QGridLayout;
  tables_ = new QComboBox(this);
  ReloadTables();
  top->addWidget(tables_, 0, 0, 1, 6);
  fprim_ = new NumberEdit(this);
  fbis_ = new NumberEdit(this);
  change_ = new QPushButton(tr("Zmień"), this);
  change_->setAutoDefault(false);
  change_->setEnabled(false);
  // Both terms are in electrons, as the form factor they add to; a gap
  // after the unit keeps it apart from the next label.
  const auto electrons = [this] {
    auto* l = new QLabel(QStringLiteral("e"), this);
    l->setMinimumWidth(l->fontMetrics().horizontalAdvance(l->text()) + 12);
    return l;
  };
  top->addWidget(new QLabel(QStringLiteral("f'"), this), 1, 0, Qt::AlignRight);
  top->addWidget(fprim_, 1, 1);
  top->addWidget(electrons(), 1, 2);
  top->addWidget(new QLabel(QStringLiteral("f''"), this), 1, 3, Qt::AlignRight);
  top->addWidget(fbis_, 1, 4);
  top->addWidget(electrons(), 1, 5);
  top->addWidget(change_, 1, 6);
  forSource_ = new QPushButton(tr("Dla tego źródła"), this);
  forSource_->setAutoDefault(false);
  forSource_->setToolTip(tr("f′ i f″ dla bieżącego źródła promieniowania: z jego tablicy albo obliczone "
                                        "programem xraylib (zaznaczone atomy, a bez zaznaczenia wszystkie)"));
  top->addWidget(forSource_, 0, 6);
  layout->addLayout(top);
  model_ = new AtomListModel({tr("Nazwa atomu"), QStringLiteral("f'"), QStringLiteral("f''")},
                             Qt::AlignCenter, this);
  list_ = MakeAtomView(this, model_, {190, 130, 130});
  layout->addWidget(list_);

  connect(tables_, &QComboBox::activated, this, &CMyPropertyPage2::ChooseTable);
  connect(change_, &QPushButton::clicked, this, &CMyPropertyPage2::ChangeFactors);
  connect(forSource_, &QPushButton::clicked, this, &CMyPropertyPage2::TakeForSource);
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { change_->setEnabled(!SelectedRows(list_).isEmpty()); });
}

void CMyPropertyPage2::ReloadTables() {
  const int chosen = tables_->currentIndex();
  tables_->clear();
  tables_->addItem(tr("* użytkownika"));
  for (const AnomalTable& t : ref_.anomalTables) tables_->addItem(QString::fromStdString(t.name));
  tables_->setCurrentIndex(chosen > 0 && chosen < tables_->count() ? chosen : 0);
  // Called after a change of source too: the action is for X-rays only.
  if (forSource_) RefreshSourceButton();
}

void CMyPropertyPage2::RefreshSourceButton() {
  forSource_->setEnabled(doc_ && doc_->doc().experiment.radiation == 0 && doc_->doc().experiment.lambda1 > 0.0 &&
                         !doc_->doc().crystal.structureAtoms.empty());
}

void CMyPropertyPage2::Bind(KomorkaDocument* doc) {
  doc_ = doc;
  Reload();
}

void CMyPropertyPage2::Reload() {
  const int rows = doc_ ? static_cast<int>(doc_->doc().crystal.EditableAtoms().size()) : 0;
  model_->Refill(list_, rows, [this](int r, int column) -> QString {
    if (!doc_ || r >= static_cast<int>(doc_->doc().crystal.EditableAtoms().size())) return {};
    const AtomSite& at = doc_->doc().crystal.EditableAtoms()[static_cast<size_t>(r)];
    switch (column) {
      case 0: return QString::fromStdString(at.name);
      case 1: return Fixed("%0.6f", at.fprim);
      case 2: return Fixed("%0.6f", at.fbis);
      default: return {};
    }
  });
  change_->setEnabled(!SelectedRows(list_).isEmpty());
  RefreshSourceButton();
}

void CMyPropertyPage2::TakeForSource() {
  if (!doc_) return;
  const QList<int> selected = SelectedRows(list_);
  TakeAnomalForSource(this, *doc_, ref_, std::vector<int>(selected.begin(), selected.end()));
  ReloadTables();
}

void CMyPropertyPage2::ChooseTable(int index) {
  if (index < 0) {
    tables_->setCurrentIndex(0);
    return;
  }
  if (!doc_) return;
  if (SelectedRows(list_).isEmpty()) {
    Warn(this, QT_TRANSLATE_NOOP("StructureDialog", "Błąd"), QT_TRANSLATE_NOOP("StructureDialog", "Nie zaznaczono żadnego atomu."));
    return;
  }
  Assign(index);
}

void CMyPropertyPage2::ChangeFactors() {
  if (!doc_) return;
  if (SelectedRows(list_).isEmpty()) {
    Warn(this, QT_TRANSLATE_NOOP("StructureDialog", "Błąd"), QT_TRANSLATE_NOOP("StructureDialog", "Nie zaznaczono żadnego atomu."));
    return;
  }
  Assign(0);
}

void CMyPropertyPage2::Assign(int tableIndex) {
  // The typed values are checked before anything is asked or changed.
  double fprim = 0.0, fbis = 0.0;
  if (tableIndex == 0 && (!fprim_->TakeNumber(&fprim) || !fbis_->TakeNumber(&fbis))) return;
  if (!Ask(this, QT_TRANSLATE_NOOP("StructureDialog", "Czynniki anomalne zaznaczonych atomów zostaną zastąpione\nnowymi wartościami. Czy kontynuować?")))
    return;
  if (!doc_) return;
  const AnomalTable* table = tableIndex > 0 ? ref_.AnomalAt(tableIndex - 1) : nullptr;
  auto& atoms = doc_->doc().crystal.EditableAtoms();
  int unidentified = 0;
  for (int r : SelectedRows(list_)) {
    if (r >= static_cast<int>(atoms.size())) continue;
    AtomSite& at = atoms[static_cast<size_t>(r)];
    if (tableIndex == 0) {
      at.fprim = fprim;
      at.fbis = fbis;
    } else if (table && at.nr >= 1 && at.nr <= AnomalTable::kMaxElement) {
      at.fprim = table->fprim[static_cast<size_t>(at.nr)];
      at.fbis = table->fbis[static_cast<size_t>(at.nr)];
    } else {
      // No element (or the placeholder): no table can know its terms.
      ++unidentified;
    }
  }
  if (unidentified > 0)
    QMessageBox::information(this, tr("Info"),
                             tr("Nie wszystkie atomy zostały zidentyfikowane. Nie można odnaleźć\nczynników "
                               "anomalnych dla niezidentyfikowanych atomów"));
  // Every atom given its terms here: they are the user's choice for the
  // current source.
  if (SelectedRows(list_).size() == static_cast<int>(atoms.size())) doc_->doc().crystal.anomalLambda = doc_->doc().experiment.lambda1;
  doc_->doc().crystal.ExpandCellAtoms();
  Reload();
  doc_->NotifyStructureChanged();
}

// --- the dialog ---------------------------------------------------------------------------------

CTabPage1::CTabPage1(ReferenceData& ref, QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Definiuj Strukturę"));
  auto* layout = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;

  auto* typeBox = new QGroupBox(tr("Typ komórki"), this);
  auto* typeLayout = new QVBoxLayout(typeBox);
  lattice_ = new QComboBox(typeBox);
  for (int i = 0; i < kBravaisCount; ++i) lattice_->addItem(tr(kLatticeNames[i]), i);
  typeLayout->addWidget(lattice_);
  // The space group beside it: typed (symbol, number or Hall symbol) or
  // picked from every setting, by crystal system.
  typeLayout->addWidget(new QLabel(tr("Grupa przestrzenna"), typeBox));
  spaceGroup_ = new QComboBox(typeBox);
  spaceGroup_->setEditable(true);
  spaceGroup_->setInsertPolicy(QComboBox::NoInsert);
  spaceGroup_->setMaxVisibleItems(24);
  spaceGroup_->setToolTip(tr("Symbol Hermanna–Mauguina (np. P 42/m n m, F d -3 m:2), numer grupy albo "
                                         "symbol Halla; „brak”: tylko typ komórki"));
  FillSpaceGroups();
  typeLayout->addWidget(spaceGroup_);
  auto* findRow = new QHBoxLayout;
  findSymmetry_ = new QPushButton(tr("Znajdź symetrię"), typeBox);
  findSymmetry_->setAutoDefault(false);
  findSymmetry_->setToolTip(tr("Grupa przestrzenna atomów komórki (spglib) i jej pozycje niezależne"));
  tolerance_ = new NumberEdit(typeBox);
  tolerance_->setNumber(0.001);
  tolerance_->setToolTip(tr("Odległość w Å, w której atomy uznaje się za symetryczne"));
  typeLayout->addWidget(findSymmetry_);
  findRow->addWidget(new QLabel(tr("tolerancja"), typeBox));
  findRow->addWidget(tolerance_);
  findRow->addWidget(new QLabel(QStringLiteral("Å"), typeBox));
  typeLayout->addLayout(findRow);
  left->addWidget(typeBox);

  const char* labels[6] = {"a =", "b =", "c =", "α =", "β =", "γ ="};
  QGroupBox* groups[2] = {new QGroupBox(tr("Stałe sieci"), this),
                          new QGroupBox(tr("Kąty sieci"), this)};
  for (int g = 0; g < 2; ++g) {
    auto* grid = new QGridLayout(groups[g]);
    for (int k = 0; k < 3; ++k) {
      const int i = 3 * g + k;
      auto* e = new NumberEdit(groups[g]);
      cell_[static_cast<size_t>(i)] = e;
      grid->addWidget(new QLabel(U(labels[i]), groups[g]), k, 0, Qt::AlignRight);
      grid->addWidget(e, k, 1);
      // Lengths in ångström, angles in degrees; one width for both, so
      // that the six fields line up.
      auto* unit = new QLabel(g == 0 ? QStringLiteral("Å") : tr("st."), groups[g]);
      unit->setMinimumWidth(unit->fontMetrics().horizontalAdvance(tr("st.")));
      grid->addWidget(unit, k, 2);
      connect(e, &QLineEdit::editingFinished, this, [this, i] { CommitCell(i); });
    }
    left->addWidget(groups[g]);
  }
  left->addStretch();
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &CTabPage1::accept);
  left->addWidget(ok_);
  layout->addLayout(left);

  sheet_ = new QTabWidget(this);
  page1_ = new CMyPropertyPage1(ref, sheet_);
  page2_ = new CMyPropertyPage2(ref, sheet_);
  sheet_->addTab(page1_, tr("Atomy"));
  sheet_->addTab(page2_, tr("Czynniki anomalne"));
  layout->addWidget(sheet_, 1);

  connect(lattice_, &QComboBox::activated, this, &CTabPage1::ChooseLattice);
  connect(spaceGroup_, &QComboBox::activated, this, [this](int index) {
    const QString name = spaceGroup_->itemData(index).toString();
    ChooseSpaceGroup(name.isEmpty() && index != 0 ? spaceGroup_->itemText(index) : name);
  });
  connect(spaceGroup_->lineEdit(), &QLineEdit::editingFinished, this, &CTabPage1::ApplyTypedSpaceGroup);
  spaceGroup_->lineEdit()->installEventFilter(this);
  connect(findSymmetry_, &QPushButton::clicked, this, &CTabPage1::FindCellSymmetry);
  resize(920, 460);
  Bind(nullptr);
}

void CTabPage1::Bind(KomorkaDocument* doc) {
  if (doc_) disconnect(doc_.data(), &QObject::destroyed, this, nullptr);
  doc_ = doc;
  // A document that goes away leaves nothing behind to edit.
  if (doc) connect(doc, &QObject::destroyed, this, [this] { Bind(nullptr); });
  const bool has = doc != nullptr;
  for (QWidget* w : std::initializer_list<QWidget*>{lattice_, ok_, sheet_, spaceGroup_, findSymmetry_, tolerance_})
    w->setEnabled(has);
  if (has) {
    SelectDocumentLattice();
    const bool tied = ApplyRules();
    ShowCell();
    ShowSpaceGroup();
    // A file whose cell breaks its lattice's ties has just been mended.
    if (tied) doc->NotifyParametersChanged();
  } else {
    for (NumberEdit* e : cell_) {
      e->clear();
      e->setEnabled(false);
    }
  }
  page1_->Bind(doc);
  page2_->Bind(doc);
}

void CTabPage1::OnStructureChanged(KomorkaDocument* doc) {
  if (!doc || doc != doc_) return;
  SelectDocumentLattice();
  EnableCellFields();
  ShowCell();
  ShowSpaceGroup();
  page1_->Reload();
  page2_->Reload();
}

void CTabPage1::FillSpaceGroups() {
  // A header per crystal system (not selectable), then its settings.
  static constexpr const char* kSystems[] = {"", QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Regularne"), QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Tetragonalne"), QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Rombowe"), QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Romboedryczne (osie romboedryczne)"),
                                             QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Heksagonalne i trygonalne"), QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Jednoskośne"), QT_TRANSLATE_NOOP("pelmora::CTabPage1", "Trójskośne")};
  static constexpr LatticeType kOrder[] = {kTriclinic, kMonoclinic, kOrthorhombic, kTetragonal,
                                           kHexagonal, kRhombohedral, kCubic};
  const QSignalBlocker block(spaceGroup_);
  spaceGroup_->clear();
  spaceGroup_->addItem(tr("brak"), QString());
  auto* model = qobject_cast<QStandardItemModel*>(spaceGroup_->model());
  for (LatticeType system : kOrder) {
    spaceGroup_->addItem(tr(kSystems[system]), QString());
    if (model) {
      QStandardItem* header = model->item(spaceGroup_->count() - 1);
      header->setFlags(header->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
      QFont bold = header->font();
      bold.setBold(true);
      header->setFont(bold);
    }
    for (const SpaceGroupSetting& g : SpaceGroupSettings())
      if (g.system == system)
        spaceGroup_->addItem(QStringLiteral("  %1  %2   (%3)")
                                 .arg(g.number, 3)
                                 .arg(QString::fromStdString(g.Name()), QString::fromStdString(g.hall)),
                             QString::fromStdString(g.Name()));
  }
}

void CTabPage1::ShowSpaceGroup() {
  const QSignalBlocker block(spaceGroup_);
  const CKomorka& d = doc_->doc();
  const int i = d.crystal.spaceGroup.empty() ? 0 : spaceGroup_->findData(QString::fromStdString(d.crystal.spaceGroup));
  if (i >= 0) spaceGroup_->setCurrentIndex(i);
  if (!d.crystal.spaceGroup.empty()) spaceGroup_->setEditText(QString::fromStdString(d.crystal.spaceGroup));
  shownGroup_ = spaceGroup_->currentText();
  // The group decides the lattice type.
  lattice_->setEnabled(d.crystal.spaceGroup.empty());
}

void CTabPage1::ApplyTypedSpaceGroup() {
  if (!doc_ || spaceGroup_->currentText().trimmed() == shownGroup_.trimmed()) return;
  ChooseSpaceGroup(spaceGroup_->currentText());
}

bool CTabPage1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == spaceGroup_->lineEdit() && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      ApplyTypedSpaceGroup();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CTabPage1::ChooseSpaceGroup(const QString& text) {
  if (!doc_) return;
  CKomorka& d = doc_->doc();
  std::string typed = text.trimmed().toStdString();
  if (typed == "brak" || text.trimmed() == tr("brak")) typed.clear();
  const std::string group = d.crystal.spaceGroup;
  const size_t before = d.crystal.cellAtoms.size();
  const EditResult r = SetSpaceGroup(d, typed);
  if (r.status == EditStatus::kUnknownGroup) {
    const std::string message = Tr(QT_TRANSLATE_NOOP("StructureDialog", "Nieznana grupa przestrzenna \"")) + typed +
                                Tr(QT_TRANSLATE_NOOP("StructureDialog", "\".\nWpisz symbol Hermanna–Mauguina (np. P 42/m n m), numer grupy (1–230) albo "
                                "symbol Halla."));
    Warn(this, "Pelmora", message.c_str());
    ShowSpaceGroup();
    return;
  }
  if (d.crystal.spaceGroup == group) {
    ShowSpaceGroup();
    return;
  }
  ShowGroupChange();
  if (r.status == EditStatus::kOverCapacity) {
    const std::string text = cformat(Tr(QT_TRANSLATE_NOOP("StructureDialog", "Komórka może zawierać najwyżej %d atomów; atomów ponad tę liczbę nie dodano.")).c_str(),
                                     Crystal::kMaxAtoms);
    Warn(this, "Pelmora", text.c_str());
  } else if (!d.crystal.spaceGroup.empty() && group.empty() && before > 0) {
    // Atoms typed without the group become its sites; say what came of them.
    const std::string message = cformat(Tr(QT_TRANSLATE_NOOP("StructureDialog", "Grupa %s: %zu atomów komórki to %zu pozycji niezależnych; komórka ma teraz %zu "
                                        "atomów.")).c_str(),
                                        d.crystal.spaceGroup.c_str(), before, d.crystal.asymmetricUnit.size(), d.crystal.cellAtoms.size());
    QMessageBox::information(this, tr("Info"), U(message.c_str()));
  }
}

void CTabPage1::ShowGroupChange() {
  SelectDocumentLattice();
  ApplyRules();
  ShowCell();
  ShowSpaceGroup();
  page1_->Reload();
  page2_->Reload();
  doc_->NotifyParametersChanged();
  doc_->NotifyStructureChanged();
}

namespace {

// Each site's largest distance from its symmetrised position, the sites
// beyond the first dozen summed up by the largest of theirs.
std::string SymmetrisedSitesText(const FoundSymmetry& found) {
  constexpr size_t kListed = 12;
  std::string text = Tr(QT_TRANSLATE_NOOP("StructureDialog", "Największe odchylenie atomów od pozycji symetrycznej:\n"));
  double rest = 0;
  for (size_t i = 0; i < found.sites.size() && i < found.deviations.size(); ++i) {
    const AtomSite& a = found.sites[i];
    if (i < kListed)
      text += cformat("  %zu. %s (%.4f, %.4f, %.4f): %.4f Å\n", i + 1, a.name.c_str(), a.x, a.y, a.z,
                      found.deviations[i]);
    else
      rest = std::max(rest, found.deviations[i]);
  }
  if (found.sites.size() > kListed)
    text += cformat(Tr(QT_TRANSLATE_NOOP("StructureDialog", "  pozostałe pozycje (%zu): do %.4f Å\n")).c_str(), found.sites.size() - kListed, rest);
  return text;
}

}  // namespace

void CTabPage1::FindCellSymmetry() {
  if (!doc_) return;
  double tolerance;
  if (!tolerance_->TakeNumber(&tolerance)) return;
  if (!(tolerance > 0.0)) {
    Warn(this, "Pelmora", QT_TRANSLATE_NOOP("StructureDialog", "Tolerancja musi być większa od zera."));
    return;
  }
  CKomorka& d = doc_->doc();
  const std::optional<FoundSymmetry> found = FindSymmetry(d.cell, d.crystal.cellAtoms, tolerance);
  if (!found) {
    const std::string message = cformat(Tr(QT_TRANSLATE_NOOP("StructureDialog", "Nie znaleziono grupy przestrzennej, której operacje zachowują komórkę w jej "
                                        "osiach i początku układu (tolerancja %g Å).")).c_str(),
                                        tolerance);
    QMessageBox::information(this, tr("Info"), U(message.c_str()));
    return;
  }
  std::string question = cformat(Tr(QT_TRANSLATE_NOOP("StructureDialog", "Znaleziona grupa przestrzenna: %s (nr %d), tolerancja %g Å.\n"
                                 "Pozycji niezależnych: %zu (atomów komórki: %zu).\n")).c_str(),
                                 found->group.Name().c_str(), found->group.number, tolerance, found->sites.size(),
                                 d.crystal.cellAtoms.size());
  question += SymmetrisedSitesText(*found);
  question += Tr(QT_TRANSLATE_NOOP("StructureDialog", "Przyjąć tę grupę i jej pozycje niezależne (uśrednione)?"));
  if (!Ask(this, question.c_str())) return;
  d.crystal.spaceGroup = found->group.Name();
  d.crystal.asymmetricUnit = found->sites;
  TieCellToGroup(found->group, d.cell);
  d.crystal.ExpandCellAtoms();
  ShowGroupChange();
}

void CTabPage1::SelectDocumentLattice() {
  const LatticeType t = doc_->doc().crystal.latticeType;
  for (int i = 0; i < kBravaisCount; ++i)
    if (BravaisTable[static_cast<size_t>(i)].type == t) {
      const QSignalBlocker block(lattice_);
      lattice_->setCurrentIndex(i);
      shownIndex_ = i;
      return;
    }
  // A type outside the list leaves the selection as it was.
}

void CTabPage1::ShowCell() {
  const CKomorka& d = doc_->doc();
  const double v[6] = {d.cell.a, d.cell.b, d.cell.c, d.cell.alfa, d.cell.beta, d.cell.gamma};
  for (int i = 0; i < 6; ++i) cell_[static_cast<size_t>(i)]->setNumber(v[i]);
}

bool CTabPage1::ApplyRules() {
  CKomorka& d = doc_->doc();
  const bool tied = TieDocumentCell(d);
  EnableCellFields();
  return tied;
}

void CTabPage1::EnableCellFields() {
  const Crystal& c = doc_->doc().crystal;
  const std::array<bool, 6> free = FreeCellConstants(c.latticeType, UniqueAxisOf(c));
  for (size_t i = 0; i < 6; ++i) cell_[i]->setEnabled(free[i]);
}

void CTabPage1::ChooseLattice(int index) {
  if (!doc_ || index < 0 || index >= kBravaisCount || index == shownIndex_) return;
  CKomorka& d = doc_->doc();
  const bool hadAtoms = !d.crystal.structureAtoms.empty();
  // A new lattice empties the atom list: the user's atoms are not thrown
  // away without asking.
  if (hadAtoms && !Ask(this, QT_TRANSLATE_NOOP("StructureDialog", "Zmiana typu komórki usunie wszystkie atomy struktury.\nCzy kontynuować?"))) {
    const QSignalBlocker block(lattice_);
    lattice_->setCurrentIndex(shownIndex_);
    return;
  }
  shownIndex_ = index;
  SetLatticeType(d, BravaisTable[static_cast<size_t>(index)].type, SitesOnLatticeChange::kClear);
  ApplyRules();
  ShowCell();
  page1_->Reload();
  page2_->Reload();
  doc_->NotifyParametersChanged();
  if (hadAtoms) doc_->NotifyAtomsDeleted();
  doc_->NotifyStructureChanged();
}

bool CTabPage1::CommitCell(int field) {
  if (!doc_ || committing_) return true;
  committing_ = true;
  double v[6];
  bool ok = true;
  // The field just left first: its refusal is the one the user expects.
  // Only the free fields are read; the others follow them by the tie rule.
  const std::array<bool, 6> free = FreeCellConstants(doc_->doc().crystal.latticeType, UniqueAxisOf(doc_->doc().crystal));
  CellConstants c = ConstantsOf(doc_->doc().cell);
  if (free[static_cast<size_t>(field)] && !cell_[static_cast<size_t>(field)]->TakeNumber(&v[field])) ok = false;
  for (size_t i = 0; ok && i < 6; ++i)
    if (free[i] && !cell_[i]->TakeNumber(&c[i])) ok = false;
  if (ok) {
    CKomorka& d = doc_->doc();
    TieCell(d.crystal.latticeType, UniqueAxisOf(d.crystal), c);
    for (size_t i = 0; i < 6; ++i) cell_[i]->setNumber(c[i]);
    if (c != ConstantsOf(d.cell)) {
      SetConstants(d.cell, c);
      doc_->NotifyParametersChanged();
      doc_->NotifyStructureChanged();
    }
  }
  committing_ = false;
  return ok;
}

void CTabPage1::accept() {
  // Enter in a field lands here: what it holds counts before the dialog goes.
  const QWidget* f = focusWidget();
  int field = 0;
  for (int i = 0; i < 6; ++i)
    if (f == cell_[static_cast<size_t>(i)]) field = i;
  if (doc_ && !CommitCell(field)) return;
  hide();
}

}  // namespace pelmora
