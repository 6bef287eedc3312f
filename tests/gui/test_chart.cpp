// The chart's drawing rules that a picture alone would hide: clipping of the
// curve into runs, the placing of reflection labels and how their texts are drawn.
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QPaintEngine>
#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <tuple>
#include <random>

#include "diffractogram/PatternGrid.h"
#include "diffractogram/chart/ChartPainter.h"
#include "diffractogram/chart/LabelText.h"
#include "tests/gui/GuiTestSupport.h"

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

bool Meet(const LabelRect& a, const LabelRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The label places by the drawing rules, the slow way: visit from the last
// reflection, start 10 right of the dot and 32 above it (10 from the top when
// that is off the plot), shift left at the right edge, then climb by 5 while
// the label meets a label placed in this drawing of a described reflection
// found under it (or as far to the left as a label can reach); a climb out of
// the plot keeps the first place. Sizes are the drawn ones: only places are
// checked here.
struct Places {
  std::vector<LabelRect> rects;
  int climbed = 0, kept = 0;  // labels that climbed; labels kept in place with every step taken
};

Places ReferencePlaces(const std::vector<Reflection>& refl, const std::vector<LabelRect>& drawn, const ChartSeries& s,
                       const ChartRanges& r, int w, int h, int scale, const DescriptionFlags& desc) {
  const double dx = r.x1 - r.x0, dy = r.y1 - r.y0;
  Places result;
  std::vector<LabelRect>& out = result.rects;
  out.resize(refl.size());
  std::vector<bool> blocks(refl.size(), false);
  int widest = 0;
  for (int i = static_cast<int>(refl.size()) - 1; i >= 0; --i) {
    const Reflection& f = refl[i];
    const bool ownLine = (f.line == 1 && desc.ka1) || (f.line == 2 && desc.ka2);
    if (f.nonZero == 0 || !(ownLine || (f.line != 1 && f.line != 2))) continue;
    const double tt = TwoThetaDegrees(f);
    if (tt < r.x0 || tt > r.x1) continue;
    const double q = tt / s.step;
    const int g = static_cast<int>(q - std::floor(q) > 0.5 ? std::ceil(q) : std::floor(q));
    const int px = static_cast<int>((s.points[g].twoTheta - r.x0) * w / dx);
    const double pct = s.points[g].intensity * 100.0 / s.maximum;
    const int py = std::clamp((h - 1) - static_cast<int>((pct - r.y0) * h / dy), 0, h);
    const int lw = drawn[i].right - drawn[i].left, lh = drawn[i].bottom - drawn[i].top;
    LabelRect box;
    box.left = std::min(px + 10 * scale, w - lw);
    box.right = box.left + lw;
    const int first = py - 32 * scale >= 0 ? py - 32 * scale : 10 * scale;
    const auto [lo, hi] = ReflectionRange(refl, r.x0 + (box.left - 10 * scale - widest) * dx / w,
                                          r.x0 + box.right * dx / w);
    for (int top = first;; top -= 5 * scale) {
      if (top < 0) {
        box.top = first;
        ++result.kept;
        break;
      }
      box.top = top;
      box.bottom = top + lh;
      bool meets = false;
      for (int j = std::max(lo, i + 1); lo >= 0 && j <= hi && !meets; ++j) meets = blocks[j] && Meet(box, out[j]);
      if (!meets) break;
    }
    box.bottom = box.top + lh;
    result.climbed += box.top != first;
    out[i] = box;
    blocks[i] = f.nonZero != 0 && ownLine;
    widest = std::max(widest, lw);
  }
  return result;
}

ChartSeries Series(const PatternGrid& g) { return {g.points(), PatternGrid::size(), g.maximum, kPatternStep}; }

DescriptionFlags Described(bool ka2 = true) {
  DescriptionFlags desc;
  desc.on = true;
  desc.ka2 = ka2;
  return desc;
}

// The curve and its labels drawn on a white picture, `scale` device pixels
// to a screen pixel.
void Draw(QImage& img, int w, int h, QPoint origin, const ChartSeries& s, const ChartRanges& r, int scale,
          const DescriptionFlags& desc, std::vector<Reflection>* refl) {
  ChartStyle style;
  style.sx = style.sy = scale;
  img.fill(Qt::white);
  QPainter p(&img);
  DrawCurve(p, w, h, origin, s, r, style, desc, refl);
}

// Draws the labels, then works their places out by the rules.
struct Outcome {
  std::vector<Reflection> drawn;
  Places expected;
  QString mismatch;  // the first label out of place
};

Outcome DrawAndWorkOut(const std::vector<Reflection>& refl, const ChartSeries& s, const ChartRanges& r, int w, int h,
                       int scale, bool ka2) {
  const DescriptionFlags desc = Described(ka2);
  QImage img(w, h, QImage::Format_RGB32);
  Outcome o{refl, {}, {}};
  Draw(img, w, h, {0, 0}, s, r, scale, desc, &o.drawn);
  std::vector<LabelRect> sizes;
  for (const Reflection& f : o.drawn) sizes.push_back(f.labelRect);
  o.expected = ReferencePlaces(refl, sizes, s, r, w, h, scale, desc);
  for (size_t i = 0; i < refl.size() && o.mismatch.isEmpty(); ++i) {
    const LabelRect &a = o.drawn[i].labelRect, &e = o.expected.rects[i];
    if (a.left != e.left || a.top != e.top || a.right != e.right || a.bottom != e.bottom)
      o.mismatch = QStringLiteral("%1 x %2 from %3: reflection %4 at (%5, %6) instead of (%7, %8)")
                       .arg(w).arg(h).arg(r.x0).arg(i).arg(a.left).arg(a.top).arg(e.left).arg(e.top);
  }
  return o;
}

// A paint device that keeps the lines and texts drawn on it, in device
// coordinates, so that where the axes put them can be read back exactly.
class RecordingEngine : public QPaintEngine {
 public:
  struct Text {
    QPointF baseline;  // left end of the base line
    QString text;
    QFont font;
  };
  std::vector<QLineF> lines;
  std::vector<Text> texts;

  RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
  bool begin(QPaintDevice*) override { return true; }
  bool end() override { return true; }
  void updateState(const QPaintEngineState& state) override {
    if (state.state() & QPaintEngine::DirtyTransform) transform_ = state.transform();
  }
  void drawLines(const QLineF* l, int n) override {
    for (int i = 0; i < n; ++i) lines.push_back(transform_.map(l[i]));
  }
  void drawLines(const QLine* l, int n) override {
    for (int i = 0; i < n; ++i) lines.push_back(transform_.map(QLineF(l[i])));
  }
  void drawTextItem(const QPointF& p, const QTextItem& item) override {
    texts.push_back({transform_.map(p), item.text(), item.font()});
  }
  void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
  // The frame and fills are not looked at.
  void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
  void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}
  void drawPath(const QPainterPath&) override {}
  Type type() const override { return QPaintEngine::User; }

 private:
  QTransform transform_;
};

