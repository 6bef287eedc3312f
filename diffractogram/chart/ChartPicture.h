// A diffractogram chart as a picture of its own (PNG, SVG, PDF or EMF): the
// chart rectangle inside the screen's margins, drawn straight onto the
// device by the chart painter, at 150 dots per inch.
#pragma once

#include <QSize>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "diffractogram/chart/ChartPainter.h"

class QPainter;

namespace pelmora {

// Everything a chart drawing reads. The reflections are a copy: the drawing
// writes the places of their labels into them.
struct ChartContent {
  ChartSeries series;
  ChartRanges ranges;
  TickFlags ticks = kDefaultTicks;
  DescriptionFlags descriptions;
  ChartStyle style;
  std::vector<Reflection> reflections;
  // A measured pattern shown with the calculation (the axis then in counts).
  std::shared_ptr<const ChartOverlay> overlay;
};

enum class PictureFormat { Png, Svg, Pdf, Emf };

inline constexpr int kPictureDpi = 150;
// 240 x 170 mm at 150 dots per inch.
inline constexpr QSize kPictureSize{1417, 1003};
// Screens are taken at 96 dots per inch where there is none to ask.
inline constexpr int kDefaultScreenPixelsPerCm = 37;

// The format named by the file's extension (case does not matter).
std::optional<PictureFormat> PictureFormatOf(const QString& path);

// Device pixels per screen pixel for a picture at `dpi`: whole device pixels
// per centimetre divided by the screen's, never below 1.
int PictureScale(int dpi, int screenPixelsPerCm);

// White margins, the axes into (80, 10) - (W - 30, H - 65), and the plot.
void DrawChartPicture(QPainter& p, QSize size, ChartContent& chart);

// Writes the picture of `size` pixels (its physical size follows from 150
// dots per inch; the default size makes the 240 x 170 mm frame). The target
// is replaced only by a complete file. False with a message on failure.
bool WriteChartPicture(const QString& path, PictureFormat format, QSize size, ChartContent& chart,
                       QString* error);

}  // namespace pelmora
