// What one frame of the cell view draws, as plain numbers: the cell basis,
// the translation that puts the cell's middle on the pivot, the edges and
// axis arrows as segments and the atoms as balls. The OpenGL code only walks
// these lists, so every position can be checked without a display.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Komorka.h"
#include "viewer3d/Point3D.h"

namespace pelmora {

struct Vec3 {
  double x = 0, y = 0, z = 0;
  bool operator==(const Vec3&) const = default;
};

using Rgb = std::array<float, 3>;  // 0..1 each
Rgb RgbOf(std::uint32_t bgr);      // 0x00BBGGRR

// The basis vectors VA, VB, VC for the crystal system in `type`'s low bits,
// as the a, b, c of a CPoint3D at the origin. Angles in degrees.
CPoint3D CellBasis(LatticeType type, double alfa, double beta, double gamma);

// A fractional position in drawing units: (2a x) VA + (2b y) VB + (2c z) VC.
Vec3 PlaceFractional(const CPoint3D& basis, double a, double b, double c, double x, double y, double z);

// Applied once per frame after the rotations, so that the cell turns about
// its middle (the hexagonal prism about its axis).
Vec3 CentringTranslation(LatticeType type, const CPoint3D& basis, double a, double b, double c);

// A cylinder from p1 (radius r1) to p2 (radius r2), with a ball of radius
// r1 at p1 when `ball` is set.
struct Segment {
  Vec3 p1, p2;
  double r1 = 0, r2 = 0;
  bool ball = false;
  Rgb color{};
};

struct Ball {
  Vec3 pos;
  double radius = 0;
  Rgb color{};
  std::string label;  // empty: no label
};

// How a segment's cylinder is laid: its length and the rotation (degrees
// about an axis in the xy plane) that turns +z onto the segment.
struct SegmentPose {
  double length = 0;
  double tilt = 0;
  double axisX = 0, axisY = 0;
};
SegmentPose PoseOf(const Segment& s);

// The cell's edges as a document shows them: thickness 0..100 and colour
// 0x00BBGGRR. The viewer keeps them for each open document; they are not
// saved with it.
struct CellEdges {
  int scale = 50;
  std::uint32_t color = 0x7F7F7F;
};

struct SceneOptions {
  bool axes = false;
  bool cellShape = true;
  bool images = false;
  CellEdges edges;
};

struct CellScene {
  Vec3 centring;
  std::vector<Segment> segments;  // cell shape, then the axes
  std::vector<Ball> balls;        // the atoms in list order
};

CellScene BuildCellScene(const CKomorka& doc, const SceneOptions& options);
// The same into `scene`, whose lists keep their memory from frame to frame.
void BuildCellScene(const CKomorka& doc, const SceneOptions& options, CellScene& scene);

// Label text: only the characters 32..125 have glyphs; the others (Polish
// letters, '~', control bytes) are left out.
std::string LabelGlyphs(std::string_view name);
inline constexpr int kFirstGlyph = 32;
inline constexpr int kGlyphCount = 94;
// The shift that centres a label: minus half of the summed glyph advances,
// each advance multiplied by the label scale 1.2.
Vec3 LabelCentring(std::string_view glyphs, const std::array<double, kGlyphCount>& advanceX,
                   const std::array<double, kGlyphCount>& advanceY);

}  // namespace pelmora
