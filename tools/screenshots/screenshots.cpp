// Drives the real windows through the main states and writes a PNG of each
// into the folder given as the first argument: the named screenshots of
// scripts/screenshots.sh and the pictures of the manual.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

#include "app/ui/Application.h"
#include "app/ui/Commands.h"
#include "app/ui/HelpWindow.h"
#include "app/ui/MainFrame.h"
#include "diffractogram/PatternGrid.h"
#include "documents/ui/CifBlocksDialog.h"
#include "documents/ui/KomorkaDocument.h"
#include "diffractogram/ui/ChartBar.h"
#include "diffractogram/ui/ChartView.h"
#include "diffractogram/chart/ChartPainter.h"
#include "diffractogram/PatternExport.h"
#include "diffractogram/ui/PatternSaveDialog.h"
#include "plugins/ui/SettingsButton.h"
#include "editors/ui/StructureDialog.h"
#include "refdata/ui/PeriodicTableDialog.h"
#include "editors/ui/ExperimentPage.h"
#include "editors/ui/InfoPanel.h"
#include "widgets/NumberEdit.h"
#include "editors/ui/ReflectionTable.h"
#include <QCheckBox>
#include "io/Translate.h"
#include "settings/Language.h"
#include "settings/Paths.h"
#include "refdata/ReferenceData.h"
#include "refdata/ui/AnomalTablesDialog.h"
#include "refdata/ui/SourcesDialog.h"
#include "refdata/ui/InstrumentsDialog.h"
#include <QTableWidget>
#include "viewer3d/ui/ImageSaveDialog.h"
#include "viewer3d/ui/MonitorPanel.h"
#include "bench/LargeCase.h"
#include "viewer3d/ui/CellView.h"
#include "measured/ui/RefinementDialog.h"
#include "measured/ui/MeasuredLayer.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

namespace {

bool Save(QWidget* w, const QString& dir, const char* name) {
  QCoreApplication::processEvents();
  const QString path = dir + QLatin1Char('/') + QLatin1String(name);
  const bool ok = w->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  return ok;
}

// The program's windows one after another, each written as a picture.
struct Shots {
  CMainFrame& frame;
  ApplicationRun& run;
  QString out;
  QString settingsDir;  // the run's private settings folder
  bool ok = true;
  CDownView* view = nullptr;  // NaCl's chart

  // The structure page shown on doc.
  CTabPage1* ShowStructurePage(KomorkaDocument* doc) {
    frame.action(cmd::kStructurePage)->trigger();
    CTabPage1* page = frame.structurePage();
    (void)QTest::qWaitForWindowExposed(page);
    page->OnStructureChanged(doc);
    return page;
  }

