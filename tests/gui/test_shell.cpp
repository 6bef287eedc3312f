// The application driven through its windows: start-up and the command line,
// commands reaching the active document, questions before work is lost,
// settings that survive a restart, the curve and the cursor read-out.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "app/ui/Application.h"
#include "app/ui/Commands.h"
#include "app/ui/MainFrame.h"
#include "app/ui/SettingsDialog.h"
#include "documents/ui/CifBlocksDialog.h"
#include "diffractogram/ui/ChartBar.h"
#include <QTableWidget>
#include "bench/LargeCase.h"
#include "settings/Settings.h"
#include "documents/ui/KomorkaDocument.h"
#include "engine/ReflectionExport.h"
#include "widgets/NumberEdit.h"
#include "editors/ui/InfoPanel.h"
#include "engine/ui/CalcDialog.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

namespace {

// Pixels of the plot close to a colour (the curve is anti-aliased, so its
// core pixels carry the colour and its edges blend into white).
int CountNear(const QImage& img, const QColor& c) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QColor p = img.pixelColor(x, y);
      n += std::abs(p.red() - c.red()) < 40 && std::abs(p.green() - c.green()) < 40 &&
           std::abs(p.blue() - c.blue()) < 40;
    }
  return n;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

void Activate(CMainFrame& f, KomorkaDocument* doc) {
  for (CChildFrame* c : f.frames())
    if (c->document() == doc) f.mdiArea()->setActiveSubWindow(c);
}

// Ends the run without questions about the open documents.
bool Finish(ApplicationRun& run) {
  for (CChildFrame* c : run.frame->frames()) c->document()->setModified(false);
  return FinishApplication(run);
}

QString RecentFile(ApplicationRun& run, const char* key) {
  return QString::fromStdString(run.app->store().GetString("Recent File List", key, ""));
}

}  // namespace

class ShellTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  std::string Ini() const { return (dir_.path() + "/Pelmora.conf").toStdString(); }

 private slots:
  void startWithoutAFileOrWithAnUnreadableOne() {
    {
      ApplicationRun run;
      QVERIFY(StartApplication(run, {}, Ini()));
      QCOMPARE(run.frame->frames().size(), 0);
      QVERIFY(!run.frame->action(cmd::kCalculate)->isEnabled());
      FinishApplication(run);
    }
    const QString bad = dir_.path() + "/foreign.xml";
    QVERIFY(WriteAll(bad, "this is no structure\n"));
    ApplicationRun run;
    testing::BoxWatcher box;
    box.Arm();
    QVERIFY(!StartApplication(run, {bad}, Ini()));
    QCOMPARE(box.caption, QStringLiteral("Błąd"));
    QVERIFY(!box.text.isEmpty());
    QCOMPARE(run.frame->frames().size(), 0);
    FinishApplication(run);
  }

  void commandsReachOnlyTheActiveDocument() {
    ApplicationRun run;
    QVERIFY(StartApplication(run, {}, Ini()));
    CMainFrame& f = *run.frame;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    KomorkaDocument* si = f.OpenDocumentFile(testing::ExampleFile("Si.xml"));
    KomorkaDocument* nacl = f.OpenDocumentFile(testing::ExampleFile("NaCl.xml"));
    QVERIFY(si && nacl && f.activeDocument() == nacl);
    CDownView* siView = f.frames().first()->view();
    QCOMPARE(siView->document(), si);

    f.action(cmd::kCalculate)->trigger();
    f.action(cmd::kDescriptions)->trigger();
    QVERIFY(f.activeView()->patternPresent() && f.activeView()->descriptions().on);
    QVERIFY(!siView->patternPresent() && !siView->descriptions().on);
    QVERIFY(f.action(cmd::kDescKa2)->isChecked());

    // The switches show the state of the document made active.
    Activate(f, si);
    QVERIFY(!f.action(cmd::kDescriptions)->isChecked());
    // Without a second wavelength the Ka2 switch shows off and stays off.
    nacl->doc().experiment.lambda2 = 0.0;
    Activate(f, nacl);
    QVERIFY(f.action(cmd::kDescriptions)->isChecked());
    QVERIFY(!f.action(cmd::kDescKa2)->isChecked());
    QVERIFY(!f.activeView()->descriptions().ka2);

    // A refused run is reported and leaves the document without a pattern.
    Activate(f, si);
    si->doc().cell.a = 0.0;  // a cell without volume
    testing::BoxWatcher box;
    box.Arm();
    f.action(cmd::kCalculate)->trigger();
    QCOMPARE(box.caption, QStringLiteral("Błąd"));
    QVERIFY(!siView->patternPresent());
    Finish(run);
  }

  void cancelKeepsPreviousResults() {
    CKomorka doc;
    bench::BuildLargeCase(doc);
    const int before = doc.results.countAll();
    CCalcDialog dlg;
    dlg.SetDocument(&doc);
    // Esc as soon as the worker runs: the dialog waits for it and cancels.
    QTimer::singleShot(0, &dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); });
    QCOMPARE(dlg.exec(), int(QDialog::Rejected));
    QCOMPARE(dlg.Result(), -1);
    QCOMPARE(doc.results.countAll(), before);
  }

  void unsavedChangesAreAskedAboutAndFailedSavesReported() {
    QTemporaryDir tmp;
    const QString folder = tmp.path() + "/gone", path = folder + "/NaCl.xml";
    QVERIFY(QDir().mkpath(folder) && QFile::copy(testing::ExampleFile("NaCl.xml"), path));
    ApplicationRun run;
    QVERIFY(StartApplication(run, {path}, (tmp.path() + "/P.conf").toStdString()));
    CMainFrame& f = *run.frame;
    CChildFrame* frame = f.frames().first();
    frame->document()->setModified(true);
    QVERIFY(QDir(folder).removeRecursively());  // so that saving must fail

    // Cancel keeps every document and the application open, the
    // unmodified one opened beside it too.
    QVERIFY(f.OpenDocumentFile(testing::ExampleFile("Si.xml")));
    testing::BoxWatcher cancel;
    cancel.Arm(QMessageBox::Cancel);
    QVERIFY(!f.close());
    QCOMPARE(cancel.text, QStringLiteral("Save changes to NaCl.xml?"));
    QCOMPARE(f.frames().size(), 2);
    f.frames().last()->close();
    QTRY_COMPARE(f.frames().size(), 1);
    // "Yes" with a save that fails: the failure is shown and nothing closes.
    testing::BoxWatcher yes, failed;
    yes.Arm(QMessageBox::Yes);
    failed.Arm();
    QVERIFY(!frame->close());
    QVERIFY(yes.seen);
    QCOMPARE(failed.caption, QStringLiteral("Błąd"));
    QVERIFY(frame->document()->isModified());
    // "No" closes without writing.
    QVERIFY(QDir().mkpath(folder));
    testing::BoxWatcher no;
    no.Arm(QMessageBox::No);
    QVERIFY(frame->close());
    QVERIFY(no.seen);
    QTRY_VERIFY(f.frames().isEmpty());
    QVERIFY(!QFileInfo::exists(path));
    FinishApplication(run);
  }

  void restartWithAFileKeepsTheSettingsAndDrawsAndReadsTheCurve() {
    QTemporaryDir tmp;
    const std::string ini = (tmp.path() + "/Pelmora.conf").toStdString();
    {
      ApplicationRun run;
      QVERIFY(StartApplication(run, {}, ini));
      run.frame->show();
      {
        CSettingsDlg dlg(run.app->settings(), run.frame.get());
        dlg.margin()->setText(QStringLiteral("12,5"));  // a decimal comma, as the locale may type it
        dlg.useMultiple()->setChecked(false);
        dlg.colourPrint()->setChecked(true);
        dlg.chartColour()->setColor(QColor(0, 0, 255));
        dlg.accept();
      }
      for (int id : {int(cmd::kViewZoomBar), int(cmd::kViewStatusBar)}) run.frame->action(id)->trigger();
      run.frame->close();
      QVERIFY(FinishApplication(run));
    }
    ApplicationRun run;
    QVERIFY(StartApplication(run, {testing::ExampleFile("NaCl.xml")}, ini));
    QCOMPARE(run.app->settings().dthMargin, 12.5);
    QCOMPARE(run.app->settings().useTHMF, 0);
    QCOMPARE(run.app->settings().printBW, 0);
    QCOMPARE(run.app->settings().ChartColor, 0xFF0000u);  // blue as 0x00BBGGRR
    CMainFrame& f = *run.frame;
    f.resize(1000, 700);
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QVERIFY(f.zoomBar()->isHidden() && !f.action(cmd::kViewZoomBar)->isChecked());
    QVERIFY(f.statusBar()->isHidden() && !f.action(cmd::kViewStatusBar)->isChecked());

    CDownView* view = f.activeView();
    QVERIFY(view && !view->patternPresent());
    f.action(cmd::kCalculate)->trigger();
    QVERIFY(view->patternPresent());
    // The maximum is the largest grid value, and the strongest NaCl line
    // (200 of Ka1) lies under it.
    double largest = 0, at = 0;
    for (int i = 0; i < view->series().count; ++i)
      if (view->series().points[i].intensity > largest) {
        largest = view->series().points[i].intensity;
        at = view->series().points[i].twoTheta;
      }
    QCOMPARE(view->patternMaximum(), largest);
    QVERIFY(std::abs(at - 31.70) < 0.1);
    // The curve takes the stored colour.
    QVERIFY(testing::WaitForChart(view));
    QVERIFY(CountNear(*view->cachedImage(), QColor(0, 0, 255)) > 200);

    // The cursor over the 200 line reads its angle and names the reflection.
    QString ka1;
    connect(view, &CDownView::cursorRead, this, [&](const QString&, const QString&, const QString& k1, const QString&) { ka1 = k1; });
    const ChartRect c = view->chartRect();
    const int x = c.left + ValueToPixel(31.7024, c.width(), view->zoom().x0, view->zoom().x1);
    QTest::mouseMove(view, QPoint(x, (c.top + c.bottom) / 2));
    QVERIFY2(view->cursorText().startsWith(QStringLiteral("Kąt: 31.7")), qPrintable(view->cursorText()));
    QVERIFY2(ka1.contains(QStringLiteral("2 0 0 ; ")), qPrintable(ka1));
    QVERIFY(f.statusBar()->currentMessage().startsWith(QStringLiteral("Kąt: 31.7")));
    // "Oś kątów": the read-out follows the abscissa (d = 2.820 Å, Q = 2.228
    // 1/Å for the 200 line at lambda 1.540562 Å); the curve is not redrawn.
    QVERIFY(f.xAxisAction(XAxisUnit::TwoTheta)->isChecked());
    const qint64 image = view->cachedImage()->cacheKey();
    f.xAxisAction(XAxisUnit::D)->trigger();
    QCOMPARE(view->xAxis(), XAxisUnit::D);
    QTest::mouseMove(view, QPoint(x + 1, (c.top + c.bottom) / 2));
    QVERIFY2(view->cursorText().startsWith(QStringLiteral("d: 2.8")), qPrintable(view->cursorText()));
    f.xAxisAction(XAxisUnit::Q)->trigger();
    QTest::mouseMove(view, QPoint(x, (c.top + c.bottom) / 2));
    QVERIFY2(view->cursorText().startsWith(QStringLiteral("Q: 2.2")), qPrintable(view->cursorText()));
    QCOMPARE(view->cachedImage()->cacheKey(), image);
    f.xAxisAction(XAxisUnit::TwoTheta)->trigger();
    // Off the plot the read-out empties the cursor fields.
    QTest::mouseMove(view, QPoint(5, 5));
    QVERIFY(ka1.isEmpty());
    Finish(run);
  }

  void recentFilesAndDroppedImportsSavedUnderANewName() {
    QTemporaryDir tmp;
    const QString dat = tmp.path() + "/NaCl.dat", xml = tmp.path() + "/NaCl.xml";
    QVERIFY(QFile::copy(testing::SourceDir() + "/tests/data/NaCl.dat", dat));
    const QByteArray before = ReadAll(dat);
    ApplicationRun run;
    QVERIFY(StartApplication(run, {}, (tmp.path() + "/P.conf").toStdString()));
    CMainFrame& f = *run.frame;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));

    // Opened files go to the head of the recent list, four at most; a file
    // open already is shown instead of opened twice.
    for (const char* name : {"Si.xml", "CsCl.xml", "alpha-Fe.xml", "rutile-TiO2.xml", "NaCl.xml", "Si.xml"})
      QVERIFY(f.OpenDocumentFile(testing::ExampleFile(name)));
    QCOMPARE(f.frames().size(), 5);
    QCOMPARE(RecentFile(run, "File1"), QFileInfo(testing::ExampleFile("NaCl.xml")).absoluteFilePath());
    QVERIFY(RecentFile(run, "File4").endsWith("CsCl.xml"));

    // A dropped older file is imported, not opened: "Zapisz" asks for a
    // name, proposing NAME.xml beside it, and the original stays as it was.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(dat)});
    // Qt delivers the drop to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &drop);
    KomorkaDocument* doc = f.activeDocument();
    QVERIFY(doc && doc->path().isEmpty());
    testing::ModalWatcher<QFileDialog> save;
    QString proposed;
    save.Arm([&](QFileDialog* d) {
      proposed = d->selectedFiles().value(0);
      static_cast<QDialog*>(d)->accept();
    });
    f.action(cmd::kSave)->trigger();
    QCOMPARE(proposed, xml);
    QCOMPARE(doc->path(), xml);
    QVERIFY(QFileInfo::exists(xml));
    QCOMPARE(ReadAll(dat), before);
    for (CChildFrame* c : f.frames()) c->close();
    QTRY_VERIFY(f.frames().isEmpty());
    // With no document left, no chart switch looks pressed.
    for (int id : {int(cmd::kDescriptions), int(cmd::kDescKa1), int(cmd::kDescKa2), int(cmd::kTicksFirst)})
      QVERIFY(!f.action(id)->isChecked());

    // A recent entry whose file has gone leaves the list after its message.
    QVERIFY(QFile::remove(xml));
    QMenu* recent = nullptr;
    for (QAction* a : f.menuBar()->actions())
      for (QAction* b : a->menu() ? a->menu()->actions() : QList<QAction*>{})
        if (b->menu() && b->text() == QStringLiteral("Ostatnio otwarte")) recent = b->menu();
    QVERIFY(recent && !recent->actions().isEmpty());
    QCOMPARE(recent->actions().first()->statusTip(), xml);
    testing::BoxWatcher box;
    box.Arm();
    recent->actions().first()->trigger();
    QVERIFY(box.seen);
    QCOMPARE(RecentFile(run, "File1"), dat);
    QVERIFY(recent->actions().first()->statusTip() != xml);
    Finish(run);
  }

  void cursorPageAndStatusBarFollowTheMouse() {
    ApplicationRun run;
    QVERIFY(StartApplication(run, {"--calculate", testing::ExampleFile("NaCl.xml")}, Ini()));
    CMainFrame& f = *run.frame;
    f.resize(1000, 700);
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    CDownView* view = f.activeView();
    QVERIFY(view && view->patternPresent());
    CPropPage3* page = f.infoPanel()->sheet()->cursor();
    double ka1 = 0, ka2 = 0;  // 200 on each line
    for (const Reflection& r : view->document()->doc().results.reflectionsAll)
      if (r.h == 2 && r.k == 0 && r.l == 0) (r.line == 1 ? ka1 : ka2) = TwoThetaDegrees(r);
    QVERIFY(ka1 > 31.6 && ka2 > ka1 + 0.05 && ka2 < ka1 + 0.1);
    // The mouse on tick k of the angle axis and tick i of the intensity
    // axis, where the read-out is exact: window start + k (or i) hundredths.
    struct Reading {
      QString angle, intensity, ka1, ka2, status;
    };
    auto readAt = [&](double x0, double x1, int k, int i, int dx = 0) {
      QVERIFY(view->zoom().StretchAngle(x0, x1) || (view->zoom().x0 == x0 && view->zoom().x1 == x1));
      view->repaint();
      const ChartRect c = view->chartRect();
      auto round = [](double v) { return int(v - std::floor(v) > 0.5 ? std::ceil(v) : std::floor(v)); };
      const QPoint at(c.left + round(k * c.width() / 100.0) + dx, c.bottom - 15 - round(i * (c.height() - 30) / 100.0));
      QTest::mouseMove(view, at);
    };
    auto fields = [&] {
      return Reading{page->field(0)->text(), page->field(1)->text(), page->field(2)->text(), page->field(3)->text(),
                     f.statusBar()->currentMessage()};
    };
    auto expect = [](double angle, double percent, const char* k1, const char* k2) {
      const QString a = QString::asprintf("%.4f", angle), p = QString::asprintf("%.4f", percent);
      return Reading{a, p, QLatin1String(k1), QLatin1String(k2),
                     QStringLiteral("Kąt: %1 st.    Natężenie: %2").arg(a, p)};
    };
    auto same = [](const Reading& a, const Reading& b) {
      return a.angle == b.angle && a.intensity == b.intensity && a.ka1 == b.ka1 && a.ka2 == b.ka2 &&
             a.status == b.status;
    };
    auto show = [](const Reading& r) {
      return QStringLiteral("[%1|%2|%3|%4|%5]").arg(r.angle, r.intensity, r.ka1, r.ka2, r.status);
    };
    // Over Ka1 of 200 in a 10-degree window: 2 pixels left and 3 right of
    // the cursor do not reach Ka2, 0.08 degrees higher.
    readAt(ka1 - 5.0, ka1 + 5.0, 50, 37);
    Reading want = expect(ka1 - 5.0 + 50 * 10.0 / 100, 37.0, "2 0 0 ; ", "");
    QVERIFY2(same(fields(), want), qPrintable(show(fields()) + " != " + show(want)));
    readAt(ka2 - 5.0, ka2 + 5.0, 50, 81);
    want = expect(ka2 - 5.0 + 50 * 10.0 / 100, 81.0, "", "2 0 0 ; ");
    QVERIFY2(same(fields(), want), qPrintable(show(fields()) + " != " + show(want)));
    // The reflections looked for lie from 2 pixels left to 3 right of the
    // cursor: Ka2 half a pixel right of tick 50 is found from 2 pixels left
    // of the tick, not from 3, and from 2 pixels right, not from 3.
    const double half = 0.5 * 10.0 / view->chartRect().width();
    for (auto [dx, found] : {std::pair{-2, true}, {-3, false}, {2, true}, {3, false}}) {
      readAt(ka2 - 5.0 - half, ka2 + 5.0 - half, 50, 50, dx);
      QVERIFY2(fields().ka1.isEmpty() && fields().ka2 == (found ? "2 0 0 ; " : ""),
               qPrintable(QStringLiteral("%1 pixels: ").arg(dx) + show(fields())));
    }
    // In a 100-degree window the same pixels take in both lines.
    readAt(ka1 - 20.0, ka1 + 80.0, 20, 3);
    want = expect(ka1 - 20.0 + 20 * 100.0 / 100, 3.0, "2 0 0 ; ", "2 0 0 ; ");
    QVERIFY2(same(fields(), want), qPrintable(show(fields()) + " != " + show(want)));
    // On the bottom of the intensity window the cursor is outside it: the
    // page empties, the status bar keeps the last reading.
    readAt(ka1 - 20.0, ka1 + 80.0, 20, 0);
    Reading off = fields();
    QVERIFY2(off.angle.isEmpty() && off.intensity.isEmpty() && off.ka1.isEmpty() && off.ka2.isEmpty(), qPrintable(show(off)));
    QCOMPARE(off.status, want.status);
    // Leaving the chart clears both.
    readAt(ka1 - 20.0, ka1 + 80.0, 20, 3);
    QVERIFY(same(fields(), want));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view, &leave);
    off = fields();
    QVERIFY2(off.angle.isEmpty() && off.intensity.isEmpty() && off.ka1.isEmpty() && off.ka2.isEmpty(), qPrintable(show(off)));
    QCOMPARE(off.status, QStringLiteral("Gotowy"));
    Finish(run);
  }

  void everySettingComesBackAfterARestart() {
    QTemporaryDir tmp;
    const std::string ini = (tmp.path() + "/Pelmora.conf").toStdString();
    CSettings set;
    set.DataDir = (tmp.path() + "/dane").toStdString();
    set.PluginsDir = (tmp.path() + "/wtyczki").toStdString();
    set.PeakProfile = "Lorentz";
    ExperimentValues& e = set.experiment;
    e.lambda1 = 0.70932, e.lambda2 = 0.71361, e.ratio = 0.499;
    e.angleMin = 12.5, e.angleMax = 130.25;
    e.u = 0.012345, e.v = -0.004321, e.w = 0.002468, e.x = 0.013579, e.y = 0.5;
    e.difradius = 185.5, e.absorption = 0.00025, e.detslit = 7.5, e.beamarea = 12.25, e.measurespeed = 2.5;
    e.dwfactor = 0.45, e.IsDW = 1, e.gsize = 2500.0;
    set.dthMF = 7.5, set.dthMargin = 12.25;
    set.Radiation = 1, set.GLDetail = 42;
    set.ChartColor = RgbColor(1, 2, 3), set.AxisColor = RgbColor(4, 5, 6);
    set.KA1Color = RgbColor(7, 8, 9), set.KA2Color = RgbColor(10, 11, 12);
    set.printBW = 0, set.useTHMF = 0;
    set.RadName = "*Mo Ka", set.AparatName = "*Synchrotron";
    {
      ApplicationRun run;
      QVERIFY(StartApplication(run, {}, ini));
      run.app->settings() = set;
      QVERIFY(FinishApplication(run));
    }
    ApplicationRun run;
    QVERIFY(StartApplication(run, {}, ini));
    const CSettings& got = run.app->settings();
    QCOMPARE(got.DataDir, set.DataDir);
    QCOMPARE(got.PluginsDir, set.PluginsDir);
    QCOMPARE(got.PeakProfile, set.PeakProfile);
    const ExperimentValues& g = got.experiment;
    QCOMPARE(g.lambda1, 0.70932);
    QCOMPARE(g.lambda2, 0.71361);
    QCOMPARE(g.ratio, 0.499);
    QCOMPARE(g.angleMin, 12.5);
    QCOMPARE(g.angleMax, 130.25);
    QCOMPARE(g.u, 0.012345);
    QCOMPARE(g.v, -0.004321);
    QCOMPARE(g.w, 0.002468);
    QCOMPARE(g.x, 0.013579);
    QCOMPARE(g.y, 0.0);  // never stored
    QCOMPARE(g.difradius, 185.5);
    QCOMPARE(g.absorption, 0.00025);
    QCOMPARE(g.detslit, 7.5);
    QCOMPARE(g.beamarea, 12.25);
    QCOMPARE(g.measurespeed, 2.5);
    QCOMPARE(g.dwfactor, 0.45);
    QCOMPARE(g.IsDW, 1);
    QCOMPARE(g.gsize, 2500.0);
    QCOMPARE(got.dthMF, 7.5);
    QCOMPARE(got.dthMargin, 12.25);
    QCOMPARE(got.Radiation, 1);
    QCOMPARE(got.GLDetail, 42);
    QCOMPARE(got.ChartColor, RgbColor(1, 2, 3));
    QCOMPARE(got.AxisColor, RgbColor(4, 5, 6));
    QCOMPARE(got.KA1Color, RgbColor(7, 8, 9));
    QCOMPARE(got.KA2Color, RgbColor(10, 11, 12));
    QCOMPARE(got.printBW, 0);
    QCOMPARE(got.useTHMF, 0);
    QCOMPARE(got.RadName, set.RadName);
    QCOMPARE(got.AparatName, set.AparatName);
    // New documents start from them.
    KomorkaDocument* doc = run.frame->NewDocument();
    QCOMPARE(doc->doc().experiment.angleMax, 130.25);
    QCOMPARE(doc->doc().experiment.detslit, 7.5);
    Finish(run);
  }

  void reopenedFilesMoveToTheHeadOfTheRecentList() {
    QTemporaryDir tmp;
    ApplicationRun run;
    QVERIFY(StartApplication(run, {}, (tmp.path() + "/P.conf").toStdString()));
    CMainFrame& f = *run.frame;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    const QString si = QFileInfo(testing::ExampleFile("Si.xml")).absoluteFilePath();
    const QString nacl = QFileInfo(testing::ExampleFile("NaCl.xml")).absoluteFilePath();
    const QString cscl = QFileInfo(testing::ExampleFile("CsCl.xml")).absoluteFilePath();
    for (const QString& p : {si, nacl, cscl}) QVERIFY(f.OpenDocumentFile(p));
    f.mdiArea()->closeAllSubWindows();
    QTRY_VERIFY(f.frames().isEmpty());
    auto list = [&] {
      QStringList out;
      for (const char* key : {"File1", "File2", "File3", "File4"}) out << RecentFile(run, key);
      return out;
    };
    QCOMPARE(list(), QStringList({cscl, nacl, si, ""}));
    // Reopened by another spelling of its path: one entry, now the first.
    const QString roundabout = testing::SourceDir() + "/examples/../examples/./Si.xml";
    QVERIFY(f.OpenDocumentFile(roundabout));
    QCOMPARE(list(), QStringList({si, cscl, nacl, ""}));
    // Reopened from the menu: the same.
    QMenu* recent = nullptr;
    for (QAction* a : f.menuBar()->actions())
      for (QAction* b : a->menu() ? a->menu()->actions() : QList<QAction*>{})
        if (b->menu() && b->text() == QStringLiteral("Ostatnio otwarte")) recent = b->menu();
    QVERIFY(recent);
    QStringList shown;
    for (QAction* a : recent->actions()) shown << a->text();
    QCOMPARE(shown, QStringList({"&1 Si.xml", "&2 CsCl.xml", "&3 NaCl.xml"}));
    recent->actions().at(2)->trigger();
    QCOMPARE(f.activeDocument()->path(), nacl);
    QCOMPARE(list(), QStringList({nacl, si, cscl, ""}));
    QCOMPARE(f.frames().size(), 2);
    // A file open already comes to the front, not twice.
    recent->actions().at(1)->trigger();
    QCOMPARE(f.frames().size(), 2);
    QCOMPARE(f.activeDocument()->path(), si);
    Finish(run);
  }

  void windowMenuReachesEveryDocument() {
    ApplicationRun run;
    QVERIFY(StartApplication(run, {}, Ini()));
    CMainFrame& f = *run.frame;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QVERIFY(!f.windowMenu());
    std::vector<KomorkaDocument*> docs;
    for (const char* name : {"Si.xml", "NaCl.xml", "CsCl.xml"}) docs.push_back(f.OpenDocumentFile(testing::ExampleFile(name)));
    QVERIFY(f.windowMenu() && f.activeDocument() == docs[2]);
    KomorkaDocument* announced = nullptr;
    connect(&f.hub(), &NotificationHub::activeDocumentChanged, this, [&](KomorkaDocument* d) { announced = d; });

    // The list names every document in opening order and checks the active one.
    auto entries = [&] {
      emit f.windowMenu()->aboutToShow();
      QList<QAction*> out;
      for (QAction* a : f.windowMenu()->actions())
        if (a->isCheckable()) out << a;
      return out;
    };
    QList<QAction*> list = entries();
    QCOMPARE(list.size(), 3);
    QCOMPARE(list[0]->text(), QStringLiteral("&1 Si.xml"));
    QCOMPARE(list[2]->text(), QStringLiteral("&3 CsCl.xml"));
    for (int i = 0; i < 3; ++i) QCOMPARE(list[i]->isChecked(), i == 2);
    list[0]->trigger();
    QCOMPARE(f.activeDocument(), docs[0]);
    QCOMPARE(announced, docs[0]);
    list = entries();
    for (int i = 0; i < 3; ++i) QCOMPARE(list[i]->isChecked(), i == 0);
    QVERIFY(f.frames()[0]->isMaximized());

    // The keyboard goes round the documents while one fills the area.
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QTest::keyClick(f.activeView(), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(f.activeDocument(), docs[1]);
    QTest::keyClick(f.activeView(), Qt::Key_F6, Qt::ControlModifier);
    QCOMPARE(f.activeDocument(), docs[2]);
    QTest::keyClick(f.activeView(), Qt::Key_F6, Qt::ControlModifier);
    QCOMPARE(f.activeDocument(), docs[0]);
    QTest::keyClick(f.activeView(), Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(f.activeDocument(), docs[2]);
    QTest::keyClick(f.activeView(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(f.activeDocument(), docs[1]);
    QCOMPARE(announced, docs[1]);

    // Side by side every document shows, none over another.
    f.action(cmd::kWindowTile)->trigger();
    QList<CChildFrame*> frames = f.frames();
    for (int i = 0; i < 3; ++i) {
      QVERIFY(!frames[i]->isMaximized() && frames[i]->isVisible());
      for (int j = i + 1; j < 3; ++j) QVERIFY(!frames[i]->geometry().intersects(frames[j]->geometry()));
    }
    QCOMPARE(f.activeDocument(), docs[1]);
    // Cascaded they step down and right, and leave part of the area free:
    // a click there keeps the active document.
    f.action(cmd::kWindowCascade)->trigger();
    QVERIFY(frames[1]->pos().x() > frames[0]->pos().x() && frames[1]->pos().y() > frames[0]->pos().y());
    QWidget* area = f.mdiArea()->viewport();
    QPoint empty(area->width() - 3, 3);
    for (CChildFrame* c : frames) QVERIFY(!c->geometry().contains(empty));
    announced = docs[1];
    QTest::mouseClick(area, Qt::LeftButton, {}, empty);
    QTest::qWait(20);
    QCOMPARE(f.activeDocument(), docs[1]);
    QCOMPARE(announced, docs[1]);
    QVERIFY(f.action(cmd::kCalculate)->isEnabled());

    // A closed document leaves the list.
    frames[0]->close();
    QTRY_COMPARE(f.frames().size(), 2);
    list = entries();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0]->text(), QStringLiteral("&1 NaCl.xml"));
    Finish(run);
  }

  void neutronFileIsCalculatedAsNeutronsAndSavedUnchanged() {
    // NaCl measured with neutrons: the file's own source says so.
    QTemporaryDir tmp;
    QByteArray bytes = ReadAll(testing::ExampleFile("NaCl.xml"));
    const QByteArray xray = "<source name=\"Cu Ka\" type=\"x\">";
    QVERIFY(bytes.contains(xray));
    bytes.replace(xray, "<source name=\"D2B\" type=\"n\">");
    const QString path = tmp.path() + "/NaCl-n.xml", ini = tmp.path() + "/P.conf";
    QVERIFY(WriteAll(path, bytes));
    ApplicationRun run;
    QVERIFY(StartApplication(run, {path}, ini.toStdString()));
    CMainFrame& f = *run.frame;
    KomorkaDocument* doc = f.activeDocument();
    QVERIFY(doc && doc->doc().experiment.radiation == 1);
    f.action(cmd::kCalculate)->trigger();
    const QByteArray list = QByteArray::fromStdString(FormatReflectionList(doc->doc(), ReflectionFilter{}));
    // Saved without a change, the file keeps every byte.
    f.action(cmd::kSave)->trigger();
    QCOMPARE(ReadAll(path), bytes);
    FinishApplication(run);

    // The command-line tool lists the same reflections.
    QProcess cli;
    cli.start(QStringLiteral(PELMORA_CLI), {QStringLiteral("calc"), path, QStringLiteral("--settings"), ini});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(list.count('\n') > 5);
    QCOMPARE(list, cli.readAllStandardOutput());
  }

  // "Zapisz jako" with the CIF filter writes the structure as a CIF and
  // leaves the document as it was (its file, its pending changes); read
  // back through the CIF import it gives the same cell and atoms. A save
  // asked for by "Zapisz" offers the structure file only.
  void saveAsCifIsAnExport() {
    ApplicationRun run;
    QVERIFY(StartApplication(run, {testing::ExampleFile("rutile-TiO2.xml")}, Ini()));
    CMainFrame& f = *run.frame;
    KomorkaDocument* doc = f.activeDocument();
    QVERIFY(doc);
    const QString own = doc->path(), title = doc->title();
    doc->setModified(true);
    QStringList filters;
    testing::ModalWatcher<QFileDialog> save;
    save.Arm([&](QFileDialog* d) {
      filters = d->nameFilters();
      d->setDirectory(dir_.path());
      auto* type = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      QVERIFY(type && name);
      type->setCurrentIndex(1);
      // What a click in the list sends.
      emit type->activated(1);
      emit type->textActivated(type->itemText(1));
      name->setText(QStringLiteral("rutile"));
      static_cast<QDialog*>(d)->accept();
    });
    testing::BoxWatcher note;
    note.Arm();
    f.action(cmd::kSaveAs)->trigger();
    QCOMPARE(filters, (QStringList{QStringLiteral("Pelmor 1.0 (*.xml)"), QStringLiteral("CIF (*.cif)")}));
    const QString cif = dir_.path() + "/rutile.cif";
    QVERIFY(QFileInfo::exists(cif));
    QVERIFY(!QFileInfo::exists(dir_.path() + "/rutile.xml"));
    QVERIFY(ReadAll(cif).contains("_space_group_IT_number"));
    QCOMPARE(doc->path(), own);
    QCOMPARE(doc->title(), title);
    QVERIFY(doc->isModified());
    QTRY_VERIFY(note.seen);  // the group found for a structure without one
    QVERIFY2(note.text.contains(QStringLiteral("136")), qPrintable(note.text));

    // The CIF's contents are checked by the export's own round trip; here
    // only that the program opens what it wrote, as a document of its own.
    KomorkaDocument* back = f.OpenDocumentFile(cif);
    QVERIFY(back && back != doc);
    QCOMPARE(back->doc().crystal.cellAtoms.size(), doc->doc().crystal.cellAtoms.size());

    // A document never saved, "Zapisz": the structure file only.
    KomorkaDocument* fresh = f.NewDocument();
    QVERIFY(fresh);
    save.Arm([&](QFileDialog* d) {
      filters = d->nameFilters();
      d->reject();
    });
    f.action(cmd::kSave)->trigger();
    QCOMPARE(filters, QStringList{QStringLiteral("Pelmor 1.0 (*.xml)")});
    Finish(run);
  }
  void importsAskTheirBlockAndTakeTheirInstrumentAProfileRedrawsAtOnce() {
    ApplicationRun run;
    QVERIFY(StartApplication(run, {testing::ExampleFile("NaCl.xml")}, Ini()));
    CMainFrame& f = *run.frame;
    CDownView* nacl = f.activeView();
    QVERIFY(nacl);
    // Sticks first; another profile draws the same reflections anew at once.
    f.chartBar()->profiles()->setCurrentText(QStringLiteral("brak"));
    f.action(cmd::kCalculate)->trigger();
    QVERIFY(nacl->patternPresent());
    auto curve = [nacl] {
      std::vector<double> v;
      for (int i = 0; i < nacl->series().count; ++i) v.push_back(nacl->series().points[i].intensity);
      return v;
    };
    const std::vector<double> sticks = curve();
    const size_t spikes = std::count_if(sticks.begin(), sticks.end(), [](double y) { return y > 0; });
    f.chartBar()->profiles()->setCurrentText(QStringLiteral("Gauss"));
    const std::vector<double> gauss = curve();
    QVERIFY(gauss != sticks);
    QVERIFY(size_t(std::count_if(gauss.begin(), gauss.end(), [](double y) { return y > 0; })) > 5 * spikes);

    // Two structures in one CIF: the program asks which, lists both, and
    // reads the one chosen with the instrument set for imports.
    QByteArray both;
    for (const char* name : {"anatase.cif", "rutile.cif"}) {
      QFile part(testing::SourceDir() + QStringLiteral("/tests/data/cif/") + QLatin1String(name));
      QVERIFY(part.open(QIODevice::ReadOnly));
      both += part.readAll();
    }
    for (const char* name : {"/two.cif", "/again.cif"}) {
      QFile out(dir_.path() + QLatin1String(name));
      QVERIFY(out.open(QIODevice::WriteOnly) && out.write(both) == both.size());
    }
    QStringList listed;
    testing::ModalWatcher<CifBlocksDialog> ask;
    ask.Arm([&](CifBlocksDialog* d) {
      QCOMPARE(d->windowTitle(), QStringLiteral("Bloki danych pliku CIF"));
      for (int r = 0; r < d->list()->rowCount(); ++r) listed << d->list()->item(r, 0)->text();
      d->list()->selectRow(1);
      d->accept();
    });
    KomorkaDocument* rutile = f.OpenDocumentFile(dir_.path() + "/two.cif");
    QVERIFY(ask.seen);
    QCOMPARE(listed, (QStringList{QStringLiteral("anatase"), QStringLiteral("rutile")}));
    QVERIFY(rutile);
    QCOMPARE(rutile->doc().crystal.cellAtoms.size(), size_t(6));
    QCOMPARE(rutile->doc().experiment.aparatName, std::string("Lab. Bragg-Brentano"));
    QVERIFY(rutile->doc().experiment.w > 0.0);
    QVERIFY(!f.activeView()->patternPresent());  // the profile redraws only what was calculated

    // Cancelled, nothing opens.
    const qsizetype open = f.frames().size();
    testing::ModalWatcher<CifBlocksDialog> cancel;
    cancel.Arm([](CifBlocksDialog* d) { d->reject(); });
    QVERIFY(!f.OpenDocumentFile(dir_.path() + "/again.cif"));
    QVERIFY(cancel.seen);
    QCOMPARE(f.frames().size(), open);

    // The settings choose the set; the dialog lists the instrument file's.
    run.app->settings().ImportAparat = "Neutrony D1A";
    {
      CSettingsDlg dlg(run.app->settings(), &f, {"Lab. Bragg-Brentano", "Neutrony D1A"});
      QCOMPARE(dlg.importInstrument()->currentText(), QStringLiteral("Neutrony D1A"));
      dlg.importInstrument()->setCurrentIndex(0);
      dlg.accept();
    }
    QCOMPARE(run.app->settings().ImportAparat, std::string());
    Finish(run);
  }
};

QObject* MakeShellTest() { return new ShellTest; }

#include "test_shell.moc"
