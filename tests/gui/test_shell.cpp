// The application driven through its windows: start-up and the command line,
// commands reaching the active document, questions before work is lost,
// settings that survive a restart, the curve and the cursor read-out.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "app/ui/SettingsDialog.h"
#include "bench/LargeCase.h"
#include "diffractogram/ui/ChartBar.h"
#include "documents/ui/CifBlocksDialog.h"
#include "editors/ui/InfoPanel.h"
#include "engine/ReflectionExport.h"
#include "engine/ui/CalcDialog.h"
#include "settings/Settings.h"
#include "tests/gui/GuiTestSupport.h"
#include "widgets/NumberEdit.h"

using namespace pelmora;
using testing::ReadAll;
using testing::WriteAll;

namespace {

QStringList RecentFiles(testing::AppRun& t) {
  QStringList out;
  for (const char* key : {"File1", "File2", "File3", "File4"})
    out << QString::fromStdString(t.app().store().GetString("Recent File List", key, ""));
  return out;
}

QMenu* RecentMenu(CMainFrame& f) {
  for (QAction* a : f.menuBar()->actions())
    for (QAction* b : a->menu() ? a->menu()->actions() : QList<QAction*>{})
      if (b->menu() && b->text() == QStringLiteral("Ostatnio otwarte")) return b->menu();
  return nullptr;
}

}  // namespace

class ShellTest : public QObject {
  Q_OBJECT

 private slots:
  void startWithoutAFileOrWithAnUnreadableOne() {
    {
      testing::AppRun t;
      QVERIFY(t.Start({}, false));
      QCOMPARE(t.f->frames().size(), 0);
      QVERIFY(!t.f->action(cmd::kCalculate)->isEnabled());
    }
    testing::AppRun t;
    const QString bad = t.dir.path() + "/foreign.xml";
    QVERIFY(WriteAll(bad, "this is no structure\n"));
    testing::BoxWatcher box;
    box.Arm();
    QVERIFY(!t.Start({bad}, false));
    QCOMPARE(box.caption, QStringLiteral("Błąd"));
    QVERIFY(!box.text.isEmpty());
    QCOMPARE(t.f->frames().size(), 0);
  }

  void commandsReachOnlyTheActiveDocument() {
    testing::AppRun t;
    QVERIFY(t.Start());
    CMainFrame& f = *t.f;
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
    t.Activate(si);
    QVERIFY(!f.action(cmd::kDescriptions)->isChecked());
    // Without a second wavelength the Ka2 switch shows off and stays off.
    nacl->doc().experiment.lambda2 = 0.0;
    t.Activate(nacl);
    QVERIFY(f.action(cmd::kDescriptions)->isChecked());
    QVERIFY(!f.action(cmd::kDescKa2)->isChecked());
    QVERIFY(!f.activeView()->descriptions().ka2);

    // A refused run is reported and leaves the document without a pattern.
    t.Activate(si);
    si->doc().cell.a = 0.0;  // a cell without volume
    testing::BoxWatcher box;
    box.Arm();
    f.action(cmd::kCalculate)->trigger();
    QCOMPARE(box.caption, QStringLiteral("Błąd"));
    QVERIFY(!siView->patternPresent());
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
    testing::AppRun t;
    const QString folder = t.dir.path() + "/gone", path = folder + "/NaCl.xml";
    QVERIFY(QDir().mkpath(folder) && QFile::copy(testing::ExampleFile("NaCl.xml"), path));
    QVERIFY(t.Start({path}, false));
    CMainFrame& f = *t.f;
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
  }

