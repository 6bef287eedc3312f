// The chart's curve rendering, as the view's worker does it after a zoom:
// case LARGE synthesised with the pseudo-Voigt profile, drawn into an
// off-screen image of a typical plot size.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>

#include "bench/LargeCase.h"
#include "diffractogram/PatternSynthesis.h"
#include "diffractogram/chart/ChartPainter.h"
#include "diffractogram/ZoomState.h"

using namespace pelmora;

namespace {

struct Large {
  CKomorka doc;
  PatternGrid grid;
  Large() {
    bench::BuildLargeCase(doc);
    NullProgress progress;
    doc.CalculateReflections(progress);
    SynthesisSetup setup;
    setup.profile = kProfilePseudoVoigt;
    Synthesize(setup, doc, doc.experiment.angleMin, doc.experiment.angleMax, grid);
  }
};

Large& Case() {
  static Large large;
  return large;
}

// range(0): zoom-ins from the full range; range(1): descriptions on.
void BM_RenderCurveLarge(benchmark::State& state) {
  Large& c = Case();
  ZoomState z;
  z.SetBounds(c.doc.experiment.angleMin, c.doc.experiment.angleMax);
  for (int i = 0; i < state.range(0); ++i) z.ZoomIn();
  const ChartRanges r{z.x0, z.x1, 0.0, 100.0};
  const ChartSeries s{c.grid.points(), PatternGrid::size(), c.grid.maximum, kPatternStep};
  DescriptionFlags desc;
  desc.on = state.range(1) != 0;
  ChartStyle style;
  QImage image(1169, 700, QImage::Format_RGB32);
  std::vector<Reflection> refl = c.doc.results.reflectionsAll;  // the worker's copy
  for (auto _ : state) {
    QPainter p(&image);
    DrawCurve(p, image.width(), image.height(), QPoint(0, 0), s, r, style, desc, &refl);
    p.end();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.counters["reflections"] = static_cast<double>(refl.size());
}
BENCHMARK(BM_RenderCurveLarge)->Args({0, 0})->Args({3, 0})->Args({0, 1})->Args({3, 1})->Unit(benchmark::kMillisecond);

// The user-interface thread's share of a repaint: frame, axes and labels.
void BM_DrawAxes(benchmark::State& state) {
  QImage image(1280, 800, QImage::Format_RGB32);
  const ChartRect chart{80, 10, 1250, 735};
  for (auto _ : state) {
    QPainter p(&image);
    DrawAxes(p, chart, {20.0, 150.0, 0.0, 100.0}, kDefaultTicks, ChartStyle{});
    p.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_DrawAxes)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);  // fonts need it, the table benchmark its widgets
  Q_INIT_RESOURCE(pelmora);       // the table's header pictures
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