  void ChartAndDialogs();
  void Editors();
  void SticksAndLabel();
  void Viewer();
  void PrintPreview();
  void ReferenceEditors();
  void SourceChange();
  void ObservedOverlay();
  void ChartDAxis();
  void MixtureFit();
  void SpaceGroup();
  void Manual();
  void UndoMenu();
  void SymmetryFound();
  void CifBlocks();
};

void Shots::ChartAndDialogs() {
  // Peaks with their widths rather than sticks.
  frame.chartBar()->profiles()->setCurrentText(QStringLiteral("pseudo Voigt"));
  QElapsedTimer timer;
  timer.start();
  frame.OpenDocumentFile(testing::ExampleFile("NaCl.xml"));
  const qint64 opened = timer.elapsed();
  frame.action(cmd::kCalculate)->trigger();
  const qint64 calculated = timer.elapsed();
  view = frame.activeView();
  ok = view && testing::WaitForChart(view) && ok;
  const qint64 shown = timer.elapsed();
  std::printf("open NaCl %lld ms, calculated %lld ms, chart shown %lld ms\n", static_cast<long long>(opened),
              static_cast<long long>(calculated), static_cast<long long>(shown));
  frame.action(cmd::kDescriptions)->trigger();
  testing::WaitForChart(view);
  ok = Save(&frame, out, "2-nacl-descriptions.png") && ok;

  frame.action(cmd::kZoomIn)->trigger();
  frame.action(cmd::kZoomIn)->trigger();
  frame.action(cmd::kShiftLowerRange)->trigger();
  testing::WaitForChart(view);
  // The cursor over the chart's middle, as a user reading a peak would.
  const QRect plot(view->chartRect().left, view->chartRect().top, view->chartRect().width(),
                   view->chartRect().height());
  view->readCursor(plot.center());
  QCoreApplication::processEvents();
  ok = Save(&frame, out, "3-zoomed.png") && ok;

  // The export dialog with the XY format chosen, and that plug-in's own
  // settings behind its "Ustawienia" (kept in a private folder here).
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir);
  bool pluginSettingsShown = false;
  QTimer::singleShot(300, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<CPatternSaveDialog*>(w)) {
        (void)QTest::qWaitForWindowExposed(d);
        const int xy = FindChartFormat(run.app->chartFormats(), "xy");
        if (xy > 0) d->selectNameFilter(d->nameFilters()[xy]);
        Save(d, out, "4-export-dialog.png");
        QTimer::singleShot(300, [&] {
          QWidget* s = QApplication::activeModalWidget();
          if (s && s->objectName() == QLatin1String("xySettings")) {
            pluginSettingsShown = Save(s, out, "plugin-settings.png");
            QMetaObject::invokeMethod(s, "reject", Qt::QueuedConnection);
          }
        });
        d->settingsButton()->click();
        d->reject();
      }
  });
  frame.action(cmd::kExportText)->trigger();
  ok = pluginSettingsShown && ok;

  // The settings and plug-ins dialogs, as they open from the menu.
  QTimer::singleShot(300, [&] {
    if (QWidget* d = QApplication::activeModalWidget()) {
      Save(d, out, "5-settings-dialog.png");
      QMetaObject::invokeMethod(d, "reject", Qt::QueuedConnection);
    }
  });
  frame.action(cmd::kSettings)->trigger();
  QTimer::singleShot(300, [&] {
    if (QWidget* d = QApplication::activeModalWidget()) {
      Save(d, out, "6-plugins-dialog.png");
      QMetaObject::invokeMethod(d, "reject", Qt::QueuedConnection);
    }
  });
  frame.action(cmd::kPlugins)->trigger();

  // The pseudo-Voigt figures of the NaCl peaks, from the chart bar's "Info".
  QTimer::singleShot(300, [&] {
    if (QWidget* d = QApplication::activeModalWidget()) {
      ok = Save(d, out, "7-pseudo-voigt-info.png") && ok;
      QMetaObject::invokeMethod(d, "reject", Qt::QueuedConnection);
    }
  });
  frame.chartBar()->infoButton()->trigger();
}

