#include "viewer3d/ui/CellRenderer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainterPath>
#include <QString>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <deque>

#include <malloc.h>

#include <GL/gl.h>
#include <GL/glu.h>

namespace pelmora {

namespace {

constexpr double kEmPixels = 64.0;     // outlines are taken at this size, then scaled to an em of 1
constexpr double kExtrusion = 0.1;
constexpr double kFieldOfView = 45.0;
constexpr double kNearPlane = 0.1f;  // the single-precision 0.1
constexpr double kFarPlane = 100.0;
// A software rasterizer starts drawing only what has been flushed to it:
// handing the spheres over in parts of this many triangles lets its threads
// draw one part while the next is prepared, instead of all waiting for the
// frame's end.
constexpr size_t kTrianglesPerFlush = 2048;

using Vertex = std::array<GLdouble, 3>;

// Vertices the tessellator may still point at until the polygon ends.
struct TessStore {
  std::deque<Vertex> vertices;
};

void GLAPIENTRY TessBegin(GLenum type) { glBegin(type); }
void GLAPIENTRY TessVertex(void* data) { glVertex3dv(static_cast<const GLdouble*>(data)); }
void GLAPIENTRY TessEnd() { glEnd(); }
void GLAPIENTRY TessCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* user) {
  auto* store = static_cast<TessStore*>(user);
  store->vertices.push_back({coords[0], coords[1], coords[2]});
  *out = store->vertices.back().data();
}

// A model point in eye coordinates under the column-major modelview `m`.
Vec3 EyePosition(const GLdouble m[16], const Vec3& p) {
  return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
          m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

// One cap of a glyph at depth z, facing +z when `normalZ` is 1.
void TessellateCap(GLUtesselator* tess, const QList<QPolygonF>& contours, double z, double normalZ) {
  TessStore store;
  glNormal3d(0, 0, normalZ);
  // Wound against the normal, so that the caps face outwards under the
  // clockwise front faces of the label drawing.
  gluTessNormal(tess, 0, 0, -normalZ);
  gluTessBeginPolygon(tess, &store);
  for (const QPolygonF& poly : contours) {
    gluTessBeginContour(tess);
    for (const QPointF& p : poly) {
      store.vertices.push_back({p.x(), p.y(), z});
      gluTessVertex(tess, store.vertices.back().data(), store.vertices.back().data());
    }
    gluTessEndContour(tess);
  }
  gluTessEndPolygon(tess);
}

// The glyph's sides, both ways round: the outline's direction differs
// between outer contours and holes.
void ExtrudeSides(const QList<QPolygonF>& contours) {
  glBegin(GL_QUADS);
  for (const QPolygonF& poly : contours) {
    for (qsizetype i = 0; i + 1 < poly.size(); ++i) {
      const QPointF p = poly[i], q = poly[i + 1];
      const double dx = q.x() - p.x(), dy = q.y() - p.y();
      glNormal3d(dy, -dx, 0);
      glVertex3d(p.x(), p.y(), 0);
      glVertex3d(p.x(), p.y(), -kExtrusion);
      glVertex3d(q.x(), q.y(), -kExtrusion);
      glVertex3d(q.x(), q.y(), 0);
      glNormal3d(-dy, dx, 0);
      glVertex3d(q.x(), q.y(), 0);
      glVertex3d(q.x(), q.y(), -kExtrusion);
      glVertex3d(p.x(), p.y(), -kExtrusion);
      glVertex3d(p.x(), p.y(), 0);
    }
  }
  glEnd();
}

}  // namespace

CellRenderer::~CellRenderer() = default;

void CellRenderer::BuildGlyphs() {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(static_cast<int>(kEmPixels));
  font.setBold(true);
  font.setStyleStrategy(QFont::PreferAntialias);
  const QFontMetricsF metrics(font);
  const QTransform toEm = QTransform::fromScale(1.0 / kEmPixels, -1.0 / kEmPixels);

  listBase_ = glGenLists(kGlyphCount);
  GLUtesselator* tess = gluNewTess();
  gluTessCallback(tess, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(&TessBegin));
  gluTessCallback(tess, GLU_TESS_VERTEX, reinterpret_cast<_GLUfuncptr>(&TessVertex));
  gluTessCallback(tess, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(&TessEnd));
  gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(&TessCombine));
  gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
  for (int i = 0; i < kGlyphCount; ++i) {
    const QChar ch(kFirstGlyph + i);
    QPainterPath path;
    path.addText(0, 0, font, QString(ch));
    const QList<QPolygonF> contours = path.toSubpathPolygons(toEm);
    advanceX_[i] = metrics.horizontalAdvance(ch) / kEmPixels;
    advanceY_[i] = 0.0;
    glNewList(listBase_ + i, GL_COMPILE);
    if (!contours.isEmpty()) {
      TessellateCap(tess, contours, 0.0, 1.0);
      TessellateCap(tess, contours, -kExtrusion, -1.0);
      ExtrudeSides(contours);
    }
    // Like outline-font lists, each glyph moves on by its advance.
    glTranslated(advanceX_[i], advanceY_[i], 0);
    glEndList();
  }
  gluDeleteTess(tess);
}

