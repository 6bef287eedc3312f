// The reference editors driven through their windows on a private copy of
// the data folder: sources, instrument sets and anomalous tables added,
// changed, removed and refused, ions and isotopes edited in the periodic
// table, the files they write, and the question at exit about tables left
// unsaved.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "app/ui/Application.h"
#include "app/ui/Commands.h"
#include "documents/ui/KomorkaDocument.h"
#include "editors/ui/ExperimentPage.h"
#include "editors/ui/NumberEdit.h"
#include "editors/ui/TabPage1.h"
#include "refdata/ReferenceData.h"
#include "refdata/ReferenceFiles.h"
#include "refdata/ui/AnomalDlg.h"
#include "refdata/ui/AtomTable.h"
#include "refdata/ui/SourceEditors.h"
#include "settings/Settings.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

namespace {

// Answers the message boxes that come, one button each in order, and keeps
// their texts.
struct BoxAnswers {
  QStringList texts;
  QList<QMessageBox::StandardButton> pending;
  void Arm(QList<QMessageBox::StandardButton> buttons, int tries = 250) {
    if (tries == 250) pending = std::move(buttons);
    QTimer::singleShot(20, [this, tries] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box && box->isVisible() && !pending.isEmpty()) {
        texts << box->text();
        QAbstractButton* b = box->button(pending.takeFirst());
        b ? b->click() : box->reject();
      }
      if (!pending.isEmpty() && tries > 0) Arm({}, tries - 1);
    });
  }
  void Click(QAbstractButton* button, QList<QMessageBox::StandardButton> answers) {
    Arm(std::move(answers));
    button->click();
  }
};

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The data folder's file holds exactly the writer's text.
bool Holds(const QString& data, const char* file, const std::string& text) {
  return ReadAll(data + QLatin1Char('/') + QLatin1String(file)) == QByteArray::fromStdString(text);
}

// Fills a source or instrument-set editor: the name, then its number fields.
template <class Dlg>
void Fill(Dlg* dlg, const char* name, std::initializer_list<const char*> numbers) {
  dlg->nameField()->setText(QString::fromUtf8(name));
  int k = 0;
  for (const char* n : numbers) dlg->numberField(k++)->setText(QLatin1String(n));
}

}  // namespace

class RefEditorsTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

  // A fresh copy of the shipped tables, loaded into ref as the application does.
  QString CopyData(const QString& name, ReferenceData* ref = nullptr) {
    const QString data = dir_.path() + QLatin1Char('/') + name;
    QDir().mkpath(data);
    for (const char* f : {kSourceFile, kApparatusFile, kIonFile, kIsotopeFile, kAnomalFile}) {
      QFile::remove(data + QLatin1Char('/') + QLatin1String(f));
      QFile::copy(testing::SourceDir() + QStringLiteral("/Data/") + QLatin1String(f),
                  data + QLatin1Char('/') + QLatin1String(f));
    }
    if (ref) {
      ref->dataDir = data.toStdString();
      CSettings settings;
      ref->LoadAll(settings.CurrentSource(), settings.CurrentApparatus());
    }
    return data;
  }

 private slots:
  void sourceEditorAddsChangesRemovesRefusesAndSaves() {
    ReferenceData ref;
    const QString data = CopyData(QStringLiteral("sources"), &ref);
    const int initial = static_cast<int>(ref.sources.size());
    CLambdaDlg dlg(ref);
    QCOMPARE(dlg.list()->item(1, 1)->text(), QStringLiteral(" 1.54056"));
    // The settings' entry is shown but neither changed nor removed here.
    dlg.list()->selectRow(0);
    QVERIFY(!dlg.changeButton()->isEnabled() && !dlg.removeButton()->isEnabled());

    // A new source, typed with a decimal comma.
    Fill(&dlg, "Cu Kα (mój)", {"1,5406", "1.5444", "0.5"});
    dlg.addButton()->click();
    QCOMPARE(static_cast<int>(ref.sources.size()), initial + 1);
    QVERIFY(ref.sources.back().name == "Cu Kα (mój)" && ref.sources.back().lambda1 == 1.5406);
    QVERIFY(ref.sources.back().radiation == 0 && ref.sourcesModified);

    // Refusals: no number, a ratio above 1, a name with a list marker; each
    // leaves the table as it was.
    BoxAnswers boxes;
    const char* refused[][4] = {{"Cu", "1.5", "abc", "0.5"}, {"Cu", "1.5", "1.5", "1.5"}, {"*Cu", "1.5", "1.5", "0.5"}};
    for (const auto& r : refused) {
      Fill(&dlg, r[0], {r[1], r[2], r[3]});
      boxes.Click(dlg.addButton(), {QMessageBox::Ok});
    }
    QCOMPARE(boxes.texts.size(), 3);
    QCOMPARE(boxes.texts[0], QStringLiteral("Enter a number."));
    QCOMPARE(boxes.texts[1], QStringLiteral("Enter a number between 0 and 1."));
    QCOMPARE(static_cast<int>(ref.sources.size()), initial + 1);

    // Change the new entry to neutrons, remove the second one.
    dlg.list()->clearSelection();
    dlg.list()->selectRow(initial);
    QCOMPARE(dlg.nameField()->text(), QStringLiteral("Cu Kα (mój)"));
    dlg.numberField(2)->setText(QStringLiteral("0.25"));
    dlg.neutronButton()->setChecked(true);
    dlg.changeButton()->click();
    QVERIFY(ref.sources.back().ratio == 0.25 && ref.sources.back().radiation == 1);
    QCOMPARE(dlg.list()->item(initial, 3)->text(), QStringLiteral("0.250"));
    const std::string third = ref.sources[2].name;
    dlg.list()->selectRow(1);
    dlg.removeButton()->click();
    QCOMPARE(static_cast<int>(ref.sources.size()), initial);
    QCOMPARE(ref.sources[1].name, third);

    // Saved: the file is the core writer's text.
    dlg.saveButton()->click();
    QVERIFY(!ref.sourcesModified);
    QVERIFY(Holds(data, "source.xml", FormatSources(ref.sources)));

    // A full table takes no more; a save that cannot be written says why and
    // keeps the table marked.
    while (ref.sources.size() < kMaxSources) ref.sources.push_back(ref.sources.back());
    boxes.texts.clear();
    boxes.Click(dlg.addButton(), {QMessageBox::Ok});
    QCOMPARE(static_cast<int>(ref.sources.size()), kMaxSources);
    ref.dataDir = (data + QStringLiteral("/missing")).toStdString();
    ref.sourcesModified = true;
    boxes.Click(dlg.saveButton(), {QMessageBox::Ok});
    QVERIFY(boxes.texts.size() == 2 && ref.sourcesModified);

    // "OK" refuses a ratio outside 0..1 and keeps the window open.
    dlg.show();
    dlg.numberField(2)->setText(QStringLiteral("-0.1"));
    boxes.Click(dlg.okButton(), {QMessageBox::Ok});
    QVERIFY(dlg.isVisible());
    dlg.numberField(2)->setText(QStringLiteral("1"));
    dlg.okButton()->click();
    QVERIFY(!dlg.isVisible() && dlg.result() == QDialog::Accepted);
  }

  void apparatusEditorAddsChangesRemovesAndSaves() {
    ReferenceData ref;
    const QString data = CopyData(QStringLiteral("sets"), &ref);
    const int initial = static_cast<int>(ref.apparatusSets.size());
    CAparatDlg dlg(ref);
    Fill(&dlg, "Mój dyfraktometr", {"0.004", "-0,002", "0.003", "0", "0.01"});
    dlg.addButton()->click();
    QCOMPARE(static_cast<int>(ref.apparatusSets.size()), initial + 1);
    QCOMPARE(ref.apparatusSets.back().v, -0.002);
    QCOMPARE(dlg.list()->item(initial, 2)->text(), QStringLiteral("-0.00200"));
    // An unreadable W is refused, never stored as 0.
    dlg.list()->selectRow(initial);
    dlg.numberField(2)->setText(QStringLiteral("x"));
    BoxAnswers boxes;
    boxes.Click(dlg.changeButton(), {QMessageBox::Ok});
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("Enter a number.")});
    QCOMPARE(ref.apparatusSets.back().w, 0.003);
    QVERIFY(ref.apparatusModified);
    dlg.saveButton()->click();
    QVERIFY(!ref.apparatusModified);
    QVERIFY(Holds(data, "aparat.xml", FormatApparatusSets(ref.apparatusSets)));
  }

  void anomalEditorAddsRenamesChangesAndSaves() {
    ReferenceData ref;
    const QString data = CopyData(QStringLiteral("anomal"), &ref);
    const int initial = ref.anomalCount();
    const QByteArray original = ReadAll(data + QStringLiteral("/anomals.xml"));
    CAnomalDlg dlg(ref);

    // The prompt refuses an empty name and stays open, then takes one.
    testing::ModalWatcher<CPrompt> prompt;
    QString refusal;
    prompt.Arm([&](CPrompt* p) {
      testing::BoxWatcher box;
      box.Arm();
      p->accept();
      refusal = box.text;
      QVERIFY(p->isVisible());
      p->field()->setText(QStringLiteral("Moja tablica"));
      p->accept();
    });
    dlg.addButton()->click();
    QCOMPARE(refusal, QStringLiteral("Nazwa jest za krótka"));
    QCOMPARE(ref.anomalCount(), initial + 1);
    QCOMPARE(dlg.tables()->currentIndex(), initial);

    // Fe's pair stored into the new table; another table shows its own
    // values and the fields go back to "0.0".
    dlg.list()->selectRow(25);
    dlg.fprimField()->setText(QStringLiteral("-1,179"));
    dlg.fbisField()->setText(QStringLiteral("3.204"));
    dlg.changeButton()->click();
    QVERIFY(ref.anomalTables.back().fprim[26] == -1.179 && ref.anomalTables.back().fbis[26] == 3.204);
    QCOMPARE(dlg.list()->item(25, 3)->text(), QStringLiteral("3.204000"));
    dlg.tables()->setCurrentIndex(0);
    QCOMPARE(dlg.fprimField()->text(), QStringLiteral("0.0"));
    QCOMPARE(dlg.list()->item(25, 2)->text(), QString::asprintf("%f", ref.anomalTables[0].fprim[26]));

    dlg.tables()->setCurrentIndex(initial);
    testing::ModalWatcher<CPrompt> rename;
    rename.Arm([](CPrompt* p) {
      QCOMPARE(p->name(), QStringLiteral("Moja tablica"));
      p->field()->setText(QStringLiteral("Fe: własne"));
      p->accept();
    });
    dlg.renameButton()->click();
    QCOMPARE(ref.anomalTables.back().name, std::string("Fe: własne"));
    QCOMPARE(dlg.tables()->itemText(initial), QStringLiteral("Fe: własne"));

    // "Nie" writes nothing; "Tak" writes the core writer's text.
    BoxAnswers boxes;
    boxes.Click(dlg.saveButton(), {QMessageBox::No});
    QVERIFY(ReadAll(data + QStringLiteral("/anomals.xml")) == original && ref.anomalsModified);
    boxes.Click(dlg.saveButton(), {QMessageBox::Yes});
    QVERIFY(boxes.texts.size() == 2 && !ref.anomalsModified);
    QVERIFY(Holds(data, "anomals.xml", FormatAnomalTables(ref.anomalTables)));
  }

  void atomTableEditsIonsAndIsotopes() {
    ReferenceData ref;
    const QString data = CopyData(QStringLiteral("atoms"), &ref);
    const QByteArray ions = ReadAll(data + QStringLiteral("/ions.xml"));
    const ElementEntry& fe = ref.elements.Entry(26);  // ions 0, +2, +3; isotopes def, 54, 56, 57, 58
    CAtomTable dlg(ref, nullptr, false);
    dlg.SelectElement(26);
    QVERIFY(!dlg.saveButton()->isEnabled());
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
    // A new charge goes in charge order without a question and is shown.
    ion("+4", "1,25");
    QVERIFY(fe.ions[3].charge == 4 && fe.ions[3].a1 == 1.25 && fe.ions[3].c == 0.75);
    QCOMPARE(dlg.nameField()->text(), QStringLiteral("Fe+4"));
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
    QVERIFY(fe.ionCount() == 3 && dlg.mainCell()->ionLabel() == QStringLiteral("+3"));
    dlg.StepIon(-2);  // 0, the default
    boxes.Click(dlg.ionRemoveButton(), {QMessageBox::Yes});
    QVERIFY(fe.ionCount() == 2 && fe.defaultIon == 0 && fe.ions[0].a1 == 9.0);
    QCOMPARE(dlg.mainCell()->ionLabel(), QStringLiteral("+2"));

    // Isotopes: a new mass number in mass order, a known one asks, refusals, removal.
    isotope("60", "2,8");
    QVERIFY(fe.isotopeCount() == 6 && fe.isotopes[5] == (IsotopeRecord{60, 2.8}));
    QCOMPARE(dlg.nameField()->text(), QStringLiteral("Fe+2(60)"));
    isotope("57", "2.5", {QMessageBox::Yes});
    QVERIFY(fe.isotopes[3] == (IsotopeRecord{57, 2.5}));
    isotope("5x", "1", {QMessageBox::Ok});
    isotope("-1", "1", {QMessageBox::Ok});
    dlg.StepIsotope(-2);  // 54
    boxes.Click(dlg.isotopeRemoveButton(), {QMessageBox::Yes});
    QVERIFY(fe.isotopeCount() == 5 && fe.isotopes[1].mass == 56 && fe.defaultIsotope == 0);

    // 49 ions fill an element: a new charge is refused, a known one still changes.
    for (int k = 100; ref.elements.AppendIon(30, {k}); ++k) continue;
    dlg.SelectElement(30);
    ion("7", "1", {QMessageBox::Ok});
    ion("120", "1", {QMessageBox::Yes});
    const ElementEntry& zn = ref.elements.Entry(30);
    QVERIFY(zn.ionCount() == ElementTable::kMaxTabulated &&
            zn.ions[static_cast<size_t>(ref.elements.FindIon(30, 120))].a1 == 1);
    // "X" has no records in the files.
    dlg.SelectElement(119);
    QVERIFY(!dlg.ionAddButton()->isEnabled() && !dlg.isotopeAddButton()->isEnabled());

    // Saving: "Nie" writes nothing; a failed write says why and stays marked;
    // "Tak" writes the core writers' text.
    boxes.Click(dlg.saveButton(), {QMessageBox::No});
    QCOMPARE(ReadAll(data + QStringLiteral("/ions.xml")), ions);
    ref.dataDir = (data + QStringLiteral("/missing")).toStdString();
    boxes.Click(dlg.saveButton(), {QMessageBox::Yes, QMessageBox::Ok});
    QVERIFY(ref.referenceModified && dlg.saveButton()->isEnabled());
    ref.dataDir = data.toStdString();
    boxes.Click(dlg.saveButton(), {QMessageBox::Yes});
    QVERIFY(!ref.referenceModified && !dlg.saveButton()->isEnabled());
    QVERIFY(Holds(data, "ions.xml", FormatIons(ref.elements)));
    QVERIFY(Holds(data, "izos.xml", FormatIsotopes(ref.elements)));
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

    // Opened with an atom the user ion stands selected and cannot be
    // removed; removing neon's only ion leaves "b/d".
    AtomSite ne;
    ne.nr = 10;
    CAtomTable withAtom(ref, &ne, true);
    QVERIFY(!withAtom.ionRemoveButton()->isEnabled());
    withAtom.StepIon(1);
    boxes.Click(withAtom.ionRemoveButton(), {QMessageBox::Yes});
    QVERIFY(ref.elements.Entry(10).ionCount() == 0 && withAtom.mainCell()->ionLabel() == QStringLiteral("b/d"));
    ref.referenceModified = false;
  }

  // A user's own source and instrument set, made from the experiment page
  // and chosen there, are still there after a restart.
  void experimentPageEditsItsListsAndTheyOutliveARestart() {
    const QString data = CopyData(QStringLiteral("page"));
    const std::string ini = (dir_.path() + QStringLiteral("/page.ini")).toStdString();
    {
      ApplicationRun run;
      QVERIFY(StartApplication(run, {testing::ExampleFile("NaCl.xml")}, ini));
      run.app->settings().DataDir = data.toStdString();
      run.app->reference().dataDir = data.toStdString();
      CMainFrame& f = *run.frame;
      f.show();
      CTabPage2* page = f.experimentPage();
      CKomorka& d = f.activeDocument()->doc();
      const int before = page->sources()->currentIndex();
      // Each editor is used as a user would: edit, "Zapisz", "OK".
      auto edit = [](auto* dlg, auto button) {
        (dlg->*button)()->click();
        dlg->saveButton()->click();
        dlg->okButton()->click();
      };

      testing::ModalWatcher<CLambdaDlg> sources;
      sources.Arm([&](CLambdaDlg* dlg) {
        Fill(dlg, "Cu Kα (mój)", {"1.5406", "1.5444", "0.5"});
        edit(dlg, &CLambdaDlg::addButton);
      });
      page->editButton(true)->click();
      QVERIFY(sources.seen);
      // The list is refilled and the choice made before stays applied.
      const int mine = page->sources()->findText(QStringLiteral("Cu Kα (mój)"));
      QVERIFY(mine > 0);
      QCOMPARE(page->sources()->currentIndex(), before);
      page->sources()->setCurrentIndex(mine);
      emit page->sources()->activated(mine);
      QCOMPARE(d.lambda1, 1.5406);

      testing::ModalWatcher<CAparatDlg> sets;
      sets.Arm([&](CAparatDlg* dlg) {
        Fill(dlg, "Mój aparat", {"0.02", "-0.01", "0.005", "0", "0"});
        edit(dlg, &CAparatDlg::addButton);
      });
      page->editButton(false)->click();
      const int set = page->apparatus()->findText(QStringLiteral("Mój aparat"));
      QVERIFY(set > 0);
      emit page->apparatus()->activated(set);
      QCOMPARE(d.u, 0.02);

      // Changing the chosen source in its editor reaches the document.
      testing::ModalWatcher<CLambdaDlg> change;
      change.Arm([&](CLambdaDlg* dlg) {
        dlg->list()->selectRow(mine);
        dlg->numberField(0)->setText(QStringLiteral("1.5405"));
        edit(dlg, &CLambdaDlg::changeButton);
      });
      page->editButton(true)->click();
      QCOMPARE(d.lambda1, 1.5405);
      f.action(cmd::kCalculate)->trigger();
      QVERIFY(d.countAll() > 0);
      f.activeDocument()->setModified(false);
      QVERIFY(f.close());
      QVERIFY(FinishApplication(run));
    }
    ApplicationRun again;
    QVERIFY(StartApplication(again, {}, ini));
    ReferenceData& ref = again.app->reference();
    const auto hasSource = std::any_of(ref.sources.begin(), ref.sources.end(), [](const RadiationSource& s) {
      return s.name == "Cu Kα (mój)" && s.lambda1 == 1.5405 && s.lambda2 == 1.5444;
    });
    const auto hasSet = std::any_of(ref.apparatusSets.begin(), ref.apparatusSets.end(),
                                    [](const ApparatusSet& a) { return a.name == "Mój aparat" && a.v == -0.01; });
    QVERIFY(hasSource && hasSet);
    FinishApplication(again);
  }

  void exitAsksAboutUnsavedTables() {
    const QString data = CopyData(QStringLiteral("exit"));
    const QString sourceFile = data + QStringLiteral("/source.xml");
    const QByteArray original = ReadAll(sourceFile);
    ApplicationRun run;
    QVERIFY(StartApplication(run, {}, (dir_.path() + QStringLiteral("/exit.ini")).toStdString()));
    ReferenceData& ref = run.app->reference();
    ref.dataDir = data.toStdString();
    CMainFrame& frame = *run.frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));

    // Nothing edited: no question.
    QVERIFY(frame.close());
    frame.show();

    ref.sources.push_back(RadiationSource{1.5406, 1.5444, 0.5, "Cu Kα (mój)", 0});
    ref.sourcesModified = true;
    BoxAnswers boxes;
    boxes.Arm({QMessageBox::Cancel});
    QVERIFY(!frame.close() && ref.sourcesModified);
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("Zapisać zmiany w tablicach?")});

    // A write that fails says why and keeps the program open and the table marked.
    ref.dataDir = (data + QStringLiteral("/missing")).toStdString();
    boxes.Arm({QMessageBox::Yes, QMessageBox::Ok});
    QVERIFY(!frame.close());
    QVERIFY(boxes.texts.size() == 3 && ref.sourcesModified && ReadAll(sourceFile) == original);

    ref.dataDir = data.toStdString();
    boxes.Arm({QMessageBox::Yes});
    QVERIFY(frame.close() && !ref.sourcesModified);
    QVERIFY(Holds(data, "source.xml", FormatSources(ref.sources)));

    // "Nie" leaves the file alone.
    frame.show();
    ref.sources.pop_back();
    ref.sourcesModified = true;
    const QByteArray saved = ReadAll(sourceFile);
    boxes.Arm({QMessageBox::No});
    QVERIFY(frame.close());
    QCOMPARE(ReadAll(sourceFile), saved);
    ref.sourcesModified = false;

    // A table added in the anomalous editor is offered on the structure page
    // at once; it and an isotope added in the periodic table are written by
    // "Tak" at exit.
    frame.show();
    testing::ModalWatcher<CAnomalDlg> anomal;
    anomal.Arm([](CAnomalDlg* dlg) {
      testing::ModalWatcher<CPrompt> prompt;
      prompt.Arm([](CPrompt* p) {
        p->field()->setText(QStringLiteral("Nowa"));
        p->accept();
      });
      dlg->addButton()->click();
      dlg->accept();
    });
    frame.action(cmd::kAnomalTables)->trigger();
    QCOMPARE(frame.structurePage()->anomalPage()->tableList()->findText(QStringLiteral("Nowa")), ref.anomalCount());
    {
      CAtomTable atoms(ref, nullptr, false, &frame);
      atoms.SelectElement(26);
      atoms.massField()->setText(QStringLiteral("61"));
      atoms.isotopeAddButton()->click();
    }
    QVERIFY(ref.referenceModified && ref.anomalsModified);
    boxes.Arm({QMessageBox::Yes});
    QVERIFY(frame.close() && !ref.HasUnsavedTables());
    const QByteArray izos = ReadAll(data + QStringLiteral("/izos.xml"));
    QVERIFY(izos == QByteArray::fromStdString(FormatIsotopes(ref.elements)) && izos.contains("mass=\"61\""));
    QVERIFY(Holds(data, "anomals.xml", FormatAnomalTables(ref.anomalTables)));
    FinishApplication(run);
  }
};

QObject* MakeRefEditorsTest() { return new RefEditorsTest; }

#include "test_refeditors.moc"
