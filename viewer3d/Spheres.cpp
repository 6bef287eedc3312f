#include "viewer3d/Spheres.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/Angles.h"

namespace pelmora {

namespace {

constexpr double kRad = kPi / 180.0;

}  // namespace

ViewFrustum ViewFrustum::Perspective(double fovYDegrees, int width, int height, double nearPlane, double farPlane) {
  ViewFrustum f;
  f.tanHalfY = std::tan(0.5 * fovYDegrees * kRad);
  f.tanHalfX = f.tanHalfY * (height > 0 ? static_cast<double>(width) / height : 1.0);
  f.nearPlane = nearPlane;
  f.farPlane = farPlane;
  f.pixelsPerUnit = 0.5 * height / f.tanHalfY;
  return f;
}

bool ViewFrustum::Sees(const Vec3& c, double radius) const {
  const double depth = -c.z;
  if (depth + radius < nearPlane || depth - radius > farPlane) return false;
  // Distance outside each side plane |p| = depth tan: (|p| - depth tan) / sqrt(1 + tan^2).
  const auto inside = [&](double p, double t) { return std::abs(p) - depth * t <= radius * std::sqrt(1 + t * t); };
  return inside(c.x, tanHalfX) && inside(c.y, tanHalfY);
}

double ViewFrustum::PixelRadius(const Vec3& c, double radius) const {
  const double nearest = -c.z - radius;
  if (nearest <= nearPlane) return std::numeric_limits<double>::infinity();
  return radius * pixelsPerUnit / nearest;
}

int SphereDetail(int detail, double radiusPixels) {
  // Half a pixel off the true outline at most, and never under six facets.
  constexpr double kTolerance = 0.5;
  constexpr int kFewest = 6;
  const int fewest = std::min(detail, kFewest);
  if (!(radiusPixels > kTolerance)) return fewest;
  // An n-gon inside a circle of radius r strays r (1 - cos(pi/n)) from it.
  const double n = kPi / std::acos(1.0 - kTolerance / radiusPixels);
  if (!(n < detail)) return detail;
  return std::max(fewest, static_cast<int>(std::ceil(n)));
}

SphereMesh UnitSphere(int slices, int stacks) {
  SphereMesh mesh;
  if (slices < 2 || stacks < 2) return mesh;
  // The quadric's angle tables: slice i at 2 pi i / slices measured from +y
  // towards +x, ring j at pi j / stacks from +z, in single precision.
  std::vector<float> sinA(static_cast<size_t>(slices) + 1), cosA(sinA.size());
  for (int i = 0; i < slices; ++i) {
    const double angle = 2 * kPi * i / slices;
    sinA[static_cast<size_t>(i)] = static_cast<float>(std::sin(angle));
    cosA[static_cast<size_t>(i)] = static_cast<float>(std::cos(angle));
  }
  sinA.back() = sinA.front();
  cosA.back() = cosA.front();
  const auto add = [&](float x, float y, float z) {
    mesh.points.insert(mesh.points.end(), {x, y, z});
    return static_cast<std::uint32_t>(mesh.points.size() / 3 - 1);
  };
  const std::uint32_t north = add(0, 0, 1);
  // Rings 1 .. stacks-1, each with slices + 1 vertices (the seam twice).
  const std::uint32_t firstRing = north + 1;
  for (int j = 1; j < stacks; ++j) {
    const double angle = kPi * j / stacks;
    const float s = static_cast<float>(std::sin(angle)), z = static_cast<float>(std::cos(angle));
    for (int i = 0; i <= slices; ++i) add(s * sinA[static_cast<size_t>(i)], s * cosA[static_cast<size_t>(i)], z);
  }
  const std::uint32_t south = add(0, 0, -1);
  const auto at = [&](int ring, int i) {
    return firstRing + static_cast<std::uint32_t>((ring - 1) * (slices + 1) + i);
  };
  const auto tri = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) { mesh.triangles.insert(mesh.triangles.end(), {a, b, c}); };
  for (int i = slices; i > 0; --i) tri(north, at(1, i), at(1, i - 1));
  for (int i = 0; i < slices; ++i) tri(south, at(stacks - 1, i), at(stacks - 1, i + 1));
  for (int j = 1; j + 1 < stacks; ++j)
    for (int i = 0; i < slices; ++i) {
      // The quad strip's quad between ring j and ring j+1 below it.
      const std::uint32_t below0 = at(j + 1, i), above0 = at(j, i), above1 = at(j, i + 1), below1 = at(j + 1, i + 1);
      tri(below0, above0, above1);
      tri(below0, above1, below1);
    }
  for (size_t t = 0; t < mesh.triangles.size(); t += 3) {
    const float* p0 = &mesh.points[3 * mesh.triangles[t]];
    const float* p1 = &mesh.points[3 * mesh.triangles[t + 1]];
    const float* p2 = &mesh.points[3 * mesh.triangles[t + 2]];
    const double u[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
    const double v[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
    double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double& c : n) c /= len;
    const double offset = n[0] * p0[0] + n[1] * p0[1] + n[2] * p0[2];
    mesh.planes.insert(mesh.planes.end(), {static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2]),
                                           static_cast<float>(offset)});
    mesh.inner = t == 0 ? offset : std::min(mesh.inner, offset);
  }
  // Single-precision corners: a hair less, to stay inside.
  mesh.inner *= 1.0 - 1e-5;
  return mesh;
}


