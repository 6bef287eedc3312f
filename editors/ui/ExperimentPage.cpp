#include "editors/ui/ExperimentPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <optional>
#include <tuple>

#include "settings/Settings.h"
#include "documents/ui/KomorkaDocument.h"
#include "documents/ui/NotificationHub.h"
#include "widgets/NumberEdit.h"
#include "io/NumberFormat.h"
#include "engine/StructureEdits.h"
#include "engine/Validation.h"
#include "refdata/ReferenceData.h"
#include "refdata/ui/SourcesDialog.h"
#include "refdata/ui/InstrumentsDialog.h"

namespace pelmora {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The values a change of which must reach the chart and the modified flag.
auto Values(const ExperimentParams& p) {
  return std::tie(p.radiation, p.sourceName, p.aparatName, static_cast<const ExperimentValues&>(p), p.solvent);
}

bool SameSource(const RadiationSource& s, const ExperimentParams& p) {
  return s.radiation == p.radiation && s.lambda1 == p.lambda1 && s.lambda2 == p.lambda2 && s.ratio == p.ratio;
}

bool SameSet(const ApparatusSet& a, const ExperimentParams& p) {
  return a.u == p.u && a.v == p.v && a.w == p.w && a.x == p.x && a.y == p.y;
}

bool SameName(const std::string& a, const std::string& b) { return StripNameMarker(a) == StripNameMarker(b); }

// True while the document still uses the source and set its file brought.
bool UsesOwnRecords(const CKomorka& d) {
  return (!d.sourceRecord ||
          (SameSource(*d.sourceRecord, d.experiment) && SameName(d.sourceRecord->name, d.experiment.sourceName))) &&
         (!d.aparatRecord ||
          (SameSet(*d.aparatRecord, d.experiment) && SameName(d.aparatRecord->name, d.experiment.aparatName)));
}

// The list entry that is the document's own choice: the stored index when
// that entry still holds the document's values, else the first entry that
// does (the settings' entry first, then the tabulated ones, another file's
// last). A document that never had a name (a new one) matches by values
// alone. -1 when no entry holds the document's values: then nothing is
// applied, so that binding never changes what the document calculates.
template <class T, class Same>
int FindEntry(const std::vector<T>& list, int stored, const std::string& name, Same same) {
  auto fits = [&](const T& e) { return same(e) && (name.empty() || SameName(e.name, name)); };
  const int n = static_cast<int>(list.size());
  if (stored >= 0 && stored < n && fits(list[static_cast<std::size_t>(stored)])) return stored;
  for (char marker : {'*', '\0', '@'})
    for (int i = 0; i < n; ++i) {
      const std::string& entry = list[static_cast<std::size_t>(i)].name;
      const char m = (!entry.empty() && (entry[0] == '*' || entry[0] == '@')) ? entry[0] : '\0';
      if (m == marker && fits(list[static_cast<std::size_t>(i)])) return i;
    }
  return -1;
}

// The settings' entry ("*" name) of a table, refreshed after a default
// button changed what it stands for.
template <class T>
void RefreshSettingsEntry(std::vector<T>& list, T current) {
  for (T& e : list)
    if (!e.name.empty() && e.name[0] == '*') {
      current.name = "*" + StripNameMarker(current.name);
      e = current;
      return;
    }
}

QString Fixed(const char* format, double v) { return Q(cformat(format, v)); }
// A value derived from a wavelength, or a dash when there is no wavelength.
QString Derived(const char* format, double lambda, double v) {
  return lambda == 0.0 ? QStringLiteral(" -   ") : Fixed(format, v);
}

QLabel* Label(const char* text, QWidget* parent) { return new QLabel(QString::fromUtf8(text), parent); }
QLabel* Label(const QString& text, QWidget* parent) { return new QLabel(text, parent); }

// The unit shown beside a number, with a gap after it so that it is not
// read as part of the next column's label.
QLabel* Unit(const char* text, QWidget* parent) {
  QLabel* l = Label(text, parent);
  l->setObjectName(QStringLiteral("unit"));
  l->setMinimumWidth(l->fontMetrics().horizontalAdvance(l->text()) + 10);
  return l;
}

}  // namespace

