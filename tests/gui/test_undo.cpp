// "Edycja" -> "Cofnij" and "Ponów" driven as a user would: cell, group,
// atom and "Znajdź symetrię" steps on the structure page, experiment values
// and the measurement, one history per document, the keys, and the modified
// mark that follows the saved state.
#include <QComboBox>
#include <QFileInfo>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>

#include "app/ui/ChildFrame.h"
#include "editors/ui/ExperimentPage.h"
#include "editors/ui/StructureDialog.h"
#include "measured/ui/MeasuredLayer.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

namespace {

void TypeCell(CTabPage1* page, int field, const char* text) {
  page->cellField(field)->setText(QString::fromLatin1(text));
  page->CommitCell(field);
}

// A new document and the two commands.
struct Frame : testing::AppRun {
  KomorkaDocument* doc = nullptr;
  QAction* undo = nullptr;
  QAction* redo = nullptr;
  bool Start() {
    if (!AppRun::Start({}, false)) return false;
    f->show();
    doc = f->NewDocument();
    undo = f->action(cmd::kUndo);
    redo = f->action(cmd::kRedo);
    return undo && redo;
  }
};

QString UndoText(const char* step) { return QStringLiteral("&Cofnij %1\tCtrl+Z").arg(QString::fromUtf8(step)); }
QString RedoText(const char* step) { return QStringLiteral("&Ponów %1\tCtrl+Y").arg(QString::fromUtf8(step)); }

}  // namespace

class UndoTest : public QObject {
  Q_OBJECT

 private slots:
  // Steps of the structure page back and forth, a new step dropping what was
  // undone, and the modified mark cleared exactly at the saved state.
  void structureStepsAndSavedState() {
    Frame t;
    QVERIFY(t.Start());
    CKomorka& d = t.doc->doc();
    t.f->action(cmd::kStructurePage)->trigger();
    CTabPage1* page = t.f->structurePage();
    QMenu* edit = nullptr;
    for (QAction* m : t.f->menuBar()->actions())
      if (m->text() == QStringLiteral("&Edycja")) edit = m->menu();
    QVERIFY(edit && edit->actions().contains(t.undo) && edit->actions().contains(t.redo));
    QVERIFY(!t.undo->isEnabled() && !t.redo->isEnabled());
    QCOMPARE(t.undo->text(), QStringLiteral("&Cofnij\tCtrl+Z"));

    const double a0 = d.cell.a;
    TypeCell(page, 0, "4.05");
    QVERIFY(d.cell.a == 4.05 && d.cell.c == 4.05 && t.doc->isModified());
    QCOMPARE(t.undo->text(), UndoText("zmianę stałych sieci"));
    t.undo->trigger();
    QVERIFY(d.cell.a == a0 && d.cell.c == a0);
    QVERIFY(page->cellField(0)->value() == a0);
    QVERIFY(!t.doc->isModified() && !t.undo->isEnabled());
    QCOMPARE(t.redo->text(), RedoText("zmianę stałych sieci"));
    t.redo->trigger();
    QVERIFY(d.cell.c == 4.05 && t.doc->isModified());

    QString error;
    QVERIFY(t.doc->Save(t.dir.path() + "/s.xml", &error));
    QVERIFY(!t.doc->isModified());
    page->ChooseSpaceGroup(QStringLiteral("F m -3 m"));
    QVERIFY(!d.crystal.spaceGroup.empty() && t.doc->isModified());
    QCOMPARE(t.undo->text(), UndoText("zmianę grupy przestrzennej"));
    CMyPropertyPage1* atoms = page->atomsPage();
    QVERIFY(testing::Pick(atoms, 11));
    testing::AddAt(atoms, 0, 0, 0);
    QVERIFY(d.crystal.asymmetricUnit.size() == 1 && d.crystal.cellAtoms.size() == 4);
    QCOMPARE(t.undo->text(), UndoText("zmianę atomów"));

    // Back past the saved state and forward again: the page follows.
    t.undo->trigger();
    QVERIFY(d.crystal.cellAtoms.empty() && atoms->list()->model()->rowCount() == 0);
    t.undo->trigger();
    QVERIFY(d.crystal.spaceGroup.empty() && d.crystal.latticeType == kCubic && !t.doc->isModified());
    QVERIFY(page->spaceGroupList()->currentIndex() == 0 && page->latticeList()->isEnabled());
    t.undo->trigger();
    QVERIFY(d.cell.a == a0 && t.doc->isModified());
    for (int i = 0; i < 3; ++i) t.redo->trigger();
    QVERIFY(d.crystal.cellAtoms.size() == 4 && atoms->list()->model()->rowCount() == 1 && t.doc->isModified());
    QVERIFY(!page->latticeList()->isEnabled() && !t.redo->isEnabled());

    // A new step after an undo: nothing left to redo, and the saved state
    // is still two steps back.
    t.undo->trigger();
    TypeCell(page, 0, "5.64");
    QVERIFY(!t.redo->isEnabled() && d.crystal.cellAtoms.empty());
    t.undo->trigger();
    QVERIFY(d.cell.a == 4.05 && !d.crystal.spaceGroup.empty() && t.doc->isModified());
    t.undo->trigger();
    QVERIFY(!t.doc->isModified() && d.crystal.spaceGroup.empty());
  }

