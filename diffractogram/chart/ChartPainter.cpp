#include "diffractogram/chart/ChartPainter.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QPaintEngine>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "diffractogram/AxisTicks.h"
#include "diffractogram/ZoomState.h"
#include "diffractogram/chart/LabelText.h"
#include "io/NumberFormat.h"
#include "engine/Rounding.h"

namespace pelmora {

QColor ColorFromBgr(std::uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

std::uint32_t BgrFromColor(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
         (static_cast<std::uint32_t>(c.blue()) << 16);
}

QFont ChartFont(const QString& family, int cellHeight, int weight) {
  QFont f(family);
  f.setStyleHint(QFont::SansSerif);
  f.setFamilies({family, QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
  // The layout gives whole character cells; a sans-serif cell is about
  // 1.16 em, so this keeps the texts inside the space they were given.
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(cellHeight / 1.16))));
  f.setWeight(static_cast<QFont::Weight>(weight));
  return f;
}

ChartRect PlotRect(const ChartRect& chart, int sy) {
  return {chart.left + 1, chart.top + kLabelBand * sy, chart.right, chart.bottom - kLabelBand * sy};
}

namespace {

// The kind a tick is drawn as: its own when that kind is switched on, else
// the next finer one that is (a major tick without majors is a medium one);
// 0 when none is.
int ShownKind(int kind, bool major, bool medium, bool minor) {
  const bool on[4] = {false, major, medium, minor};
  for (int k = kind; k <= 3; ++k)
    if (on[k]) return k;
  return 0;
}

// Labelled ticks on each axis: about one per tenth of its length.
constexpr int kAxisMajors = 10;

// The tick's label: the value with the decimals of its step ("0", not "-0").
QString TickLabel(const AxisTick& t) {
  const double v = std::fabs(t.value) < 0.5 * std::pow(10.0, -t.decimals) ? 0.0 : t.value;
  return QString::fromStdString(cformat("%.*f", t.decimals, v));
}

// The axes' names: the abscissa's with its unit, the intensity's upright
// along the left side.
void DrawAxisTitles(QPainter& p, const ChartRect& chart, XAxisUnit unit, const ChartStyle& style) {
  const int sx = style.sx, sy = style.sy;
  const int x = chart.left, b = chart.bottom;
  const int w = chart.width(), h = chart.height();
  p.setFont(ChartFont(QStringLiteral("Tahoma"), 20 * sy, 700));
  p.drawText(QRect(x + w - 30 * sx, b + 30 * sy, 60 * sx, 30 * sy), Qt::AlignLeft | Qt::AlignTop,
             unit == XAxisUnit::TwoTheta ? QStringLiteral("2θ")
             : unit == XAxisUnit::D      ? QStringLiteral("d")
                                         : QStringLiteral("Q"));
  p.setFont(ChartFont(QStringLiteral("Tahoma"), 16 * sx, 700));
  const int unitLeft = unit == XAxisUnit::TwoTheta ? x + w - 7 * sx : x + w - 14 * sx;
  p.drawText(QRect(unitLeft, b + 32 * sy, 60 * sx, 30 * sy), Qt::AlignLeft | Qt::AlignTop,
             unit == XAxisUnit::TwoTheta ? QCoreApplication::translate("ChartPainter", "[st.]")
             : unit == XAxisUnit::D      ? QStringLiteral("[Å]")
                                         : QStringLiteral("[Å⁻¹]"));
  p.save();
  p.setFont(ChartFont(QStringLiteral("Tahoma"), 18 * sy, 700));
  p.translate(x - 80 * sx, b + 50 * sy - ChartRound(h * 0.5));
  p.rotate(-90.0);
  p.drawText(QRect(0, 0, 400 * sx, 30 * sy), Qt::AlignLeft | Qt::AlignTop,
             style.counts ? QCoreApplication::translate("ChartPainter", "Zliczenia") : QCoreApplication::translate("ChartPainter", "Natężenie [%]"));
  p.restore();
}

// The angle axis's ticks at the bottom and the top, values under the major ones.
void DrawAngleTicks(QPainter& p, const ChartRect& chart, const ChartRanges& r, const TickFlags& ticks, XAxisUnit unit,
                    const ChartStyle& style) {
  const int sx = style.sx, sy = style.sy;
  const int x = chart.left, b = chart.bottom, top = chart.top;
  const int w = chart.width();
  for (const AxisTick& t : XAxisTicks(unit, r.x0, r.x1, style.wavelength, kAxisMajors)) {
    const int kind = ShownKind(t.kind, ticks[0], ticks[1], ticks[2]);
    if (kind == 0) continue;
    const int tx = x + ChartRound(std::clamp(t.at, 0.0, 1.0) * w);
    if (kind == 1) {
      // At the right end the frame is the top tick.
      if (tx == x + w) {
        p.drawLine(tx, b - sy, tx, b - 8 * sy);
      } else {
        p.drawLine(tx, b - sy, tx, b - 9 * sy);
        p.drawLine(tx, top, tx, top + 8 * sy);
      }
      p.drawText(QRect(QPoint(tx - 40 * sx, b + 5 * sy), QPoint(tx + 40 * sx - 1, b + 30 * sy - 1)),
                 Qt::AlignHCenter | Qt::AlignTop, TickLabel(t));
    } else if (kind == 2) {
      p.drawLine(tx, b - sy, tx, b - 6 * sy);
      p.drawLine(tx, top, tx, top + 5 * sy);
    } else {
      p.drawLine(tx, b - sy, tx, b - 4 * sy);
      p.drawLine(tx, top, tx, top + 3 * sy);
    }
  }
}

// The intensity axis's ticks on the left, values beside the major ones.
void DrawIntensityTicks(QPainter& p, const ChartRect& chart, const ChartRanges& r, const TickFlags& ticks,
                        const ChartStyle& style) {
  const int sx = style.sx, sy = style.sy;
  const int x = chart.left, b = chart.bottom;
  const int inner = chart.height() - 2 * kLabelBand * sy;
  for (const AxisTick& t : LinearTicks(r.y0, r.y1, kAxisMajors)) {
    const int kind = ShownKind(t.kind, ticks[3], ticks[4], ticks[5]);
    if (kind == 0) continue;
    const int rise = ChartRound(std::clamp(t.at, 0.0, 1.0) * inner);
    const int ty = b - kLabelBand * sy - rise;
    const int len = kind == 1 ? (rise == inner ? 8 : 9) : kind == 2 ? 6 : 4;
    p.drawLine(x, ty, x - len * sx, ty);
    if (kind == 1)
      p.drawText(QRect(QPoint(x - 90 * sx, ty - 10 * sy), QPoint(x - 10 * sx - 1, ty + 10 * sy - 1)),
                 Qt::AlignRight | Qt::AlignVCenter, TickLabel(t));
  }
}

}  // namespace

void DrawAxes(QPainter& p, const ChartRect& chart, const ChartRanges& r, const TickFlags& ticks,
              const ChartStyle& style) {
  const int sy = style.sy;
  const int x = chart.left, b = chart.bottom, top = chart.top;
  const int w = chart.width();
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setPen(QPen(style.axis, 1, Qt::SolidLine, Qt::FlatCap));
  p.fillRect(QRect(x, top, w, kLabelBand * sy), Qt::white);
  p.fillRect(QRect(x, b - kLabelBand * sy, w, kLabelBand * sy), Qt::white);

  const QPoint frame[] = {{x, top - sy}, {x + w, top - sy}, {x + w, b}, {x, b}, {x, top - sy}};
  p.drawPolyline(frame, 5);

  // d and Q need a wavelength; without one the axis stays in 2-theta.
  const XAxisUnit unit = style.wavelength > 0.0 ? style.xAxis : XAxisUnit::TwoTheta;
  DrawAxisTitles(p, chart, unit, style);
  // The ticks' values.
  p.setFont(ChartFont(QStringLiteral("Tahoma"), 18 * sy, 700));
  DrawAngleTicks(p, chart, r, ticks, unit, style);
  DrawIntensityTicks(p, chart, r, ticks, style);
  p.restore();
}

std::vector<std::vector<QPointF>> ClipRuns(const std::vector<QPointF>& pts, double w, double h) {
  std::vector<std::vector<QPointF>> runs;
  std::vector<QPointF> run;
  auto endRun = [&] {
    if (run.size() >= 2) runs.push_back(std::move(run));
    run.clear();
  };
  for (size_t i = 0; i + 1 < pts.size(); ++i) {
    const QPointF a = pts[i], b = pts[i + 1];
    // Liang-Barsky against [0, w] x [0, h].
    double t0 = 0.0, t1 = 1.0;
    const double ddx = b.x() - a.x(), ddy = b.y() - a.y();
    const double pp[4] = {-ddx, ddx, -ddy, ddy};
    const double qq[4] = {a.x(), w - a.x(), a.y(), h - a.y()};
    bool visible = true;
    for (int k = 0; k < 4 && visible; ++k) {
      if (pp[k] == 0.0) {
        if (qq[k] < 0.0) visible = false;
      } else {
        const double t = qq[k] / pp[k];
        if (pp[k] < 0.0) {
          if (t > t1) visible = false;
          else if (t > t0) t0 = t;
        } else {
          if (t < t0) visible = false;
          else if (t < t1) t1 = t;
        }
      }
    }
    if (!visible) {
      endRun();
      continue;
    }
    const QPointF s(a.x() + t0 * ddx, a.y() + t0 * ddy), e(a.x() + t1 * ddx, a.y() + t1 * ddy);
    if (t0 > 0.0 || run.empty()) {
      endRun();
      run.push_back(s);
    }
    run.push_back(e);
    if (t1 < 1.0) endRun();
  }
  endRun();
  return runs;
}

namespace {

// The labels placed so far as the climb sees them. A label of height H whose
// top stands at row y meets a placed label q when they share a column and
// q.top - H < y < q.bottom; each placed label marks those rows over its
// columns in one bit plane, so a climb tests one row per step instead of
// every label near it. The plane holds every placed label; the rare climb
// that must leave some of them out (those found too far off in the list)
// asks EarlierMeet first and then checks them one by one.
class LabelField {
 public:
  LabelField(int w, int h, int labelHeight)
      : w_(std::max(0, w)),
        h_(std::max(0, h)),
        height_(labelHeight),
        words_((w_ + 63) / 64),
        bits_(static_cast<size_t>(h_ + 1) * words_, 0),
        first_(static_cast<size_t>(w_), std::numeric_limits<int>::max()) {}

