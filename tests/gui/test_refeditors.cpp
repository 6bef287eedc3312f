// The reference editors driven through their windows on a private copy of
// the data folder: what they store, refuse, ask and write, and the question
// at exit about tables left unsaved.
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableWidget>

#include "editors/ui/ExperimentPage.h"
#include "editors/ui/InfoPanel.h"
#include "editors/ui/StructureDialog.h"
#include "refdata/AnomalSets.h"
#include "refdata/ReferenceFiles.h"
#include "refdata/ui/AnomalTablesDialog.h"
#include "refdata/ui/NamePrompt.h"
#include "refdata/ui/PeriodicTableDialog.h"
#include "refdata/ui/SourcesDialog.h"
#include "refdata/ui/InstrumentsDialog.h"
#include "settings/Settings.h"
#include "tests/gui/GuiTestSupport.h"
#include "widgets/NumberEdit.h"

using namespace pelmora;
using testing::BoxAnswers;

namespace {

// The data folder's file holds exactly the writer's text.
bool Holds(const QString& data, const char* file, const std::string& text) {
  QFile f(data + QLatin1Char('/') + QLatin1String(file));
  return f.open(QIODevice::ReadOnly) && f.readAll() == QByteArray::fromStdString(text);
}

// Fills a source or instrument-set editor: the name, then its number fields.
template <class Dlg>
void Fill(Dlg* dlg, const char* name, std::initializer_list<const char*> numbers) {
  dlg->nameField()->setText(QString::fromUtf8(name));
  int k = 0;
  for (const char* n : numbers) dlg->numberField(k++)->setText(QLatin1String(n));
}

// Points XDG_DATA_HOME, the user's folder of edited tables, at a test's own
// folder, and back afterwards.
struct UserDataFolder {
  QByteArray saved = qgetenv("XDG_DATA_HOME");
  explicit UserDataFolder(const QString& path) { qputenv("XDG_DATA_HOME", QFile::encodeName(path)); }
  ~UserDataFolder() { qputenv("XDG_DATA_HOME", saved); }
};

// Clicks OK on an editor nobody touched: it closes without a refusal.
template <class Dlg>
bool ClosesUntouched(Dlg& dlg) {
  BoxAnswers boxes;
  boxes.Click(dlg.okButton(), {QMessageBox::Ok});
  return boxes.texts.isEmpty() && dlg.result() == QDialog::Accepted;
}

// Clicks button and gives the name prompt it opens the name.
void ClickAndName(QAbstractButton* button, const char* name) {
  testing::ModalWatcher<CPrompt> prompt;
  prompt.Arm([name](CPrompt* p) {
    p->field()->setText(QString::fromUtf8(name));
    p->accept();
  });
  button->click();
}

}  // namespace

class RefEditorsTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

  // A fresh copy of the shipped tables, loaded into ref as the application does.
  QString CopyData(const QString& name, ReferenceData* ref = nullptr) {
    const QString data = dir_.path() + QLatin1Char('/') + name;
    QDir().mkpath(data);
    for (const char* f : {kSourceFile, kApparatusFile, kIonFile, kIsotopeFile, kAnomalFile})
      QFile::copy(testing::SourceDir() + QStringLiteral("/Data/") + QLatin1String(f),
                  data + QLatin1Char('/') + QLatin1String(f));
    if (ref) {
      ref->dataDir = data.toStdString();
      CSettings settings;
      ref->LoadAll(settings.CurrentSource(), settings.CurrentApparatus());
    }
    return data;
  }

  // Saving: "Nie" saves nothing; a failed write says why and stays marked
  // (and savable); "Tak" writes the core writers' text.
  static void SavesTheTables(CAtomTable& dlg, ReferenceData& ref, const QString& data, BoxAnswers& boxes) {
    boxes.Click(dlg.saveButton(), {QMessageBox::No});
    QVERIFY(ref.referenceModified);
    ref.dataDir = (data + QStringLiteral("/missing")).toStdString();
    boxes.Click(dlg.saveButton(), {QMessageBox::Yes, QMessageBox::Ok});
    QVERIFY(ref.referenceModified && dlg.saveButton()->isEnabled());
    ref.dataDir = data.toStdString();
    boxes.Click(dlg.saveButton(), {QMessageBox::Yes});
    QVERIFY(!ref.referenceModified && !dlg.saveButton()->isEnabled());
    QVERIFY(Holds(data, "ions.xml", FormatIons(ref.elements)) && Holds(data, "izos.xml", FormatIsotopes(ref.elements)));
  }

 private slots:
  void sourceEditorAddsRemovesRefusesAndSaves() {
    ReferenceData ref;
    const QString data = CopyData(QStringLiteral("sources"), &ref);
    const size_t initial = ref.sources.size();
    // The fields start with the entry in use (the settings' one unless
    // given), so that OK closes an untouched editor.
    CLambdaDlg moKa(ref, nullptr, 2);
    QVERIFY(moKa.nameField()->text() == QStringLiteral("Mo Ka") && moKa.numberField(0)->value() == 0.7093 &&
            moKa.numberField(2)->value() == 0.5 && !moKa.changeButton()->isEnabled());
    QVERIFY(ClosesUntouched(moKa));
    CLambdaDlg dlg(ref);
    QCOMPARE(dlg.numberField(1)->value(), std::optional<double>(ref.sources[0].lambda2));
    QVERIFY(ClosesUntouched(dlg));
    // The settings' entry is shown but neither changed nor removed here.
    dlg.list()->selectRow(0);
    QVERIFY(!dlg.changeButton()->isEnabled() && !dlg.removeButton()->isEnabled());

    // A new neutron source typed with a decimal comma; then refusals of no
    // number, a ratio above 1 and a name with a list marker store nothing.
    Fill(&dlg, "Cu Kα (mój)", {"1,5406", "1.5444", "0.5"});
    dlg.neutronButton()->setChecked(true);
    dlg.addButton()->click();
    const RadiationSource added = ref.sources.back();
    QVERIFY(added.name == "Cu Kα (mój)" && added.lambda1 == 1.5406 && added.radiation == 1 && ref.sourcesModified);
    BoxAnswers boxes;
    const char* refused[][4] = {{"Cu", "1.5", "abc", "0.5"}, {"Cu", "1.5", "1.5", "1.5"}, {"*Cu", "1.5", "1.5", "0.5"}};
    for (const auto& r : refused) {
      Fill(&dlg, r[0], {r[1], r[2], r[3]});
      boxes.Click(dlg.addButton(), {QMessageBox::Ok});
    }
    QCOMPARE(ref.sources.size(), initial + 1);

    // The second entry removed.
    const std::string third = ref.sources[2].name;
    dlg.list()->selectRow(1);
    dlg.removeButton()->click();
    QVERIFY(ref.sources.size() == initial && ref.sources[1].name == third);

    // Saved as the core writer's text. A full table takes no more; a save
    // that cannot be written says why and keeps the table marked.
    dlg.saveButton()->click();
    QVERIFY(!ref.sourcesModified && Holds(data, "source.xml", FormatSources(ref.sources)));
    while (ref.sources.size() < kMaxSources) ref.sources.push_back(ref.sources.back());
    boxes.Click(dlg.addButton(), {QMessageBox::Ok});
    QCOMPARE(static_cast<int>(ref.sources.size()), kMaxSources);
    ref.dataDir = (data + QStringLiteral("/missing")).toStdString();
    ref.sourcesModified = true;
    boxes.Click(dlg.saveButton(), {QMessageBox::Ok});
    QVERIFY(ref.sourcesModified);

    QCOMPARE(boxes.texts,
             (QStringList{QStringLiteral("Enter a number."), QStringLiteral("Enter a number between 0 and 1."),
                          QStringLiteral("Nazwa nie może zaczynać się od znaku „*” ani „@”: takiej pozycji nie "
                                         "zapisuje się w pliku."),
                          QStringLiteral("Tablica jest pełna: mieści 255 pozycji."), boxes.texts.value(4)}));
    QVERIFY(!boxes.texts.value(4).isEmpty());
  }

  void apparatusEditorAddsRefusesAndSaves() {
    ReferenceData ref;
    const QString data = CopyData(QStringLiteral("sets"), &ref);
    CAparatDlg dlg(ref, nullptr, 2);
    QCOMPARE(dlg.nameField()->text(), QString::fromStdString(ref.apparatusSets[2].name));
    QCOMPARE(dlg.numberField(2)->value(), std::optional<double>(ref.apparatusSets[2].w));
    QVERIFY(ClosesUntouched(dlg));
    Fill(&dlg, "Mój dyfraktometr", {"0.004", "-0,002", "0.003", "0", "0.01"});
    dlg.addButton()->click();
    QVERIFY(ref.apparatusSets.back().v == -0.002 && ref.apparatusSets.back().y == 0.01 && ref.apparatusModified);
    // The new row stands selected; an unreadable W is refused, never stored as 0.
    dlg.numberField(2)->setText(QStringLiteral("x"));
    BoxAnswers boxes;
    boxes.Click(dlg.changeButton(), {QMessageBox::Ok});
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("Enter a number.")});
    QCOMPARE(ref.apparatusSets.back().w, 0.003);
    dlg.saveButton()->click();
    QVERIFY(!ref.apparatusModified && Holds(data, "aparat.xml", FormatApparatusSets(ref.apparatusSets)));
  }

  void anomalEditorAddsRenamesChangesAndSaves() {
    ReferenceData ref;
    const QString data = CopyData(QStringLiteral("anomal"), &ref);
    const int initial = ref.anomalCount();
    CAnomalDlg dlg(ref);

    // The prompt refuses an empty name and stays open for one.
    BoxAnswers boxes;
    testing::ModalWatcher<CPrompt> prompt;
    prompt.Arm([&](CPrompt* p) {
      boxes.Arm({QMessageBox::Ok});
      p->accept();
      p->field()->setText(QStringLiteral("Moja tablica"));
      p->accept();
    });
    dlg.addButton()->click();
    QVERIFY(ref.anomalCount() == initial + 1 && ref.anomalTables.back().name == "Moja tablica");

    // Fe's pair, typed with a comma, goes into the new table, now shown; then renamed.
    dlg.list()->selectRow(25);
    dlg.fprimField()->setText(QStringLiteral("-1,179"));
    dlg.fbisField()->setText(QStringLiteral("3.204"));
    dlg.changeButton()->click();
    QVERIFY(ref.anomalTables.back().fprim[26] == -1.179 && ref.anomalTables.back().fbis[26] == 3.204);
    // The row keeps the texts as they were typed.
    QVERIFY(dlg.list()->item(25, 2)->text() == QStringLiteral("-1,179") &&
            dlg.list()->item(25, 3)->text() == QStringLiteral("3.204"));
    ClickAndName(dlg.renameButton(), "Fe: własne");
    QCOMPARE(ref.anomalTables.back().name, std::string("Fe: własne"));

    // "Nie" saves nothing; "Tak" writes the core writer's text.
    boxes.Click(dlg.saveButton(), {QMessageBox::No});
    QVERIFY(ref.anomalsModified);
    boxes.Click(dlg.saveButton(), {QMessageBox::Yes});
    QVERIFY(!ref.anomalsModified && Holds(data, "anomals.xml", FormatAnomalTables(ref.anomalTables)));
    const QString save = QStringLiteral("Czy napewno zapisać zmiany w tablicy czynników anomalnych na dysku ?");
    QCOMPARE(boxes.texts, (QStringList{QStringLiteral("Nazwa jest za krótka"), save, save}));
  }

  void atomTableEditsIonsAndIsotopes() {
    ReferenceData ref;
    const QString data = CopyData(QStringLiteral("atoms"), &ref);
    const ElementEntry& fe = ref.elements.Entry(26);  // ions 0, +2, +3; isotopes def, 54, 56, 57, 58
    CAtomTable dlg(ref, nullptr, false);
    dlg.SelectElement(26);
    BoxAnswers boxes;
    // Types into the group's fields and clicks its button, answering the boxes that come.
    auto ion = [&](const char* charge, const char* a1, QList<QMessageBox::StandardButton> answers = {}) {
      dlg.chargeField()->setText(QLatin1String(charge));
      dlg.coefficientField(0)->setText(QLatin1String(a1));
      dlg.coefficientField(8)->setText(QStringLiteral("0.75"));
      boxes.Click(dlg.ionAddButton(), answers);
    };
    auto isotope = [&](const char* mass, const char* s, QList<QMessageBox::StandardButton> answers = {}) {
      dlg.massField()->setText(QLatin1String(mass));
      dlg.sField()->setText(QLatin1String(s));
      boxes.Click(dlg.isotopeAddButton(), answers);
    };

    // Refusals store nothing: no integer, no charge, no number.
    for (auto [charge, a1] : {std::pair{"1.5", "1"}, {"", "1"}, {"+4", "x"}}) ion(charge, a1, {QMessageBox::Ok});
    QVERIFY(fe.ionCount() == 3 && !ref.referenceModified);
    // A new charge goes in without a question and makes the tables savable.
    ion("+4", "1,25");
    QVERIFY(fe.ions[3].charge == 4 && fe.ions[3].a1 == 1.25 && fe.ions[3].c == 0.75);
    QVERIFY(ref.referenceModified && dlg.saveButton()->isEnabled());
    // A tabulated charge asks: "Nie" keeps it (and shows it), "Tak" replaces all nine, c included.
    const IonRecord two = fe.ions[1];
    ion("2", "9", {QMessageBox::No});
    QVERIFY(fe.ions[1] == two && dlg.ionIndex() == 1);
    ion("2", "9", {QMessageBox::Yes});
    QVERIFY(fe.ions[1].a1 == 9.0 && fe.ions[1].c == 0.75 && fe.ions[1].b1 == two.b1);
    // Removing: "Nie" keeps; the last one removed shows the new last, else
    // the one now at that index; a removed default falls to it.
    dlg.StepIon(2);  // +4
    boxes.Click(dlg.ionRemoveButton(), {QMessageBox::No});
    boxes.Click(dlg.ionRemoveButton(), {QMessageBox::Yes});
    QVERIFY(fe.ionCount() == 3 && dlg.ionIndex() == 2);
    dlg.StepIon(-2);  // 0, the default
    boxes.Click(dlg.ionRemoveButton(), {QMessageBox::Yes});
    QVERIFY(fe.ionCount() == 2 && fe.defaultIon == 0 && fe.ions[0].a1 == 9.0 && dlg.ionIndex() == 0);

    // Isotopes: a new mass number, a known one asks, refusals, removal.
    isotope("60", "2,8");
    QVERIFY(fe.isotopeCount() == 6 && fe.isotopes[5] == (IsotopeRecord{60, 2.8}));
    isotope("57", "2.5", {QMessageBox::Yes});
    QVERIFY(fe.isotopes[3] == (IsotopeRecord{57, 2.5}));
    isotope("5x", "1", {QMessageBox::Ok});
    isotope("-1", "1", {QMessageBox::Ok});
    dlg.StepIsotope(-2);  // 54
    boxes.Click(dlg.isotopeRemoveButton(), {QMessageBox::Yes});
    QVERIFY(fe.isotopeCount() == 5 && fe.isotopes[1].mass == 56 && fe.defaultIsotope == 0);

    // 49 ions fill an element: a new charge is refused, a known one still
    // changes. "X" has no records in the files.
    for (int k = 100; ref.elements.AppendIon(30, {k}); ++k) continue;
    dlg.SelectElement(30);
    ion("7", "1", {QMessageBox::Ok});
    ion("120", "1", {QMessageBox::Yes});
    const ElementEntry& zn = ref.elements.Entry(30);
    QVERIFY(zn.ionCount() == ElementTable::kMaxTabulated && zn.IonSlot(dlg.ionIndex())->charge == 120);
    QCOMPARE(zn.IonSlot(dlg.ionIndex())->a1, 1.0);
    dlg.SelectElement(119);
    QVERIFY(!dlg.ionAddButton()->isEnabled() && !dlg.isotopeAddButton()->isEnabled());

    SavesTheTables(dlg, ref, data, boxes);
    // Which question or refusal came at each step.
    const QString change = QStringLiteral("Czy napewno zmienić wartości czynników atomowych?");
    const QString integer = QStringLiteral("Enter an integer."), save = QStringLiteral("Czy zapisać zmiany na dysku?");
    const QString removeIon = QStringLiteral("Czy napewno usunąć jon z tablicy?");
    QCOMPARE(boxes.texts,
             (QStringList{integer, integer, QStringLiteral("Enter a number."), change, change, removeIon, removeIon,
                          removeIon, QStringLiteral("Czy napewno zmienić wartość neutronowego czynnika rozpraszania?"),
                          integer, QStringLiteral("Enter an integer between 0 and 999."),
                          QStringLiteral("Czy napewno usunąć izotop z tablicy?"),
                          QStringLiteral("Tablica jest pełna: mieści 49 pozycji."), change, save, save,
                          boxes.texts.value(16), save}));
    QVERIFY(!boxes.texts.value(16).isEmpty());
  }

  // The source editor opened from the experiment page: a source added joins
  // the list, and a change to the chosen one reaches the document.
  // It opens on the chosen source, and saves into the user's folder, never
  // into the shipped one.
  void experimentPageListFollowsTheSourceEditor() {
    const QString data = CopyData(QStringLiteral("page"));
    const QString user = dir_.path() + QStringLiteral("/page-user");
    UserDataFolder userData(user);
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("NaCl.xml")}, false, data + QStringLiteral(".ini")));
    QCOMPARE(QString::fromStdString(t.app().reference().userDir), user + QStringLiteral("/Pelmora"));
    t.app().reference().dataDir = data.toStdString();
    QFile shipped(data + QStringLiteral("/source.xml"));
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    const QByteArray shippedBytes = shipped.readAll();
    t.f->show();
    CTabPage2* page = t.f->experimentPage();
    const int chosen = page->sources()->findText(QStringLiteral("Mo Ka"));
    // Each new wavelength asks about the atoms' anomalous terms: kept.
    BoxAnswers boxes;
    boxes.Arm({QMessageBox::No});
    emit page->sources()->activated(chosen);
    boxes.Arm({QMessageBox::No});
    testing::ModalWatcher<CLambdaDlg> editor;
    QString opened;
    editor.Arm([chosen, &opened](CLambdaDlg* dlg) {
      opened = dlg->nameField()->text() + QLatin1Char(' ') + dlg->numberField(0)->text();
      Fill(dlg, "Cu Kα (mój)", {"1.5406", "1.5444", "0.5"});
      dlg->addButton()->click();
      dlg->list()->selectRow(chosen);
      dlg->numberField(0)->setText(QStringLiteral("0.7"));
      dlg->changeButton()->click();
      dlg->saveButton()->click();
      dlg->okButton()->click();
    });
    page->editButton(true)->click();
    QVERIFY(editor.seen && page->sources()->findText(QStringLiteral("Cu Kα (mój)")) > chosen);
    QVERIFY(page->sources()->currentText() == QStringLiteral("Mo Ka") && page->sources()->currentIndex() == chosen);
    QCOMPARE(t.f->activeDocument()->doc().experiment.lambda1, 0.7);
    QCOMPARE(opened, QStringLiteral("Mo Ka 0.7093"));
    QCOMPARE(boxes.texts.size(), 2);
    QVERIFY(Holds(user + QStringLiteral("/Pelmora"), "source.xml", FormatSources(t.app().reference().sources)));
    QVERIFY(Holds(data, "source.xml", shippedBytes.toStdString()));
    t.f->activeDocument()->setModified(false);
    QVERIFY(t.f->close());
  }

  // A new X-ray source keeps the atoms' f' and f'', says so, and asks
  // whether to take them for it (its table, else xraylib's); neutrons ask
  // and say nothing. The anomalous page takes them for the source too.
  void sourceChangeOffersAnomalTermsForTheNewSource() {
    const QString data = CopyData(QStringLiteral("anomal-source"));
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("NaCl.xml")}, false, data + QStringLiteral(".ini")));
    ReferenceData& ref = t.app().reference();
    CTabPage2* page = t.f->experimentPage();
    KomorkaDocument* doc = t.f->activeDocument();
    const std::vector<AtomSite>& atoms = doc->doc().crystal.structureAtoms;  // Na, Cl with terms for Cu K alpha 1
    const double naFprim = atoms[0].fprim;
    const CPropPage1* info = t.f->infoPanel()->sheet()->info();
    CMyPropertyPage2* anomal = t.f->structurePage()->anomalPage();
    BoxAnswers boxes;
    const auto choose = [&](const char* source, QList<QMessageBox::StandardButton> answers) {
      boxes.Arm(answers);
      emit page->sources()->activated(page->sources()->findText(QString::fromUtf8(source)));
    };

    choose("Mo Ka", {QMessageBox::No});
    QVERIFY(atoms[0].fprim == naFprim && !info->anomalNote().isEmpty());
    QCOMPARE(t.f->statusBar()->currentMessage(), info->anomalNote());
    choose("Ag Ka", {QMessageBox::Yes});
    const AnomalTable* ag = ref.AnomalByName("Ag Ka1 (Sasaki)");
    QVERIFY(atoms[0].fprim == ag->fprim[11] && doc->doc().crystal.cellAtoms.back().fbis == ag->fbis[17]);
    QVERIFY(info->anomalNote().isEmpty() && t.f->statusBar()->currentMessage().contains(u"„Ag Ka1 (Sasaki)”"));
    // A line no table has: computed for its energy, and listed.
    ref.sources.push_back(RadiationSource{1.39222, 0.0, 0.0, "Cu Kb", 0});
    page->Bind(doc);
    choose("Cu Kb", {QMessageBox::Yes});
    const AnomalTable computed = ComputeAnomalTable(PhotonEnergyKeV(1.39222));
    QVERIFY(atoms[1].fbis == computed.fbis[17] && anomal->tableList()->findText(QStringLiteral("xraylib 8.906 keV")) > 0);
    choose("Neutrony 1.8 A", {});
    QVERIFY(boxes.texts.size() == 3 && info->anomalNote().isEmpty() && !anomal->sourceButton()->isEnabled());
    choose("Mo Ka", {QMessageBox::No});

    // The anomalous page: the selected atom, then (none selected) all.
    const AnomalTable* mo = ref.AnomalByName("Mo Ka1 (Sasaki)");
    anomal->list()->selectRow(0);
    boxes.Click(anomal->sourceButton(), {QMessageBox::Yes});
    QVERIFY(atoms[0].fbis == mo->fbis[11] && atoms[1].fbis == computed.fbis[17] && !info->anomalNote().isEmpty());
    anomal->list()->clearSelection();
    boxes.Click(anomal->sourceButton(), {QMessageBox::Yes});
    QVERIFY(atoms[1].fbis == mo->fbis[17] && info->anomalNote().isEmpty());

    QCOMPARE(boxes.texts.size(), 6);
    QCOMPARE(boxes.texts[0], QStringLiteral("Zmieniono źródło promieniowania (λ = 0.70930 Å), a czynniki anomalne f′, f″ "
                                            "atomów pozostały dla λ = 1.54056 Å.\nCzy wziąć je dla nowego źródła z "
                                            "tablicy „Mo Ka1 (Sasaki)”?"));
    QVERIFY(boxes.texts[2].contains(u"„xraylib 8.906 keV” (obliczonego programem xraylib)"));
    QVERIFY(boxes.texts[4].contains(u"zaznaczonych") && boxes.texts[5].contains(u"wszystkich"));
    doc->setModified(false);
    QVERIFY(t.f->close());
  }

  void exitAsksAboutUnsavedTables() {
    const QString data = CopyData(QStringLiteral("exit"));
    testing::AppRun t;
    QVERIFY(t.Start({}, false, dir_.path() + QStringLiteral("/exit.ini")));
    ReferenceData& ref = t.app().reference();
    // A folder named in the settings: read and written as it stands.
    ref.dataDir = data.toStdString();
    ref.userDir.clear();
    CMainFrame& frame = *t.f;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    // Nothing edited: no question.
    QVERIFY(frame.close());
    frame.show();

    // A source, an isotope, and a table added in the anomalous editor that
    // the structure page offers at once.
    ref.sources.push_back(RadiationSource{1.5406, 1.5444, 0.5, "Cu Kα (mój)", 0});
    ref.sourcesModified = true;
    testing::ModalWatcher<CAnomalDlg> anomal;
    anomal.Arm([](CAnomalDlg* dlg) {
      ClickAndName(dlg->addButton(), "Nowa");
      dlg->accept();
    });
    frame.action(cmd::kAnomalTables)->trigger();
    QCOMPARE(frame.structurePage()->anomalPage()->tableList()->findText(QStringLiteral("Nowa")), ref.anomalCount());
    QVERIFY(ref.elements.AppendIsotope(26, {61, 1.0}) && ref.anomalsModified);
    ref.referenceModified = true;
    const auto allMarked = [&] { return ref.sourcesModified && ref.anomalsModified && ref.referenceModified; };

    // "Anuluj" keeps the program open; "Nie" closes it saving nothing; a
    // write that fails says why and keeps it open; "Tak" writes every table.
    BoxAnswers boxes;
    boxes.Arm({QMessageBox::Cancel});
    QVERIFY(!frame.close() && allMarked());
    boxes.Arm({QMessageBox::No});
    QVERIFY(frame.close() && allMarked());
    frame.show();
    ref.dataDir = (data + QStringLiteral("/missing")).toStdString();
    boxes.Arm({QMessageBox::Yes, QMessageBox::Ok});
    QVERIFY(!frame.close() && allMarked());
    ref.dataDir = data.toStdString();
    boxes.Arm({QMessageBox::Yes});
    QVERIFY(frame.close() && !ref.HasUnsavedTables());
    QVERIFY(Holds(data, "source.xml", FormatSources(ref.sources)) &&
            Holds(data, "anomals.xml", FormatAnomalTables(ref.anomalTables)) &&
            Holds(data, "izos.xml", FormatIsotopes(ref.elements)));
    const QString ask = QStringLiteral("Zapisać zmiany w tablicach?");
    QCOMPARE(boxes.texts, (QStringList{ask, ask, ask, boxes.texts.value(3), ask}));
    QVERIFY(!boxes.texts.value(3).isEmpty());
  }
};

static testing::TestClass<RefEditorsTest> registered;

#include "test_refeditors.moc"
