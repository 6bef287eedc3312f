// A measured pattern in the program: attached from "Plik", drawn over the
// calculation with the difference and ticks (on the screen and in the
// pictures), fitted from "Eksperyment", and the document changed only by
// "Zastosuj".
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <functional>

#include "diffractogram/chart/ChartPicture.h"
#include "diffractogram/ui/ChartBar.h"
#include "diffractogram/ui/ChartPrinting.h"
#include "documents/StructureFile.h"
#include "io/NumberFormat.h"
#include "measured/Overlay.h"
#include "measured/ui/CorrelationTable.h"
#include "measured/ui/MeasuredLayer.h"
#include "measured/ui/RefinementDialog.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

class MeasuredTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

  // Runs "Dopasuj do pomiaru": `setup` ticks what to fit, then "Dopasuj"
  // ("Anuluj" right after it with cancel), `look` reads the finished dialog,
  // and "Zastosuj" (apply) or "Zamknij".
  RefinementOutcome FitWith(CMainFrame& f, const std::function<void(RefinementDialog*)>& setup, bool apply,
                            bool cancel = false, const std::function<void(RefinementDialog*)>& look = {}) {
    RefinementOutcome seen;
    testing::ModalWatcher<RefinementDialog> watch;
    watch.Arm([&](RefinementDialog* d) {
      setup(d);
      QEventLoop loop;
      connect(d, &RefinementDialog::fitFinished, &loop, &QEventLoop::quit);
      d->fitButton()->click();
      if (cancel) d->cancelButton()->click();
      if (d->running()) loop.exec();
      seen = d->outcome();
      if (look) look(d);
      if (apply && d->applyButton()->isEnabled()) d->applyButton()->click();
      else d->reject();
    });
    f.action(cmd::kFitMeasured)->trigger();
    return seen;
  }
  // The same with the optional values `extra` ticked.
  RefinementOutcome FitWith(CMainFrame& f, unsigned extra, bool apply, bool cancel = false) {
    return FitWith(
        f, [extra](RefinementDialog* d) { d->setRefined(kFitScale | kFitZero | kFitBackground | extra); }, apply, cancel);
  }
  static double ValueOf(const RefinementOutcome& r, const std::string& name) {
    for (const RefinedValue& v : r.values)
      if (v.name == name) return v.value;
    return std::nan("");
  }

 private slots:
  void overlayFitAndApply() {
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("NaCl.xml")}, false));
    CMainFrame& f = *t.f;
    f.chartBar()->profiles()->setCurrentText(QStringLiteral("pseudo Voigt"));
    f.action(cmd::kCalculate)->trigger();
    CDownView* view = f.activeView();
    QVERIFY(view && view->patternPresent());
    QVERIFY(!f.action(cmd::kFitMeasured)->isEnabled());

    // A measurement of this structure: 0.5 I(t - 0.03) + 40 counts.
    const double zero = 0.03;
    std::string text = "# 2theta counts\n";
    for (int i = 0; i <= 3000; ++i) {
      const double tt = 20.0 + 0.02 * i;
      text += cformat("%.4f %.3f\n", tt, 0.5 * GridValueAt(view->grid(), tt - zero) + 40.0);
    }
    const QString path = dir_.path() + "/nacl.xy";
    QVERIFY(testing::WriteAll(path, QByteArray::fromStdString(text)));
    // The document's cell a little off, calculated again.
    CKomorka& doc = view->document()->doc();
    doc.cell.a = doc.cell.b = doc.cell.c = 5.6352;
    doc.cell.RefreshCellMetric();
    view->document()->NotifyParametersChanged();
    f.action(cmd::kCalculate)->trigger();

    QVERIFY(f.OpenMeasurement(path));
    QVERIFY(MeasuredLayerOf(*view) && view->overlay());
    QVERIFY(f.action(cmd::kFitMeasured)->isEnabled());
    {
      const ChartOverlay& o = *view->overlay();
      QCOMPARE(o.twoTheta.size(), size_t(3001));
      QVERIFY(o.low < o.differenceZero && o.differenceZero < 0.0 && o.high > 0.0);
      QCOMPARE(o.ticks.size(), size_t(1));
      QVERIFY(!o.ticks[0].empty());
    }
    // The pictures and the printed page take the overlay, axis in counts:
    // the measured points' colour is in the picture.
    {
      ChartContent c = ViewChartContent(*view);
      QVERIFY(c.overlay);
      QImage img(kPictureSize, QImage::Format_RGB32);
      {
        QPainter p(&img);
        DrawChartPicture(p, kPictureSize, c);
      }
      const int blue = testing::CountNear(img, c.style.observed, 8);
      QVERIFY2(blue > 500, qPrintable(QString::number(blue)));
    }

    // "Zamknij" after a fit leaves the document as it was.
    RefinementOutcome r = FitWith(f, kFitCell, /*apply=*/false);
    QVERIFY2(r.error.empty(), r.error.c_str());
    QVERIFY(std::abs(r.phases[0].cell[0] - 5.6402) < 2e-4);
    QCOMPARE(doc.cell.a, 5.6352);
    QVERIFY(!MeasuredLayerOf(*view)->model().fitted);

    // "Anuluj" stops it: nothing to apply.
    r = FitWith(f, kFitCell | kFitWidths | kFitSize, /*apply=*/true, /*cancel=*/true);
    QVERIFY(r.cancelled);
    QCOMPARE(doc.cell.a, 5.6352);

    // "Zastosuj": the cell into the document, the model into the chart, and
    // the pattern calculated again.
    r = FitWith(f, kFitCell, /*apply=*/true);
    QVERIFY(std::abs(doc.cell.a - 5.6402) < 2e-4);
    QCOMPARE(doc.cell.c, doc.cell.a);
    QVERIFY(view->document()->isModified());
    QVERIFY(MeasuredLayerOf(*view)->model().fitted && MeasuredLayerOf(*view)->model().refined());
    // One step of the history: "Cofnij" puts the cell of before the fit back.
    {
      const double refined = doc.cell.a;
      QCOMPARE(f.action(cmd::kUndo)->text(), QStringLiteral("&Cofnij dopasowanie do pomiaru\tCtrl+Z"));
      f.action(cmd::kUndo)->trigger();
      QVERIFY(doc.cell.a == 5.6352 && doc.cell.c == 5.6352);
      f.action(cmd::kRedo)->trigger();
      QVERIFY(doc.cell.a == refined && doc.cell.c == refined);
    }
    QVERIFY(std::abs(ValueOf(r, "zero") - zero) < 0.002);
    QVERIFY(std::abs(MeasuredLayerOf(*view)->model().scale - 0.5) < 0.01);
    // The measurement is the chart's grid read between its points, whose
    // peaks the refinement's own profile matches to a few percent.
    QVERIFY2(r.rwp < 8.0, qPrintable(QString::number(r.rwp)));

    // "Zapisz do aparatu": the refined widths as a set of the instrument table.
    FitWith(
        f, [](RefinementDialog* d) { d->setRefined(kFitScale | kFitZero | kFitBackground | kFitWidths); }, false, false,
        [](RefinementDialog* d) {
          QVERIFY(d->saveInstrumentButton()->isEnabled());
          d->SaveInstrument(QStringLiteral("Dopasowany NaCl"));
          // The correlation matrix: one row per value refined, symmetric.
          QVERIFY(d->correlationsButton()->isEnabled());
          CorrelationDialog table(d->outcome(), d);
          auto* grid = table.findChild<QTableWidget*>();
          QVERIFY(grid && grid->rowCount() == d->outcome().refined && grid->columnCount() == grid->rowCount());
          for (int i = 0; i < grid->rowCount(); ++i)
            for (int j = 0; j < i; ++j) QCOMPARE(grid->item(i, j)->text(), grid->item(j, i)->text());
          // Shift+click on the plot sets a background point, which takes
          // the Chebyshev terms' place; a right click on it takes it away.
          QWidget* plot = nullptr;
          for (QWidget* w : d->findChildren<QWidget*>())
            if (w->toolTip().startsWith(QStringLiteral("Shift+klik"))) plot = w;
          QVERIFY(plot);
          const QPoint middle(plot->width() / 2, plot->height() / 2);
          QTest::mouseClick(plot, Qt::LeftButton, Qt::ShiftModifier, middle);
          QCOMPARE(d->backgroundPoints().size(), size_t{1});
          QVERIFY(!d->tree()->findItems(QStringLiteral("Tło (punkty)"), Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
          QTest::mouseClick(plot, Qt::RightButton, Qt::NoModifier, middle);
          QVERIFY(d->backgroundPoints().empty());
        });
    {
      ReferenceData& ref = t.app().reference();
      const auto set = std::find_if(ref.apparatusSets.begin(), ref.apparatusSets.end(),
                                    [](const ApparatusSet& s) { return s.name == "Dopasowany NaCl"; });
      QVERIFY(set != ref.apparatusSets.end() && ref.apparatusModified);
      QVERIFY(set->u != 0.0 || set->v != 0.0 || set->w != 0.0);
      ref.apparatusSets.erase(set);
      ref.apparatusModified = false;
    }

    // A file that is no pattern is refused with the reason.
    const QString bad = dir_.path() + "/bad.xy";
    QVERIFY(testing::WriteAll(bad, "20 5\n21 -3\n22 7\n"));
    testing::BoxWatcher box;
    box.Arm();
    QVERIFY(!f.OpenMeasurement(bad));
    QVERIFY(box.seen);
    QCOMPARE(box.caption, QStringLiteral("Błąd"));
    QVERIFY(box.text.contains(QStringLiteral("Ujemna")));
    QVERIFY(MeasuredLayerOf(*view));  // the one shown stays

    f.action(cmd::kCloseMeasured)->trigger();
    QVERIFY(!view->overlay());
    QVERIFY(!f.action(cmd::kFitMeasured)->isEnabled());
    view->document()->setModified(false);

    // The structure file remembers the measurement: opened again, the chart
    // shows it; a measurement that is gone is reported and its path kept.
    CKomorka& kept = view->document()->doc();
    kept.measuredPath = QFileInfo(path).absoluteFilePath().toStdString();
    std::string error;
    QVERIFY(SaveStructureFile(kept, (dir_.path() + "/with.xml").toStdString(), &error));
    KomorkaDocument* again = f.OpenDocumentFile(dir_.path() + "/with.xml");
    QVERIFY(again && f.activeView() && f.activeView()->document() == again);
    QVERIFY(MeasuredLayerOf(*f.activeView()));
    QVERIFY(!again->isModified());
    kept.measuredPath = (dir_.path() + "/gone.xy").toStdString();
    QVERIFY(SaveStructureFile(kept, (dir_.path() + "/without.xml").toStdString(), &error));
    box.Arm();
    KomorkaDocument* missing = f.OpenDocumentFile(dir_.path() + "/without.xml");
    QVERIFY(missing && box.seen);
    QVERIFY2(box.text.contains(QStringLiteral("Nie znaleziono pomiaru")), qPrintable(box.text));
    QVERIFY(!MeasuredLayerOf(*f.activeView()));
    QCOMPARE(QString::fromStdString(missing->doc().measuredPath), dir_.path() + "/gone.xy");
  }

  // Two open documents fitted together to a measurement made here from a
  // known mixture: NaCl 25 % and Si 75 % by weight. The calculated
  // intensities carry 1 / V^2, so s_p is proportional to W_p V_p / (ZM)_p;
  // numpy with ZM = 4 (22.98977 + 35.453) and 8 * 28.0855 g/mol and V = a^3
  // (a = 5.6402 and 5.4309 A) gives the normalised scales 0.26409043 and
  // 0.73590957.
  void mixtureFitAndApply() {
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("NaCl.xml"), testing::ExampleFile("Si.xml")}, false));
    CMainFrame& f = *t.f;
    f.chartBar()->profiles()->setCurrentText(QStringLiteral("pseudo Voigt"));
    QCOMPARE(f.frames().size(), 2);
    CDownView* si = f.activeView();
    CDownView* nacl = nullptr;
    for (CChildFrame* c : f.frames())
      if (c->view() != si) nacl = c->view();
    QVERIFY(si && nacl);
    QCOMPARE(si->document()->doc().cell.a, 5.4309);
    QCOMPARE(nacl->document()->doc().cell.a, 5.6402);
    for (CDownView* v : {si, nacl}) {
      v->document()->doc().experiment.angleMin = 15.0;
      v->document()->doc().experiment.angleMax = 85.0;
      v->document()->NotifyParametersChanged();
      f.Calculate(v);
      QVERIFY(v->patternPresent());
    }
    const double mix[2] = {0.26409043, 0.73590957};  // NaCl, Si
    double top = 0.0;
    for (int i = 0; i < 3000; ++i) {
      const double tt = 20.0 + 0.02 * i;
      top = std::max(top, mix[0] * GridValueAt(nacl->grid(), tt) + mix[1] * GridValueAt(si->grid(), tt));
    }
    const double k = 20000.0 / top;
    std::string text = "# 2theta counts\n";
    for (int i = 0; i <= 3000; ++i) {
      const double tt = 20.0 + 0.02 * i;
      const double y = k * (mix[0] * GridValueAt(nacl->grid(), tt) + mix[1] * GridValueAt(si->grid(), tt)) + 150.0 +
                       0.5 * (tt - 20.0);
      text += cformat("%.4f %.4f\n", tt, y);
    }
    const QString path = dir_.path() + "/mixture.xy";
    QVERIFY(testing::WriteAll(path, QByteArray::fromStdString(text)));
    // Both cells a little off; the fit runs over 20..80 degrees.
    for (auto [v, a] : {std::pair{si, 5.4259}, std::pair{nacl, 5.6442}}) {
      CKomorka& d = v->document()->doc();
      d.cell.a = d.cell.b = d.cell.c = a;
      d.cell.RefreshCellMetric();
      d.experiment.angleMin = 20.0;
      d.experiment.angleMax = 80.0;
      v->document()->NotifyParametersChanged();
      f.Calculate(v);
      v->document()->setModified(false);
    }
    QVERIFY(f.OpenMeasurement(path));
    QCOMPARE(f.activeView(), si);
    si->document()->setModified(false);

    // Ticks the other document (listed after the active one, which is
    // always in) and fits; cancel or "Zastosuj" as asked.
    auto fitBoth = [&](bool apply, bool cancel) {
      QStringList rows;
      const auto setup = [](RefinementDialog* d) {
        QVERIFY(d->phaseBox(0)->isChecked() && !d->phaseBox(0)->isEnabled());
        QVERIFY(d->phaseBox(1) && !d->phaseBox(1)->isChecked() && !d->phaseBox(2));
        QVERIFY(d->phaseBox(1)->text().contains(QStringLiteral("NaCl")));
        d->phaseBox(1)->setChecked(true);
        d->setRefined(kFitScale | kFitZero | kFitBackground | kFitCell);
      };
      const RefinementOutcome seen = FitWith(f, setup, apply, cancel, [&rows](RefinementDialog* d) {
        for (const QString& line : d->report()->toPlainText().split('\n'))
          if (line.contains(QStringLiteral("udział wagowy"))) rows << line;
      });
      return std::pair{seen, rows};
    };
    CKomorka& dSi = si->document()->doc();
    CKomorka& dNaCl = nacl->document()->doc();

    // "Anuluj": nothing to apply, both documents as they were.
    auto [cancelled, none] = fitBoth(true, true);
    QVERIFY(cancelled.cancelled);
    QCOMPARE(dSi.cell.a, 5.4259);
    QCOMPARE(dNaCl.cell.a, 5.6442);
    QVERIFY(!si->document()->isModified() && !nacl->document()->isModified());

    // "Zastosuj": the fractions back within 1 %, each cell into its own
    // document, the chart's model the sum with a tick row per phase.
    auto [r, rows] = fitBoth(true, false);
    QVERIFY2(r.error.empty(), r.error.c_str());
    QCOMPARE(r.phases.size(), size_t(2));
    QVERIFY2(std::abs(r.phases[0].weightFraction - 0.75) < 0.01, qPrintable(QString::number(r.phases[0].weightFraction)));
    QVERIFY2(std::abs(r.phases[1].weightFraction - 0.25) < 0.01, qPrintable(QString::number(r.phases[1].weightFraction)));
    QCOMPARE(rows.size(), 2);
    QVERIFY2(rows[0].startsWith(QStringLiteral("Si")) && rows[1].startsWith(QStringLiteral("NaCl")), qPrintable(rows.join('|')));
    QVERIFY2(rows[1].contains(QString::fromStdString(WithEsd(r.phases[1].weightFraction, r.phases[1].weightFractionEsd))),
             qPrintable(rows[1]));
    QVERIFY(std::abs(dSi.cell.a - 5.4309) < 2e-4);
    QVERIFY(std::abs(dNaCl.cell.a - 5.6402) < 2e-4);
    QCOMPARE(dNaCl.cell.c, dNaCl.cell.a);
    QVERIFY(si->document()->isModified() && nacl->document()->isModified());
    // The measurement is the chart's grid read between its points, whose
    // peaks the refinement's own profile matches to a few percent.
    QVERIFY2(r.rwp < 8.0, qPrintable(QString::number(r.rwp)));
    const OverlayModel& model = MeasuredLayerOf(*si)->model();
    QVERIFY(model.fitted && model.refined());
    QVERIFY(si->overlay() && si->overlay()->ticks.size() == 2 && !si->overlay()->ticks[1].empty());
    // The model curve is the sum: the NaCl 200 peak (31.7 degrees, no Si
    // peak near) lies within 3 % of the measurement (the grid read between
    // its points, as above).
    double worst = 0.0;
    const ChartOverlay& o = *si->overlay();
    for (size_t i = 0; i < o.twoTheta.size(); ++i)
      if (std::abs(o.twoTheta[i] - 31.7) < 0.3) worst = std::max(worst, std::abs(o.difference[i]) / o.observed[i]);
    QVERIFY2(worst < 0.03, qPrintable(QString::number(worst)));
  }
};

static testing::TestClass<MeasuredTest> registered;

#include "test_measured.moc"
