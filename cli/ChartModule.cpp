// The Qt side of pelmora-cli calc --chart, built as pelmora-cli-chart.so.
#include "cli/ChartModule.h"

#include <QGuiApplication>
#include <QString>
#include <clocale>
#include <cstdlib>
#include <iostream>

#include "cli/ChartOutput.h"
#include "diffractogram/PatternGrid.h"
#include "diffractogram/chart/ChartPicture.h"
#include "engine/Komorka.h"
#include "settings/Language.h"
#include "settings/Paths.h"
#include "settings/Settings.h"

namespace pelmora::cli {
namespace {

bool KnowsFormat(const std::string& file) {
  return PictureFormatOf(QString::fromStdString(file)).has_value();
}

void DefaultSize(int* width, int* height) {
  *width = kPictureSize.width();
  *height = kPictureSize.height();
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
  // The axis titles in the tool's language.
  Translations texts;
  texts.Install(pelmora::ChooseLanguage(settings.Language, [](const char* name) { return std::getenv(name); }),
                ExecutableDir());

  ChartContent chart;
  chart.series = {grid.points(), PatternGrid::size(), grid.maximum, kPatternStep};
  chart.ranges = {doc.experiment.angleMin, doc.experiment.angleMax, 0.0, 100.0};
  chart.style.curve = ColorFromBgr(settings.ChartColor);
  chart.style.axis = ColorFromBgr(settings.AxisColor);
  chart.style.ka1 = ColorFromBgr(settings.KA1Color);
  chart.style.ka2 = ColorFromBgr(settings.KA2Color);
  chart.style.sx = chart.style.sy = PictureScale(kPictureDpi, kDefaultScreenPixelsPerCm);
  // A line without a wavelength has nothing to describe.
  chart.descriptions = {o.descriptions, o.ka1 && doc.experiment.lambda1 != 0.0, o.ka2 && doc.experiment.lambda2 != 0.0};
  if (o.descriptions) chart.reflections = doc.results.reflectionsAll;

  const QString path = QString::fromStdString(o.file);
  QString error;
  if (!WriteChartPicture(path, *PictureFormatOf(path), QSize(o.width, o.height), chart, &error)) {
    std::cerr << "pelmora-cli: " << error.toStdString() << "\n";
    return 4;
  }
  return 0;
}

constexpr ChartModule kModule{KnowsFormat, DefaultSize, WriteChart};

}  // namespace
}  // namespace pelmora::cli

extern "C" __attribute__((visibility("default"))) const pelmora::cli::ChartModule* pelmora_cli_chart_module() {
  return &pelmora::cli::kModule;
}
