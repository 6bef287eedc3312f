// The structure page and the periodic table driven as a user would: the
// lattice rules of every type, atoms added, changed and removed with every
// refusal, the lattice-change question, the periodic table's user records,
// and anomalous factors by element.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QToolButton>
#include <cmath>
#include <cstring>
#include <iterator>
#include <numeric>

#include "editors/ui/InfoAtomsPage.h"
#include "editors/ui/InfoPanel.h"
#include "editors/ui/StructureDialog.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;
using testing::AddAt;
using testing::Answer;
using testing::Pick;

namespace {

void SelectRows(QTableView* list, std::initializer_list<int> rows) {
  list->clearSelection();
  for (int r : rows)
    list->selectionModel()->setCurrentIndex(list->model()->index(r, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

IonRecord IonOf(const AtomSite& at) {
  return {at.ionCharge, at.a1, at.b1, at.a2, at.b2, at.a3, at.b3, at.a4, at.b4, at.c};
}

// A new document on the structure page.
struct Frame : testing::AppRun {
  CTabPage1* page = nullptr;
  KomorkaDocument* doc = nullptr;
  bool Start() {
    if (!AppRun::Start({}, false)) return false;
    f->show();
    doc = f->NewDocument();
    f->action(cmd::kStructurePage)->trigger();
    page = f->structurePage();
    return page->isVisible() && page->document() == doc;
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
    // The angles each system leaves from 70, 80, 100 (by kSystemMask).
    const double angles[8][3] = {{}, {90, 90, 90}, {90, 90, 90}, {90, 90, 90},
                                 {70, 70, 70}, {90, 90, 120}, {90, 80, 90}, {70, 80, 100}};
    // Backwards, so that each entry is a change from the one before.
    for (auto it = std::rbegin(rows); it != std::rend(rows); ++it) {
      const Row& r = *it;
      // A type outside the list and a cell without ties, so that every rule shows.
      d.crystal.latticeType = 0;
      d.cell.a = 4, d.cell.b = 5, d.cell.c = 6, d.cell.alfa = 70, d.cell.beta = 80, d.cell.gamma = 100;
      p->Bind(f.doc);
      p->ChooseLattice(r.index);
      QVERIFY(d.crystal.latticeType == r.value && d.crystal.bravaisIndex == r.index);
      for (int i = 0; i < 6; ++i) QCOMPARE(p->cellField(i)->isEnabled(), r.enabled[i] == '1');
      const LatticeType sys = r.value & kSystemMask;
      QVERIFY(d.cell.alfa == angles[sys][0] && d.cell.beta == angles[sys][1] && d.cell.gamma == angles[sys][2]);
      // Leaving a (typed with a decimal comma) copies it where the lattice ties it.
      p->cellField(0)->setText(QStringLiteral("7,25"));
      QVERIFY(p->CommitCell(0));
      QCOMPARE(d.cell.a, 7.25);
      const bool tiedB = sys == 1 || sys == 2 || sys == 4;  // b = a by the rules, before a is left
      QCOMPARE(d.cell.b, strchr(r.copies, 'b') ? 7.25 : (tiedB ? 4.0 : 5.0));
      QCOMPARE(d.cell.c, strchr(r.copies, 'c') ? 7.25 : 6.0);
      if (p->cellField(3)->isEnabled()) {
        p->cellField(3)->setText(QStringLiteral("75"));
        QVERIFY(p->CommitCell(3));
        QCOMPARE(d.cell.alfa, 75.0);
        QCOMPARE(d.cell.beta, strchr(r.copies, 'B') ? 75.0 : 80.0);
        QCOMPARE(d.cell.gamma, strchr(r.copies, 'C') ? 75.0 : 100.0);
      }
    }
    // OK takes what the field holds: text that is no number is refused
    // there, changes nothing and keeps the page open.
    f.doc->setModified(false);
    p->cellField(0)->setText(QStringLiteral("5,6x"));
    QCOMPARE(Answer([&] { p->okButton()->click(); }), QStringLiteral("Enter a number."));
    QVERIFY(p->isVisible() && d.cell.a == 7.25 && !f.doc->isModified());
    p->cellField(0)->setText(QStringLiteral("5.6402"));
    p->okButton()->click();
    QVERIFY(!p->isVisible() && d.cell.a == 5.6402 && d.cell.c == 5.6402);
  }

  void atomsAddChangeRemoveRefuseAndGoOnlyAfterAsking() {
    Frame f;
    QVERIFY(f.Start());
    f.page->ChooseLattice(2);  // cubic F: four cell atoms per structure atom
    CMyPropertyPage1* p = f.page->atomsPage();
    CKomorka& d = f.doc->doc();
    QSignalSpy changed(&f.f->hub(), &NotificationHub::structureChanged);
    QSignalSpy deleted(&f.f->hub(), &NotificationHub::atomsDeleted);
    f.doc->setModified(false);

    // Refusals add nothing: no atom chosen, a taken place, a non-number.
    QCOMPARE(Answer([&] { AddAt(p, "0", "0", "0"); }), QStringLiteral("Wybierz atom"));
    QVERIFY(Pick(p, 11));
    AddAt(p, "0", "0", "0");
    const ElementEntry& na = f.app().reference().elements.Entry(11);
    QVERIFY(IonOf(d.crystal.structureAtoms[0]) == na.ions[na.defaultIon]);
    // Taken also one cell further on and at a centring image of the atom.
    const char* const taken[][3] = {{"0", "0", "0"}, {"1", "-1", "0"}, {"0.5", "0", "-0.5"}};
    for (const auto& xyz : taken) {
      QCOMPARE(Answer([&] { AddAt(p, xyz[0], xyz[1], xyz[2]); }),
               QStringLiteral("Wybrana pozycja została już obsadzona.\n Wybierz inną pozycje atomu"));
    }
    AddAt(p, "0", "0", "0,0001");
    AddAt(p, "1.25", "0", "-0.25");  // outside [0, 1): kept as typed
    QCOMPARE(Answer([&] { AddAt(p, "0", "pół", "0"); }), QStringLiteral("Enter a number."));
    QCOMPARE(d.crystal.structureAtoms.size(), size_t(3));
    QCOMPARE(d.crystal.cellAtoms.size(), size_t(12));
    QVERIFY(d.crystal.structureAtoms[1].z == 0.0001 && d.crystal.structureAtoms[2].x == 1.25 &&
            d.crystal.structureAtoms[2].z == -0.25);
    QVERIFY(f.doc->isModified());
    QCOMPARE(changed.count(), 3);

    // Selecting a row makes it the current atom; "Zmień" moves it.
    SelectRows(p->list(), {2});
    QCOMPARE(p->coordField(0)->text(), QStringLiteral("1.25"));
    p->coordField(0)->setText(QStringLiteral("0.5"));
    p->changeButton()->click();
    QCOMPARE(d.crystal.structureAtoms[2].x, 0.5);

    SelectRows(p->list(), {0, 1});
    QCOMPARE(Answer([&] { p->ChangeAtom(); }), QStringLiteral("Należy wybrać tylko jeden atom z listy"));
    p->list()->clearSelection();
    QCOMPARE(Answer([&] { p->ChangeAtom(); }), QStringLiteral("Wybierz atom z listy"));
    QCOMPARE(Answer([&] { p->RemoveAtoms(); }), QStringLiteral("Nie zaznaczono żadnego atomu!\n"));
    QVERIFY(d.crystal.structureAtoms.size() == 3 && d.crystal.structureAtoms[0].x == 0.0);

    // A periodic-table choice replaces the selected atoms, keeping their places.
    SelectRows(p->list(), {0, 2});
    testing::BoxWatcher yes;
    yes.Arm(QMessageBox::Yes);
    QVERIFY(Pick(p, 17));
    QVERIFY(yes.seen);
    QVERIFY(d.crystal.structureAtoms[0].name == "Cl" && d.crystal.structureAtoms[1].name == "Na" &&
            d.crystal.cellAtoms[8].name == "Cl");
    QCOMPARE(d.crystal.structureAtoms[2].x, 0.5);

    // Removing both selected rows; the rest keep their order and get new sites.
    SelectRows(p->list(), {0, 1});
    p->removeButton()->click();
    QCOMPARE(d.crystal.structureAtoms.size(), size_t(1));
    QVERIFY(d.crystal.structureAtoms[0].siteIndex == 0 && d.crystal.structureAtoms[0].x == 0.5);
    QVERIFY(d.crystal.cellAtoms.size() == 4 && p->list()->model()->rowCount() == 1);
    QCOMPARE(deleted.count(), 1);

    // A new lattice empties the list, but only after asking.
    const QString question = QStringLiteral("Zmiana typu komórki usunie wszystkie atomy struktury.\nCzy kontynuować?");
    QCOMPARE(Answer([&] { f.page->ChooseLattice(1); }, QMessageBox::No), question);
    QCOMPARE(f.page->latticeList()->currentIndex(), 2);
    QVERIFY(d.crystal.latticeType == 17 && d.crystal.structureAtoms.size() == 1);
    QCOMPARE(Answer([&] { f.page->ChooseLattice(1); }, QMessageBox::Yes), question);
    QCOMPARE(d.crystal.latticeType, 9u);
    QVERIFY(d.crystal.structureAtoms.empty() && d.crystal.cellAtoms.empty() && p->list()->model()->rowCount() == 0);
    QCOMPARE(deleted.count(), 2);

    // Another document made active: the fields keep nothing of this one's atom.
    QVERIFY(Pick(p, 11));
    p->coordField(0)->setText(QStringLiteral("0.3"));
    QVERIFY(!p->nameField()->text().isEmpty());
    KomorkaDocument* other = f.f->NewDocument();
    QTRY_VERIFY(f.page->document() == other);
    QVERIFY(p->nameField()->text().isEmpty() && p->coordField(0)->text().isEmpty());
    QCOMPARE(Answer([&] { AddAt(p, "0.1", "0.1", "0.1"); }), QStringLiteral("Wybierz atom"));
    other->setModified(false);

    // A closed document leaves the page nothing to edit.
    f.doc->setModified(false);
    f.f->mdiArea()->closeAllSubWindows();
    QTest::qWait(10);
    QVERIFY(!f.page->document() && !f.page->latticeList()->isEnabled());
  }

  void atomTableKeepsTheOpenedAtomAndBuildsTheChosenOne() {
    ReferenceData ref;
    ref.dataDir = testing::SourceDir().toStdString() + "/Data";
    ref.LoadScatteringTables();
    AtomSite fe;
    fe.name = "Fe-moje";
    fe.nr = 26;
    fe.ionCharge = 3;
    fe.a1 = 1.5, fe.b4 = 2.25, fe.c = -0.5, fe.isotopeMass = 57, fe.s = 2.3, fe.fprim = -1.25, fe.fbis = 3.5;
    {
      // Opened with an atom: its own numbers become the element's user
      // records, which stand last in the cycle of ions.
      CAtomTable t(ref, &fe, true);
      const ElementEntry& e = ref.elements.Entry(26);
      QVERIFY(e.userIon.charge == 3 && e.userIon.b4 == 2.25 && e.userIsotope.mass == 57);
      QCOMPARE(t.ionIndex(), e.ionCount());
      QCOMPARE(t.nameField()->text(), QStringLiteral("Fe-moje"));
      t.StepIon(1);
      QCOMPARE(t.ionIndex(), 0);
      t.StepIon(-1);
      QCOMPARE(t.ionIndex(), e.ionCount());
      // Fe+2 chosen with the mouse.
      QTest::mouseClick(t.tile(26), Qt::LeftButton);
      while (e.IonSlot(t.ionIndex())->charge != 2) QTest::mouseClick(t.mainCell()->ionNext(), Qt::LeftButton);
      // A table makes f', f'' read-only; "* użytkownika" brings back the opened values.
      t.anomalList()->setCurrentIndex(1);
      QVERIFY(t.fprimField()->isReadOnly());
      t.anomalList()->setCurrentIndex(0);
      QCOMPARE(t.fprimField()->text(), QStringLiteral("-1.250000"));
      t.anomalList()->setCurrentIndex(1);
      // OK builds the atom from the fields, the user's own edit included; a
      // mass number that is no integer is refused first.
      t.coefficientField(0)->setText(QStringLiteral("2,5"));
      t.massField()->setText(QStringLiteral("5.5"));
      QCOMPARE(Answer([&] { t.accept(); }), QStringLiteral("Enter an integer."));
      QVERIFY(!t.chosenAtom());
      t.massField()->setText(QStringLiteral("57"));
      t.accept();
      QVERIFY(t.chosenAtom());
      const AtomSite& at = *t.chosenAtom();
      IonRecord want = e.ions[static_cast<size_t>(ref.elements.FindIon(26, 2))];
      want.a1 = 2.5;
      QVERIFY(IonOf(at) == want);
      QVERIFY(at.nr == 26 && at.isotopeMass == 57 && at.name == "Fe+2");
      QVERIFY(at.fprim == ref.anomalTables[0].fprim[26] && at.fbis == ref.anomalTables[0].fbis[26]);
    }
    // Without an atom the user record stays out of the cycle.
    CAtomTable plain(ref, nullptr, false);
    plain.SelectElement(8);
    for (int i = 0; i <= ref.elements.Entry(8).ionCount(); ++i, plain.StepIon(1))
      QVERIFY(plain.ionIndex() < ref.elements.Entry(8).ionCount());
  }

  void anomalousPageAssignsByElement() {
    Frame f;
    QVERIFY(f.Start());
    CKomorka& d = f.doc->doc();
    AtomSite na, x;
    na.name = "Na", na.nr = 11, na.fprim = 9;
    x.name = "?", x.nr = 0, x.fprim = 9, x.x = 0.5;
    d.crystal.structureAtoms = {na, x};
    d.crystal.ExpandCellAtoms();
    f.doc->NotifyStructureChanged();
    CMyPropertyPage2* p = f.page->anomalPage();
    QCOMPARE(p->list()->model()->rowCount(), 2);

    QCOMPARE(Answer([&] { p->ChooseTable(1); }), QStringLiteral("Nie zaznaczono żadnego atomu."));
    SelectRows(p->list(), {0, 1});
    // The question answered, then the note about the atom without an element.
    testing::BoxWatcher info;
    QTimer::singleShot(400, [&] { info.Arm(); });
    QCOMPARE(Answer([&] { p->ChooseTable(1); }, QMessageBox::Yes),
             QStringLiteral("Czynniki anomalne zaznaczonych atomów zostaną zastąpione\nnowymi wartościami. "
                            "Czy kontynuować?"));
    QTRY_VERIFY(info.seen);
    QVERIFY(info.text.startsWith(QStringLiteral("Nie wszystkie atomy zostały zidentyfikowane.")));
    const AnomalTable& t = f.app().reference().anomalTables[0];
    QVERIFY(d.crystal.structureAtoms[0].fprim == t.fprim[11] && d.crystal.structureAtoms[0].fbis == t.fbis[11]);
    QCOMPARE(d.crystal.structureAtoms[1].fprim, 9.0);
    QCOMPARE(d.crystal.cellAtoms[0].fprim, t.fprim[11]);

    // The user's values, typed with a comma; "Nie" changes nothing.
    p->fprimField()->setText(QStringLiteral("-0,5"));
    p->fbisField()->setText(QStringLiteral("0.25"));
    Answer([&] { p->changeButton()->click(); }, QMessageBox::No);
    QCOMPARE(d.crystal.structureAtoms[1].fprim, 9.0);
    Answer([&] { p->changeButton()->click(); }, QMessageBox::Yes);
    QVERIFY(d.crystal.structureAtoms[1].fprim == -0.5 && d.crystal.structureAtoms[1].fbis == 0.25);
  }

  void spaceGroupSitesWithWyckoffOccupancyAndB() {
    Frame f;
    QVERIFY(f.Start());
    CKomorka& d = f.doc->doc();
    CMyPropertyPage1* p = f.page->atomsPage();
    // A symbol the table lacks is refused; a typed one sets the lattice
    // type, ties the cell and holds the lattice list.
    QVERIFY(Answer([&] { f.page->ChooseSpaceGroup(QStringLiteral("P 4 7")); }).contains("Nieznana grupa"));
    QVERIFY(d.crystal.spaceGroup.empty());
    // Typed, Enter applies it and leaves the dialog open.
    QLineEdit* typed = f.page->spaceGroupList()->lineEdit();
    typed->setText(QStringLiteral("P42/mnm"));
    QTest::keyClick(typed, Qt::Key_Return);
    QCOMPARE(QString::fromStdString(d.crystal.spaceGroup), QStringLiteral("P 42/m n m"));
    QVERIFY(f.page->isVisible());
    QCOMPARE(d.crystal.latticeType, LatticeType(kTetragonal));
    QVERIFY(!f.page->latticeList()->isEnabled());
    QVERIFY(f.page->cellField(2)->isEnabled() && !f.page->cellField(1)->isEnabled());
    f.page->cellField(0)->setText(QStringLiteral("4.5937"));
    f.page->CommitCell(0);
    QCOMPARE(d.cell.b, 4.5937);

    // Two sites give the six atoms of rutile; a special position does not double.
    QVERIFY(Pick(p, 22));
    p->bField()->setText(QStringLiteral("0,5"));
    AddAt(p, "0", "0", "0");
    QVERIFY(Pick(p, 8));
    p->occupancyField()->setText(QStringLiteral("0.9"));
    p->bField()->clear();
    AddAt(p, "0.30476", "0.30476", "0");
    QCOMPARE(d.crystal.asymmetricUnit.size(), size_t(2));
    QCOMPARE(d.crystal.cellAtoms.size(), size_t(6));
    QCOMPARE(d.crystal.asymmetricUnit[0].biso, std::optional<double>(0.5));
    QCOMPARE(d.crystal.asymmetricUnit[1].occupancy, 0.9);
    QVERIFY(!d.crystal.asymmetricUnit[1].biso);
    f.page->cellField(2)->setText(QStringLiteral("2.9587"));
    f.page->CommitCell(2);
    QCOMPARE(p->list()->model()->index(0, 4).data().toString(), QStringLiteral("2a"));
    QCOMPARE(p->list()->model()->index(1, 4).data().toString(), QStringLiteral("4f"));
    QCOMPARE(p->list()->model()->index(0, 7).data().toString(), QStringLiteral("0.00633"));  // Uiso = B / 8 pi^2
    // An occupancy above 1 is refused and changes nothing.
    QVERIFY(Answer([&] {
              p->occupancyField()->setText(QStringLiteral("1.5"));
              AddAt(p, "0.2", "0.1", "0.3");
            }).contains("Obsadzenie"));
    QCOMPARE(d.crystal.asymmetricUnit.size(), size_t(2));

    // A position typed near a special one is offered its fractions; "Nie"
    // keeps it as typed, "Tak" takes them.
    p->occupancyField()->setText(QStringLiteral("1"));
    // Typed and left (Tab, a click elsewhere): applied as any field is.
    typed->setText(QStringLiteral("P 63 m c"));
    emit typed->editingFinished();
    QCOMPARE(QString::fromStdString(d.crystal.spaceGroup), QStringLiteral("P 63 m c"));
    emit typed->editingFinished();  // left again unchanged: nothing asked, nothing done
    QCOMPARE(d.crystal.latticeType, LatticeType(kHexagonal));
    QCOMPARE(d.cell.gamma, 120.0);
    QVERIFY(Pick(p, 30));
    QVERIFY(Answer([&] { AddAt(p, "0.3333", "0.6667", "0.1"); }, QMessageBox::No).contains("1/3"));
    QCOMPARE(d.crystal.asymmetricUnit.back().x, 0.3333);
    SelectRows(p->list(), {static_cast<int>(d.crystal.asymmetricUnit.size()) - 1});
    p->RemoveAtoms();
    Answer([&] { AddAt(p, "0.3333", "0.6667", "0.1"); }, QMessageBox::Yes);
    QCOMPARE(d.crystal.asymmetricUnit.back().x, 1.0 / 3);
    QCOMPARE(d.crystal.asymmetricUnit.back().y, 2.0 / 3);
  }
  void longAtomListShowsEditsAndKeepsItsSelection() {
    Frame f;
    QVERIFY(f.Start());
    CKomorka& d = f.doc->doc();
    CMyPropertyPage1* p = f.page->atomsPage();
    // 30 000 atoms on a 40 x 40 x 40 grid of the cubic P cell.
    const auto place = [](int i) { return std::array<double, 3>{(i % 40) / 40.0, (i / 40 % 40) / 40.0, i / 1600 / 40.0}; };
    for (int i = 0; i < 30000; ++i) {
      AtomSite at;
      at.name = "Si";
      const auto [x, y, z] = place(i);
      at.x = x, at.y = y, at.z = z;
      at.siteIndex = i;
      d.crystal.structureAtoms.push_back(at);
    }
    d.crystal.structureAtoms.back().biso = 1.0;
    QVERIFY(d.crystal.ExpandCellAtoms());
    f.doc->NotifyStructureChanged();
    const QAbstractItemModel* m = p->list()->model();
    const auto row = [m](int r) {
      QStringList cells;
      for (int c = 0; c < m->columnCount(); ++c) cells << m->index(r, c).data().toString();
      return cells;
    };
    QCOMPARE(m->rowCount(), 30000);
    // (39, 29, 18) / 40; Uiso = 1 / (8 pi^2) = 0.0126651...
    QCOMPARE(row(29999), QStringList({"Si", "0.9750", "0.7250", "0.4500", "", "1", "1.000", "0.01267"}));
    QCOMPARE(row(1), QStringList({"Si", "0.0250", "0.0000", "0.0000", "", "1", "wsp.", ""}));
    const QAbstractItemModel* info = f.f->infoPanel()->sheet()->atoms()->list()->model();
    QVERIFY(info->rowCount() == 30000 && info->index(29999, 0).data().toString() == QStringLiteral("30000"));
    QCOMPARE(info->index(29999, 3).data().toString(), QStringLiteral("0.4500"));

    // A block of rows and one more selected stay selected through a change
    // of an atom and through an added one.
    p->list()->selectionModel()->select(QItemSelection(m->index(10, 0), m->index(19999, m->columnCount() - 1)),
                                        QItemSelectionModel::Select);
    p->list()->selectionModel()->setCurrentIndex(m->index(29999, 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QList<int> chosen(19990);
    std::iota(chosen.begin(), chosen.end(), 10);
    chosen << 29999;
    QCOMPARE(SelectedRows(p->list()), chosen);
    d.crystal.structureAtoms[29999].occupancy = 0.5;
    f.doc->NotifyStructureChanged();
    QCOMPARE(row(29999)[5], QStringLiteral("0.5"));
    QCOMPARE(SelectedRows(p->list()), chosen);
    AddAt(p, "0.0125", "0", "0");
    QVERIFY(d.crystal.structureAtoms.size() == 30001 && m->rowCount() == 30001);
    QCOMPARE(row(30000)[1], QStringLiteral("0.0125"));
    QCOMPARE(SelectedRows(p->list()), chosen);
    QCOMPARE(p->list()->currentIndex().row(), 29999);

    // Removing them leaves the rest in order: row 10 is the former 20000th.
    p->removeButton()->click();
    QVERIFY(d.crystal.structureAtoms.size() == 10010 && m->rowCount() == 10010 && SelectedRows(p->list()).isEmpty());
    QCOMPARE(row(10).mid(1, 3), QStringList({"0.0000", "0.5000", "0.3000"}));
    QCOMPARE(info->rowCount(), 10010);
  }

  // The site fields follow the site they show when the symmetry found moves
  // it: "Zmień" then keeps the averaged position, not the one before.
  void fieldsFollowTheFoundSymmetry() {
    Frame f;
    QVERIFY(f.Start());
    KomorkaDocument* rutile = f.run.frame->OpenDocumentFile(testing::ExampleFile("rutile-TiO2.xml"));
    QVERIFY(rutile);
    CKomorka& d = rutile->doc();
    d.SetSpaceGroup("");
    d.crystal.structureAtoms[2].x += 0.003;
    d.crystal.ExpandCellAtoms();
    rutile->NotifyStructureChanged();
    f.run.frame->action(cmd::kStructurePage)->trigger();
    CTabPage1* page = f.run.frame->structurePage();
    QCOMPARE(page->document(), rutile);
    CMyPropertyPage1* p = page->atomsPage();
    SelectRows(p->list(), {1});
    const double before = p->coordField(0)->text().toDouble();
    page->toleranceField()->setNumber(0.1);
    QVERIFY(Answer([&] { page->findSymmetryButton()->click(); }, QMessageBox::Yes).contains("P 42/m n m"));
    const int r = p->list()->currentIndex().row();
    QVERIFY(r >= 0 && r < static_cast<int>(d.crystal.asymmetricUnit.size()));
    const AtomSite& shown = d.crystal.asymmetricUnit[static_cast<size_t>(r)];
    const double xyz[3] = {shown.x, shown.y, shown.z};
    for (int i = 0; i < 3; ++i) QVERIFY(std::fabs(p->coordField(i)->text().toDouble() - xyz[i]) < 1e-9);
    QVERIFY(std::fabs(p->coordField(0)->text().toDouble() - before) > 0.1);
    rutile->setModified(false);
  }
};

static testing::TestClass<StructureTest> registered;

#include "test_structure.moc"
