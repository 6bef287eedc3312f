// The experiment page, the reflection table and the info panel, driven
// through the real windows of a running application.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <cmath>

#include "diffractogram/ui/ChartBar.h"
#include "editors/ui/ExperimentPage.h"
#include "editors/ui/InfoPanel.h"
#include "editors/ui/ReflectionTable.h"
#include "engine/ReflectionExport.h"
#include "io/AtomicFile.h"
#include "refdata/ReferenceData.h"
#include "settings/Settings.h"
#include "tests/gui/GuiTestSupport.h"
#include "widgets/NumberEdit.h"

using namespace pelmora;

namespace {

// Types a text into a field and leaves it, as a user tabbing on would.
void Type(QLineEdit* e, const QString& text) {
  e->setText(text);
  emit e->editingFinished();
}

// Chooses a source by its name, as the user would in the list. The atoms'
// anomalous terms are kept when a new wavelength asks about them.
void ChooseSource(CTabPage2* page, const ReferenceData& ref, const char* name) {
  int index = -1;
  for (std::size_t i = 0; i < ref.sources.size(); ++i)
    if (ref.sources[i].name == name) index = static_cast<int>(i);
  page->sources()->setCurrentIndex(index);
  testing::BoxAnswers no;
  no.Arm({QMessageBox::No});
  emit page->sources()->activated(index);
}

QString Cell(QTableView* t, int row, int col) { return t->model()->index(row, col).data().toString(); }

}  // namespace