CTabPage2::CTabPage2(ReferenceData& reference, CSettings& settings, SettingsStore& store, NotificationHub& hub,
                     QWidget* parent)
    : QDialog(parent), reference_(reference), settings_(settings), store_(store) {
  setWindowTitle(tr("Parametry eksperymentu"));
  setModal(false);

  auto* grid = new QGridLayout;
  grid->addWidget(BuildRadiationGroup(), 0, 0, 2, 1);
  grid->addWidget(BuildApparatusGroup(), 2, 0, 2, 1);
  grid->addWidget(BuildRangeGroup(), 0, 1);
  grid->addWidget(BuildSampleGroup(), 1, 1, 2, 1);
  grid->addWidget(BuildDiffractometerGroup(), 3, 1);

  refusal_ = new QLabel(this);
  refusal_->setWordWrap(true);
  refusal_->setObjectName(QStringLiteral("refusal"));
  QPalette red = refusal_->palette();
  red.setColor(QPalette::WindowText, QColor(0xb0, 0x1c, 0x12));
  refusal_->setPalette(red);
  // Room for two messages is kept free beside OK: a message appearing when
  // the click on OK ends an edit must not move the button from under the
  // pointer.
  refusal_->setMinimumHeight(2 * refusal_->fontMetrics().lineSpacing() + 4);
  refusal_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  auto* buttons = new QDialogButtonBox(this);
  ok_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &CTabPage2::Accept);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(refusal_, 1);
  bottom->addWidget(buttons, 0, Qt::AlignBottom);
  layout->addLayout(bottom);

  connect(sources_, &QComboBox::activated, this, [this](int i) {
    if (!doc_) return;
    const ExperimentParams before = doc_->doc().experiment;
    ChooseSource(i);
    Announce(before);
    ShowValues();
    AnnounceSource(before);
  });
  connect(apparatus_, &QComboBox::activated, this, [this](int i) {
    if (!doc_) return;
    const ExperimentParams before = doc_->doc().experiment;
    ChooseApparatus(i);
    Announce(before);
    ShowValues();
  });
  connect(dw_, &QCheckBox::clicked, this, [this](bool on) {
    edits_[kDwFactor]->setEnabled(on);
    Commit();
  });
  connect(solvent_, &QCheckBox::clicked, this, [this](bool on) {
    edits_[kSolventK]->setEnabled(on);
    edits_[kSolventB]->setEnabled(on);
    Commit();
  });
  for (int e = 0; e < kEditCount; ++e)
    if (e != kSampleVolume) connect(edits_[static_cast<std::size_t>(e)], &QLineEdit::editingFinished, this, &CTabPage2::Commit);

  connect(&hub, &NotificationHub::activeDocumentChanged, this, &CTabPage2::Bind);
  connect(&hub, &NotificationHub::parametersChanged, this, &CTabPage2::OnParametersChanged);
  Bind(nullptr);
}

// --- layout -----------------------------------------------------------------------------

NumberEdit* CTabPage2::MakeEdit(Edit e) {
  auto* edit = new NumberEdit(this);
  edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000000.0000")));
  edits_[e] = edit;
  return edit;
}

QLineEdit* CTabPage2::MakeText(Text t, int chars) {
  auto* text = new QLineEdit(this);
  text->setReadOnly(true);
  text->setFocusPolicy(Qt::NoFocus);
  text->setMinimumWidth(text->fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('0'))) + 12);
  // Shown, not edited: the window's colour tells them from the fields.
  QPalette p = text->palette();
  p.setColor(QPalette::Base, p.color(QPalette::Window));
  text->setPalette(p);
  texts_[t] = text;
  return text;
}

QToolButton* CTabPage2::MakeDefaultButton(Default d) {
  auto* b = new QToolButton(this);
  b->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
  b->setToolTip(tr("Ustaw jako domyślne"));
  b->setAutoRaise(true);
  connect(b, &QToolButton::clicked, this, [this, d] { SetDefaults(d); });
  defaults_[d] = b;
  return b;
}