  // Columns [left, right) and rows [top, bottom) of the label placed as
  // number `order` (counting from 0).
  void Add(int left, int right, int top, int bottom, int order) {
    left = std::max(left, 0), right = std::min(right, w_);
    if (left >= right) return;
    for (int x = left; x < right; ++x)
      if (first_[x] > order) first_[x] = order;
    const int y0 = std::max(0, top - height_ + 1), y1 = std::min(h_, bottom - 1);
    for (int y = y0; y <= y1; ++y) {
      std::uint64_t* row = &bits_[static_cast<size_t>(y) * words_];
      for (int wi = left / 64; wi <= (right - 1) / 64; ++wi) row[wi] |= Mask(wi, left, right);
    }
  }

  // Whether a label over columns [left, right) with its top at row y meets
  // no placed label.
  bool Free(int y, int left, int right) const {
    const std::uint64_t* row = &bits_[static_cast<size_t>(y) * words_];
    for (int wi = left / 64; wi <= (right - 1) / 64; ++wi)
      if (row[wi] & Mask(wi, left, right)) return false;
    return true;
  }

  // Whether one of the first `count` labels placed shares a column with [left, right).
  bool EarlierMeet(int left, int right, int count) const {
    for (int x = left; x < right && count > 0; ++x)
      if (first_[x] < count) return true;
    return false;
  }

