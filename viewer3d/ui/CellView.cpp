#include "viewer3d/ui/CellView.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QTimer>

#include <GL/gl.h>

namespace pelmora {

bool OpenGLAvailable() {
  static const bool available = [] {
    const QString platform = QGuiApplication::platformName();
    for (const char* p : {"offscreen", "minimal", "minimalegl", "linuxfb", "vnc"})
      if (platform == QLatin1String(p)) return false;
    QOpenGLContext probe;
    probe.setFormat(QSurfaceFormat::defaultFormat());
    return probe.create();
  }();
  return available;
}

void SetDefaultGLFormat() {
  QSurfaceFormat format;
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setProfile(QSurfaceFormat::CompatibilityProfile);
  format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
  format.setRedBufferSize(8);
  format.setGreenBufferSize(8);
  format.setBlueBufferSize(8);
  format.setDepthBufferSize(24);
  QSurfaceFormat::setDefaultFormat(format);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

CMyWnd::CMyWnd(ViewInputs inputs, QWidget* parent) : QOpenGLWidget(parent), inputs_(std::move(inputs)) {
  setMinimumSize(120, 120);
}

CMyWnd::~CMyWnd() {
  for (int id : timers_)
    if (id) killTimer(id);
  if (context()) {
    makeCurrent();
    renderer_.Release();
    doneCurrent();
  }
}

SceneOptions CMyWnd::Options() const { return inputs_.options ? inputs_.options() : SceneOptions{}; }

void CMyWnd::initializeGL() {
  setUpOk_ = context() && context()->isValid();
  if (!setUpOk_) {
    QTimer::singleShot(0, this, [this] {
      QMessageBox::critical(this, tr("Init Error!"), tr("Error setting up OpenGL!"));
    });
    return;
  }
  const qreal dpr = devicePixelRatioF();
  renderer_.Setup(static_cast<int>(width() * dpr), static_cast<int>(height() * dpr));
}

void CMyWnd::paintGL() {
  if (!setUpOk_) return;
  // The viewport follows the widget, so a resized panel shows the whole
  // picture rather than a corner of it.
  const qreal dpr = devicePixelRatioF();
  renderer_.SetViewport(static_cast<int>(width() * dpr), static_cast<int>(height() * dpr));
  const CKomorka* doc = inputs_.document ? inputs_.document() : nullptr;
  renderer_.Frame(doc, Options(), state_, inputs_.detail ? inputs_.detail() : 30);
}

void CMyWnd::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton || e->button() == Qt::RightButton) {
    const QPoint p = e->position().toPoint();
    state_.Press(p.x(), p.y());
  }
}

void CMyWnd::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    const QPoint p = e->position().toPoint();
    state_.Press(p.x(), p.y());
  }
}

void CMyWnd::mouseMoveEvent(QMouseEvent* e) {
  unsigned flags = 0;
  if (e->buttons() & Qt::LeftButton) flags |= kMouseLeft;
  if (e->buttons() & Qt::RightButton) flags |= kMouseRight;
  if (e->buttons() & Qt::MiddleButton) flags |= kMouseMiddle;
  if (e->modifiers() & Qt::ShiftModifier) flags |= kMouseShift;
  if (e->modifiers() & Qt::ControlModifier) flags |= kMouseCtrl;
  const QPoint p = e->position().toPoint();
  if (state_.Move(p.x(), p.y(), flags, inputs_.mode ? inputs_.mode() : 0)) update();
}

void CMyWnd::Command(int id) {
  const auto [k, start] = TimerOfCommand(id);
  if (k == 0) return;
  if (start && !timers_[k]) timers_[k] = startTimer(kTimerPeriodMs);
  if (!start && timers_[k]) {
    killTimer(timers_[k]);
    timers_[k] = 0;
  }
}

void CMyWnd::timerEvent(QTimerEvent* e) {
  for (int k = 1; k <= 9; ++k)
    if (timers_[k] == e->timerId()) {
      if (state_.Tick(k)) update();
      return;
    }
  QOpenGLWidget::timerEvent(e);
}

std::vector<std::uint8_t> CMyWnd::RenderImage(int width, int height) const {
  const CKomorka* doc = inputs_.document ? inputs_.document() : nullptr;
  return RenderCellOffscreen(width, height, doc, Options(), state_, inputs_.detail ? inputs_.detail() : 30);
}

std::vector<std::uint8_t> RenderCellOffscreen(int width, int height, const CKomorka* doc, const SceneOptions& options,
                                              const ViewState& view, int detail) {
  std::vector<std::uint8_t> pixels;
  if (width <= 0 || height <= 0 || !OpenGLAvailable()) return pixels;
  // Whatever context was current (the view's) is made current again after.
  QOpenGLContext* previous = QOpenGLContext::currentContext();
  QSurface* previousSurface = previous ? previous->surface() : nullptr;
  QOffscreenSurface surface;
  surface.setFormat(QSurfaceFormat::defaultFormat());
  surface.create();
  QOpenGLContext context;
  context.setFormat(QSurfaceFormat::defaultFormat());
  if (!surface.isValid() || !context.create() || !context.makeCurrent(&surface)) return pixels;
  {
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::Depth);
    QOpenGLFramebufferObject fbo(width, height, format);
    if (fbo.isValid() && fbo.bind()) {
      CellRenderer renderer;
      renderer.Setup(width, height);
      renderer.Frame(doc, options, view, detail);
      glFinish();
      pixels.resize(static_cast<size_t>(width) * height * 3);
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
      renderer.Release();
      fbo.release();
    }
  }
  context.doneCurrent();
  if (previous && previousSurface) previous->makeCurrent(previousSurface);
  return pixels;
}

}  // namespace pelmora
