// How the atoms' spheres reach the renderer cheaply with the picture kept:
// the quadric's tessellation as a mesh, fewer facets for spheres a few
// pixels across, and the spheres and triangles that could not show left out.
// Plain arithmetic, so that every rule can be checked without a display.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "viewer3d/CellScene.h"

namespace pelmora {

// The symmetric perspective of the view, for deciding what a ball looks
// like before drawing it. Positions are in eye coordinates (the eye at the
// origin looking down -z).
struct ViewFrustum {
  double tanHalfY = 0, tanHalfX = 0;  // tangents of the half fields of view
  double nearPlane = 0, farPlane = 0;
  double pixelsPerUnit = 0;  // on screen, for a unit length at depth 1

  static ViewFrustum Perspective(double fovYDegrees, int width, int height, double nearPlane, double farPlane);
  // False only when the whole ball lies outside, so that nothing of it
  // would be drawn.
  bool Sees(const Vec3& centre, double radius) const;
  // The ball's radius on screen in pixels at its nearest point; infinite
  // when it reaches the near plane.
  double PixelRadius(const Vec3& centre, double radius) const;
};

// Slices and stacks of a sphere `radiusPixels` across its radius on screen:
// `detail` for big ones, fewer for small ones, as long as the outline stays
// within a fraction of a pixel of the true circle.
int SphereDetail(int detail, double radiusPixels);

// A sphere of radius 1 about the origin as the GLU quadric tessellates it
// with `slices` around z and `stacks` from +z to -z: the same vertices (in
// single precision), a fan at each pole and two triangles for each quad of
// the bands, wound counter-clockwise seen from outside. The normal at each
// vertex is the vertex itself.
struct SphereMesh {
  std::vector<float> points;             // x, y, z of each vertex
  std::vector<std::uint32_t> triangles;  // three vertex indices each
  // Per triangle the unit normal of its plane and that normal's product
  // with its first vertex, for telling which side of it an eye lies on.
  std::vector<float> planes;  // nx, ny, nz, offset
  double inner = 0;           // radius of the ball inside all the planes
};
SphereMesh UnitSphere(int slices, int stacks);
// Which triangles of `mesh`, placed as a sphere at `centre` with `radius`,
// show their back to an eye at `eye` (all in model coordinates) by more
// than rounding could turn, so that culling would drop them anyway. Set up
// once per sphere, asked per triangle.
class BackFaces {
 public:
  BackFaces(const SphereMesh& mesh, const Vec3& centre, double radius, const Vec3& eye)
      : planes_(mesh.planes.data()),
        dx_(eye.x - centre.x),
        dy_(eye.y - centre.y),
        dz_(eye.z - centre.z),
        radius_(radius),
        // A margin far above the single-precision rounding of the positions.
        margin_(-1e-4 * (std::abs(dx_) + std::abs(dy_) + std::abs(dz_) + radius)) {}
  // The eye's signed distance from triangle `t`'s plane, against the margin.
  bool operator()(size_t t) const {
    const float* plane = planes_ + 4 * t;
    return plane[0] * dx_ + plane[1] * dy_ + plane[2] * dz_ - radius_ * plane[3] < margin_;
  }

 private:
  const float* planes_;
  double dx_, dy_, dz_, radius_, margin_;
};
inline bool FacesAway(const SphereMesh& mesh, size_t t, const Vec3& centre, double radius, const Vec3& eye) {
  return BackFaces(mesh, centre, radius, eye)(t);
}

// Which pixels of the view are already hidden behind spheres drawn nearer,
// so that a sphere wholly behind them can be left out. Spheres are offered
// nearest first. The rasterizer samples pixel centres, so a pixel counts as
// covered when its centre is.
class CoverageBuffer {
 public:
  void Reset(const ViewFrustum& frustum, int width, int height);
  // True when every pixel the ball could reach is covered by surfaces
  // nearer than its nearest point.
  bool Hidden(const Vec3& centre, double radius) const;
  // True when some pixel the ball could reach is covered by surfaces nearer
  // than its nearest point: only then can part of it be hidden.
  bool PartlyHidden(const Vec3& centre, double radius) const;
  // True when every pixel centre within the window-coordinate box (pixels
  // from the bottom left, plus a pixel's margin) is covered by surfaces
  // nearer than `nearest`.
  bool Hidden(double left, double right, double bottom, double top, double nearest) const {
    return Scan(left, right, bottom, top, nearest, true);
  }
  // A point in eye coordinates in window coordinates (pixels), with its
  // depth third.
  void Window(const Vec3& eye, double w[3]) const {
    const double scale = frustum_.pixelsPerUnit / -eye.z;
    w[0] = 0.5 * width_ + scale * eye.x;
    w[1] = 0.5 * height_ + scale * eye.y;
    w[2] = -eye.z;
  }
  const ViewFrustum& frustum() const { return frustum_; }
  // Records a drawn sphere (its front faces all drawn) whose facets enclose
  // the ball of `innerRadius`.
  void Cover(const Vec3& centre, double innerRadius);

 private:
  // With `all`, whether every pixel in the box is covered nearer than
  // `nearest`; otherwise whether any is.
  bool Scan(double left, double right, double bottom, double top, double nearest, bool all) const;
  bool ScanBall(const Vec3& centre, double radius, bool all) const;

  ViewFrustum frustum_;
  int width_ = 0, height_ = 0;
  // Per pixel, bottom row first: covered by surfaces at most this deep
  // (eye distance), or infinity.
  std::vector<float> depth_;
};

// Inline: asked once per triangle of a partly hidden sphere.
inline bool CoverageBuffer::Scan(double left, double right, double bottom, double top, double nearest, bool all) const {
  if (depth_.empty() || !(nearest > frustum_.nearPlane)) return !all;
  // Pixel i has its centre at i + 0.5; a hundredth of a pixel more on each
  // side for the rasterizer's rounding.
  if (!(left <= right) || !(bottom <= top)) return !all;
  constexpr double kMargin = 0.01;
  // (Clamped before the conversion: a point near the eye's plane lies
  // far outside.)
  // (Rounded by hand: called per triangle, and the clamped values are
  // never below -1.)
  const auto first = [](double lo, int size) {
    const double v = std::clamp(lo - 0.5 - kMargin, 0.0, static_cast<double>(size));
    const int i = static_cast<int>(v);
    return i < v ? i + 1 : i;
  };
  const auto last = [](double hi, int size) {
    const double v = std::clamp(hi - 0.5 + kMargin, -1.0, size - 1.0);
    const int i = static_cast<int>(v);
    return i > v ? i - 1 : i;
  };
  const int x0 = first(left, width_), x1 = last(right, width_), y0 = first(bottom, height_), y1 = last(top, height_);
  const float limit = static_cast<float>(nearest * (1.0 - 1e-4));
  for (int y = y0; y <= y1; ++y) {
    const float* row = &depth_[static_cast<size_t>(y) * static_cast<size_t>(width_)];
    for (int x = x0; x <= x1; ++x)
      if ((row[x] < limit) != all) return !all;
  }
  return all;
}

}  // namespace pelmora