void Shots::Editors() {
  // The structure page on NaCl: its atoms, its anomalous factors, and the
  // periodic table opened from "..." on the chlorine row, stepped to Cl-1.
  frame.action(cmd::kStructurePage)->trigger();
  CTabPage1* page = frame.structurePage();
  (void)QTest::qWaitForWindowExposed(page);
  page->sheet()->setCurrentIndex(0);
  ok = Save(page, out, "structure-page.png") && ok;
  page->sheet()->setCurrentIndex(1);
  ok = Save(page, out, "structure-anomalous.png") && ok;
  page->sheet()->setCurrentIndex(0);
  page->atomsPage()->list()->selectRow(1);
  QTimer::singleShot(300, [&] {
    if (auto* t = qobject_cast<CAtomTable*>(QApplication::activeModalWidget())) {
      const ElementEntry& cl = run.app->reference().elements.Entry(17);
      for (int i = 0; i <= cl.ionCount() && !t->nameField()->text().startsWith(QStringLiteral("Cl-1")); ++i)
        t->StepIon(1);
      ok = Save(t, out, "atom-table.png") && ok;
      QMetaObject::invokeMethod(t, "reject", Qt::QueuedConnection);
    }
  });
  page->atomsPage()->chooseButton()->click();
  page->hide();
  // The experiment page, the reflection table with both lines, and the info
  // panel's "Kursor" page with the cursor on NaCl's strongest peak.
  frame.action(cmd::kExperimentPage)->trigger();
  ok = Save(frame.experimentPage(), out, "experiment-page.png") && ok;
  frame.experimentPage()->hide();
  frame.reflectionTable()->ka2Box()->setChecked(true);
  frame.action(cmd::kReflectionTable)->trigger();
  ok = Save(frame.reflectionTable(), out, "reflection-table.png") && ok;
  frame.reflectionTable()->hide();
  frame.action(cmd::kZoomReset)->trigger();
  testing::WaitForChart(view);
  double peak = 0.0, strongest = -1.0;
  for (const Reflection& r : view->document()->doc().results.reflectionsAll)
    if (r.line == 1 && r.intensity > strongest) {
      strongest = r.intensity;
      peak = TwoThetaDegrees(r);
    }
  const ChartRect chart = view->chartRect();
  int x = chart.left;
  for (int px = chart.left; px <= chart.right; ++px)
    if (std::abs(view->pixelToAngle(px) - peak) < std::abs(view->pixelToAngle(x) - peak)) x = px;
  frame.action(cmd::kViewInfo)->trigger();
  frame.infoPanel()->sheet()->setCurrentIndex(2);
  view->readCursor(QPoint(x, (chart.top + chart.bottom) / 2));
  ok = Save(frame.infoPanel(), out, "info-panel.png") && ok;
  frame.infoPanel()->hide();
}

void Shots::SpaceGroup() {
  // Rutile by its group: P 42/m n m with its two sites, each with its
  // Wyckoff position, occupancy and B (the displacements of the CIF's U).
  frame.OpenDocumentFile(testing::ExampleFile("rutile-TiO2.xml"));
  KomorkaDocument* rutile = frame.activeDocument();
  if (!rutile) {
    ok = false;
    return;
  }
  CKomorka& d = rutile->doc();
  d.SetSpaceGroup("P 42/m n m");
  d.crystal.asymmetricUnit[0].biso = 0.497;
  d.crystal.asymmetricUnit[1].biso = 0.553;
  d.crystal.ExpandCellAtoms();
  rutile->NotifyStructureChanged();
  CTabPage1* page = ShowStructurePage(rutile);
  page->sheet()->setCurrentIndex(0);
  page->atomsPage()->list()->clearSelection();
  page->atomsPage()->list()->selectRow(1);
  ok = Save(page, out, "structure-spacegroup.png") && ok;
  page->hide();
  // The info panel's summary of rutile: group, Z, formula, density, volume.
  frame.action(cmd::kViewInfo)->trigger();
  frame.infoPanel()->sheet()->setCurrentIndex(0);
  ok = Save(frame.infoPanel(), out, "info-summary.png") && ok;
  frame.infoPanel()->hide();
}