class EditorsTest : public QObject {
  Q_OBJECT
 private slots:
  void experimentPageShowsAndEditsTheDocument() {
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("NaCl.xml")}));
    CMainFrame& f = *t.f;
    CTabPage2* page = f.experimentPage();
    ReferenceData& ref = t.app().reference();
    KomorkaDocument* nacl = f.activeDocument();
    CKomorka& d = nacl->doc();
    // Binding shows the file's own source and changes nothing.
    QCOMPARE(page->sources()->currentText(), QStringLiteral("@Cu Ka"));
    QVERIFY(!nacl->isModified());

    // A new document has no source of its own: it keeps the settings' values
    // and never takes the other file's "@" entry.
    ref.sources.push_back(RadiationSource{1.54056, 0.0, 0.0, "Cu test", 0});
    KomorkaDocument* fresh = f.NewDocument();  // rebinding refills the lists
    QVERIFY(page->sources()->currentText().startsWith(QLatin1Char('*')));
    QCOMPARE(fresh->doc().experiment.lambda1, t.app().settings().experiment.lambda1);
    t.Activate(nacl);
    // The figures shown for a source of 1.54056 without a second line.
    QSignalSpy announced(nacl, &KomorkaDocument::parametersChanged);
    ChooseSource(page, ref, "Cu test");
    const std::pair<CTabPage2::Text, const char*> shown[] = {
        {CTabPage2::kEnergy1, "8048.150"}, {CTabPage2::kWaveNumber1, " 4.07851"}, {CTabPage2::kLambda1, " 1.54056"},
        {CTabPage2::kEnergy2, " -   "},    {CTabPage2::kWaveNumber2, " -   "},
    };
    for (const auto& [field, text] : shown) QCOMPARE(page->text(field)->text(), QLatin1String(text));
    QVERIFY(d.experiment.lambda1 == 1.54056 && nacl->isModified());
    QCOMPARE(announced.count(), 1);

    // The range is clamped to [0, 180]; a decimal comma is taken.
    ChooseSource(page, ref, "Mo Ka");
    QCOMPARE(d.experiment.lambda1, 0.7093);
    Type(page->edit(CTabPage2::kAngleMin), QStringLiteral("-5"));
    Type(page->edit(CTabPage2::kAngleMax), QStringLiteral("200"));
    QCOMPARE(page->edit(CTabPage2::kAngleMax)->text(), QStringLiteral("180"));
    QVERIFY(d.experiment.angleMin == 0.0 && d.experiment.angleMax == 180.0);
    Type(page->edit(CTabPage2::kAngleMin), QStringLiteral("12,5"));
    QCOMPARE(d.experiment.angleMin, 12.5);

    // The sample volume follows the beam area and the absorption.
    Type(page->edit(CTabPage2::kAbsorption), QStringLiteral("10"));
    Type(page->edit(CTabPage2::kBeamArea), QStringLiteral("50"));
    QCOMPARE(page->edit(CTabPage2::kSampleVolume)->text(), QStringLiteral("0.025"));

    // Clearing "czynnik temperaturowy" disables B and keeps its value.
    page->dwBox()->click();
    Type(page->edit(CTabPage2::kDwFactor), QStringLiteral("0,75"));
    QCOMPARE(d.experiment.IsDW, 1);
    page->dwBox()->click();
    QVERIFY(!page->edit(CTabPage2::kDwFactor)->isEnabled());
    QVERIFY(d.experiment.IsDW == 0 && d.experiment.dwfactor == 0.75);

    // Text that is no number is refused at the field and nothing is read.
    testing::BoxWatcher box;
    box.Arm();
    Type(page->edit(CTabPage2::kDetSlit), QStringLiteral("abc"));
    QTRY_VERIFY(box.seen);
    QCOMPARE(box.text, QStringLiteral("Enter a number."));
    QCOMPARE(d.experiment.detslit, 10.0);

    // Each document keeps its own choice and values over switching back and
    // forth; the refused text is not read on leaving either.
    t.Activate(fresh);
    QVERIFY(page->sources()->currentText().startsWith(QLatin1Char('*')) && !fresh->isModified());
    t.Activate(nacl);
    QCOMPARE(page->sources()->currentText(), QStringLiteral("Mo Ka"));
    QVERIFY(d.experiment.lambda1 == 0.7093 && d.experiment.angleMin == 12.5 && d.experiment.detslit == 10.0);
  }

  void experimentPageNeutronEnergyAndNoDocument() {
    testing::AppRun t;
    QVERIFY(t.Start());
    CMainFrame& f = *t.f;
    CTabPage2* page = f.experimentPage();
    ReferenceData& ref = t.app().reference();
    // Without a document nothing on the page can act: not even the editors
    // of the lists, which apply their choice to a document, nor OK.
    const auto controls = {static_cast<QWidget*>(page->editButton(true)),
                           static_cast<QWidget*>(page->editButton(false)), static_cast<QWidget*>(page->okButton()),
                           static_cast<QWidget*>(page->edit(CTabPage2::kAbsorption))};
    for (QWidget* w : controls) QVERIFY(!w->isEnabled());
    ref.sources.push_back(RadiationSource{1.594, 0.0, 0.0, "Neutrony 1.594", 1});
    QVERIFY(f.OpenDocumentFile(testing::ExampleFile("NaCl.xml")));
    for (QWidget* w : controls) QVERIFY(w->isEnabled());

    // A neutron's energy is h²/(2 m λ²): 32.196 meV at 1.594 Å, where a
    // photon would have 7778.330 eV.
    ChooseSource(page, ref, "Neutrony 1.594");
    QCOMPARE(page->text(CTabPage2::kRadiation)->text(), QStringLiteral("Neutrony"));
    QCOMPARE(page->text(CTabPage2::kEnergy1)->text(), QStringLiteral("32.196"));
    QCOMPARE(page->energyUnit(0)->text(), QStringLiteral("meV"));
    QCOMPARE(page->text(CTabPage2::kEnergy2)->text(), QStringLiteral(" -   "));
    ChooseSource(page, ref, "Mo Ka");
    QCOMPARE(page->text(CTabPage2::kEnergy1)->text(), QStringLiteral("17480.132"));
    QCOMPARE(page->energyUnit(0)->text(), QStringLiteral("eV"));
    QCOMPARE(page->energyUnit(1)->text(), QStringLiteral("eV"));

    // The document going away takes the page's controls with it.
    f.activeDocument()->setModified(false);
    f.mdiArea()->closeAllSubWindows();
    QTRY_VERIFY(!page->document());
    for (QWidget* w : controls) QVERIFY(!w->isEnabled());
  }

  void experimentPageAndCalculationRefuseValuesBelowZero() {
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("NaCl.xml")}));
    CMainFrame& f = *t.f;
    CTabPage2* page = f.experimentPage();
    KomorkaDocument* nacl = f.activeDocument();
    CKomorka& d = nacl->doc();
    CDownView* view = f.activeView();
    page->show();

    // Each value below zero is flagged at its own field with the message
    // the calculation refuses it with.
    const std::pair<CTabPage2::Edit, const char*> sizes[] = {
        {CTabPage2::kAbsorption, "absorption"}, {CTabPage2::kDetSlit, "detslit"},
        {CTabPage2::kBeamArea, "beamarea"},     {CTabPage2::kMeasureSpeed, "measurespeed"},
        {CTabPage2::kDifRadius, "difradius"},   {CTabPage2::kGrainSize, "gsize"},
    };
    for (const auto& [field, name] : sizes) {
      const QString kept = page->edit(field)->text();
      Type(page->edit(field), QStringLiteral("-1"));
      QVERIFY2(page->refusalText().contains(QLatin1String(name)), name);
      QCOMPARE(page->edit(field)->toolTip(), page->refusalText());
      Type(page->edit(field), kept);
      QVERIFY2(page->refusalText().isEmpty(), name);
    }
    // B only while the temperature factor is on.
    page->dwBox()->click();
    Type(page->edit(CTabPage2::kDwFactor), QStringLiteral("-0.5"));
    QVERIFY(page->refusalText().contains(QStringLiteral("B = -0.5")));
    page->dwBox()->click();
    QVERIFY(page->refusalText().isEmpty());

    // OK does not take a refused value: the page stays with the message and
    // the field, and the calculation refuses it too.
    Type(page->edit(CTabPage2::kAbsorption), QStringLiteral("-3"));
    QCOMPARE(d.experiment.absorption, -3.0);
    const QString why = page->refusalText();
    testing::BoxWatcher box;
    box.Arm();
    page->okButton()->click();
    QTRY_VERIFY(box.seen);
    QCOMPARE(box.caption, QStringLiteral("Błąd"));
    QCOMPARE(box.text, why);
    QVERIFY(page->isVisible());
    QCOMPARE(page->focusWidget(), page->edit(CTabPage2::kAbsorption));
    testing::BoxWatcher calc;
    calc.Arm();
    f.action(cmd::kCalculate)->trigger();
    QTRY_VERIFY(calc.seen);
    QCOMPARE(calc.text, QString::fromStdString(d.ValidateCalculation()));
    QVERIFY(!view->patternPresent());
    Type(page->edit(CTabPage2::kAbsorption), QStringLiteral("10"));
    page->okButton()->click();
    QVERIFY(!page->isVisible());

    // A range whose min is not below its max leaves the chart at its last
    // window, and the status bar says why, until the range is mended.
    page->show();
    Type(page->edit(CTabPage2::kAngleMin), QStringLiteral("30"));
    QVERIFY(view->zoom().x0 == 30.0 && view->zoom().x1 == 150.0);
    Type(page->edit(CTabPage2::kAngleMax), QStringLiteral("-5"));
    QCOMPARE(d.experiment.angleMax, -5.0);
    QVERIFY(view->zoom().x0 == 30.0 && view->zoom().x1 == 150.0);
    QVERIFY(!view->rangeText().isEmpty());
    QCOMPARE(f.statusBar()->currentMessage(), view->rangeText());
    view->repaint();
    QVERIFY(view->zoom().angleStep > 0.0);  // the axis as drawn runs upwards
    Type(page->edit(CTabPage2::kAngleMax), QStringLiteral("60"));
    QVERIFY(view->zoom().x0 == 30.0 && view->zoom().x1 == 60.0 && view->rangeText().isEmpty());
  }

  void aFileWithAReversedRangeOpensOnTheFullAxis() {
    testing::AppRun t;
    QByteArray xml = testing::ReadAll(testing::ExampleFile("NaCl.xml"));
    xml.replace("<max>150.00</max>", "<max>5.00</max>");
    const QString path = t.dir.path() + QStringLiteral("/reversed.xml");
    QVERIFY(testing::WriteAll(path, xml));
    QVERIFY(t.Start({path}, false));
    CDownView* view = t.f->activeView();
    QVERIFY(view && view->document()->doc().experiment.angleMax == 5.0);
    QVERIFY(view->zoom().x0 == 0.0 && view->zoom().x1 == 180.0);
    QVERIFY(view->rangeText().contains(QStringLiteral("min = 10, max = 5 st.")));
  }

  void defaultButtonsWriteTheSettings() {
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("NaCl.xml")}));
    CMainFrame& f = *t.f;
    CTabPage2* page = f.experimentPage();
    ChooseSource(page, t.app().reference(), "Mo Ka");
    page->apparatus()->setCurrentIndex(0);  // the file's own set
    emit page->apparatus()->activated(0);
    const std::pair<CTabPage2::Edit, const char*> typed[] = {
        {CTabPage2::kAngleMin, "5"},    {CTabPage2::kAngleMax, "95,5"}, {CTabPage2::kMeasureSpeed, "2"},
        {CTabPage2::kDifRadius, "185"}, {CTabPage2::kGrainSize, "500"},
    };
    for (const auto& [field, text] : typed) Type(page->edit(field), QLatin1String(text));
    page->dwBox()->click();
    Type(page->edit(CTabPage2::kDwFactor), QStringLiteral("0.5"));

    // Source and instrument reach the store at once, the others at the exit.
    page->defaultButton(CTabPage2::kDefaultSource)->click();
    page->defaultButton(CTabPage2::kDefaultApparatus)->click();
    {
      SettingsStore store((t.dir.path() + "/Pelmora.conf").toStdString());
      QCOMPARE(store.GetInt("Settings", "Lambda", 0), 70930);
      QCOMPARE(store.GetInt("Settings", "Lambda2", 0), 71359);
      QCOMPARE(store.GetString("Settings", "RadName", ""), std::string("Mo Ka"));
      QCOMPARE(store.GetString("Settings", "U", ""), std::string("0.010000"));
      QCOMPARE(store.GetString("Settings", "AparatName", ""), std::string("Bragg-Brentano"));
      QCOMPARE(store.GetInt("Settings", "katMin", -1), -1);
    }
    for (auto which : {CTabPage2::kDefaultRange, CTabPage2::kDefaultDiffractometer, CTabPage2::kDefaultSample})
      page->defaultButton(which)->click();
    const ExperimentValues& e = t.app().settings().experiment;
    QVERIFY(e.angleMin == 5.0 && e.angleMax == 95.5 && e.measurespeed == 2.0);
    QVERIFY(e.difradius == 185.0 && e.gsize == 500.0 && e.IsDW == 1 && e.dwfactor == 0.5);
    // A new document starts from them, under the settings' entry of the list.
    KomorkaDocument* fresh = f.NewDocument();
    QVERIFY(fresh->doc().experiment.lambda1 == 0.7093 && fresh->doc().experiment.angleMax == 95.5);
    QCOMPARE(page->sources()->currentText(), QStringLiteral("*Mo Ka"));
  }

  void reflectionTableAndInfoPanelFollowTheCalculation() {
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("NaCl.xml")}));
    CMainFrame& f = *t.f;
    CTabPage4* table = f.reflectionTable();
    QTableView* list = table->list();
    KomorkaDocument* nacl = f.activeDocument();
    const CKomorka& d = nacl->doc();
    // A profile with widths, so that the peaks get theirs.
    f.chartBar()->profiles()->setCurrentText(QStringLiteral("pseudo Voigt"));
    f.action(cmd::kCalculate)->trigger();
    auto shown = [&d](const ReflectionFilter& filter) {
      int n = 0;
      for (const Reflection& r : d.results.reflectionsAll) n += ShowsReflection(d.experiment, r, filter);
      return n;
    };
    // NaCl's first line: (1 1 1) of K-alpha 1, with its angle and width.
    QCOMPARE(list->model()->rowCount(), shown({true, false, false}));
    QCOMPARE(Cell(list, 0, 1) + Cell(list, 0, 2) + Cell(list, 0, 3), QStringLiteral("111"));
    const auto first = std::find_if(d.results.reflectionsAll.begin(), d.results.reflectionsAll.end(),
                                    [&d](const Reflection& r) { return ShowsReflection(d.experiment, r, {}); });
    QVERIFY(first != d.results.reflectionsAll.end() && first->fwhm > 0.0);
    QCOMPARE(Cell(list, 0, 4), QString::asprintf("%0.4f", TwoThetaDegrees(*first)));
    QCOMPARE(Cell(list, 0, 10), QString::asprintf("%0.6f", first->fwhm));

    // Each check box joins or leaves its rows (none with both lines off);
    // the file holds what is shown.
    const struct {
      QCheckBox* box;
      ReflectionFilter now;
    } clicks[] = {{table->ka2Box(), {true, true, false}},
                  {table->extinctBox(), {true, true, true}},
                  {table->ka1Box(), {false, true, true}},
                  {table->ka2Box(), {false, false, true}}};
    const QString path = t.dir.path() + "/refl.txt";
    for (const auto& c : clicks) {
      c.box->click();
      QCOMPARE(list->model()->rowCount(), shown(c.now));
      std::string bytes;
      QVERIFY(table->ExportTo(path, nullptr) && ReadWholeFile(path.toStdString(), bytes));
      QCOMPARE(bytes, FormatReflectionList(d, c.now));
    }
    table->ka1Box()->click();
    table->extinctBox()->click();

    // The info panel: the file's summary and the atoms of the cell, not of
    // the structure.
    CProp* sheet = f.infoPanel()->sheet();
    const char* values[] = {"regularna (F)", "8", "X"};
    for (int i = 0; i < 3; ++i) QCOMPARE(sheet->info()->value(i), QLatin1String(values[i]));
    // Rock salt's summary: no group, four NaCl in the cell; the density
    // 2.1635 g/cm3 from Na 22.98977 and Cl 35.453 g/mol over a^3
    // (a = 5.6402 Å), to the last figure shown.
    const char* summary[] = {"brak", "4", "NaCl", nullptr, "179.425"};
    for (int i = 0; i < CPropPage1::kSummaryCount; ++i)
      if (summary[i]) QCOMPARE(sheet->info()->summary(static_cast<CPropPage1::Summary>(i)), QLatin1String(summary[i]));
    QVERIFY(std::abs(sheet->info()->summary(CPropPage1::kDensity).toDouble() - 2.1635) <= 1.5e-3);
    QCOMPARE(sheet->atoms()->list()->model()->rowCount(), 8);
    sheet->atoms()->list()->setCurrentIndex(sheet->atoms()->list()->model()->index(5, 0));
    QCOMPARE(sheet->atoms()->field(0)->text(), QString::fromStdString(d.crystal.cellAtoms[5].name));

    // A new calculation over a narrower range refills the table.
    const int before = list->model()->rowCount();
    Type(f.experimentPage()->edit(CTabPage2::kAngleMax), QStringLiteral("60"));
    f.action(cmd::kCalculate)->trigger();
    QCOMPARE(list->model()->rowCount(), shown({true, false, false}));
    QVERIFY(list->model()->rowCount() < before);

    // Without a document: empty and disabled; the check boxes keep their state.
    nacl->setModified(false);
    f.mdiArea()->closeAllSubWindows();
    QTRY_COMPARE(table->document(), static_cast<KomorkaDocument*>(nullptr));
    QCOMPARE(list->model()->rowCount(), 0);
    QVERIFY(!table->ka1Box()->isEnabled() && table->ka1Box()->isChecked());
    QCOMPARE(sheet->info()->value(0), QStringLiteral("nieznany"));
    QCOMPARE(sheet->info()->summary(CPropPage1::kFormula), QString());
  }
};

static testing::TestClass<EditorsTest> registered;

#include "test_editors.moc"