void CellRenderer::Setup(int width, int height) {
  Release();
  // The software rasterizer frees megabytes of scene memory at the end of
  // each frame and asks for them again at the next: left at the heap's top
  // instead of being handed back to the system, they are not faulted in
  // page by page every frame (about a tenth of a frame's time).
  static const bool keepHeap = mallopt(M_TRIM_THRESHOLD, 64 << 20) != 0;
  (void)keepHeap;
  BuildGlyphs();
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  SetViewport(width, height);

  glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearDepth(1.0);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_DEPTH_TEST);
  glShadeModel(GL_SMOOTH);
  glCullFace(GL_BACK);
  glEnable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ZERO);

  const GLfloat ambient[] = {0.3f, 0.3f, 0.3f, 1.0f};
  const GLfloat diffuse[] = {0.7f, 0.7f, 0.7f, 1.0f};
  const GLfloat position[] = {0.0f, 0.0f, 1.0f, 0.0f};  // along +z of the eye
  const GLfloat specular[] = {0.7f, 0.7f, 0.7f, 1.0f};
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
  glLightfv(GL_LIGHT0, GL_POSITION, position);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
  glMaterialf(GL_FRONT, GL_SHININESS, 100.0f);
  glEnable(GL_LIGHT0);
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_LIGHTING);
  glEnable(GL_POINT_SMOOTH);
  glEnable(GL_LINE_SMOOTH);
  glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
  glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);

  quadric_ = gluNewQuadric();
  gluQuadricNormals(quadric_, GLU_SMOOTH);
  gluQuadricDrawStyle(quadric_, GLU_FILL);
}

void CellRenderer::SetViewport(int width, int height) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(kFieldOfView, height > 0 ? static_cast<double>(width) / height : 1.0, kNearPlane, kFarPlane);
  glMatrixMode(GL_MODELVIEW);
  frustum_ = ViewFrustum::Perspective(kFieldOfView, width, height, kNearPlane, kFarPlane);
  viewWidth_ = width;
  viewHeight_ = height;
}

void CellRenderer::Release() {
  if (quadric_) gluDeleteQuadric(quadric_);
  quadric_ = nullptr;
  if (listBase_) glDeleteLists(listBase_, kGlyphCount);
  listBase_ = 0;
}