void Shots::SymmetryFound() {
  // Rutile without its group and with its atoms pushed a little apart:
  // "Znajdź symetrię" at 0.1 A offers P 42/m n m with each site's largest
  // deviation, and the sites taken at their averaged places.
  KomorkaDocument* rutile = frame.OpenDocumentFile(testing::ExampleFile("rutile-TiO2.xml"));
  if (!rutile) {
    ok = false;
    return;
  }
  CKomorka& d = rutile->doc();
  d.SetSpaceGroup("");
  const double shifts[6][3] = {{0.002, 0, 0.001},      {0, 0, 0},     {0.003, -0.001, 0.002},
                               {0.001, 0.002, 0}, {-0.002, 0.001, -0.001}, {0, 0.002, 0.001}};
  for (size_t i = 0; i < d.crystal.structureAtoms.size() && i < 6; ++i) {
    d.crystal.structureAtoms[i].x += shifts[i][0];
    d.crystal.structureAtoms[i].y += shifts[i][1];
    d.crystal.structureAtoms[i].z += shifts[i][2];
  }
  d.crystal.ExpandCellAtoms();
  rutile->NotifyStructureChanged();
  CTabPage1* page = ShowStructurePage(rutile);
  page->toleranceField()->setNumber(0.1);
  QTimer::singleShot(300, [this] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      ok = Save(box, out, "symmetry-found.png") && ok;
      box->button(QMessageBox::Yes)->click();
    } else {
      ok = false;
    }
  });
  page->findSymmetryButton()->click();
  page->sheet()->setCurrentIndex(0);
  page->atomsPage()->list()->clearSelection();
  page->atomsPage()->list()->selectRow(1);
  ok = Save(page, out, "symmetry-found-sites.png") && ok;
  page->hide();
}

void Shots::CifBlocks() {
  // Two structures in one CIF: the program asks which to read.
  const QString path = settingsDir + QStringLiteral("/two-phases.cif");
  QFile two(path);
  if (two.open(QIODevice::WriteOnly)) {
    for (const char* name : {"anatase.cif", "rutile.cif"}) {
      QFile part(QStringLiteral(PELMORA_SOURCE_DIR "/tests/data/cif/") + QLatin1String(name));
      if (part.open(QIODevice::ReadOnly)) two.write(part.readAll());
    }
    two.close();
  }
  bool asked = false;
  QTimer::singleShot(300, [this, &asked] {
    if (auto* dlg = qobject_cast<CifBlocksDialog*>(QApplication::activeModalWidget())) {
      asked = true;
      ok = Save(dlg, out, "cif-blocks.png") && ok;
      dlg->list()->selectRow(1);
      dlg->accept();
    }
  });
  KomorkaDocument* d = frame.OpenDocumentFile(path);
  ok = asked && d && d->doc().crystal.cellAtoms.size() == 6 && ok;
}