class RecordingDevice : public QPaintDevice {
 public:
  mutable RecordingEngine engine;
  QPaintEngine* paintEngine() const override { return &engine; }

 protected:
  int metric(PaintDeviceMetric m) const override {
    switch (m) {
      case PdmWidth: return 3000;
      case PdmHeight: return 2400;
      case PdmWidthMM: return 794;
      case PdmHeightMM: return 635;
      case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 96;
      case PdmDepth: return 32;
      case PdmNumColors: return INT_MAX;
      case PdmDevicePixelRatio: return 1;
      case PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
      default: return 0;
    }
  }
};

// Nearest integer, an exact half going down.
int RoundDown5(double v) {
  const double f = std::floor(v);
  return static_cast<int>(v - f > 0.5 ? std::ceil(v) : f);
}

}  // namespace

class ChartTest : public QObject {
  Q_OBJECT
 private slots:
  void labelsLookTheSameHoweverTheyAreDrawn() {
    // Label texts placed glyph by glyph land where the laid-out text does.
    const int values[][3] = {{1, 1, 1}, {-12, 0, 305}, {0, 0, 0}, {10, -10, 999}, {4, 7, 2}};
    for (int scale : {1, 2, 3}) {
      const QFont font = ChartFont(QStringLiteral("Tahoma"), 12 * scale, 400);
      QImage placed(120 * scale, 100 * scale, QImage::Format_RGB32), laidOut = placed;
      placed.fill(Qt::white);
      laidOut.fill(Qt::white);
      {
        QPainter a(&placed), b(&laidOut);
        a.setFont(font);
        b.setFont(font);
        LabelText text(a);
        QVERIFY(text.placesGlyphs());
        for (int i = 0; i < 5; ++i) {
          const QPoint baseline(3 * scale, (i + 1) * 18 * scale);
          text.Draw(a, baseline, values[i]);
          b.drawText(baseline, QStringLiteral("%1 %2 %3")
                                   .arg(std::abs(values[i][0]))
                                   .arg(std::abs(values[i][1]))
                                   .arg(std::abs(values[i][2])));
        }
      }
      QVERIFY2(placed == laidOut, qPrintable(QStringLiteral("scale %1").arg(scale)));
    }
    // An SVG keeps the text itself.
    QBuffer svgBytes;
    QSvgGenerator svg;
    svg.setOutputDevice(&svgBytes);
    svg.setSize(QSize(200, 50));
    {
      QPainter p(&svg);
      p.setFont(ChartFont(QStringLiteral("Tahoma"), 12, 400));
      LabelText text(p);
      QVERIFY(!text.placesGlyphs());
      text.Draw(p, {5, 20}, values[1]);
    }
    QVERIFY(svgBytes.data().contains(">12 0 305<"));

    // The chart drawn at an offset (as on a page, with its axes beside it) is
    // the chart drawn at the corner, moved: labels and all.
    PatternGrid grid;
    grid[static_cast<int>(30.0 / kPatternStep)].intensity = 100.0;
    grid[static_cast<int>(32.0 / kPatternStep)].intensity = 40.0;
    grid.maximum = 100.0;
    const int w = 300, h = 200;
    std::vector<Reflection> refl{At(30.0, -1, 1, 1), At(30.0, 2, 0, 0, 2), At(32.0, 2, 2, 0)};
    QImage corner(w + 1, h + 1, QImage::Format_RGB32), moved(w + 40, h + 30, QImage::Format_RGB32);
    Draw(corner, w, h, {0, 0}, Series(grid), {25.0, 35.0, 0.0, 100.0}, 1, Described(), &refl);
    Draw(moved, w, h, {31, 17}, Series(grid), {25.0, 35.0, 0.0, 100.0}, 1, Described(), &refl);
    QCOMPARE(moved.copy(31, 17, w + 1, h + 1), corner);
  }

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