QWidget* CTabPage2::BuildRadiationGroup() {
  auto* box = new QGroupBox(tr("Parametry promieniowania"), this);
  auto* g = new QGridLayout(box);
  g->setHorizontalSpacing(4);
  // Columns: line, then wavelength, wave number and energy, each with its unit.
  sources_ = new QComboBox(box);
  g->addWidget(sources_, 0, 0, 1, 3);
  g->addWidget(MakeText(kSourceName, 12), 0, 3, 1, 4);
  g->addWidget(MakeDefaultButton(kDefaultSource), 0, 7);
  editSources_ = new QPushButton(tr("Edytuj"), box);
  g->addWidget(editSources_, 1, 7);
  connect(editSources_, &QPushButton::clicked, this, [this] { EditList(true); });
  g->addWidget(Label(tr("Rodzaj promieniowania:"), box), 1, 0, 1, 3);
  g->addWidget(MakeText(kRadiation, 14), 1, 3, 1, 4);
  g->addWidget(Label(tr("dł. fali"), box), 2, 1, Qt::AlignHCenter);
  g->addWidget(Label(tr("w. falowy"), box), 2, 3, Qt::AlignHCenter);
  g->addWidget(Label(tr("energia"), box), 2, 5, Qt::AlignHCenter);
  const Text lines[2][3] = {{kLambda1, kWaveNumber1, kEnergy1}, {kLambda2, kWaveNumber2, kEnergy2}};
  for (int i = 0; i < 2; ++i) {
    g->addWidget(Label(i == 0 ? "Kα1" : "Kα2", box), 3 + i, 0);
    g->addWidget(MakeText(lines[i][0], 9), 3 + i, 1);
    g->addWidget(Unit("Å", box), 3 + i, 2);
    g->addWidget(MakeText(lines[i][1], 9), 3 + i, 3);
    g->addWidget(Unit("Å⁻¹", box), 3 + i, 4);
    g->addWidget(MakeText(lines[i][2], 10), 3 + i, 5);
    // X-ray photons in eV, neutrons in meV: set with the values.
    energyUnits_[static_cast<std::size_t>(i)] = Unit("meV", box);
    g->addWidget(energyUnits_[static_cast<std::size_t>(i)], 3 + i, 6);
  }
  g->addWidget(Label("Kα2/Kα1", box), 5, 0);
  g->addWidget(MakeText(kRatio, 9), 5, 1);
  return box;
}

QWidget* CTabPage2::BuildApparatusGroup() {
  auto* box = new QGroupBox(tr("Czynniki aparaturowe"), this);
  auto* g = new QGridLayout(box);
  g->setHorizontalSpacing(4);
  apparatus_ = new QComboBox(box);
  g->addWidget(apparatus_, 0, 0, 1, 5);
  g->addWidget(MakeText(kAparatName, 12), 0, 5, 1, 4);
  g->addWidget(MakeDefaultButton(kDefaultApparatus), 0, 9);
  editApparatus_ = new QPushButton(tr("Edytuj"), box);
  g->addWidget(editApparatus_, 2, 9);
  connect(editApparatus_, &QPushButton::clicked, this, [this] { EditList(false); });
  // The widths they give are in degrees of 2-theta: U, V, W add to its
  // square, X and Y to the width itself.
  const char* names[5] = {"U", "V", "W", "X", "Y"};
  const char* units[5] = {"°²", "°²", "°²", "°", "°"};
  for (int i = 0; i < 5; ++i) {
    const int row = 1 + i / 3, col = (i % 3) * 3;
    g->addWidget(Label(names[i], box), row, col, Qt::AlignRight);
    g->addWidget(MakeText(static_cast<Text>(kU + i), 9), row, col + 1);
    g->addWidget(Unit(units[i], box), row, col + 2);
  }
  return box;
}

QWidget* CTabPage2::BuildRangeGroup() {
  auto* box = new QGroupBox(tr("Zakres kątowy"), this);
  auto* g = new QGridLayout(box);
  g->addWidget(Label("min", box), 0, 0);
  g->addWidget(MakeEdit(kAngleMin), 0, 1);
  g->addWidget(Label(tr("st."), box), 0, 2);
  g->addWidget(Label("max", box), 1, 0);
  g->addWidget(MakeEdit(kAngleMax), 1, 1);
  g->addWidget(Label(tr("st."), box), 1, 2);
  g->addWidget(MakeDefaultButton(kDefaultRange), 0, 3, 2, 1);
  return box;
}