void Shots::SticksAndLabel() {
  // Sticks ("brak") of Si with their descriptions: every dot on its stick's top.
  frame.chartBar()->profiles()->setCurrentText(QStringLiteral("brak"));
  frame.OpenDocumentFile(testing::ExampleFile("Si.xml"));
  if (CDownView* si = frame.activeView()) {
    si->document()->doc().experiment.lambda2 = 0.0;
    frame.action(cmd::kCalculate)->trigger();
    testing::WaitForChart(si);
    frame.action(cmd::kDescriptions)->trigger();
    testing::WaitForChart(si);
    ok = Save(&frame, out, "8-stick-descriptions.png") && ok;
  }

  // A label with a negative index, drawn at the screen's scale and enlarged
  // four times so that the gap under the bar can be seen.
  {
    std::vector<PatternPoint> pts(kPatternPoints);
    for (int i = 0; i < kPatternPoints; ++i) pts[i] = {i * kPatternStep, 0.0};
    pts[6001].intensity = 60.0;
    const ChartSeries series{pts.data(), kPatternPoints, 100.0, kPatternStep};
    Reflection r;
    r.theta = ThetaOfTwoTheta(30.005);
    r.h = -1, r.k = 1, r.l = -2;
    r.nonZero = 1;
    r.line = 1;
    std::vector<Reflection> refl{r};
    DescriptionFlags desc;
    desc.on = true;
    QImage img(160, 120, QImage::Format_RGB32);
    {
      QPainter p(&img);
      DrawCurve(p, 160, 120, {0, 0}, series, {29.95, 30.1, 0.0, 100.0}, ChartStyle{}, desc, &refl);
    }
    const QString path = out + QStringLiteral("/9-negative-index-label.png");
    const bool saved = img.scaled(640, 480, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    ok = saved && ok;
  }
}

void Shots::Viewer() {
  // Rutile in the "Monitor" panel: labelled atoms, the cell edges and axes,
  // turned a little; then its save dialog.
  if (KomorkaDocument* rutile = frame.OpenDocumentFile(testing::ExampleFile("rutile-TiO2.xml"))) {
    CGLWindow* panel = frame.glWindow();
    frame.action(cmd::kViewMonitor)->trigger();
    panel->resize(420, 720);
    for (int row = 0; row < panel->atomList()->rowCount(); ++row) panel->ToggleLabel(row);
    panel->switchButton(panelid::kAxes)->click();
    if (CMyWnd* view = panel->view()) {
      view->state().angleZ = 25;
      view->state().angleY = 15;
      view->state().zoom = 20;
    }
    (void)QTest::qWaitForWindowExposed(panel);
    QTest::qWait(300);
    ok = Save(panel, out, "viewer-3d.png") && ok;
    QTimer::singleShot(400, [&] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<CGLSaveDialog*>(w); d && d->isVisible()) {
          Save(d, out, "viewer-save-dialog.png");
          d->reject();
        }
    });
    panel->saveButton()->click();
    rutile->setModified(false);
  }
  // A cell of 20 000 atoms (86 A, four elements) in the same panel, from a
  // little outside it.
  if (KomorkaDocument* large = frame.NewDocument()) {
    bench::BuildLargeCase(large->doc(), 20000, 86.0);
    const std::uint32_t colors[4] = {0x0000FF, 0x00C000, 0xFF0000, 0x00C0C0};
    for (AtomSite& at : large->doc().crystal.structureAtoms) at.color = colors[at.siteIndex % 4];
    large->doc().crystal.ExpandCellAtoms();
    large->NotifyStructureChanged();
    CGLWindow* panel = frame.glWindow();
    panel->switchButton(panelid::kAxes)->setChecked(false);
    if (CMyWnd* view = panel->view()) {
      view->state() = ViewState{};
      view->state().angleZ = 25;
      view->state().angleY = 15;
      view->state().zoom = -300;
    }
    panel->BindDocument(&large->doc(), true);
    QTest::qWait(300);
    ok = Save(panel, out, "cell-20000-atoms.png") && ok;
    large->setModified(false);
  }
}

void Shots::PrintPreview() {
  // The printed page of the whole NaCl pattern, as the print preview shows it
  // (opening the open file again brings its window to the front).
  frame.OpenDocumentFile(testing::ExampleFile("NaCl.xml"));
  if (CDownView* nacl = frame.activeView()) testing::WaitForChart(nacl);
  frame.action(cmd::kZoomReset)->trigger();
  QTimer::singleShot(1000, [&] {
    if (QWidget* d = QApplication::activeModalWidget()) {
      ok = Save(d, out, "print-preview.png") && ok;
      QMetaObject::invokeMethod(d, "reject", Qt::QueuedConnection);
    }
  });
  frame.action(cmd::kPrintPreview)->trigger();
}

void Shots::ReferenceEditors() {
  // The reference editors with a row chosen, as a user would look at them
  // (nothing is changed, so nothing is asked at exit).
  {
    CLambdaDlg sources(run.app->reference(), &frame);
    sources.list()->selectRow(1);
    sources.show();
    ok = Save(&sources, out, "sources-editor.png") && ok;
    CAparatDlg sets(run.app->reference(), &frame);
    sets.list()->selectRow(sets.list()->rowCount() > 1 ? 1 : 0);
    sets.show();
    ok = Save(&sets, out, "apparatus-editor.png") && ok;
    CAnomalDlg anomal(run.app->reference(), &frame);
    anomal.list()->selectRow(25);
    anomal.show();
    ok = Save(&anomal, out, "anomalous-editor.png") && ok;
    // Iron's +3 coefficients stored again as a user's ion of charge +4:
    // "Zapisz zmiany" awaits. A copy of the tables takes the edit, so that
    // exit asks nothing.
    ReferenceData copy = run.app->reference();
    CAtomTable atoms(copy, nullptr, true, &frame);
    atoms.SelectElement(26);
    while (atoms.mainCell()->ionLabel() != QStringLiteral("+3") &&
           atoms.ionIndex() + 1 < copy.elements.Entry(26).ionCount())
      atoms.StepIon(1);
    atoms.chargeField()->setText(QStringLiteral("+4"));
    atoms.ionAddButton()->click();
    atoms.show();
    ok = Save(&atoms, out, "atom-table-editing.png") && ok;
  }
}

