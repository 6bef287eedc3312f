#include "diffractogram/chart/ChartPicture.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <cstdio>

#include "diffractogram/chart/EmfPaintEngine.h"

namespace pelmora {

std::optional<PictureFormat> PictureFormatOf(const QString& path) {
  const QString ext = QFileInfo(path).suffix().toLower();
  if (ext == QLatin1String("png")) return PictureFormat::Png;
  if (ext == QLatin1String("svg")) return PictureFormat::Svg;
  if (ext == QLatin1String("pdf")) return PictureFormat::Pdf;
  if (ext == QLatin1String("emf")) return PictureFormat::Emf;
  return std::nullopt;
}

int PictureScale(int dpi, int screenPixelsPerCm) {
  const int perCm = static_cast<int>(dpi / 2.54);
  return screenPixelsPerCm > 0 ? std::max(1, perCm / screenPixelsPerCm) : 1;
}

void DrawChartPicture(QPainter& p, QSize size, ChartContent& c) {
  const int W = size.width(), H = size.height();
  p.fillRect(QRect(0, 0, W, H), Qt::white);
  const ChartRect chart{kMarginLeft, kMarginTop, W - kMarginRight, H - kMarginBottom};
  if (chart.width() <= 0 || chart.height() <= 2 * kLabelBand * c.style.sy) return;
  ChartStyle style = c.style;
  style.counts = c.overlay != nullptr;
  DrawAxes(p, chart, c.overlay ? CountRanges(c.ranges, *c.overlay) : c.ranges, c.ticks, style);
  const ChartRect plot = PlotRect(chart, c.style.sy);
  DrawCurve(p, plot.width(), plot.height(), QPoint(plot.left, plot.top), c.series, c.ranges, style,
            c.descriptions, &c.reflections, nullptr, c.overlay.get());
}

namespace {

QString CannotWrite(const QString& path) { return QCoreApplication::translate("ChartPicture", "Nie można zapisać pliku %1").arg(path); }

// The physical size of `size` pixels at the picture resolution; the default
// size is the 240 x 170 mm frame exactly.
QSizeF Millimetres(QSize size) {
  if (size == kPictureSize) return {240.0, 170.0};
  return {size.width() * 25.4 / kPictureDpi, size.height() * 25.4 / kPictureDpi};
}

bool Draw(QPaintDevice& device, QSize size, ChartContent& chart) {
  QPainter p;
  if (!p.begin(&device)) return false;
  DrawChartPicture(p, size, chart);
  return p.end();
}

}  // namespace

bool WriteChartPicture(const QString& path, PictureFormat format, QSize size, ChartContent& chart,
                       QString* error) {
  if (format == PictureFormat::Emf) {
    EmfLayout layout;
    layout.pixels = size;
    layout.dpi = kPictureDpi;
    const QSizeF mm = Millimetres(size);
    layout.frame = QSize(qRound(mm.width() * 100.0), qRound(mm.height() * 100.0));
    EmfDevice device(path, layout);
    if (Draw(device, size, chart)) return true;
    if (error) *error = device.error().isEmpty() ? CannotWrite(path) : device.error();
    return false;
  }

  // The others are written beside the target and renamed when complete.
  const QString part = path + QStringLiteral(".part");
  bool ok = false;
  if (format == PictureFormat::Png) {
    QImage image(size, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(kPictureDpi / 0.0254));
    image.setDotsPerMeterY(qRound(kPictureDpi / 0.0254));
    {
      QPainter p(&image);
      DrawChartPicture(p, size, chart);
    }
    ok = image.save(part, "PNG");
  } else if (format == PictureFormat::Svg) {
    QSvgGenerator svg;
    svg.setFileName(part);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(kPictureDpi);
    svg.setTitle(QCoreApplication::translate("ChartPicture", "Dyfraktogram"));
    svg.setDescription(QStringLiteral("Pelmor"));
    ok = Draw(svg, size, chart) && QFileInfo(part).size() > 0;
  } else {
    QPdfWriter pdf(part);
    pdf.setResolution(kPictureDpi);
    pdf.setPageSize(QPageSize(Millimetres(size), QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setTitle(QCoreApplication::translate("ChartPicture", "Dyfraktogram"));
    pdf.setCreator(QStringLiteral("Pelmor"));
    ok = Draw(pdf, size, chart);
  }
  if (ok) ok = std::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) == 0;
  if (!ok) {
    QFile::remove(part);
    if (error) *error = CannotWrite(path);
  }
  return ok;
}

}  // namespace pelmora
