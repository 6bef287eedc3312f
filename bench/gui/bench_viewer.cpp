// A frame of the cell view for a 2000-atom and a 20 000-atom cell with the
// boundary images switched on, at the panel's default size and GLDetail, run
// under a real or virtual X server:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/pelmora_viewer_bench
// Every frame is finished before the clock stops (glFinish, or the pixels
// read back), so the software renderer's threads have drawn it all. CPU time
// is that of the whole process, rasterizer threads included.
#include <QApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QAbstractButton>
#include <QImage>
#include <QTest>
#include <benchmark/benchmark.h>
#include <random>

#include <GL/gl.h>

#include "viewer3d/ui/CellRenderer.h"
#include "viewer3d/ui/MonitorPanel.h"
#include "viewer3d/ui/CellView.h"

using namespace pelmora;

namespace {

constexpr int kDefaultDetail = 30;
// The floating panel's size when the program first shows it, and the size
// its view then gets (measured on that panel by BM_PanelFrame).
constexpr int kPanelWidth = 400, kPanelHeight = 680;

// `atoms` atoms at random in a cubic cell of edge `a` (in A).
void BuildCell(CKomorka& doc, int atoms, double a) {
  doc.crystal.latticeType = kCubic;
  doc.cell.a = doc.cell.b = doc.cell.c = a;
  std::mt19937 rng(20261207);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const std::uint32_t colors[4] = {0x0000FF, 0x00C000, 0xFF0000, 0x00C0C0};
  for (int i = 0; i < atoms; ++i) {
    AtomSite at;
    at.name = "Si";
    at.x = u(rng);
    at.y = u(rng);
    at.z = u(rng);
    at.color = colors[i % 4];
    at.siteIndex = i;
    doc.crystal.structureAtoms.push_back(at);
  }
  doc.crystal.ExpandCellAtoms();
}

// The view's size inside a panel of the default size.
QSize PanelViewSize() {
  static const QSize size = [] {
    CGLWindow panel(kDefaultDetail, {});
    panel.resize(kPanelWidth, kPanelHeight);
    panel.show();
    if (!QTest::qWaitForWindowExposed(&panel) || !panel.view()) return QSize(380, 330);
    return panel.view()->size() * panel.view()->devicePixelRatio();
  }();
  return size;
}

// The renderer alone into a framebuffer object of the view's size.
// range(0): atoms; range(1): cell edge in A; range(2): GLDetail; range(3):
// labels on every atom. A 25 A cell is wholly in sight; in the 86 A cell
// (the density of 2000 atoms in 40 A) the eye is inside, and sees as deep
// as the far plane.
void BM_CellFrame(benchmark::State& state) {
  if (!OpenGLAvailable()) {
    state.SkipWithError("no OpenGL context (run under xvfb-run)");
    return;
  }
  const QSize size = PanelViewSize();
  CKomorka doc;
  BuildCell(doc, static_cast<int>(state.range(0)), static_cast<double>(state.range(1)));
  if (state.range(3))
    for (AtomSite& at : doc.crystal.cellAtoms) at.visible = 1;
  QOffscreenSurface surface;
  surface.setFormat(QSurfaceFormat::defaultFormat());
  surface.create();
  QOpenGLContext context;
  context.setFormat(QSurfaceFormat::defaultFormat());
  if (!context.create() || !context.makeCurrent(&surface)) {
    state.SkipWithError("context");
    return;
  }
  QOpenGLFramebufferObjectFormat format;
  format.setAttachment(QOpenGLFramebufferObject::Depth);
  QOpenGLFramebufferObject fbo(size, format);
  fbo.bind();
  CellRenderer renderer;
  renderer.Setup(size.width(), size.height());
  SceneOptions options;
  options.images = true;
  ViewState view;
  view.zoom = -100;  // the whole 50-unit cell in sight
  // The first frame compiles the glyphs' and spheres' lists: not timed.
  const int detail = static_cast<int>(state.range(2));
  renderer.Frame(&doc, options, view, detail);
  glFinish();
  int step = 0;
  for (auto _ : state) {
    view.angleZ = (step += 3) % 360;  // turning, as a user drags
    renderer.Frame(&doc, options, view, detail);
    glFinish();
  }
  state.counters["width"] = size.width();
  state.counters["height"] = size.height();
  renderer.Release();
  fbo.release();
  context.doneCurrent();
}
BENCHMARK(BM_CellFrame)
    ->Args({2000, 25, kDefaultDetail, 0})
    ->Args({2000, 25, kDefaultDetail, 1})
    ->Args({2000, 25, 10, 0})
    ->Args({20000, 25, kDefaultDetail, 0})
    ->Args({20000, 86, kDefaultDetail, 0})
    ->Args({20000, 86, kDefaultDetail, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// The real panel at its default size: the view's own paint into its
// framebuffer, read back so that the frame is complete. range(0): atoms;
// range(1): cell edge in A.
void BM_PanelFrame(benchmark::State& state) {
  if (!OpenGLAvailable()) {
    state.SkipWithError("no OpenGL context (run under xvfb-run)");
    return;
  }
  CKomorka doc;
  BuildCell(doc, static_cast<int>(state.range(0)), static_cast<double>(state.range(1)));
  CGLWindow panel(kDefaultDetail, {});
  panel.resize(kPanelWidth, kPanelHeight);
  panel.show();
  if (!QTest::qWaitForWindowExposed(&panel) || !panel.view()) {
    state.SkipWithError("panel");
    return;
  }
  panel.switchButton(panelid::kImages)->setChecked(true);  // boundary images
  panel.BindDocument(&doc);
  CMyWnd* view = panel.view();
  view->state().zoom = -100;
  QImage image = view->grabFramebuffer();  // lists compiled: not timed
  int step = 0;
  for (auto _ : state) {
    view->state().angleZ = (step += 3) % 360;
    image = view->grabFramebuffer();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.counters["width"] = image.width();
  state.counters["height"] = image.height();
}
BENCHMARK(BM_PanelFrame)->Args({2000, 25})->Args({20000, 86})->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// Binding a document to the shown panel, as opening a file or switching
// windows does: the atom list filled and one frame drawn. range(0): atoms;
// range(1): cell edge in A.
void BM_PanelBind(benchmark::State& state) {
  if (!OpenGLAvailable()) {
    state.SkipWithError("no OpenGL context (run under xvfb-run)");
    return;
  }
  CKomorka doc;
  BuildCell(doc, static_cast<int>(state.range(0)), static_cast<double>(state.range(1)));
  CGLWindow panel(kDefaultDetail, {});
  panel.resize(kPanelWidth, kPanelHeight);
  panel.show();
  if (!QTest::qWaitForWindowExposed(&panel) || !panel.view()) {
    state.SkipWithError("panel");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    panel.BindDocument(nullptr);
    QCoreApplication::processEvents();
    state.ResumeTiming();
    panel.BindDocument(&doc);
    QImage image = panel.view()->grabFramebuffer();
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_PanelBind)->Args({2000, 25})->Args({20000, 86})->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char** argv) {
  SetDefaultGLFormat();
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