void Shots::SourceChange() {
  // Another wavelength for the active structure: the question about its
  // atoms' f' and f'', answered "Nie"; the info panel and the status bar
  // then say that the terms stayed.
  QTimer::singleShot(300, [dir = out] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      Save(box, dir, "source-change-question.png");
      box->button(QMessageBox::No)->click();
    }
  });
  emit frame.experimentPage()->sources()->activated(frame.experimentPage()->sources()->findText(QStringLiteral("Mo Ka")));
  frame.action(cmd::kViewInfo)->trigger();
  frame.infoPanel()->sheet()->setCurrentIndex(0);
  ok = Save(&frame, out, "anomalous-terms-kept.png") && ok;
  ok = Save(frame.infoPanel(), out, "info-anomalous-note.png") && ok;
  frame.infoPanel()->hide();
}

void Shots::ObservedOverlay() {
  // The zinc of a real scan of nano-SiC beside zinc (tests/data/measured):
  // the scan over the calculation, fitted, with the broad SiC peaks left in
  // the difference curve.
  frame.chartBar()->profiles()->setCurrentText(QStringLiteral("pseudo Voigt"));
  const QString data = testing::SourceDir() + QStringLiteral("/tests/data/measured/");
  KomorkaDocument* d = frame.OpenDocumentFile(data + QStringLiteral("Zn.cif"));
  if (!d) {
    ok = false;
    return;
  }
  d->doc().experiment.angleMin = 31.0;
  d->doc().experiment.angleMax = 90.0;
  d->NotifyParametersChanged();
  frame.action(cmd::kCalculate)->trigger();
  CDownView* v = frame.activeView();
  ok = frame.OpenMeasurement(data + QStringLiteral("SiC_Zn.dat")) && ok;
  ok = testing::WaitForChart(v) && ok;
  ok = Save(&frame, out, "observed-before-fit.png") && ok;
  QTimer::singleShot(300, [&] {
    auto* dlg = qobject_cast<RefinementDialog*>(QApplication::activeModalWidget());
    if (!dlg) return;
    dlg->setRefined(kFitScale | kFitZero | kFitBackground | kFitWidths | kFitCell);
    QObject::connect(dlg, &RefinementDialog::fitFinished, dlg, [&, dlg] {
      ok = Save(dlg, out, "fit-dialog.png") && ok;
      dlg->applyButton()->click();
    });
    dlg->fitButton()->click();
  });
  frame.action(cmd::kFitMeasured)->trigger();
  ok = testing::WaitForChart(v) && ok;
  ok = Save(&frame, out, "observed-overlay.png") && ok;
}

void Shots::ChartDAxis() {
  // The fitted zinc scan with its angle axis in d, the cursor on a peak.
  CDownView* v = frame.activeView();
  if (!v) {
    ok = false;
    return;
  }
  frame.xAxisAction(XAxisUnit::D)->trigger();
  const ChartRect c = v->chartRect();
  v->readCursor(QPoint(c.left + c.width() / 4, (c.top + c.bottom) / 2));
  ok = testing::WaitForChart(v) && ok;
  ok = Save(&frame, out, "chart-d-axis.png") && ok;
  frame.xAxisAction(XAxisUnit::TwoTheta)->trigger();
}