QWidget* CTabPage2::BuildSampleGroup() {
  auto* box = new QGroupBox(tr("Parametry próbki"), this);
  auto* g = new QGridLayout(box);
  g->addWidget(Label(tr("średnica monokryst.\nziarna"), box), 0, 0);
  g->addWidget(MakeEdit(kGrainSize), 0, 1, 1, 2);
  g->addWidget(Unit("Å", box), 0, 3);
  g->addWidget(Label(tr("liniowy wsp. absorpcji"), box), 1, 0);
  g->addWidget(MakeEdit(kAbsorption), 1, 1, 1, 2);
  g->addWidget(Unit("cm⁻¹", box), 1, 3);
  g->addWidget(Label(tr("objętość próbki"), box), 2, 0);
  g->addWidget(MakeEdit(kSampleVolume), 2, 1, 1, 2);
  g->addWidget(Unit("cm³", box), 2, 3);
  edits_[kSampleVolume]->setReadOnly(true);
  edits_[kSampleVolume]->setFocusPolicy(Qt::NoFocus);
  QPalette shown = edits_[kSampleVolume]->palette();
  shown.setColor(QPalette::Base, shown.color(QPalette::Window));
  edits_[kSampleVolume]->setPalette(shown);
  dw_ = new QCheckBox(tr("czynnik temperaturowy"), box);
  g->addWidget(dw_, 3, 0);
  g->addWidget(Label("B = ", box), 3, 1, Qt::AlignRight);
  g->addWidget(MakeEdit(kDwFactor), 3, 2);
  g->addWidget(Unit("Å²", box), 3, 3);
  g->addWidget(MakeDefaultButton(kDefaultSample), 0, 4, 4, 1);
  // The document's own, not a default: for macromolecules only.
  solvent_ = new QCheckBox(tr("Rozpuszczalnik (Babinet)"), box);
  solvent_->setToolTip(tr("F·(1 − k·exp(−B·s²)), s = sin θ / λ: rozpuszczalnik w krysztale białka "
                                      "osłabia linie pod małymi kątami. k — gęstość elektronowa rozpuszczalnika "
                                      "względem białka (0.8), B — zasięg (200 Å²)."));
  g->addWidget(solvent_, 4, 0);
  g->addWidget(Label("k = ", box), 4, 1, Qt::AlignRight);
  g->addWidget(MakeEdit(kSolventK), 4, 2);
  g->addWidget(Label("B = ", box), 5, 1, Qt::AlignRight);
  g->addWidget(MakeEdit(kSolventB), 5, 2);
  g->addWidget(Unit("Å²", box), 5, 3);
  return box;
}

QWidget* CTabPage2::BuildDiffractometerGroup() {
  auto* box = new QGroupBox(tr("Parametry dyfraktometru"), this);
  auto* g = new QGridLayout(box);
  g->addWidget(Label(tr("Rozmiar szczeliny detektora"), box), 0, 0);
  g->addWidget(MakeEdit(kDetSlit), 0, 2);
  g->addWidget(Unit("mm²", box), 0, 3);
  g->addWidget(Label(tr("Pole przekroju wiązki\nprom. padającego"), box), 1, 0);
  g->addWidget(MakeEdit(kBeamArea), 1, 2);
  g->addWidget(Unit("mm²", box), 1, 3);
  g->addWidget(Label(tr("Prędkość pomiaru"), box), 2, 0);
  g->addWidget(MakeEdit(kMeasureSpeed), 2, 2);
  g->addWidget(Unit("°/min", box), 2, 3);
  g->addWidget(Label(tr("Promień dyfraktometru"), box), 3, 0);
  g->addWidget(Label("R =", box), 3, 1, Qt::AlignRight);
  g->addWidget(MakeEdit(kDifRadius), 3, 2);
  g->addWidget(Unit("mm", box), 3, 3);
  g->addWidget(MakeDefaultButton(kDefaultDiffractometer), 0, 4, 4, 1);
  return box;
}

// --- binding ------------------------------------------------------------------------