void CellRenderer::Frame(const CKomorka* doc, const SceneOptions& options, const ViewState& view, int detail) {
  glMatrixMode(GL_MODELVIEW);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  if (!doc || !quadric_) return;
  glTranslatef(static_cast<GLfloat>(view.TranslateX()), static_cast<GLfloat>(view.TranslateY()),
               static_cast<GLfloat>(view.TranslateZ()));
  // The model's z up on the screen, y to the right, x towards the viewer.
  glRotatef(-90, 1, 0, 0);
  glRotatef(-90, 0, 0, 1);
  glRotatef(static_cast<GLfloat>(view.angleZ), 0, 0, 1);
  glRotatef(static_cast<GLfloat>(view.angleY), 0, 1, 0);
  glRotatef(static_cast<GLfloat>(view.angleX), 1, 0, 0);
  BuildCellScene(*doc, options, scene_);
  const CellScene& scene = scene_;
  glTranslated(scene.centring.x, scene.centring.y, scene.centring.z);
  GLdouble* model = model_;
  glGetDoublev(GL_MODELVIEW_MATRIX, model);
  // The eye in model coordinates; the modelview only turns and moves.
  eyeInModel_ = {-(model[0] * model[12] + model[1] * model[13] + model[2] * model[14]),
                 -(model[4] * model[12] + model[5] * model[13] + model[6] * model[14]),
                 -(model[8] * model[12] + model[9] * model[13] + model[10] * model[14])};
  for (const Segment& s : scene.segments) {
    glColor3f(s.color[0], s.color[1], s.color[2]);
    if (s.ball && frustum_.Sees(EyePosition(model, s.p1), s.r1)) AddSphere(Sphere(detail), s.p1, s.r1, s.color, false);
    const SegmentPose pose = PoseOf(s);
    if (pose.length > 0.0) {
      glPushMatrix();
      glTranslated(s.p1.x, s.p1.y, s.p1.z);
      glRotated(pose.tilt, pose.axisX, pose.axisY, 0);
      // Along a cylinder the normal, so the light, does not change: one
      // stack gives the very picture of `detail` stacks.
      gluCylinder(quadric_, s.r1, s.r2, pose.length, detail, 1);
      glPopMatrix();
    }
  }
  // Nearest first, so that the balls wholly behind those already drawn
  // can be told and left out.
  order_.clear();
  for (const Ball& b : scene.balls) {
    const Vec3 eye = EyePosition(model, b.pos);
    if (frustum_.Sees(eye, b.radius)) order_.push_back({-eye.z - b.radius, eye, &b});
  }
  std::stable_sort(order_.begin(), order_.end(), [](const Placed& p, const Placed& q) { return p.nearest < q.nearest; });
  coverage_.Reset(frustum_, viewWidth_, viewHeight_);
  for (const Placed& p : order_) {
    if (coverage_.Hidden(p.eye, p.ball->radius)) continue;
    const SphereMesh& mesh = Sphere(SphereDetail(detail, frustum_.PixelRadius(p.eye, p.ball->radius)));
    AddSphere(mesh, p.ball->pos, p.ball->radius, p.ball->color, coverage_.PartlyHidden(p.eye, p.ball->radius));
    coverage_.Cover(p.eye, p.ball->radius * mesh.inner);
    if (batch_.indexCount >= 3 * kTrianglesPerFlush) {
      DrawSpheres();
      glFlush();
    }
  }
  DrawSpheres();
  // A label is left out only where it could not show: wholly outside the
  // view, or wholly behind the spheres drawn.
  for (const Ball& b : scene.balls) {
    if (b.label.empty()) continue;
    Vec3 centre = EyePosition(model, b.pos);
    centre.z += b.radius + 1.0;  // where DrawLabel stands it
    const double reach = LabelReach(b.label);
    if (!cullLabels_ || (frustum_.Sees(centre, reach) && !coverage_.Hidden(centre, reach))) DrawLabel(b);
  }
}

double CellRenderer::LabelReach(const std::string& label) const {
  // The glyphs are laid out, scaled by 1.2 twice over, from about -0.72 to
  // +0.48 of the advances' sum across, and an em up and a quarter down:
  // a ball of the whole width plus an em and a half about the label's
  // place holds every glyph, extrusion included.
  double width = 0;
  for (char ch : label) {
    const int i = static_cast<unsigned char>(ch) - kFirstGlyph;
    if (i >= 0 && i < kGlyphCount) width += std::abs(advanceX_[static_cast<size_t>(i)]);
  }
  return 1.44 * (width + 1.5);
}

const SphereMesh& CellRenderer::Sphere(int slices) {
  if (spheres_.size() <= static_cast<size_t>(slices)) spheres_.resize(static_cast<size_t>(slices) + 1);
  SphereMesh& mesh = spheres_[static_cast<size_t>(slices)];
  if (mesh.points.empty()) mesh = UnitSphere(slices, slices);
  return mesh;
}