void Shots::MixtureFit() {
  // The same scan fitted as zinc and nano-SiC together: the SiC document
  // opened beside the zinc one and ticked in the dialog.
  CChildFrame* znFrame = frame.activeFrame();
  CDownView* zn = frame.activeView();
  if (!zn || !MeasuredLayerOf(*zn)) {
    ok = false;
    return;
  }
  const QString data = testing::SourceDir() + QStringLiteral("/tests/data/measured/");
  KomorkaDocument* sic = frame.OpenDocumentFile(data + QStringLiteral("SiC.cif"));
  if (!sic) {
    ok = false;
    return;
  }
  frame.mdiArea()->setActiveSubWindow(znFrame);
  // The instrument refined on a standard and kept (the lab set's widths):
  // sizes, strains and zinc's preferred orientation along c refined.
  CKomorka& d = zn->document()->doc();
  d.experiment.u = 0.0011090355;
  d.experiment.v = -0.0011090355;
  d.experiment.w = 0.0027725887;
  d.experiment.angleMin = 31.0;
  d.experiment.angleMax = 90.0;
  zn->document()->NotifyParametersChanged();
  QTimer::singleShot(300, [&] {
    auto* dlg = qobject_cast<RefinementDialog*>(QApplication::activeModalWidget());
    if (!dlg) return;
    for (size_t k = 1; dlg->phaseBox(k); ++k)
      if (dlg->phaseBox(k)->text().contains(QStringLiteral("SiC.cif"))) dlg->phaseBox(k)->setChecked(true);
    dlg->orientationEdit()->setText(QStringLiteral("0,0,1"));
    emit dlg->orientationEdit()->editingFinished();
    dlg->setRefined(kFitScale | kFitZero | kFitBackground | kFitCell | kFitSize | kFitStrain | kFitOrientation);
    QObject::connect(dlg, &RefinementDialog::fitFinished, dlg, [&, dlg] {
      ok = Save(dlg, out, "refinement.png") && ok;
      QTimer::singleShot(200, [&] {
        if (auto* table = QApplication::activeModalWidget(); table && table != dlg) {
          ok = Save(table, out, "refinement-correlations.png") && ok;
          table->close();
        }
      });
      dlg->correlationsButton()->click();
      dlg->applyButton()->click();
    });
    dlg->fitButton()->click();
  });
  frame.action(cmd::kFitMeasured)->trigger();
  ok = testing::WaitForChart(zn) && ok;
  ok = Save(&frame, out, "fit-mixture-chart.png") && ok;
}

void Shots::Manual() {
  // The manual at the space-group section, as F1 on the structure window
  // would open it beside its picture.
  HelpWindow* help = frame.helpKey()->ShowTopic(QStringLiteral("structure.html#space-group"));
  if (!help) {
    ok = false;
    return;
  }
  help->resize(940, 760);
  (void)QTest::qWaitForWindowExposed(help);
  help->ShowTopic(QStringLiteral("structure.html#space-group"));
  QTest::qWait(200);
  ok = Save(help, out, "manual.png") && ok;
  help->hide();
}

