#include "viewer3d/CellScene.h"

#include <cmath>

#include "engine/Angles.h"

namespace pelmora {

namespace {

constexpr LatticeType kHexagonalWhole = 5;

// c tilted by beta in the xz plane; a right angle gives exactly (0, 0, 1).
CPoint3D TiltedC(double beta) {
  if (beta == 90.0) return CPoint3D(0, 0, 1);
  return CPoint3D(std::cos(DegreesToRadians(beta)), 0, std::sin(DegreesToRadians(beta)));
}

Vec3 ToVec(const CPoint3D& p) { return {p.x, p.y, p.z}; }

Vec3 Scaled(Vec3 v, double f) { return {v.x * f, v.y * f, v.z * f}; }

}  // namespace

Rgb RgbOf(std::uint32_t bgr) {
  return {static_cast<float>(bgr & 0xFF) / 255.0f, static_cast<float>((bgr >> 8) & 0xFF) / 255.0f,
          static_cast<float>((bgr >> 16) & 0xFF) / 255.0f};
}

CPoint3D CellBasis(LatticeType type, double alfa, double beta, double gamma) {
  CPoint3D basis;
  switch (type & kSystemMask) {
    case kCubic:
    case kTetragonal:
    case kOrthorhombic:
      break;  // the identity
    case kHexagonal:
      basis.SetA(CPoint3D(std::cos(0.5235987755982984), -0.5, 0));
      break;
    case kMonoclinic:
      basis.SetC(TiltedC(beta));
      break;
    case kRhombohedral:
    case kTriclinic: {
      const CPoint3D vc = TiltedC(beta);
      const double sg = std::sin(DegreesToRadians(gamma)), cg = std::cos(DegreesToRadians(gamma));
      const double sa = std::sin(DegreesToRadians(alfa)), ca = std::cos(DegreesToRadians(alfa));
      basis.SetA(CPoint3D(sg, cg, 0));
      // VC := cos(alfa) VB + sin(alfa) VC, with VB = (0, 1, 0).
      basis.SetC(CPoint3D(sa * vc.x, ca + sa * vc.y, sa * vc.z));
      break;
    }
    default:
      basis.SetA(CPoint3D(0, 0, 0));
      basis.SetB(CPoint3D(0, 0, 0));
      basis.SetC(CPoint3D(0, 0, 0));
      break;
  }
  return basis;
}

Vec3 PlaceFractional(const CPoint3D& basis, double a, double b, double c, double x, double y, double z) {
  CPoint3D p = basis;
  p.x = 2 * a * x;
  p.y = 2 * b * y;
  p.z = 2 * c * z;
  return ToVec(p.Transform());
}

Vec3 CentringTranslation(LatticeType type, const CPoint3D& basis, double a, double b, double c) {
  if (type == kHexagonalWhole) return {0, 0, -c};
  CPoint3D p = basis;
  p.x = p.y = p.z = 0.5;
  p.Transform();
  return {-2 * a * p.x, -2 * b * p.y, -2 * c * p.z};
}

SegmentPose PoseOf(const Segment& s) {
  const double dx = s.p2.x - s.p1.x, dy = s.p2.y - s.p1.y, dz = s.p2.z - s.p1.z;
  SegmentPose pose;
  pose.length = std::sqrt(dx * dx + dy * dy + dz * dz);
  if (pose.length == 0.0) return pose;  // nothing to lay: no cylinder is drawn
  pose.tilt = 90.0 - RadiansToDegrees(std::asin(dz / pose.length));
  pose.axisX = -dy;
  pose.axisY = dx;
  // Straight down +z or -z the rotation axis vanishes; a half turn about x
  // then points the cylinder down.
  if (dx == 0.0 && dy == 0.0) {
    pose.axisX = 1.0;
    pose.axisY = 0.0;
  }
  return pose;
}

CellScene BuildCellScene(const CKomorka& doc, const SceneOptions& options) {
  CellScene scene;
  BuildCellScene(doc, options, scene);
  return scene;
}

void BuildCellScene(const CKomorka& doc, const SceneOptions& options, CellScene& scene) {
  scene.segments.clear();
  scene.balls.clear();
  const LatticeType type = doc.crystal.latticeType;
  const double a = doc.cell.a, b = doc.cell.b, c = doc.cell.c;
  const CPoint3D basis = CellBasis(type, doc.cell.alfa, doc.cell.beta, doc.cell.gamma);
  scene.centring = CentringTranslation(type, basis, a, b, c);
  const auto place = [&](double x, double y, double z) { return PlaceFractional(basis, a, b, c, x, y, z); };

  if (options.cellShape) {
    const double r = options.edges.scale / 100.0;
    const Rgb color = RgbOf(options.edges.color);
    const auto edge = [&](Vec3 p1, Vec3 p2) { scene.segments.push_back({p1, p2, r, r, true, color}); };
    if (type == kHexagonalWhole) {
      // A prism of three cells: the unscaled corner scaled per component.
      static constexpr double ring[7][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, 0}};
      const auto corner = [&](int i, double k) {
        CPoint3D p = basis;
        p.x = ring[i][0];
        p.y = ring[i][1];
        p.z = k;
        p.Transform();
        return Vec3{p.x * 2 * a, p.y * 2 * b, p.z * 2 * c};
      };
      for (int k = 0; k <= 1; ++k)
        for (int i = 0; i < 6; ++i) edge(corner(i, k), corner(i + 1, k));
      for (int i = 0; i < 6; ++i) edge(corner(i, 0), corner(i, 1));
    } else if ((type & kSystemMask) != kHexagonal) {
      static constexpr double square[5][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}};
      for (int k = 0; k <= 1; ++k)
        for (int i = 0; i < 4; ++i)
          edge(place(square[i][0], square[i][1], k), place(square[i + 1][0], square[i + 1][1], k));
      for (int i = 0; i < 4; ++i) edge(place(square[i][0], square[i][1], 0), place(square[i][0], square[i][1], 1));
    }
  }

  if (options.axes) {
    const Vec3 units[3] = {{basis.ax, basis.ay, basis.az}, {basis.bx, basis.by, basis.bz}, {basis.cx, basis.cy, basis.cz}};
    const double lengths[3] = {a, b, c};
    const Rgb colors[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 3; ++i) {
      const Vec3 shaftEnd = Scaled(units[i], 2 * 1.2 * lengths[i]);
      const Vec3 tip = Scaled(units[i], 2 * (1.2 * lengths[i] + 1));
      scene.segments.push_back({{}, shaftEnd, 0.2, 0.2, false, colors[i]});
      scene.segments.push_back({shaftEnd, tip, 0.5, 0.0, false, colors[i]});
    }
  }

  const auto add = [&](const AtomSite& at, double x, double y, double z) {
    Ball& ball = scene.balls.emplace_back();
    ball.pos = place(x, y, z);
    ball.radius = at.radius * static_cast<double>(0.065f);
    ball.color = RgbOf(at.color);
    if (at.visible) ball.label = LabelGlyphs(at.name);
  };
  const std::vector<AtomSite>& cell = doc.crystal.cellAtoms;
  scene.balls.reserve(cell.size());
  for (const AtomSite& at : cell) add(at, at.x, at.y, at.z);
  // The boundary images as CKomorka::CopyCellAtoms lists them (in its order
  // and up to its limit), made straight into balls: copying every atom of a
  // large cell for each frame cost more than drawing it.
  if (options.images && type != 0)
    for (const AtomSite& src : cell)
      for (int dz = -1; dz <= 1; ++dz)
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            if (dx == 0 && dy == 0 && dz == 0) continue;
            const double x = src.x + dx, y = src.y + dy, z = src.z + dz;
            if (x < 0.0 || x > 1.0 || y < 0.0 || y > 1.0 || z < 0.0 || z > 1.0) continue;
            if (scene.balls.size() >= static_cast<size_t>(Crystal::kMaxImageRecords)) return;
            add(src, x, y, z);
          }
}

std::string LabelGlyphs(std::string_view name) {
  std::string out;
  for (char ch : name) {
    const int code = static_cast<unsigned char>(ch);
    if (code >= kFirstGlyph && code < kFirstGlyph + kGlyphCount) out += ch;
  }
  return out;
}

Vec3 LabelCentring(std::string_view glyphs, const std::array<double, kGlyphCount>& advanceX,
                   const std::array<double, kGlyphCount>& advanceY) {
  double sx = 0, sy = 0;
  for (char ch : glyphs) {
    const int i = static_cast<unsigned char>(ch) - kFirstGlyph;
    if (i < 0 || i >= kGlyphCount) continue;
    sx += advanceX[i] * 1.2;
    sy += advanceY[i] * 1.2;
  }
  return {-0.5 * sx, -0.5 * sy, 0};
}

}  // namespace pelmora
