// The structure page and the periodic table driven as a user would: the
// lattice rules of every type, atoms added, changed and removed with every
// refusal, the lattice-change question, the periodic table's records and
// names, anomalous factors by element, and NaCl built from nothing.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <cstring>
#include <iterator>
#include <QTimer>

#include "app/ui/Application.h"
#include "app/ui/Commands.h"
#include "documents/ui/KomorkaDocument.h"
#include "app/ui/MainFrame.h"
#include "documents/StructureFile.h"
#include "editors/ui/NumberEdit.h"
#include "editors/ui/TabPage1.h"
#include "engine/CalcProgress.h"
#include "engine/NumberFormat.h"
#include "refdata/ui/AtomTable.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

namespace {

void SelectRows(QTableWidget* list, std::initializer_list<int> rows) {
  list->clearSelection();
  for (int r : rows)
    list->selectionModel()->setCurrentIndex(list->model()->index(r, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Presses a button and answers the message box it shows; returns its text
// ("" when none came).
QString Answer(const std::function<void()>& act, QMessageBox::StandardButton button = QMessageBox::Ok,
               QString* caption = nullptr) {
  testing::BoxWatcher box;
  box.Arm(button);
  act();
  QTest::qWait(1);
  if (caption) *caption = box.caption;
  return box.seen ? box.text : QString();
}

// Opens the periodic table from "..." and lets fn choose before OK.
void PickAtom(CMyPropertyPage1* page, const std::function<void(CAtomTable*)>& fn) {
  testing::ModalWatcher<CAtomTable> watcher;
  watcher.Arm([fn](CAtomTable* t) {
    fn(t);
    t->accept();
  });
  page->chooseButton()->click();
  QVERIFY(watcher.seen);
}

void Type(CNumberEdit* e, const QString& text) {
  e->setText(text);
}

struct Frame {
  QTemporaryDir dir;
  ApplicationRun run;
  CTabPage1* page = nullptr;
  KomorkaDocument* doc = nullptr;
  bool Start() {
    if (!StartApplication(run, {}, (dir.path() + "/Pelmora.conf").toStdString())) return false;
    run.frame->show();
    doc = run.frame->NewDocument();
    run.frame->action(cmd::kStructurePage)->trigger();
    page = run.frame->structurePage();
    return page->isVisible() && page->document() == doc;
  }
  ~Frame() {
    for (CChildFrame* f : run.frame->frames()) f->document()->setModified(false);
    FinishApplication(run);
  }
};

}  // namespace

class StructureTest : public QObject {
  Q_OBJECT

 private slots:
  void latticeRulesOverEveryType() {
    Frame f;
    QVERIFY(f.Start());
    CTabPage1* p = f.page;
    CKomorka& d = f.doc->doc();
    QCOMPARE(p->latticeList()->count(), 14);
    struct Row {
      int index;
      LatticeType value;
      const char* enabled;  // a b c alfa beta gamma
      const char* copies;   // which of b, c (or beta, gamma) follow a (alfa) when it is left
    };
    const Row rows[] = {
        {0, 1, "100000", "bc"},  {1, 9, "100000", "bc"},  {2, 17, "100000", "bc"},  {3, 2, "101000", "b"},
        {4, 10, "101000", "b"},  {5, 3, "111000", ""},    {6, 11, "111000", ""},    {7, 35, "111000", ""},
        {8, 19, "111000", ""},   {9, 6, "111010", ""},    {10, 38, "111010", ""},   {11, 7, "111111", ""},
        {12, 4, "100100", "bcBC"}, {13, 5, "101000", "b"},
    };
    // Backwards, so that each entry is a change from the one before.
    for (auto it = std::rbegin(rows); it != std::rend(rows); ++it) {
      const Row& r = *it;
      // A type outside the list and a cell without ties, so that every rule shows.
      d.latticeType = 0;
      d.a = 4, d.b = 5, d.c = 6, d.alfa = 70, d.beta = 80, d.gamma = 100;
      p->Bind(f.doc);
      p->ChooseLattice(r.index);
      QCOMPARE(d.latticeType, r.value);
      QCOMPARE(d.bravaisIndex, r.index);
      QCOMPARE(d.centringText, d.BravaisTable[r.index].centringName);
      for (int i = 0; i < 6; ++i) QCOMPARE(p->cellField(i)->isEnabled(), r.enabled[i] == '1');
      const LatticeType sys = r.value & kSystemMask;
      if (sys <= 3) QVERIFY(d.alfa == 90 && d.beta == 90 && d.gamma == 90);
      if (sys == 5) QVERIFY(d.alfa == 90 && d.beta == 90 && d.gamma == 120);
      if (sys == 6) QVERIFY(d.alfa == 90 && d.beta == 80 && d.gamma == 90);
      if (sys == 7) QVERIFY(d.alfa == 70 && d.beta == 80 && d.gamma == 100);
      if (sys == 4) QVERIFY(d.alfa == 70 && d.beta == 70 && d.gamma == 70);
      // Leaving a (typed with a decimal comma) copies it where the lattice ties it.
      Type(p->cellField(0), QStringLiteral("7,25"));
      QVERIFY(p->CommitCell(0));
      QCOMPARE(d.a, 7.25);
      const bool tiedB = sys == 1 || sys == 2 || sys == 4;  // b = a by the rules, before a is left
      QCOMPARE(d.b, strchr(r.copies, 'b') ? 7.25 : (tiedB ? 4.0 : 5.0));
      QCOMPARE(d.c, strchr(r.copies, 'c') ? 7.25 : 6.0);
      if (p->cellField(3)->isEnabled()) {
        Type(p->cellField(3), QStringLiteral("75"));
        QVERIFY(p->CommitCell(3));
        QCOMPARE(d.alfa, 75.0);
        QCOMPARE(d.beta, strchr(r.copies, 'B') ? 75.0 : 80.0);
        QCOMPARE(d.gamma, strchr(r.copies, 'C') ? 75.0 : 100.0);
      }
    }
    // Text that is no number is refused at the field and changes nothing.
    f.doc->setModified(false);
    Type(p->cellField(0), QStringLiteral("5,6x"));
    QCOMPARE(Answer([&] { QVERIFY(!p->CommitCell(0)); }), QStringLiteral("Enter a number."));
    QCOMPARE(d.a, 7.25);
    QVERIFY(!f.doc->isModified());
  }

  void atomsAddChangeRemoveWithRefusals() {
    Frame f;
    QVERIFY(f.Start());
    f.page->ChooseLattice(2);  // cubic F: four cell atoms per structure atom
    CMyPropertyPage1* p = f.page->atomsPage();
    CKomorka& d = f.doc->doc();
    QSignalSpy changed(&f.run.frame->hub(), &NotificationHub::structureChanged);
    QSignalSpy deleted(&f.run.frame->hub(), &NotificationHub::atomsDeleted);
    f.doc->setModified(false);

    QCOMPARE(Answer([&] { p->addButton()->click(); }), QStringLiteral("Wybierz atom"));
    PickAtom(p, [](CAtomTable* t) { t->SelectElement(11); });
    QCOMPARE(p->nameField()->text(), QStringLiteral("Na"));
    for (int i = 0; i < 3; ++i) Type(p->coordField(i), QStringLiteral("0"));
    p->addButton()->click();
    QCOMPARE(Answer([&] { p->addButton()->click(); }),
             QStringLiteral("Wybrana pozycja została już obsadzona.\n Wybierz inną pozycje atomu"));
    Type(p->coordField(2), QStringLiteral("0,0001"));
    p->addButton()->click();
    // Outside [0, 1): the list keeps what was typed, the cell atoms are reduced.
    Type(p->coordField(0), QStringLiteral("1.25"));
    Type(p->coordField(2), QStringLiteral("-0.25"));
    p->addButton()->click();
    Type(p->coordField(1), QStringLiteral("pół"));
    QCOMPARE(Answer([&] { p->addButton()->click(); }), QStringLiteral("Enter a number."));
    QCOMPARE(d.structureAtoms.size(), size_t(3));
    QCOMPARE(d.cellAtoms.size(), size_t(12));
    QCOMPARE(p->list()->item(2, 1)->text(), QStringLiteral("1.250"));
    QCOMPARE(p->list()->item(1, 3)->text(), QStringLiteral("0.000"));
    QCOMPARE(d.structureAtoms[2].x, 1.25);
    QCOMPARE(d.cellAtoms[8].x, 0.25);
    QCOMPARE(d.cellAtoms[8].z, 0.75);
    QCOMPARE(d.structureAtoms[2].siteIndex, 2);
    QCOMPARE(d.structureAtoms[2].color, 0x00FF00u);
    QVERIFY(f.doc->isModified());
    QCOMPARE(changed.count(), 3);

    // Selecting a row makes it the current atom.
    SelectRows(p->list(), {2});
    QCOMPARE(p->coordField(0)->text(), QStringLiteral("1.25"));
    QVERIFY(p->changeButton()->isEnabled() && p->removeButton()->isEnabled());
    Type(p->coordField(0), QStringLiteral("0.5"));
    p->changeButton()->click();
    QCOMPARE(d.structureAtoms[2].x, 0.5);
    QCOMPARE(p->list()->item(2, 1)->text(), QStringLiteral("0.500"));

    SelectRows(p->list(), {0, 1});
    QString caption;
    QCOMPARE(Answer([&] { p->changeButton()->click(); }, QMessageBox::Ok, &caption),
             QStringLiteral("Należy wybrać tylko jeden atom z listy"));
    QCOMPARE(caption, QStringLiteral("Info"));
    p->list()->clearSelection();
    QCOMPARE(Answer([&] { p->ChangeAtom(); }), QStringLiteral("Wybierz atom z listy"));
    QCOMPARE(Answer([&] { p->RemoveAtoms(); }), QStringLiteral("Nie zaznaczono żadnego atomu!\n"));
    QCOMPARE(d.structureAtoms.size(), size_t(3));

    // A periodic-table choice replaces the selected atoms, keeping their places.
    SelectRows(p->list(), {0, 2});
    testing::BoxWatcher yes;
    yes.Arm(QMessageBox::Yes);
    PickAtom(p, [](CAtomTable* t) { t->SelectElement(17); });
    QVERIFY(yes.seen);
    QCOMPARE(QString::fromStdString(d.structureAtoms[0].name), QStringLiteral("Cl"));
    QCOMPARE(d.structureAtoms[2].x, 0.5);
    QCOMPARE(QString::fromStdString(d.cellAtoms[8].name), QStringLiteral("Cl"));
    QCOMPARE(QString::fromStdString(d.structureAtoms[1].name), QStringLiteral("Na"));

    // Removing both selected rows; the rest keep their order and get new sites.
    SelectRows(p->list(), {0, 1});
    p->removeButton()->click();
    QCOMPARE(d.structureAtoms.size(), size_t(1));
    QCOMPARE(d.structureAtoms[0].siteIndex, 0);
    QCOMPARE(d.structureAtoms[0].x, 0.5);
    QCOMPARE(d.cellAtoms.size(), size_t(4));
    QCOMPARE(p->list()->rowCount(), 1);
    QCOMPARE(deleted.count(), 1);
  }

  void latticeChangeAsksFirst() {
    Frame f;
    QVERIFY(f.Start());
    CKomorka& d = f.doc->doc();
    PickAtom(f.page->atomsPage(), [](CAtomTable* t) { t->SelectElement(26); });
    for (int i = 0; i < 3; ++i) Type(f.page->atomsPage()->coordField(i), QStringLiteral("0"));
    f.page->atomsPage()->addButton()->click();
    QCOMPARE(d.structureAtoms.size(), size_t(1));

    QCOMPARE(Answer([&] { f.page->ChooseLattice(1); }, QMessageBox::No).isEmpty(), false);
    QCOMPARE(f.page->latticeList()->currentIndex(), 0);
    QCOMPARE(d.latticeType, 1u);
    QCOMPARE(d.structureAtoms.size(), size_t(1));

    QString caption;
    Answer([&] { f.page->ChooseLattice(1); }, QMessageBox::Yes, &caption);
    QCOMPARE(caption, QStringLiteral("Pytanie"));
    QCOMPARE(d.latticeType, 9u);
    QVERIFY(d.structureAtoms.empty() && d.cellAtoms.empty());
    QCOMPARE(f.page->atomsPage()->list()->rowCount(), 0);

    // Without a document the page shows nothing and takes nothing.
    f.doc->setModified(false);
    f.run.frame->mdiArea()->closeAllSubWindows();
    QTest::qWait(10);
    QVERIFY(!f.page->document());
    QVERIFY(!f.page->latticeList()->isEnabled());
    QVERIFY(f.page->cellField(0)->text().isEmpty());
    QVERIFY(!f.run.frame->action(cmd::kStructurePage)->isEnabled());
  }

  void atomTableRecordsAndNames() {
    ReferenceData ref;
    ref.dataDir = testing::SourceDir().toStdString() + "/Data";
    ref.LoadScatteringTables();
    // Opened with an atom: its own numbers become the element's user records.
    AtomSite fe;
    fe.name = "Fe-moje";
    fe.nr = 26;
    fe.ionCharge = 3;
    fe.a1 = 1.5, fe.b4 = 2.25, fe.c = -0.5, fe.isotopeMass = 57, fe.s = 2.3, fe.fprim = -1.25, fe.fbis = 3.5;
    {
      CAtomTable t(ref, &fe, true);
      const ElementEntry& e = ref.elements.Entry(26);
      QCOMPARE(e.userIon.charge, 3);
      QCOMPARE(e.userIon.b4, 2.25);
      QCOMPARE(e.userIsotope.mass, 57);
      QCOMPARE(t.ionIndex(), e.ionCount());
      QCOMPARE(t.mainCell()->ionLabel(), QStringLiteral("*"));
      QCOMPARE(t.nameField()->text(), QStringLiteral("Fe-moje"));
      QCOMPARE(t.chargeField()->text(), QStringLiteral("+3"));
      QCOMPARE(t.coefficientField(0)->text(), QStringLiteral("1.500000"));
      // The ions cycle through the user record: forward from it wraps to the first.
      t.StepIon(1);
      QCOMPARE(t.ionIndex(), 0);
      t.StepIon(-1);
      QCOMPARE(t.ionIndex(), e.ionCount());
      // Fe+2 with the default isotope.
      t.SelectElement(26);
      while (e.IonSlot(t.ionIndex())->charge != 2) t.StepIon(1);
      QCOMPARE(t.nameField()->text(), QStringLiteral("Fe+2"));
      QCOMPARE(t.mainCell()->isotopeLabel(), QStringLiteral("def"));
      // A table makes f', f'' read-only; "* użytkownika" brings back the opened values.
      t.anomalList()->setCurrentIndex(1);
      QVERIFY(t.fprimField()->isReadOnly());
      QCOMPARE(t.fprimField()->text(),
               QString::fromStdString(cformat("%f", ref.anomalTables[0].fprim[26])));
      t.anomalList()->setCurrentIndex(0);
      QCOMPARE(t.fprimField()->text(), QStringLiteral("-1.250000"));
      // OK builds the atom from the fields, the user's own edits included.
      t.coefficientField(0)->setText(QStringLiteral("2,5"));
      t.accept();
      QVERIFY(t.chosenAtom());
      QCOMPARE(t.chosenAtom()->a1, 2.5);
      QCOMPARE(t.chosenAtom()->ionCharge, 2);
      QCOMPARE(t.chosenAtom()->nr, 26);
      QCOMPARE(t.chosenAtom()->fprim, -1.25);
      QCOMPARE(t.chosenAtom()->radius, 20);
    }
    {
      CAtomTable t(ref, nullptr, false);
      QCOMPARE(t.element(), 1);
      QCOMPARE(t.anomalList()->currentIndex(), -1);
      // O-2; without an atom the user record stays out of the cycle.
      t.SelectElement(8);
      const ElementEntry& o = ref.elements.Entry(8);
      for (int i = 0; i <= o.ionCount(); ++i) {
        QVERIFY(t.ionIndex() < o.ionCount());
        if (o.IonSlot(t.ionIndex())->charge == -2) break;
        t.StepIon(1);
      }
      QCOMPARE(t.nameField()->text(), QStringLiteral("O-2"));
      // Ni(58): a non-default isotope adds its mass number.
      t.SelectElement(28);
      while (ref.elements.Entry(28).IsotopeSlot(t.isotopeIndex())->mass != 58) t.StepIsotope(1);
      QCOMPARE(t.nameField()->text(), QStringLiteral("Ni(58)"));
      // Element 119 and a superheavy without records: "b/d", no number.
      t.SelectElement(119);
      QCOMPARE(t.mainCell()->ionLabel(), QStringLiteral("b/d"));
      QCOMPARE(t.nameField()->text(), QStringLiteral("X"));
      t.massField()->setText(QStringLiteral("5.5"));
      QCOMPARE(Answer([&] { t.accept(); }), QStringLiteral("Enter an integer."));
      QVERIFY(!t.chosenAtom());
    }
  }

  void anomalousPageAssignsByElement() {
    Frame f;
    QVERIFY(f.Start());
    CKomorka& d = f.doc->doc();
    AtomSite na, x;
    na.name = "Na", na.nr = 11, na.fprim = 9;
    x.name = "?", x.nr = 0, x.fprim = 9, x.x = 0.5;
    d.structureAtoms = {na, x};
    d.ExpandCellAtoms();
    f.doc->NotifyStructureChanged();
    CMyPropertyPage2* p = f.page->anomalPage();
    QCOMPARE(p->list()->rowCount(), 2);
    QCOMPARE(p->list()->item(0, 1)->text(), QStringLiteral("9.000000"));
    QCOMPARE(p->tableList()->itemText(0), QStringLiteral("* użytkownika"));

    QString caption;
    QCOMPARE(Answer([&] { p->ChooseTable(1); }, QMessageBox::Ok, &caption),
             QStringLiteral("Nie zaznaczono żadnego atomu."));
    QCOMPARE(caption, QStringLiteral("Błąd"));
    SelectRows(p->list(), {0, 1});
    // The question answered, then the note about the atom without an element.
    testing::BoxWatcher info;
    QTimer::singleShot(400, [&] { info.Arm(); });
    QCOMPARE(Answer([&] { p->ChooseTable(1); }, QMessageBox::Yes),
             QStringLiteral("Czynniki anomalne zaznaczonych atomów zostaną zastąpione\nnowymi wartościami. "
                            "Czy kontynuować?"));
    QTRY_VERIFY(info.seen);
    QVERIFY(info.text.startsWith(QStringLiteral("Nie wszystkie atomy zostały zidentyfikowane.")));
    const AnomalTable& t = f.run.app->reference().anomalTables[0];
    QCOMPARE(d.structureAtoms[0].fprim, t.fprim[11]);
    QCOMPARE(d.structureAtoms[0].fbis, t.fbis[11]);
    QCOMPARE(d.structureAtoms[1].fprim, 9.0);
    QCOMPARE(d.cellAtoms[0].fprim, t.fprim[11]);

    // The user's values, typed with a comma; "Nie" changes nothing.
    p->fprimField()->setText(QStringLiteral("-0,5"));
    p->fbisField()->setText(QStringLiteral("0.25"));
    Answer([&] { p->changeButton()->click(); }, QMessageBox::No);
    QCOMPARE(d.structureAtoms[1].fprim, 9.0);
    Answer([&] { p->changeButton()->click(); }, QMessageBox::Yes);
    QCOMPARE(d.structureAtoms[1].fprim, -0.5);
    QCOMPARE(d.structureAtoms[1].fbis, 0.25);
    QCOMPARE(p->list()->item(1, 2)->text(), QStringLiteral("0.250000"));
  }

  void naclBuiltThroughTheDialogs() {
    Frame f;
    QVERIFY(f.Start());
    CTabPage1* p = f.page;
    ReferenceData& ref = f.run.app->reference();
    const int sasaki = ref.anomalTables[0].name == "Cu Ka1 (Sasaki)" ? 1 : -1;
    QVERIFY(sasaki > 0);
    p->latticeList()->setCurrentIndex(2);
    p->ChooseLattice(2);
    Type(p->cellField(0), QStringLiteral("5.6402"));
    QVERIFY(p->CommitCell(0));
    const auto pick = [&](int nr, int charge, const char* xyz) {
      PickAtom(p->atomsPage(), [&](CAtomTable* t) {
        QTest::mouseClick(t->tile(nr), Qt::LeftButton);
        while (ref.elements.Entry(nr).IonSlot(t->ionIndex())->charge != charge)
          QTest::mouseClick(t->mainCell()->ionNext(), Qt::LeftButton);
        t->anomalList()->setCurrentIndex(sasaki);
      });
      for (int i = 0; i < 3; ++i) Type(p->atomsPage()->coordField(i), QString::fromLatin1(xyz));
      p->atomsPage()->addButton()->click();
    };
    pick(11, 1, "0");
    pick(17, -1, "0,5");
    QCOMPARE(p->atomsPage()->list()->item(0, 0)->text(), QStringLiteral("Na+1"));
    QCOMPARE(p->atomsPage()->list()->item(1, 0)->text(), QStringLiteral("Cl-1"));
    p->okButton()->click();
    QVERIFY(!p->isVisible());

    // The example with the same ions, calculated directly.
    CKomorka example;
    std::vector<DocMessage> messages;
    QVERIFY(OpenStructureDocument(example, testing::ExampleFile("NaCl.xml").toStdString(), messages));
    for (AtomSite& at : example.structureAtoms) {
      const ElementEntry& e = ref.elements.Entry(at.nr);
      const IonRecord& ion = e.ions[ref.elements.FindIon(at.nr, at.nr == 11 ? 1 : -1)];
      at.a1 = ion.a1, at.a2 = ion.a2, at.a3 = ion.a3, at.a4 = ion.a4;
      at.b1 = ion.b1, at.b2 = ion.b2, at.b3 = ion.b3, at.b4 = ion.b4, at.c = ion.c;
    }
    example.ExpandCellAtoms();
    NullProgress none;
    QCOMPARE(example.CalculateReflections(none), 0);

    CKomorka& d = f.doc->doc();
    static_cast<ExperimentParams&>(d) = static_cast<const ExperimentParams&>(example);
    f.run.frame->action(cmd::kCalculate)->trigger();
    QCOMPARE(d.countAll(), example.countAll());
    for (int i = 0; i < d.countAll(); ++i) {
      const Reflection &r = d.reflectionsAll[i], &e = example.reflectionsAll[i];
      QVERIFY(r.h == e.h && r.k == e.k && r.l == e.l && r.multiplicity == e.multiplicity);
      QCOMPARE(r.theta, e.theta);
      QCOMPARE(r.intensity, e.intensity);
    }

    // Saved and read back, the structure is the one built.
    const QString path = f.dir.path() + "/nacl-built.xml";
    QString error;
    QVERIFY(f.doc->Save(path, &error));
    CKomorka back;
    QVERIFY(OpenStructureDocument(back, path.toStdString(), messages));
    QCOMPARE(back.latticeType, 17u);
    QCOMPARE(back.a, 5.6402);
    QCOMPARE(back.structureAtoms.size(), size_t(2));
    QCOMPARE(QString::fromStdString(back.structureAtoms[1].name), QStringLiteral("Cl-1"));
    QCOMPARE(back.structureAtoms[1].c, d.structureAtoms[1].c);
  }
};

QObject* MakeStructureTest() { return new StructureTest; }

#include "test_structure.moc"