void CTabPage2::FillLists() {
  const bool was = showing_;
  showing_ = true;
  sources_->clear();
  for (std::size_t i = 0; i < reference_.sources.size(); ++i)
    sources_->addItem(Q(reference_.sources[i].name), static_cast<int>(i));
  apparatus_->clear();
  for (std::size_t i = 0; i < reference_.apparatusSets.size(); ++i)
    apparatus_->addItem(Q(reference_.apparatusSets[i].name), static_cast<int>(i));
  showing_ = was;
}

void CTabPage2::Bind(KomorkaDocument* doc) {
  // Typing not yet committed belongs to the document being left; a field
  // without a number keeps that document's value.
  if (doc_ && doc_ != doc) {
    const ExperimentParams before = doc_->doc().experiment;
    ReadFields(true);
    Announce(before);
  }
  doc_ = doc;
  if (doc_) {
    CKomorka& d = doc_->doc();
    // A file's own source and set stand at the head of the lists while its
    // document is active. Applying them again is right only while the
    // document still uses them; a choice made since is kept.
    if (d.sourceRecord || d.aparatRecord) {
      if (UsesOwnRecords(d)) ApplyDocumentRecords(d, reference_);
      else JoinDocumentRecords(d, reference_);
    }
    FillLists();
    ChooseSource(FindEntry(reference_.sources, Chosen().source, d.experiment.sourceName,
                           [&d](const RadiationSource& s) { return SameSource(s, d.experiment); }));
    ChooseApparatus(FindEntry(reference_.apparatusSets, Chosen().apparatus, d.experiment.aparatName,
                              [&d](const ApparatusSet& a) { return SameSet(a, d.experiment); }));
  } else {
    FillLists();
  }
  const bool has = doc_ != nullptr;
  for (QWidget* w : std::initializer_list<QWidget*>{sources_, apparatus_, dw_}) w->setEnabled(has);
  for (QWidget* w : edits_) w->setEnabled(has);
  for (QWidget* w : texts_) w->setEnabled(has);
  for (QWidget* w : defaults_) w->setEnabled(has);
  // The reference editors apply their choice to the document, and OK hands
  // it to its chart: without one there is nothing for them to act on.
  for (QWidget* w : std::initializer_list<QWidget*>{editSources_, editApparatus_, ok_}) w->setEnabled(has);
  ShowValues();
}

void CTabPage2::OnParametersChanged(KomorkaDocument* doc) {
  if (!doc_ || doc != doc_ || showing_ || committing_) return;
  const CKomorka& d = doc_->doc();
  const int source = FindEntry(reference_.sources, Chosen().source, d.experiment.sourceName,
                               [&d](const RadiationSource& s) { return SameSource(s, d.experiment); });
  const int set = FindEntry(reference_.apparatusSets, Chosen().apparatus, d.experiment.aparatName,
                            [&d](const ApparatusSet& a) { return SameSet(a, d.experiment); });
  if (source >= 0) Chosen().source = source;
  if (set >= 0) Chosen().apparatus = set;
  showing_ = true;
  sources_->setCurrentIndex(source);
  apparatus_->setCurrentIndex(set);
  showing_ = false;
  ShowValues();
}

CTabPage2::ChosenRows& CTabPage2::Chosen() {
  const auto [it, added] = chosen_.try_emplace(doc_.data());
  if (added) connect(doc_.data(), &QObject::destroyed, this, [this, key = it->first] { chosen_.erase(key); });
  return it->second;
}

void CTabPage2::EditList(bool sources) {
  const int before = sources ? sources_->currentIndex() : apparatus_->currentIndex();
  if (sources) {
    CLambdaDlg dlg(reference_, this, before);
    dlg.exec();
  } else {
    CAparatDlg dlg(reference_, this, before);
    dlg.exec();
  }
  const std::optional<ExperimentParams> old =
      doc_ ? std::optional<ExperimentParams>(doc_->doc().experiment) : std::nullopt;
  FillLists();
  // The other list keeps its choice; the edited one applies the entry that
  // now stands at the index chosen before.
  const bool was = showing_;
  showing_ = true;
  if (sources) {
    apparatus_->setCurrentIndex(doc_ ? Chosen().apparatus : -1);
    ChooseSource(before);
  } else {
    sources_->setCurrentIndex(doc_ ? Chosen().source : -1);
    ChooseApparatus(before);
  }
  showing_ = was;
  if (old) Announce(*old);
  ShowValues();
  if (old && sources) AnnounceSource(*old);
}

