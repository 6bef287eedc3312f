// The experiment page, the reflection table and the info panel, driven
// through the real windows of a running application.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "settings/Settings.h"
#include "app/ui/Application.h"
#include "app/ui/Commands.h"
#include "documents/ui/KomorkaDocument.h"
#include "app/ui/MainFrame.h"
#include "diffractogram/ui/ChartBar.h"
#include "documents/AtomicFile.h"
#include "editors/ReflectionExport.h"
#include "editors/ui/ExperimentPage.h"
#include "editors/ui/InfoPanel.h"
#include "editors/ui/NumberEdit.h"
#include "editors/ui/ReflectionTable.h"
#include "refdata/ReferenceData.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

namespace {

// Types a text into a field and leaves it, as a user tabbing on would.
void Type(QLineEdit* e, const QString& text) {
  e->setText(text);
  emit e->editingFinished();
}

void Choose(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}

int SourceIndex(const ReferenceData& ref, const char* name) {
  for (std::size_t i = 0; i < ref.sources.size(); ++i)
    if (ref.sources[i].name == name) return static_cast<int>(i);
  return -1;
}

void Activate(CMainFrame& f, KomorkaDocument* doc) {
  for (CChildFrame* c : f.frames())
    if (c->document() == doc) f.mdiArea()->setActiveSubWindow(c);
}

// Ends the run without questions about the open documents.
void Finish(ApplicationRun& run) {
  for (CChildFrame* c : run.frame->frames()) c->document()->setModified(false);
  FinishApplication(run);
}

QString Cell(QTableView* t, int row, int col) { return t->model()->index(row, col).data().toString(); }

}  // namespace

class EditorsTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

  bool Start(ApplicationRun& run, const QStringList& files, const std::string& ini = {}) {
    if (!StartApplication(run, files, ini.empty() ? (dir_.path() + "/Pelmora.conf").toStdString() : ini))
      return false;
    run.frame->show();
    return QTest::qWaitForWindowExposed(run.frame.get());
  }

 private slots:
  void experimentPageShowsAndEditsTheDocument() {
    ApplicationRun run;
    QVERIFY(Start(run, {testing::ExampleFile("NaCl.xml")}));
    CMainFrame& f = *run.frame;
    CTabPage2* page = f.experimentPage();
    ReferenceData& ref = run.app->reference();
    KomorkaDocument* nacl = f.activeDocument();
    CKomorka& d = nacl->doc();

    // Bound: the file's own source heads the list, is selected, and binding
    // changed nothing.
    QCOMPARE(page->sources()->itemText(0), QStringLiteral("@Cu Ka"));
    QCOMPARE(page->sources()->currentIndex(), 0);
    QVERIFY(!nacl->isModified());

    // The formats: a wavelength of 1.54056 and one without a second line.
    ref.sources.push_back(RadiationSource{1.54056, 0.0, 0.0, "Cu test", 0});
    f.action(cmd::kNew)->trigger();  // rebinding refills the lists
    Activate(f, nacl);
    QSignalSpy announced(nacl, &KomorkaDocument::parametersChanged);
    Choose(page->sources(), SourceIndex(ref, "Cu test"));
    const std::pair<CTabPage2::Text, const char*> shown[] = {{CTabPage2::kEnergy1, "8048.150"},
                                                             {CTabPage2::kWaveNumber1, " 4.07851"},
                                                             {CTabPage2::kLambda1, " 1.54056"},
                                                             {CTabPage2::kEnergy2, " -   "},
                                                             {CTabPage2::kWaveNumber2, " -   "}};
    for (const auto& [field, text] : shown) QCOMPARE(page->text(field)->text(), QLatin1String(text));
    QCOMPARE(d.lambda1, 1.54056);
    QVERIFY(nacl->isModified());
    QCOMPARE(announced.count(), 1);

    // Mo K-alpha chosen, the range rules, a decimal comma.
    Choose(page->sources(), SourceIndex(ref, "Mo Ka"));
    QCOMPARE(d.lambda1, 0.7093);
    Type(page->edit(CTabPage2::kAngleMin), QStringLiteral("-5"));
    Type(page->edit(CTabPage2::kAngleMax), QStringLiteral("200"));
    QCOMPARE(page->edit(CTabPage2::kAngleMax)->text(), QStringLiteral("180"));
    QVERIFY(d.angleMin == 0.0 && d.angleMax == 180.0);
    Type(page->edit(CTabPage2::kAngleMin), QStringLiteral("12,5"));
    QCOMPARE(d.angleMin, 12.5);

    // The sample volume follows the beam area and the absorption.
    Type(page->edit(CTabPage2::kAbsorption), QStringLiteral("10"));
    Type(page->edit(CTabPage2::kBeamArea), QStringLiteral("50"));
    QCOMPARE(page->edit(CTabPage2::kSampleVolume)->text(), QStringLiteral("0.025"));

    // Clearing "czynnik temperaturowy" disables B and keeps its value.
    page->dwBox()->click();
    Type(page->edit(CTabPage2::kDwFactor), QStringLiteral("0,75"));
    QCOMPARE(d.IsDW, 1);
    page->dwBox()->click();
    QVERIFY(!page->edit(CTabPage2::kDwFactor)->isEnabled());
    QVERIFY(d.IsDW == 0 && d.dwfactor == 0.75);

    // Values the calculation would refuse are flagged at their field with
    // the calculation's own message; the value is kept.
    QVERIFY(page->refusalText().isEmpty());
    Type(page->edit(CTabPage2::kDifRadius), QStringLiteral("0"));
    QCOMPARE(d.difradius, 0.0);
    QCOMPARE(page->refusalText(), QString::fromStdString(d.ValidateCalculation()));
    QVERIFY(!page->edit(CTabPage2::kDifRadius)->toolTip().isEmpty());
    Type(page->edit(CTabPage2::kDifRadius), QStringLiteral("200"));
    Type(page->edit(CTabPage2::kAngleMax), QStringLiteral("12.5"));
    QVERIFY(page->refusalText().contains(QStringLiteral("zakres")));
    Type(page->edit(CTabPage2::kAngleMax), QStringLiteral("60"));
    Type(page->edit(CTabPage2::kGrainSize), QStringLiteral("0"));
    QVERIFY(page->refusalText().contains(QStringLiteral("ziarna")));
    Type(page->edit(CTabPage2::kGrainSize), QStringLiteral("1000"));
    QVERIFY(page->refusalText().isEmpty());

    // Text that is no number is refused at the field and nothing is read.
    testing::BoxWatcher box;
    box.Arm();
    Type(page->edit(CTabPage2::kDetSlit), QStringLiteral("abc"));
    QTRY_VERIFY(box.seen);
    QCOMPARE(box.text, QStringLiteral("Enter a number."));
    QCOMPARE(d.detslit, 10.0);
    Finish(run);
  }

  void bindingKeepsEachDocumentsOwnChoice() {
    // A neutron file with its own source: its copy of NaCl.
    QFile in(testing::ExampleFile("NaCl.xml")), out(dir_.path() + "/NaCl-n.xml");
    QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
    out.write(in.readAll()
                  .replace("<source name=\"Cu Ka\" type=\"x\">", "<source name=\"D2B\" type=\"n\">")
                  .replace("<lambda2>1.54439000</lambda2>", "<lambda2>0.00000000</lambda2>"));
    out.close();

    ApplicationRun run;
    QVERIFY(Start(run, {out.fileName()}));
    CMainFrame& f = *run.frame;
    CTabPage2* page = f.experimentPage();
    KomorkaDocument* neutron = f.activeDocument();
    QCOMPARE(neutron->doc().radiation, 1);
    QCOMPARE(page->text(CTabPage2::kRadiation)->text(), QStringLiteral("Neutrony"));
    QCOMPARE(page->sources()->currentText(), QStringLiteral("@D2B"));

    // A new document has no source of its own: it keeps the settings' values
    // and never takes the other file's "@" entry.
    KomorkaDocument* fresh = f.NewDocument();
    QCOMPARE(fresh->doc().radiation, 0);
    QCOMPARE(fresh->doc().lambda1, run.app->settings().experiment.lambda1);
    QVERIFY(page->sources()->currentText().startsWith(QLatin1Char('*')));
    QVERIFY(!fresh->isModified());

    // Another file, then a choice in it, survive switching back and forth.
    KomorkaDocument* nacl = f.OpenDocumentFile(testing::ExampleFile("NaCl.xml"));
    QCOMPARE(page->sources()->itemText(0), QStringLiteral("@Cu Ka"));
    QVERIFY(page->sources()->itemText(1) != QStringLiteral("@D2B"));
    Choose(page->sources(), SourceIndex(run.app->reference(), "Mo Ka"));
    Activate(f, neutron);
    Activate(f, nacl);
    QCOMPARE(nacl->doc().lambda1, 0.7093);
    QCOMPARE(page->sources()->currentText(), QStringLiteral("Mo Ka"));
    Activate(f, neutron);
    QCOMPARE(page->sources()->currentText(), QStringLiteral("@D2B"));
    QVERIFY(neutron->doc().radiation == 1 && !neutron->isModified());
    Finish(run);
  }

  void defaultButtonsWriteTheSettings() {
    const std::string ini = (dir_.path() + "/defaults.conf").toStdString();
    ApplicationRun run;
    QVERIFY(Start(run, {testing::ExampleFile("NaCl.xml")}, ini));
    CMainFrame& f = *run.frame;
    CTabPage2* page = f.experimentPage();
    Choose(page->sources(), SourceIndex(run.app->reference(), "Mo Ka"));
    Choose(page->apparatus(), 0);  // the file's own set
    const std::pair<CTabPage2::Edit, const char*> typed[] = {{CTabPage2::kAngleMin, "5"},
                                                             {CTabPage2::kAngleMax, "95,5"},
                                                             {CTabPage2::kMeasureSpeed, "2"},
                                                             {CTabPage2::kDifRadius, "185"},
                                                             {CTabPage2::kGrainSize, "500"}};
    for (const auto& [field, text] : typed) Type(page->edit(field), QLatin1String(text));
    page->dwBox()->click();
    Type(page->edit(CTabPage2::kDwFactor), QStringLiteral("0.5"));

    // Source and instrument reach the store at once.
    page->defaultButton(CTabPage2::kDefaultSource)->click();
    page->defaultButton(CTabPage2::kDefaultApparatus)->click();
    {
      SettingsStore store(ini);
      QCOMPARE(store.GetInt("Settings", "Lambda", 0), 70930);
      QCOMPARE(store.GetInt("Settings", "Lambda2", 0), 71359);
      QCOMPARE(store.GetString("Settings", "RadName", ""), std::string("Mo Ka"));
      QCOMPARE(store.GetString("Settings", "U", ""), std::string("0.010000"));
      QCOMPARE(store.GetString("Settings", "AparatName", ""), std::string("Bragg-Brentano"));
      QCOMPARE(store.GetInt("Settings", "katMin", -1), -1);  // the others wait for the exit
    }
    // The settings' entry of the list now names the new source.
    QVERIFY(page->sources()->findText(QStringLiteral("*Mo Ka")) >= 0);

    for (auto which : {CTabPage2::kDefaultRange, CTabPage2::kDefaultDiffractometer, CTabPage2::kDefaultSample})
      page->defaultButton(which)->click();
    const CSettings& s = run.app->settings();
    QVERIFY(s.experiment.angleMin == 5.0 && s.experiment.angleMax == 95.5 && s.experiment.measurespeed == 2.0);
    QVERIFY(s.experiment.difradius == 185.0 && s.experiment.gsize == 500.0);
    QVERIFY(s.experiment.IsDW == 1 && s.experiment.dwfactor == 0.5);
    // A new document starts from them.
    KomorkaDocument* fresh = f.NewDocument();
    QVERIFY(fresh->doc().lambda1 == 0.7093 && fresh->doc().angleMax == 95.5);
    QCOMPARE(page->sources()->currentText(), QStringLiteral("*Mo Ka"));

    for (CChildFrame* c : f.frames()) c->document()->setModified(false);
    f.close();
    FinishApplication(run);
    SettingsStore store(ini);
    QCOMPARE(store.GetInt("Settings", "katMax", 0), 95500);
    QCOMPARE(store.GetString("Settings", "Difradius", ""), std::string("185"));
    QCOMPARE(store.GetString("Settings", "Thickness", ""), std::string("500"));
  }

  void reflectionTableListsFiltersAndExports() {
    ApplicationRun run;
    QVERIFY(Start(run, {}));
    CMainFrame& f = *run.frame;
    CTabPage4* table = f.reflectionTable();
    QTableView* list = table->list();
    QVERIFY(!table->exportButton()->isEnabled());

    KomorkaDocument* nacl = f.OpenDocumentFile(testing::ExampleFile("NaCl.xml"));
    const CKomorka& d = nacl->doc();
    QVERIFY(table->exportButton()->isEnabled());
    QCOMPARE(list->model()->rowCount(), 0);
    // Before any calculation the export holds the header line alone.
    const QString path = dir_.path() + "/refl.txt";
    std::string bytes;
    QVERIFY(table->ExportTo(path, nullptr) && ReadWholeFile(path.toStdString(), bytes));
    QCOMPARE(bytes, FormatReflectionList(d, ReflectionFilter{}));

    // A profile with widths, so that the peaks get theirs.
    f.chartBar()->profiles()->setCurrentText(QStringLiteral("pseudo Voigt"));
    f.action(cmd::kCalculate)->trigger();
    auto shown = [&d](const ReflectionFilter& filter) {
      int n = 0;
      for (const Reflection& r : d.reflectionsAll) n += ShowsReflection(d, r, filter);
      return n;
    };
    QCOMPARE(list->model()->rowCount(), shown({true, false, false}));
    // NaCl's first line: (1 1 1) of K-alpha 1.
    QCOMPARE(Cell(list, 0, 1) + Cell(list, 0, 2) + Cell(list, 0, 3), QStringLiteral("111"));
    const auto first = std::find_if(d.reflectionsAll.begin(), d.reflectionsAll.end(),
                                    [&d](const Reflection& r) { return ShowsReflection(d, r, {}); });
    QVERIFY(first != d.reflectionsAll.end() && first->fwhm > 0.0);
    QCOMPARE(Cell(list, 0, 4), QString::asprintf("%0.4f", TwoThetaDegrees(*first)));
    QCOMPARE(Cell(list, 0, 10), QString::asprintf("%0.6f", first->fwhm));

    // The check boxes: K-alpha 2 rows join in list order, extinct rows on
    // request, nothing with both lines off; the file matches the core's.
    table->ka2Box()->click();
    QCOMPARE(list->model()->rowCount(), shown({true, true, false}));
    table->extinctBox()->click();
    QCOMPARE(list->model()->rowCount(), shown({true, true, true}));
    QVERIFY(table->ExportTo(path, nullptr) && ReadWholeFile(path.toStdString(), bytes));
    QCOMPARE(bytes, FormatReflectionList(d, ReflectionFilter{true, true, true}));
    table->ka1Box()->click();
    table->ka2Box()->click();
    QCOMPARE(list->model()->rowCount(), 0);
    table->ka1Box()->click();
    table->extinctBox()->click();

    // A new calculation over a narrower range refills the table.
    const int before = list->model()->rowCount();
    Type(f.experimentPage()->edit(CTabPage2::kAngleMax), QStringLiteral("60"));
    f.action(cmd::kCalculate)->trigger();
    QCOMPARE(list->model()->rowCount(), shown({true, false, false}));
    QVERIFY(list->model()->rowCount() < before);

    // A peak without width: a dash in the table.
    for (Reflection& r : nacl->doc().reflectionsAll)
      if (ShowsReflection(d, r, {})) {
        r.fwhm = 0.0;
        break;
      }
    table->Refill();
    QCOMPARE(Cell(list, 0, 10), QStringLiteral("  -  "));

    // Without a document: empty and disabled; the check boxes keep their state.
    nacl->setModified(false);
    f.mdiArea()->closeAllSubWindows();
    QTRY_COMPARE(table->document(), static_cast<KomorkaDocument*>(nullptr));
    QCOMPARE(list->model()->rowCount(), 0);
    QVERIFY(!table->ka1Box()->isEnabled() && table->ka1Box()->isChecked());
    FinishApplication(run);
  }

  void infoPanelSummarisesTheDocument() {
    ApplicationRun run;
    QVERIFY(Start(run, {}));
    CMainFrame& f = *run.frame;
    CProp* sheet = f.infoPanel()->sheet();

    // A face-centred orthorhombic cell of two atoms.
    KomorkaDocument* doc = f.NewDocument();
    CKomorka& d = doc->doc();
    d.latticeType = kOrthorhombic | kFaceCentred;
    for (const char* name : {"Na", "Cl"}) {
      AtomSite a;
      a.name = name;
      a.x = d.structureAtoms.empty() ? 0.0 : 0.5;
      a.a1 = 1.25;
      d.structureAtoms.push_back(a);
    }
    d.ExpandCellAtoms();
    d.radiation = 1;
    d.SetLambda2(0.0);
    doc->NotifyStructureChanged();
    const char* values[] = {"rombowa (F)", "8", "neutrony"};
    for (int i = 0; i < 3; ++i) QCOMPARE(sheet->info()->value(i), QLatin1String(values[i]));
    QCOMPARE(sheet->info()->value(5), QStringLiteral("0.00000"));
    QCOMPARE(sheet->atoms()->list()->rowCount(), 8);
    sheet->atoms()->list()->setCurrentCell(1, 0);
    QCOMPARE(sheet->atoms()->field(0)->text(), QString::fromStdString(d.cellAtoms[1].name));
    QCOMPARE(sheet->atoms()->field(2)->text(), QStringLiteral("1.250000"));

    // The cursor over NaCl's (2 0 0) fills "Kursor" with it.
    KomorkaDocument* nacl = f.OpenDocumentFile(testing::ExampleFile("NaCl.xml"));
    f.action(cmd::kCalculate)->trigger();
    CDownView* view = f.activeView();
    QVERIFY(testing::WaitForChart(view));
    double at = 0.0;
    for (const Reflection& r : nacl->doc().reflectionsAll)
      if (r.h == 2 && r.k == 0 && r.l == 0 && r.line == 1) at = TwoThetaDegrees(r);
    const ChartRect c = view->chartRect();
    int x = c.left;
    for (int px = c.left; px <= c.right; ++px)
      if (std::abs(view->pixelToAngle(px) - at) < std::abs(view->pixelToAngle(x) - at)) x = px;
    view->readCursor(QPoint(x, (c.top + c.bottom) / 2));
    QVERIFY(sheet->cursor()->field(2)->text().contains(QStringLiteral("2 0 0 ; ")));
    view->readCursor(QPoint(c.left - 20, (c.top + c.bottom) / 2));
    QVERIFY(sheet->cursor()->field(2)->text().isEmpty());
    Finish(run);
  }
};

QObject* MakeEditorsTest() { return new EditorsTest; }

#include "test_editors.moc"
