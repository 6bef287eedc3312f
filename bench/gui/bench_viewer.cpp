// One frame of the cell view for a 2000-atom cell with the boundary images
// switched on, drawn by OpenGL into an off-screen framebuffer of the panel's
// typical size and finished (glFinish) before the clock stops. Run under a
// real or virtual X server:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/pelmora_viewer_bench
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <benchmark/benchmark.h>
#include <random>

#include <GL/gl.h>

#include "viewer3d/ui/CellRenderer.h"
#include "viewer3d/ui/MyWnd.h"

using namespace pelmora;

namespace {

void Build2000(CKomorka& doc) {
  doc.latticeType = kCubic;
  doc.a = doc.b = doc.c = 25.0;
  std::mt19937 rng(20261207);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const std::uint32_t colors[4] = {0x0000FF, 0x00C000, 0xFF0000, 0x00C0C0};
  for (int i = 0; i < CKomorka::kMaxAtoms; ++i) {
    AtomSite at;
    at.name = "Si";
    at.x = u(rng);
    at.y = u(rng);
    at.z = u(rng);
    at.color = colors[i % 4];
    at.siteIndex = i;
    doc.structureAtoms.push_back(at);
  }
  doc.ExpandCellAtoms();
}

// range(0): GLDetail; range(1): labels on every atom.
void BM_CellFrame2000(benchmark::State& state) {
  if (!OpenGLAvailable()) {
    state.SkipWithError("no OpenGL context (run under xvfb-run)");
    return;
  }
  CKomorka doc;
  Build2000(doc);
  if (state.range(1))
    for (AtomSite& at : doc.cellAtoms) at.visible = 1;
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
  QOpenGLFramebufferObject fbo(400, 400, format);
  fbo.bind();
  CCellRenderer renderer;
  renderer.Setup(400, 400);
  SceneOptions options;
  options.images = true;
  CViewState view;
  view.zoom = -100;  // the whole 50-unit cell in sight
  // The first frame compiles the glyphs' and spheres' lists: not timed.
  renderer.Frame(&doc, options, view, static_cast<int>(state.range(0)));
  glFinish();
  int step = 0;
  for (auto _ : state) {
    view.angleZ = (step += 3) % 360;  // turning, as a user drags
    renderer.Frame(&doc, options, view, static_cast<int>(state.range(0)));
    glFinish();
  }
  renderer.Release();
  fbo.release();
  context.doneCurrent();
}
BENCHMARK(BM_CellFrame2000)->Args({30, 0})->Args({30, 1})->Args({10, 0})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  SetDefaultGLFormat();
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
