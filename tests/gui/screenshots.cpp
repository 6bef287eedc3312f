// Drives the real windows through the main states and writes a PNG of each
// into the folder given as the first argument.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "app/ui/Application.h"
#include "app/ui/Commands.h"
#include "app/ui/MainFrame.h"
#include "diffractogram/PatternGrid.h"
#include "documents/ui/KomorkaDocument.h"
#include "diffractogram/ui/ChartBar.h"
#include "diffractogram/ui/ChartPainter.h"
#include "diffractogram/ui/PatternSaveDialog.h"
#include "refdata/ui/AnomalDlg.h"
#include "refdata/ui/SourceEditors.h"
#include "tests/gui/GuiTestSupport.h"
#include <QTableWidget>

using namespace pelmora;

namespace {

bool Save(QWidget* w, const QString& dir, const char* name) {
  QCoreApplication::processEvents();
  const QString path = dir + QLatin1Char('/') + QLatin1String(name);
  const bool ok = w->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: pelmora_screenshots OUTPUT-FOLDER\n");
    return 1;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  QTemporaryDir settingsDir;
  ApplicationRun run;
  if (!StartApplication(run, {}, (settingsDir.path() + "/Pelmora.conf").toStdString())) return 2;
  CMainFrame& frame = *run.frame;
  frame.resize(1280, 860);
  frame.show();
  (void)QTest::qWaitForWindowExposed(&frame);
  bool ok = Save(&frame, out, "1-empty-frame.png");

  // Peaks with their widths rather than sticks.
  frame.chartBar()->profiles()->setCurrentText(QStringLiteral("pseudo Voigt"));
  QElapsedTimer timer;
  timer.start();
  frame.OpenDocumentFile(testing::ExampleFile("NaCl.xml"));
  const qint64 opened = timer.elapsed();
  frame.action(cmd::kCalculate)->trigger();
  const qint64 calculated = timer.elapsed();
  CDownView* view = frame.activeView();
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

  QTimer::singleShot(300, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<CPatternSaveDialog*>(w)) {
        (void)QTest::qWaitForWindowExposed(d);
        Save(d, out, "4-export-dialog.png");
        d->reject();
      }
  });
  frame.action(cmd::kExportText)->trigger();

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

  // Sticks ("brak") of Si with their descriptions: every dot on its stick's top.
  frame.chartBar()->profiles()->setCurrentText(QStringLiteral("brak"));
  frame.OpenDocumentFile(testing::ExampleFile("Si.xml"));
  if (CDownView* si = frame.activeView()) {
    si->document()->doc().SetLambda2(0.0);
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
    r.theta = 30.005 * kPi / 360.0;
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
  }

  for (CChildFrame* f : frame.frames()) f->document()->setModified(false);
  frame.close();
  FinishApplication(run);
  return ok ? 0 : 3;
}