  void crowdedLabelsStandWhereTheRulesPutThem() {
    // Four hundred reflections on a small plot: labels climb, pile up where
    // no step is free, shift at the right edge, and (zoomed in) many share a
    // grid point, so that the dot stands right of reflections found under
    // the label. Every place must match the rules worked out one by one.
    std::mt19937 random(13);
    std::uniform_real_distribution<double> angle(20.0, 40.0), height(0.0, 100.0);
    std::uniform_int_distribution<int> index(-12, 12), kind(0, 19);
    PatternGrid grid;
    std::vector<Reflection> refl;
    for (int i = 0; i < 400; ++i) {
      const int k = kind(random);
      // Mostly the two lines, a few of neither and a few without intensity.
      const double a = angle(random);
      Reflection f = At(i < 60 ? 29.95 + a / 200.0 : i < 120 ? 30.08 + a / 1000.0 : a, index(random), index(random),
                        index(random), k < 9 ? 1 : k < 18 ? 2 : 3);
      f.nonZero = k == 19 ? 0 : 1;
      refl.push_back(f);
      grid[static_cast<int>(TwoThetaDegrees(f) / kPatternStep + 0.5)].intensity = height(random);
    }
    std::sort(refl.begin(), refl.end(), ReflectionBefore);
    grid.maximum = 100.0;
    struct Case {
      ChartRanges r;
      int w, h, scale;
      bool ka2;
    };
    const Case cases[] = {{{20.0, 40.0, 0.0, 100.0}, 400, 300, 1, true},
                          {{20.0, 40.0, 0.0, 100.0}, 400, 300, 1, false},
                          {{20.0, 40.0, 20.0, 60.0}, 700, 240, 2, true},
                          {{29.95, 30.15, 0.0, 100.0}, 400, 300, 1, true},
                          {{30.10, 30.115, 0.0, 100.0}, 400, 300, 1, true}};
    int climbed = 0, kept = 0, shifted = 0;
    for (const Case& c : cases) {
      const Outcome o = DrawAndWorkOut(refl, Series(grid), c.r, c.w, c.h, c.scale, c.ka2);
      QVERIFY2(o.mismatch.isEmpty(), qPrintable(o.mismatch));
      climbed += o.expected.climbed;
      kept += o.expected.kept;
      for (const Reflection& f : o.drawn) shifted += f.labelRect.right == c.w;
    }
    // The case must keep exercising every rule.
    QVERIFY(climbed > 50);
    QVERIFY(kept > 20);
    QVERIFY(shifted > 3);

    // Zoomed in so far that the grid point lies 80 pixels right of the
    // reflections drawn on it: the label of the second is looked up from
    // its own dot, finds only the last reflection and sits beside the third
    // one's label, though the two meet.
    PatternGrid one;
    one[static_cast<int>(30.105 / kPatternStep + 0.5)].intensity = 50.0;
    one.maximum = 100.0;
    const std::vector<Reflection> near{At(30.1040, 1, 1, 1), At(30.1041, 2, 1, 1), At(30.1042, 3, 1, 1),
                                       At(30.1050, 4, 1, 1)};
    const Outcome o = DrawAndWorkOut(near, Series(one), {30.10, 30.11, 0.0, 100.0}, 400, 300, 1, true);
    QVERIFY2(o.mismatch.isEmpty(), qPrintable(o.mismatch));
    QCOMPARE(o.drawn[1].labelRect.top, o.drawn[2].labelRect.top);
    QVERIFY(o.drawn[2].labelRect.top < o.drawn[3].labelRect.top);
  }