  // Whether [left, right) and rows from 0 to `top` lie inside the field.
  bool Covers(int left, int right, int top) const { return left >= 0 && left < right && right <= w_ && top <= h_; }

 private:
  // Bits of word `wi` that lie in columns [left, right).
  static std::uint64_t Mask(int wi, int left, int right) {
    const int lo = std::max(left - wi * 64, 0), hi = std::min(right - wi * 64, 64);
    const std::uint64_t upTo = hi == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << hi) - 1;
    return upTo & ~((std::uint64_t{1} << lo) - 1);
  }

  int w_, h_, height_, words_;
  std::vector<std::uint64_t> bits_;  // row y, then columns
  std::vector<int> first_;           // per column: the order of the first label over it
};

// A placed label of a described reflection.
struct Box {
  int index, left, right, top, bottom;
};

// The steps a label over [fl, fr) with its first top at T and height H
// climbs: the lowest step at which it meets none of the placed labels of
// reflections lo ... hi, or 0 when there is none below the plot's top.
int ClimbAmong(const std::vector<Box>& placed, int lo, int hi, int fl, int fr, int T, int H, int step) {
  const int K = T / step + 1;
  std::vector<char> blocked(static_cast<size_t>(K), 0);
  int open = K;
  auto floorDiv = [](int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
  // The last placed come first, with the lowest indices.
  for (auto q = placed.rbegin(); q != placed.rend() && q->index <= hi; ++q) {
    if (q->index < lo || !(fl < q->right && q->left < fr)) continue;
    const int kmin = std::max(0, floorDiv(T - q->bottom, step) + 1);
    const int kmax = std::min(K - 1, -floorDiv(-(T - q->top + H), step) - 1);
    for (int k = kmin; k <= kmax; ++k)
      if (!blocked[k]) blocked[k] = 1, --open;
    if (open == 0) return 0;
  }
  for (int k = 0; k < K; ++k)
    if (!blocked[k]) return k;
  return 0;
}

// The sizes of a label in the chart's font, the same for every label of one
// drawing, with the widths of the numbers measured once each.
class LabelMetrics {
 public:
  LabelMetrics(const QFont& font, int sy) : fm_(font) {
    space = fm_.horizontalAdvance(QLatin1Char(' '));
    // Overbars of negative indices: a bar `barThick` high with `barGap` clear
    // rows below it down to the tops of the digits, whatever the font's
    // leading. Where the label's own margin above the digits is too small the
    // label grows by barRoom at the top.
    barThick = std::max(1, (sy + 1) / 2);
    const int barGap = sy + 1;
    const int digitAscent = -fm_.tightBoundingRect(QStringLiteral("0123456789")).top();
    const int margin = sy / 2 + fm_.ascent() - digitAscent;  // label top to digit top
    barRoom = std::max(0, barThick + barGap - margin);
    baselineOffset = barRoom + sy / 2 + fm_.ascent();
    barOffset = baselineOffset - digitAscent - barGap - barThick;
    height = fm_.height() + sy + barRoom;
  }
  int NumberWidth(int n) {
    if (n >= 4096) return fm_.horizontalAdvance(QString::number(n));
    if (static_cast<int>(numberWidths_.size()) <= n) numberWidths_.resize(n + 1, -1);
    if (numberWidths_[n] < 0) numberWidths_[n] = fm_.horizontalAdvance(QString::number(n));
    return numberWidths_[n];
  }
  // The text "h k l" measures as its three numbers and two blanks.
  int TextWidth(const int (&values)[3]) {
    int tw = 2 * space;
    for (int v : values) tw += NumberWidth(std::abs(v));
    return tw;
  }

  int space = 0, barThick = 0, barRoom = 0, baselineOffset = 0, barOffset = 0, height = 0;

 private:
  QFontMetrics fm_;
  std::vector<int> numberWidths_;
};

// The labels placed so far in one drawing, and where the next one stands.
struct LabelPlacement {
  LabelField field;
  std::vector<Box> placed;
  int widest = 0;  // the widest label placed so far

  // The steps of 5 * sy the label first placed at `first` climbs: while it
  // meets a label already placed, keeping its first place when it would
  // leave the plot (or when every step is taken). Only the placed labels of
  // the reflections found under it count; placed labels come in falling list
  // order.
  int Climb(const std::vector<Reflection>& refl, const ChartRanges& r, int w, int sx, int sy,
            const QRect& first) const {
    const double dx = r.x1 - r.x0;
    // Labels stand to the right of their dots, so the labels of reflections a
    // little to the left can reach into this one too.
    const int reach = 10 * sx + widest;
    const double a0 = r.x0 + (first.left() - reach) * dx / w, a1 = r.x0 + (first.right() + 1) * dx / w;
    const auto [lo, hi] = ReflectionRange(refl, a0, a1);
    if (lo < 0) return 0;  // nothing found under the label: nothing to avoid
    const int step = 5 * sy, T = first.top();
    const int K = T / step + 1;
    const int fl = first.left(), fr = first.right() + 1;
    const int older = hi < 0 ? 0
                              : static_cast<int>(std::partition_point(placed.begin(), placed.end(),
                                                                      [hi](const Box& b) { return b.index > hi; }) -
                                                 placed.begin());
    if ((placed.empty() || placed.back().index >= lo) && field.Covers(fl, fr, T) &&
        !field.EarlierMeet(fl, fr, older)) {
      // Every placed label near it counts: the field answers.
      for (int k = 0; k < K; ++k)
        if (field.Free(T - k * step, fl, fr)) return k;
      return 0;
    }
    return ClimbAmong(placed, lo, hi, fl, fr, T, first.height(), step);
  }

  void Take(int idx, const LabelRect& box) {
    field.Add(box.left, box.right, box.top, box.bottom, static_cast<int>(placed.size()));
    placed.push_back({idx, box.left, box.right, box.top, box.bottom});
  }
};

// Vector devices wrap each drawing made under a moved origin in a matrix of
// its own. A move by whole pixels is taken off the painter and returned, to
// be added to the labels' coordinates: the same picture in fewer bytes.
QPoint TakeWholePixelMove(QPainter& p) {
  const QTransform t = p.worldTransform();
  if (t.type() != QTransform::TxTranslate || p.combinedTransform() != t) return {};
  constexpr double kLimit = 1 << 24;
  if (std::abs(t.dx()) > kLimit || std::abs(t.dy()) > kLimit || t.dx() != std::trunc(t.dx()) ||
      t.dy() != std::trunc(t.dy()))
    return {};
  p.setWorldTransform(QTransform());
  return {static_cast<int>(t.dx()), static_cast<int>(t.dy())};
}

// The dot on the peak, the leader to the label, its background, the "h k l"
// text and the bars over negative indices. The dot's two rectangles and the
// leader's two lines go out as one drawing each.
void PaintLabel(QPainter& p, const Reflection& f, const QRect& rect, int px, int py, const ChartStyle& style,
                LabelMetrics& m, LabelText& text, bool raster) {
  const int sx = style.sx, sy = style.sy;
  if (f.line == 1 || f.line == 2) {
    const QColor colour = f.line == 2 ? style.ka2 : style.ka1;
    const QBrush brush = p.brush();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const QRect dot[2] = {QRect(px - 2 * sx, py - sy, 5 * sx, 3 * sy), QRect(px - sx, py - 2 * sy, 3 * sx, 5 * sy)};
    p.drawRects(dot, 2);
    p.setBrush(brush);
    p.setPen(QPen(colour, 1));
  }
  const int bottom = rect.bottom() + 1;
  const QLine leader[2] = {QLine(px, py, rect.left(), bottom), QLine(rect.left(), bottom, rect.right() + 1, bottom)};
  p.drawLines(leader, 2);
  if (raster) {
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
    p.fillRect(rect, QColor(200, 200, 200));
    p.restore();
  } else {
    p.fillRect(rect, QColor(235, 235, 235));
  }
  const int values[3] = {f.h, f.k, f.l};
  // Each number fills its own cell exactly, so the three cells and their
  // blanks are one line of text.
  text.Draw(p, QPoint(rect.left() + sx, rect.top() + m.baselineOffset), values);
  int cx = rect.left() + sx;
  for (int v : values) {
    const int cw = m.NumberWidth(std::abs(v));
    if (v < 0) p.fillRect(QRect(cx, rect.top() + m.barOffset, cw, m.barThick), p.pen().color());
    cx += cw + m.space;
  }
}

void DrawDescriptions(QPainter& p, int w, int h, const ChartSeries& s, const ChartRanges& r,
                      const ChartStyle& style, const DescriptionFlags& desc, std::vector<Reflection>& refl,
                      const std::atomic<bool>* abort) {
  const int sx = style.sx, sy = style.sy;
  const double dx = r.x1 - r.x0, dy = r.y1 - r.y0;
  const QFont font = ChartFont(QStringLiteral("Tahoma"), 12 * sy, 400);
  p.setFont(font);
  LabelMetrics m(font, sy);
  LabelPlacement labels{LabelField(w, h, m.height), {}, 0};
  labels.placed.reserve(refl.size());
  const bool raster = p.paintEngine() && p.paintEngine()->type() == QPaintEngine::Raster;
  LabelText text(p);
  const QPoint move = TakeWholePixelMove(p);
  for (int idx = static_cast<int>(refl.size()) - 1; idx >= 0; --idx) {
    if (abort && (idx & 255) == 0 && abort->load(std::memory_order_relaxed)) return;
    Reflection& f = refl[idx];
    if (f.nonZero == 0) continue;
    const bool described = (f.line == 1 && desc.ka1) || (f.line == 2 && desc.ka2);
    if (!(described || (f.line != 1 && f.line != 2))) continue;
    const double tt = TwoThetaDegrees(f);
    if (tt < r.x0 || tt > r.x1) continue;
    // The point the peak is drawn on: a stick stands on the nearest point
    // (halves down), as do the tops of the other profiles.
    const double gi = RoundHalfDownValue(tt / s.step);
    if (!(gi >= 0.0 && gi < s.count)) continue;
    const int g = static_cast<int>(gi);
    const double pct = s.maximum > 0.0 ? s.points[g].intensity * 100.0 / s.maximum : 0.0;
    const int px = static_cast<int>((s.points[g].twoTheta - r.x0) * w / dx);
    const int py = std::clamp((h - 1) - static_cast<int>((pct - r.y0) * h / dy), 0, h);

    int top = py - 32 * sy;
    if (top < 0) top = 10 * sy;
    QRect rect(px + 10 * sx, top, m.TextWidth({f.h, f.k, f.l}) + 2 * sx, m.height);
    if (rect.right() + 1 > w) rect.translate(-(rect.right() + 1 - w), 0);
    rect.moveTop(rect.top() - labels.Climb(refl, r, w, sx, sy, rect) * 5 * sy);
    f.labelRect = {rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1};
    labels.widest = std::max(labels.widest, rect.width());
    if (described) labels.Take(idx, f.labelRect);
    PaintLabel(p, f, rect.translated(move), px + move.x(), py + move.y(), style, m, text, raster);
  }
}

}  // namespace

void LayOutOverlay(ChartOverlay& o) {
  double top = 0.0, above = 0.0, below = 0.0;
  for (double v : o.observed) top = std::max(top, v);
  for (double v : o.calculated) top = std::max(top, v);
  for (double v : o.difference) {
    above = std::max(above, v);
    below = std::max(below, -v);
  }
  if (!(top > 0.0)) top = 1.0;
  // The band is as high as the difference reaches either way, and never
  // flat: a perfect fit still shows its noise.
  above = std::max(above, 0.02 * top);
  below = std::max(below, 0.02 * top);
  o.tickRow = 0.04 * top;
  o.tickTop = -0.02 * top;
  const double ticksBottom = o.tickTop - o.tickRow * static_cast<double>(o.ticks.size());
  o.differenceZero = ticksBottom - 0.02 * top - above;
  o.low = o.differenceZero - below - 0.02 * top;
  o.high = 1.05 * top;
}

ChartRanges CountRanges(const ChartRanges& r, const ChartOverlay& o) {
  const double span = o.high - o.low;
  return {r.x0, r.x1, o.low + r.y0 * span / 100.0, o.low + r.y1 * span / 100.0};
}

namespace {

// The overlay into a plot of w x h pixels, the ranges in counts.
void DrawOverlay(QPainter& p, int w, int h, const ChartOverlay& o, const ChartRanges& r, const ChartStyle& style) {
  const double dx = r.x1 - r.x0, dy = r.y1 - r.y0;
  auto X = [&](double t) { return (t - r.x0) * w / dx; };
  auto Y = [&](double c) { return (h - 1) - (c - r.y0) * h / dy; };
  auto polyline = [&](const std::vector<double>& xs, const std::vector<double>& ys, double offset) {
    std::vector<QPointF> pts;
    pts.reserve(xs.size());
    for (size_t i = 0; i < xs.size(); ++i) pts.emplace_back(X(xs[i]), Y(ys[i] + offset));
    for (const auto& run : ClipRuns(pts, w, h)) p.drawPolyline(run.data(), static_cast<int>(run.size()));
  };
  p.setRenderHint(QPainter::Antialiasing, true);
  // The zero of the difference, then the difference itself.
  p.setPen(QPen(QColor(190, 190, 190), 1));
  const double z = Y(o.differenceZero);
  if (z >= 0 && z <= h) p.drawLine(QPointF(0, z), QPointF(w, z));
  p.setPen(QPen(style.difference, style.sx, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  polyline(o.twoTheta, o.difference, o.differenceZero);
  // The measured points, as dots.
  p.setPen(QPen(style.observed, 2.5 * style.sx, Qt::SolidLine, Qt::RoundCap));
  std::vector<QPointF> dots;
  dots.reserve(o.twoTheta.size());
  for (size_t i = 0; i < o.twoTheta.size(); ++i) {
    const double x = X(o.twoTheta[i]), y = Y(o.observed[i]);
    if (x >= 0 && x <= w && y >= 0 && y <= h) dots.emplace_back(x, y);
  }
  p.drawPoints(dots.data(), static_cast<int>(dots.size()));
  // The model over them.
  p.setPen(QPen(style.curve, style.sx, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  polyline(o.calcAngle, o.calculated, 0.0);
  // A row of ticks per phase.
  p.setRenderHint(QPainter::Antialiasing, false);
  const QColor rowColours[] = {style.ka1, style.ka2, QColor(160, 0, 160), QColor(0, 140, 160)};
  for (size_t row = 0; row < o.ticks.size(); ++row) {
    p.setPen(QPen(rowColours[row % 4], style.sx));
    const double top = Y(o.tickTop - o.tickRow * static_cast<double>(row));
    const double bottom = Y(o.tickTop - o.tickRow * (static_cast<double>(row) + 0.75));
    for (double t : o.ticks[row]) {
      const double x = X(t);
      if (x < 0 || x > w) continue;
      const double y0 = std::clamp(top, 0.0, static_cast<double>(h)), y1 = std::clamp(bottom, 0.0, static_cast<double>(h));
      if (y0 != y1) p.drawLine(QPointF(x, y0), QPointF(x, y1));
    }
  }
}

}  // namespace

void DrawCurve(QPainter& p, int w, int h, QPoint origin, const ChartSeries& s, const ChartRanges& r,
               const ChartStyle& style, const DescriptionFlags& desc, std::vector<Reflection>* reflections,
               const std::atomic<bool>* abort, const ChartOverlay* overlay) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRect(origin, QSize(w, h)), Qt::white);
  if (overlay) {
    const ChartRanges counts = CountRanges(r, *overlay);
    if (w > 0 && h > 0 && counts.x1 > counts.x0 && counts.y1 > counts.y0) {
      p.translate(origin);
      p.setClipRect(QRect(0, 0, w + 1, h + 1));
      DrawOverlay(p, w, h, *overlay, counts, style);
    }
    p.restore();
    return;
  }
  const double dx = r.x1 - r.x0, dy = r.y1 - r.y0;
  if (s.points && s.count > 0 && w > 0 && h > 0 && dx > 0.0 && dy > 0.0) {
    const int first = std::max(0, static_cast<int>(r.x0 / s.step) - 1);
    const int last = std::min(s.count - 1, static_cast<int>(r.x1 / s.step) + 1);
    // A pattern without a maximum (nothing in range) lies on the zero line.
    const double toPercent = s.maximum > 0.0 ? 100.0 / s.maximum : 0.0;
    std::vector<QPointF> pts;
    pts.reserve(static_cast<size_t>(std::max(0, last - first + 1)));
    for (int i = first; i <= last; ++i) {
      const float px = static_cast<float>((s.points[i].twoTheta - r.x0) * w / dx);
      const float py = static_cast<float>((h - 1) - (s.points[i].intensity * toPercent - r.y0) * h / dy);
      pts.emplace_back(px, py);
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(style.curve, style.sx, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.translate(origin);
    for (const auto& run : ClipRuns(pts, w, h)) p.drawPolyline(run.data(), static_cast<int>(run.size()));
    p.setRenderHint(QPainter::Antialiasing, false);
    if (desc.on && reflections) {
      p.setClipRect(QRect(0, 0, w + 1, h + 1));
      DrawDescriptions(p, w, h, s, r, style, desc, *reflections, abort);
    }
  }
  p.restore();
}

}  // namespace pelmora
