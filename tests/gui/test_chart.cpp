// The chart's drawing rules that a picture alone would hide: clipping of the
// curve into runs and the placing of reflection labels.
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTest>

#include "diffractogram/PatternGrid.h"
#include "diffractogram/chart/ChartPainter.h"

using namespace pelmora;

namespace {

Reflection At(double twoTheta, int h, int k, int l, int line = 1) {
  Reflection r;
  r.theta = ThetaOfTwoTheta(twoTheta);
  r.h = h, r.k = k, r.l = l;
  r.nonZero = 1;
  r.line = static_cast<std::uint8_t>(line);
  return r;
}

QRect Q(const LabelRect& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)); }

}  // namespace

class ChartTest : public QObject {
  Q_OBJECT
 private slots:
  void curveLeavingTheTopIsCutIntoRuns() {
    // Up through the top edge and back: two runs, nothing along the edge.
    const auto runs = ClipRuns({{0, 50}, {10, -50}, {20, 50}}, 100, 100);
    QCOMPARE(runs.size(), size_t(2));
    QCOMPARE(runs[0].back(), QPointF(5, 0));
    QCOMPARE(runs[1].front(), QPointF(15, 0));
    // Across the left edge: cut at the edge, one run.
    const auto left = ClipRuns({{-10, 50}, {10, 50}, {20, 60}}, 100, 100);
    QCOMPARE(left.size(), size_t(1));
    QCOMPARE(left[0].front(), QPointF(0, 50));
    QCOMPARE(left[0].size(), size_t(3));
  }

  void labelsClimbPastEachOtherAndStayInsideThePlot() {
    PatternGrid grid;
    const int peak = static_cast<int>(30.0 / kPatternStep);
    grid[peak].intensity = 50.0;  // half-way up
    grid.maximum = 100.0;
    const ChartSeries s{grid.points(), PatternGrid::size(), grid.maximum, kPatternStep};
    DescriptionFlags desc;
    desc.on = true;
    QImage img(400, 300, QImage::Format_RGB32);
    const auto draw = [&](std::vector<Reflection>& refl) {
      QPainter p(&img);
      DrawCurve(p, 400, 300, {0, 0}, s, {20.0, 40.0, 0.0, 100.0}, ChartStyle{}, desc, &refl);
    };
    // All three nearer to the peak's grid point than to the next one.
    std::vector<Reflection> refl{At(30.0 + 0.0005, 1, 1, 1), At(30.0 + 0.001, -1, 1, 0), At(30.0 + 0.0015, 2, 0, 0, 2)};
    draw(refl);
    // Visited from the last: each later-placed label climbs above the others.
    for (int i = 0; i < 3; ++i)
      for (int j = i + 1; j < 3; ++j) QVERIFY(!Q(refl[i].labelRect).intersects(Q(refl[j].labelRect)));
    QVERIFY(refl[0].labelRect.top < refl[1].labelRect.top);
    QVERIFY(refl[1].labelRect.top < refl[2].labelRect.top);
    for (const Reflection& r : refl) QVERIFY(r.labelRect.top >= 0 && r.labelRect.right <= 400);

    // Without Ka2 descriptions the Ka2 line gets no label and takes no room.
    desc.ka2 = false;
    std::vector<Reflection> two = refl;
    for (Reflection& r : two) r.labelRect = {};
    draw(two);
    QCOMPARE(two[2].labelRect.right, 0);
    QCOMPARE(two[1].labelRect.top, refl[2].labelRect.top);

    // A peak at the top leaves no room to climb: both labels keep their first place.
    grid[peak].intensity = 100.0;
    std::vector<Reflection> crowded{At(30.001, 1, 1, 1), At(30.002, 2, 2, 2)};
    draw(crowded);
    QCOMPARE(crowded[0].labelRect.top, 10);  // py - 32 < 0 gives 10, and it cannot climb
    QCOMPARE(crowded[1].labelRect.top, 10);
  }

  void dotsSitOnTheDrawnPointAndOverbarsKeepClearOfTheDigits() {
    // A stick 0.7 of a step above a grid point stands on the next point:
    // the dot (and so the label) must be there, not on the empty point below.
    PatternGrid grid;
    const double tt = 30.0 + 0.7 * kPatternStep;
    const int nearest = static_cast<int>(30.0 / kPatternStep) + 1;
    grid[nearest].intensity = 50.0;
    grid.maximum = 100.0;
    const ChartSeries s{grid.points(), PatternGrid::size(), grid.maximum, kPatternStep};
    DescriptionFlags desc;
    desc.on = true;
    for (int scale : {1, 2, 3}) {
      QImage img(400 * scale, 300 * scale, QImage::Format_RGB32);
      const int w = img.width(), h = img.height();
      std::vector<Reflection> refl{At(tt, -1, 1, 0)};
      ChartStyle style;
      style.sx = style.sy = scale;
      {
        QPainter p(&img);
        DrawCurve(p, w, h, {0, 0}, s, {29.9, 30.1, 0.0, 100.0}, style, desc, &refl);
      }
      const int py = (h - 1) - static_cast<int>(50.0 * h / 100.0);
      QCOMPARE(refl[0].labelRect.top, py - 32 * scale);
      // Rows of the first number's cell, from the label's top: ink of the bar,
      // then at least one clear row, then the digit.
      const LabelRect& r = refl[0].labelRect;
      const int cellLeft = r.left + scale, cellRight = r.left + (r.right - r.left) / 4;
      QString rows;
      for (int y = r.top; y < r.bottom; ++y) {
        bool ink = false;
        for (int x = cellLeft; x < cellRight; ++x) ink = ink || QColor(img.pixel(x, y)).lightness() < 230;
        rows += ink ? QLatin1Char('#') : QLatin1Char('.');
      }
      QVERIFY2(QRegularExpression(QStringLiteral("^\\.*#+\\.+#")).match(rows).hasMatch(), qPrintable(rows));
    }
  }
};

QObject* MakeChartTest() { return new ChartTest; }

#include "test_chart.moc"