  // Every setting, those of "Ustawienia programu" among them, and the bars
  // hidden come back after a restart; new documents start from them, the
  // curve takes the stored colour and the cursor follows the abscissa.
  void restartKeepsEverySettingAndTheCurveFollowsThem() {
    QTemporaryDir tmp;
    const QString ini = tmp.path() + "/Pelmora.conf";
    CSettings set;
    set.DataDir = (testing::SourceDir() + "/Data").toStdString();
    set.PluginsDir = (tmp.path() + "/wtyczki").toStdString();
    set.PeakProfile = "Lorentz";
    ExperimentValues& e = set.experiment;
    e.lambda1 = 0.70932, e.lambda2 = 0.71361, e.ratio = 0.499;
    e.angleMin = 12.5, e.angleMax = 130.25;
    e.u = 0.012345, e.v = -0.004321, e.w = 0.002468, e.x = 0.013579, e.y = 0.5;
    e.difradius = 185.5, e.absorption = 0.00025, e.detslit = 7.5, e.beamarea = 12.25, e.measurespeed = 2.5;
    e.dwfactor = 0.45, e.IsDW = 1, e.gsize = 2500.0;
    set.dthMF = 7.5, set.Radiation = 1, set.GLDetail = 42;
    set.AxisColor = RgbColor(4, 5, 6), set.KA1Color = RgbColor(7, 8, 9), set.KA2Color = RgbColor(10, 11, 12);
    set.RadName = "*Mo Ka", set.AparatName = "*Synchrotron";
    {
      testing::AppRun t;
      QVERIFY(t.Start({}, true, ini));
      t.app().settings() = set;
      {
        CSettingsDlg dlg(t.app().settings(), t.f);
        dlg.margin()->setText(QStringLiteral("12,5"));  // a decimal comma, as the locale may type it
        dlg.useMultiple()->setChecked(false);
        dlg.colourPrint()->setChecked(true);
        dlg.chartColour()->setColor(QColor(0, 0, 255));
        dlg.accept();
      }
      for (int id : {int(cmd::kViewZoomBar), int(cmd::kViewStatusBar)}) t.f->action(id)->trigger();
      t.f->close();
      QVERIFY(t.Finish());
    }
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("NaCl.xml")}, false, ini));
    const CSettings& got = t.app().settings();
    ExperimentValues want = set.experiment;
    want.y = 0.0;  // never stored
    QVERIFY(got.experiment == want);
    QVERIFY(std::tie(got.DataDir, got.PluginsDir, got.PeakProfile, got.RadName, got.AparatName) ==
            std::tie(set.DataDir, set.PluginsDir, set.PeakProfile, set.RadName, set.AparatName));
    QVERIFY(std::tuple(got.dthMF, got.dthMargin, got.Radiation, got.GLDetail, got.printBW, got.useTHMF) ==
            std::tuple(7.5, 12.5, 1, 42, 0, 0));
    // Blue as 0x00BBGGRR.
    QVERIFY(std::tuple(got.ChartColor, got.AxisColor, got.KA1Color, got.KA2Color) ==
            std::tuple(0xFF0000u, RgbColor(4, 5, 6), RgbColor(7, 8, 9), RgbColor(10, 11, 12)));
    CMainFrame& f = *t.f;
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
    QVERIFY(testing::WaitForChart(view));
    // The curve is anti-aliased: its core pixels carry the colour.
    QVERIFY(testing::CountNear(*view->cachedImage(), QColor(0, 0, 255), 40) > 200);

    // "Oś kątów": the read-out over the 200 line follows the abscissa
    // (d = 2.820 Å, Q = 2.228 1/Å at lambda 1.540562 Å); the curve is not
    // redrawn.
    const ChartRect c = view->chartRect();
    const int x = c.left + ValueToPixel(31.7024, c.width(), view->zoom().x0, view->zoom().x1);
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
    KomorkaDocument* fresh = f.NewDocument();
    QVERIFY(fresh->doc().experiment.angleMax == 130.25 && fresh->doc().experiment.detslit == 7.5);
  }

  // Opened files go to the head of the recent list, four at most, however
  // their path is spelt; a file open already is shown instead of opened
  // twice; a dropped older file is imported; an entry whose file has gone
  // leaves the list.
  void recentFilesAndDroppedImports() {
    testing::AppRun t;
    const QString dat = t.dir.path() + "/NaCl.dat", xml = t.dir.path() + "/NaCl.xml";
    QVERIFY(QFile::copy(testing::SourceDir() + "/tests/data/NaCl.dat", dat));
    const QByteArray before = ReadAll(dat);
    QVERIFY(t.Start());
    CMainFrame& f = *t.f;
    const auto path = [](const char* name) { return QFileInfo(testing::ExampleFile(name)).absoluteFilePath(); };
    for (const char* name : {"Si.xml", "CsCl.xml", "alpha-Fe.xml", "rutile-TiO2.xml", "NaCl.xml", "Si.xml"})
      QVERIFY(f.OpenDocumentFile(testing::ExampleFile(name)));
    QCOMPARE(f.frames().size(), 5);
    QCOMPARE(RecentFiles(t),
             QStringList({path("NaCl.xml"), path("rutile-TiO2.xml"), path("alpha-Fe.xml"), path("CsCl.xml")}));
    f.mdiArea()->closeAllSubWindows();
    QTRY_VERIFY(f.frames().isEmpty());
    QVERIFY(f.OpenDocumentFile(testing::SourceDir() + "/examples/../examples/./rutile-TiO2.xml"));
    QCOMPARE(RecentFiles(t),
             QStringList({path("rutile-TiO2.xml"), path("NaCl.xml"), path("alpha-Fe.xml"), path("CsCl.xml")}));
    // Reopened from the menu: the same; one open already comes to the front.
    QMenu* recent = RecentMenu(f);
    QVERIFY(recent);
    QStringList shown;
    for (QAction* a : recent->actions()) shown << a->text();
    QCOMPARE(shown, QStringList({"&1 rutile-TiO2.xml", "&2 NaCl.xml", "&3 alpha-Fe.xml", "&4 CsCl.xml"}));
    recent->actions().at(2)->trigger();
    QCOMPARE(f.activeDocument()->path(), path("alpha-Fe.xml"));
    QCOMPARE(RecentFiles(t),
             QStringList({path("alpha-Fe.xml"), path("rutile-TiO2.xml"), path("NaCl.xml"), path("CsCl.xml")}));
    recent->actions().at(1)->trigger();
    QCOMPARE(f.frames().size(), 2);
    QCOMPARE(f.activeDocument()->path(), path("rutile-TiO2.xml"));

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

    f.mdiArea()->closeAllSubWindows();
    QTRY_VERIFY(f.frames().isEmpty());
    // With no document left, no chart switch looks pressed.
    for (int id : {int(cmd::kDescriptions), int(cmd::kDescKa1), int(cmd::kDescKa2), int(cmd::kTicksFirst)})
      QVERIFY(!f.action(id)->isChecked());

    // A recent entry whose file has gone leaves the list after its message.
    QVERIFY(QFile::remove(xml));
    recent = RecentMenu(f);
    QCOMPARE(recent->actions().first()->statusTip(), xml);
    testing::BoxWatcher box;
    box.Arm();
    recent->actions().first()->trigger();
    QVERIFY(box.seen);
    QCOMPARE(RecentFiles(t).first(), dat);
    QVERIFY(recent->actions().first()->statusTip() != xml);
  }

  void cursorPageAndStatusBarFollowTheMouse() {
    testing::AppRun t;
    QVERIFY(t.Start({"--calculate", testing::ExampleFile("NaCl.xml")}, false));
    CMainFrame& f = *t.f;
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
    // Read: angle, intensity, Ka1, Ka2 of the page, then the status bar.
    auto read = [&] {
      QStringList fields;
      for (int field = 0; field < 4; ++field) fields << page->field(field)->text();
      return fields << f.statusBar()->currentMessage();
    };
    auto readAt = [&](double x0, double x1, int k, int i, int dx = 0) {
      if (!view->zoom().StretchAngle(x0, x1) && (view->zoom().x0 != x0 || view->zoom().x1 != x1)) return QStringList();
      view->repaint();
      const ChartRect c = view->chartRect();
      auto round = [](double v) { return int(v - std::floor(v) > 0.5 ? std::ceil(v) : std::floor(v)); };
      QTest::mouseMove(view, QPoint(c.left + round(k * c.width() / 100.0) + dx,
                                    c.bottom - 15 - round(i * (c.height() - 30) / 100.0)));
      return read();
    };
    auto expect = [](double angle, double percent, const char* k1, const char* k2) {
      const QString a = QString::asprintf("%.4f", angle), p = QString::asprintf("%.4f", percent);
      return QStringList{a, p, k1, k2, QStringLiteral("Kąt: %1 st.    Natężenie: %2").arg(a, p)};
    };
    // Over Ka1 of 200 in a 10-degree window: 2 pixels left and 3 right of
    // the cursor do not reach Ka2, 0.08 degrees higher.
    QCOMPARE(readAt(ka1 - 5.0, ka1 + 5.0, 50, 37), expect(ka1 - 5.0 + 50 * 10.0 / 100, 37.0, "2 0 0 ; ", ""));
    QCOMPARE(readAt(ka2 - 5.0, ka2 + 5.0, 50, 81), expect(ka2 - 5.0 + 50 * 10.0 / 100, 81.0, "", "2 0 0 ; "));
    // The reflections looked for lie from 2 pixels left to 3 right of the
    // cursor: Ka2 half a pixel right of tick 50 is found from 2 pixels left
    // of the tick, not from 3, and from 2 pixels right, not from 3.
    const double half = 0.5 * 10.0 / view->chartRect().width();
    for (auto [dx, found] : {std::pair{-2, true}, {-3, false}, {2, true}, {3, false}}) {
      const QStringList fields = readAt(ka2 - 5.0 - half, ka2 + 5.0 - half, 50, 50, dx);
      QVERIFY2(fields.size() == 5 && fields[2].isEmpty() && fields[3] == (found ? "2 0 0 ; " : ""),
               qPrintable(QString::number(dx) + fields.join('|')));
    }
    // In a 100-degree window the same pixels take in both lines.
    const QStringList both = expect(ka1 - 20.0 + 20 * 100.0 / 100, 3.0, "2 0 0 ; ", "2 0 0 ; ");
    QCOMPARE(readAt(ka1 - 20.0, ka1 + 80.0, 20, 3), both);
    // On the bottom of the intensity window the cursor is outside it: the
    // page empties, the status bar keeps the last reading.
    QCOMPARE(readAt(ka1 - 20.0, ka1 + 80.0, 20, 0), QStringList({"", "", "", "", both[4]}));
    // Leaving the chart clears both.
    QCOMPARE(readAt(ka1 - 20.0, ka1 + 80.0, 20, 3), both);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view, &leave);
    QCOMPARE(read(), QStringList({"", "", "", "", "Gotowy"}));
  }

  void windowMenuReachesEveryDocument() {
    testing::AppRun t;
    QVERIFY(t.Start());
    CMainFrame& f = *t.f;
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
  }

  void neutronFileIsCalculatedAsNeutronsAndSavedUnchanged() {
    // NaCl measured with neutrons: the file's own source says so.
    testing::AppRun t;
    QByteArray bytes = ReadAll(testing::ExampleFile("NaCl.xml"));
    const QByteArray xray = "<source name=\"Cu Ka\" type=\"x\">";
    QVERIFY(bytes.contains(xray));
    bytes.replace(xray, "<source name=\"D2B\" type=\"n\">");
    const QString path = t.dir.path() + "/NaCl-n.xml", ini = t.dir.path() + "/P.conf";
    QVERIFY(WriteAll(path, bytes));
    QVERIFY(t.Start({path}, false, ini));
    CMainFrame& f = *t.f;
    KomorkaDocument* doc = f.activeDocument();
    QVERIFY(doc && doc->doc().experiment.radiation == 1);
    f.action(cmd::kCalculate)->trigger();
    const QByteArray list = QByteArray::fromStdString(FormatReflectionList(doc->doc(), ReflectionFilter{}));
    // Saved without a change, the file keeps every byte.
    f.action(cmd::kSave)->trigger();
    QCOMPARE(ReadAll(path), bytes);
    t.Finish();

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
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("rutile-TiO2.xml")}, false));
    CMainFrame& f = *t.f;
    KomorkaDocument* doc = f.activeDocument();
    QVERIFY(doc);
    const QString own = doc->path(), title = doc->title();
    doc->setModified(true);
    QStringList filters;
    testing::ModalWatcher<QFileDialog> save;
    save.Arm([&](QFileDialog* d) {
      filters = d->nameFilters();
      d->setDirectory(t.dir.path());
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
    const QString cif = t.dir.path() + "/rutile.cif";
    QVERIFY(QFileInfo::exists(cif));
    QVERIFY(!QFileInfo::exists(t.dir.path() + "/rutile.xml"));
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
  }

  void importsAskTheirBlockAndTakeTheirInstrumentAProfileRedrawsAtOnce() {
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("NaCl.xml")}, false));
    CMainFrame& f = *t.f;
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
    for (const char* name : {"anatase.cif", "rutile.cif"})
      both += ReadAll(testing::SourceDir() + QStringLiteral("/tests/data/cif/") + QLatin1String(name));
    for (const char* name : {"/two.cif", "/again.cif"}) QVERIFY(WriteAll(t.dir.path() + QLatin1String(name), both));
    QStringList listed;
    testing::ModalWatcher<CifBlocksDialog> ask;
    ask.Arm([&](CifBlocksDialog* d) {
      QCOMPARE(d->windowTitle(), QStringLiteral("Bloki danych pliku CIF"));
      for (int r = 0; r < d->list()->rowCount(); ++r) listed << d->list()->item(r, 0)->text();
      d->list()->selectRow(1);
      d->accept();
    });
    KomorkaDocument* rutile = f.OpenDocumentFile(t.dir.path() + "/two.cif");
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
    QVERIFY(!f.OpenDocumentFile(t.dir.path() + "/again.cif"));
    QVERIFY(cancel.seen);
    QCOMPARE(f.frames().size(), open);

    // The settings choose the set; the dialog lists the instrument file's.
    t.app().settings().ImportAparat = "Neutrony D1A";
    {
      CSettingsDlg dlg(t.app().settings(), &f, {"Lab. Bragg-Brentano", "Neutrony D1A"});
      QCOMPARE(dlg.importInstrument()->currentText(), QStringLiteral("Neutrony D1A"));
      dlg.importInstrument()->setCurrentIndex(0);
      dlg.accept();
    }
    QCOMPARE(t.app().settings().ImportAparat, std::string());
  }
};

static testing::TestClass<ShellTest> registered;

#include "test_shell.moc"
