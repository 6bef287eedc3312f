// A measured pattern in the program: attached from "Plik", drawn over the
// calculation with the difference and ticks (on the screen and in the
// pictures), fitted from "Eksperyment", and the document changed only by
// "Zastosuj".
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "app/ui/Application.h"
#include "app/ui/Commands.h"
#include "app/ui/MainFrame.h"
#include "diffractogram/chart/ChartPicture.h"
#include "diffractogram/ui/ChartBar.h"
#include "diffractogram/ui/ChartPrinting.h"
#include "documents/ui/KomorkaDocument.h"
#include "documents/StructureFile.h"
#include <QFileInfo>
#include "io/NumberFormat.h"
#include "measured/Overlay.h"
#include "measured/ui/FitDialog.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

class MeasuredTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

  // Runs "Dopasuj do pomiaru", ticks `extra`, fits, then presses `button`
  // ("Zastosuj", "Zamknij") or, with cancel, "Anuluj" right after "Dopasuj".
  FitResult FitWith(CMainFrame& f, unsigned extra, bool apply, bool cancel = false) {
    FitResult seen;
    testing::ModalWatcher<FitDialog> watch;
    watch.Arm([&](FitDialog* d) {
      for (unsigned what : {kFitWidths, kFitCell, kFitSize}) d->option(what)->setChecked((extra & what) != 0);
      QEventLoop loop;
      connect(d, &FitDialog::fitFinished, &loop, &QEventLoop::quit);
      d->fitButton()->click();
      if (cancel) d->cancelButton()->click();
      if (d->running()) loop.exec();
      seen = d->result();
      if (apply && d->applyButton()->isEnabled()) d->applyButton()->click();
      else d->reject();
    });
    f.action(cmd::kFitMeasured)->trigger();
    return seen;
  }

 private slots:
  void overlayFitAndApply() {
    ApplicationRun run;
    QVERIFY(StartApplication(run, {testing::ExampleFile("NaCl.xml")}, (dir_.path() + "/P.conf").toStdString()));
    CMainFrame& f = *run.frame;
    f.chartBar()->profiles()->setCurrentText(QStringLiteral("pseudo Voigt"));
    f.action(cmd::kCalculate)->trigger();
    CDownView* view = f.activeView();
    QVERIFY(view && view->patternPresent());
    QVERIFY(!f.action(cmd::kFitMeasured)->isEnabled());

    // A measurement of this structure: 0.5 I(t - 0.03) + 40 counts.
    const double zero = 0.03;
    std::string text = "# 2theta counts\n";
    for (int i = 0; i <= 3000; ++i) {
      const double t = 20.0 + 0.02 * i;
      text += cformat("%.4f %.3f\n", t, 0.5 * GridValueAt(view->grid(), t - zero) + 40.0);
    }
    const QString path = dir_.path() + "/nacl.xy";
    {
      QFile out(path);
      QVERIFY(out.open(QIODevice::WriteOnly));
      out.write(text.data(), static_cast<qint64>(text.size()));
    }
    // The document's cell a little off, calculated again.
    CKomorka& doc = view->document()->doc();
    doc.a = doc.b = doc.c = 5.6352;
    doc.RefreshCellMetric();
    view->document()->NotifyParametersChanged();
    f.action(cmd::kCalculate)->trigger();

    QVERIFY(f.OpenMeasurement(path));
    QVERIFY(view->measured() && view->overlay());
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
      int blue = 0;
      const QColor want = c.style.observed;
      for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
          const QColor px = img.pixelColor(x, y);
          if (std::abs(px.red() - want.red()) < 8 && std::abs(px.green() - want.green()) < 8 &&
              std::abs(px.blue() - want.blue()) < 8)
            ++blue;
        }
      QVERIFY2(blue > 500, qPrintable(QString::number(blue)));
    }

    // "Zamknij" after a fit leaves the document as it was.
    FitResult r = FitWith(f, kFitCell, /*apply=*/false);
    QVERIFY2(r.error.empty(), r.error.c_str());
    QVERIFY(std::abs(r.phases[0].cell[0] - 5.6402) < 2e-4);
    QCOMPARE(doc.a, 5.6352);
    QVERIFY(!view->overlayModel().fitted);

    // "Anuluj" stops it: nothing to apply.
    r = FitWith(f, kFitCell | kFitWidths | kFitSize, /*apply=*/true, /*cancel=*/true);
    QVERIFY(r.cancelled);
    QCOMPARE(doc.a, 5.6352);

    // "Zastosuj": the cell into the document, the model into the chart, and
    // the pattern calculated again.
    r = FitWith(f, kFitCell, /*apply=*/true);
    QVERIFY(std::abs(doc.a - 5.6402) < 2e-4);
    QCOMPARE(doc.c, doc.a);
    QVERIFY(view->document()->isModified());
    QVERIFY(view->overlayModel().fitted);
    QVERIFY(std::abs(view->overlayModel().zero - zero) < 0.002);
    QVERIFY(std::abs(view->overlayModel().scale - 0.5) < 0.01);
    QVERIFY(r.rwp < 1.0);

    // A file that is no pattern is refused with the reason.
    const QString bad = dir_.path() + "/bad.xy";
    {
      QFile out(bad);
      QVERIFY(out.open(QIODevice::WriteOnly));
      out.write("20 5\n21 -3\n22 7\n");
    }
    testing::BoxWatcher box;
    box.Arm();
    QVERIFY(!f.OpenMeasurement(bad));
    QVERIFY(box.seen);
    QCOMPARE(box.caption, QStringLiteral("Błąd"));
    QVERIFY(box.text.contains(QStringLiteral("Ujemna")));
    QVERIFY(view->measured());  // the one shown stays

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
    QVERIFY(f.activeView()->measured());
    QVERIFY(!again->isModified());
    kept.measuredPath = (dir_.path() + "/gone.xy").toStdString();
    QVERIFY(SaveStructureFile(kept, (dir_.path() + "/without.xml").toStdString(), &error));
    box.Arm();
    KomorkaDocument* missing = f.OpenDocumentFile(dir_.path() + "/without.xml");
    QVERIFY(missing && box.seen);
    QVERIFY2(box.text.contains(QStringLiteral("Nie znaleziono pomiaru")), qPrintable(box.text));
    QVERIFY(!f.activeView()->measured());
    QCOMPARE(QString::fromStdString(missing->doc().measuredPath), dir_.path() + "/gone.xy");
    for (CChildFrame* c : f.frames()) c->document()->setModified(false);
    FinishApplication(run);
  }
};

QObject* MakeMeasuredTest() { return new MeasuredTest; }

#include "test_measured.moc"
