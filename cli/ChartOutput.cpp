#include "cli/ChartOutput.h"

#include <QGuiApplication>
#include <QString>
#include <clocale>
#include <iostream>

#include "settings/Settings.h"
#include "diffractogram/PatternGrid.h"
#include "diffractogram/chart/ChartPicture.h"
#include "engine/Komorka.h"

namespace pelmora::cli {

void AddChartOptions(CLI::App& cmd, ChartOptions& o) {
  cmd.add_option("--chart", o.file,
                 "Draw the diffractogram's chart into FILE; the extension picks the format: .png, .svg, .pdf, .emf")
      ->type_name("FILE");
  cmd.add_option("--size", o.size, "Chart size in pixels at 150 dpi (default 1417x1003, 240 x 170 mm)")
      ->type_name("WxH");
  cmd.add_flag("--descriptions", o.descriptions, "Describe the reflections on the chart (Miller indices)");
  cmd.add_flag("!--no-desc-ka1", o.ka1, "Do not describe the reflections of the first line");
  cmd.add_flag("!--no-desc-ka2", o.ka2, "Do not describe the reflections of the second line");
}

int CheckChartOptions(ChartOptions& o) {
  if (!PictureFormatOf(QString::fromStdString(o.file))) {
    std::cerr << "pelmora-cli: unknown picture format of \"" << o.file << "\"; use .png, .svg, .pdf or .emf\n";
    return 1;
  }
  o.width = kPictureSize.width();
  o.height = kPictureSize.height();
  if (!o.size.empty()) {
    // The margins round the chart need some room; a picture wider than
    // this gains nothing and a PNG of it would not fit in memory.
    constexpr int kMin = 200, kMax = 10000;
    int w = 0, h = 0;
    char rest = 0;
    if (std::sscanf(o.size.c_str(), "%dx%d%c", &w, &h, &rest) != 2 || w < kMin || h < kMin || w > kMax ||
        h > kMax) {
      std::cerr << "pelmora-cli: --size takes WxH in pixels, each from " << kMin << " to " << kMax << "\n";
      return 1;
    }
    o.width = w;
    o.height = h;
  }
  return 0;
}

int WriteChart(const ChartOptions& o, const CKomorka& doc, const PatternGrid& grid, const CSettings& settings) {
  // Fonts need a GUI application object; the offscreen platform needs no display.
  static int argc = 3;
  static char name[] = "pelmora-cli", option[] = "-platform", platform[] = "offscreen";
  static char* argv[] = {name, option, platform, nullptr};
  // Without a session Qt warns that the runtime folder is not set; the
  // offscreen platform does not need one.
  static QtMessageHandler previous = nullptr;
  previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (previous && !text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))) previous(type, context, text);
  });
  QGuiApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");  // Qt has set the user's locale again

  ChartContent chart;
  chart.series = {grid.points(), PatternGrid::size(), grid.maximum, kPatternStep};
  chart.ranges = {doc.angleMin, doc.angleMax, 0.0, 100.0};
  chart.style.curve = ColorFromBgr(settings.ChartColor);
  chart.style.axis = ColorFromBgr(settings.AxisColor);
  chart.style.ka1 = ColorFromBgr(settings.KA1Color);
  chart.style.ka2 = ColorFromBgr(settings.KA2Color);
  chart.style.sx = chart.style.sy = PictureScale(kPictureDpi, kDefaultScreenPixelsPerCm);
  // A line without a wavelength has nothing to describe.
  chart.descriptions = {o.descriptions, o.ka1 && doc.lambda1 != 0.0, o.ka2 && doc.lambda2 != 0.0};
  if (o.descriptions) chart.reflections = doc.reflectionsAll;

  const QString path = QString::fromStdString(o.file);
  QString error;
  if (!WriteChartPicture(path, *PictureFormatOf(path), QSize(o.width, o.height), chart, &error)) {
    std::cerr << "pelmora-cli: " << error.toStdString() << "\n";
    return 4;
  }
  return 0;
}

}  // namespace pelmora::cli