void CellRenderer::AddSphere(const SphereMesh& mesh, const Vec3& centre, double radius, const Rgb& color,
                              bool hideCovered) {
  const size_t count = mesh.points.size() / 3, triangles = mesh.triangles.size() / 3;
  const float r = static_cast<float>(radius);
  const float c[3] = {static_cast<float>(centre.x), static_cast<float>(centre.y), static_cast<float>(centre.z)};
  // Triangles turned away would be culled after all the vertex work, and
  // hidden ones drawn only to lose the depth test: both are left out here,
  // and so are the vertices only they use. A vertex is placed, and put in
  // the window (with its depth), only when a kept triangle needs it.
  Batch& b = batch_;
  // The batch's arrays only grow, and are reused from frame to frame.
  if (b.vertices.size() < 3 * (b.vertexCount + count)) {
    const size_t size = 2 * 3 * (b.vertexCount + count);
    b.vertices.resize(size);
    b.normals.resize(size);
    b.colors.resize(size);
  }
  if (b.indices.size() < b.indexCount + 3 * triangles) b.indices.resize(2 * (b.indexCount + 3 * triangles));
  slot_.assign(count, kNoSlot);
  if (hideCovered) {
    window_.resize(3 * count);
    windowKnown_.assign(count, 0);
  }
  const auto window = [&](std::uint32_t vertex) {
    double* w = &window_[3 * static_cast<size_t>(vertex)];
    if (!windowKnown_[vertex]) {
      windowKnown_[vertex] = 1;
      const float* u = &mesh.points[3 * static_cast<size_t>(vertex)];
      const Vec3 eye = EyePosition(model_, {c[0] + r * u[0], c[1] + r * u[1], c[2] + r * u[2]});
      coverage_.Window(eye, w);
    }
    return w;
  };
  std::uint32_t* index = &b.indices[b.indexCount];
  const BackFaces facesAway(mesh, centre, radius, eyeInModel_);
  for (size_t t = 0; t < triangles; ++t) {
    if (facesAway(t)) continue;
    const std::uint32_t* corner = &mesh.triangles[3 * t];
    if (hideCovered) {
      const double* p = window(corner[0]);
      const double* q = window(corner[1]);
      const double* w = window(corner[2]);
      // A corner at or behind the near plane makes the depth bound fail.
      if (coverage_.Hidden(std::min({p[0], q[0], w[0]}), std::max({p[0], q[0], w[0]}), std::min({p[1], q[1], w[1]}),
                           std::max({p[1], q[1], w[1]}), std::min({p[2], q[2], w[2]})))
        continue;
    }
    for (int k = 0; k < 3; ++k) {
      std::uint32_t& slot = slot_[corner[k]];
      if (slot == kNoSlot) {
        slot = static_cast<std::uint32_t>(b.vertexCount++);
        const float* u = &mesh.points[3 * static_cast<size_t>(corner[k])];
        float* v = &b.vertices[3 * static_cast<size_t>(slot)];
        float* n = &b.normals[3 * static_cast<size_t>(slot)];
        float* col = &b.colors[3 * static_cast<size_t>(slot)];
        for (int i = 0; i < 3; ++i) {
          v[i] = c[i] + r * u[i];
          n[i] = u[i];
          col[i] = color[static_cast<size_t>(i)];
        }
      }
      *index++ = slot;
    }
  }
  b.indexCount = static_cast<size_t>(index - b.indices.data());
}

void CellRenderer::DrawSpheres() {
  if (batch_.indexCount == 0) return;
  // The arrays are in client memory: no buffer object may stand in for them.
  if (QOpenGLContext* context = QOpenGLContext::currentContext()) {
    QOpenGLFunctions* gl = context->functions();
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    gl->glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  }
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, batch_.vertices.data());
  glNormalPointer(GL_FLOAT, 0, batch_.normals.data());
  glColorPointer(3, GL_FLOAT, 0, batch_.colors.data());
  // Lit opaque colours have alpha 1, so the blend (source times alpha
  // over nothing) writes the source unchanged: without it the rasterizer
  // need not run the blend at all.
  glDisable(GL_BLEND);
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batch_.indexCount), GL_UNSIGNED_INT, batch_.indices.data());
  glEnable(GL_BLEND);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  batch_.vertexCount = 0;
  batch_.indexCount = 0;
}

void CellRenderer::DrawLabel(const Ball& b) {
  glPushMatrix();
  glTranslatef(static_cast<GLfloat>(b.pos.x), static_cast<GLfloat>(b.pos.y), static_cast<GLfloat>(b.pos.z));
  glPushAttrib(GL_LIST_BIT);
  // The label faces the viewer: keep the ball's place, drop the turn.
  GLdouble m[16];
  glGetDoublev(GL_MODELVIEW_MATRIX, m);
  for (int col = 0; col < 3; ++col)
    for (int row = 0; row < 3; ++row) m[col * 4 + row] = col == row ? 1.0 : 0.0;
  glLoadMatrixd(m);
  glTranslatef(0, 0, static_cast<GLfloat>(b.radius + 1.0));
  glPushMatrix();
  glScaled(1.2, 1.2, 1.2);
  const Vec3 shift = LabelCentring(b.label, advanceX_, advanceY_);
  glTranslated(shift.x, shift.y, 0);
  glListBase(listBase_ - kFirstGlyph);
  glFrontFace(GL_CW);
  glColor3d(0, 0, 0);
  glCallLists(static_cast<GLsizei>(b.label.size()), GL_UNSIGNED_BYTE, b.label.data());
  glFrontFace(GL_CCW);
  glPopMatrix();
  glPopAttrib();
  glPopMatrix();
}

}  // namespace pelmora