  // "Znajdź symetrię" and a lattice change, each one step that puts the
  // atoms typed before back.
  void symmetryAndLatticeSteps() {
    Frame t;
    QVERIFY(t.Start());
    CKomorka& d = t.doc->doc();
    t.f->action(cmd::kStructurePage)->trigger();
    CTabPage1* page = t.f->structurePage();
    CMyPropertyPage1* atoms = page->atomsPage();
    TypeCell(page, 0, "5.64");
    // Rock salt written out in a primitive cubic cell.
    const double na[4][3] = {{0, 0, 0}, {0.5, 0.5, 0}, {0.5, 0, 0.5}, {0, 0.5, 0.5}};
    const double cl[4][3] = {{0.5, 0, 0}, {0, 0.5, 0}, {0, 0, 0.5}, {0.5, 0.5, 0.5}};
    QVERIFY(testing::Pick(atoms, 11));
    for (const auto& p : na) testing::AddAt(atoms, p[0], p[1], p[2]);
    QVERIFY(testing::Pick(atoms, 17));
    for (const auto& p : cl) testing::AddAt(atoms, p[0], p[1], p[2]);
    QCOMPARE(d.crystal.structureAtoms.size(), size_t(8));
    const std::vector<AtomSite> typed = d.crystal.structureAtoms;

    testing::Answer([&] { page->findSymmetryButton()->click(); }, QMessageBox::Yes);
    QVERIFY(d.crystal.spaceGroup.rfind("F m -3 m", 0) == 0 && d.crystal.asymmetricUnit.size() == 2);
    QCOMPARE(t.undo->text(), UndoText("zmianę grupy przestrzennej"));
    t.undo->trigger();
    QVERIFY(d.crystal.spaceGroup.empty() && d.crystal.structureAtoms == typed);
    QVERIFY(atoms->list()->model()->rowCount() == 8 && page->latticeList()->isEnabled());

    // Body-centred: the atoms go after the question; undo brings them and
    // the primitive lattice back, with the page's list.
    testing::Answer([&] { page->ChooseLattice(1); }, QMessageBox::Yes);
    QVERIFY(d.crystal.structureAtoms.empty() && d.crystal.latticeType == (kCubic | kBodyCentred));
    QCOMPARE(t.undo->text(), UndoText("zmianę typu komórki"));
    t.undo->trigger();
    QVERIFY(d.crystal.latticeType == kCubic && d.crystal.structureAtoms == typed);
    QCOMPARE(page->latticeList()->currentIndex(), 0);
    QCOMPARE(atoms->list()->model()->rowCount(), 8);
    // The page then changes the lattice again from the list it shows.
    testing::Answer([&] { page->ChooseLattice(2); }, QMessageBox::Yes);
    QCOMPARE(d.crystal.latticeType, kCubic | kFaceCentred);
  }