void CTabPage2::ChooseSource(int index) {
  const bool was = showing_;
  showing_ = true;
  if (doc_ && index >= 0 && index < static_cast<int>(reference_.sources.size())) {
    CKomorka& d = doc_->doc();
    Chosen().source = index;
    SetSource(d, reference_.sources[static_cast<std::size_t>(index)]);
    sources_->setCurrentIndex(index);
  } else {
    sources_->setCurrentIndex(-1);
  }
  showing_ = was;
}

void CTabPage2::ChooseApparatus(int index) {
  const bool was = showing_;
  showing_ = true;
  if (doc_ && index >= 0 && index < static_cast<int>(reference_.apparatusSets.size())) {
    CKomorka& d = doc_->doc();
    Chosen().apparatus = index;
    d.experiment.ApplyApparatus(reference_.apparatusSets[static_cast<std::size_t>(index)]);
    apparatus_->setCurrentIndex(index);
  } else {
    apparatus_->setCurrentIndex(-1);
  }
  showing_ = was;
}

// --- exchange of values -------------------------------------------------------------

void CTabPage2::ShowValues() {
  showing_ = true;
  if (!doc_) {
    for (QLineEdit* t : texts_) t->clear();
    for (NumberEdit* e : edits_) e->clear();
    dw_->setChecked(false);
  } else {
    const CKomorka& d = doc_->doc();
    texts_[kSourceName]->setText(Q(d.experiment.sourceName));
    texts_[kRadiation]->setText(d.experiment.radiation == 1 ? tr("Neutrony")
                                                            : tr("Promieniowanie X"));
    texts_[kLambda1]->setText(Fixed("%8.5f", d.experiment.lambda1));
    texts_[kLambda2]->setText(Fixed("%8.5f", d.experiment.lambda2));
    texts_[kRatio]->setText(Fixed("%5.3f", d.experiment.ratio));
    // A neutron's energy is its kinetic one, not that of a photon of the
    // same wavelength.
    const bool neutrons = d.experiment.radiation == 1;
    const auto energy = [neutrons](double l) { return neutrons ? NeutronEnergyMeV(l) : kHcEvAngstrom / l; };
    texts_[kEnergy1]->setText(Derived("%5.3f", d.experiment.lambda1, energy(d.experiment.lambda1)));
    texts_[kEnergy2]->setText(Derived("%5.3f", d.experiment.lambda2, energy(d.experiment.lambda2)));
    for (QLabel* unit : energyUnits_) unit->setText(neutrons ? QStringLiteral("meV") : QStringLiteral("eV"));
    texts_[kWaveNumber1]->setText(Derived("%8.5f", d.experiment.lambda1, 2 * kPi / d.experiment.lambda1));
    texts_[kWaveNumber2]->setText(Derived("%8.5f", d.experiment.lambda2, 2 * kPi / d.experiment.lambda2));
    texts_[kAparatName]->setText(Q(d.experiment.aparatName));
    const double uvwxy[5] = {d.experiment.u, d.experiment.v, d.experiment.w, d.experiment.x, d.experiment.y};
    for (int i = 0; i < 5; ++i) texts_[static_cast<std::size_t>(kU + i)]->setText(Fixed("%8.5f", uvwxy[i]));
    edits_[kAngleMin]->setNumber(d.experiment.angleMin);
    edits_[kAngleMax]->setNumber(d.experiment.angleMax);
    edits_[kGrainSize]->setNumber(d.experiment.gsize);
    edits_[kAbsorption]->setNumber(d.experiment.absorption);
    // The volume the beam reaches, recomputed at every showing.
    if (d.experiment.absorption != 0.0)
      edits_[kSampleVolume]->setNumber(d.experiment.beamarea * 0.01 / (2.0 * d.experiment.absorption), "%g");
    else edits_[kSampleVolume]->setText(QStringLiteral(" -   "));
    edits_[kDwFactor]->setNumber(d.experiment.dwfactor);
    edits_[kDetSlit]->setNumber(d.experiment.detslit);
    edits_[kBeamArea]->setNumber(d.experiment.beamarea);
    edits_[kMeasureSpeed]->setNumber(d.experiment.measurespeed);
    edits_[kDifRadius]->setNumber(d.experiment.difradius);
    dw_->setChecked(d.experiment.IsDW != 0);
    edits_[kSolventK]->setNumber(d.experiment.solvent.k);
    edits_[kSolventB]->setNumber(d.experiment.solvent.b);
    solvent_->setChecked(d.experiment.solvent.on);
    for (NumberEdit* e : edits_) e->setCursorPosition(0);
    for (QLineEdit* t : texts_) t->setCursorPosition(0);
  }
  edits_[kDwFactor]->setEnabled(doc_ && dw_->isChecked());
  edits_[kSolventK]->setEnabled(doc_ && solvent_->isChecked());
  edits_[kSolventB]->setEnabled(doc_ && solvent_->isChecked());
  showing_ = false;
  FlagRefusedValues();
}

