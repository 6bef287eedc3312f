// The application driven through its windows: start-up and the command line,
// menus, a calculation through the action, the chart's curve, the cursor
// read-out, refused input, and settings that survive a restart.
#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QDropEvent>
#include <QUrl>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "app/ui/Application.h"
#include "app/ui/Commands.h"
#include "documents/ui/KomorkaDocument.h"
#include "app/ui/MainFrame.h"
#include "app/ui/SettingsDialog.h"
#include "diffractogram/ui/ChartBar.h"
#include "editors/ReflectionExport.h"
#include "editors/ui/NumberEdit.h"
#include "engine/ui/CalcDialog.h"
#include "bench/LargeCase.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

namespace {

QStringList MenuTitles(QMainWindow& w) {
  QStringList out;
  for (QAction* a : w.menuBar()->actions()) out << a->text();
  return out;
}

// Pixels of the plot close to a colour (the curve is anti-aliased, so its
// core pixels carry the colour and its edges blend into white).
int CountNear(const QImage& img, const QColor& c) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QColor p = img.pixelColor(x, y);
      if (std::abs(p.red() - c.red()) < 40 && std::abs(p.green() - c.green()) < 40 &&
          std::abs(p.blue() - c.blue()) < 40)
        ++n;
    }
  return n;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class ShellTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  std::string Ini() const { return (dir_.path() + "/Pelmora.conf").toStdString(); }

 private slots:
  void plainStartOpensNoDocument() {
    ApplicationRun run;
    QVERIFY(StartApplication(run, {}, Ini()));
    QCOMPARE(run.frame->frames().size(), 0);
    QVERIFY(!run.frame->documentMenuShown());
    QVERIFY(!MenuTitles(*run.frame).contains(QStringLiteral("Eksperyment")));
    QVERIFY(MenuTitles(*run.frame).contains(QStringLiteral("Opcje")));
    QVERIFY(!run.frame->action(cmd::kCalculate)->isEnabled());
    // A "PeakProfile" that names no profile selects "brak".
    QCOMPARE(run.frame->chartBar()->ProfileLabel(), QStringLiteral("brak"));
    QCOMPARE(run.frame->chartBar()->ProfileId(), -1);
    QVERIFY(!run.frame->chartBar()->settingsButton()->isEnabled());
    QVERIFY(!run.frame->chartBar()->infoButton()->isEnabled());
    FinishApplication(run);
  }

  void commandLineOpensFileAndCalculates() {
    ApplicationRun run;
    QVERIFY(StartApplication(run, {testing::ExampleFile("NaCl.xml")}, Ini()));
    CMainFrame& f = *run.frame;
    f.resize(1000, 700);
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QCOMPARE(f.frames().size(), 1);
    QVERIFY(f.documentMenuShown());
    QVERIFY(MenuTitles(f).contains(QStringLiteral("Eksperyment")));
    QCOMPARE(f.windowTitle(), QStringLiteral("Pelmora - [NaCl.xml]"));
    CDownView* view = f.activeView();
    QVERIFY(view);
    QVERIFY(!view->patternPresent());

    f.action(cmd::kCalculate)->trigger();
    QVERIFY(view->patternPresent());
    const CKomorka& doc = view->document()->doc();
    QVERIFY(doc.countAll() > 0);
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
    const QImage plot = *view->cachedImage();
    QVERIFY(CountNear(plot, QColor(255, 0, 0)) > 200);
    QCOMPARE(CountNear(plot, QColor(0, 0, 255)), 0);

    // The cursor over the 200 line reads its angle and names the reflection.
    QString ka1;
    connect(view, &CDownView::cursorRead, this, [&](const QString&, const QString&, const QString& k1, const QString&) { ka1 = k1; });
    const ChartRect c = view->chartRect();
    const int x = c.left + ValueToPixel(31.7024, c.width(), view->zoom().x0, view->zoom().x1);
    QTest::mouseMove(view, QPoint(x, (c.top + c.bottom) / 2));
    QVERIFY2(view->cursorText().startsWith(QStringLiteral("Kąt: 31.7")), qPrintable(view->cursorText()));
    QVERIFY(view->cursorText().contains(QStringLiteral(" st.    Natężenie: ")));
    QVERIFY2(ka1.contains(QStringLiteral("2 0 0 ; ")), qPrintable(ka1));
    QVERIFY(f.statusBar()->currentMessage().startsWith(QStringLiteral("Kąt: 31.7")));
    // Off the plot the read-out empties the cursor fields.
    QTest::mouseMove(view, QPoint(5, 5));
    QVERIFY(ka1.isEmpty());

    view->document()->setModified(false);
    FinishApplication(run);
  }

  void unreadableFileEndsStartUpWithItsMessage() {
    const QString bad = dir_.path() + "/foreign.xml";
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("this is no structure\n") > 0);
    file.close();
    ApplicationRun run;
    testing::BoxWatcher box;
    box.Arm();
    QVERIFY(!StartApplication(run, {bad}, Ini()));
    QVERIFY(box.seen);
    QCOMPARE(box.caption, QStringLiteral("Błąd"));
    QVERIFY(!box.text.isEmpty());
    QCOMPARE(run.frame->frames().size(), 0);
    FinishApplication(run);
  }

  void refusedCalculationShowsItsMessage() {
    ApplicationRun run;
    QVERIFY(StartApplication(run, {testing::ExampleFile("NaCl.xml")}, Ini()));
    CDownView* view = run.frame->activeView();
    view->document()->doc().a = 0.0;  // a cell without volume
    testing::BoxWatcher box;
    box.Arm();
    run.frame->action(cmd::kCalculate)->trigger();
    QVERIFY(box.seen);
    QCOMPARE(box.caption, QStringLiteral("Błąd"));
    QVERIFY(!view->patternPresent());
    view->document()->setModified(false);
    FinishApplication(run);
  }

  void cancelKeepsPreviousResults() {
    CKomorka doc;
    bench::BuildLargeCase(doc);
    const int before = doc.countAll();
    CCalcDialog dlg;
    dlg.SetDocument(&doc);
    // Esc as soon as the worker runs: the dialog waits for it and cancels.
    QTimer::singleShot(0, &dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); });
    const int result = dlg.exec();
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(dlg.Result(), -1);
    QCOMPARE(doc.countAll(), before);
  }

  void descriptionButtonsFollowTheLines() {
    ApplicationRun run;
    QVERIFY(StartApplication(run, {testing::ExampleFile("NaCl.xml")}, Ini()));
    CMainFrame& f = *run.frame;
    CDownView* view = f.activeView();
    QVERIFY(!f.action(cmd::kDescriptions)->isChecked());
    f.action(cmd::kDescriptions)->trigger();
    QVERIFY(view->descriptions().on);
    QVERIFY(f.action(cmd::kDescKa1)->isChecked());
    QVERIFY(f.action(cmd::kDescKa2)->isChecked());
    // Without a second wavelength its button shows off and stays off.
    view->document()->doc().SetLambda2(0.0);
    f.action(cmd::kDescriptions)->trigger();
    QVERIFY(!f.action(cmd::kDescKa2)->isChecked());
    QVERIFY(!view->descriptions().ka2);
    view->document()->setModified(false);
    FinishApplication(run);
  }

  void settingsAndBarsSurviveARestart() {
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
        QVERIFY(!dlg.multiple()->isEnabled());
        dlg.colourPrint()->setChecked(true);
        dlg.chartColour()->setColor(QColor(0, 0, 255));
        dlg.accept();
      }
      run.frame->action(cmd::kViewZoomBar)->trigger();
      QVERIFY(run.frame->zoomBar()->isHidden());
      run.frame->action(cmd::kViewStatusBar)->trigger();
      QVERIFY(run.frame->statusBar()->isHidden());
      run.frame->close();
      QVERIFY(FinishApplication(run));
    }
    {
      ApplicationRun run;
      QVERIFY(StartApplication(run, {testing::ExampleFile("NaCl.xml")}, ini));
      QCOMPARE(run.app->settings().dthMargin, 12.5);
      QCOMPARE(run.app->settings().useTHMF, 0);
      QCOMPARE(run.app->settings().printBW, 0);
      QCOMPARE(run.app->settings().ChartColor, 0xFF0000u);  // blue as 0x00BBGGRR
      run.frame->show();
      QVERIFY(run.frame->zoomBar()->isHidden());
      QVERIFY(!run.frame->action(cmd::kViewZoomBar)->isChecked());
      QVERIFY(run.frame->statusBar()->isHidden());
      QVERIFY(!run.frame->action(cmd::kViewStatusBar)->isChecked());
      // The curve takes the stored colour.
      CDownView* view = run.frame->activeView();
      run.frame->action(cmd::kCalculate)->trigger();
      QVERIFY(testing::WaitForChart(view));
      QVERIFY(CountNear(*view->cachedImage(), QColor(0, 0, 255)) > 200);
      view->document()->setModified(false);
      FinishApplication(run);
    }
  }

  void documentsNamesRecentFilesAndTheSaveQuestion() {
    QTemporaryDir tmp;
    ApplicationRun run;
    QVERIFY(StartApplication(run, {}, (tmp.path() + "/P.conf").toStdString()));
    CMainFrame& f = *run.frame;
    KomorkaDocument* fresh = f.NewDocument();
    QCOMPARE(fresh->title(), QStringLiteral("bez nazwy 1"));
    QVERIFY(f.documentMenuShown());

    // Opened files go to the head of the recent list, four at most.
    for (const char* name : {"Si.xml", "CsCl.xml", "alpha-Fe.xml", "rutile-TiO2.xml", "NaCl.xml"})
      QVERIFY(f.OpenDocumentFile(testing::ExampleFile(name)));
    QCOMPARE(QString::fromStdString(run.app->store().GetString("Recent File List", "File1", "")),
             QFileInfo(testing::ExampleFile("NaCl.xml")).absoluteFilePath());
    QVERIFY(QString::fromStdString(run.app->store().GetString("Recent File List", "File4", "")).endsWith("CsCl.xml"));
    // Opening a file that is open already shows it instead of a second copy.
    const int open = f.frames().size();
    f.OpenDocumentFile(testing::ExampleFile("Si.xml"));
    QCOMPARE(f.frames().size(), open);

    // A modified document asks before it closes; Cancel keeps it open.
    CChildFrame* frame = f.frames().first();
    frame->document()->setModified(true);
    testing::BoxWatcher box;
    box.Arm(QMessageBox::Cancel);
    QVERIFY(!frame->close());
    QVERIFY(box.seen);
    QCOMPARE(box.text, QStringLiteral("Save changes to %1?").arg(frame->document()->title()));
    testing::BoxWatcher no;
    no.Arm(QMessageBox::No);
    QVERIFY(frame->close());
    QVERIFY(no.seen);
    QCOMPARE(f.frames().size(), open - 1);

    for (CChildFrame* c : f.frames()) c->document()->setModified(false);
    FinishApplication(run);
  }

  void droppedCifOpensUntitled() {
    QTemporaryDir tmp;
    ApplicationRun run;
    QVERIFY(StartApplication(run, {}, (tmp.path() + "/P.conf").toStdString()));
    CMainFrame& f = *run.frame;
    const QString cif = testing::SourceDir() + QStringLiteral("/tests/data/cif/wurtzite-ZnO.cif");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(cif)});
    // Qt delivers the drop to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &drop);
    QCOMPARE(f.frames().size(), 1);
    // Imported, not opened: saving asks for a name, NAME.xml beside the CIF.
    KomorkaDocument* doc = f.frames().first()->document();
    QVERIFY(doc->path().isEmpty());
    QCOMPARE(doc->proposedSaveName(), QFileInfo(cif).absolutePath() + QStringLiteral("/wurtzite-ZnO.xml"));
    FinishApplication(run);
  }

  void importedFilesAreSavedUnderANewNameAndFailedRecentEntriesGo() {
    QTemporaryDir tmp;
    const QString dat = tmp.path() + "/NaCl.dat", xml = tmp.path() + "/NaCl.xml";
    QVERIFY(QFile::copy(testing::SourceDir() + "/tests/data/NaCl.dat", dat));
    const QByteArray before = ReadAll(dat);
    ApplicationRun run;
    QVERIFY(StartApplication(run, {}, (tmp.path() + "/P.conf").toStdString()));
    CMainFrame& f = *run.frame;
    KomorkaDocument* doc = f.OpenDocumentFile(dat);
    QVERIFY(doc && doc->path().isEmpty());
    // "Zapisz" asks for a name, proposing NAME.xml beside the original.
    testing::ModalWatcher<QFileDialog> save;
    QString proposed;
    save.Arm([&](QFileDialog* d) {
      proposed = d->selectedFiles().value(0);
      static_cast<QDialog*>(d)->accept();
    });
    f.action(cmd::kSave)->trigger();
    QVERIFY(save.seen);
    QCOMPARE(proposed, xml);
    QCOMPARE(doc->path(), xml);
    QVERIFY(QFileInfo::exists(xml));
    QCOMPARE(ReadAll(dat), before);

    // The frame's title names the document also when its window is not maximised.
    auto* child = f.frames().first();
    child->showNormal();
    QTRY_COMPARE(f.windowTitle(), QStringLiteral("Pelmora - NaCl.xml"));
    child->showMaximized();
    QTRY_COMPARE(f.windowTitle(), QStringLiteral("Pelmora - [NaCl.xml]"));

    // With the last document closed, no chart switch looks pressed.
    child->close();
    QTRY_VERIFY(f.frames().isEmpty());
    for (int id : {int(cmd::kDescriptions), int(cmd::kDescKa1), int(cmd::kDescKa2), int(cmd::kTicksFirst)})
      QVERIFY(!f.action(id)->isChecked());
    QTRY_COMPARE(f.windowTitle(), QStringLiteral("Pelmora"));

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
    QCOMPARE(QString::fromStdString(run.app->store().GetString("Recent File List", "File1", "")), dat);
    QVERIFY(recent->actions().first()->statusTip() != xml);
    FinishApplication(run);
  }

  void neutronFileIsCalculatedAsNeutronsAndSavedUnchanged() {
    // NaCl measured with neutrons: the file's own source says so.
    QTemporaryDir tmp;
    QByteArray bytes = ReadAll(testing::ExampleFile("NaCl.xml"));
    const QByteArray xray = "<source name=\"Cu Ka\" type=\"x\">";
    QVERIFY(bytes.contains(xray));
    bytes.replace(xray, "<source name=\"D2B\" type=\"n\">");
    const QString path = tmp.path() + "/NaCl-n.xml";
    {
      QFile out(path);
      QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
    }
    const QString ini = tmp.path() + "/P.conf";
    ApplicationRun run;
    QVERIFY(StartApplication(run, {path}, ini.toStdString()));
    CMainFrame& f = *run.frame;
    KomorkaDocument* doc = f.activeDocument();
    QVERIFY(doc && doc->doc().radiation == 1);
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
};

QObject* MakeShellTest() { return new ShellTest; }

#include "test_shell.moc"
