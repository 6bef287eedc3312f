// Drawing of one diffractogram chart: frame, axes, ticks and labels, the
// curve and the reflection descriptions. The same code draws on the screen
// (into an off-screen image on a worker thread) and on any other QPainter
// device, so it reads nothing but its arguments.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPointF>
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "diffractogram/XAxis.h"
#include "engine/Reflection.h"
#include "plugins/include/pelmora_plugin.h"

namespace pelmora {

// One point of a synthesised pattern: 2-theta in degrees, then intensity.
using ChartPoint = ::PatternPoint;

// The pattern the chart draws: consecutive grid points and their maximum.
struct ChartSeries {
  const ChartPoint* points = nullptr;
  int count = 0;
  double maximum = 0.0;
  double step = 0.005;  // grid spacing in degrees, point i at i * step
};

struct ChartRanges {
  double x0 = 0.0, x1 = 1.0;    // 2-theta
  double y0 = 0.0, y1 = 100.0;  // percent of the maximum
};

// GDI-style rectangle: the width is right - left.
struct ChartRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

struct ChartStyle {
  QColor curve{255, 0, 0};
  QColor axis{0, 0, 0};
  QColor ka1{63, 144, 19};
  QColor ka2{234, 73, 2};
  QColor observed{20, 60, 200};
  QColor difference{90, 90, 90};
  int sx = 1, sy = 1;  // device pixels per screen pixel
  bool counts = false;  // the intensity axis in counts (a measurement is shown)
  // What the angle axis's labels show; d and Q for `wavelength` (Å). The
  // ticks stay where the 2-theta window puts them.
  XAxisUnit xAxis = XAxisUnit::TwoTheta;
  double wavelength = 0.0;
};

// A measured pattern over the calculated one, everything in counts: the
// measured points, the model curve, the difference curve below them and a
// row of reflection ticks per phase between the two. While one is shown the
// intensity window's 0 % and 100 % stand for `low` and `high` counts.
struct ChartOverlay {
  std::vector<double> twoTheta, observed, difference;  // per measured point
  std::vector<double> calcAngle, calculated;           // the model on the grid within the measurement
  std::vector<std::vector<double>> ticks;              // reflection angles, one row per phase
  double low = 0.0, high = 1.0;
  double differenceZero = 0.0;  // the level of a zero difference
  double tickTop = 0.0, tickRow = 0.0;
};

// Sets the levels: ticks just below zero, the difference band below them,
// and the window's counts from the bottom of that band to a little above
// the highest point.
void LayOutOverlay(ChartOverlay& o);
// The window in counts for a window in percent.
ChartRanges CountRanges(const ChartRanges& percent, const ChartOverlay& o);

// Angle axis major, medium, minor; intensity axis major, medium, minor.
using TickFlags = std::array<bool, 6>;
inline constexpr TickFlags kDefaultTicks{true, true, true, true, true, false};

struct DescriptionFlags {
  bool on = false;   // dots, leaders and labels at all
  bool ka1 = true;   // reflections of the first line
  bool ka2 = true;   // reflections of the second line
};

inline constexpr int kMarginLeft = 80, kMarginTop = 10, kMarginRight = 30, kMarginBottom = 65;
inline constexpr int kLabelBand = 15;

// 0x00BBGGRR as the settings hold colours.
QColor ColorFromBgr(std::uint32_t bgr);
std::uint32_t BgrFromColor(const QColor& c);

// A font asked for by family with a sans-serif fallback; `cellHeight` is the
// height of the whole character cell in pixels, as the layout gives it.
QFont ChartFont(const QString& family, int cellHeight, int weight);

// Frame, titles, ticks and tick labels into the chart rectangle.
void DrawAxes(QPainter& p, const ChartRect& chart, const ChartRanges& r, const TickFlags& ticks,
              const ChartStyle& style);

// The plot rectangle inside a chart rectangle: one pixel in from the left
// edge, between the two label bands.
ChartRect PlotRect(const ChartRect& chart, int sy = 1);

// Splits a polyline into the runs that lie inside [0, w] x [0, h]: a segment
// crossing an edge is cut there, and a run ends where the curve leaves.
std::vector<std::vector<QPointF>> ClipRuns(const std::vector<QPointF>& pts, double w, double h);

// The curve and, when asked, the reflection descriptions, into a plot of
// w x h pixels whose top-left corner lies at `origin`. The reflections
// (sorted by angle) receive the rectangles of their labels. A set `abort`
// stops the drawing early (its picture is then thrown away).
void DrawCurve(QPainter& p, int w, int h, QPoint origin, const ChartSeries& series, const ChartRanges& r,
               const ChartStyle& style, const DescriptionFlags& desc, std::vector<Reflection>* reflections,
               const std::atomic<bool>* abort = nullptr, const ChartOverlay* overlay = nullptr);


}  // namespace pelmora