  void dotsSitOnTheDrawnPointAndOverbarsKeepClearOfTheDigits() {
    // A stick 0.7 of a step above a grid point stands on the next point:
    // the dot (and so the label) must be there, not on the empty point below.
    PatternGrid grid;
    grid[static_cast<int>(30.0 / kPatternStep) + 1].intensity = 50.0;
    grid.maximum = 100.0;
    for (int scale : {1, 2, 3}) {
      QImage img(400 * scale, 300 * scale, QImage::Format_RGB32);
      const int w = img.width(), h = img.height();
      std::vector<Reflection> refl{At(30.0 + 0.7 * kPatternStep, -1, 1, 0)};
      Draw(img, w, h, {0, 0}, Series(grid), {29.9, 30.1, 0.0, 100.0}, scale, Described(), &refl);
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
  // The intensity axis: each tick at its own row with its own length, each
  // label right-aligned against the tick and centred on its row, with the
  // value and the decimals of its window, on the screen and at a printer's
  // scale. Ticks stand at multiples of a tenth of the round step (1, 2 or 5
  // x 10^n, about a tenth of the window), labels at whole steps.
  void intensityTicksAndLabelsStandOnTheirRows() {
    struct Case {
      int sx, sy;
      double y0, y1, step;
      const char* format;
      TickFlags ticks;
    } cases[] = {
        {1, 1, 0.0, 100.0, 10.0, "%.0f", {false, false, false, true, true, true}},
        {2, 3, 20.0, 25.0, 0.5, "%.1f", {false, false, false, true, true, false}},
        // Without major ticks every fifth position takes a medium one.
        {1, 1, 0.0, 100.0, 10.0, "%.0f", {false, false, false, false, true, true}},
        // A window off the round numbers: 5, 10, ... 40 labelled.
        {1, 1, 3.0, 41.0, 5.0, "%.0f", {false, false, false, true, true, true}},
    };
    for (const Case& c : cases) {
      RecordingDevice dev;
      ChartStyle style;
      style.sx = c.sx;
      style.sy = c.sy;
      const ChartRect chart{100 * c.sx, 20 * c.sy, 100 * c.sx + 900, 20 * c.sy + 613};
      {
        QPainter p(&dev);
        DrawAxes(p, chart, {10.0, 150.0, c.y0, c.y1}, c.ticks, style);
      }
      const QString where = QStringLiteral("scale %1x%2, window %3-%4").arg(c.sx).arg(c.sy).arg(c.y0).arg(c.y1);
      // Angle ticks are off: every line drawn is an intensity tick.
      std::multiset<std::tuple<int, int, int, int>> drawn, expected;
      for (const QLineF& l : dev.engine.lines) {
        const QLineF n = l.x1() <= l.x2() ? l : QLineF(l.p2(), l.p1());
        drawn.insert({qRound(n.x1()), qRound(n.y1()), qRound(n.x2()), qRound(n.y2())});
      }
      const int inner = chart.height() - 30 * c.sy;
      std::vector<std::pair<int, QString>> labels;  // row, text
      const double tenth = c.step / 10.0;
      for (int i = static_cast<int>(std::ceil(c.y0 / tenth - 1e-9)); i <= static_cast<int>(std::floor(c.y1 / tenth + 1e-9)); ++i) {
        const double v = i * tenth;
        const int rise = RoundDown5((v - c.y0) / (c.y1 - c.y0) * inner);
        const int row = chart.bottom - 15 * c.sy - rise;
        int len = 0;
        if (c.ticks[3] && i % 10 == 0) {
          len = rise == inner ? 8 : 9;
          labels.push_back({row, QString::asprintf(c.format, v)});
        } else if (c.ticks[4] && i % 5 == 0) {
          len = 6;
        } else if (c.ticks[5]) {
          len = 4;
        }
        if (len) expected.insert({chart.left - len * c.sx, row, chart.left, row});
      }
      QVERIFY2(drawn == expected, qPrintable(QStringLiteral("%1: %2 lines, %3 expected").arg(where).arg(drawn.size()).arg(expected.size())));

      // The numbers among the texts are the labels, from the bottom up.
      std::vector<RecordingEngine::Text> numbers;
      for (const auto& t : dev.engine.texts) {
        bool ok = false;
        t.text.trimmed().toDouble(&ok);
        if (ok) numbers.push_back(t);
      }
      std::sort(numbers.begin(), numbers.end(), [](const auto& a, const auto& b) { return a.baseline.y() > b.baseline.y(); });
      QCOMPARE(numbers.size(), labels.size());
      for (size_t k = 0; k < labels.size(); ++k) {
        const auto& t = numbers[k];
        const QFontMetricsF fm(t.font, &dev);
        QCOMPARE(t.text.trimmed(), labels[k].second);
        // Right end 10 sx left of the axis; the line's middle on the tick's row.
        const double right = t.baseline.x() + fm.horizontalAdvance(t.text);
        const double middle = t.baseline.y() - fm.ascent() + fm.height() / 2.0;
        QVERIFY2(std::abs(right - (chart.left - 10 * c.sx)) <= 1.5,
                 qPrintable(QStringLiteral("%1: label %2 ends at %3").arg(where, t.text).arg(right)));
        QVERIFY2(std::abs(middle - labels[k].first) <= 1.5,
                 qPrintable(QStringLiteral("%1: label %2 centred on %3, tick at %4").arg(where, t.text).arg(middle).arg(labels[k].first)));
      }
    }
  }
  // The angle axis in d or Q: the labels are round values of d or Q, each
  // centred at the 2-theta Bragg's law gives it (lambda = 1.54056 Å), none
  // at 0 degrees for d; without a wavelength the axis stays in 2-theta, at
  // round angles.
  void angleLabelsInDAndQ() {
    struct Case {
      XAxisUnit unit;
      double wavelength, x0;
      QStringList labels;
      QString title, units;
    } cases[] = {
        {XAxisUnit::D, 1.54056, 10.0, {"5", "2", "1.5", "1.2", "1.0", "0.9", "0.85", "0.80"}, "d", "[Å]"},
        {XAxisUnit::Q, 1.54056, 10.0, {"1", "2", "3", "4", "5", "6", "7", "7.5"}, "Q", "[Å⁻¹]"},
        {XAxisUnit::D, 1.54056, 0.0, {"5", "2", "1.5", "1.2", "1.0", "0.9", "0.85"}, "d", "[Å]"},
        {XAxisUnit::Q, 0.0, 10.0, {"20", "40", "60", "80", "100", "120", "140"}, "2θ", "[st.]"},
    };
    for (const Case& c : cases) {
      RecordingDevice dev;
      ChartStyle style;
      style.xAxis = c.unit;
      style.wavelength = c.wavelength;
      {
        QPainter p(&dev);
        DrawAxes(p, {100, 20, 1000, 633}, {c.x0, c.x0 + 140.0, 0.0, 100.0}, {true, false, false, false, false, false},
                 style);
      }
      std::vector<RecordingEngine::Text> numbers;
      QStringList words;
      for (const auto& t : dev.engine.texts) {
        bool ok = false;
        t.text.trimmed().toDouble(&ok);
        if (ok) numbers.push_back(t);
        else words << t.text;
      }
      std::sort(numbers.begin(), numbers.end(), [](const auto& a, const auto& b) { return a.baseline.x() < b.baseline.x(); });
      QStringList got;
      for (const auto& t : numbers) got << t.text.trimmed();
      QCOMPARE(got, c.labels);
      for (const auto& t : numbers) {
        const double v = t.text.trimmed().toDouble();
        const double lambda = c.wavelength;
        const double tth = c.unit == XAxisUnit::TwoTheta || lambda <= 0.0 ? v
                           : c.unit == XAxisUnit::D ? 2.0 * std::asin(lambda / (2.0 * v)) * 180.0 / M_PI
                                                    : 2.0 * std::asin(v * lambda / (4.0 * M_PI)) * 180.0 / M_PI;
        const double centre = t.baseline.x() + QFontMetricsF(t.font, &dev).horizontalAdvance(t.text) / 2.0;
        QVERIFY2(std::abs(centre - (100.0 + 900.0 * (tth - c.x0) / 140.0)) <= 1.5,
                 qPrintable(QStringLiteral("%1 centred at %2").arg(t.text).arg(centre)));
      }
      QVERIFY2(words.contains(c.title) && words.contains(c.units), qPrintable(words.join(QLatin1Char('|'))));
    }
  }
};

static testing::TestClass<ChartTest> registered;

#include "test_chart.moc"