  // The experiment page and the measurement: each document its own history,
  // the page showing what a step put back and never writing its old
  // fields into the document.
  void experimentMeasurementAndDocuments() {
    Frame t;
    QVERIFY(t.Start());
    KomorkaDocument* first = t.doc;
    CKomorka& d = first->doc();
    t.f->action(cmd::kExperimentPage)->trigger();
    CTabPage2* page = t.f->experimentPage();
    const double max0 = d.experiment.angleMax;
    page->edit(CTabPage2::kAngleMax)->setText(QStringLiteral("120"));
    emit page->edit(CTabPage2::kAngleMax)->editingFinished();
    QCOMPARE(d.experiment.angleMax, 120.0);
    QCOMPARE(t.undo->text(), UndoText("zmianę parametrów eksperymentu"));
    t.undo->trigger();
    QCOMPARE(d.experiment.angleMax, max0);
    QVERIFY(page->edit(CTabPage2::kAngleMax)->value() == max0);

    // Another document: nothing to undo there, and leaving the first one
    // keeps its value undone.
    KomorkaDocument* second = t.f->NewDocument();
    QTRY_COMPARE(page->document(), second);
    QCOMPARE(d.experiment.angleMax, max0);
    QVERIFY(!t.undo->isEnabled() && !t.redo->isEnabled());
    t.Activate(first);
    QTRY_COMPARE(t.f->activeDocument(), first);
    QCOMPARE(t.redo->text(), RedoText("zmianę parametrów eksperymentu"));

    // The measurement attached and removed, each a step the chart follows.
    const QString path = t.dir.path() + "/m.xy";
    {
      QFile out(path);
      QVERIFY(out.open(QIODevice::WriteOnly));
      for (int i = 0; i <= 200; ++i) out.write(QByteArray::number(20.0 + 0.5 * i) + " " + QByteArray::number(100 + i % 7) + "\n");
    }
    CDownView* view = t.f->activeView();
    QVERIFY(t.f->OpenMeasurement(path));
    QVERIFY(MeasuredLayerOf(*view) && !d.measuredPath.empty());
    QCOMPARE(t.undo->text(), UndoText("dołączenie pomiaru"));
    t.undo->trigger();
    QVERIFY(!MeasuredLayerOf(*view) && d.measuredPath.empty() && !t.f->action(cmd::kCloseMeasured)->isEnabled());
    QVERIFY(!first->isModified());
    t.redo->trigger();
    QVERIFY(MeasuredLayerOf(*view) && t.f->action(cmd::kCloseMeasured)->isEnabled());
    t.f->action(cmd::kCloseMeasured)->trigger();
    QVERIFY(!MeasuredLayerOf(*view) && d.measuredPath.empty());
    QCOMPARE(t.undo->text(), UndoText("usunięcie pomiaru"));
    t.undo->trigger();
    QVERIFY(MeasuredLayerOf(*view) && QFileInfo(QString::fromStdString(d.measuredPath)) == QFileInfo(path));
    QVERIFY(first->isModified());
    QVERIFY(!second->history()->canUndo());
  }

  // Ctrl+Z and Ctrl+Y from the chart and from a cell field of the structure
  // page; typing not yet taken is the field's own to undo.
  void keys() {
    Frame t;
    QVERIFY(t.Start());
    CKomorka& d = t.doc->doc();
    t.f->action(cmd::kStructurePage)->trigger();
    CTabPage1* page = t.f->structurePage();
    const double a0 = d.cell.a;
    TypeCell(page, 0, "4.05");
    t.f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(t.f));
    QTest::keyClick(t.f->activeView(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(d.cell.a, a0);
    QTest::keyClick(t.f->activeView(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(d.cell.a, 4.05);

    page->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(page));
    NumberEdit* field = page->cellField(0);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(d.cell.a, a0);
    QVERIFY(field->value() == a0);
    QTest::keyClick(field, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(d.cell.a, 4.05);
    QTest::keyClicks(field, QStringLiteral("7"));
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(field->value() == 4.05);
    QCOMPARE(d.cell.a, 4.05);
  }
};

static testing::TestClass<UndoTest> registered;

#include "test_undo.moc"
