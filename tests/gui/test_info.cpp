// The pseudo-Voigt info window: opened by the chart bar's "Info", one row per
// peak of the last synthesis with that profile, figures with a decimal point
// whatever the locale.
#include <QComboBox>
#include <QTableView>
#include <clocale>
#include <string>

#include "diffractogram/ui/ChartBar.h"
#include "diffractogram/ui/InfoPseudoVoigt.h"
#include "io/NumberFormat.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

namespace {

QString Cell(QTableView* t, int row, int col) { return t->model()->index(row, col).data().toString(); }
int Rows(QTableView* t) { return t->model()->rowCount(); }

}  // namespace

class InfoTest : public QObject {
  Q_OBJECT
 private slots:
  void listsThePeaksOfTheLastSynthesis() {
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("NaCl.xml")}, false));
    CMainFrame& f = *t.f;
    f.chartBar()->profiles()->setCurrentText(QStringLiteral("pseudo Voigt"));
    QAction* info = f.chartBar()->infoButton();
    CKomorka& doc = f.activeView()->document()->doc();
    std::vector<const Reflection*> peaks;
    auto check = [&](InfoPseudoVoigt* d) {
      QTableView* t = d->list();
      QCOMPARE(Rows(t), int(peaks.size()));
      const int last = Rows(t) - 1;
      for (int row : {0, last / 2, last}) {
        const Reflection& r = *peaks[row];
        QCOMPARE(Cell(t, row, 1), QString::number(r.h));
        QCOMPARE(Cell(t, row, 3), QString::number(r.l));
        QCOMPARE(Cell(t, row, 5), QString::fromStdString(cformat("%.4f", TwoThetaDegrees(r.theta))));
        // The width in the list is the one the synthesis used for the peak.
        QCOMPARE(Cell(t, row, 6), QString::fromStdString(cformat("%.6f", r.fwhm)));
      }
      d->accept();
    };
    // Twice, the second time over fewer peaks: a new calculation replaces
    // the rows, and the window shows the new list when it opens again.
    for (double angleMax : {doc.experiment.angleMax, 90.0}) {
      doc.experiment.angleMax = angleMax;
      f.action(cmd::kCalculate)->trigger();
      // The peaks synthesised: every reflection with a non-zero structure
      // factor on a line that has a wavelength, in list order.
      peaks.clear();
      for (const Reflection& r : doc.results.reflectionsAll)
        if (r.nonZero && (r.line == 2 ? doc.experiment.lambda2 : doc.experiment.lambda1) >= 0.0001) peaks.push_back(&r);
      QVERIFY(peaks.size() > 5);
      testing::ModalWatcher<InfoPseudoVoigt> watch;
      watch.Arm(check);
      info->trigger();
      QVERIFY(watch.seen);
    }
  }

  void figuresKeepTheirDecimalPoint() {
    const std::string old = std::setlocale(LC_ALL, nullptr);
    const bool comma = std::setlocale(LC_ALL, "pl_PL.UTF-8") != nullptr;
    PseudoVoigtInfo r;
    r.h = -1, r.k = 10, r.l = 3;
    r.twoThetaRad = 0.5;
    r.lambda = 1.540562;
    r.H = 0.1234567;
    r.eta = 0.5;
    r.GsCos = 123.456789;  // wider than its column's usual figures
    std::vector<PseudoVoigtInfo> records{r};
    InfoPseudoVoigt d(records);
    QTableView* t = d.list();
    std::setlocale(LC_ALL, old.c_str());
    if (!comma) qWarning("pl_PL.UTF-8 not installed: checked under the C locale only");
    QCOMPARE(Rows(t), 1);
    QCOMPARE(Cell(t, 0, 1), QStringLiteral("-1"));
    QCOMPARE(Cell(t, 0, 4), QStringLiteral("1.54056"));
    QCOMPARE(Cell(t, 0, 5), QStringLiteral("28.6479"));
    QCOMPARE(Cell(t, 0, 6), QStringLiteral("0.123457"));
    QCOMPARE(Cell(t, 0, 11), QStringLiteral("123.456789"));
    // No figure is cut off by its column.
    for (int col = 0; col < t->model()->columnCount(); ++col)
      QVERIFY(t->fontMetrics().horizontalAdvance(Cell(t, 0, col)) < t->columnWidth(col));
  }
};

static testing::TestClass<InfoTest> registered;

#include "test_info.moc"