bool CTabPage2::ReadFields(bool quiet) {
  if (!doc_) return false;
  CKomorka& d = doc_->doc();
  std::array<double, kEditCount> v{d.experiment.angleMin,
                                   d.experiment.angleMax,
                                   d.experiment.gsize,
                                   d.experiment.absorption,
                                   0.0,
                                   d.experiment.dwfactor,
                                   d.experiment.detslit,
                                   d.experiment.beamarea,
                                   d.experiment.measurespeed,
                                   d.experiment.difradius,
                                   d.experiment.solvent.k,
                                   d.experiment.solvent.b};
  for (int e = 0; e < kEditCount; ++e) {
    if (e == kSampleVolume) continue;
    NumberEdit* edit = edits_[static_cast<std::size_t>(e)];
    if (quiet) {
      if (const std::optional<double> n = edit->value()) v[static_cast<std::size_t>(e)] = *n;
    } else if (!edit->TakeNumber(&v[static_cast<std::size_t>(e)])) {
      // The first field without a number is refused with its own message
      // and nothing is written.
      return false;
    }
  }
  // 2-theta lies between 0 and 180 degrees; a minimum not below the maximum
  // is kept and marked at its fields until mended.
  static_cast<AngleWindow&>(d.experiment) = ClampAngleRange(v[kAngleMin], v[kAngleMax]);
  d.experiment.gsize = v[kGrainSize];
  d.experiment.absorption = v[kAbsorption];
  d.experiment.dwfactor = v[kDwFactor];
  d.experiment.IsDW = dw_->isChecked() ? 1 : 0;
  d.experiment.detslit = v[kDetSlit];
  d.experiment.beamarea = v[kBeamArea];
  d.experiment.measurespeed = v[kMeasureSpeed];
  d.experiment.difradius = v[kDifRadius];
  d.experiment.solvent = {solvent_->isChecked(), v[kSolventK], v[kSolventB]};
  return true;
}

bool CTabPage2::Commit() {
  if (!doc_ || showing_ || committing_) return false;
  // A refusal's message box takes the focus, which finishes the edit once
  // more: one answer per edit.
  committing_ = true;
  const ExperimentParams before = doc_->doc().experiment;
  const bool read = ReadFields();
  if (read) {
    Announce(before);
    ShowValues();
  }
  committing_ = false;
  return read;
}

void CTabPage2::Accept() {
  if (!doc_) return;
  if (!Commit()) return;  // the field without a number has said so
  // A value the calculation would refuse is not taken as the user's last
  // word: the page stays, with the message and the field to mend.
  if (const QString why = refusalText(); !why.isEmpty()) {
    NumberEdit* first = nullptr;
    for (NumberEdit* e : edits_)
      if (!first && !e->toolTip().isEmpty()) first = e;
    QMessageBox::warning(this, tr("Błąd"), why);
    if (first) {
      first->setFocus();
      first->selectAll();
    }
    return;
  }
  hide();
}

void CTabPage2::Announce(const ExperimentParams& before) {
  if (doc_ && Values(before) != Values(doc_->doc().experiment))
    doc_->NotifyParametersChanged();
}