void Shots::UndoMenu() {
  // NaCl's cell stretched on the structure page and calculated, then
  // "Edycja" opened on "Cofnij" with the step's name. A menu is a window of
  // its own: its picture is laid over the frame's where it stands.
  for (CChildFrame* f : frame.frames())
    if (f->view() == view) frame.mdiArea()->setActiveSubWindow(f);
  frame.action(cmd::kStructurePage)->trigger();
  CTabPage1* page = frame.structurePage();
  page->cellField(0)->setText(QStringLiteral("5.9"));
  page->CommitCell(0);
  page->hide();
  frame.action(cmd::kCalculate)->trigger();
  testing::WaitForChart(view);
  QAction* editEntry = nullptr;
  for (QAction* a : frame.menuBar()->actions())
    if (a->text() == QStringLiteral("&Edycja")) editEntry = a;
  QMenu* edit = editEntry ? editEntry->menu() : nullptr;
  if (!edit) {
    ok = false;
    return;
  }
  frame.activateWindow();
  frame.menuBar()->setActiveAction(editEntry);
  QElapsedTimer wait;
  wait.start();
  while (!edit->isVisible() && wait.elapsed() < 2000) QTest::qWait(20);
  edit->setActiveAction(frame.action(cmd::kUndo));
  QTest::qWait(100);
  QImage picture = frame.grab().toImage();
  {
    QPainter p(&picture);
    p.drawPixmap(frame.mapFromGlobal(edit->pos()), edit->grab());
  }
  const QString path = out + QStringLiteral("/undo-menu.png");
  const bool saved = edit->isVisible() && picture.save(path);
  std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
  ok = saved && ok;
  edit->hide();
  frame.menuBar()->setActiveAction(nullptr);
}

// The main window with NaCl calculated, in English: the translation is
// installed before the windows are built, as the program does at start-up.
bool EnglishMain(const QString& out, const std::string& settingsFile) {
  Translations english;
  if (!english.Install("en", ExecutableDir())) {
    std::fprintf(stderr, "no English translation in %s\n", TranslationsDir(ExecutableDir()).c_str());
    return false;
  }
  SetTextTranslator([](const char* context, const char* text) { return QCoreApplication::translate(context, text).toStdString(); });
  ApplicationRun run;
  bool ok = StartApplication(run, {}, settingsFile);
  if (ok) {
    CMainFrame& frame = *run.frame;
    frame.resize(1280, 860);
    frame.show();
    (void)QTest::qWaitForWindowExposed(&frame);
    frame.chartBar()->profiles()->setCurrentText(QStringLiteral("pseudo Voigt"));
    frame.OpenDocumentFile(testing::ExampleFile("NaCl.xml"));
    frame.action(cmd::kCalculate)->trigger();
    CDownView* view = frame.activeView();
    ok = view && testing::WaitForChart(view) && Save(&frame, out, "english-main.png");
    for (CChildFrame* f : frame.frames()) f->document()->setModified(false);
    frame.close();
  }
  FinishApplication(run);
  SetTextTranslator(nullptr);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  SetDefaultGLFormat();
  QApplication qapp(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: pelmora_screenshots OUTPUT-FOLDER\n");
    return 1;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  QTemporaryDir settingsDir;
  // The pictures show the shipped tables, not the user's own edits.
  qputenv("XDG_DATA_HOME", QFile::encodeName(settingsDir.path()));
  ApplicationRun run;
  if (!StartApplication(run, {}, (settingsDir.path() + "/Pelmora.conf").toStdString())) return 2;
  CMainFrame& frame = *run.frame;
  frame.resize(1280, 860);
  frame.show();
  (void)QTest::qWaitForWindowExposed(&frame);
  Shots shots{frame, run, out, settingsDir.path()};
  shots.ok = Save(&frame, out, "1-empty-frame.png");
  shots.ChartAndDialogs();
  shots.Editors();
  shots.SticksAndLabel();
  shots.Viewer();
  shots.PrintPreview();
  shots.ReferenceEditors();
  shots.SourceChange();
  shots.ObservedOverlay();
  shots.ChartDAxis();
  shots.MixtureFit();
  shots.SpaceGroup();
  shots.Manual();
  shots.UndoMenu();
  shots.SymmetryFound();
  shots.CifBlocks();

  for (CChildFrame* f : frame.frames()) f->document()->setModified(false);
  frame.close();
  FinishApplication(run);
  const bool english = EnglishMain(out, (settingsDir.path() + "/Pelmora.conf").toStdString());
  return shots.ok && english ? 0 : 3;
}