void CoverageBuffer::Reset(const ViewFrustum& frustum, int width, int height) {
  frustum_ = frustum;
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  depth_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), std::numeric_limits<float>::infinity());
}

namespace {

// Where a ball's outline may reach along one screen axis, in window
// coordinates: `p` the ball's offset along that axis, `depth` in front of
// the eye, `size` the view's extent in pixels. False when the ball reaches
// round to the eye's side, where the bounds stop meaning anything.
bool OutlineSpan(double p, double depth, double radius, double f, int size, double& lo, double& hi) {
  const double dist = std::sqrt(p * p + depth * depth);
  if (dist <= radius) return false;
  const double centre = std::atan2(p, depth), half = std::asin(radius / dist);
  if (centre - half <= -0.5 * kPi || centre + half >= 0.5 * kPi) return false;
  lo = 0.5 * size + f * std::tan(centre - half);
  hi = 0.5 * size + f * std::tan(centre + half);
  return true;
}

}  // namespace

bool CoverageBuffer::Hidden(const Vec3& c, double radius) const { return ScanBall(c, radius, true); }

bool CoverageBuffer::PartlyHidden(const Vec3& c, double radius) const { return ScanBall(c, radius, false); }

bool CoverageBuffer::ScanBall(const Vec3& c, double radius, bool all) const {
  const double depth = -c.z, nearest = depth - radius;
  // Reaching the near plane: nothing certain (false either way keeps every
  // triangle drawn).
  if (nearest <= frustum_.nearPlane) return !all;
  const double f = frustum_.pixelsPerUnit;
  double left, right, bottom, top;
  if (!OutlineSpan(c.x, depth, radius, f, width_, left, right) || !OutlineSpan(c.y, depth, radius, f, height_, bottom, top))
    return !all;
  return Scan(left, right, bottom, top, nearest, all);
}

void CoverageBuffer::Cover(const Vec3& c, double innerRadius) {
  const double depth = -c.z;
  const double dist = std::sqrt(c.x * c.x + c.y * c.y + c.z * c.z);
  if (depth <= frustum_.nearPlane || dist <= innerRadius || depth_.empty()) return;
  const double f = frustum_.pixelsPerUnit;
  // A screen step of s pixels turns a ray by at most s / f, so every pixel
  // within f times the inner ball's angular radius of its centre's image
  // looks through that ball, and through the sphere's front in front of
  // it, no farther than the centre. One pixel is kept back for rounding.
  const double reach = f * std::asin(innerRadius / dist) - 1.0;
  if (reach <= 0) return;
  const double cx = 0.5 * width_ + f * c.x / depth, cy = 0.5 * height_ + f * c.y / depth;
  const float far = static_cast<float>(dist);
  const int y0 = std::max(0, static_cast<int>(std::ceil(cy - reach - 0.5)));
  const int y1 = std::min(height_ - 1, static_cast<int>(std::floor(cy + reach - 0.5)));
  for (int y = y0; y <= y1; ++y) {
    const double dy = y + 0.5 - cy, span = std::sqrt(std::max(0.0, reach * reach - dy * dy));
    const int x0 = std::max(0, static_cast<int>(std::ceil(cx - span - 0.5)));
    const int x1 = std::min(width_ - 1, static_cast<int>(std::floor(cx + span - 0.5)));
    float* row = &depth_[static_cast<size_t>(y) * static_cast<size_t>(width_)];
    for (int x = x0; x <= x1; ++x) row[x] = std::min(row[x], far);
  }
}

}  // namespace pelmora