void CTabPage2::AnnounceSource(const ExperimentParams& before) {
  if (doc_ &&
      (before.lambda1 != doc_->doc().experiment.lambda1 || before.radiation != doc_->doc().experiment.radiation))
    emit sourceChanged(doc_, before.lambda1, before.radiation);
}

QString CTabPage2::refusalText() const { return refusal_->text(); }

void CTabPage2::FlagRefusedValues() {
  const struct {
    ExperimentValue value;
    std::array<Edit, 2> fields;
  } checks[] = {{ExperimentValue::AngleRange, {kAngleMin, kAngleMax}},
                {ExperimentValue::GrainSize, {kGrainSize, kGrainSize}},
                {ExperimentValue::Absorption, {kAbsorption, kAbsorption}},
                {ExperimentValue::DwFactor, {kDwFactor, kDwFactor}},
                {ExperimentValue::DetSlit, {kDetSlit, kDetSlit}},
                {ExperimentValue::BeamArea, {kBeamArea, kBeamArea}},
                {ExperimentValue::MeasureSpeed, {kMeasureSpeed, kMeasureSpeed}},
                {ExperimentValue::DifRadius, {kDifRadius, kDifRadius}},
                {ExperimentValue::Solvent, {kSolventK, kSolventB}}};
  QStringList messages;
  for (int e = 0; e < kEditCount; ++e) {
    if (e == kSampleVolume) continue;  // keeps its read-only colour
    edits_[static_cast<std::size_t>(e)]->setPalette(QPalette());
    edits_[static_cast<std::size_t>(e)]->setToolTip(QString());
  }
  if (doc_)
    for (const auto& c : checks) {
      const QString why = Q(CheckExperimentValue(doc_->doc().experiment, c.value));
      if (why.isEmpty()) continue;
      messages << why;
      for (Edit f : c.fields) {
        QPalette p = edits_[f]->palette();
        p.setColor(QPalette::Base, QColor(0xfd, 0xe2, 0xde));
        edits_[f]->setPalette(p);
        edits_[f]->setToolTip(why);
      }
    }
  refusal_->setText(messages.join(QLatin1Char('\n')));
}

// --- defaults -----------------------------------------------------------------------

void CTabPage2::SetDefaults(Default which) {
  if (!doc_) return;
  const ExperimentParams before = doc_->doc().experiment;
  if (!ReadFields()) return;
  Announce(before);
  ShowValues();
  const CKomorka& d = doc_->doc();
  CSettings& s = settings_;
  ExperimentValues& e = s.experiment;
  bool written = true;
  switch (which) {
    case kDefaultRange:
      static_cast<AngleWindow&>(e) = d.experiment;
      break;
    case kDefaultSource:
      static_cast<Wavelengths&>(e) = d.experiment;
      s.Radiation = d.experiment.radiation;
      s.RadName = StripNameMarker(d.experiment.sourceName);
      written = SaveRadiationSettings(store_, s);
      RefreshSettingsEntry(reference_.sources, s.CurrentSource());
      break;
    case kDefaultApparatus:
      static_cast<InstrumentWidths&>(e) = d.experiment;
      s.AparatName = StripNameMarker(d.experiment.aparatName);
      written = SaveApparatusSettings(store_, s);
      RefreshSettingsEntry(reference_.apparatusSets, s.CurrentApparatus());
      break;
    case kDefaultDiffractometer:
      static_cast<Diffractometer&>(e) = d.experiment;
      break;
    case kDefaultSample:
      static_cast<SampleValues&>(e) = d.experiment;
      break;
    case kDefaultCount: break;
  }
  if (which == kDefaultSource || which == kDefaultApparatus) {
    // The settings' entry now names the new choice.
    const int source = sources_->currentIndex(), set = apparatus_->currentIndex();
    FillLists();
    showing_ = true;
    sources_->setCurrentIndex(source);
    apparatus_->setCurrentIndex(set);
    showing_ = false;
  }
  if (!written)
    QMessageBox::critical(this, tr("Błąd"),
                          tr("Nie można zapisać ustawień w pliku %1.").arg(Q(store_.FilePath())));
}

}  // namespace pelmora
